// The drawing document: lossless reading and writing of drawings made by an
// independent writer, the typed views, new entities, and refusal of bad files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/cad/document.h"
#include "platform/cad/dxf_text.h"

namespace fs = std::filesystem;
using cad::Document;
using cad::DxfError;

namespace {

const std::string kData = std::string(SEWER_SOURCE_DIR) + "/tests/data/cad/";
const std::string kChecker = std::string(SEWER_SOURCE_DIR) + "/tests/platform_cad/check_dxf.py";
const char* kFixtures[] = {"network_r12.dxf", "network_r2000.dxf", "network_r2013.dxf"};

std::string TempPath(const std::string& name) {
    return (fs::temp_directory_path() / ("sewer_cad_" + std::to_string(::getpid()) + "_" + name)).string();
}

// Runs the ezdxf checker; returns its exit status and output.
int Check(const std::string& args, std::string* output = nullptr) {
    std::string out = TempPath("check.txt");
    int rc = std::system(("/usr/bin/python3 " + kChecker + " " + args + " >" + out + " 2>&1").c_str());
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (output) *output = text;
    std::remove(out.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Every group of a file as (code, trimmed value), in order.
std::vector<std::pair<int, std::string>> Groups(const std::string& text) {
    std::vector<std::pair<int, std::string>> out;
    std::istringstream in(text);
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value)) {
        if (!value.empty() && value.back() == '\r') value.pop_back();
        out.emplace_back(std::stoi(code), std::string(cad::Trim(value)));
    }
    return out;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(DxfDocument, FixturesRoundTripWithoutLossAndEzdxfAgrees) {
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        std::string original = ReadText(kData + name);
        Document doc = Document::ReadFile(kData + name);
        EXPECT_FALSE(doc.Modified());
        std::string written = doc.Write();
        // Every group, comments and unknown entities included, comes back in order.
        EXPECT_EQ(Groups(original), Groups(written));
        std::string path = TempPath(std::string("rt_") + name);
        ASSERT_TRUE(doc.Save(path));
        std::string report;
        EXPECT_EQ(Check(kData + name + " " + path, &report), 0) << report;
        std::remove(path.c_str());
    }
}

TEST(DxfDocument, TypedViewsOfAnIndependentDrawing) {
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        Document doc = Document::ReadFile(kData + name);
        bool r12 = std::string(name) == "network_r12.dxf";
        EXPECT_EQ(doc.IsR12(), r12);
        ASSERT_NE(doc.FindLayer("sewer"), nullptr);   // names compare without regard to case
        bool found = false;
        for (const cad::Layer& l : doc.Layers())
            if (l.name == "SEWER") found = l.color == 1;
        EXPECT_TRUE(found);
        EXPECT_TRUE(doc.HasBlock("MANHOLE"));
        EXPECT_FALSE(doc.HasBlock("Endblock"));

        std::vector<std::string> lines;
        for (const std::string& h : doc.ModelSpaceHandles())
            if (doc.Entity(h)->Type() == "LINE" && cad::SameName(doc.Entity(h)->Text(8), "sewer")) lines.push_back(h);
        ASSERT_EQ(lines.size(), 3u);
        const cad::Record& second = *doc.Entity(lines[1]);
        EXPECT_EQ(cad::PointOf(second, 10), (cad::Point{1050, 200, 101}));
        EXPECT_EQ(cad::PointOf(second, 11), (cad::Point{1100, 230, 100.4}));
        cad::XData maa = doc.GetXData(second, "maa");
        ASSERT_EQ(maa.size(), 8u);
        EXPECT_EQ(maa.types[0], 1001);
        EXPECT_EQ(maa.types[1], 1071);
        EXPECT_EQ(maa.values[1].Type(), vb::vbLong);
        EXPECT_EQ(maa.values[1].RawLong(), 2);
        EXPECT_EQ(maa.values[2].Type(), vb::vbInteger);
        EXPECT_EQ(maa.values[2].RawInteger(), 3);   // next pipe
        EXPECT_EQ(maa.values[3].RawInteger(), 1);   // previous pipe
        cad::XData sewer = doc.GetXData(second, "sewer");
        ASSERT_EQ(sewer.size(), 9u);
        EXPECT_EQ(sewer.values[1].RawString(), "MH2");
        EXPECT_DOUBLE_EQ(sewer.values[4].RawDouble(), 2.5);
        EXPECT_EQ(sewer.values[8].RawString(), "Main");
        cad::XData other = doc.GetXData(second, "OTHER");
        ASSERT_EQ(other.size(), 4u);
        EXPECT_EQ(other.types[2], 1010);   // a point is one entry of three numbers
        EXPECT_DOUBLE_EQ(other.values[2].Element(2).RawDouble(), 3.0);
        EXPECT_EQ(doc.GetXData(second, "").size(), 8u + 9u + 4u);
        EXPECT_TRUE(doc.GetXData(second, "Diameter").empty());

        std::set<std::string> kinds;
        for (const std::string& h : doc.ModelSpaceHandles()) kinds.insert(cad::EntityClassName(*doc.Entity(h)));
        EXPECT_TRUE(kinds.count("AcDbLine") && kinds.count("AcDbCircle") && kinds.count("AcDbText") &&
                    kinds.count("AcDbBlockReference"));
        EXPECT_TRUE(kinds.count(r12 ? "AcDb2dPolyline" : "AcDbPolyline"));
        if (!r12) {
            EXPECT_TRUE(kinds.count("AcDbHatch") && kinds.count("AcDbSpline"));
        }
        EXPECT_FALSE(kinds.count("AcDbVertex"));   // vertices belong to their polyline
    }
}

