// Combo boxes, labels, images, lines and shapes, menus, and grid keys.
#include <gtest/gtest.h>

#include <cmath>

#include <QAbstractScrollArea>
#include <QDir>
#include <QImage>
#include <QTabBar>
#include <QTemporaryDir>
#include <QWidget>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

using vb::test::MouseAction;

TEST(MoreControls, ComboBoxListIndexTextAndChange) {
    vb::Form f;
    vb::ComboBox Combo1{f};
    vb::ComboBox Combo2{f, 2};
    int clicks = 0, changes = 0;
    Combo1.Click = [&] { ++clicks; };
    Combo1.Change = [&] { ++changes; };
    Combo1.AddItem("150");
    Combo1.AddItem("200");
    EXPECT_EQ(Combo1.ListIndex(), -1) << "an editable combo starts with no choice";
    EXPECT_EQ(Combo1.Text(), "");
    Combo1.ListIndex(1);
    EXPECT_EQ(Combo1.Text(), "200");
    EXPECT_EQ(clicks, 1);
    Combo1.Text("225");
    EXPECT_EQ(changes, 2) << "choosing and typing both change the text";
    EXPECT_EQ(Combo1.ListIndex(), -1) << "a typed text that is no item";

    Combo2.AddItem("Lateral1");
    Combo2.AddItem("Lateral2");
    Combo2.Text("lateral2");
    EXPECT_EQ(Combo2.ListIndex(), 1);
    try {
        Combo2.Text("nothing");
        ADD_FAILURE() << "a list-style combo only takes its items";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 383);
    }
    Combo2.ItemData(0, 5);
    Combo2.RemoveItem(0);
    EXPECT_EQ(Combo2.ListCount(), 1);
    EXPECT_EQ(Combo2.ItemData(0), 0);
}

TEST(MoreControls, LeavingAComboWhoseTextNamesAnItemIsNoClick) {
    vb::Form f;
    vb::ComboBox Combo1{f};
    vb::TextBox Text1{f};
    Combo1.Move(0, 0, 1200, 315);
    Text1.Move(0, 600, 1200, 315);
    int clicks = 0;
    Combo1.Click = [&] { ++clicks; };
    Combo1.AddItem("200");
    Combo1.AddItem("600");
    vb::test::ShowAndActivate(f);
    Combo1.Text("600");
    Combo1.SetFocus();
    vb::test::ProcessEvents();
    Text1.SetFocus();
    vb::test::ProcessEvents();
    EXPECT_EQ(clicks, 0);
    // A choice in the list still clicks.
    Combo1.SetFocus();
    vb::test::ProcessEvents();
    vb::test::SendKey(Combo1, vb::vbKeyUp);
    EXPECT_EQ(clicks, 1);
    f.Unload();
}

TEST(MoreControls, LabelRaisesChangeAndAutoSizes) {
    vb::Form f;
    vb::Label Label8{f, "10"};
    int changes = 0;
    Label8.Change = [&] { ++changes; };
    Label8.Caption("10");
    EXPECT_EQ(changes, 0);
    Label8.Caption("20");
    EXPECT_EQ(changes, 1);
    Label8.AutoSize(true);
    double narrow = Label8.Width();
    Label8.Caption("a much longer caption than before");
    EXPECT_GT(Label8.Width(), narrow);
}

