// Preparing the drawing: layers, the marker and its records, and how the
// preparation ends on failures.
#include "tests/exchange/acad_fixture.h"

#include <tuple>

TEST_F(AcadTest, PrepareDrawsOneMarkerBeyondTheLineStartsWithItsRecords) {
    // The marker goes about 500 units beyond the line starts that raise it.
    doc_.AddLine({1000, 200, 0}, {0, 0, 0});
    doc_.AddLine({1200, 900, 0}, {0, 0, 0});
    doc_.AddLine({1600, 100, 0}, {0, 0, 0});
    client_->AddSelectionSet("TEST3");   // left by an earlier preparation

    AcadPrepareDrawing();
    EXPECT_TRUE(dialogs().Messages().empty());

    const std::vector<std::string> circles = EntitiesOf("CIRCLE");
    ASSERT_EQ(circles.size(), 11u);
    const int diameters[] = {200, 250, 300, 350, 400, 500, 600, 700, 800, 900, 1000};
    for (size_t i = 0; i < circles.size(); ++i) {
        const std::string& c = circles[i];
        EXPECT_EQ(client_->Center(c), (cad::Point{2100, 1400, 0}));
        EXPECT_EQ(client_->Layer(c), "VANDU");
        const cad::XData d = client_->GetXData(c, "Diameter");
        ASSERT_EQ(d.size(), 11u);
        EXPECT_DOUBLE_EQ(vb::CDbl(d.values[1]), diameters[i]);
        EXPECT_DOUBLE_EQ(vb::CDbl(d.values[2]), diameters[i] <= 400 ? 0.004 : 0.002);
        EXPECT_DOUBLE_EQ(vb::CDbl(d.values[5]), 0.013);
    }
    const std::vector<std::string> texts = EntitiesOf("TEXT");
    ASSERT_EQ(texts.size(), 1u);
    const std::string& t = texts[0];
    EXPECT_EQ(client_->TextString(t), "VANDU");
    EXPECT_EQ(client_->Alignment(t), 4);
    EXPECT_EQ(client_->TextAlignmentPoint(t), (cad::Point{2100, 1400, 0}));
    // Each record carries its own entries only.
    const cad::XData criteria = client_->GetXData(t, "Criteria");
    ASSERT_EQ(criteria.size(), 13u);
    EXPECT_EQ(criteria.types[11], 1000);
    EXPECT_EQ(vb::CStr(criteria.values[11]), "N");
    EXPECT_EQ(client_->GetXData(t, "Runoff").size(), 13u);
    EXPECT_EQ(client_->GetXData(t, "Infiltration").size(), 7u);
    const cad::XData population = client_->GetXData(t, "Population");
    ASSERT_EQ(population.size(), 7u);
    EXPECT_DOUBLE_EQ(vb::CDbl(population.values[6]), 1);
    const cad::XData title = client_->GetXData(t, "Title");
    ASSERT_EQ(title.size(), 7u);
    for (size_t i = 1; i < 7; ++i) {
        EXPECT_EQ(title.types[i], 1000);
        EXPECT_EQ(vb::CStr(title.values[i]), "");
    }

    // Layers, their colours, the active layer, "Error" and "Endblock".
    for (auto [name, color] : {std::pair<const char*, int>{"Pview", 7}, {"sewer", 1}, {"subarea", 60},
                               {"area-pline", 60}, {"area-density", 3}, {"density", 7}, {"Latral", 5},
                               {"POP-TXT", 4}, {"GELV", 2}, {"Error", 7}, {"VANDU", 7}}) {
        EXPECT_EQ(client_->LayerColor(name), color) << name;
    }
    EXPECT_EQ(client_->ActiveLayer(), "sewer");
    EXPECT_TRUE(doc_.HasBlock("Endblock"));

    // The saved drawing, read back by an independent reader: the layers in
    // the order they were added with their colours (7 where none is set), the
    // active layer, the lines, the eleven circles and the text of the marker,
    // and every entry of every record.
    std::vector<std::string> expected = {"layer 0 7"};
    for (auto [name, color] : {std::pair<const char*, int>{"Pview", 7}, {"EDIT", 7}, {"sewer", 1}, {"area", 6},
                               {"subarea", 60}, {"area-pline", 60}, {"Den-pline", 5}, {"area-density", 3},
                               {"density", 7}, {"Latral", 5}, {"SHEET-index", 7}, {"Grid", 7}, {"POP-TXT", 4},
                               {"Elevation", 7}, {"GELV", 2}, {"VANDU", 7}, {"Error", 7}}) {
        expected.push_back("layer " + std::string(name) + " " + std::to_string(color));
    }
    expected.insert(expected.end(), {"active sewer", "line 0", "line 0", "line 0"});
    // Circle of diameter d: its record holds 10 d, the minimum slope, the
    // maximum velocity 3, the maximum h/D 0.7, Manning's n 0.013, 0, 0, 0, 2, 1.
    for (auto [d, r, slope] : {std::tuple<const char*, const char*, const char*>{"200", "10", "0.004"},
                               {"250", "12.5", "0.004"}, {"300", "15", "0.004"}, {"350", "17.5", "0.004"},
                               {"400", "20", "0.004"}, {"500", "25", "0.002"}, {"600", "30", "0.002"},
                               {"700", "35", "0.002"}, {"800", "40", "0.002"}, {"900", "45", "0.002"},
                               {"1000", "50", "0.002"}}) {
        expected.push_back(std::string("circle VANDU 2100 1400 0 ") + r);
        expected.push_back(std::string("  Diameter 1040:") + d + " 1040:" + slope +
                           " 1040:3 1040:0.7 1040:0.013 1040:0 1040:0 1040:0 1040:2 1040:1");
    }
    // The text: height 100, middle alignment (4, 0) at the marker point.
    expected.insert(expected.end(),
                    {"text VANDU VANDU 100 4 0 2100 1400 0 2100 1400 0",
                     "  Criteria 1040:0 1040:0 1040:100 1040:100 1040:0 1040:0 1040:1.2 1040:0 1040:1 1040:0 1000:N 1040:5",
                     "  Runoff 1040:0 1040:0 1040:0 1040:0 1040:0 1040:180 1040:0 1040:0 1040:0 1040:0.5 1040:4 1040:1",
                     "  Infiltration 1040:1 1040:0 1040:0 1040:0 1040:0 1040:0",
                     "  Population 1040:1 1040:0 1040:0 1040:0 1040:0 1040:1",
                     "  Title 1000: 1000: 1000: 1000: 1000: 1000:"});
    EXPECT_EQ(ReadBack(), expected);

    // A second preparation finds the marker and draws nothing more.
    AcadPrepareDrawing();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(EntitiesOf("CIRCLE").size(), 11u);
    EXPECT_EQ(EntitiesOf("TEXT").size(), 1u);
}