TEST(DxfDocument, ChangesGetFreshHandlesAndStayReadableByEzdxf) {
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        Document doc = Document::ReadFile(kData + name);
        std::set<std::string> before;
        for (const std::string& h : doc.ModelSpaceHandles()) before.insert(h);
        doc.AddLayer("VANDU");
        doc.AddLayer("vandu");   // the same layer
        doc.SetLayerColor("Vandu", 5);
        doc.SetActiveLayer("VANDU");
        std::string c = doc.AddCircle({10, 20, 0}, 12.5);
        std::string t = doc.AddText("VANDU", {10, 20, 0}, 100);
        doc.AddBlock("Endblock", {0, 0, 0});
        cad::XData xd;
        xd.types = {1001, 1040, 1040, 1000, 1070};
        xd.values = {vb::Variant("Diameter"), vb::Variant(250.0), vb::Variant(0.004), vb::Variant("N"),
                     vb::Variant(int16_t(7))};
        doc.SetXData(*doc.MutableEntity(c), xd);
        // Replacing one application's record keeps the others.
        const std::string line = *doc.ModelSpaceHandles().begin();
        cad::XData maa;
        maa.types = {1001, 1071};
        maa.values = {vb::Variant("MAA"), vb::Variant(int32_t(42))};
        std::string firstSewerLine;
        for (const std::string& h : doc.ModelSpaceHandles())
            if (doc.Entity(h)->Type() == "LINE" && firstSewerLine.empty()) firstSewerLine = h;
        doc.SetXData(*doc.MutableEntity(firstSewerLine), maa);
        EXPECT_TRUE(doc.Modified());
        EXPECT_TRUE(doc.HasBlock("endblock"));
        EXPECT_FALSE(before.count(c) || before.count(t));
        EXPECT_NE(c, t);

        std::string path = TempPath(std::string("changed_") + name);
        ASSERT_TRUE(doc.Save(path));
        Document again = Document::ReadFile(path);
        const cad::Record* circle = again.Entity(c);
        ASSERT_NE(circle, nullptr);
        EXPECT_EQ(cad::Trim(circle->Text(8)), "VANDU");
        EXPECT_DOUBLE_EQ(circle->Number(40), 12.5);
        cad::XData back = again.GetXData(*circle, "DIAMETER");
        ASSERT_EQ(back.size(), 5u);
        EXPECT_DOUBLE_EQ(back.values[2].RawDouble(), 0.004);
        EXPECT_EQ(back.values[4].RawInteger(), 7);
        cad::XData lineData = again.GetXData(*again.Entity(firstSewerLine), "");
        ASSERT_EQ(lineData.size(), 9u + 4u + 2u);   // sewer and OTHER kept, MAA replaced at the end
        EXPECT_EQ(lineData.values.back().RawLong(), 42);
        // The drawing's handle seed lies beyond every handle.
        if (!doc.IsR12()) {
            unsigned long seed = std::stoul(again.HeaderVariable("$HANDSEED"), nullptr, 16);
            EXPECT_GT(seed, std::stoul(t, nullptr, 16));
        }
        std::string report;
        EXPECT_EQ(Check(path, &report), 0) << report;
        EXPECT_NE(report.find("entities=" + std::to_string(before.size() + 2)), std::string::npos) << report;
        std::remove(path.c_str());
    }
}

