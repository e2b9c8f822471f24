// The free-object canvas, the image preview and its node, the menus with the
// lateral pop-up, the label-buttons of the value panel and the pipe-data panel.
#include <fstream>

#include "tests/mainwindow/form1_fixture.h"
#include "mainwindow/form2.h"

namespace {

using vb::test::MouseAction;
using vb::test::SendMouse;

class CanvasTest : public Form1Test {
protected:
    struct Box {
        double l, t, w, h;
    };
    static Box BoxOf(const vb::Control& c) { return {c.Left(), c.Top(), c.Width(), c.Height()}; }
    static void ExpectBox(const vb::Control& c, Box want, const std::string& what) {
        EXPECT_NEAR(c.Left(), want.l, 0.05) << what;
        EXPECT_NEAR(c.Top(), want.t, 0.05) << what;
        EXPECT_NEAR(c.Width(), want.w, 0.05) << what;
        EXPECT_NEAR(c.Height(), want.h, 0.05) << what;
    }
    bool AnyHandleVisible() {
        for (int k = 0; k < 8; ++k) {
            if (f().sk(k).Visible()) return true;
        }
        return false;
    }
    // The texts printed on an element since its last clear.
    std::vector<const vb::DrawEntry*> Texts(vb::PictureBox& box) {
        std::vector<const vb::DrawEntry*> out;
        for (const vb::DrawEntry& e : box.DrawLog()) {
            if (e.kind == vb::DrawEntry::Kind::Text) out.push_back(&e);
        }
        return out;
    }
};

TEST_F(CanvasTest, AddSelectDragAndResizeAnElement) {
    const Box templ = BoxOf(f().pic(0));
    f().Text1.Text("Text1");
    SendMouse(f().Command15, MouseAction::Click, 1, 100, 100);
    ASSERT_TRUE(f().pic.Exists(3));
    vb::PictureBox& e = f().pic(3);
    EXPECT_TRUE(e.Visible());
    ExpectBox(e, {10, 10, 20, 20}, "a new element");
    EXPECT_EQ(e.BackColor(), 0xFF0000);
    EXPECT_EQ(e.Tag(), "Text1");
    // The caption is printed once, centred on the element.
    auto texts = Texts(e);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, "Text1");
    EXPECT_NEAR(texts[0]->x1 + e.TextWidth("Text1") / 2, 10, 0.01);
    EXPECT_NEAR(texts[0]->y1 + e.TextHeight("Text1") / 2, 10, 0.01);
    // Its connector line is laid from the template's geometry.
    ASSERT_TRUE(f().Line1.Exists(3));
    EXPECT_TRUE(f().Line1(3).Visible());
    EXPECT_NEAR(f().Line1(3).X1(), templ.w + templ.t + 30, 0.05);
    EXPECT_NEAR(f().Line1(3).Y1(), templ.t, 0.05);
    EXPECT_NEAR(f().Line1(3).Y2(), templ.t, 0.05);
    ASSERT_EQ(f().CanvasSelection.size(), 1u);
    EXPECT_EQ(f().CanvasSelection[0], &e);
    EXPECT_EQ(f().CanvasLines[0], &f().Line1(3));
    // An empty caption leaves the next element blank.
    f().Text1.Text("");
    f().Command15_Click();
    ASSERT_TRUE(f().pic.Exists(4));
    for (const vb::DrawEntry* t : Texts(f().pic(4))) EXPECT_EQ(t->text, "");

