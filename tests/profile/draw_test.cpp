// The profile routine on the real main window: what it draws on Picture1 (read
// from the picture's DrawLog), what it writes back into the network, and
// where it lays the edit handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/ui/ui.h"
#include "profile/dxf_writer.h"
#include "profile/format.h"
#include "profile/levels.h"
#include "profile/profile_config.h"
#include "tests/profile/profile_fixture.h"

namespace {

using Kind = vb::DrawEntry::Kind;

struct PipeSpec {
    std::string name;
    float felv, telv;
    int16_t dia;
    float slope, l;
    std::string from, tom;
    float x1 = 0, y1 = 0;
};

class Draw : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<Form1>();
        Form1& f = *form_;
        f.Picture1.Scale(0, 0, 160, 150);
        f.Picture2.Scale(0, 0, 160, 150);
        f.ElevScaleHeight = 10;
        f.ElevScaleExtension = 0;
        f.ElevScaleOffset = 2;
        ProfileOffsetX = 50;
        ProfileOffsetY = 100;
        DxfMode = 1;
        ProfileRowTable = DefaultProfileRows(std::vector<ProfileRowRecord>(kProfileRowCount));
        CurrentRun.assign(2, RunEntry{});
        RunCount = 0;

        f.myCol = std::make_shared<model::cNodeCollection>();
        Add("Sewer", "");
        lateral_ = Add("Lateral1", "");
        pipes_ = {
            {"Se1", 102.37f, 101.5f, 200, 0.004f, 50, "MH1", "MH2", 10, 20},
            {"Se2", 101.5f, 101.0f, 300, 0.003f, 30, "MH2", "MH3", 60, 20},
            {"Se3", 101.0f, 100.5f, 300, 0.003f, 20, "MH3", "MH4", 90, 25},
        };
        for (const auto& p : pipes_) {
            auto s = Add(p.name, "ObjLateral1");
            s->felv = p.felv;
            s->telv = p.telv;
            s->dia = p.dia;
            s->slope = p.slope;
            s->l = p.l;
            s->mincover = 2;
            s->from = p.from;
            s->tom = p.tom;
            s->x1 = p.x1;
            s->y1 = p.y1;
        }
        f.UserControl11.AddTab("Lateral1");
        f.UserControl11.text("Lateral1");
        CurrentLateralName = "Lateral1";
        f.latseupdate("Lateral1");
        Mark(0);
    }

    std::shared_ptr<model::Sewer> Add(const std::string& name, const std::string& parentKey) {
        auto rec = std::make_shared<model::Sewer>();
        rec->Name = name;
        AddRecordNode(*form_->myCol, rec, parentKey);
        return rec;
    }
    std::shared_ptr<model::Sewer> Rec(const std::string& name) {
        return NodeRecordByKey(form_->myCol.get(), "Obj" + name);
    }
    int32_t Node(const std::string& name) { return form_->myCol->KeyToIndex("Obj" + name); }

    // Marks the tab of run position k (0: no tab marked), with `extra` more
    // positions beyond the run.
    void Mark(int k, int extra = 0) {
        const int n = RunCount + extra;
        vb::Variant marks = vb::Variant::MakeArray(vb::vbVariant, {{0, n + 1}});
        for (int i = 0; i <= n + 1; ++i) marks.SetElement(i, vb::Variant(int16_t(i == k ? 1 : 0)));
        form_->UserControl12.TABB(marks);
    }

    const std::vector<vb::DrawEntry>& log() { return form_->Picture1.DrawLog(); }
    std::vector<vb::DrawEntry> Lines(int aci) {
        std::vector<vb::DrawEntry> out;
        for (const auto& e : log())
            if (e.kind == Kind::Line && e.color == AciColor(static_cast<int16_t>(aci))) out.push_back(e);
        return out;
    }
    std::vector<vb::DrawEntry> Texts() {
        std::vector<vb::DrawEntry> out;
        for (const auto& e : log())
            if (e.kind == Kind::Text) out.push_back(e);
        return out;
    }
    const vb::DrawEntry* FindText(const std::string& text) {
        for (const auto& e : log())
            if (e.kind == Kind::Text && e.text == text) return &e;
        return nullptr;
    }
    // Screen position of a drawing point, and where a text of height h and
    // angle 0 drawn there starts.
    static double SX(double x) { return x + 50; }
    static double SY(double y) { return 100 - 10 * y; }
    static double TextY(double y, double h) { return SY(y) - 0.4 * h / 0.3; }
    static std::string Fixed2(double v) { return vb::CStr(FormatFixed(v, 2)); }

    std::shared_ptr<vb::ScriptedDialogs> dialogs_ = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope_{dialogs_};
    std::unique_ptr<Form1> form_;
    std::shared_ptr<model::Sewer> lateral_;
    std::vector<PipeSpec> pipes_;
};

