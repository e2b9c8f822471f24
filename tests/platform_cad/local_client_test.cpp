// The client over a document in this process, as the exchange drives it:
// failure numbers, selection filters, the pick, entity properties.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "platform/cad/local_client.h"
#include "platform/runtime/vberror.h"
#include "tests/platform_runtime/error_of.h"

using cad::Point;

namespace {

const std::string kData = std::string(SEWER_SOURCE_DIR) + "/tests/data/cad/";

std::vector<vb::Variant> Texts(std::initializer_list<const char*> texts) {
    std::vector<vb::Variant> out;
    for (const char* t : texts) out.emplace_back(t);
    return out;
}

}  // namespace

TEST(LocalClient, FailureNumbersOfTheCollections) {
    cad::Document doc = cad::Document::New();
    cad::LocalClient c(&doc);
    // Selection sets: a second Add of a name fails until the set is deleted.
    c.AddSelectionSet("TEST3");
    EXPECT_EQ(ErrorOf([&] { c.AddSelectionSet("test3"); }), cad::kErrDuplicateName);
    EXPECT_EQ(ErrorOf([&] { c.SelectionSetItem("Test3"); }), 0);
    c.DeleteSelectionSet("TEST3");
    EXPECT_EQ(ErrorOf([&] { c.SelectionSetItem("TEST3"); }), cad::kErrKeyNotFound);
    EXPECT_EQ(ErrorOf([&] { c.AddSelectionSet("TEST3"); }), 0);
    // Blocks: Item fails on a missing block until it is added.
    EXPECT_EQ(ErrorOf([&] { c.BlockItem("Endblock"); }), cad::kErrKeyNotFound);
    c.AddBlock({0, 0, 0}, "Endblock");
    EXPECT_EQ(ErrorOf([&] { c.BlockItem("ENDBLOCK"); }), 0);
    // Layers: colours of a missing layer, colours out of range, active layer.
    EXPECT_EQ(ErrorOf([&] { c.SetLayerColor("sewer", 1); }), cad::kErrKeyNotFound);
    EXPECT_EQ(ErrorOf([&] { c.SetActiveLayer("sewer"); }), cad::kErrKeyNotFound);
    c.AddLayer("sewer");
    c.SetLayerColor("SEWER", 60);
    EXPECT_EQ(c.LayerColor("Sewer"), 60);
    EXPECT_EQ(ErrorOf([&] { c.SetLayerColor("sewer", 256); }), vb::errInvalidProcedureCall);
    c.SetActiveLayer("SEWER");
    EXPECT_EQ(c.ActiveLayer(), "sewer");
    EXPECT_EQ(ErrorOf([&] { c.SetWindowState(4); }), vb::errInvalidProcedureCall);
    // Entities: unknown handles and properties another kind has.
    std::string circle = c.AddCircle({1, 2, 0}, 10);
    EXPECT_EQ(c.Layer(circle), "sewer");
    EXPECT_EQ(ErrorOf([&] { c.EntityName("FFFF"); }), cad::kErrNoSuchEntity);
    EXPECT_EQ(ErrorOf([&] { c.StartPoint(circle); }), vb::errNotSupported);
    EXPECT_EQ(ErrorOf([&] { c.Coordinates(circle); }), vb::errNotSupported);
    EXPECT_EQ(ErrorOf([&] { c.AddCircle({0, 0, 0}, 0); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.AddText("x", {0, 0, 0}, -1); }), vb::errInvalidProcedureCall);
    // Extended data: malformed lists change nothing.
    cad::XData bad;
    bad.types = {1000, 1040};
    bad.values = {vb::Variant("a"), vb::Variant(1.0)};
    EXPECT_EQ(ErrorOf([&] { c.SetXData(circle, bad); }), vb::errInvalidProcedureCall);
    bad.types = {1001, 1040};
    bad.values = {vb::Variant("Diameter")};
    EXPECT_EQ(ErrorOf([&] { c.SetXData(circle, bad); }), vb::errInvalidProcedureCall);
    bad.types = {1001, 1070};
    bad.values = {vb::Variant("Diameter"), vb::Variant(40000.0)};
    EXPECT_EQ(ErrorOf([&] { c.SetXData(circle, bad); }), vb::errOverflow);
    bad.types = {1001, 1090};
    bad.values = {vb::Variant("Diameter"), vb::Variant(1.0)};
    EXPECT_EQ(ErrorOf([&] { c.SetXData(circle, bad); }), vb::errInvalidProcedureCall);
    EXPECT_TRUE(c.GetXData(circle, "Diameter").empty());
    // A line break in a name or text would split the value in the file: refused,
    // and the drawing still reads back.
    EXPECT_EQ(ErrorOf([&] { c.AddText("a\nb", {0, 0, 0}, 1); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.AddLayer("X\r\n  0\r\nEOF"); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.AddBlock({0, 0, 0}, "a\nb"); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.SetLayer(circle, "a\nb"); }), vb::errInvalidProcedureCall);
    bad.types = {1001, 1000};
    bad.values = {vb::Variant("MAA"), vb::Variant("a\nb")};
    EXPECT_EQ(ErrorOf([&] { c.SetXData(circle, bad); }), vb::errInvalidProcedureCall);
    EXPECT_NO_THROW(cad::Document::Parse(doc.Write()));
}

