// The DXF writer: exact bytes of the entities, the colour rules, the output
// file's temporary-then-rename life, and (further down) the export command of
// the main window.  Every file written here is also read by ezdxf.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cad/document.h"
#include "platform/runtime/vberror.h"
#include "profile/dxf_writer.h"

// An independent reader for the DXF files the tests write: Debian's ezdxf,
// run by Debian's own interpreter (a python3 earlier on PATH may not see it).
namespace dxf_check {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Result {
    bool ok = false;       // loaded, and the audit found no errors
    int lines = -1;        // LINE entities in model space
    int texts = -1;        // TEXT entities in model space
    std::string message;   // what the reader said
};

// Loads the file with ezdxf.readfile, audits it and counts its entities.
inline Result Read(const std::string& path) {
    std::string cmd =
        "/usr/bin/python3 -c \"import sys, ezdxf\n"
        "d = ezdxf.readfile(sys.argv[1])\n"
        "a = d.audit()\n"
        "m = d.modelspace()\n"
        "print(len(a.errors), len(m.query('LINE')), len(m.query('TEXT')))\n"
        "[print(e) for e in a.errors]\" '" +
        path + "' 2>&1";
    Result r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        r.message = "cannot run /usr/bin/python3";
        return r;
    }
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.message += buf;
    int status = ::pclose(p);
    int errors = -1;
    if (status == 0 && std::sscanf(r.message.c_str(), "%d %d %d", &errors, &r.lines, &r.texts) == 3)
        r.ok = errors == 0;
    return r;
}

}  // namespace dxf_check

namespace fs = std::filesystem;
using vb::Variant;

namespace {

std::vector<std::string> SplitCrLf(const std::string& s) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < s.size()) {
        size_t e = s.find("\r\n", pos);
        if (e == std::string::npos) {
            lines.push_back(s.substr(pos) + "<no CRLF>");
            break;
        }
        lines.push_back(s.substr(pos, e - pos));
        pos = e + 2;
    }
    return lines;
}

}  // namespace

TEST(DxfWriter, LineEntityBytes) {
    // Colour 3 from (0, 100) to (50, 99.5), origin (0, 0), Single coordinates
    // as the profile routine passes them.
    std::string s = DxfLineEntity(Variant(0.0f), Variant(100.0f), Variant(50.0f), Variant(99.5f),
                                  Variant(int16_t(3)), 0, 0);
    EXPECT_EQ(s,
              " 0 \r\nLINE\r\n 8 \r\n3\r\n 62 \r\n 3\r\n 10 \r\n 0 \r\n 20 \r\n 1000 \r\n"
              " 30 \r\n 0 \r\n 11 \r\n 50 \r\n 21 \r\n 995 \r\n 31 \r\n 0 \r\n");
    EXPECT_EQ(SplitCrLf(s).size(), 18u);

    // The origin is added to x and to 10 * y; negatives carry their sign in
    // place of the blank; fractions have a zero before the point.
    s = DxfLineEntity(Variant(-1.25f), Variant(-0.05f), Variant(0.5f), Variant(2.0f),
                      Variant(int16_t(1)), 10, 800);
    auto l = SplitCrLf(s);
    ASSERT_EQ(l.size(), 18u);
    EXPECT_EQ(l[7], " 8.75 ");
    EXPECT_EQ(l[9], " 799.5 ");
    EXPECT_EQ(l[13], " 10.5 ");
    EXPECT_EQ(l[15], " 820 ");
    s = DxfLineEntity(Variant(-20.0f), Variant(-3.0f), Variant(0.25f), Variant(0.0f),
                      Variant(int16_t(1)), 0, 0);
    l = SplitCrLf(s);
    EXPECT_EQ(l[7], "-20 ");
    EXPECT_EQ(l[9], "-30 ");
    EXPECT_EQ(l[13], " 0.25 ");

    // Singles are written with up to 7 significant digits, Doubles with 15.
    l = SplitCrLf(DxfLineEntity(Variant(1.0f / 3), Variant(0.0f), Variant(1.0 / 3), Variant(0.0f),
                                Variant(int16_t(1)), 0, 0));
    EXPECT_EQ(l[7], " 0.3333333 ");
    EXPECT_EQ(l[13], " 0.333333333333333 ");

    // A whole number within the 16-bit range takes the 32-bit origin at
    // single precision; from 32768 on (either sign), at double precision.
    auto x = [](int32_t v) {
        return SplitCrLf(DxfLineEntity(Variant(v), Variant(0.0f), Variant(v), Variant(0.0f), Variant(int16_t(1)), 0.1f, 0))[7];
    };
    EXPECT_EQ(x(32767), " 32767.1 ");
    EXPECT_EQ(x(-32767), "-32766.9 ");
    EXPECT_EQ(x(32768), " 32768.1000000015 ");
    EXPECT_EQ(x(-32768), "-32767.8999999985 ");
}

