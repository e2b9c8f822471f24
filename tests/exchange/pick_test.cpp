// "ACAD Pline": picked polylines become laterals, their edges pipes, and the
// pipes' names are written along the edges into the drawing.
#include "tests/exchange/acad_fixture.h"

namespace {

struct Label {
    std::string text;
    cad::Point at;
    double rotation;
};

}  // namespace

TEST_F(AcadTest, PickOfTwoPolylinesMakesTwoLateralsWithLabelledPipes) {
    // Lateral2 is free, Lateral3 is taken; pipe key "Se 8" is taken.
    auto taken = std::make_shared<model::Sewer>();
    taken->Name = "Lateral3";
    AddRecordNode(*f().myCol, taken, {});
    auto pipe8 = std::make_shared<model::Sewer>();
    pipe8->Name = "Se 8";
    AddRecordNode(*f().myCol, pipe8, "ObjLateral1");
    LateralCount = 3;
    PipeCount = 6;

    const std::string line = doc_.AddLine({0, 0, 0}, {5, 5, 0});
    const std::string circle = doc_.AddCircle({0, 0, 0}, 3);
    const std::string first = doc_.AddLwPolyline({{0, 0}, {10, 10}, {0, 10}, {0, 0}, {1, -20}});
    const std::string second = doc_.AddLwPolyline({{100, 0}, {110, 0}}, true);
    client_->ScriptNextPick({line, first, circle, second});
    client_->AddSelectionSet("SET1");   // left by an earlier pick

    f().Command25_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_FALSE(f().Frame15.Visible());
    EXPECT_EQ(f().Label29.Caption(), "2");
    EXPECT_EQ(client_->WindowState(), cad::kWindowMinimized);
    EXPECT_EQ(LateralCount, 5);
    EXPECT_EQ(TopLevelKeys().back(), "ObjLateral4");
    EXPECT_EQ(CurrentLateralName, "Lateral4");
    EXPECT_EQ(TabCaptions(f().UserControl11).back(), "Lateral4");

    auto& col = *f().myCol;
    std::vector<std::string> pipes;
    for (int32_t n = col.FirstChild(vb::Variant("ObjLateral2")); n != 0; n = col.NextSibling(vb::Variant(n))) {
        pipes.push_back(col.Key(vb::Variant(n)));
    }
    EXPECT_EQ(pipes, (std::vector<std::string>{"ObjSe 7", "ObjSe 9", "ObjSe 10", "ObjSe 11"}));
    EXPECT_EQ(col.FirstChild(vb::Variant("ObjLateral4")), col.KeyToIndex("ObjSe 12"));
    EXPECT_EQ(col.ChildCount(vb::Variant("ObjLateral4")), 1);   // no closing edge
    EXPECT_EQ(PipeCount, 12);

    // The pipes take the grid's values (the lateral's defaults) and the edge.
    auto se7 = Rec("Se 7");
    EXPECT_EQ(se7->Index, 200);
    EXPECT_EQ(se7->lat, "Lateral2");
    EXPECT_EQ(se7->dia, 200);
    EXPECT_FLOAT_EQ(se7->felv, 102);
    EXPECT_FLOAT_EQ(se7->telv, 101.8f);   // 0.004 per metre of the grid's 50 m
    EXPECT_FLOAT_EQ(se7->finv, 99.8f);
    EXPECT_FLOAT_EQ(se7->tinv, 99.6f);
    EXPECT_FLOAT_EQ(se7->l, static_cast<float>(std::sqrt(200.0)));
    EXPECT_FLOAT_EQ(Rec("Se 10")->y1, 10);
    EXPECT_FLOAT_EQ(Rec("Se 10")->y2, 0);
    const vb::Variant value = col.Item(vb::Variant("ObjSe 9"));
    EXPECT_EQ(vb::CLng(value.Element(1)), 1001);
    EXPECT_EQ(vb::CStr(value.Element(2)), "Lateral2");

    // The labels, beside each edge and turned to read along it.
    std::vector<Label> labels;
    for (const std::string& h : EntitiesOf("TEXT")) {
        if (client_->TextString(h) == "VANDU") continue;
        const cad::Record& text = *doc_.Entity(h);
        labels.push_back({client_->TextString(h), {text.Number(10), text.Number(20), text.Number(30)}, client_->Rotation(h)});
    }
    ASSERT_EQ(labels.size(), 5u);
    const Label expected[] = {{"Se 7", {1.465872, 8.536939, 0}, 0.785398},
                              {"Se 9", {5, 15, 0}, 0},
                              {"Se 10", {-4.999998, 5.003982, 0}, 1.570795},
                              {"Se 11", {-4.493158, -10.261484, 0}, -4.662428},
                              {"Se 12", {105, 5, 0}, 0}};
    for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(labels[i].text, expected[i].text);
        EXPECT_NEAR(labels[i].at.x, expected[i].at.x, 1e-5) << expected[i].text;
        EXPECT_NEAR(labels[i].at.y, expected[i].at.y, 1e-5) << expected[i].text;
        EXPECT_NEAR(labels[i].rotation, expected[i].rotation, 1e-6) << expected[i].text;
    }

    // A pick of nothing adds nothing.
    client_->ScriptNextPick({});
    f().Command25_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(LateralCount, 5);
}