TEST(DxfDocument, NewDrawingIsACompleteR2000File) {
    Document doc = Document::New();
    EXPECT_EQ(doc.Release(), "AC1015");
    doc.AddLayer("SEWER");
    doc.SetActiveLayer("SEWER");
    std::string a = doc.AddLine({0, 0, 100}, {50, 0, 99});
    doc.AddLwPolyline({{0, 0}, {10, 0}, {10, 10}});
    std::string t = doc.AddText("Se 1", {1, 2, 0}, 1);
    // Text beyond ASCII goes into a drawing of this release as \U+ escapes.
    std::string road = doc.AddText("\xC3\x98stergade", {1, 2, 0}, 1);
    EXPECT_NE(doc.Write().find("\n\\U+00D8stergade\n"), std::string::npos);
    EXPECT_EQ(std::stoul(a, nullptr, 16), 0x31u);   // after the template's and the new layer's
    std::string path = TempPath("new.dxf");
    ASSERT_TRUE(doc.Save(path));
    std::string report;
    EXPECT_EQ(Check(path, &report), 0) << report;
    EXPECT_NE(report.find("entities=4 version=AC1015"), std::string::npos) << report;
    Document back = Document::ReadFile(path);
    EXPECT_EQ(back.DecodeText(back.Entity(road)->Text(1)), "\xC3\x98stergade");
    std::remove(path.c_str());
}