    // The right button selects an element: the handles stand just outside
    // its corners and edge middles.
    EXPECT_FALSE(AnyHandleVisible());
    SendMouse(e, MouseAction::Down, 2, 5, 5);
    ASSERT_EQ(f().CanvasSelection.size(), 1u);
    EXPECT_EQ(f().CanvasSelection[0], &e);
    const double w = f().sk(0).Width(), h = f().sk(0).Height();
    ExpectBox(f().sk(0), {10 - w, 10 - h, w, h}, "top-left handle");
    ExpectBox(f().sk(4), {30, 20 - h / 2, w, h}, "middle-right handle");
    ExpectBox(f().sk(6), {20 - w / 2, 30, w, h}, "bottom-middle handle");
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(f().sk(k).Visible()) << k;
    // With Ctrl, a second element joins the selection.
    SendMouse(f().pic(4), MouseAction::Down, 2, 5, 5, vb::vbCtrlMask);
    ASSERT_EQ(f().CanvasSelection.size(), 2u);
    EXPECT_EQ(f().CanvasSelection[1], &f().pic(4));
    SendMouse(e, MouseAction::Down, 2, 5, 5);
    ASSERT_EQ(f().CanvasSelection.size(), 1u);

    // Pressing a handle outlines the selected element and hides it; dragging
    // the handle moves it with the pointer.
    vb::PictureBox& handle = f().sk(4);
    const double before = handle.Left();
    SendMouse(handle, MouseAction::Down, 1, w / 2, h / 2);
    EXPECT_FALSE(e.Visible());
    EXPECT_TRUE(f().Shape(0).Visible());
    ExpectBox(f().Shape(0), {10, 10, 20, 20}, "outline on the handle press");
    EXPECT_DOUBLE_EQ(vb::CDbl(f().LastPointerX), before);
    SendMouse(handle, MouseAction::Move, 1, w / 2 + 3, h / 2);
    SendMouse(handle, MouseAction::Up, 1, w / 2 + 3, h / 2);
    EXPECT_EQ(f().DragHandleIndex, 4);
    EXPECT_NEAR(handle.Left(), before + w / 2 + 3, 0.1);

    // A move over an element with the left button resizes the outline by the
    // rule of the handle dragged last: 40 units right widens it by 2.  The
    // element keeps its size and the handles are hidden.
    f().pic(4).Visible(true);
    f().sk(0).Visible(true);
    const float x0 = static_cast<float>(vb::CDbl(f().LastPointerX));
    const float y0 = static_cast<float>(vb::CDbl(f().LastPointerY));
    f().pic_MouseMove(4, 1, 0, x0 + 40, y0 + 20);
    ExpectBox(f().Shape(0), {10, 10, 22, 20}, "handle 4");
    ExpectBox(e, {10, 10, 20, 20}, "the element itself");
    EXPECT_FALSE(AnyHandleVisible());
    // The other handles: dx = 2, dy = 1.
    const std::pair<int16_t, Box> rules[] = {{0, {12, 11, 18, 19}}, {1, {10, 11, 20, 19}}, {2, {10, 11, 22, 19}},
                                             {3, {12, 10, 18, 20}}, {5, {12, 10, 18, 21}}, {6, {10, 10, 20, 21}},
                                             {7, {10, 10, 22, 21}}};
    for (const auto& [index, want] : rules) {
        f().DragHandleIndex = index;
        f().pic_MouseMove(4, 1, 0, x0 + 40, y0 + 20);
        ExpectBox(f().Shape(0), want, "handle " + std::to_string(index));
    }
    // The pointer at the last recorded position changes nothing; a move with
    // Shift or without the left button is ignored.
    f().pic_MouseMove(4, 1, 0, x0, y0);
    ExpectBox(f().Shape(0), {10, 10, 22, 21}, "no move");
    f().pic_MouseMove(4, 1, vb::vbShiftMask, x0 + 400, y0);
    f().pic_MouseMove(4, 0, 0, x0 + 400, y0);
    ExpectBox(f().Shape(0), {10, 10, 22, 21}, "ignored moves");
    // Handle -1 moves the whole selection with its lines.
    f().DragHandleIndex = -1;
    f().pic_MouseMove(4, 1, 0, x0 + 40, y0 + 20);
    EXPECT_NEAR(f().Shape(0).Left(), 12, 0.05);
    EXPECT_NEAR(f().Shape(0).Top(), 11, 0.05);