TEST_F(AcadTest, PickEndsCleanlyOnFailures) {
    const auto keys = TopLevelKeys();
    // Without a running program: only the preparation's message.
    cad::SetAttacher(nullptr);
    f().Command25_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Please open AutoCAD"});
    EXPECT_FALSE(f().Frame15.Visible());
    EXPECT_EQ(TopLevelKeys(), keys);

    // The program going away while the labels are written: one message in
    // plain words that keeps the lateral already made, the panel hidden,
    // nothing attached any more.
    cad::SetAttacher([this] { return client_; });
    AcadPrepareDrawing();   // the marker is drawn: the pick's preparation adds no text
    dialogs().ClearLog();
    client_->failIn = "AddText";
    client_->ScriptNextPick({doc_.AddLwPolyline({{0, 0}, {10, 0}, {20, 0}})});
    f().Command25_Click();
    EXPECT_EQ(client_->failures, 1);
    EXPECT_EQ(Prompts(), std::vector<std::string>{
                             "The drawing program was closed during the pick; the lateral made before that stays in the network."});
    EXPECT_FALSE(f().Frame15.Visible());
    EXPECT_EQ(AcadApp, nullptr);

    // Gone before anything was picked: nothing was added.  Other failures
    // keep their own description.
    const auto before = TopLevelKeys();
    dialogs().ClearLog();
    client_->failIn = "SelectOnScreen";
    f().Command25_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"The drawing program was closed during the pick; nothing was added."});
    EXPECT_EQ(TopLevelKeys(), before);
    dialogs().ClearLog();
    client_->number = 5;
    f().Command25_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"SelectOnScreen refused"});
    client_->number = cad::kErrGone;

    // Gone after several laterals (two of a single vertex, so without
    // labels): their number is told.
    client_->failIn = "AddText";
    dialogs().ClearLog();
    client_->ScriptNextPick({doc_.AddLwPolyline({{0, 0}}), doc_.AddLwPolyline({{5, 5}}),
                             doc_.AddLwPolyline({{0, 0}, {10, 0}})});
    f().Command25_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{
                             "The drawing program was closed during the pick; the 3 laterals made before that stay in the network."});

    // A vertex no pipe record can hold: the edges before it are pipes, that
    // edge is refused once and the pick ends.
    client_->failIn.clear();
    dialogs().ClearLog();
    const std::string beyond = doc_.AddLwPolyline({{0, 0}, {10, 0}, {1e39, 0}, {30, 0}});
    client_->ScriptNextPick({beyond});
    f().Command25_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"The polyline " + beyond + " cannot be read: the end x of its edge 2, "
                                                  "\"1E+39\", is no number a pipe record can hold (Overflow). The "
                                                  "pick ended there."});
    EXPECT_FALSE(f().Frame15.Visible());
    EXPECT_EQ(f().myCol->ChildCount(vb::Variant("Obj" + CurrentLateralName)), 1);

    // An edge running down more than 5 degrees off the vertical keeps its
    // direction in its label.
    client_->ScriptNextPick({doc_.AddLwPolyline({{0, 0}, {1, -8}})});
    f().Command25_Click();
    std::vector<double> rotations;
    for (const std::string& h : EntitiesOf("TEXT")) {
        if (client_->TextString(h) == "Se " + std::to_string(PipeCount)) rotations.push_back(client_->Rotation(h));
    }
    ASSERT_EQ(rotations.size(), 1u);
    EXPECT_NEAR(rotations[0], std::atan(-8.0), 1e-5);
}
