// The client over a document in this process, as the exchange drives it:
// failure numbers, selection filters, the pick, entity properties.
#include <gtest/gtest.h>

#include <cmath>
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
