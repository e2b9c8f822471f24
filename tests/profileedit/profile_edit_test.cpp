// Editing on the profile of a real main window: the handles, the entry box and
// its commit, the pickers and the slope bars.
#include "tests/mainwindow/form1_fixture.h"

#include <tuple>

#include "model/partial_flow.h"
#include "profile/format.h"

namespace {

class ProfileEditTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        vb::test::ShowAndActivate(f());
        // Two pipes on Lateral1; the first is chosen, so it alone carries the
        // handles (element 1 of each array).
        f().Command7_Click();
        f().Command7_Click();
        f().List2.ListIndex(0);
        a_ = Rec(f().List2.List(0));
        b_ = Rec(f().List2.List(1));
        ASSERT_TRUE(a_ && b_);
        ASSERT_EQ(f().pcover(1).Tag(), std::to_string(Node(*a_)));
    }
    vb::FlexGrid& g() { return f().MSHFlexGrid2; }
    void Key(int ascii) { f().Text19_KeyPress(ascii); }
    // Marks exactly the given run positions on the pipes' strip and redraws.
    void Mark(std::initializer_list<int> positions) {
        vb::Variant marks = f().UserControl12.TABB();
        for (int32_t i = 1; i <= marks.UBound(); ++i) marks.SetElement(i, vb::Variant(int16_t{0}));
        for (int p : positions) marks.SetElement(p, vb::Variant(int16_t{1}));
        f().UserControl12.TABB(marks);
        f().draw();
    }
    std::string Fixed(double v, int16_t d) { return vb::CStr(FormatFixed(vb::Variant(v), d)); }
    int32_t Node(const model::Sewer& s) { return f().myCol->KeyToIndex("Obj" + s.Name); }
    std::shared_ptr<model::Sewer> a_, b_;
};

}  // namespace

TEST_F(ProfileEditTest, CoverWalkStoresWhileDraggingRedrawsOnReleaseAndCommits) {
    const int r0 = f().Refreshes;
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Tag(), "Pcov1");
    EXPECT_EQ(f().Text19.Text(), "2");
    EXPECT_EQ(f().CurrentPipeKey, a_->Name);
    // Ten units down deepen the cover by one metre, stored at once.
    f().pcover_MouseMove(1, 1, 0, 1, 10);
    EXPECT_FLOAT_EQ(a_->mincover, 3.0f);
    EXPECT_EQ(f().Text19.Text(), "3.00");
    EXPECT_EQ(g().TextMatrix(4, 1), "3.00");
    EXPECT_EQ(g().TextMatrix(7, 1), Fixed(a_->felv - 3.0 - 0.2, 3));
    EXPECT_EQ(g().TextMatrix(9, 1), Fixed(vb::Val(Fixed(a_->felv - 3.2, 3)) - 0.004 * 50, 3));
    // Steps are rounded to whole centimetres: 0.34 units add 0.03 m; the
    // right button does not drag.
    f().pcover_MouseMove(1, 1, 0, 1, 0.34f);
    f().pcover_MouseMove(1, 2, 0, 1, 10);
    EXPECT_FLOAT_EQ(a_->mincover, 3.03f);
    EXPECT_EQ(f().Refreshes, r0);

    f().pcover_MouseUp(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Refreshes, r0 + 1);
    EXPECT_TRUE(f().Text19.HasFocus());
    EXPECT_EQ(f().Text19.Tag(), "Pcov1");   // still armed after the redraw
    // A second press keeps the dragged text.
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Text(), "3.03");

    f().Text19.Text("1.75");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(a_->mincover, 1.75f);
    EXPECT_EQ(g().TextMatrix(7, 1), Fixed(a_->finv, 3));   // after the levels pass
    EXPECT_FLOAT_EQ(b_->mincover, 2.0f);
    EXPECT_EQ(f().Text19.Tag() + f().Text19.Text(), "");
    EXPECT_FALSE(f().pic(0).Visible());
    EXPECT_EQ(f().Refreshes, r0 + 2);

    // Esc after a drag keeps the dragged cover.
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    f().pcover_MouseMove(1, 1, 0, 1, -5);
    Key(vb::vbKeyEscape);
    EXPECT_FLOAT_EQ(a_->mincover, 1.25f);
    EXPECT_EQ(f().Text19.Tag(), "");

    // The drag stops at the ends of the covers the commit accepts: the handle
    // goes no further than the limit, and Enter then stores it silently.
    const size_t messages = dialogs().Messages().size();
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    const double top = f().pcover(1).Top();
    f().pcover_MouseMove(1, 1, 0, 1, -25);
    EXPECT_FLOAT_EQ(a_->mincover, 0.0f);
    EXPECT_EQ(f().Text19.Text(), "0.00");
    EXPECT_EQ(g().TextMatrix(4, 1), "0.00");
    EXPECT_NEAR(f().pcover(1).Top(), top - 12.5, 0.01);
    f().pcover_MouseMove(1, 1, 0, 1, -3);
    EXPECT_FLOAT_EQ(a_->mincover, 0.0f);
    f().pcover_MouseMove(1, 1, 0, 1, 2000);
    EXPECT_FLOAT_EQ(a_->mincover, 100.0f);
    EXPECT_NEAR(f().pcover(1).Top(), top - 12.5 + 1000, 0.01);
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(a_->mincover, 100.0f);
    EXPECT_EQ(dialogs().Messages().size(), messages);
}