TEST_F(Draw, WithoutARunOnlyTheBlackEmptyPictureRemains) {
    // The handles laid for a picked pipe do not stay over the empty picture.
    Mark(3);
    form_->draw();
    ASSERT_TRUE(form_->PGR(0).Visible() && form_->pcover(1).Visible());
    Rec("Se1")->finv = 0;
    RunCount = 0;
    form_->Picture1.Line(0, 0, 10, 10);
    CurrentLateralName = "Something";
    form_->draw();
    EXPECT_EQ(form_->Picture1.BackColor(), 0);
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(CurrentLateralName, "Something");
    EXPECT_FLOAT_EQ(Rec("Se1")->finv, 0);
    for (vb::Control* c : std::initializer_list<vb::Control*>{&form_->PGR(0), &form_->PGR(1), &form_->pcover(1),
                                                             &form_->plen(1), &form_->VSlope(1), &form_->Picdia(1),
                                                             &form_->picfrom, &form_->picfrom1}) {
        EXPECT_FALSE(c->Visible()) << c->Name();
        EXPECT_EQ(c->Tag(), "") << c->Name();
    }
}

TEST_F(Draw, LevelsAndChainagesAreWrittenBackIntoThePipes) {
    ASSERT_EQ(RunCount, 3);
    // Expected levels from the pure pass over copies of the records.
    std::vector<profile::PipeLevels> copy;
    for (const auto& p : pipes_) {
        profile::PipeLevels v;
        v.felv = p.felv;
        v.telv = p.telv;
        v.dia = p.dia;
        v.slope = p.slope;
        v.l = p.l;
        v.mincover = 2;
        copy.push_back(v);
    }
    std::vector<profile::PipeLevels*> run{nullptr, &copy[0], &copy[1], &copy[2]};
    float latFelv = 0;
    profile::RunLevelsPass(run, latFelv);

    form_->draw();
    EXPECT_TRUE(dialogs_->Messages().empty());
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(pipes_[i].name);
        auto s = Rec(pipes_[i].name);
        EXPECT_NEAR(s->finv, copy[i].finv, 1e-4);
        EXPECT_NEAR(s->tinv, copy[i].tinv, 1e-4);
    }
    // Pipe 1 was short of cover downstream: 102.37 - 2.2 = 100.17 at the top,
    // lowered to 101.5 - 2.2 = 99.3 at its end.
    EXPECT_NEAR(Rec("Se1")->tinv, 99.3, 1e-4);
    EXPECT_NEAR(Rec("Se1")->finv, 99.5, 1e-4);
    // Chainages and start x.
    EXPECT_FLOAT_EQ(Rec("Se1")->tl, 50);
    EXPECT_FLOAT_EQ(Rec("Se2")->tl, 80);
    EXPECT_FLOAT_EQ(Rec("Se3")->tl, 100);
    EXPECT_FLOAT_EQ(Rec("Se1")->x3, 8);
    EXPECT_FLOAT_EQ(Rec("Se2")->x3, 58);
    EXPECT_FLOAT_EQ(Rec("Se3")->x3, 88);
    // The lateral's summary.
    EXPECT_FLOAT_EQ(lateral_->l, 100);
    EXPECT_FLOAT_EQ(lateral_->tl, 100);
    EXPECT_FLOAT_EQ(lateral_->felv, 102.37f);
    EXPECT_FLOAT_EQ(lateral_->telv, 0) << "a new record keeps 0 against positive grounds";
    EXPECT_NEAR(lateral_->tinv, 0, 1e-6);
    EXPECT_NEAR(lateral_->finv, Rec("Se1")->finv, 1e-4);
    // No tab marked: the first pipe became current, its name is on the strip,
    // and the grid's value column was emptied.
    EXPECT_EQ(form_->CurrentPipeIndex, 1);
    EXPECT_EQ(form_->UserControl12.text(), "Se1");
    EXPECT_EQ(form_->ElevationShift, -94);
}