    // Ctrl+C empties the selection's first entry: a drag then moves nothing
    // and reports nothing.
    f().DragHandleIndex = 4;
    int ctrlC = vb::vbKeyC, ctrl = vb::vbCtrlMask;
    f().pic_KeyDown(4, ctrlC, ctrl);
    EXPECT_EQ(vb::CDbl(f().CopySourceIndex), 4);
    EXPECT_EQ(f().CanvasSelection[0], nullptr);
    const Box outline = BoxOf(f().Shape(0));
    f().pic_MouseMove(4, 1, 0, x0 + 80, y0);
    ExpectBox(f().Shape(0), outline, "after Ctrl+C");
    EXPECT_FALSE(f().MovingBusy);
    SendMouse(f().sk(2), MouseAction::Down, 1, 0, 0);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);

    // A click hides an element; Ctrl+Space on the profile with the counter at
    // its index shows it again.
    SendMouse(f().pic(4), MouseAction::Click, 1, 5, 5);
    EXPECT_FALSE(f().pic(4).Visible());
    SheetCount = 4;
    int space = vb::vbKeySpace;
    f().Picture1_KeyDown(space, ctrl);
    EXPECT_TRUE(f().pic(4).Visible());
}

TEST_F(CanvasTest, NewElementsAndPictureNodesNeverReuseAnIndexOrKey) {
    // A connector line already at index 3: the next element goes above it.
    f().Line1.Load(3);
    f().Command15_Click();
    EXPECT_FALSE(f().pic.Exists(3));
    EXPECT_TRUE(f().pic.Exists(4));
    EXPECT_TRUE(f().Line1(4).Visible());

    auto keyHolds = [&](const std::string& key) {
        vb::Variant v = f().myCol->Item(vb::Variant(key));
        EXPECT_TRUE(v.IsArray()) << key;
        if (!v.IsArray()) return;
        EXPECT_TRUE(v.Element(1).IsObject()) << key << " holds the preview's picture";
        auto s = RecordOfValue(v);
        ASSERT_TRUE(s) << key;
        EXPECT_EQ(s->dia, 0) << key << " holds a default record";
    };
    // The preview shows a picture for the nodes to take.
    const std::string file = (dir_ / "p.bmp").string();
    vb::SavePicture(f().Picture1.Image(), file);
    dialogs().QueueFile(file);
    f().Commandpic_Click();
    ASSERT_TRUE(f().Image1.Picture());

    ASSERT_EQ(PipeCount, 1);
    f().Addpic_Click();
    f().Addpic_Click();
    keyHolds("ObjSewer2");
    keyHolds("ObjSewer3");
    // The running number restarts on activation; keys in use are skipped.
    f().Form_Activate();
    f().Addpic_Click();
    f().Addpic_Click();
    keyHolds("ObjSewer1");
    keyHolds("ObjSewer4");
    EXPECT_EQ(PipeCount, 4);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    EXPECT_TRUE(f().Image1.Picture()) << "the preview keeps its picture";
}