TEST_F(ProfileEditTest, GroundAndLengthDragsStoreNothingUntilTheCommit) {
    const int r0 = f().Refreshes;
    const float felv = a_->felv;
    f().Text19.Text("junk");
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Tag(), "Pgr 1");
    EXPECT_EQ(f().Text19.Text(), vb::SingleToText(felv));
    f().PGR_MouseMove(1, 1, 0, 1, 5);    // down half a metre
    f().PGR_MouseMove(1, 1, 0, 1, -2);   // up 0.2 m
    EXPECT_EQ(f().Text19.Text(), vb::NumberToText(vb::Val(vb::SingleToText(felv)) - 0.5 + 0.2));
    EXPECT_EQ(g().TextMatrix(6, 1), f().Text19.Text());
    EXPECT_FLOAT_EQ(a_->felv, felv);
    f().PGR_MouseUp(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Refreshes, r0);
    // Esc stores nothing; a fresh press starts from the stored level again.
    Key(vb::vbKeyEscape);
    EXPECT_FLOAT_EQ(a_->felv, felv);
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    f().PGR_MouseMove(1, 1, 0, 1, 10);
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Text(), vb::SingleToText(felv));
    f().Text19.Text("101.2");
    Key(vb::vbKeySpace);
    EXPECT_FLOAT_EQ(a_->felv, 101.2f);

    // Element 0 is the downstream ground of the last pipe; its drag shows in
    // the downstream ground row.
    // Its press arms the box with that level, which differs from every
    // other ground level of the run.
    b_->telv = 98.75f;
    Mark({2});
    f().PGR_MouseDown(0, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Tag(), "Pgr 0");
    EXPECT_EQ(f().Text19.Text(), "98.75");
    EXPECT_EQ(f().CurrentPipeKey, b_->Name);
    f().PGR_MouseMove(0, 1, 0, 1, 10);
    EXPECT_EQ(g().TextMatrix(8, 1), f().Text19.Text());
    f().Text19.Text("99.5");
    f().Command24_Click();
    EXPECT_FLOAT_EQ(b_->telv, 99.5f);
    EXPECT_FLOAT_EQ(a_->felv, 101.2f);

    // Length: one unit per metre, right button too; only a length below 1
    // is raised at once.
    b_->l = 0.5f;
    f().plen_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Text(), "0.5");
    f().plen_MouseMove(1, 2, 0, 3.26f, 1);
    EXPECT_EQ(f().Text19.Text(), "3.8");
    EXPECT_EQ(g().TextMatrix(5, 1), "3.8");
    EXPECT_FLOAT_EQ(b_->l, 1.0f);
    const int r1 = f().Refreshes;
    f().plen_MouseUp(1, 2, 0, 1, 1);
    EXPECT_EQ(f().Refreshes, r1);
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(b_->l, 3.8f);
    EXPECT_EQ(f().Refreshes, r1 + 1);

    // The values the pipe grid refuses are refused here too, with its
    // message, and so is text with no number in it: it is never a level or a
    // cover of 0.  The grid shows the stored values again.
    using Press = void (Form1::*)(int, int, int, float, float);
    const float felv2 = b_->felv, cover2 = b_->mincover;
    const std::tuple<Press, const char*, const char*> refused[] = {
        {&Form1::plen_MouseDown, "-500", "Length must be a number from 0.01"},
        {&Form1::plen_MouseDown, "0", "Length must be a number from 0.01"},
        {&Form1::plen_MouseDown, "abc", "Length must be a number from 0.01"},
        {&Form1::plen_MouseDown, "20000", "Length must be a number from 0.01"},
        {&Form1::PGR_MouseDown, "abc", "FGR.EL must be a number from -10000 to 10000 m; nothing was changed."},
        {&Form1::PGR_MouseDown, "", "FGR.EL must be a number from -10000"},
        {&Form1::PGR_MouseDown, " -.", "FGR.EL must be a number from -10000"},
        {&Form1::pcover_MouseDown, "abc", "MinCover must be a number from 0 to 100 m; nothing was changed."},
        {&Form1::pcover_MouseDown, "1e39", "MinCover must be a number from 0 to 100 m"},
        {&Form1::pcover_MouseDown, "&O8", "MinCover must be a number from 0 to 100 m"},
    };
    for (const auto& [press, typed, message] : refused) {
        (f().*press)(1, 1, 0, 1, 1);
        f().Text19.Text(typed);
        const size_t messages = dialogs().Messages().size();
        Key(vb::vbKeyReturn);
        EXPECT_FLOAT_EQ(b_->l, 3.8f) << typed;
        EXPECT_FLOAT_EQ(b_->felv, felv2) << typed;
        EXPECT_FLOAT_EQ(b_->mincover, cover2) << typed;
        ASSERT_EQ(dialogs().Messages().size(), messages + 1) << typed;
        EXPECT_NE(dialogs().Messages().back().prompt.find(message), std::string::npos) << typed;
        EXPECT_EQ(g().TextMatrix(4, 1) + " " + g().TextMatrix(6, 1), Fixed(cover2, 2) + " " + Fixed(felv2, 3));
    }
    // A leading number is still read as the value ("12.5m" is 12.5).
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("98.5m");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(b_->felv, 98.5f);
    // So is a hexadecimal one.
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("&H62");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(b_->felv, 98.0f);

    f().plen_DblClick(1);
    EXPECT_TRUE(f().Frame11.Visible());
    EXPECT_EQ(f().Text18.Text(), "3.8");

    // Neither drag shows a value the commit would refuse: the length stops at
    // 0.01 m, the ground at 10000 m, each handle with it.
    const size_t before = dialogs().Messages().size();
    f().plen_MouseDown(1, 1, 0, 1, 1);
    const double left = f().plen(1).Left();
    f().plen_MouseMove(1, 1, 0, -40, 1);
    EXPECT_EQ(f().Text19.Text(), "0.01");
    EXPECT_EQ(g().TextMatrix(5, 1), "0.01");
    EXPECT_NEAR(f().plen(1).Left(), left - 3.79, 0.01);
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(b_->l, 0.01f);
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    f().PGR_MouseMove(1, 1, 0, 1, -200000);
    EXPECT_EQ(f().Text19.Text(), "10000");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(b_->felv, 10000.0f);
    EXPECT_EQ(dialogs().Messages().size(), before);
}