TEST_F(Draw, TitleScaleAndTableTexts) {
    form_->draw();
    const auto texts = Texts();
    ASSERT_FALSE(texts.empty());
    // The title is the first text.
    EXPECT_EQ(texts.front().text, "Lateral1");
    EXPECT_NEAR(texts.front().x1, SX(-50), 1e-3);
    EXPECT_NEAR(texts.front().y1, TextY(5, 6), 1e-3);

    // Scale labels from Fix(102.37) + 2 down in steps of 2, at the ticks.
    const char* labels[] = {"104.00", "102.00", "100.00", "98.00", "96.00", "94.00"};
    for (int j = 0; j < 6; ++j) {
        SCOPED_TRACE(labels[j]);
        const vb::DrawEntry* t = FindText(labels[j]);
        ASSERT_NE(t, nullptr);
        EXPECT_NEAR(t->x1, SX(8 - 20), 1e-3);
        EXPECT_NEAR(t->y1, TextY(10 - 2 * j + 0.2, 4), 1e-3);
    }
    // Six ticks, six grid lines, six right borders, the scale line and the
    // label column's borders are green; the profile's row edges yellow.
    const auto green = Lines(3);
    int ticks = 0;
    for (const auto& l : green)
        if (std::abs(l.x1 - SX(6)) < 1e-6 && std::abs(l.x2 - SX(8.1)) < 1e-6) ++ticks;
    EXPECT_EQ(ticks, 6);

    // The default table shows rows 1 to 6; their labels in the label column.
    for (const char* label : {"Staition/Manhole", "Ground Elevation", "Invert Elevation",
                              "Distance", "KM", "Diameter"}) {
        const vb::DrawEntry* t = FindText(label);
        ASSERT_NE(t, nullptr) << label;
        EXPECT_NEAR(t->x1, SX(8 - 76), 1e-3);
    }
    EXPECT_EQ(FindText("Slope"), nullptr);

    // Chainages: "0+00" at the first station, then each pipe's end.
    std::vector<std::string> km;
    for (const auto& t : texts)
        if (t.text.find('+') != std::string::npos) km.push_back(t.text);
    ASSERT_EQ(km.size(), 4u);
    EXPECT_EQ(km[0], "0+00");
    EXPECT_EQ(km[1], "0+050");
    EXPECT_EQ(km[2], "0+080");
    EXPECT_EQ(km[3], "0+100");
    // The KM row (rows 1..5: heights 1, 2, 2, 1, 2) has its bottom at y = -8,
    // and rotates its values by 90 degrees.
    const vb::DrawEntry* first = FindText("0+00");
    ASSERT_NE(first, nullptr);
    EXPECT_DOUBLE_EQ(first->angle, 90);
    EXPECT_NEAR(first->x1, SX(8) - 0.4 * std::sin(90 * 3.14 / 180) * 3 / 0.3, 1e-3);

    // Manholes: from of every pipe, and the last manhole twice at the end.
    for (const char* mh : {"MH1", "MH2", "MH3"}) EXPECT_NE(FindText(mh), nullptr) << mh;
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](const auto& t) { return t.text == "MH4"; }), 2);
    // Diameters in the middle of each pipe ("M"), lengths with one decimal.
    EXPECT_NE(FindText("200"), nullptr);
    EXPECT_NE(FindText("50.0"), nullptr);
    EXPECT_NE(FindText("20.0"), nullptr);
    // Ground elevations at every station, the last one at the end too.
    EXPECT_NE(FindText("102.370"), nullptr);
    EXPECT_NE(FindText("100.500"), nullptr);

    // Plan positions: each pipe's x1 at its (x1, y1) on Picture1, height 2.
    const vb::DrawEntry* plan = FindText("60");
    ASSERT_NE(plan, nullptr);
    EXPECT_NEAR(plan->x1, 60, 1e-3);
    EXPECT_NEAR(plan->y1, 20 - 0.4 * 2 / 0.3, 1e-3);
}

TEST_F(Draw, ProfileLinesVerticalsAndDrops) {
    form_->draw();
    const double shift = -94;
    // Station verticals at every manhole, from the scale's top down to 0.
    const auto verticals = Lines(41);
    ASSERT_EQ(verticals.size(), 4u);
    const double xs[] = {8, 58, 88, 108};
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(verticals[j].x1, SX(xs[j]), 1e-4);
        EXPECT_NEAR(verticals[j].y1, SY(10), 1e-4);
        EXPECT_NEAR(verticals[j].y2, SY(0), 1e-4);
    }
    // Ground lines 0.1 above the ground.
    const auto ground = Lines(4);
    ASSERT_EQ(ground.size(), 3u);
    EXPECT_NEAR(ground[0].x1, SX(8), 1e-4);
    EXPECT_NEAR(ground[0].y1, SY(102.37f + shift + 0.1), 1e-3);
    EXPECT_NEAR(ground[2].x2, SX(108), 1e-4);
    EXPECT_NEAR(ground[2].y2, SY(100.5 + shift + 0.1), 1e-3);

    // Invert, crown, two walls and a drop per pipe, plus the outer walls.
    const auto blue = Lines(5);
    ASSERT_EQ(blue.size(), 3u * 5 + 2);
    // First pipe: the invert starts 1 before the first station.
    auto se1 = Rec("Se1");
    EXPECT_NEAR(blue[0].x1, SX(7), 1e-4);
    EXPECT_NEAR(blue[0].y1, SY(se1->finv + shift), 1e-3);
    // Crown between the walls, dia / 1000 above the invert.
    EXPECT_NEAR(blue[1].x1, SX(9), 1e-4);
    EXPECT_NEAR(blue[1].x2, SX(57), 1e-4);
    EXPECT_NEAR(blue[1].y1, SY(se1->finv + shift + 0.2), 1e-3);
    // The drop at the second manhole spans tinv(1) - finv(2).
    auto se2 = Rec("Se2");
    const double I2 = se1->tinv + shift;
    bool found = false;
    for (const auto& l : blue) {
        if (std::abs(l.x1 - SX(57)) < 1e-4 && std::abs(l.x2 - SX(57)) < 1e-4 &&
            std::abs(l.y1 - SY(I2)) < 1e-3) {
            EXPECT_NEAR(l.y2, SY(I2 - (se1->tinv - se2->finv)), 1e-3);
            found = true;
        }
    }
    EXPECT_TRUE(found);
    // The last manhole's drop reaches the top of the table (y = 0).
    auto se3 = Rec("Se3");
    found = false;
    for (const auto& l : blue)
        if (std::abs(l.x1 - SX(107)) < 1e-4 && std::abs(l.y2 - SY(0)) < 1e-6) found = true;
    EXPECT_TRUE(found);
    // Nothing is drawn into the picture's log twice by a second redraw.
    const size_t count = log().size();
    form_->draw();
    EXPECT_EQ(log().size(), count);
}

