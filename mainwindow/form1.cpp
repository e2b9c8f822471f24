// The main window: construction of its controls (captions, look, positions
// before the first layout) and the wiring of their events.
#include <algorithm>

#include "mainwindow/form1.h"

namespace {
Form1* g_mainForm = nullptr;

constexpr double kWindowWidth = 18000;    // twips
constexpr double kWindowHeight = 12600;
constexpr double kToolTop = 70;
constexpr double kToolHeight = 340;
}  // namespace

Form1* MainForm() { return g_mainForm; }

void Form1::LayoutToolStrip() {
    // Each control of the strip with its width and the gap after it; the
    // labels sit lower than the buttons.
    struct Slot {
        vb::Control* control;
        double width, gap;
        bool label;
    };
    const Slot slots[] = {
        {&Command12, 450, 30, false},  {&Command11, 450, 30, false},   {&Command9, 300, 30, false},
        {&Command10, 300, 30, false},  {&Command13, 400, 30, false},   {&Command14, 400, 30, false},
        {&Command8, 300, 30, false},   {&Command18, 300, 30, false},   {&Command19, 300, 30, false},
        {&StepCaption, 560, 0, true},  {&Label8, 300, 30, true},       {&Command22, 500, 30, false},
        {&Commanddel, 500, 30, false}, {&Command26, 550, 30, false},   {&Command25, 1000, 30, false},
        {&Calcform, 950, 30, false},   {&Commandhazen, 1300, 30, false}, {&Command17, 450, 30, false},
        {&Command23, 500, 30, false},  {&cmdSaveCollection(0), 1350, 30, false},
        {&cmdSaveCollection(1), 800, 30, false}, {&Cmdtest, 900, 30, false}, {&Testarray, 450, 30, false},
        {&Command15, 950, 30, false},  {&Text1, 800, 30, false},       {&Addpic, 700, 30, false},
        {&Commandpic, 750, 30, false},
    };
    // A window narrower than the strip squeezes every control alike (down to
    // two thirds of its width), so that the last buttons stay on screen.
    double needed = 60;
    for (const Slot& s : slots) needed += s.width + s.gap;
    const double room = Frame1.Width() - 60;
    const double squeeze = room > 0 ? std::clamp(room / needed, 2.0 / 3.0, 1.0) : 1.0;
    double x = 60;
    for (const Slot& s : slots) {
        s.control->Move(x, s.label ? kToolTop + 60 : kToolTop, s.width * squeeze, s.label ? 240 : kToolHeight);
        x += (s.width + s.gap) * squeeze;
    }
    // The zoomed scale width (hidden) follows the last button.
    Label5.Move(x, kToolTop + 60, 600, 240);
}

Form1::Form1() : vb::Form("Form1") {
    g_mainForm = this;
    BuildControls();
    WireEvents();
    WireProfileEditing();
}

Form1::~Form1() {
    if (g_mainForm == this) g_mainForm = nullptr;
}

