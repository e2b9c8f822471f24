// Reading the network from the drawing into the main window, and the pipe-link
// table and segment angle it relies on.
#include <cmath>
#include <sstream>

#include "exchange/pipe_limit.h"
#include "tests/exchange/acad_fixture.h"

namespace {

std::vector<std::string> ChildNames(model::cNodeCollection& col, const std::string& key) {
    std::vector<std::string> out;
    for (int32_t n = col.FirstChild(vb::Variant(key)); n != 0; n = col.NextSibling(vb::Variant(n))) {
        out.push_back(NodeRecordByIndex(&col, n)->Name);
    }
    return out;
}

// Sets up SewerArray/SewerLinks for BuildPipeLinks: (next, prev, lat) per pipe.
void SetPipes(const std::vector<std::tuple<int, int, std::string>>& pipes) {
    PipeCount = static_cast<int32_t>(pipes.size());
    SewerArray.assign(pipes.size() + 11, nullptr);
    SewerLinks.assign(pipes.size() + 1, RunEntry{});
    for (size_t i = 0; i < pipes.size(); ++i) {
        auto s = std::make_shared<model::Sewer>();
        s->lat = std::get<2>(pipes[i]);
        SewerArray[i + 1] = s;
        SewerLinks[i + 1].NextPipe = std::get<0>(pipes[i]);
        SewerLinks[i + 1].PrevPipe = std::get<1>(pipes[i]);
    }
}

std::vector<std::pair<int, int>> Rows() {
    std::vector<std::pair<int, int>> out;
    auto cell = [](const vb::Variant& v) { return v.IsEmpty() ? -1 : vb::CLng(v); };
    for (int k = 1; k <= PipeLinkCount; ++k) out.emplace_back(cell(PipeLinks[k][1]), cell(PipeLinks[k][2]));
    return out;
}

}  // namespace

TEST_F(AcadTest, ReadBuildsLateralsFromChainsAndBranchesWithRoundedPositions) {
    // The marker text gives a grid of 100-unit squares from (0, 0).
    const std::string marker = client_->AddText("VANDU", {0, 0, 0}, 100);
    client_->SetLayer(marker, "VANDU");
    cad::XData sheet;
    sheet.types = {1001, 1040, 1040, 1040, 1040, 1040};
    sheet.values = {vb::Variant("Sheetindex"), vb::Variant(0.0), vb::Variant(0.0), vb::Variant(9.0),
                    vb::Variant(9.0), vb::Variant(100.0)};
    client_->SetXData(marker, sheet);
    // A chain 1 -> 2 -> 3, and two branches 4 -> 6 and 5 -> 6 (6 pointing
    // back at 4), drawn out of record order.
    AddPipe(2, 3, 1, "A", {1260, 10, 100}, {1300, 10, 99});
    AddPipe(1, 2, 0, "A", {1234.5, 10.2, 101.5}, {1260, 10, 100.5});
    AddPipe(3, 0, 2, "A", {1300, 10, 99}, {1300, 90, 97.4});
    AddPipe(6, 0, 4, "B", {0, 250, 90}, {0, 300, 89}, 2, 3);
    AddPipe(4, 6, 0, "B", {-150, 0, 92}, {0, 250, 90});
    AddPipe(5, 6, 0, "B", {50, 250, 91}, {0, 250, 90});
    client_->AddSelectionSet("temp");   // left by an earlier read

    Attach();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"6"});
    EXPECT_EQ(PipeCount, 6);
    EXPECT_EQ(TopLevelKeys(), (std::vector<std::string>{"ObjSewer", "ObjLateral1", "ObjLateral2", "ObjLateral3"}));
    auto& col = *f().myCol;
    EXPECT_EQ(ChildNames(col, "ObjLateral1"), (std::vector<std::string>{"Se1", "Se2", "Se3"}));
    // Pipe 6 follows the later head: 5's chain.
    EXPECT_EQ(ChildNames(col, "ObjLateral2"), (std::vector<std::string>{"Se4"}));
    EXPECT_EQ(ChildNames(col, "ObjLateral3"), (std::vector<std::string>{"Se5", "Se6"}));
    EXPECT_EQ(Rows(), (std::vector<std::pair<int, int>>{{1, 3}, {4, 6}, {5, 6}}));
    EXPECT_EQ(SewerLinks[6].PrevPipe, 5);

    auto se1 = Rec("Se1");
    EXPECT_EQ(se1->Index, 200);
    EXPECT_EQ(se1->lat, "Lateral1");
    EXPECT_EQ(se1->from, "MH1");
    EXPECT_FLOAT_EQ(se1->area1, 1.5f);
    EXPECT_EQ(se1->x1, 1234);   // half to even
    EXPECT_EQ(se1->y1, 10);
    EXPECT_EQ(se1->felv, 102);
    EXPECT_EQ(se1->telv, 100);   // 100.5 to even
    EXPECT_FLOAT_EQ(se1->l, static_cast<float>(std::hypot(25.5, 0.2)));   // from the unrounded points
    EXPECT_EQ(se1->ma1, 2);
    EXPECT_EQ(Rec("Se6")->ma2, 2);
    EXPECT_EQ(Rec("Se6")->ma5, 5);
    EXPECT_EQ(Rec("Lateral1")->telv, 97);   // the last pipe's downstream ground
    EXPECT_EQ(Rec("Lateral2")->telv, 90);
    EXPECT_EQ(SewerGridRefs[1], "M1");
    EXPECT_EQ(SewerGridRefs[4], "");   // left of the grid
    EXPECT_EQ(SewerGridRefs[6], "A3");

    ASSERT_EQ(f().List1.ListCount(), 3);
    EXPECT_EQ(f().List1.List(2), "Lateral3");
    EXPECT_EQ(TabCaptions(f().UserControl11), (std::vector<std::string>{"Lateral1", "Lateral2", "Lateral3"}));
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    // The grid shows the record of the current pipe key, Lateral1's.
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Lateral1");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(8, 1), "97.000");
}