TEST_F(Draw, HandlesOfTheMarkedPipe) {
    Mark(2);
    form_->draw();
    Form1& f = *form_;
    EXPECT_EQ(f.CurrentPipeIndex, 2);
    EXPECT_EQ(f.CurrentPipeKey, "Se2");
    const std::string tag = std::to_string(Node("Se2"));
    ASSERT_TRUE(f.PGR.Exists(1));
    ASSERT_TRUE(f.plen.Exists(1));
    EXPECT_NEAR(f.plen(1).Left(), 140, 0.1);
    EXPECT_NEAR(f.pcover(1).Left(), 124, 0.1);
    EXPECT_NEAR(f.VSlope(1).Left(), 124, 0.1);
    EXPECT_NEAR(f.PGR(1).Left(), 113, 0.1);
    EXPECT_NEAR(f.picfrom1.Left(), 103, 0.1);
    EXPECT_NEAR(f.picfrom.Left(), 109, 0.1);
    EXPECT_NEAR(f.Picdia(1).Left(), 120, 0.1);
    for (vb::Control* c : std::initializer_list<vb::Control*>{&f.PGR(1), &f.plen(1), &f.pcover(1),
                                                             &f.Picdia(1), &f.VSlope(1), &f.picfrom,
                                                             &f.picfrom1}) {
        EXPECT_EQ(c->Tag(), tag);
        EXPECT_TRUE(c->Visible());
    }
    EXPECT_FALSE(f.PGR(0).Visible());
    // Heights: ground at felv, cover at the lower end (felv > telv), length
    // above the scale, diameter under the cover level.
    EXPECT_NEAR(f.PGR(1).Top(), 100 - 10 * (101.5 - 94), 0.1);
    EXPECT_NEAR(f.pcover(1).Top(), 100 - 10 * (101.0 - 2 - 94 + 0.8), 0.1);
    EXPECT_NEAR(f.plen(1).Top(), 100 - 100 - 2.5, 0.1);
    EXPECT_NEAR(f.Picdia(1).Top(), 100 - 10 * (101.5 - 2 - 94 - 0.5 - 0.3), 0.1);
    EXPECT_NEAR(f.VSlope(1).Top(), 100, 0.1);
    EXPECT_EQ(f.SlopeBarBase.size(), 5u);
    // The pickers follow the last pipe's ground, unscaled.
    EXPECT_NEAR(f.picfrom.Top(), 100 - (101.0 - 94) - 2, 0.1);
    // The highlight box spans the pipe from 0 to the scale's top.
    const auto boxes = std::count_if(log().begin(), log().end(), [&](const vb::DrawEntry& e) {
        return e.kind == Kind::Box && std::abs(e.x1 - 108) < 1e-4 && std::abs(e.x2 - 138) < 1e-4 &&
               std::abs(e.y1 - 100) < 1e-4 && std::abs(e.y2 - 0) < 1e-4 && e.color == AciColor(254);
    });
    EXPECT_EQ(boxes, 1);

    // The last pipe marked: the end handle PGR(0) too; pipe 2's handles move on.
    Mark(3);
    form_->draw();
    EXPECT_TRUE(f.PGR(0).Visible());
    EXPECT_NEAR(f.PGR(0).Left(), 159, 0.1);
    EXPECT_NEAR(f.PGR(0).Top(), 100 - 10 * (100.5 - 94), 0.1);
    EXPECT_EQ(f.PGR(0).Tag(), "");
    EXPECT_EQ(f.PGR(1).Tag(), std::to_string(Node("Se3")));
    EXPECT_FALSE(f.PGR.Exists(2)) << "one marked pipe needs one element";

    // No mark: every handle, the diameter handle too, is hidden and untagged.
    Mark(0);
    form_->draw();
    EXPECT_FALSE(f.PGR(1).Visible());
    EXPECT_FALSE(f.pcover(1).Visible());
    EXPECT_FALSE(f.picfrom.Visible());
    EXPECT_EQ(f.plen(1).Tag(), "");
    EXPECT_FALSE(f.Picdia(1).Visible());
    EXPECT_EQ(f.Picdia(1).Tag(), "");
}