TEST(DxfWriter, TextEntityBytes) {
    std::string s = DxfTextEntity(Variant(10.0f), Variant(2.5f), Variant(int16_t(2)), Variant(1.5f),
                                  Variant(int16_t(90)), "  MH 1 ", 0, 800);
    EXPECT_EQ(s,
              " 0 \r\nTEXT\r\n 8 \r\n2\r\n 62 \r\n 2 \r\n 10 \r\n 10 \r\n 20 \r\n 825 \r\n"
              " 30 \r\n 0 \r\n 50 \r\n 90 \r\n 7 \r\nSTANDARD\r\n 40 \r\n 1.5 \r\n 1 \r\nMH 1 \r\n");

    // A line break inside the text cannot break the line structure; characters
    // outside the 8-bit code are escaped the DXF way.
    auto l = SplitCrLf(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(int16_t(7)), Variant(1.0f),
                                     Variant(0.0f), "a\r\nb \xC3\xA9 \xE2\x82\xAC", 0, 0));
    ASSERT_EQ(l.size(), 20u);
    EXPECT_EQ(l[19], "a  b \xE9 \\U+20AC");
}

// Each range of characters of a TEXT's text, at both of its ends: control
// characters become blanks, ASCII and the Latin-1 letters stay single
// bytes, other letters of the basic plane become \U+XXXX, letters beyond it
// (which an escape of four digits cannot hold) "?", and bytes that are no
// UTF-8 go through as the 8-bit text they already are.
TEST(DxfWriter, EveryCharacterRangeOfTheTextEndsWhereItShould) {
    auto text = [](const std::string& s) {
        auto l = SplitCrLf(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(int16_t(0)), Variant(1.0f), Variant(0.0f), s, 0, 0));
        return l.empty() ? std::string("<none>") : l.back();
    };
    const std::pair<std::string, std::string> cases[] = {
        {"\x1F", " "},                       {"~", "~"},                           {"\x7F", " "},
        {"\xC2\x80", "\\U+0080"},            {"\xC2\x9F", "\\U+009F"},            {"\xC2\xA0", "\xA0"},
        {"\xC3\xBF", "\xFF"},                {"\xC4\x80", "\\U+0100"},            {"\xDF\xBF", "\\U+07FF"},
        {"\xE0\xA0\x80", "\\U+0800"},        {"\xEF\xBF\xBF", "\\U+FFFF"},        {"\xF0\x90\x80\x80", "?"},
        {"\xF0\x9F\x98\x80", "?"},            {"\xF4\x8F\xBF\xBF", "?"},            {"\xF7\xBF\xBF\xBF", "?"},
        {"\xC0\x80", " "},                    {"\xBF\x80", "\xBF\x80"},              {"\xF8\x88\x80\x80", "\xF8\x88\x80\x80"},
        {"\xC3", "\xC3"},                     {"\xE0\xA0", "\xE0\xA0"},              {"\xFF", "\xFF"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(::testing::PrintToString(in));
        EXPECT_EQ(text("a" + in + "|"), "a" + out + "|");
    }
    // A letter that ends the text is read whole; one cut short is not.
    EXPECT_EQ(text("a\xC3\xA9"), "a\xE9");
    EXPECT_EQ(text("a\xE2\x82\xAC"), "a\\U+20AC");
    EXPECT_EQ(text("a\xE2\x82"), "a\xE2\x82");
}