TEST_F(AcadTest, PrepareTakesOnlyTheFirstHundredLinesAndAnEmptyDrawingGetsTheMarkerAtTheOrigin) {
    for (int i = 0; i < 100; ++i) doc_.AddLine({-5, -5, 0}, {1, 1, 0});
    doc_.AddLine({5000, 5000, 0}, {1, 1, 0});
    AcadPrepareDrawing();
    for (const std::string& c : EntitiesOf("CIRCLE")) EXPECT_EQ(client_->Center(c), (cad::Point{0, 0, 0}));
    EXPECT_EQ(EntitiesOf("CIRCLE").size(), 11u);

    // The hundredth line is one of them.
    doc_ = cad::Document::New();
    for (int i = 0; i < 99; ++i) doc_.AddLine({-5, -5, 0}, {1, 1, 0});
    doc_.AddLine({1, 2, 0}, {1, 1, 0});
    doc_.AddLine({5000, 5000, 0}, {1, 1, 0});
    AcadPrepareDrawing();
    ASSERT_EQ(EntitiesOf("CIRCLE").size(), 11u);
    for (const std::string& c : EntitiesOf("CIRCLE")) EXPECT_EQ(client_->Center(c), (cad::Point{501, 502, 0}));
}

TEST_F(AcadTest, PrepareFailuresShowTheirMessageOnceAndEnd) {
    // Release 14 is refused before any layer is added.
    client_->SetVersion("14.0");
    AcadPrepareDrawing();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Error :Work With AUTOCAD 14)"});
    EXPECT_EQ(doc_.FindLayer("sewer"), nullptr);
    client_->SetVersion("1.0");

    // A selection set that cannot be made anew is tried once more, then the
    // preparation ends with one message.
    dialogs().ClearLog();
    client_->failIn = "AddSelectionSet";
    client_->number = cad::kErrDuplicateName;
    AcadPrepareDrawing();
    EXPECT_EQ(client_->failures, 2);
    EXPECT_EQ(Prompts(), std::vector<std::string>{"AddSelectionSet refused"});
    EXPECT_TRUE(EntitiesOf("CIRCLE").empty());

    // The program going away mid-way: one message, and nothing stays attached.
    dialogs().ClearLog();
    client_->failIn = "AddCircle";
    client_->number = cad::kErrGone;
    client_->failures = 0;
    AcadPrepareDrawing();
    EXPECT_EQ(client_->failures, 1);
    EXPECT_EQ(Prompts(), std::vector<std::string>{"AddCircle refused"});
    EXPECT_EQ(AcadApp, nullptr);
    EXPECT_EQ(AcadModelSpace, nullptr);
    EXPECT_TRUE(EntitiesOf("TEXT").empty());

    // No program running: the user is told, and an earlier attach is dropped.
    client_->failIn.clear();
    AcadPrepareDrawing();
    ASSERT_NE(AcadDoc, nullptr);
    dialogs().ClearLog();
    cad::SetAttacher(nullptr);
    AcadPrepareDrawing();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Please open AutoCAD"});
    EXPECT_EQ(AcadApp, nullptr);
    EXPECT_EQ(AcadDoc, nullptr);
    EXPECT_EQ(AcadModelSpace, nullptr);
}