TEST_F(Draw, JoiningLateralsAreLabelledAndLinksToNoNodeAreNoLinks) {
    auto lat2 = Add("Lateral2", "");
    lat2->ma1 = static_cast<int16_t>(Node("Se2"));
    Rec("Se2")->ma2 = static_cast<int16_t>(Node("Lateral2"));
    lateral_->ma1 = static_cast<int16_t>(Node("Lateral2"));
    // A link to a node that does not exist is no link: no label, no message.
    Rec("Se3")->ma3 = 999;
    Rec("Se1")->ma2 = 32767;
    form_->draw();
    EXPECT_EQ(dialogs_->Messages().size(), 0u);

    const vb::DrawEntry* from = FindText("FromLateral2");
    ASSERT_NE(from, nullptr);
    EXPECT_DOUBLE_EQ(from->angle, 90);
    const vb::DrawEntry* to = FindText("To Lateral2");
    ASSERT_NE(to, nullptr);
    EXPECT_DOUBLE_EQ(to->angle, 0);
    EXPECT_NEAR(to->x1, SX(108 + 5), 1e-3);
    // "From" stands 1 m below the joined pipe's upstream ground, 4 right of
    // its start (chainage 50); "To" 1 m below the last pipe's downstream invert.
    const double shift = form_->ElevationShift;
    const double rotatedDx = 0.4 * std::sin(90 * 3.14 / 180) * 4 / 0.3;
    const double rotatedDy = 0.4 * std::cos(90 * 3.14 / 180) * 4 / 0.3;
    EXPECT_NEAR(from->x1, SX(8 + 50 + 4) - rotatedDx, 1e-3);
    EXPECT_NEAR(from->y1, SY(Rec("Se2")->felv + shift - 1) - rotatedDy, 1e-3);
    EXPECT_NEAR(to->y1, TextY(Rec("Se3")->tinv + shift - 1, 4), 1e-3);
    // The rest of the redraw still happened: the plan text of the last pipe.
    EXPECT_NE(FindText("90"), nullptr);
    // A lateral whose ma1 names another pipe gets no label; a lateral whose
    // own mark names no node gets no "To" label.
    lat2->ma1 = static_cast<int16_t>(Node("Se1"));
    lateral_->ma1 = 999;
    form_->draw();
    EXPECT_EQ(FindText("FromLateral2"), nullptr);
    EXPECT_EQ(FindText("To Lateral2"), nullptr);
    EXPECT_EQ(dialogs_->Messages().size(), 0u);
}

TEST_F(Draw, ARedrawShowsOneFailureBoxHoweverManyTextsFail) {
    // A row whose text height no font can have: every value of the row fails
    // to print, and so does the row's label.
    ProfileRowTable[2].TextHeight = 3.4e38f;
    ProfileRowTable[5].Rotation = 3.4e38f;
    for (int redraw = 1; redraw <= 2; ++redraw) {
        form_->draw();
        ASSERT_EQ(dialogs_->Messages().size(), static_cast<size_t>(redraw));
        EXPECT_EQ(dialogs_->Messages().back().prompt, "Overflow");
    }
    // Outside a redraw every failure is still shown.
    form_->textplot(1, 2, 3, 3.4e38, 0, "S", "a", 1, 0);
    form_->textplot(1, 2, 3, 3.4e38, 0, "S", "b", 1, 0);
    EXPECT_EQ(dialogs_->Messages().size(), 4u);
}