TEST(DxfWriter, ColourRules) {
    // Colour 0: layer 0 and no group 62, on both entity kinds.
    auto line = SplitCrLf(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(1.0f), Variant(1.0f),
                                        Variant(int16_t(0)), 0, 0));
    ASSERT_EQ(line.size(), 16u);
    EXPECT_EQ(line[3], "0");
    EXPECT_EQ(line[4], " 10 ");
    auto text = SplitCrLf(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(int16_t(0)), Variant(1.0f),
                                        Variant(0.0f), "x", 0, 0));
    ASSERT_EQ(text.size(), 18u);
    EXPECT_EQ(text[3], "0");
    EXPECT_EQ(text[4], " 10 ");

    // Colour 4: a LINE is on layer 4 coloured 30 (a text line with a leading
    // blank); a TEXT is on layer 4 coloured 4 (a number line).
    line = SplitCrLf(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(1.0f), Variant(1.0f),
                                   Variant(int16_t(4)), 0, 0));
    EXPECT_EQ(line[3], "4");
    EXPECT_EQ(line[4], " 62 ");
    EXPECT_EQ(line[5], " 30");
    text = SplitCrLf(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(int16_t(4)), Variant(1.0f),
                                   Variant(0.0f), "x", 0, 0));
    EXPECT_EQ(text[3], "4");
    EXPECT_EQ(text[5], " 4 ");

    // A colour that is not a whole number in 0..256 is rounded half to even and
    // clamped before it names the layer.
    EXPECT_EQ(DxfColour(Variant(2.5)), 2);
    EXPECT_EQ(DxfColour(Variant(3.5)), 4);
    EXPECT_EQ(DxfColour(Variant(0.4)), 0);
    EXPECT_EQ(DxfColour(Variant(int16_t(-3))), 0);
    EXPECT_EQ(DxfColour(Variant(int32_t(300))), 256);
    EXPECT_EQ(DxfColour(Variant(int32_t(-1))), 0);
    EXPECT_EQ(DxfColour(Variant(int32_t(0))), 0);
    EXPECT_EQ(DxfColour(Variant(int32_t(256))), 256);
    EXPECT_EQ(DxfColour(Variant(int32_t(257))), 256);
    EXPECT_EQ(DxfColour(Variant("abc")), 0);
    line = SplitCrLf(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(1.0f), Variant(1.0f),
                                   Variant(-1.0), 0, 0));
    EXPECT_EQ(line[3], "0");
    EXPECT_EQ(line[4], " 10 ");
    line = SplitCrLf(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(1.0f), Variant(1.0f),
                                   Variant(4.4), 0, 0));
    EXPECT_EQ(line[3], "4");
    EXPECT_EQ(line[5], " 30");
    text = SplitCrLf(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(1000.0), Variant(1.0f),
                                   Variant(0.0f), "x", 0, 0));
    EXPECT_EQ(text[3], "256");
    EXPECT_EQ(text[5], " 256 ");
}