TEST_F(ProfileEditTest, PassingOverAHandleNeverWritesTheEntryBoxOrAnotherPipe) {
    // The box is armed for a ground value; the pointer then passes over the
    // cover handle with no button, and a left-button move arrives over it
    // without a press there.
    f().PGR_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("55");
    g().TextMatrix(4, 1, "x");
    f().pcover_MouseMove(1, 0, 0, 1, 3);
    EXPECT_EQ(g().TextMatrix(4, 1), Fixed(a_->mincover, 2));
    f().pcover_MouseMove(1, 1, 0, 1, 3);
    EXPECT_FLOAT_EQ(a_->mincover, 2.0f);
    EXPECT_EQ(f().Text19.Text(), "55");
    f().plen_MouseMove(1, 0, 0, 1, 3);
    EXPECT_EQ(g().TextMatrix(5, 1), Fixed(a_->l, 2));
    // A cover of minus the diameter still leaves the invert below the ground
    // once ground less cover is taken in single precision.
    ASSERT_FLOAT_EQ(a_->felv, 102.0f);
    a_->mincover = -0.2f;
    f().pcover_MouseMove(1, 0, 0, 1, 3);
    EXPECT_EQ(g().TextMatrix(7, 1), "102.000");
    // No room below the ground: the upstream invert is that of the pipe
    // before it in the run, and the downstream one is left as it was.
    Mark({2});
    b_->mincover = -1;
    const std::string toInvert = g().TextMatrix(9, 1);
    f().pcover_MouseMove(1, 0, 0, 1, 3);
    EXPECT_EQ(g().TextMatrix(7, 1), vb::SingleToText(a_->tinv));
    EXPECT_EQ(g().TextMatrix(9, 1), toInvert);
    Mark({1});
    // A handle of a pipe the grid does not show leaves the grid alone.
    f().CurrentPipeKey = b_->Name;
    f().se_selupdate();
    const std::string cover = g().TextMatrix(4, 1);
    a_->mincover = 4;
    f().pcover_MouseMove(1, 0, 0, 1, 3);
    EXPECT_EQ(g().TextMatrix(4, 1), cover);
}

