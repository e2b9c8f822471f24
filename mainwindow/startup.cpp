// Start-up, activation, layout and shutdown of the main window.
#include <algorithm>
#include <cmath>

#include "mainwindow/form1.h"
#include "profile/profile_config.h"

void Form1::Form_Load() {
    // The window opens inside the screen, at least at its smallest size.
    PlaceWindowOnScreen();

    // 1. The current run holds entries 0 and 1, both empty; the profile rows
    //    0 to 24 start blank.
    CurrentRun.assign(2, RunEntry{});
    RunCount = 0;
    ProfileRowTable.assign(kProfileRowCount, ProfileRowRecord{});

    // 2. Elevation scale, DXF mode and pan step.
    ElevScaleOffset = 2;
    ElevScaleExtension = 0;
    ElevScaleHeight = 10;
    DxfMode = 1;
    PanStep = 10;
    Label8.Caption(std::to_string(PanStep));

    // 3. The table rows are numbered 1 to 20.
    for (int row = 1; row <= 20; ++row) ProfileRowTable[row].Id = static_cast<int16_t>(row);

    // 4. The profile rows from their file (created with the defaults when missing).
    LoadProfileConfig();

    // 5. The default network, which also fills the laterals' list.
    NewDefaultNetwork();

    // 6. The calculator panel starts in the state of its first option.
    Option1_Click(0);

    // 7. Shown rows in List4, hidden ones in List3.
    for (int row = 1; row <= 20; ++row) {
        const ProfileRowRecord& r = ProfileRowTable[row];
        if (r.Visible) {
            List4.AddItem(r.Label.Text());
        } else {
            List3.AddItem(r.Label.Text());
        }
        List4.ListIndex(-1);
    }

    // 8. The laterals' strip shows the default lateral, which becomes current.
    UserControl11.AddTab("Lateral1");
    UserControl11.text("Lateral1");
    UserControl11.Selected(1);
    CurrentLateralName = UserControl11.text();

    // 9. Running pipe number and the profile's origin.
    PipeCount = 1;
    ProfileOffsetY = 100;
    ProfileOffsetX = 50;

    // 10. Both pictures in user units of 160 by 150.
    Picture1.ScaleWidth(160);
    Picture1.ScaleHeight(150);
    Picture2.ScaleWidth(160);
    Picture2.ScaleHeight(150);

    // 11-13. The pipe grid shows the lateral's own record.
    CurrentPipeKey = "Lateral1";
    se_selupdate();
    CurrentRunPos = 1;

    // 14. The second grid's editor lies over that grid's current cell.
    TxtEdit1.Top(MSHFlexGrid3.CellTop() + 100);
    TxtEdit1.Left(MSHFlexGrid3.CellLeft() + 100);
    TxtEdit1.Width(MSHFlexGrid3.CellWidth() - 100);
    TxtEdit1.Height(MSHFlexGrid3.CellHeight() - 100);
    TxtEdit1.Visible(true);
}

void Form1::Form_Activate() {
    CurrentRunPos = 1;
    PipeCount = 0;
}

void Form1::Form_Unload(int& /*Cancel*/) {
    // Nothing is saved: the collection file and the profile-row file are
    // written only by their own commands.
}

void Form1::Form_Resize() {
    const double W = Width();
    const double H = Height();
    // Sizes and positions never go below 0: the window can be made smaller
    // than the rule was drawn for (its smallest size is set at start-up).
    auto nn = [](double v) { return std::max(0.0, v); };

    if (W > 5000) Frame10.Width(W - 2700);
    if (H > 5000) Frame10.Height(H - 2000);
    // Positions are whole twips; the comparison is made on the whole number.
    if (std::round(Frame1.Height()) == 500) {
        Frame10.Left(50);
    } else {
        Frame10.Left(nn(Frame1.Width()));
        Frame10.Width(nn(W - 500));
        Picture2.Width(nn(W - 400));
        if (H > 1000) Frame1.Height(H - 1200);
        if (WindowState() == vb::vbMaximized) ProfileOffsetY = 150;
        if (WindowState() == vb::vbMinimized) ProfileOffsetY = 100;
    }
    Frame10.Width(nn(W - 400));
    Picture2.Width(nn(W - 400));
    Command6.Top(nn(H - 1400));
    Command7.Top(nn(Frame10.Top() + 50));
    Command7.Left(nn(Frame10.Left() + 10));
    UserControl12.Left(nn(Command7.Left() + Command7.Width() + 10));
    UserControl12.Height(nn(Command7.Height()));
    UserControl11.Top(Command6.Top());
    UserControl12.Top(Command7.Top());
    if (W > 5000) UserControl11.Width(W - 4500);
    if (W > 5000) UserControl12.Width(nn(Frame10.Width() - 4500));
    Picture1.Left(0);
    if (Frame10.Width() > 4000) Picture1.Width(Frame10.Width() - 3000);
    Picture1.Height(Frame10.Height());

    LayoutAuxiliaryControls();
}