// What the writer makes opens in the drawing program's reader, texts and all.
TEST(DxfWriter, ItsFilesOpenInTheDrawingReader) {
    EXPECT_TRUE(cad::Document::Parse(DxfHead() + DxfTrailer()).ModelSpaceHandles().empty());
    cad::Document doc = cad::Document::Parse(
        DxfHead() +
        DxfLineEntity(Variant(0.0f), Variant(1.0f), Variant(5.0f), Variant(2.0f), Variant(int16_t(4)), 0, 800) +
        DxfTextEntity(Variant(1.0f), Variant(2.0f), Variant(int16_t(3)), Variant(2.5f), Variant(90.0f),
                      " \xC3\x98 \xE2\x82\xAC \xF0\x9F\x98\x80.", 0, 800) +
        DxfTrailer());
    const std::vector<std::string> handles = doc.ModelSpaceHandles();
    ASSERT_EQ(handles.size(), 2u);
    EXPECT_EQ(doc.Entity(handles[0])->Type(), "LINE");
    EXPECT_EQ(cad::PointOf(*doc.Entity(handles[0]), 11), (cad::Point{5, 820, 0}));
    EXPECT_EQ(doc.DecodeText(doc.Entity(handles[1])->Text(1)), "\xC3\x98 \xE2\x82\xAC ?.");
}

TEST(DxfWriter, BadValuesWriteNoPartOfAnEntity) {
    EXPECT_THROW(DxfLineEntity(Variant("east"), Variant(0.0f), Variant(1.0f), Variant(1.0f),
                               Variant(int16_t(1)), 0, 0),
                 vb::VbError);
    // A coordinate that is not finite would make the file unreadable.
    EXPECT_EQ(DxfLineEntity(Variant(0.0f), Variant(1.0 / 0.0), Variant(1.0f), Variant(1.0f),
                            Variant(int16_t(1)), 0, 0),
              "");
}

TEST(DxfWriter, OutputIsRenamedIntoPlaceOnlyWhenComplete) {
    fs::path dir = fs::temp_directory_path() / ("dxfw_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string path = (dir / "out.dxf").string();
    {
        std::ofstream old(path, std::ios::binary);
        old << "old";
    }

    DxfOutput out;
    out.Open(path, 0, 800);
    EXPECT_THROW(out.Open(path, 0, 0), vb::VbError);   // already open: 55
    out.Write(DxfHead());
    out.Write(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(5.0f), Variant(1.0f),
                            Variant(int16_t(3)), out.OriginX(), out.OriginY()));
    // Nothing has reached the target yet.
    EXPECT_EQ(dxf_check::ReadAll(path), "old");
    out.Abandon();
    EXPECT_EQ(dxf_check::ReadAll(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);

    // A failure during the writing leaves the old file and no temporary one.
    out.Open(path, 0, 0);
    out.Write(DxfHead());
    out.Fail(57, "Device I/O error");
    EXPECT_FALSE(out.Write(DxfTrailer()));
    EXPECT_FALSE(out.Close());
    EXPECT_EQ(out.FailureNumber(), 57);
    EXPECT_EQ(dxf_check::ReadAll(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);

    // A complete file replaces the old one and reads back.
    out.Open(path, 0, 0);
    out.Write(DxfHead());
    out.Write(DxfLineEntity(Variant(0.0f), Variant(0.0f), Variant(5.0f), Variant(1.0f),
                            Variant(int16_t(3)), 0, 0));
    out.Write(DxfTextEntity(Variant(0.0f), Variant(0.0f), Variant(int16_t(0)), Variant(2.0f),
                            Variant(45.0f), "A", 0, 0));
    out.Write(DxfTrailer());
    ASSERT_TRUE(out.Close());
    auto r = dxf_check::Read(path);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.lines, 1);
    EXPECT_EQ(r.texts, 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);

    // A target that cannot be replaced (here a folder of that name) fails at
    // the closing, with the reason kept and nothing left behind.
    fs::create_directories(dir / "taken.dxf");
    out.Open((dir / "taken.dxf").string(), 0, 0);
    out.Write(DxfHead());
    out.Write(DxfTrailer());
    EXPECT_FALSE(out.Close());
    EXPECT_TRUE(out.Failed());
    EXPECT_FALSE(out.FailureDescription().empty());
    EXPECT_TRUE(fs::is_directory(dir / "taken.dxf"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
    fs::remove_all(dir / "taken.dxf");

    // A folder that does not exist fails at the opening.
    try {
        out.Open((dir / "no" / "x.dxf").string(), 0, 0);
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 76);
    }
    fs::remove_all(dir);
}

TEST(DxfWriter, DrawingCallsWriteIntoTheOpenOutputOnly) {
    fs::path dir = fs::temp_directory_path() / ("dxfw2_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string path = (dir / "calls.dxf").string();

    // No output open: nothing happens.
    DxfWriteLine(Variant(0.0f), Variant(0.0f), Variant(1.0f), Variant(1.0f), Variant(int16_t(1)));
    EXPECT_FALSE(fs::exists(path));

    DxfOutput& out = DxfFile();
    out.Open(path, 5, 1600);
    out.Write(DxfHead());
    DxfWriteLine(Variant(0.0f), Variant(1.0f), Variant(1.0f), Variant(1.0f), Variant(int16_t(1)));
    DxfWriteText(Variant(1.0f), Variant(0.0f), Variant(int16_t(4)), Variant(2.0f), Variant(0.0f), " T");
    EXPECT_THROW(DxfWriteText(Variant("?"), Variant(0.0f), Variant(int16_t(4)), Variant(2.0f),
                              Variant(0.0f), "bad"),
                 vb::VbError);
    out.Write(DxfTrailer());
    ASSERT_TRUE(out.Close());
    std::string body = dxf_check::ReadAll(path);
    EXPECT_NE(body.find(" 10 \r\n 5 \r\n 20 \r\n 1610 \r\n"), std::string::npos);
    EXPECT_NE(body.find(" 10 \r\n 6 \r\n 20 \r\n 1600 \r\n"), std::string::npos);
    EXPECT_EQ(body.find("bad"), std::string::npos);
    auto r = dxf_check::Read(path);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.lines, 1);
    EXPECT_EQ(r.texts, 1);
    fs::remove_all(dir);
}

// --- The export command of the main window ------------------------------------------

#include <algorithm>
#include <memory>

#include "tests/profile/profile_fixture.h"

namespace {

// The export command driven on a loaded main window.
class DxfExport : public LoadedMainWindow {
protected:
    DxfExport() : LoadedMainWindow("dxfexp_") {}
    std::string Target(const std::string& name = "out.dxf") const { return (dir_ / name).string(); }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> p;
        for (auto& m : dialogs_->Messages()) p.push_back(m.prompt);
        return p;
    }
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}));
    }
};

}  // namespace