TEST_F(ProfileEditTest, ACommitLandsOnlyInThePipeTheBoxWasArmedFor) {
    // Both pipes carry handles: Se 2 has element 1, Se 3 element 2.
    Mark({1, 2});
    ASSERT_EQ(f().pcover(2).Tag(), std::to_string(Node(*b_)));
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("2.5");
    // Se 2 loses its handles: element 1 now belongs to Se 3, and the box is
    // disarmed by the redraw.
    Mark({2});
    EXPECT_EQ(f().Text19.Tag(), "");
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    EXPECT_EQ(f().Text19.Text(), vb::SingleToText(b_->mincover));
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(a_->mincover, 2.0f);
    EXPECT_FLOAT_EQ(b_->mincover, 2.0f);

    // A handle handed to another pipe behind the box's back (as a re-lay
    // does) is not taken for the armed edit: its drag changes nothing.
    Mark({1, 2});
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    f().pcover(1).Tag(std::to_string(Node(*b_)));
    f().pcover_MouseMove(1, 1, 0, 1, 10);
    EXPECT_FLOAT_EQ(b_->mincover, 2.0f);
    EXPECT_EQ(f().Text19.Text(), "2");
    Key(vb::vbKeyEscape);
    Mark({2});

    // Choosing another lateral disarms the box as well.
    f().plen_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("80");
    f().Command4_Click();   // "Add Lateral" makes and shows Lateral2
    ASSERT_NE(CurrentLateralName, "Lateral1");
    EXPECT_EQ(f().Text19.Tag(), "");
    f().Command24_Click();
    EXPECT_FLOAT_EQ(b_->l, 50.0f);

    // A pipe removed behind an armed box: the commit refuses with a message.
    CurrentLateralName = "Lateral1";
    f().UserControl11.text("Lateral1");
    f().latseupdate("Lateral1");
    Mark({2});
    f().pcover_MouseDown(1, 1, 0, 1, 1);
    f().Text19.Text("3");
    f().myCol->RemoveItem(vb::Variant("Obj" + b_->Name));
    const size_t messages = dialogs().Messages().size();
    f().Command24_Click();
    EXPECT_EQ(dialogs().Messages().size(), messages + 1);
    EXPECT_FLOAT_EQ(b_->mincover, 2.0f);
    EXPECT_EQ(f().Text19.Tag(), "");
}