TEST(MoreControls, PicturesLoadIntoImagesAndPictureBoxes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 0));
    std::string bmp = QDir(dir.path()).filePath("red.bmp").toStdString();
    vb::SavePicture(std::make_shared<vb::StdPicture>(img), bmp);
    std::string dib = QDir(dir.path()).filePath("red.dib").toStdString();
    ASSERT_TRUE(QFile::copy(QString::fromStdString(bmp), QString::fromStdString(dib)));
    std::string junk = QDir(dir.path()).filePath("junk.jpg").toStdString();
    {
        QFile j(QString::fromStdString(junk));
        ASSERT_TRUE(j.open(QIODevice::WriteOnly));
        j.write("not an image");
    }

    vb::PictureRef pic = vb::LoadPicture(dib);
    EXPECT_EQ(pic->WidthPixels(), 20);
    EXPECT_EQ(pic->TypeName(), "Picture");
    vb::Variant v(pic);
    EXPECT_EQ(vb::TypeName(v), "Picture") << "a picture can be kept in a Variant";
    try {
        vb::LoadPicture(junk);
        ADD_FAILURE() << "no picture in the file";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 481);
    }

    vb::Form f;
    vb::Image Image1{f};
    Image1.Picture(pic);
    EXPECT_DOUBLE_EQ(Image1.Width(), 20 * 15) << "without Stretch the box takes the picture's size";
    Image1.Stretch(true);
    Image1.Move(0, 0, 3000, 3000);
    Image1.Picture(pic);
    EXPECT_DOUBLE_EQ(Image1.Width(), 3000);

    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 1500, 1500);
    Picture1.ScaleMode(vb::vbPixels);
    Picture1.Picture(pic);
    EXPECT_EQ(Picture1.Point(5, 5), vb::vbRed);
    Picture1.Line(0, 0, 19, 0, vb::vbBlue);
    Picture1.Cls();
    EXPECT_EQ(Picture1.Point(5, 0), vb::vbRed) << "Cls shows the background picture again";
}

TEST(MoreControls, LinesAndShapesFollowTheContainerScale) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.Scale(0, 0, 160, 150);
    vb::ControlArray<vb::Line> Line1{Picture1};
    Line1(0).X1(0);
    Line1(0).Y1(0);
    Line1(0).X2(80);
    Line1(0).Y2(75);
    Line1.Load(1);
    EXPECT_DOUBLE_EQ(Line1(1).X2(), 80) << "a new line copies the first one's end points";
    EXPECT_FALSE(Line1(1).Visible());
    QRect g = Line1(0).widget()->geometry();
    EXPECT_LE(g.left(), 2);
    EXPECT_GE(g.right(), 2 + 100);
    EXPECT_GE(g.bottom(), 2 + 75);

    vb::Shape Shape1{Picture1};
    Shape1.Move(10, 10, 20, 30);
    EXPECT_EQ(Shape1.widget()->geometry(), QRect(2 + 13, 2 + 10, 25, 30));
    EXPECT_TRUE(Shape1.widget()->testAttribute(Qt::WA_TransparentForMouseEvents)) << "shapes take no mouse input";

    // A control moved to a user coordinate no window can show is held far
    // outside, on the side it was sent to; a position that is no number puts it at 0.
    Shape1.Move(3.4e38, -3.4e38, 20, 30);
    EXPECT_EQ(Shape1.widget()->geometry(), QRect(10000000, -10000000, 25, 30));
    Shape1.Move(std::nan(""), 10, 20, 30);
    EXPECT_EQ(Shape1.widget()->geometry().left(), 0);
    Shape1.Move(10, 10, 20, 30);
    EXPECT_EQ(Shape1.widget()->geometry(), QRect(2 + 13, 2 + 10, 25, 30));
}

TEST(MoreControls, MouseEventsStayWithTheControlUnderThePointer) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 3000, 3000);
    Picture1.Scale(0, 0, 160, 150);
    vb::Frame panel{Picture1, ""};
    panel.Move(80, 80, 1575, 585);
    int outerDowns = 0;
    float panelX = 0;
    Picture1.MouseDown = [&](int, int, float, float) { ++outerDowns; };
    panel.MouseMove = [&](int, int, float x, float) { panelX = x; };
    vb::test::SendMouse(panel, MouseAction::Click, 1, 100, 100);
    EXPECT_EQ(outerDowns, 0) << "the container does not see its children's presses";
    // A frame reports twips from its corner, whatever its container's scale.
    vb::test::SendMouse(panel, MouseAction::Move, 0, 1200, 300);
    EXPECT_NEAR(panelX, 1200, 15);
}

TEST(MoreControls, MenuBarShowsVisibleTopMenus) {
    vb::Form f;
    vb::Menu mnuFile{f, "&File"};
    vb::Menu mnuOpen{mnuFile, "&Open"};
    vb::Menu mnuPopup{f, "Popup"};
    mnuPopup.Visible(false);
    int opens = 0;
    mnuOpen.Click = [&] { ++opens; };
    f.RebuildMenuBar();
    EXPECT_LT(f.ClientWidget()->geometry().top(), 40);
    EXPECT_GT(f.ClientWidget()->geometry().top(), 0) << "the menu bar sits above the client area";
    EXPECT_EQ(mnuFile.FindItem("Open"), &mnuOpen);
    mnuOpen.Choose();
    EXPECT_EQ(opens, 1);
    mnuFile.Visible(false);
    f.RebuildMenuBar();
    EXPECT_EQ(f.ClientWidget()->geometry().top(), 0);
}