namespace {

// Group 20 and 21 values (the y of every entity) in file order.
std::vector<double> YValues(const std::string& body) {
    std::vector<std::string> l = SplitCrLf(body);
    std::vector<double> ys;
    for (size_t i = 0; i + 1 < l.size(); i += 2)
        if (l[i] == " 20 " || l[i] == " 21 ") ys.push_back(std::stod(l[i + 1]));
    return ys;
}

int Count(const std::string& s, const std::string& what) {
    int n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(DxfExport, LateralWithoutPipesGivesHeadAndTrailerOnly) {
    ASSERT_EQ(RunCount, 0);
    dialogs_->QueueFile(Target());
    form_->Commanddel_Click();

    ASSERT_EQ(dialogs_->Files().size(), 1u);
    const vb::FileDialogRequest& r = dialogs_->Files()[0].request;
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, "Save DXF");
    EXPECT_EQ(r.filter, "DXF File (*.dxf)|*.dxf");
    EXPECT_EQ(r.fileName, "DXF-Lateral1");

    EXPECT_EQ(dxf_check::ReadAll(Target()), DxfHead() + DxfTrailer());
    EXPECT_EQ(Prompts(), std::vector<std::string>{"DXF Saved"});
    EXPECT_EQ(dialogs_->Messages()[0].buttons, vb::vbOKOnly);
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 800);
    EXPECT_FLOAT_EQ(form_->DxfOriginX, 0);
    EXPECT_EQ(DxfMode, 1);
    EXPECT_FALSE(DxfFile().IsOpen());
    auto check = dxf_check::Read(Target());
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_EQ(check.lines, 0);
    EXPECT_EQ(check.texts, 0);
}