TEST(LocalClient, NumbersThatAreNoneAndOverlongArgumentsChangeNothing) {
    cad::Document doc = cad::Document::New();
    cad::LocalClient c(&doc);
    const std::string text = c.AddText("Se 1", {1, 2, 0}, 1);
    const std::string before = doc.Write();
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    auto xdata = [](int16_t type, vb::Variant value) {
        cad::XData x;
        x.types = {1001, type};
        x.values = {vb::Variant("sewer"), std::move(value)};
        return x;
    };
    vb::Variant point = vb::Variant::MakeArray(vb::vbDouble, {{0, 2}});
    point.SetElement(1, vb::Variant(-inf));
    const std::string longName(cad::kMaxNameBytes + 1, 'n');
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* limit;   // named in the description, or ""
    };
    const Case cases[] = {
        {"circle at infinity", [&] { c.AddCircle({inf, 0, 0}, 1); }, ""},
        {"circle at NaN", [&] { c.AddCircle({0, 0, nan}, 1); }, ""},
        {"infinite radius", [&] { c.AddCircle({0, 0, 0}, inf); }, ""},
        {"text at NaN", [&] { c.AddText("x", {nan, 0, 0}, 1); }, ""},
        {"text of NaN height", [&] { c.AddText("x", {0, 0, 0}, nan); }, ""},
        {"block at infinity", [&] { c.AddBlock({0, inf, 0}, "B"); }, ""},
        {"infinite rotation", [&] { c.SetRotation(text, -inf); }, ""},
        {"alignment point at NaN", [&] { c.SetTextAlignmentPoint(text, {0, 0, nan}); }, ""},
        {"xdata number", [&] { c.SetXData(text, xdata(1040, vb::Variant(inf))); }, ""},
        {"xdata point", [&] { c.SetXData(text, xdata(1010, point)); }, ""},
        {"long layer name", [&] { c.AddLayer(longName); }, "255"},
        {"long layer of an entity", [&] { c.SetLayer(text, longName); }, "255"},
        {"long block name", [&] { c.AddBlock({0, 0, 0}, longName); }, "255"},
        {"long selection set name", [&] { c.AddSelectionSet(longName); }, "255"},
        {"long application name", [&] { c.SetXData(text, xdata(1001, vb::Variant(longName))); }, "255"},
        {"long text", [&] { c.AddText(std::string(cad::kMaxTextBytes + 1, 't'), {0, 0, 0}, 1); }, "65536"},
        {"long xdata text", [&] { c.SetXData(text, xdata(1000, vb::Variant(std::string(cad::kMaxTextBytes + 1, 't')))); }, "65536"},
        {"long file name", [&] { c.SaveAs("/tmp/" + std::string(cad::kMaxPathBytes, 'p')); }, "4096"},
    };
    for (const Case& k : cases) {
        try {
            k.call();
            ADD_FAILURE() << k.what << " was accepted";
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Number(), vb::errInvalidProcedureCall) << k.what << ": " << e.Description();
            EXPECT_NE(e.Description().find(k.limit), std::string::npos) << k.what << ": " << e.Description();
        }
    }
    EXPECT_EQ(doc.Write(), before);
    // A file name of 4,096 bytes is tried (and here fails as the file
    // system's: error 75); one of 4,097 is refused by its length.
    std::string path = "/sewer-no-such-folder";
    while (path.size() < cad::kMaxPathBytes) path += "/" + std::string(std::min<size_t>(200, cad::kMaxPathBytes - path.size() - 1), 'p');
    ASSERT_EQ(path.size(), cad::kMaxPathBytes);
    EXPECT_EQ(ErrorOf([&] { c.SaveAs(path); }), 75);
    try {
        c.SaveAs(path + "q");
        ADD_FAILURE() << "a file name of 4,097 bytes was taken";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), vb::errInvalidProcedureCall);
        EXPECT_NE(e.Description().find("4096"), std::string::npos) << e.Description();
    }
    // At the limits themselves, accepted; a long unknown name is quoted by its start only.
    c.AddLayer(std::string(cad::kMaxNameBytes, 'n'));
    c.AddText(std::string(cad::kMaxTextBytes, 't'), {0, 0, 0}, 1);
    EXPECT_NO_THROW(c.AddText(std::string(65536, 't'), {0, 0, 0}, 1));
    try {
        c.LayerColor(std::string(100000, 'q'));
        ADD_FAILURE() << "an unknown layer was found";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), cad::kErrKeyNotFound);
        EXPECT_LT(e.Description().size(), 200u) << e.Description();
    }
}