void Form1::BuildControls() {
    Caption("Sewer Design");
    Move(300, 300, kWindowWidth, kWindowHeight);

    // --- Menus: only "About" stands on the menu bar at start.
    M_M_File.Visible(false);
    MM1.Visible(false);
    M_M_Data.Visible(false);
    Process.Visible(false);
    View.Visible(false);
    M_V_Horizontal.Checked(true);

    // --- Tool strip along the top.
    Frame1.Move(50, 0, kWindowWidth - 500, 500);
    Command8.ToolTipText("Reset the view");
    Command23.ToolTipText("Friction factor chart");
    cmdSaveCollection(0).Caption("Save Collection");
    cmdSaveCollection(1).Caption("Re-Load ");
    Text1.Text("Text1");
    LayoutToolStrip();
    Label5.Visible(false);

    // --- Profile frame and its pictures.
    Frame10.Move(50, 520, kWindowWidth - 400, kWindowHeight - 2000);
    Picture2.Move(0, 600, kWindowWidth - 400, 3000);
    Picture2.Visible(false);
    Picture2.BackColor(vb::vbWhite);
    Picture1.Move(0, 600, kWindowWidth - 3400, kWindowHeight - 2000);
    Picture1.BackColor(vb::vbBlack);
    Picture1.ForeColor(vb::vbWhite);
    Picture1.TabStop(true);
    Image1.Move(30, 650, 2000, 1500);
    Image1.Visible(false);

    // --- Pipe panel: grid, read-out, slope bars, lists.
    PipePanel.BorderStyle(0);
    PipePanel.Move(kWindowWidth - 3340, 600, 2900, kWindowHeight - 2650);
    MSHFlexGrid2.Font(vb::Font{"Arial", 9.75});
    MSHFlexGrid2.Rows(10);
    MSHFlexGrid2.Cols(2);
    MSHFlexGrid2.ColWidth(0, 900);
    MSHFlexGrid2.ColWidth(1, 1000);
    // The grid is as wide as its two columns and as tall as its ten rows
    // (plus its border), so that it needs no scroll bar and shows no empty band.
    double gridRows = 0;
    for (int r = 0; r < MSHFlexGrid2.Rows(); ++r) gridRows += MSHFlexGrid2.RowHeight(r);
    MSHFlexGrid2.Move(30, 230, MSHFlexGrid2.ColWidth(0) + MSHFlexGrid2.ColWidth(1) + 90, gridRows + 390);
    txtEdit.Font(vb::Font{"Arial", 9.75});
    txtEdit.BorderStyle(0);
    txtEdit.Visible(false);
    double y = MSHFlexGrid2.Top() + MSHFlexGrid2.Height() + 60;
    for (vb::Label* readout : {&Label32, &Label33, &Label34, &Label35}) {
        readout->Move(30, y, 1950, 240);
        y += 240;
    }
    Frame12.Move(2050, 230, 380, 1500);
    VScroll3.Move(60, 200, 255, 1200);
    Frame13.Move(2450, 230, 440, 1500);
    VScroll4.Move(20, 200, 200, 1200);
    VScroll5.Move(240, 200, 200, 1200);
    for (vb::ScrollBar* bar : {static_cast<vb::ScrollBar*>(&VScroll3), static_cast<vb::ScrollBar*>(&VScroll4),
                               static_cast<vb::ScrollBar*>(&VScroll5)}) {
        bar->Min(0);
        bar->Max(100);
        bar->Value(50);
    }
    // The lists and their buttons under the read-out.
    LayoutPipePanel();
    Command20.ToolTipText("Hide the selected row");
    Command21.ToolTipText("Show the selected hidden row");

    // --- On the profile picture (sizes in twips while it still has its twips
    // scale; they keep their twips when the user scale is set).
    pic(0).Move(300, 300, 2200, 420);
    pic(0).Visible(false);
    Combo1.Move(0, 0, 1200, 315);
    Combo1.Visible(false);
    Text19.Move(0, 0, 1200, 315);
    Command24.Move(1220, 0, 500, 315);
    pic(2).Move(2000, 300, 257 * 15, 223 * 15);
    pic(2).Visible(false);
    for (int k = 0; k <= 7; ++k) {
        sk(k).Move(0, 0, 105, 105);
        sk(k).BackColor(vb::vbWindowBackground);
        sk(k).BorderStyle(0);
        sk(k).Visible(false);
    }
    sk(0).MousePointer(vb::vbSizeAll);
    sk(1).MousePointer(vb::vbSizeNS);
    sk(2).MousePointer(vb::vbSizeNESW);
    sk(3).MousePointer(vb::vbSizeWE);
    sk(4).MousePointer(vb::vbSizeWE);
    sk(5).MousePointer(vb::vbSizeNESW);
    sk(6).MousePointer(vb::vbUpArrow);
    sk(7).MousePointer(vb::vbSizeNWSE);
    Shape(0).Visible(false);
    Shape(0).BorderColor(vb::vbWhite);
    frame(0).Visible(false);
    frame(0).BorderColor(vb::vbWhite);
    Line1(0).Visible(false);
    Line1(0).BorderColor(vb::vbWhite);
    Frame11.Move(600, 600, 1575, 585);
    Frame11.Visible(false);
    Text18.Move(60, 200, 800, 300);
    VScrol1.Move(900, 120, 200, 420);
    VScrol2.Move(1120, 120, 200, 420);
    Label24.Move(1400, 400, 135, 160);
    Label23.Move(1400, 70, 135, 160);
    Label23.Font(vb::Font{"Arial", 8.25});
    Label24.BackColor(vb::vbButtonFace);
    Label23.BackColor(vb::vbButtonFace);
    UserControl31.Move(600, 1300, 1140, 560);
    UserControl31.Visible(false);

    // --- Tab strips with their buttons (placed again by every resize).
    Command7.Move(60, 570, 1000, 375);
    UserControl12.Move(1070, 570, kWindowWidth - 4900, 375);
    Command6.Move(50, kWindowHeight - 1400, 1300, 375);
    UserControl11.Move(1360, kWindowHeight - 1400, kWindowWidth - 4500, 375);
    txt_script.Move(kWindowWidth - 3080, kWindowHeight - 1400, 1700, 620);
    txt_script.ScrollBars(2);
    txt_script.Text("'//Code:\r\na=5\r\nMsgbox a\r\n");
    cmd_Run.Move(kWindowWidth - 1740, kWindowHeight - 1400, RunButtonWidth, 375);

    // --- Pipe-data panel of the canvas.
    Frame14.Move(3000, 2200, 2300, 2900);
    Frame14.Visible(false);
    MSHFlexGrid3.Move(100, 100, 1900, 2700);
    MSHFlexGrid3.Font(vb::Font{"MS Sans Serif", 8.25});
    MSHFlexGrid3.Rows(10);
    MSHFlexGrid3.Cols(2);
    MSHFlexGrid3.ColWidth(0, 1000);
    MSHFlexGrid3.ColWidth(1, 770);
    TxtEdit1.BackColor(0x00FFFFC0);
    TxtEdit1.BorderStyle(0);
    TxtEdit1.Text("Text19");
    TxtEdit1.Visible(false);
    Label25.Move(1920, 120, 255, 255);

    // --- Polyline pick panel.
    Frame15.Move(6000, 2200, 2600, 1100);
    Frame15.Visible(false);
    Label27.Move(100, 200, 2400, 240);
    Label28.Move(100, 480, 2400, 240);
    Label29.Move(100, 760, 2400, 240);

    // --- Calculator panels (shown by their buttons).
    Frame3.Move(kWindowWidth - 8200, 1200, 4400, 4300);
    Frame3.Visible(false);
    {
        vb::TextBox* boxes[] = {&Text4, &Text8, &Text2, &Text3, &Text5, &Text6, &Text7};
        const char* texts[] = {"1", "100", ".01", "100", "0.1", "1", "1"};
        for (int i = 0; i < 7; ++i) {
            boxes[i]->Move(1500, 300 + i * 420, 1000, 330);
            boxes[i]->Text(texts[i]);
        }
        Label2.Move(100, 330, 1350, 240);
        Option1Frame.Move(2700, 240, 1550, 2000);
        const char* captions[] = {"Flow", "Diameter", "Head loss", "Velosity", "Lenth"};
        for (int i = 0; i < 5; ++i) {
            Option1(i).Caption(captions[i]);
            Option1(i).Move(120, 240 + i * 340, 1300, 300);
        }
        Option1(0).Value(true);
        Commandcalculate.Move(2700, 2400, 1550, 375);
    }
    Frame6.Move(kWindowWidth - 8200, 5600, 4400, 4600);
    Frame6.Visible(false);
    {
        vb::TextBox* boxes[] = {&Text12, &Text9, &Text10, &Text15, &Text14, &Text17, &Text16, &Text11, &Text13};
        const char* texts[] = {"1", "100", ".01", "1", "1", "4000", ".13", ".02", "0.1"};
        for (int i = 0; i < 9; ++i) {
            boxes[i]->Move(1500, 300 + i * 420, 1000, 330);
            boxes[i]->Text(texts[i]);
        }
        Option2Frame.Move(2700, 240, 1550, 2000);
        const char* captions[] = {"Flow", "Diameter", "Head loss", "Velosity", "Length"};
        for (int i = 0; i < 5; ++i) {
            Option2(i).Caption(captions[i]);
            Option2(i).Move(120, 240 + i * 340, 1300, 300);
        }
        Option2(0).Value(true);
        Commandarcy.Move(2700, 2400, 1550, 375);
        Commandf.Move(2700, 2850, 1550, 375);
    }
}