TEST_F(CanvasTest, LoadPicShowsTheImageAndKeepsItOnCancelOrBadFile) {
    const std::string bmp = (dir_ / "a.bmp").string();
    const std::string dib = (dir_ / "a.dib").string();
    f().Picture1.Line(0, 0, 50, 50);
    vb::SavePicture(f().Picture1.Image(), bmp);
    std::filesystem::copy_file(bmp, dib);
    std::ofstream(dir_ / "bad.gif") << "not an image";

    dialogs().QueueFile(dib);
    SendMouse(f().Commandpic, MouseAction::Click, 1, 100, 100);
    ASSERT_EQ(dialogs().Files().size(), 1u);
    EXPECT_NE(dialogs().Files()[0].request.filter.find("Windows Meta File (*.wmf)|*.wmf"), std::string::npos);
    vb::PictureRef shown = f().Image1.Picture();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->IsEmpty());
    EXPECT_TRUE(f().Image1.Visible());
    EXPECT_TRUE(f().Image1.Stretch());
    EXPECT_DOUBLE_EQ(f().Image1.Width(), 2000);
    EXPECT_DOUBLE_EQ(f().Image1.Height(), 1500);

    dialogs().QueueFileCancel();
    f().Commandpic_Click();
    dialogs().QueueFile((dir_ / "bad.gif").string());
    f().Commandpic_Click();
    EXPECT_EQ(f().Image1.Picture(), shown);
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(CanvasTest, PopupRemovesALateralAtTheNextPointerMove) {
    // Only "About" stands on the menu bar at start; it opens the about box.
    for (vb::Menu* m : f().Menus()) EXPECT_EQ(m->Visible(), m == &f().mnuabout) << m->Caption();
    f().mnuabout.Choose();
    EXPECT_TRUE(Form2Window().Visible());
    Form2Window().Unload();

    f().Command6_Click();   // Lateral2
    auto& strip = f().UserControl11;
    auto pressTab = [&](int tab, const std::string& choice) {
        dialogs().QueueMenuChoice(choice);
        const auto& t = strip.Tabs()[static_cast<size_t>(tab)];
        SendMouse(strip.Picture10, MouseAction::Down, 2, (t.Left + t.Right) / 2.0 * 15, (t.Top + t.Bottom) / 2.0 * 15);
    };
    ASSERT_EQ(TabCaptions(strip), (std::vector<std::string>{"Lateral1", "Lateral2"}));
    // "Select" changes nothing, but the opened pop-up now stands on the bar.
    pressTab(1, "Select");
    EXPECT_EQ(f().MM1.Tag(), "Lateral1");
    EXPECT_TRUE(f().MM1.Visible());
    SendMouse(f().Picture1, MouseAction::Move, 0, 80, 80);
    EXPECT_TRUE(Rec("Lateral1"));

    pressTab(1, "Remove");
    EXPECT_EQ(f().MM1.Tag(), "-Lateral1");
    EXPECT_TRUE(Rec("Lateral1")) << "nothing is removed before the next refresh";
    SendMouse(f().Picture1, MouseAction::Move, 0, 81, 80);
    EXPECT_FALSE(Rec("Lateral1"));
    EXPECT_EQ(TabCaptions(strip), std::vector<std::string>{"Lateral2"});
    EXPECT_EQ(CurrentLateralName, "Lateral2");
    EXPECT_EQ(f().MM1.Tag(), "");

    // From the menu bar, "Remove" acts on the lateral whose tab was pressed last.
    f().Command6_Click();   // the free name Lateral1 again
    pressTab(2, "");
    EXPECT_EQ(f().MM1.Tag(), "Lateral1");
    f().MM1.Choose();
    f().m_remove.Choose();
    f().Form_Click();
    EXPECT_FALSE(Rec("Lateral1"));
    EXPECT_TRUE(Rec("Lateral2"));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(CanvasTest, LabelButtonsOfTheValuePanel) {
    f().Frame11.Visible(true);
    const int32_t face = vb::vbButtonFace;
    struct Case {
        float x, y;
        int32_t label23, label24;
    };
    // Bounds are strict.
    for (const Case& c : {Case{1400, 200, 9, face}, Case{1400, 300, face, face}, Case{1400, 450, face, 9},
                          Case{1350, 200, face, face}, Case{1549, 499, face, 9}, Case{1400, 100, face, face}}) {
        f().Frame11_MouseMove(0, 0, c.x, c.y);
        EXPECT_EQ(f().Label23.BackColor(), c.label23) << c.x << "," << c.y;
        EXPECT_EQ(f().Label24.BackColor(), c.label24) << c.x << "," << c.y;
    }
    // The panel on the profile picture reports the pointer in twips.
    SendMouse(f().Frame11, MouseAction::Move, 0, 1370, 250);
    EXPECT_EQ(f().Label23.BackColor(), 9);
    f().Label23_MouseMove(0, 0, 50, 50);
    EXPECT_EQ(f().Label23.BackColor(), 9);
    f().Label23_MouseMove(0, 0, 120, 50);
    EXPECT_EQ(f().Label23.BackColor(), face);
    f().Label24_MouseMove(0, 0, 99, 1);
    EXPECT_EQ(f().Label24.BackColor(), 9);

    // "--" closes the panel; the program goes on.
    SendMouse(f().Label24, MouseAction::Click, 1, 30, 30);
    EXPECT_FALSE(f().Frame11.Visible());
    EXPECT_EQ(f().Label24.BackColor(), face);
    EXPECT_TRUE(f().IsLoaded());
    f().Frame11.Visible(true);
    f().Label23.BackColor(9);
    SendMouse(f().Label23, MouseAction::Click, 1, 30, 30);
    EXPECT_FALSE(f().Frame11.Visible());
    EXPECT_EQ(f().Label23.BackColor(), face);
}

TEST_F(CanvasTest, FirstHandleOpensThePipeDataPanelWhichWritesBack) {
    // The lateral's own record, not its pipe's, fills the panel.
    f().Command7_Click();
    auto lateral = Rec("Lateral1");
    ASSERT_TRUE(lateral);
    lateral->dia = 250;
    lateral->l = 42.5f;
    lateral->finv = 96.5f;
    lateral->telv = 101.75f;
    lateral->tinv = 97.25f;
    f().Command15_Click();
    SendMouse(f().pic(3), MouseAction::Down, 2, 1, 1);

    // Another handle only moves and shows the value panel.
    f().sk_DblClick(3);
    EXPECT_TRUE(f().Frame11.Visible());
    EXPECT_EQ(f().Text18.Text(), "235");
    EXPECT_NEAR(f().Frame11.Left(), f().sk(3).Left(), 0.05);
    EXPECT_NEAR(f().Frame11.Top(), f().sk(3).Top(), 0.05);
    EXPECT_FALSE(f().Frame14.Visible());

    SendMouse(f().sk(0), MouseAction::DoubleClick, 1, 0.1, 0.1);
    ASSERT_TRUE(f().Frame14.Visible());
    EXPECT_FALSE(f().TxtEdit1.Visible());
    EXPECT_EQ(f().CurrentPipeKey, "Lateral1");
    auto& g = f().MSHFlexGrid3;
    ASSERT_EQ(g.Rows(), 10);
    EXPECT_EQ(g.ColWidth(0), 1000);
    EXPECT_EQ(g.ColWidth(1), 770);
    const char* titles[] = {"Lateral1", "Qdesign", "Diameter", "Slope", "Mincover",
                            "FGR.EL",   "FInv.EL", "TGR.EL",   "TInv.EL", "Length"};
    const char* values[] = {"", "10", "250", "0.004", "2", "102", "96.5", "101.75", "97.25", "42.5"};
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(g.TextMatrix(r, 0), titles[r]) << r;
        EXPECT_EQ(g.TextMatrix(r, 1), values[r]) << r;
    }

    // A value typed into the panel goes into the lateral's record at the
    // next click on the grid.
    g.Row(2);
    g.Col(1);
    f().MSHFlexGrid3_Click();
    ASSERT_TRUE(f().TxtEdit1.Visible());
    f().TxtEdit1.Text("300");
    vb::test::SendKey(f().TxtEdit1, vb::vbKeyReturn);
    EXPECT_EQ(g.TextMatrix(2, 1), "300");
    g.Row(9);
    f().MSHFlexGrid3_Click();
    EXPECT_EQ(lateral->dia, 300);
    EXPECT_FLOAT_EQ(lateral->l, 42.5f);
    EXPECT_EQ(Rec("Se 2")->dia, 200) << "the pipe keeps its own diameter";

    SendMouse(f().Label25, MouseAction::Click, 1, 50, 50);
    EXPECT_FALSE(f().Frame14.Visible());

    // A lateral without a node: titles and empty values.
    CurrentLateralName = "Gone";
    f().sk_DblClick(0);
    EXPECT_EQ(g.TextMatrix(0, 0), "Gone");
    EXPECT_EQ(g.TextMatrix(2, 1), "");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

}  // namespace