// "DXF Saved" is said only when the file stands complete under its name.
class CheckingDialogs : public vb::ScriptedDialogs {
public:
    std::string target;
    std::vector<std::string> seenAtSaved;
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
        if (prompt == "DXF Saved") seenAtSaved.push_back(dxf_check::ReadAll(target));
        return ScriptedDialogs::MsgBox(prompt, buttons, title);
    }
};

TEST_F(DxfExport, ProfileIsWrittenAndEachExportLiesEightHundredHigher) {
    auto checking = std::make_shared<CheckingDialogs>();
    vb::DialogSinkScope scope(checking);
    AddPipes(2);
    ASSERT_EQ(RunCount, 2);
    const float offsetX = ProfileOffsetX, offsetY = ProfileOffsetY;

    checking->target = Target("a.dxf");
    checking->QueueFile(Target("a.dxf"));
    form_->Commanddel_Click();
    checking->target = Target("b.dxf");
    checking->QueueFile(Target("b.dxf"));
    form_->Commanddel_Click();
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 1600);

    std::string a = dxf_check::ReadAll(Target("a.dxf"));
    std::string b = dxf_check::ReadAll(Target("b.dxf"));
    ASSERT_EQ(checking->seenAtSaved.size(), 2u);
    EXPECT_EQ(checking->seenAtSaved[0], a);
    EXPECT_EQ(checking->seenAtSaved[1], b);
    EXPECT_EQ(a.substr(0, DxfHead().size()), DxfHead());
    EXPECT_EQ(a.substr(a.size() - DxfTrailer().size()), DxfTrailer());

    // Both files hold the same entities, read alike by ezdxf.
    const int lines = Count(a, "\r\nLINE\r\n"), texts = Count(a, "\r\nTEXT\r\n");
    EXPECT_GT(lines, 5);
    EXPECT_GT(texts, 5);
    for (const char* name : {"a.dxf", "b.dxf"}) {
        auto check = dxf_check::Read(Target(name));
        EXPECT_TRUE(check.ok) << name << ": " << check.message;
        EXPECT_EQ(check.lines, lines) << name;
        EXPECT_EQ(check.texts, texts) << name;
    }

    // Every y of the second export is 800 higher; the screen view plays no part.
    std::vector<double> ya = YValues(a), yb = YValues(b);
    ASSERT_EQ(ya.size(), yb.size());
    ASSERT_FALSE(ya.empty());
    for (size_t i = 0; i < ya.size(); ++i) EXPECT_NEAR(yb[i] - ya[i], 800, 1e-3) << i;
    EXPECT_FLOAT_EQ(ProfileOffsetX, offsetX);
    EXPECT_FLOAT_EQ(ProfileOffsetY, offsetY);
    EXPECT_EQ(DxfMode, 1);

    // Panning the screen does not move the file's entities.
    ProfileOffsetX += 37;
    ProfileOffsetY -= 11;
    checking->target = Target("c.dxf");
    checking->QueueFile(Target("c.dxf"));
    form_->Commanddel_Click();
    std::vector<double> yc = YValues(dxf_check::ReadAll(Target("c.dxf")));
    ASSERT_EQ(yc.size(), ya.size());
    for (size_t i = 0; i < ya.size(); ++i) EXPECT_NEAR(yc[i] - ya[i], 1600, 1e-3) << i;
}

TEST_F(DxfExport, CancelledDialogWritesNothingButMovesTheOrigin) {
    const size_t before = FilesInFolder();
    dialogs_->QueueFileCancel();
    form_->Commanddel_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Cancel was selected."});
    EXPECT_EQ(FilesInFolder(), before);
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 800);
    EXPECT_EQ(DxfMode, 1);
    EXPECT_FALSE(DxfFile().IsOpen());

    // An empty name ends the export without a word, and the origin moves all
    // the same.
    dialogs_->ClearLog();
    dialogs_->QueueFile("");
    form_->Commanddel_Click();
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(FilesInFolder(), before);
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 1600);
    EXPECT_EQ(DxfMode, 1);
}