void Form1::WireEvents() {
    // Lateral and pipe choice.
    UserControl11.refresh = [this] { UserControl11_refresh(); };
    UserControl11.TabSelect = [this](int32_t& Index) { UserControl11_TabSelect(Index); };
    UserControl12.refresh = [this] { UserControl12_refresh(); };
    UserControl12.TabSelect = [this](int32_t& Index) { UserControl12_TabSelect(Index); };
    List1.Click = [this] { List1_Click(); };
    List2.Click = [this] { List2_Click(); };
    List2.GotFocus = [this] { List2_GotFocus(); };
    List2.LostFocus = [this] { List2_LostFocus(); };

    // Network-editing commands.
    Command4.Click = [this] { Command4_Click(); };
    Command6.Click = [this] { Command6_Click(); };
    Command3.Click = [this] { Command3_Click(); };
    Command7.Click = [this] { Command7_Click(); };
    Command5.Click = [this] { Command5_Click(); };
    Command2.Click = [this] { Command2_Click(); };
    Command26.Click = [this] { Command26_Click(); };
    Option1.Click = [this](int Index) { Option1_Click(Index); };

    // Pipe grid and second grid.
    MSHFlexGrid2.Click = [this] { MSHFlexGrid2_Click(); };
    MSHFlexGrid2.EnterCell = [this] { MSHFlexGrid2_EnterCell(); };
    MSHFlexGrid2.KeyPress = [this](int& KeyAscii) { MSHFlexGrid2_KeyPress(KeyAscii); };
    txtEdit.Change = [this] { txtEdit_Change(); };
    txtEdit.KeyDown = [this](int& KeyCode, int& Shift) { txtEdit_KeyDown(KeyCode, Shift); };
    txtEdit.KeyPress = [this](int& KeyAscii) { txtEdit_KeyPress(KeyAscii); };
    txtEdit.LostFocus = [this] { txtEdit_LostFocus(); };
    MSHFlexGrid3.Click = [this] { MSHFlexGrid3_Click(); };
    MSHFlexGrid3.KeyPress = [this](int& KeyAscii) { MSHFlexGrid3_KeyPress(KeyAscii); };
    TxtEdit1.Change = [this] { TxtEdit1_Change(); };
    TxtEdit1.KeyDown = [this](int& KeyCode, int& Shift) { TxtEdit1_KeyDown(KeyCode, Shift); };
    TxtEdit1.KeyPress = [this](int& KeyAscii) { TxtEdit1_KeyPress(KeyAscii); };
    TxtEdit1.LostFocus = [this] { TxtEdit1_LostFocus(); };

    // The other subsystems wire the events of their controls from their own
    // fragments (a member hook constructed after the controls).
}