TEST_F(ProfileEditTest, LateralPickerLinksOnlyTheChosenLateral) {
    f().Command4_Click();   // a second lateral
    auto lat2 = Rec(f().List1.List(f().List1.ListCount() - 1));
    ASSERT_TRUE(lat2 && lat2->Name != "Lateral1");
    f().UserControl11.text("Lateral1");
    CurrentLateralName = "Lateral1";
    f().latseupdate("Lateral1");
    Mark({1});
    const int32_t pipeNode = Node(*a_);
    const int32_t lat2Node = Node(*lat2);
    // A pipe-size row after the laterals: its ma1 is its own value.
    auto last = std::make_shared<model::Sewer>();
    last->Name = "Diameter99";
    last->ma1 = 7;
    AddRecordNode(*f().myCol, last, "");
    ASSERT_EQ(NodeRecordByIndex(f().myCol.get(), f().myCol->LastSibling(vb::Variant(lat2Node))), last);
    const int16_t lastMark = last->ma1;

    const int r0 = f().Refreshes;
    f().picfrom_MouseDown(1, 0, 0, 0);
    ASSERT_EQ(f().Combo1.ListCount(), 3);
    EXPECT_EQ(f().Combo1.List(0) + "|" + f().Combo1.List(1) + "|" + f().Combo1.List(2), "|Lateral1|" + lat2->Name);
    EXPECT_EQ(f().Combo1.Text(), "");
    EXPECT_EQ(f().Refreshes, r0);   // opening commits nothing
    f().Combo1.ListIndex(2);
    EXPECT_EQ(a_->ma2, lat2Node);
    EXPECT_EQ(lat2->ma1, pipeNode);
    EXPECT_EQ(last->ma1, lastMark);
    EXPECT_EQ(f().Refreshes, r0 + 1);

    // Reopened, it shows the link; the lateral shown, or a name of no
    // lateral, changes nothing (the second with a message).
    f().picfrom_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(f().Combo1.Text(), lat2->Name);
    f().Combo1.ListIndex(1);
    EXPECT_EQ(a_->ma2, lat2Node);
    auto lat1 = Rec("Lateral1");
    const int16_t lat1Mark = lat1->ma1;
    f().picfrom_MouseDown(1, 0, 0, 0);
    f().Combo1.Text("LATERAL1");
    f().Command24_Click();
    EXPECT_EQ(a_->ma2, lat2Node);
    EXPECT_EQ(lat1->ma1, lat1Mark);
    const size_t messages = dialogs().Messages().size();
    for (const std::string& name : {std::string("Lateral9"), b_->Name, std::string("Diameter1")}) {
        f().picfrom_MouseDown(1, 0, 0, 0);
        f().Combo1.Text(name);
        f().Command24_Click();
    }
    EXPECT_EQ(dialogs().Messages().size(), messages + 3);
    EXPECT_EQ(a_->ma2, lat2Node);

    // One lateral is never in both links: the earlier link wins.
    f().picfrom1_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(f().Combo1.Text(), "");
    f().Combo1.ListIndex(2);
    EXPECT_EQ(a_->ma3, 0);
    EXPECT_EQ(a_->ma2, lat2Node);
    // The empty item removes a link; the lateral then goes into the second.
    f().picfrom_MouseDown(1, 0, 0, 0);
    f().Combo1.ListIndex(0);
    EXPECT_EQ(a_->ma2, 0);
    f().picfrom1_MouseDown(1, 0, 0, 0);
    f().Combo1.ListIndex(2);
    EXPECT_EQ(a_->ma3, lat2Node);
    f().picfrom_MouseDown(1, 0, 0, 0);
    f().Combo1.ListIndex(2);
    EXPECT_EQ(a_->ma2, 0);
    EXPECT_EQ(a_->ma3, lat2Node);
    EXPECT_EQ(lat2->ma1, pipeNode);
}