// Each field of each pipe comes from its own entry of the line's records or
// its own coordinate: in the drawing (written by an independent writer) every
// value of a line differs from the line's other values.
TEST_F(AcadTest, ReadTakesEachFieldFromItsOwnEntry) {
    doc_ = cad::Document::ReadFile(std::string(SEWER_TEST_DATA) + "/cad/fields_r2000.dxf");
    Attach();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"6"});
    EXPECT_EQ(ChildNames(*f().myCol, "ObjLateral1"), (std::vector<std::string>{"Se1", "Se2", "Se3", "Se4", "Se5", "Se6"}));
    // from, tom, area1, area2 ("sewer" 1, 2, 4, 5); x1, y1, x2, y2, felv, telv
    // rounded from the end points, and l; NextPipe, PrevPipe, Branch1,
    // Branch2, Link4 ("MAA" 2, 3, 4, 5, 7); ma5, ma1, ma2, ma3; the grid
    // reference of the start in 50-unit squares from (1000, 2000).
    const char* expected[] = {
        "F1 T1 1.25 1.5 | 1110 2120 1140 2160 108 107 50 | 2 0 3 4 5 | 0 2 3 4 | C3",
        "F2 T2 2.25 2.5 | 1210 2220 1240 2260 106 105 50 | 3 1 4 5 6 | 1 3 4 5 | E5",
        "F3 T3 3.25 3.5 | 1310 2320 1340 2360 104 103 50 | 4 2 5 6 1 | 2 4 5 6 | G7",
        "F4 T4 4.25 4.5 | 1410 2420 1440 2460 102 101 50 | 5 3 6 1 2 | 3 5 6 1 | I9",
        "F5 T5 5.25 5.5 | 1510 2520 1540 2560 100 99 50 | 6 4 1 2 3 | 4 6 1 2 | K11",
        "F6 T6 6.25 6.5 | 1610 2620 1640 2660 98 97 50 | 0 5 2 3 4 | 5 0 2 3 | M13",
    };
    ASSERT_GE(SewerArray.size(), 7u);
    for (int r = 1; r <= 6; ++r) {
        const model::Sewer& s = *SewerArray[static_cast<size_t>(r)];
        const RunEntry& k = SewerLinks[static_cast<size_t>(r)];
        std::ostringstream got;
        got << s.from << " " << s.tom << " " << s.area1 << " " << s.area2 << " | " << s.x1 << " " << s.y1 << " "
            << s.x2 << " " << s.y2 << " " << s.felv << " " << s.telv << " " << s.l << " | " << k.NextPipe << " "
            << k.PrevPipe << " " << k.Branch1 << " " << k.Branch2 << " " << k.Link4 << " | " << s.ma5 << " " << s.ma1
            << " " << s.ma2 << " " << s.ma3 << " | " << SewerGridRefs[static_cast<size_t>(r)];
        EXPECT_EQ(got.str(), expected[r - 1]) << "pipe " << r;
    }
}

