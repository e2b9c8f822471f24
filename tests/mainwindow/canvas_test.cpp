// The free-object canvas, the image preview and its node, the lateral pop-up,
// the label-buttons of the value panel and the pipe-data panel.
#include <fstream>
#include <tuple>

#include "tests/mainwindow/form1_fixture.h"
#include "mainwindow/form2.h"

namespace {

using vb::test::MouseAction;
using vb::test::SendMouse;

struct Box {
    double l, t, w, h;
};
void ExpectBox(const vb::Control& c, Box want, const std::string& what) {
    EXPECT_NEAR(c.Left(), want.l, 0.05) << what;
    EXPECT_NEAR(c.Top(), want.t, 0.05) << what;
    EXPECT_NEAR(c.Width(), want.w, 0.05) << what;
    EXPECT_NEAR(c.Height(), want.h, 0.05) << what;
}

TEST_F(Form1Test, CanvasAddSelectDragAndResizeAnElement) {
    const double templWidth = f().pic(0).Width(), templTop = f().pic(0).Top();
    SendMouse(f().Command15, MouseAction::Click, 1, 100, 100);   // Text1 holds "Text1"
    ASSERT_TRUE(f().pic.Exists(3));
    vb::PictureBox& e = f().pic(3);
    EXPECT_TRUE(e.Visible());
    ExpectBox(e, {10, 10, 20, 20}, "a new element");
    EXPECT_EQ(e.BackColor(), 0xFF0000);
    // The caption is centred; the connector line comes from the template.
    ASSERT_EQ(e.DrawLog().size(), 1u);
    EXPECT_EQ(e.DrawLog()[0].text, "Text1");
    EXPECT_NEAR(e.DrawLog()[0].x1 + e.TextWidth("Text1") / 2, 10, 0.01);
    EXPECT_NEAR(e.DrawLog()[0].y1 + e.TextHeight("Text1") / 2, 10, 0.01);
    EXPECT_TRUE(f().Line1(3).Visible());
    EXPECT_NEAR(f().Line1(3).X1(), templWidth + templTop + 30, 0.05);
    f().Command15_Click();

    // The right button selects an element: handles just outside its corners
    // and edge middles.
    SendMouse(e, MouseAction::Down, 2, 5, 5);
    ASSERT_EQ(f().CanvasSelection, std::vector<vb::Control*>{&e});
    const double w = f().sk(0).Width(), h = f().sk(0).Height();
    ExpectBox(f().sk(0), {10 - w, 10 - h, w, h}, "top-left handle");
    ExpectBox(f().sk(4), {30, 20 - h / 2, w, h}, "middle-right handle");

    // Pressing a handle outlines the element and hides it; the handle follows
    // the pointer.
    vb::PictureBox& handle = f().sk(4);
    const double before = handle.Left();
    SendMouse(handle, MouseAction::Down, 1, w / 2, h / 2);
    EXPECT_FALSE(e.Visible());
    ExpectBox(f().Shape(0), {10, 10, 20, 20}, "outline");
    SendMouse(handle, MouseAction::Move, 1, w / 2 + 3, h / 2);
    SendMouse(handle, MouseAction::Up, 1, w / 2 + 3, h / 2);
    EXPECT_EQ(f().DragHandleIndex, 4);
    EXPECT_NEAR(handle.Left(), before + w / 2 + 3, 0.1);

    // A left-button move over an element resizes the outline by the rule of
    // the handle dragged last (dx = 40 / 20, dy = 20 / 20); the element keeps
    // its size and the handles are hidden.
    f().sk(0).Visible(true);
    const float x0 = static_cast<float>(vb::CDbl(f().LastPointerX));
    const float y0 = static_cast<float>(vb::CDbl(f().LastPointerY));
    const std::pair<int16_t, Box> rules[] = {{4, {10, 10, 22, 20}}, {0, {12, 11, 18, 19}}, {1, {10, 11, 20, 19}},
                                             {2, {10, 11, 22, 19}}, {3, {12, 10, 18, 20}}, {5, {12, 10, 18, 21}},
                                             {6, {10, 10, 20, 21}}, {7, {10, 10, 22, 21}}};
    for (const auto& [index, want] : rules) {
        f().DragHandleIndex = index;
        f().pic_MouseMove(4, 1, 0, x0 + 40, y0 + 20);
        ExpectBox(f().Shape(0), want, "handle " + std::to_string(index));
    }
    ExpectBox(e, {10, 10, 20, 20}, "the element itself");
    EXPECT_FALSE(f().sk(0).Visible());

    // After Ctrl+C the selection's entry is empty: a drag moves nothing and
    // no error is shown, not even on a handle press.  A click hides it.
    int keyC = vb::vbKeyC, ctrl = vb::vbCtrlMask;
    f().pic_KeyDown(4, keyC, ctrl);
    EXPECT_EQ(vb::CDbl(f().CopySourceIndex), 4);
    f().pic_MouseMove(4, 1, 0, x0 + 80, y0);
    ExpectBox(f().Shape(0), {10, 10, 22, 21}, "after Ctrl+C");
    SendMouse(f().sk(2), MouseAction::Down, 1, 0, 0);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    SendMouse(f().pic(4), MouseAction::Click, 1, 5, 5);
    EXPECT_FALSE(f().pic(4).Visible());
}

TEST_F(Form1Test, CanvasIndicesAndPictureNodesNeverReuseAKey) {
    // A connector line already at index 3: the next element goes above it.
    f().Line1.Load(3);
    f().Command15_Click();
    EXPECT_FALSE(f().pic.Exists(3));
    EXPECT_TRUE(f().pic.Exists(4));

    // The preview loads a picture (a .dib is read by its content); a cancel
    // or a file that is no image leaves it as it was, silently.
    const std::string dib = (dir_ / "p.dib").string();
    vb::SavePicture(f().Picture1.Image(), dib);
    std::ofstream(dir_ / "bad.gif") << "not an image";
    dialogs().QueueFile(dib);
    dialogs().QueueFileCancel();
    dialogs().QueueFile((dir_ / "bad.gif").string());
    for (int i = 0; i < 3; ++i) f().Commandpic_Click();
    const vb::PictureRef shown = f().Image1.Picture();
    ASSERT_TRUE(shown && !shown->IsEmpty());
    EXPECT_DOUBLE_EQ(f().Image1.Width(), 2000);
    EXPECT_TRUE(dialogs().Messages().empty());

    // "Add pic" numbers its nodes on from PipeCount, skipping keys in use
    // once activation has reset the count.
    f().Addpic_Click();
    f().Addpic_Click();
    f().Form_Activate();
    f().Addpic_Click();
    f().Addpic_Click();
    for (const char* key : {"ObjSewer2", "ObjSewer3", "ObjSewer1", "ObjSewer4"}) {
        vb::Variant v = f().myCol->Item(vb::Variant(std::string(key)));
        ASSERT_TRUE(v.IsArray()) << key;
        EXPECT_EQ(v.Element(1).As<vb::StdPicture>(), shown) << key;
        ASSERT_TRUE(RecordOfValue(v)) << key;
        EXPECT_EQ(RecordOfValue(v)->dia, 0) << key << " holds a default record";
    }
    EXPECT_EQ(PipeCount, 4);
    EXPECT_EQ(f().Image1.Picture(), shown);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, PopupRemovesALateralAtTheNextPointerMove) {
    // Only "About" stands on the menu bar at start; it opens the about box.
    for (vb::Menu* m : f().Menus()) EXPECT_EQ(m->Visible(), m == &f().mnuabout) << m->Caption();
    f().mnuabout.Choose();
    EXPECT_TRUE(Form2Window().Visible());
    Form2Window().Unload();

    f().Command6_Click();   // Lateral2
    auto pressTab = [&](size_t tab, const std::string& choice) {
        dialogs().QueueMenuChoice(choice);
        const auto& t = f().UserControl11.Tabs()[tab];
        SendMouse(f().UserControl11.Picture10, MouseAction::Down, 2, (t.Left + t.Right) * 7.5, (t.Top + t.Bottom) * 7.5);
    };
    pressTab(1, "Select");
    EXPECT_EQ(f().MM1.Tag(), "Lateral1");
    EXPECT_TRUE(f().MM1.Visible()) << "the opened pop-up stands on the menu bar";
    SendMouse(f().Picture1, MouseAction::Move, 0, 80, 80);
    EXPECT_TRUE(Rec("Lateral1"));
    pressTab(1, "Remove");
    EXPECT_EQ(f().MM1.Tag(), "-Lateral1");
    EXPECT_TRUE(Rec("Lateral1")) << "removed only at the next refresh";
    // "Remove" chosen again from the menu bar before that refresh keeps the
    // one pending removal.
    f().m_remove.Choose();
    EXPECT_EQ(f().MM1.Tag(), "-Lateral1");
    SendMouse(f().Picture1, MouseAction::Move, 0, 81, 80);
    EXPECT_FALSE(Rec("Lateral1"));
    EXPECT_EQ(TabCaptions(f().UserControl11), std::vector<std::string>{"Lateral2"});
    EXPECT_EQ(f().MM1.Tag(), "");
    f().m_remove.Choose();
    EXPECT_EQ(f().MM1.Tag(), "") << "no lateral pressed since the removal";

    // From the menu bar, "Remove" acts on the tab pressed last.
    f().Command6_Click();   // the free name Lateral1 again
    pressTab(2, "");
    f().MM1.Choose();
    f().m_remove.Choose();
    f().Form_Click();
    EXPECT_FALSE(Rec("Lateral1"));
    EXPECT_TRUE(Rec("Lateral2"));
}

TEST_F(Form1Test, ValuePanelLabelButtons) {
    f().Frame11.Visible(true);
    const int32_t face = vb::vbButtonFace;
    // (x, y) over the panel -> colours of "x" and "--"; all bounds strict.
    const std::tuple<float, float, int32_t, int32_t> cases[] = {
        {1400, 200, 9, face}, {1400, 300, face, face}, {1400, 450, face, 9}, {1350, 200, face, face}};
    for (const auto& [x, y, x23, x24] : cases) {
        f().Frame11_MouseMove(0, 0, x, y);
        EXPECT_EQ(f().Label23.BackColor(), x23) << x << "," << y;
        EXPECT_EQ(f().Label24.BackColor(), x24) << x << "," << y;
    }
    SendMouse(f().Frame11, MouseAction::Move, 0, 1370, 250);   // twips, on the profile picture
    EXPECT_EQ(f().Label23.BackColor(), 9);
    // "--" closes the panel and the program goes on.
    SendMouse(f().Label24, MouseAction::Click, 1, 30, 30);
    EXPECT_FALSE(f().Frame11.Visible());
    EXPECT_TRUE(f().IsLoaded());
}

TEST_F(Form1Test, FirstCanvasHandleOpensThePipeDataPanel) {
    f().Command7_Click();   // a pipe of 200 mm under Lateral1
    auto lateral = Rec("Lateral1");
    lateral->dia = 250;
    lateral->finv = 96.5f;
    lateral->l = 42.5f;
    f().Command15_Click();
    SendMouse(f().pic(3), MouseAction::Down, 2, 1, 1);
    // Another handle only moves and shows the value panel.
    f().sk_DblClick(3);
    EXPECT_EQ(f().Text18.Text(), "235");
    EXPECT_NEAR(f().Frame11.Left(), f().sk(3).Left(), 0.05);
    EXPECT_FALSE(f().Frame14.Visible());

    SendMouse(f().sk(0), MouseAction::DoubleClick, 1, 0.1, 0.1);
    ASSERT_TRUE(f().Frame14.Visible());
    auto& g = f().MSHFlexGrid3;
    const char* titles[] = {"Lateral1", "Qdesign", "Diameter", "Slope", "Mincover",
                            "FGR.EL", "FInv.EL", "TGR.EL", "TInv.EL", "Length"};
    const char* values[] = {"", "10", "250", "0.004", "2", "102", "96.5", "0", "0", "42.5"};
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(g.TextMatrix(r, 0), titles[r]) << r;
        EXPECT_EQ(g.TextMatrix(r, 1), values[r]) << r;
    }
    // A typed value goes into the lateral's record at the next click.
    g.Row(2);
    g.Col(1);
    f().MSHFlexGrid3_Click();
    f().TxtEdit1.Text("300");
    vb::test::SendKey(f().TxtEdit1, vb::vbKeyReturn);
    g.Row(9);
    f().MSHFlexGrid3_Click();
    EXPECT_EQ(lateral->dia, 300);
    EXPECT_EQ(Rec("Se 2")->dia, 200);
    // A value confirmed just before the panel is closed is kept as well, in
    // the lateral the panel shows.
    f().TxtEdit1.Text("60");
    vb::test::SendKey(f().TxtEdit1, vb::vbKeyReturn);
    CurrentLateralName = "Lateral9";
    SendMouse(f().Label25, MouseAction::Click, 1, 50, 50);
    EXPECT_EQ(CurrentLateralName, "Lateral9");
    EXPECT_FALSE(f().Frame14.Visible());
    EXPECT_FLOAT_EQ(lateral->l, 60);
    EXPECT_EQ(lateral->dia, 300);
    // Opened and closed without an edit, the panel writes nothing back.
    CurrentLateralName = "Lateral1";
    SendMouse(f().sk(0), MouseAction::DoubleClick, 1, 0.1, 0.1);
    lateral->l = 70;
    SendMouse(f().Label25, MouseAction::Click, 1, 50, 50);
    EXPECT_FLOAT_EQ(lateral->l, 70);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

}  // namespace
