// Start-up, activation, layout and shutdown of the main window.
#include <cmath>

#include "mainwindow/form1.h"
#include "profile/profile_config.h"

void Form1::Form_Load() {
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

    if (W > 5000) Frame10.Width(W - 2700);
    if (H > 5000) Frame10.Height(H - 2000);
    // Positions are whole twips; the comparison is made on the whole number.
    if (std::round(Frame1.Height()) == 500) {
        Frame10.Left(50);
    } else {
        Frame10.Left(Frame1.Width());
        Frame10.Width(W - 500);
        Picture2.Width(W - 400);
        if (H > 1000) Frame1.Height(H - 1200);
        if (WindowState() == vb::vbMaximized) ProfileOffsetY = 150;
        if (WindowState() == vb::vbMinimized) ProfileOffsetY = 100;
    }
    Frame10.Width(W - 400);
    Picture2.Width(W - 400);
    Command6.Top(H - 1400);
    Command7.Top(Frame10.Top() + 50);
    Command7.Left(Frame10.Left() + 10);
    UserControl12.Left(Command7.Left() + Command7.Width() + 10);
    UserControl12.Height(Command7.Height());
    UserControl11.Top(Command6.Top());
    UserControl12.Top(Command7.Top());
    if (W > 5000) UserControl11.Width(W - 4500);
    if (W > 5000) UserControl12.Width(Frame10.Width() - 4500);
    Picture1.Left(0);
    if (Frame10.Width() > 4000) Picture1.Width(Frame10.Width() - 3000);
    Picture1.Height(Frame10.Height());

    LayoutAuxiliaryControls();
}

void Form1::LayoutAuxiliaryControls() {
    const double W = Width();
    // The tool strip spans the window.
    if (W > 1000) Frame1.Width(W - 500);
    // The pipe panel stands right of the profile, inside the profile frame.
    PipePanel.Left(Picture1.Left() + Picture1.Width() + 60);
    if (Frame10.Height() > 1300) PipePanel.Height(Frame10.Height() - 650);
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