TEST_F(DxfExport, RefusedOverwriteLeavesTheFileUntouched) {
    AddPipes(1);
    {
        std::ofstream old(Target(), std::ios::binary);
        old << "keep me";
    }
    dialogs_->QueueFile(Target());
    dialogs_->QueueButton(vb::vbNo);
    form_->Commanddel_Click();
    ASSERT_EQ(Prompts(), std::vector<std::string>{" Overwrite ?"});
    EXPECT_EQ(dialogs_->Messages()[0].buttons, vb::vbYesNo + vb::vbDefaultButton2);
    EXPECT_EQ(dxf_check::ReadAll(Target()), "keep me");
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 800);

    // Closing the box without a choice takes the default button, No.
    dialogs_->ClearLog();
    dialogs_->QueueFile(Target());
    form_->Commanddel_Click();
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_TRUE(dialogs_->Messages()[0].defaulted);
    EXPECT_EQ(dxf_check::ReadAll(Target()), "keep me");

    // Yes replaces it.
    dialogs_->ClearLog();
    dialogs_->QueueFile(Target());
    dialogs_->QueueButton(vb::vbYes);
    form_->Commanddel_Click();
    EXPECT_EQ(Prompts(), (std::vector<std::string>{" Overwrite ?", "DXF Saved"}));
    auto check = dxf_check::Read(Target());
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_GT(check.lines, 0);
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 2400);
}

TEST_F(DxfExport, FailureLeavesNoFileAndSaysSo) {
    AddPipes(1);
    const size_t before = FilesInFolder();

    // A folder that does not exist: reported when the file is opened.
    dialogs_->QueueFile((dir_ / "missing" / "x.dxf").string());
    form_->Commanddel_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Path not found"});
    EXPECT_EQ(DxfMode, 1);
    EXPECT_FLOAT_EQ(form_->DxfOriginY, 800);

    // A target that cannot be replaced: reported after the redraw, and no
    // "DXF Saved".
    fs::create_directories(dir_ / "taken.dxf");
    dialogs_->ClearLog();
    dialogs_->QueueFile(Target("taken.dxf"));
    dialogs_->QueueButton(vb::vbYes);   // it exists
    form_->Commanddel_Click();
    std::vector<std::string> p = Prompts();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], " Overwrite ?");
    EXPECT_EQ(p[1].rfind("DXF not saved: ", 0), 0u) << p[1];
    EXPECT_NE(p[1].find(Target("taken.dxf") + " is a folder"), std::string::npos) << p[1];
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.dxf"));
    EXPECT_EQ(FilesInFolder(), before + 1);   // only the folder made above
    EXPECT_EQ(DxfMode, 1);
    EXPECT_FALSE(DxfFile().IsOpen());
}

TEST_F(DxfExport, ExportOverALinkReplacesTheFileItNames) {
    AddPipes(1);
    fs::create_directories(dir_ / "drawings");
    const std::string real = (dir_ / "drawings" / "profile.dxf").string();
    std::ofstream(real) << "older drawing";
    fs::create_symlink(real, dir_ / "latest.dxf");
    dialogs_->QueueFile(Target("latest.dxf"));
    dialogs_->QueueButton(vb::vbYes);
    form_->Commanddel_Click();
    EXPECT_EQ(Prompts(), (std::vector<std::string>{" Overwrite ?", "DXF Saved"}));
    EXPECT_TRUE(fs::is_symlink(dir_ / "latest.dxf"));
    EXPECT_EQ(fs::read_symlink(dir_ / "latest.dxf"), real);
    auto check = dxf_check::Read(real);
    EXPECT_TRUE(check.ok) << check.message;
    EXPECT_GT(check.lines, 0);
}