TEST_F(ProfileEditTest, DiameterPickerStoresOnlyWholeMillimetres) {
    a_->dia = 150;
    f().Picdia_MouseDown(1, 1, 0, 0, 0);
    EXPECT_EQ(f().Combo1.ListCount(), 12);
    EXPECT_EQ(f().Combo1.Text(), "150");
    const int r0 = f().Refreshes;
    f().Combo1.ListIndex(7);
    EXPECT_EQ(a_->dia, 600);
    EXPECT_FALSE(f().pic(0).Visible());
    EXPECT_EQ(f().Refreshes, r0 + 1);
    const size_t messages = dialogs().Messages().size();
    for (const char* text : {"12.5", "0", "10001", "40000", "abc", "450mm"}) {
        f().Picdia_MouseDown(1, 1, 0, 0, 0);
        f().Combo1.Text(text);
        f().Command24_Click();
        EXPECT_EQ(a_->dia, 600) << text;
    }
    EXPECT_EQ(dialogs().Messages().size(), messages + 6);
    EXPECT_NE(dialogs().Messages().back().prompt.find("from 1 to 10000"), std::string::npos);
    f().Picdia_MouseDown(1, 1, 0, 0, 0);
    f().Combo1.Text(" 10000 ");
    f().Command24_Click();
    EXPECT_EQ(a_->dia, 10000);
    EXPECT_EQ(b_->dia, 200);

    // The arrow keys step from the pipe's own size; a size not in the list
    // opens beside the nearest one (the smaller of two as near).
    struct Step {
        int16_t dia;
        int key;
        int16_t stored;
    };
    const Step steps[] = {{350, vb::vbKeyDown, 400}, {350, vb::vbKeyUp, 300}, {150, vb::vbKeyDown, 250},
                          {375, vb::vbKeyDown, 400}};
    for (const Step& s : steps) {
        a_->dia = s.dia;
        f().Picdia_MouseDown(1, 1, 0, 0, 0);
        EXPECT_EQ(f().Combo1.Text(), std::to_string(s.dia));
        EXPECT_EQ(a_->dia, s.dia);   // opening commits nothing
        vb::test::ProcessEvents();   // as between two keys of a user
        vb::test::SendKey(f().Combo1, s.key);
        vb::test::ProcessEvents();
        EXPECT_EQ(a_->dia, s.stored) << s.dia << "/" << s.key;
        EXPECT_FALSE(f().pic(0).Visible());
    }
}