TEST_F(Draw, AStaleRunIsRebuiltBeforeTheLevelsPassWrites) {
    // A second lateral whose pipe is the last node of the tree.
    Add("Lateral2", "");
    auto other = Add("Ta1", "ObjLateral2");
    other->felv = 50;
    other->l = 10;
    // Se2 picked, then renamed in place (its key and name change, its node
    // stays): the run is rebuilt for the new name, and the pick stays on it.
    Mark(2);
    form_->draw();
    ASSERT_TRUE(form_->PGR(1).Visible());
    const int32_t se2 = Node("Se2");
    form_->myCol->Key(vb::Variant(se2), "ObjSe2a");
    Rec("Se2a")->Name = "Se2a";
    form_->draw();
    EXPECT_EQ(RunPipeName("Se2a"), CurrentRun[2].PipeName);
    EXPECT_TRUE(form_->PGR(1).Visible());
    EXPECT_EQ(form_->PGR(1).Tag(), std::to_string(se2));
    form_->myCol->Key(vb::Variant(se2), "ObjSe2");
    Rec("Se2")->Name = "Se2";
    form_->draw();
    ASSERT_EQ(form_->PGR(1).Tag(), std::to_string(se2));
    // Removing Se2 moves the last node (Ta1) into Se2's index, which the run
    // still names.  Se2 was picked: its pick goes with it, and Se3, now second,
    // is not picked in its place.
    form_->myCol->RemoveItem(vb::Variant(std::string("ObjSe2")));
    ASSERT_EQ(RunCount, 3);
    form_->draw();
    EXPECT_EQ(RunCount, 2);
    EXPECT_FALSE(form_->PGR(1).Visible());
    EXPECT_EQ(form_->PGR(1).Tag(), "");
    EXPECT_FLOAT_EQ(other->finv, 0);
    EXPECT_FLOAT_EQ(other->tinv, 0);
    EXPECT_FLOAT_EQ(other->tl, 0);
    // Se3 now follows Se1 directly.
    EXPECT_FLOAT_EQ(Rec("Se3")->x3, 58);
    EXPECT_FLOAT_EQ(Rec("Se3")->tl, 70);
    EXPECT_FLOAT_EQ(Rec("Se1")->telv, 101.0f) << "takes the ground of the new next pipe";

    // Every pipe of the lateral removed: the lateral is drawn no more (not
    // even its title), and no handle stays.
    form_->myCol->RemoveItem(vb::Variant(std::string("ObjSe1")));
    form_->myCol->RemoveItem(vb::Variant(std::string("ObjSe3")));
    Mark(1);
    form_->draw();
    EXPECT_EQ(RunCount, 0);
    EXPECT_TRUE(log().empty());
    EXPECT_FALSE(form_->PGR(1).Visible());

    // A new network without the lateral: nothing drawn, nothing written.
    auto keep = form_->myCol;
    form_->myCol = std::make_shared<model::cNodeCollection>();
    form_->draw();
    EXPECT_EQ(RunCount, 0);
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(dialogs_->Messages().empty());
}