TEST(MoreControls, GridKeysExtendTheSelectionAndScrollIntoView) {
    vb::Form f;
    vb::FlexGrid g{f};
    g.Move(0, 0, 3000, 1500);
    g.Rows(40);
    g.Cols(4);
    vb::test::ShowAndActivate(f);
    g.SetFocus();
    vb::test::SendKey(g, vb::vbKeyDown, vb::vbShiftMask);
    vb::test::SendKey(g, vb::vbKeyRight, vb::vbShiftMask);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.RowSel(), 2);
    EXPECT_EQ(g.ColSel(), 2);
    int scrolls = 0;
    g.Scroll = [&] { ++scrolls; };
    for (int i = 0; i < 30; ++i) vb::test::SendKey(g, vb::vbKeyDown);
    EXPECT_EQ(g.Row(), 31);
    EXPECT_TRUE(g.RowIsVisible(31)) << "the current row is scrolled into view";
    EXPECT_GT(g.TopRow(), 1);
    EXPECT_GT(scrolls, 0);

    // A click on a column heading selects the whole column.
    g.TopRow(1);
    g.Row(1);
    g.Col(1);
    double x = g.CellLeft() + g.CellWidth() + g.ColWidth(2) / 2;
    vb::test::SendMouse(g, MouseAction::Click, vb::vbLeftButton, x, 30);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.RowSel(), 39);
    EXPECT_EQ(g.MouseRow(), 0);
    f.Unload();
}

struct KeyForm : vb::Form {
    std::vector<int> keys;
    void Form_KeyDown(int& KeyCode, int&) override { keys.push_back(KeyCode); }
};

TEST(MoreControls, FormGetsKeysWhenNoControlHasTheFocus) {
    KeyForm f;
    vb::test::ShowAndActivate(f);
    f.SetFocus();
    vb::test::SendKeyToFocus(vb::vbKeyLeft);
    EXPECT_EQ(f.keys, std::vector<int>{vb::vbKeyLeft});
    f.Unload();
}

}  // namespace

namespace {

TEST(MoreControls, TabStripClicksOnEveryPressAndNumbersTabsFromOne) {
    vb::Form f;
    vb::TabStrip TabStrip1{f};
    TabStrip1.Move(0, 0, 6000, 400);
    TabStrip1.AddTab("Title", "mnutitle");
    TabStrip1.AddTab("Criteria", "mnucriteria");
    TabStrip1.AddTab("Storm", "mnustorm");
    std::vector<int> clicked;
    TabStrip1.Click = [&] { clicked.push_back(TabStrip1.SelectedIndex()); };
    vb::test::ShowAndActivate(f);

    auto* bar = qobject_cast<QTabBar*>(TabStrip1.widget());
    ASSERT_TRUE(bar);
    const QPoint third = bar->tabRect(2).center();
    // Mouse positions are twips of the control.
    for (int press = 0; press < 2; ++press) {
        vb::test::SendMouse(TabStrip1, MouseAction::Click, 1, third.x() * 15.0, third.y() * 15.0);
    }
    EXPECT_EQ(clicked, (std::vector<int>{3, 3}));   // the selected tab pressed again clicks too
    TabStrip1.SelectedIndex(1);
    EXPECT_EQ(clicked.back(), 1);
    EXPECT_EQ(TabStrip1.TabKey(3), "mnustorm");
    EXPECT_EQ(TabStrip1.TabCaption(2), "Criteria");
    try {
        TabStrip1.SelectedIndex(4);
        ADD_FAILURE() << "no error for a tab that does not exist";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 35600);
    }

    // A box taken out of the tab order and put back is reached by Tab again.
    vb::TextBox box{f};
    box.TabStop(false);
    EXPECT_FALSE(box.widget()->focusPolicy() & Qt::TabFocus);
    box.TabStop(true);
    EXPECT_TRUE(box.widget()->focusPolicy() & Qt::TabFocus);
}

}  // namespace