TEST(LocalClient, SelectionFiltersAndThePick) {
    cad::Document doc = cad::Document::ReadFile(kData + "network_r2000.dxf");
    cad::LocalClient c(&doc);
    std::vector<std::string> asked;
    cad::LocalClient::Host host;
    int picks = 0;
    host.pick = [&] {
        ++picks;
        return asked;
    };
    c.SetHost(host);
    c.AddSelectionSet("temp");
    c.Select("temp", cad::kSelectAll, {}, {}, {0, 8}, Texts({"line", "sewer"}));
    std::vector<std::string> pipes = c.SelectionSetEntities("temp");
    ASSERT_EQ(pipes.size(), 3u);
    EXPECT_EQ(c.StartPoint(pipes[0]), (Point{1000, 200, 101.5}));
    EXPECT_EQ(c.EndPoint(pipes[2]), (Point{1160, 230, 99.8}));
    // Two equal pairs select every line on any layer; a second Select adds
    // without repeating members.
    c.Select("temp", cad::kSelectAll, {}, {}, {0, 0}, Texts({"Line", "Line"}));
    EXPECT_EQ(c.SelectionSetEntities("temp").size(), 4u);
    c.AddSelectionSet("all");
    c.Select("all", cad::kSelectAll, {}, {}, {}, {});
    EXPECT_EQ(c.SelectionSetEntities("all").size(), doc.ModelSpaceHandles().size());
    c.AddSelectionSet("none");
    c.Select("none", cad::kSelectAll, {}, {}, {0, 8}, Texts({"CIRCLE", "VANDU"}));
    EXPECT_TRUE(c.SelectionSetEntities("none").empty());
    EXPECT_EQ(ErrorOf([&] { c.Select("none", 0, {}, {}, {}, {}); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.Select("none", 5, {}, {}, {62}, Texts({"1"})); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c.Select("nope", 5, {}, {}, {}, {}); }), cad::kErrKeyNotFound);

    // The pick: the host's pick runs, unknown handles are dropped; a scripted
    // pick is taken once instead of asking the host.
    std::string poly;
    for (const std::string& h : doc.ModelSpaceHandles())
        if (c.EntityName(h) == "AcDbPolyline") poly = h;
    ASSERT_FALSE(poly.empty());
    asked = {poly, "DEAD", pipes[0]};
    c.AddSelectionSet("SET1");
    c.SelectOnScreen("SET1");
    EXPECT_EQ(c.SelectionSetEntities("SET1"), (std::vector<std::string>{poly, pipes[0]}));
    EXPECT_EQ(c.Coordinates(poly), (std::vector<double>{0, 100, 40, 100, 40, 140, 90, 160}));
    c.DeleteSelectionSet("SET1");
    c.AddSelectionSet("SET1");
    c.ScriptNextPick({pipes[1]});
    c.SelectOnScreen("SET1");
    EXPECT_EQ(c.SelectionSetEntities("SET1"), (std::vector<std::string>{pipes[1]}));
    EXPECT_EQ(picks, 1);
}