TEST_F(AcadTest, ReadOfAnEmptyOrFaultyDrawing) {
    // No pipes: only the root, no lateral, the count 0.
    Attach();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"0"});
    EXPECT_EQ(TopLevelKeys(), std::vector<std::string>{"ObjSewer"});
    EXPECT_EQ(f().List1.ListCount(), 0);
    EXPECT_TRUE(TabCaptions(f().UserControl11).empty());

    // A faulty line is reported with its handle, twice as the read reports,
    // and the read changes nothing.
    AddPipe(1, 2, 0, "A", {0, 0, 0}, {10, 0, 0});
    const auto network = f().myCol;
    struct Case {
        int record, next;
        bool withSewerRecord;
        const char* says;
    };
    for (const Case& c : {Case{0, 0, true, "record number 0"}, Case{-1, 0, true, "record number -1"},
                          Case{3, 0, true, "record number 3"}, Case{1, 0, true, "record number 1 is used"},
                          Case{2, 5, true, "pipe 5 points at no pipe"}, Case{2, 0, false, "no \"sewer\" record"}}) {
        doc_ = cad::Document::New();
        AddPipe(1, 2, 0, "A", {0, 0, 0}, {10, 0, 0});
        const std::string bad = AddPipe(c.record, c.next, 1, "A", {10, 0, 0}, {20, 0, 0}, 0, 0, c.withSewerRecord);
        dialogs().ClearLog();
        AcadGetSewerData();
        const std::vector<std::string> said = Prompts();
        ASSERT_EQ(said.size(), 2u) << c.says;
        EXPECT_NE(said[0].find(bad), std::string::npos) << said[0];
        EXPECT_NE(said[0].find(c.says), std::string::npos) << said[0];
        EXPECT_EQ(said[1], "Export " + said[0]);
        EXPECT_EQ(f().myCol, network);
        EXPECT_EQ(PipeCount, 0);
    }
    // A level or position no pipe record can hold is refused with the line.
    for (const cad::Point start : {cad::Point{0, 0, 1e39}, cad::Point{-5e38, 0, 0}}) {
        doc_ = cad::Document::New();
        const std::string bad = AddPipe(1, 0, 0, "A", start, {5e38, 0, 0});
        dialogs().ClearLog();
        AcadGetSewerData();
        const std::vector<std::string> said = Prompts();
        ASSERT_EQ(said.size(), 2u);
        EXPECT_NE(said[0].find(bad), std::string::npos) << said[0];
        EXPECT_NE(said[0].find("Overflow"), std::string::npos) << said[0];
        EXPECT_EQ(f().myCol, network);
    }

    // Next-pipe links that run round in a circle end the walk.
    doc_ = cad::Document::New();
    AddPipe(1, 2, 0, "A", {0, 0, 0}, {10, 0, 0});
    AddPipe(2, 3, 1, "A", {10, 0, 0}, {20, 0, 0});
    AddPipe(3, 2, 2, "A", {20, 0, 0}, {30, 0, 0});
    dialogs().ClearLog();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"3"});
    EXPECT_EQ(ChildNames(*f().myCol, "ObjLateral1"), (std::vector<std::string>{"Se1", "Se2", "Se3"}));

    // Pipes link by 16-bit numbers: 32,767 lines are read (here the first
    // has no records), one more is refused before anything is read, naming
    // the first line beyond the limit and the count.
    const auto circleRead = f().myCol;
    doc_ = cad::Document::New();
    doc_.AddLayer("SEWER");
    doc_.SetActiveLayer("SEWER");
    std::vector<std::string> lines;
    for (int i = 0; i < kMaxLinkedPipes; ++i) lines.push_back(doc_.AddLine({i * 1.0, 0, 0}, {i + 1.0, 0, 0}));
    dialogs().ClearLog();
    AcadGetSewerData();
    ASSERT_EQ(Prompts().size(), 2u);
    EXPECT_EQ(Prompts()[0], "The line " + lines[0] + " on layer SEWER cannot be read: it has no \"MAA\" record.");
    lines.push_back(doc_.AddLine({0, 5, 0}, {1, 5, 0}));
    doc_.SetActiveLayer("0");
    doc_.AddLine({0, 9, 0}, {1, 9, 0});   // not on layer SEWER: not counted
    dialogs().ClearLog();
    AcadGetSewerData();
    const std::string refused = "The drawing has 32,768 lines on layer SEWER, and the line " + lines.back() +
                                " is the 32,768th: nothing was read, because " + TooManyPipesReason() + ".";
    EXPECT_EQ(Prompts(), (std::vector<std::string>{refused, "Export " + refused}));
    EXPECT_EQ(f().myCol, circleRead);
    EXPECT_EQ(PipeCount, 3);

    // Without an attached drawing the read fails once, with both messages.
    ForgetAcad();
    dialogs().ClearLog();
    AcadGetSewerData();
    EXPECT_EQ(dialogs().Messages().size(), 2u);
}