TEST_F(ProfileEditTest, SlopeBarsStepTheirOwnPipeFromTheirOwnPosition) {
    // The per-pipe bar: one step down lowers the slope by 0.001.
    const int r0 = f().Refreshes;
    f().VSlope(1).Value(f().VSlope(1).Value() + 1);
    EXPECT_FLOAT_EQ(a_->slope, 0.003f);
    EXPECT_EQ(f().Text19.Tag(), "Vslo1");
    EXPECT_EQ(f().Text19.Text(), "0.0030");
    EXPECT_EQ(f().Refreshes, r0 + 1);
    EXPECT_EQ(g().TextMatrix(3, 1), "0.0030");
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=" + model::RoundedReadout(model::ShowPartialFlow(10, 0.003f, 200).q));
    f().VSlope(1).Value(f().VSlope(1).Value() - 3);
    EXPECT_FLOAT_EQ(a_->slope, 0.006f);
    f().Text19.Text("0.005");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(a_->slope, 0.005f);
    EXPECT_FLOAT_EQ(b_->slope, 0.004f);

    // The first pipe's bars: a nudge-bar step in between does not leak into
    // the fine bar's step.
    f().Text18.Text("2.5");
    f().VScrol1.Value(51);
    EXPECT_EQ(f().Text18.Text(), "2.49");
    EXPECT_EQ(f().VScrol2.Value(), 51);
    f().VScrol2.Value(53);
    EXPECT_EQ(f().Text18.Text(), "2.47");
    EXPECT_EQ(f().VScrol1.Value(), 53);
    int key = vb::vbKeyPageDown, shift = 0;
    f().Picture1_KeyDown(key, shift);   // VScroll5 from 100 to 101
    EXPECT_NEAR(a_->slope, 0.0049f, 1e-7);
    EXPECT_EQ(f().VScroll4.Value(), 101);
    // The coarse bar moves the fine one along without a slope change.
    shift = vb::vbShiftMask;
    key = vb::vbKeyF7;
    f().Picture1_KeyDown(key, shift);
    EXPECT_EQ(f().VScroll5.Value(), 102);
    EXPECT_NEAR(a_->slope, 0.0049f, 1e-7);
    key = vb::vbKeyPageUp;
    shift = 0;
    f().Picture1_KeyDown(key, shift);
    EXPECT_NEAR(a_->slope, 0.005f, 1e-7);
    EXPECT_FLOAT_EQ(b_->slope, 0.004f);

    // A trickle in a large pipe lies where the velocity fit goes below 0:
    // the read-out shows no negative speed.
    a_->qd = 0.001f;
    a_->dia = 1000;
    f().VSlope(1).Value(f().VSlope(1).Value() + 1);
    EXPECT_EQ(f().Label33.Caption(), "H/D= 0");
    EXPECT_EQ(f().Label35.Caption(), "Vd= 0");
}

TEST_F(ProfileEditTest, SlopeBarsDoNothingWithoutAPipe) {
    // A removal leaves the run naming renumbered nodes (the second pipe now
    // has the first one's index) until the next redraw: no pipe is touched.
    f().myCol->RemoveItem(vb::Variant("Obj" + a_->Name));
    f().VScroll5.Value(f().VScroll5.Value() + 1);
    EXPECT_FLOAT_EQ(b_->slope, 0.004f);
    f().Command4_Click();   // a new lateral without pipes is shown
    ASSERT_EQ(RunCount, 0);
    f().VScroll5.Value(f().VScroll5.Value() + 3);
    f().VScroll4.Value(f().VScroll4.Value() + 1);
    EXPECT_FLOAT_EQ(a_->slope, 0.004f);
    EXPECT_FLOAT_EQ(b_->slope, 0.004f);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(ProfileEditTest, MouseDragOnTheScreenMovesTheCoverByTheDraggedUnits) {
    using vb::test::MouseAction;
    vb::PictureBox& h = f().pcover(1);
    // Pointer positions in the handle's own scale for 10 units of Picture1.
    const double perUnit = h.ScaleHeight() / f().Picture1.SizeToPixelsY(h.Height()) *
                           f().Picture1.SizeToPixelsY(1);
    const double top = h.Top();
    vb::test::SendMouse(h, MouseAction::Down, 1, 1, 1);
    vb::test::SendMouse(h, MouseAction::Move, 1, 1, 1 + 10 * perUnit);
    const double moved = h.Top() - top;
    vb::test::SendMouse(h, MouseAction::Up, 1, 1, 1);
    vb::test::ProcessEvents();
    EXPECT_NEAR(a_->mincover, 2.0 + moved / 10, 0.011);
    EXPECT_NEAR(a_->mincover, 3.0, 0.06);
    EXPECT_EQ(f().Text19.Tag(), "Pcov1");
    EXPECT_TRUE(f().pic(0).Visible());   // the picture beneath took no click
}