TEST_F(Draw, ADxfExportGetsEveryLineAndTextButTheScreenOnlyOnes) {
    Mark(2);
    const std::string path = "/tmp/draw-test-" + std::to_string(getpid()) + ".dxf";
    DxfFile().Open(path, 0, 0);
    DxfMode = 2;
    form_->draw();
    DxfMode = 1;
    ASSERT_TRUE(DxfFile().Close());
    std::ifstream in(path, std::ios::binary);
    const std::string dxf{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    auto count = [&](const std::string& what) {
        int n = 0;
        for (size_t p = dxf.find(what); p != std::string::npos; p = dxf.find(what, p + 1)) ++n;
        return n;
    };
    const auto lines = std::count_if(log().begin(), log().end(),
                                     [](const vb::DrawEntry& e) { return e.kind == Kind::Line; });
    const auto texts = Texts().size();
    // The axis at chainage 0 and the highlight box stay on the screen, and so
    // do the three plan-position texts; everything else is in the file.
    EXPECT_EQ(count("\nLINE\r\n"), static_cast<int>(lines) - 1);
    EXPECT_EQ(count("\nTEXT\r\n"), static_cast<int>(texts) - 3);
    EXPECT_NE(dxf.find("Lateral1"), std::string::npos);
}

TEST_F(Draw, ALongNameWithWideCharactersIsNotTakenForAStaleRun) {
    auto p = Add("Kanal-\xC3\x9C""berlauf-Strang-Nord", "ObjLateral1");
    p->felv = 100.5f;
    p->telv = 100;
    p->dia = 300;
    p->slope = 0.003f;
    p->l = 10;
    p->mincover = 2;
    form_->latseupdate("Lateral1");
    ASSERT_EQ(RunCount, 4);
    form_->draw();
    EXPECT_EQ(RunCount, 4);
    EXPECT_FLOAT_EQ(p->tl, 110);
    EXPECT_EQ(Lines(41).size(), 5u);
}

TEST_F(Draw, AMarkBeyondTheRunCountsAsNoMark) {
    Mark(5, 3);
    form_->MSHFlexGrid2.Rows(10);
    form_->MSHFlexGrid2.Cols(2);
    form_->MSHFlexGrid2.TextMatrix(3, 1, "old");
    form_->draw();
    EXPECT_EQ(form_->CurrentPipeIndex, 1);
    EXPECT_EQ(form_->MSHFlexGrid2.TextMatrix(3, 1), "");
    EXPECT_FALSE(form_->PGR(0).Visible());
    EXPECT_FALSE(form_->PGR.Exists(1));
    EXPECT_TRUE(dialogs_->Messages().empty());
}

TEST_F(Draw, ScaleHeightAndExtensionShapeTheScale) {
    auto lineAt = [&](double x1, double y1, double x2, double y2) {
        int n = 0;
        for (const auto& l : Lines(3))
            if (std::abs(l.x1 - SX(x1)) < 1e-4 && std::abs(l.y1 - SY(y1)) < 1e-4 &&
                std::abs(l.x2 - SX(x2)) < 1e-4 && std::abs(l.y2 - SY(y2)) < 1e-4)
                ++n;
        return n;
    };
    // H = 20: ticks from 20 down to 0, the first label at the top reads the
    // first ground's whole metre plus the offset; the scale line stays 10 high
    // while the axis at chainage 0 reaches the top.
    form_->ElevScaleHeight = 20;
    form_->draw();
    EXPECT_EQ(form_->ElevationShift, 20 - 102 - 2);
    for (int y = 0; y <= 20; y += 2) EXPECT_EQ(lineAt(6, y, 8.1, y), 1) << "tick at " << y;
    EXPECT_EQ(lineAt(8, 0, 8, 10), 1) << "scale line";
    EXPECT_EQ(lineAt(8, 0, 8, 20), 1) << "axis";
    const vb::DrawEntry* top = FindText("104.00");
    ASSERT_NE(top, nullptr);
    EXPECT_NEAR(top->y1, TextY(20.2, 4), 1e-3);
    EXPECT_NE(FindText("84.00"), nullptr);
    // The right border of each step spans from H - k to k.
    EXPECT_EQ(lineAt(128, 20, 128, 0), 1);
    EXPECT_EQ(lineAt(128, 10, 128, 10), 1);

    // E = 1 with H = 10: k runs to 14, ticks reach into the table, grid
    // lines rise to 14.
    form_->ElevScaleHeight = 10;
    form_->ElevScaleExtension = 1;
    form_->draw();
    EXPECT_EQ(lineAt(6, -4, 8.1, -4), 1);
    EXPECT_EQ(lineAt(6, -6, 8.1, -6), 0);
    EXPECT_EQ(lineAt(8, 14, 128, 14), 1);
    EXPECT_EQ(lineAt(8, 16, 128, 16), 0);
    EXPECT_NE(FindText("90.00"), nullptr) << "label of k = 14";
}

TEST_F(Draw, TableRowsFollowTheirLabelsCodesAndSeparators) {
    auto& rows = ProfileRowTable;
    for (int r = 1; r <= 20; ++r) rows[static_cast<size_t>(r)].Visible = false;
    const auto before = [&] {
        form_->draw();
        return Texts().size();
    }();
    // No row shown: the label column keeps its top edge, the borders have no
    // length, and the only texts are the title, the six scale labels and the
    // three plan positions.
    EXPECT_EQ(before, 1u + 6 + 3);
    EXPECT_TRUE(Lines(21).empty());

    // A trimmed label matches, placed in the middle ("m" counts as "M"),
    // rotated, without separators; a label in other case gets empty texts.
    rows[1].Label = "  Slope  ";
    rows[1].Code = "m";
    rows[1].RowHeight = 2;
    rows[1].RowHeight0 = 0;
    rows[1].Rotation = 90;
    rows[1].Hspace = 1;
    rows[1].Vspace = 0.5f;
    rows[1].TextHeight = 3;
    rows[1].Color = 3;
    rows[1].Visible = true;
    rows[2].Label = "slope";
    rows[2].Code = " ";
    rows[2].RowHeight = 1;
    rows[2].RowHeight0 = 1;
    rows[2].TextHeight = 3;
    rows[2].Color = 3;
    rows[2].Visible = true;
    form_->draw();
    std::vector<vb::DrawEntry> slopes;
    for (const auto& t : Texts())
        if (t.text == "0.0030" || t.text == "0.0040") slopes.push_back(t);
    ASSERT_EQ(slopes.size(), 3u);
    // Pipe 2 runs from 58 to 88: its slope at (73 + 1, -2 + 0.5), turned 90.
    EXPECT_EQ(slopes[1].text, "0.0030");
    EXPECT_DOUBLE_EQ(slopes[1].angle, 90);
    EXPECT_NEAR(slopes[1].x1, SX(74) - 0.4 * std::sin(90 * 3.14 / 180) * 3 / 0.3, 1e-3);
    EXPECT_NEAR(slopes[1].y1, SY(-1.5) - 0.4 * std::cos(90 * 3.14 / 180) * 3 / 0.3, 1e-3);
    // The lower-case row: a start and an end text per pipe, all empty, and a
    // separator at every manhole including the last.
    const auto empties = std::count_if(log().begin(), log().end(), [](const vb::DrawEntry& e) {
        return e.kind == Kind::Text && e.text.empty();
    });
    EXPECT_EQ(empties, 6);
    const auto separators = Lines(21);
    ASSERT_EQ(separators.size(), 4u);
    EXPECT_NEAR(separators.back().x1, SX(108), 1e-4);
    EXPECT_NEAR(separators.back().y1, SY(-2), 1e-4);
    EXPECT_NEAR(separators.back().y2, SY(-3), 1e-4);
    // The label column's labels ignore the row's own height and rotation.
    const vb::DrawEntry* label = FindText("Slope");
    ASSERT_NE(label, nullptr);
    EXPECT_DOUBLE_EQ(label->angle, 0);
    EXPECT_NEAR(label->y1, TextY(-2 + 0.1, 4), 1e-3);
}

TEST_F(Draw, ARunOfOnePipe) {
    auto lat2 = Add("Lateral2", "");
    auto p = Add("Ta1", "ObjLateral2");
    p->felv = 102;
    p->telv = 100;
    p->dia = 0;
    p->slope = 0.004f;
    p->l = 50;
    p->mincover = 2;
    p->from = "A1";
    p->tom = "A2";
    form_->UserControl11.AddTab("Lateral2");
    form_->UserControl11.text("Lateral2");
    form_->latseupdate("Lateral2");
    ASSERT_EQ(RunCount, 1);
    ProfileRowTable[12].Visible = true;   // "Drop"
    form_->draw();
    EXPECT_EQ(CurrentLateralName, "Lateral2");
    // Downstream short of cover: lowered to 100 - 2 - 0 with its slope.
    EXPECT_FLOAT_EQ(p->tinv, 98.0f);
    EXPECT_FLOAT_EQ(p->finv, 98.2f);
    EXPECT_FLOAT_EQ(p->telv, 100.0f) << "the last pipe keeps its own downstream ground";
    EXPECT_FLOAT_EQ(lat2->l, 50);
    EXPECT_NE(FindText("0+00"), nullptr);
    EXPECT_NE(FindText("0+050"), nullptr);
    EXPECT_NE(FindText("A1"), nullptr);
    EXPECT_NE(FindText("A2"), nullptr);
    EXPECT_EQ(FindText("0.0"), nullptr) << "no drop on the first pipe";
    for (const auto& t : Texts()) EXPECT_NE(t.text.rfind("To ", 0), 0u) << "ma1 is 0";

    const double shift = -94;
    const double I1 = 98.2 + shift, I2 = 98.0 + shift, G1 = 102 + shift, G2 = 100 + shift;
    const auto blue = Lines(5);
    ASSERT_EQ(blue.size(), 7u);
    auto is = [](const vb::DrawEntry& l, double x1, double y1, double x2, double y2) {
        return std::abs(l.x1 - SX(x1)) < 1e-4 && std::abs(l.y1 - SY(y1)) < 1e-3 &&
               std::abs(l.x2 - SX(x2)) < 1e-4 && std::abs(l.y2 - SY(y2)) < 1e-3;
    };
    EXPECT_TRUE(is(blue[0], 7, I1, 58, I2)) << "invert from 1 before the station";
    EXPECT_TRUE(is(blue[1], 9, I1, 57, I2)) << "crown on the invert when dia is 0";
    EXPECT_TRUE(is(blue[2], 9, G1, 9, I1));
    EXPECT_TRUE(is(blue[3], 57, G2, 57, I2));
    EXPECT_TRUE(is(blue[4], 7, G1, 7, I1)) << "upstream wall of the first manhole";
    EXPECT_TRUE(is(blue[5], 59, G2, 59, I2)) << "downstream wall of the last manhole";
    EXPECT_TRUE(is(blue[6], 57, I2, 57, 0)) << "last drop down to the table";
}

}  // namespace