TEST(LocalClient, TextPropertiesAndSaving) {
    cad::Document doc = cad::Document::ReadFile(kData + "network_r12.dxf");
    cad::LocalClient c(&doc, "14.0");
    EXPECT_EQ(c.Version(), "14.0");
    int changes = 0;
    cad::LocalClient::Host host;
    host.changed = [&] { ++changes; };
    c.SetHost(host);
    std::string t = c.AddText("Se 7", {1.465872, 8.536939, 0}, 1);
    c.SetRotation(t, 0.785398);
    EXPECT_NEAR(c.Rotation(t), 0.785398, 1e-12);
    c.SetAlignment(t, 4);
    c.SetTextAlignmentPoint(t, {5, 6, 0});
    EXPECT_EQ(c.Alignment(t), 4);
    c.SetAlignment(t, 13);
    EXPECT_EQ(c.Alignment(t), 13);
    EXPECT_EQ(c.TextAlignmentPoint(t), (Point{5, 6, 0}));
    EXPECT_EQ(c.TextString(t), "Se 7");
    EXPECT_EQ(c.EntityName(t), "AcDbText");
    std::string circle = c.AddCircle({0, 0, 0}, 12.5);
    EXPECT_DOUBLE_EQ(c.Diameter(circle), 25);
    EXPECT_EQ(c.Center(circle), (Point{0, 0, 0}));
    EXPECT_GE(changes, 6);

    std::string path = ::testing::TempDir() + "sewer_cad_client_save.dxf";
    c.SaveAs(path);
    EXPECT_FALSE(doc.Modified());
    cad::Document back = cad::Document::ReadFile(path);
    cad::LocalClient b(&back);
    EXPECT_NEAR(b.Rotation(t), 0.785398, 1e-12);
    EXPECT_EQ(b.Alignment(t), 13);
    EXPECT_EQ(b.Layer(t), "0");
    std::remove(path.c_str());

    cad::Document fresh = cad::Document::New();
    cad::LocalClient n(&fresh);
    EXPECT_EQ(ErrorOf([&] { n.Save(); }), 75);   // no file name yet
}

TEST(LocalClient, AttachFailsWithoutAProgram) {
    cad::SetAttacher(nullptr);
    EXPECT_EQ(ErrorOf([] { cad::Attach(); }), cad::kErrNotRunning);
    cad::Document doc = cad::Document::New();
    auto local = std::make_shared<cad::LocalClient>(&doc);
    cad::SetAttacher([&] { return local; });
    EXPECT_EQ(cad::Attach().get(), local.get());
    cad::SetAttacher([] { return cad::ClientRef(); });
    EXPECT_EQ(ErrorOf([] { cad::Attach(); }), cad::kErrNotRunning);
    cad::SetAttacher(nullptr);
}

// The longest name and text a caller may give, in letters of two bytes of
// UTF-8, are accepted (one byte more is not), and the drawing saved with them
// opens again with them: in a release that escapes them as \U+00D8 too.
TEST(LocalClient, TheLongestNamesAndTextsInWideLettersSaveAndOpenAgain) {
    auto repeat = [](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += "\xC3\x98";
        return s;
    };
    const std::string name = repeat(127) + "n", text = repeat(cad::kMaxTextBytes / 2);
    ASSERT_EQ(name.size(), cad::kMaxNameBytes);
    for (const char* fixture : {"", "network_r2013.dxf"}) {
        SCOPED_TRACE(fixture);
        cad::Document doc = *fixture ? cad::Document::ReadFile(kData + fixture) : cad::Document::New();
        cad::LocalClient c(&doc);
        EXPECT_EQ(ErrorOf([&] { c.AddLayer(repeat(128)); }), vb::errInvalidProcedureCall);
        EXPECT_EQ(ErrorOf([&] { c.AddText(text + "t", {0, 0, 0}, 1); }), vb::errInvalidProcedureCall);
        // A zero byte, which no drawing may hold, goes into none.
        EXPECT_EQ(ErrorOf([&] { c.AddText(std::string("a\0b", 3), {0, 0, 0}, 1); }), vb::errInvalidProcedureCall);
        EXPECT_EQ(ErrorOf([&] { c.AddLayer(std::string("a\0b", 3)); }), vb::errInvalidProcedureCall);
        c.AddLayer(name);
        c.SetActiveLayer(name);
        const std::string t = c.AddText(text, {0, 0, 0}, 1);
        cad::XData x;
        x.types = {1001, 1000, 1003};
        x.values = {vb::Variant(name), vb::Variant(text), vb::Variant(name)};
        c.SetXData(t, x);
        c.SetXData(t, x);   // replaces the application's record
        cad::Document again = cad::Document::Parse(doc.Write());
        cad::LocalClient back(&again);
        EXPECT_EQ(back.TextString(t), text);
        EXPECT_EQ(back.Layer(t), name);
        EXPECT_EQ(back.ActiveLayer(), name);
        const cad::XData read = back.GetXData(t, name);
        ASSERT_EQ(read.size(), 3u);
        EXPECT_EQ(read.values[1].RawString(), text);
        EXPECT_EQ(read.values[2].RawString(), name);
    }
}