TEST(DxfDocument, BadFilesAreRefusedNamingTheLine) {
    const std::string ok = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1.5\n  0\nENDSEC\n  0\nEOF\n";
    // A drawing written without handles gets them, and keeps them when written.
    Document noHandles = Document::Parse(ok);
    ASSERT_EQ(noHandles.ModelSpaceHandles().size(), 1u);
    EXPECT_EQ(Document::Parse(noHandles.Write()).ModelSpaceHandles(), noHandles.ModelSpaceHandles());
    // Whole numbers too large for their kind are held within range, not wrapped.
    Document huge = Document::Parse(
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n 70\n99999999999999999999\n  0\nLAYER\n  2\nSEWER\n"
        " 62\n-99999999999999999999\n  0\nENDTAB\n  0\nENDSEC\n  0\nEOF\n");
    ASSERT_EQ(huge.Layers().size(), 1u);
    EXPECT_TRUE(huge.Layers()[0].off);
    EXPECT_EQ(huge.Layers()[0].color, 2147483647);
    huge.AddLayer("ROAD");
    EXPECT_NE(huge.Write().find(" 70\n2147483648\n"), std::string::npos);
    struct Case {
        std::string text;
        int64_t line;
        const char* words;
    };
    const Case cases[] = {
        {"", 0, "no DXF section"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n", 6, "ENDSEC is missing"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nSECTION\n  2\nBLOCKS\n  0\nENDSEC\n  0\nEOF\n", 5, "no ENDSEC"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n", 7, "given before, at line 1"},
        {"  0\nSECTION\n  2\nENTITIES\n  x\nLINE\n", 5, "group code was expected"},
        {"  0\nSECTION\n  2\nENTITIES\n 10\nLINE\n", 6, "is no number"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\nZZ\n  0\nENDSEC\n  0\nEOF\n", 5, "not hexadecimal"},
        {"  0\nSECTION\n  2\nENTITIES\n 70\n1.5\n", 6, "is no number"},
        {"  0\nSECTION\n  2\nENTITIES\n 85\n1\n", 5, "not a DXF group code"},
        {"  0\nSECTION\n  2\nENTITIES\n 99999999999\n1\n", 5, "group code was expected"},
        {"  0\nSECTION\n  2\nENTITIES\n 10", 6, "ends where the value"},
        {"  0\nLINE\n", 1, "\"0 SECTION\" was expected"},
        {"  0\nSECTION\n  0\nENDSEC\n", 3, "has no name"},
        {"  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1006\n  0\nENDSEC\n  0\nEOF\n", 5, "is not one of"},
        {std::string("Binary DXF\r\n\x1a\0", 14) + "junk", 1, "binary DXF"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n 40\nnan\n  0\nENDSEC\n", 8, "is no number"},
        {"  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n-inf\n  0\nENDSEC\n", 8, "is no number"},
        {"  0\nSECTION\n  2\nHEADER\n  9\n$HANDSEED\n  5\nFFFFFFFFFFFFFFFF\n  0\nENDSEC\n  0\nEOF\n", 5, "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        try {
            Document::Parse(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const DxfError& e) {
            EXPECT_EQ(e.Line(), c.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
    }
}

namespace {

// A drawing of the release with one record in ENTITIES; the record's first
// line is line 15.
std::string Drawing(const std::string& release, const std::string& entity) {
    return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\n" + release + "\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n" +
           entity + "  0\nENDSEC\n  0\nEOF\n";
}

// The refusal of a text as "line <n>: ...<words>...", or "read".
std::string Outcome(const std::string& text) {
    try {
        Document::Parse(text);
        return "read";
    } catch (const DxfError& e) {
        return e.what();
    }
}

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

// Every bound of the reader, at the limit and one past it.  Names and texts
// count bytes of UTF-8 as a caller receives them: 8-bit text of an older
// release doubles, \U+ escapes shrink, UTF-8 of a newer release stays.
TEST(DxfDocument, EveryBoundOfTheReaderHoldsAtItsEdge) {
    const std::string layer = "  0\nLINE\n  5\n2A\n  8\n";   // the layer name's value is line 20
    auto line = [&](const std::string& release, const std::string& name) { return Outcome(Drawing(release, layer + name + "\n")); };
    const std::string o = "\xC3\x98", latin = "\xD8", escaped = "\\U+00D8";   // one letter, two bytes of UTF-8
    for (const auto& [release, letter] : {std::pair{"AC1027", o}, {"AC1015", latin}, {"AC1015", escaped}}) {
        SCOPED_TRACE(std::string(release) + " " + letter);
        EXPECT_EQ(line(release, Repeat(letter, 127) + "x"), "read");
        EXPECT_EQ(line(release, Repeat(letter, 128)), "line 20: the name of 256 bytes is longer than the limit of 255 bytes");
    }
    // A text of a TEXT and of extended data: 32768 Latin-1 letters are 65536 bytes.
    const std::string text = "  0\nTEXT\n  5\n2A\n  1\n";   // the text's value is line 20
    EXPECT_EQ(Outcome(Drawing("AC1015", text + Repeat(latin, 32768) + "\n")), "read");
    EXPECT_EQ(Outcome(Drawing("AC1015", text + Repeat(latin, 32768) + "y\n")),
              "line 20: the text of 65537 bytes is longer than the limit of 65536 bytes");
    const std::string xdata = "  0\nLINE\n  5\n2A\n1001\nMAA\n1000\n";   // the string's value is line 22
    EXPECT_EQ(Outcome(Drawing("AC1027", xdata + Repeat(o, 32768) + "\n")), "read");
    EXPECT_EQ(Outcome(Drawing("AC1015", xdata + Repeat(latin, 32769) + "\n")),
              "line 22: the text of 65538 bytes is longer than the limit of 65536 bytes");
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n  5\n2A\n1001\n" + Repeat("A", 256) + "\n")),
              "line 20: the name of 256 bytes is longer than the limit of 255 bytes");
    // Any line: a comment of 262144 bytes is read, one of 262145 refused.
    EXPECT_EQ(Outcome(Drawing("AC1015", "999\n" + std::string(262144, 'c') + "\n")), "read");
    EXPECT_EQ(Outcome(Drawing("AC1015", "999\n" + std::string(262145, 'c') + "\n")),
              "line 16: the line of 262145 bytes is longer than the limit of 262144 bytes");
    // Handles: 16 hexadecimal digits up to 2^62.
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n  5\n4000000000000000\n")), "read");
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n  5\n4000000000000001\n")), "line 15: the handle 4000000000000001 is too large");
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n  5\n00000000000000001\n")),
              "line 15: the entity's handle \"00000000000000001\" is not hexadecimal");
    // Whole numbers: 20 digits and a sign.
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n 70\n-" + std::string(20, '9') + "\n")), "read");
    EXPECT_NE(Outcome(Drawing("AC1015", "  0\nLINE\n 70\n" + std::string(21, '9') + "\n")).find("line 18: the value"), std::string::npos);
}

// A zero byte refuses the drawing wherever it lies, naming its line, so that
// what the program opens it can also save and open again; two entities of
// one handle (handles are hexadecimal numbers) are refused naming both.
TEST(DxfDocument, ZeroBytesAndSharedHandlesAreRefused) {
    // Padding puts the zero byte far beyond the start; a save would take the
    // padding out.
    std::string padded = "  0\nSECTION\n  2\nENTITIES\n";
    for (int i = 0; i < 300; ++i) padded += "                   0\nPOINT\n";
    padded += "  0\nTEXT\n  1\nA" + std::string(1, '\0') + "B\n  0\nENDSEC\n  0\nEOF\n";
    ASSERT_GT(padded.find('\0'), 4096u);
    EXPECT_EQ(Outcome(padded), "line 608: the line holds a zero byte; a DXF drawing is text and holds none");
    EXPECT_EQ(Outcome(std::string(" \0 0\nSECTION\n", 13)), "line 1: the line holds a zero byte; a DXF drawing is text and holds none");

    const std::string lines = "  0\nLINE\n  5\n20\n  0\nLINE\n  5\n20\n  0\nLINE\n  5\n0020\n";
    EXPECT_EQ(Outcome(Drawing("AC1015", lines)), "line 19: the entity's handle 20 is the handle of the entity at line 15 too");
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nLINE\n  5\n2a\n  0\nCIRCLE\n  5\n002A\n")),
              "line 19: the entity's handle 002A is the handle of the entity at line 15 too");
    // Handles of their own are kept as written, and so are the entities
    // without one, which get fresh handles.
    const std::string own = Drawing("AC1015", "  0\nLINE\n  5\n0020\n  0\nLINE\n  5\n21\n  0\nLINE\n");
    Document doc = Document::Parse(own);
    EXPECT_EQ(doc.ModelSpaceHandles(), (std::vector<std::string>{"20", "21", "22"}));
    EXPECT_NE(doc.Write().find("  5\n0020\n"), std::string::npos);
}

// The kind of value each group code holds, at both ends of every range of
// codes: text, a number with a fraction, a whole number, a handle, or no
// code at all.
TEST(DxfDocument, EveryRangeOfGroupCodesEndsWhereItShould) {
    enum Kind { S, D, I, H, X };
    struct Range {
        int first, last;
        Kind kind;
    };
    const Range ranges[] = {{-6, -6, X},     {-5, 9, S},       {10, 59, D},      {60, 79, I},     {80, 89, X},
                            {90, 99, I},     {100, 102, S},    {103, 104, X},    {105, 105, H},   {106, 109, X},
                            {110, 149, D},   {150, 159, X},    {160, 179, I},    {180, 209, X},   {210, 239, D},
                            {240, 269, X},   {270, 299, I},    {300, 369, S},    {370, 389, I},   {390, 399, S},
                            {400, 409, I},   {410, 419, S},    {420, 429, I},    {430, 439, S},   {440, 459, I},
                            {460, 469, D},   {470, 481, S},    {482, 998, X},    {999, 999, S},   {1000, 1009, S},
                            {1010, 1059, D}, {1060, 1071, I},  {1072, 1072, X}};
    // What a code accepts tells its kind: only text takes "x", a number
    // with a fraction "1.5", a whole number "-1", a handle "1F".
    auto kindOf = [](int code) {
        auto takes = [code](const char* value) {
            return Outcome(Drawing("AC1015", std::to_string(code) + "\n" + value + "\n")) == "read";
        };
        if (takes("x")) return S;
        if (takes("1.5")) return D;
        if (takes("-1")) return I;
        if (takes("1F")) return H;
        return X;
    };
    for (const Range& r : ranges) {
        for (int code : {r.first, r.last}) EXPECT_EQ(kindOf(code), r.kind) << "group code " << code;
    }
    // The handle seed, like every handle, reaches 2^62.
    const std::string seed = "  0\nSECTION\n  2\nHEADER\n  9\n$HANDSEED\n  5\n";
    EXPECT_EQ(Outcome(seed + "4000000000000000\n  0\nENDSEC\n  0\nEOF\n"), "read");
    EXPECT_EQ(Outcome(seed + "4000000000000001\n  0\nENDSEC\n  0\nEOF\n"), "line 5: the handle seed 4000000000000001 is too large");
}

namespace {

// The text of a drawing written by Debian's ezdxf in each release it writes,
// made now in a folder of this test.
std::vector<std::pair<std::string, std::string>> EzdxfDrawings() {
    const std::string dir = TempPath("ezdxf");
    fs::create_directories(dir);
    const std::string script = dir + "/make.py";
    std::ofstream(script) << R"(import sys, ezdxf
for version in ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"):
    doc = ezdxf.new(version)
    doc.layers.new("SEWER", dxfattribs={"color": 1})
    msp = doc.modelspace()
    line = msp.add_line((0, 0, 1), (10, 5, 2), dxfattribs={"layer": "SEWER"})
    doc.appids.new("MAA")
    line.set_xdata("MAA", [(1071, 1), (1070, 2)])
    msp.add_text("Se 1 \u00d8", dxfattribs={"height": 2.5})
    msp.add_circle((5, 5), 2)
    doc.saveas(sys.argv[1] + "/" + version + ".dxf")
)";
    std::string report;
    EXPECT_EQ(std::system(("/usr/bin/python3 " + script + " " + dir).c_str()), 0);
    std::vector<std::pair<std::string, std::string>> out;
    for (const char* v : {"R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"})
        out.emplace_back(v, ReadText(dir + "/" + v + ".dxf"));
    fs::remove_all(dir);
    return out;
}

}  // namespace

// A drawing cut short after some section's ENDSEC, without its "0 EOF", is
// refused naming what is missing; every drawing that has its end opens,
// however its last line ends.
TEST(DxfDocument, ADrawingWithoutItsEndIsRefusedAndEveryWholeOneOpens) {
    std::vector<std::pair<std::string, std::string>> whole;
    for (const auto& entry : fs::directory_iterator(kData))
        if (entry.path().extension() == ".dxf") whole.emplace_back(entry.path().filename().string(), ReadText(entry.path().string()));
    ASSERT_GE(whole.size(), 4u);
    for (auto& drawing : EzdxfDrawings()) whole.push_back(std::move(drawing));
    whole.emplace_back("new", Document::New().Write());
    whole.emplace_back("empty", "  0\nEOF\n");

    for (const auto& [name, text] : whole) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(text.empty());
        const std::string written = Document::Parse(text).Write();
        // The last line without its line end, with blanks, a tab or a CR
        // after it: the same drawing.
        const size_t eof = text.rfind("EOF");
        ASSERT_NE(eof, std::string::npos);
        const std::string body = text.substr(0, eof);
        int ending = 0;
        for (const char* end : {"EOF", "EOF  ", "EOF\r", "EOF\r\n", "EOF \r\n", "EOF\t\n", "EOF\n\n", "EOF\r\r\n"}) {
            SCOPED_TRACE(ending++);
            EXPECT_EQ(Document::Parse(body + end).Write(), written);
        }
        if (name == "empty") continue;
        // Cut after the last ENDSEC, and after the first.
        const size_t last = body.rfind("ENDSEC");
        ASSERT_NE(last, std::string::npos);
        const std::string cut = text.substr(0, text.find('\n', last) + 1);
        const int64_t lines = std::count(cut.begin(), cut.end(), '\n');
        std::string outcome = Outcome(cut);
        EXPECT_EQ(outcome.rfind("line " + std::to_string(lines) + ": the file ends here without the drawing's end-of-file marker", 0), 0u)
            << outcome;
        EXPECT_NE(outcome.find("(\"0\" and \"EOF\") after its last section, "), std::string::npos) << outcome;
        EXPECT_NE(outcome.find("cut short"), std::string::npos) << outcome;
        const std::string first = text.substr(0, text.find('\n', text.find("ENDSEC")) + 1);
        EXPECT_NE(Outcome(first).find("end-of-file marker"), std::string::npos) << Outcome(first);
        // Without its last line ("EOF") the file ends where a value should be.
        EXPECT_NE(Outcome(body).find("ends where the value of group 0 should be"), std::string::npos) << Outcome(body);
    }
    // Comments after the last section do not stand for the end.
    EXPECT_EQ(Outcome("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n999\nbye\n"),
              "line 8: the file ends here without the drawing's end-of-file marker (\"0\" and \"EOF\") after its last "
              "section, ENTITIES (line 1): the file was cut short");
    // The section named is the last one, whatever came before it.
    EXPECT_NE(Outcome("  0\nSECTION\n  2\nHEADER\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n")
                  .find("after its last section, ENTITIES (line 7)"),
              std::string::npos);
    // "EOF" in another group, or inside a section, is not the marker.
    EXPECT_NE(Outcome("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  1\nEOF\n").find("\"0 SECTION\" was expected"), std::string::npos);
    EXPECT_NE(Outcome("  0\nSECTION\n  2\nENTITIES\n  0\nEOF\n").find("no ENDSEC before this EOF"), std::string::npos);
}

// Zero bytes count only in the drawing, up to its end-of-file marker: a
// sound drawing padded with them after "0 EOF" opens as it is.
TEST(DxfDocument, ZeroBytesAfterTheEndOfTheDrawingAreNotPartOfIt) {
    const std::string text = ReadText(kData + "network_r2000.dxf");
    const std::string written = Document::Parse(text).Write();
    const size_t eof = text.rfind("EOF");
    const std::string body = text.substr(0, eof);
    const std::string zeros(4096, '\0');
    for (const std::string& end : {"EOF\n" + zeros, "EOF\r\n" + zeros, "EOF" + zeros, "EOF\r" + zeros, "EOF \r" + zeros,
                                   "EOF\n" + zeros + "\n  0\nSECTION\n" + zeros, "EOF\n" + std::string(300000, '\0'),
                                   "EOF" + std::string(300000, '\0')}) {
        SCOPED_TRACE(end.substr(0, 6));
        EXPECT_EQ(Outcome(body + end), "read");
        EXPECT_EQ(Document::Parse(body + end).Write(), written);
    }
    // Up to the marker, a zero byte refuses the drawing wherever it lies,
    // the marker's own two lines included.
    const int64_t eofLine = std::count(body.begin(), body.end(), '\n') + 1;
    const std::string zeroLine = "line " + std::to_string(eofLine) + ": the line holds a zero byte";
    EXPECT_EQ(Outcome(body + "EO" + zeros).rfind(zeroLine, 0), 0u) << Outcome(body + "EO" + zeros);
    EXPECT_EQ(Outcome(body + std::string(1, '\0') + "EOF\n").rfind(zeroLine, 0), 0u);
    EXPECT_EQ(Outcome(body + std::string("E\0F\n", 4)).rfind(zeroLine, 0), 0u);
    EXPECT_EQ(Outcome(body + "EOFX" + zeros).rfind(zeroLine, 0), 0u) << Outcome(body + "EOFX" + zeros);
    const std::string codeLine = "line " + std::to_string(eofLine - 1) + ": the line holds a zero byte";
    const size_t codeAt = body.rfind("  0\n");
    std::string zeroCode = body;
    zeroCode.insert(codeAt + 3, 1, '\0');
    EXPECT_EQ(Outcome(zeroCode + "EOF\n").rfind(codeLine, 0), 0u) << Outcome(zeroCode + "EOF\n");
    std::string zeroEndsec = body;
    zeroEndsec.insert(zeroEndsec.rfind("ENDSEC") + 6, 1, '\0');
    EXPECT_EQ(Outcome(zeroEndsec + "EOF\n").rfind("line " + std::to_string(eofLine - 2) + ": the line holds a zero byte", 0), 0u);
    // A zero byte on the value line of any other group, even one reading
    // "EOF", is in the drawing.
    EXPECT_EQ(Outcome(Drawing("AC1015", "  0\nTEXT\n  1\nEOF" + zeros + "\n")), "line 18: the line holds a zero byte; a DXF drawing is text and holds none");
    // A zero byte past the longest line's limit on its line: the zero byte is named.
    EXPECT_EQ(Outcome(Drawing("AC1015", "999\n" + zeros + std::string(300000, 'c') + "\n")),
              "line 16: the line holds a zero byte; a DXF drawing is text and holds none");
}

// The header's variables are found at both ends of the header, and a
// variable named as its last group, or followed by another variable, has no
// value (the reader never looks past the header's last group).
TEST(DxfDocument, HeaderVariablesAtBothEndsOfTheHeader) {
    auto header = [](const std::string& groups) { return "  0\nSECTION\n  2\nHEADER\n" + groups + "  0\nENDSEC\n  0\nEOF\n"; };
    Document ends = Document::Parse(header("  9\n$ACADVER\n  1\nAC1027\n  9\n$HANDSEED\n  5\n2F\n  9\n$CLAYER\n  8\nSEWER\n"));
    EXPECT_EQ(ends.Release(), "AC1027");   // the first variable
    EXPECT_EQ(ends.ActiveLayer(), "SEWER");   // the last
    EXPECT_EQ(ends.HeaderVariable("$HANDSEED"), "2F");

    for (const std::string& groups : {std::string("  9\n$CLAYER\n  8\nSEWER\n  9\n$ACADVER\n"),
                                      std::string("  9\n$ACADVER\n  9\n$CLAYER\n  8\nSEWER\n")}) {
        SCOPED_TRACE(groups);
        Document bare = Document::Parse(header(groups));
        EXPECT_EQ(bare.Release(), "AC1009");
        EXPECT_EQ(bare.HeaderVariable("$ACADVER"), "");
        EXPECT_EQ(bare.ActiveLayer(), "SEWER");
        // Setting it gives the variable its value in place, and the next
        // variable keeps its own.
        bare.SetHeaderVariable("$ACADVER", 1, "AC1015");
        EXPECT_NE(bare.Write().find("  9\n$ACADVER\n  1\nAC1015\n"), std::string::npos) << bare.Write();
        EXPECT_EQ(Document::Parse(bare.Write()).Release(), "AC1015");
        EXPECT_EQ(Document::Parse(bare.Write()).ActiveLayer(), "SEWER");
    }
    // A value that spells a variable's name names none: the group after it
    // is no value of a variable.
    Document spelt = Document::Parse(header("  9\n$MENU\n  1\n$ACADVER\n 70\n5\n  9\n$CLAYER\n  8\n$CLAYER\n  8\nROAD\n"));
    EXPECT_EQ(spelt.Release(), "AC1009");
    EXPECT_EQ(spelt.HeaderVariable("$ACADVER"), "");
    EXPECT_EQ(spelt.ActiveLayer(), "$CLAYER");
    Document only = Document::Parse(header("  9\n$ACADVER\n"));
    const cad::Section* h = only.FindSection("HEADER");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->records.front().groups.size(), 1u);
    EXPECT_EQ(cad::HeaderValue(h->records.front().groups, 0), nullptr);
    EXPECT_EQ(cad::HeaderValue(h->records.front().groups, 1), nullptr);   // just past the end
    EXPECT_EQ(only.HeaderVariable("$ACADVER"), "");
    EXPECT_EQ(only.HeaderVariable("$CLAYER"), "");
    only.SetActiveLayer("ROAD");
    EXPECT_EQ(Document::Parse(only.Write()).ActiveLayer(), "ROAD");
}

// The drawing's text as callers get and give it, at both ends of each
// range: releases before R2007 (AC1021) hold 8-bit text and \U+XXXX escapes
// of the letters beyond ASCII; letters beyond U+FFFF, which an escape of
// four digits cannot hold, become "?" (escaped too).
TEST(DxfDocument, TextEncodingAtTheEndsOfEachRange) {
    Document r2004 = Document::Parse(Drawing("AC1018", ""));
    Document r2007 = Document::Parse(Drawing("AC1021", ""));
    EXPECT_EQ(r2004.EncodeText("\x7F\xC2\x80"), "\x7F\\U+0080");
    EXPECT_EQ(r2004.EncodeText("\xC3\xBF\xC4\x80"), "\\U+00FF\\U+0100");
    EXPECT_EQ(r2004.EncodeText("\xEF\xBF\xBF\xF0\x90\x80\x80"), "\\U+FFFF\\U+003F");
    EXPECT_EQ(r2004.EncodeText("a\xF0\x9F\x98\x80z"), "a\\U+003Fz");
    EXPECT_EQ(r2007.EncodeText("\x7F\xC2\x80\xF0\x9F\x98\x80"), "\x7F\xC2\x80\xF0\x9F\x98\x80");
    // Reading: an escape at the very end of a text, 8-bit text as Latin-1.
    EXPECT_EQ(r2004.DecodeText("a\\U+00D8"), "a\xC3\x98");
    EXPECT_EQ(r2004.DecodeText("\\U+FFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(r2004.DecodeText("\\U+00D"), "\\U+00D");
    EXPECT_EQ(r2004.DecodeText("\x7F\x80\xFF"), "\x7F\xC2\x80\xC3\xBF");
    EXPECT_EQ(r2007.DecodeText("\\U+00D8\xC3\x98"), "\\U+00D8\xC3\x98");
    // What is written reads back as it was given, or with "?".
    for (Document* doc : {&r2004, &r2007}) {
        const std::string text = "\x7F\xC2\x80\xC3\xBF\xC4\x80\xEF\xBF\xBF";
        const std::string t = doc->AddText(text, {0, 0, 0}, 1);
        Document back = Document::Parse(doc->Write());
        EXPECT_EQ(back.DecodeText(back.Entity(t)->Text(1)), text);
    }
}

// A multiline text is not handed to callers whole, so it has no limit of
// its own: one of 70,000 letters (in chunks or on one line) opens and
// writes back as it was.
TEST(DxfDocument, LongMultilineTextsOpenAsTheyAre) {
    std::string chunks;
    for (int i = 0; i < 279; ++i) chunks += "  3\n" + std::string(250, static_cast<char>('a' + i % 26)) + "\n";
    chunks += "  1\n" + std::string(250, 'z') + "\n";
    for (const std::string& mtext : {"  0\nMTEXT\n  5\n2A\n 10\n0\n 20\n0\n 40\n1\n" + chunks,
                                     "  0\nMTEXT\n  5\n2A\n 10\n0\n 20\n0\n 40\n1\n  1\n" + std::string(70000, 'm') + "\n"}) {
        const std::string text = Drawing("AC1015", mtext);
        ASSERT_EQ(Outcome(text), "read");
        EXPECT_EQ(Groups(Document::Parse(text).Write()), Groups(text));
    }
}

// Every name and text the reader holds to a limit, at the limit and one
// byte past it: the names of layers, blocks, block records, applications and
// block references, an entity's layer, extended data's application and layer
// names; the text of a TEXT and extended-data strings.  Other groups (the
// text of an MTEXT, a name group of another record) have no limit of their own.
TEST(DxfDocument, EveryNameAndTextTheReaderLimitsHoldsAtItsEdge) {
    struct Limited {
        std::string head;   // the record up to the group, whose value comes next
        size_t limit;
    };
    const Limited limited[] = {
        {"  0\nLAYER\n  2\n", 255},        {"  0\nBLOCK\n  2\n", 255},   {"  0\nBLOCK_RECORD\n  2\n", 255},
        {"  0\nAPPID\n  2\n", 255},        {"  0\nINSERT\n  2\n", 255},  {"  0\nLINE\n  8\n", 255},
        {"  0\nLINE\n1001\n", 255},        {"  0\nLINE\n1001\nMAA\n1003\n", 255},
        {"  0\nTEXT\n  1\n", 65536},       {"  0\nLINE\n1001\nMAA\n1000\n", 65536},
    };
    for (const Limited& l : limited) {
        SCOPED_TRACE(l.head);
        EXPECT_EQ(Outcome(Drawing("AC1015", l.head + std::string(l.limit, 'a') + "\n")), "read");
        const std::string past = Outcome(Drawing("AC1015", l.head + std::string(l.limit + 1, 'a') + "\n"));
        EXPECT_NE(past.find(" of " + std::to_string(l.limit + 1) + " bytes is longer than the limit of " + std::to_string(l.limit) + " bytes"),
                  std::string::npos) << past;
    }
    for (const char* free : {"  0\nLINE\n  2\n", "  0\nMTEXT\n  1\n", "  0\nMTEXT\n  3\n", "  0\nLINE\n  1\n"})
        EXPECT_EQ(Outcome(Drawing("AC1015", free + std::string(70000, 'a') + "\n")), "read") << free;
}