TEST_F(Draw, DepthAndDropRows) {
    // Depth: ground less invert at each pipe's start, and at the run's end;
    // drop: the previous pipe's downstream invert less this pipe's upstream one.
    ProfileRowTable[9].Visible = true;    // "Depth"
    ProfileRowTable[12].Visible = true;   // "Drop"
    ASSERT_EQ(ProfileRowTable[9].Label.Trimmed(), "Depth");
    ASSERT_EQ(ProfileRowTable[12].Label.Trimmed(), "Drop");
    Rec("Se2")->mincover = 2.5f;   // laid deeper than the pipe before: a drop
    form_->draw();
    // The two rows' texts are the upright ones with two and one decimals.
    auto upright = [&](size_t decimals) {
        std::vector<std::string> out;
        for (const auto& t : Texts()) {
            const size_t dot = t.text.find('.');
            if (t.angle == 90 && dot != std::string::npos && t.text.size() - dot - 1 == decimals) out.push_back(t.text);
        }
        return out;
    };
    const auto se1 = Rec("Se1"), se2 = Rec("Se2"), se3 = Rec("Se3");
    // Se1 is laid for cover at its downstream end: its upstream invert is
    // 101.5 - 2 - 0.2 + 0.004 * 50 = 99.5, under ground 102.37.
    const std::vector<std::string> depth = {"2.87", Fixed2(se2->felv - se2->finv), Fixed2(se3->felv - se3->finv),
                                            Fixed2(se3->telv - se3->tinv)};
    EXPECT_EQ(upright(2), depth);
    const std::vector<std::string> drop = {vb::CStr(FormatFixed(static_cast<double>(se1->tinv - se2->finv), 1)),
                                           vb::CStr(FormatFixed(static_cast<double>(se2->tinv - se3->finv), 1))};
    EXPECT_EQ(upright(1), drop);
    EXPECT_NE(drop[0], "0.0");
}