TEST(PipeLinks, LateralsEndWhereTheLateralTextChanges) {
    SetPipes({});
    BuildPipeLinks();
    EXPECT_EQ(PipeLinkCount, 0);
    EXPECT_EQ(PipeLinks.size(), 3u);

    // The text changes between pipes 2 and 3; pipe 3 starts no lateral.
    SetPipes({{2, 0, "A"}, {3, 1, "A"}, {0, 2, "B"}});
    BuildPipeLinks();
    EXPECT_EQ(Rows(), (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_EQ(PipeLinks.size(), 4u);

    // A pipe whose "sch" text holds an F, in either case, starts a lateral
    // although a pipe flows into it.
    SetPipes({{2, 0, "A"}, {3, 1, "A"}, {0, 2, "A"}});
    SewerArray[2]->sch = "xf";
    BuildPipeLinks();
    EXPECT_EQ(Rows(), (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));

    // A pipe without a lateral text flowing into no pipe: no end, and the
    // record of no pipe points back at it.
    SetPipes({{0, 0, ""}});
    BuildPipeLinks();
    EXPECT_EQ(Rows(), (std::vector<std::pair<int, int>>{{1, -1}}));
    EXPECT_EQ(SewerLinks[0].PrevPipe, 1);
}

TEST(LineAngle, DirectionsInAllQuadrantsWithTheShortPi) {
    struct Case {
        double x2, y2, slope, angle, degrees;
    };
    for (const Case& c : {Case{10, 10, 1, 0.7853981634, 45.000038}, Case{-10, 10, -1, 2.35619, 134.999962},
                          Case{-10, -10, 1, 3.92699, 225.000038}, Case{10, -10, -1, -0.7853981634, -45.000038},
                          Case{-10, 0, 0, 3.14159, 180}, Case{0, 10, 0, 1.570795, 90},
                          Case{0, -10, 0, 4.712385, 270}, Case{0, 0, 0, 1.570795, 90}}) {
        double slope = -99, angle = -99, degrees = -99;
        LineAngle(0, 0, c.x2, c.y2, slope, angle, degrees);
        EXPECT_DOUBLE_EQ(slope, c.slope) << c.x2 << "," << c.y2;
        EXPECT_NEAR(angle, c.angle, 1e-5) << c.x2 << "," << c.y2;
        EXPECT_NEAR(degrees, c.degrees, 1e-6) << c.x2 << "," << c.y2;
    }
}

TEST(GridReference, ColumnLettersAndRows) {
    EXPECT_EQ(GridReference(5, 250, 0, 0, 100), "A3");
    EXPECT_EQ(GridReference(2750, 0, 0, 0, 100), "AB1");
    EXPECT_EQ(GridReference(5200, 0, 0, 0, 100), "BA1");
    EXPECT_EQ(GridReference(2600, 0, 0, 0, 100), "A1");   // 26 is not carried
    EXPECT_EQ(GridReference(676, 0, 0, 0, 1), "ZA1");       // nor 676
    EXPECT_EQ(GridReference(17576, 0, 0, 0, 1), "ZA1");     // nor 17576
    EXPECT_EQ(GridReference(17576 + 705, 0, 0, 0, 1), "AAAD1");   // 18281 = 17576 + 676 + 26 + 3
    EXPECT_EQ(GridReference(-1, 0, 0, 0, 1), "");
}