void Form1::LayoutAuxiliaryControls() {
    const double W = Width();
    // The tool strip spans the window.
    if (W > 1000) Frame1.Width(W - 500);
    LayoutToolStrip();
    // The pipe panel stands right of the profile, inside the profile frame,
    // from 600 down to 50 above the frame's bottom; where the frame is too
    // low for all of it, it starts higher (beside the pipes' strip).
    PipePanel.Left(Picture1.Left() + Picture1.Width() + 60);
    const double bottom = Frame10.Height() - 50;
    const double top = std::clamp(bottom - PipePanelLeastHeight(), 0.0, 600.0);
    PipePanel.Top(top);
    PipePanel.Height(std::max(0.0, bottom - top));
    LayoutPipePanel();
    // The script box and its button close the laterals' row on the right.
    const double rowRight = UserControl11.Left() + UserControl11.Width();
    txt_script.Move(rowRight + 60, Command6.Top(), std::max(600.0, W - 400 - RunButtonWidth - 60 - rowRight - 120),
                    620);
    cmd_Run.Move(txt_script.Left() + txt_script.Width() + 60, Command6.Top(), RunButtonWidth, 375);
    // The calculator panels float over the right part of the profile.
    const double panelLeft = std::max(50.0, PipePanel.Left() + Frame10.Left() - Frame3.Width() - 100);
    Frame3.Left(panelLeft);
    Frame6.Left(panelLeft);
}

namespace {
// The pipe panel's four lists (laterals, pipes, shown rows, hidden rows):
// their heights when there is room, and the least ones (the laterals' list
// and the shown rows' list are as high as the buttons beside them).
constexpr double kListFull[4] = {1230, 900, 1000, 1000};
constexpr double kListLeast[4] = {1230, 480, 940, 480};
// Captions above the lists and the gaps between them.
constexpr double kCaption = 220;
constexpr double kListsChrome = 4 * kCaption + 60 + 60 + 40;
}  // namespace

double Form1::PipePanelLeastHeight() const {
    double lists = 0;
    for (double h : kListLeast) lists += h;
    return Label35.Top() + Label35.Height() + 80 + kListsChrome + lists;
}

double Form1::MinWindowHeight() const {
    // The frame of the profile is 2000 less than the window, and the panel
    // ends 50 above the frame's bottom.
    // Whole pixels, rounded up.
    return std::ceil((PipePanelLeastHeight() + 50 + 2000) / 15) * 15;
}

void Form1::LayoutPipePanel() {
    double y = Label35.Top() + Label35.Height() + 80;
    double full = 0, least = 0;
    for (int i = 0; i < 4; ++i) {
        full += kListFull[i];
        least += kListLeast[i];
    }
    // Each list gives up the same share of what it has above its least height.
    const double room = PipePanel.Height() - y - kListsChrome;
    const double share = std::clamp((room - least) / (full - least), 0.0, 1.0);
    double h[4];
    for (int i = 0; i < 4; ++i) h[i] = std::round(kListLeast[i] + share * (kListFull[i] - kListLeast[i]));

    LateralsCaption.Move(30, y, 1500, kCaption);
    y += kCaption;
    List1.Move(30, y, 1500, h[0]);
    Command4.Move(1580, y, 1300, 300);
    Command5.Move(1580, y + 310, 1300, 300);
    Command3.Move(1580, y + 620, 1300, 300);
    Command2.Move(1580, y + 930, 1300, 300);
    y += h[0] + 60;
    PipesCaption.Move(30, y, 1500, kCaption);
    y += kCaption;
    List2.Move(30, y, 2850, h[1]);
    y += h[1] + 60;
    // The two profile-row lists one above the other, each as wide as its
    // 20-character labels need, with its buttons at its right.
    constexpr double rowListWidth = 2080, rowButtonLeft = 2160, rowButtonWidth = 720;
    RowsCaption.Move(30, y, 2000, kCaption);
    y += kCaption;
    List4.Move(30, y, rowListWidth, h[2]);
    Command16.Move(rowButtonLeft, y, rowButtonWidth, 300);
    Command1.Move(rowButtonLeft, y + 320, rowButtonWidth, 300);
    Command20.Move(rowButtonLeft, y + 640, rowButtonWidth, 300);
    y += h[2] + 40;
    HiddenRowsCaption.Move(30, y, 2000, kCaption);
    y += kCaption;
    List3.Move(30, y, rowListWidth, h[3]);
    Command21.Move(rowButtonLeft, y, rowButtonWidth, 300);
}

void Form1::PlaceWindowOnScreen() {
    const double minW = MinWindowWidth, minH = MinWindowHeight();
    MinimumSize(minW, minH);
    const double areaLeft = vb::Screen.AvailableLeft(), areaTop = vb::Screen.AvailableTop();
    const double areaW = vb::Screen.AvailableWidth(), areaH = vb::Screen.AvailableHeight();
    const double w = std::max(minW, std::min(Width(), areaW));
    const double h = std::max(minH, std::min(Height(), areaH));
    // Keep the window's place when it fits there, else move it in (to the
    // area's top left corner when it is larger than the area).
    const double left = std::max(areaLeft, std::min(Left(), areaLeft + areaW - w));
    const double top = std::max(areaTop, std::min(Top(), areaTop + areaH - h));
    Move(left, top, w, h);
}
