// Moving and scaling the view of the profile (buttons, keys, drags, resets),
// the elevation-scale buttons, the pick of a pipe with the right button, the
// double-clicks of the two pictures, the two-point mark and the profile-file
// dialog.  The profile is shown at screen x = x + ProfileOffsetX and screen
// y = ProfileOffsetY - 10 * y in the user scale of Picture1.
#include <string>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"
#include "profile/plot.h"

namespace {

// The products of the zoom are formed in double precision and stored as
// 32-bit floats.
float Scaled(float v, double factor) { return static_cast<float>(v * factor); }

}  // namespace

void Form1::StepScrollBar(vb::ScrollBar& bar, int delta) {
    int v = bar.Value() + delta;
    if (v >= bar.Min() && v <= bar.Max()) bar.Value(v);
}

void Form1::SetProfileScale(double width, double height) {
    Picture1.ScaleWidth(static_cast<float>(width));
    Picture1.ScaleHeight(static_cast<float>(height));
}

// --- Buttons ---------------------------------------------------------------------

void Form1::Command12_Click() {
    ProfileOffsetY = ProfileOffsetY - 1;
    draw();
}

void Form1::Command11_Click() {
    ProfileOffsetY = ProfileOffsetY + 1;
    draw();
}

void Form1::Command9_Click() {
    ProfileOffsetX = ProfileOffsetX - 10;
    draw();
}

void Form1::Command10_Click() {
    ProfileOffsetX = ProfileOffsetX + 10;
    draw();
}

void Form1::Command13_Click() {
    // Zoom out; scaling the offsets with the scale keeps the profile's origin
    // at the same place of the picture.
    SetProfileScale(Picture1.ScaleWidth() * 1.25, Picture1.ScaleHeight() * 1.25);
    ProfileOffsetY = Scaled(ProfileOffsetY, 1.25);
    ProfileOffsetX = Scaled(ProfileOffsetX, 1.25);
    draw();
}

void Form1::Command14_Click() {
    // Zoom in.
    Label5.Visible(true);
    Picture1.ScaleWidth(static_cast<float>(Picture1.ScaleWidth() * 0.8));
    Label5.Caption(vb::SingleToText(static_cast<float>(Picture1.ScaleWidth())));
    Picture1.ScaleHeight(static_cast<float>(Picture1.ScaleHeight() * 0.8));
    ProfileOffsetY = Scaled(ProfileOffsetY, 0.8);
    ProfileOffsetX = Scaled(ProfileOffsetX, 0.8);
    draw();
}

void Form1::Command8_Click() {
    SetProfileScale(160, 150);
    ProfileOffsetX = 50;
    ProfileOffsetY = 100;
    draw();
}

void Form1::Command18_Click() {
    if (ElevScaleHeight < 20)
        ElevScaleHeight = ElevScaleHeight + 2;
    else
        ElevScaleHeight = 10;
    Form_Click();
}

void Form1::Command19_Click() {
    if (ElevScaleOffset < ElevScaleHeight - 2)
        ElevScaleOffset = ElevScaleOffset + 2;
    else
        ElevScaleOffset = 2;
    Form_Click();
}

void Form1::Label8_Click() {
    if (PanStep >= 10)
        PanStep = 1;
    else
        PanStep = PanStep + 1;
    Label8.Caption(std::to_string(PanStep));
}

void Form1::Command22_Click() {
    vb::MsgBox("First point:", vb::vbOKOnly);
    MarkPointA = {-1, -1};
    MarkPending = true;
    // The next two left presses on the profile are the mark's points.
    markClicksLeft_ = 2;
}

// --- Keys ----------------------------------------------------------------------------

void Form1::Picture1_KeyDown(int& KeyCode, int& Shift) {
    if (SheetCount < 0) SheetCount = 0;
    // Ctrl with Space / 3 shows / hides the canvas element of the current
    // sheet number; Ctrl+1 / Ctrl+2 step that number.  An element that does
    // not exist is left alone.
    if (Shift == vb::vbCtrlMask) {
        switch (KeyCode) {
            case vb::vbKeySpace:
                if (pic.Exists(SheetCount)) pic(SheetCount).Visible(true);
                break;
            case vb::vbKey3:
                if (pic.Exists(SheetCount)) pic(SheetCount).Visible(false);
                break;
            case vb::vbKey1:
                SheetCount = SheetCount + 1;
                break;
            case vb::vbKey2:
                SheetCount = SheetCount - 1;
                break;
            default:
                break;
        }
    }

    switch (KeyCode) {
        case vb::vbKeyTab:
            if (Shift == 0)
                Command3_Click();
            else if (Shift == vb::vbShiftMask)
                Command4_Click();
            break;
        case vb::vbKeySpace:
            ProfileOffsetX = 100;
            ProfileOffsetY = 150;
            SetProfileScale(160, 150);
            draw();
            break;
        case vb::vbKeyPageUp:
            if (VScroll5.Value() >= 1 && VScroll5.Value() > VScroll5.Min())
                VScroll5.Value(VScroll5.Value() - 1);
            break;
        case vb::vbKeyPageDown:
            if (VScroll5.Value() < VScroll5.Max()) VScroll5.Value(VScroll5.Value() + 1);
            break;
        case vb::vbKeyLeft:
            ProfileOffsetX = ProfileOffsetX + PanStep;
            Form_Click();
            break;
        case vb::vbKeyRight:
            ProfileOffsetX = ProfileOffsetX - PanStep;
            Form_Click();
            break;
        case vb::vbKeyUp:
            ProfileOffsetY = ProfileOffsetY - PanStep;
            Form_Click();
            draw();
            Form_Click();
            break;
        case vb::vbKeyDown:
            ProfileOffsetY = ProfileOffsetY + PanStep;
            Form_Click();
            break;
        case vb::vbKeyM:
            if (Shift == vb::vbCtrlMask) {
                KeyCode = 0;
                Command10_Click();
            }
            break;
        case vb::vbKeyF2:
            if (Shift != vb::vbAltMask) Form_Click();
            Picture1.SetFocus();
            break;
        case vb::vbKeyF3:
        case vb::vbKeyF4:
            if (Shift == vb::vbShiftMask) StepScrollBar(VScroll3, KeyCode == vb::vbKeyF3 ? -1 : 1);
            break;
        case vb::vbKeyF5:
            SetProfileScale(1600, 1500);
            draw();
            break;
        case vb::vbKeyF6:
        case vb::vbKeyF7:
            if (Shift == vb::vbShiftMask) StepScrollBar(VScroll4, KeyCode == vb::vbKeyF6 ? -1 : 1);
            break;
        default:
            break;
    }
}

// --- Mouse -------------------------------------------------------------------------------

void Form1::Picture1_MouseDown(int Button, int Shift, float X, float Y) {
    Picture1.SetFocus();
    UserControl31.Visible(false);
    markPress_ = false;
    if (Button == vb::vbLeftButton && markClicksLeft_ > 0 && MarkPending) {
        // A point of the two-point mark: the second one draws the line.
        --markClicksLeft_;
        markPress_ = true;
        Picture1_MarkLine(Button, Shift, X, Y);
        DragStartX = X;
        DragStartY = Y;
        return;
    }
    if (Button == vb::vbRightButton && ProfileOffsetY - Y > 30) {
        // The pipe under the pointer (strictly inside its span; the last one
        // that matches wins) becomes the picked one.
        for (int32_t i = 1; i <= RunCount; ++i) {
            if (i >= static_cast<int32_t>(CurrentRun.size())) break;
            auto p = NodeRecordByIndex(myCol.get(), CurrentRun[i].NodeIndex);
            if (!p) continue;
            const float start = p->x3 + ProfileOffsetX;
            const float end = p->x3 + p->l + ProfileOffsetX;
            if (X > start && X < end) {
                CurrentRunPos = i;
                CurrentPipeIndex = i;
            }
        }
        // The picked pipe's tab mark flips.
        vb::Variant marks = UserControl12.TABB();
        if (marks.IsArray() && CurrentPipeIndex >= marks.LBound() && CurrentPipeIndex <= marks.UBound()) {
            bool on = vb::CDbl(marks.Element(CurrentPipeIndex)) == 1;
            marks.SetElement(CurrentPipeIndex, vb::Variant(int16_t(on ? 0 : 1)));
            UserControl12.TABB(marks);
        }
        UserControl12.Picture10_Click();
        Form_Click();
        se_selupdate();
        draw();
    }
    DragStartX = X;
    DragStartY = Y;
}

void Form1::Picture1_MouseUp(int Button, int Shift, float X, float Y) {
    if (markPress_) {
        markPress_ = false;
        return;
    }
    if (RunCount == 0) latseupdate(CurrentLateralName);
    // Dragging the profile moves it with the pointer; a click without a move
    // redraws in place.
    ProfileOffsetY = ProfileOffsetY + (Y - DragStartY);
    ProfileOffsetX = ProfileOffsetX + (X - DragStartX);
    Form_Click();
}

void Form1::Picture1_MouseMove(int Button, int Shift, float X, float Y) {
    if (vb::Left(MM1.Tag(), 1) == "-") Form_Click();
    LastPointerX = X;
    LastPointerY = Y;
}

void Form1::Picture1_Click() {
    Frame11.Visible(false);
    if (pic.Exists(0)) pic(0).Visible(false);
}

// --- Double-clicks ------------------------------------------------------------------------

void Form1::Picture1_DblClick() {
    if (Picture2.Visible()) {
        Picture2.Visible(false);
        Picture1.Top(600);
    } else {
        Picture2.Visible(true);
        Picture1.Top(Picture2.Height() + 600);
    }
    Picture1.Enabled(true);
}

void Form1::Picture2_DblClick() {
    Picture2.Visible(false);
    Picture1.Top(600);
    Picture1.Enabled(true);
}

// --- Procedures no event calls ------------------------------------------------------------

void Form1::ShowFirstLateral() {
    myCol->FirstSibling("Lateral1");
    latseupdate(CurrentLateralName);
    Form_Click();
}

void Form1::Picture1_SpaceReset(int KeyCode) {
    if (KeyCode != vb::vbKeySpace) return;
    ProfileOffsetX = 100;
    ProfileOffsetY = 15;
    SetProfileScale(160, 150);
    draw();
}

void Form1::openzefCaller() { openzef(); }

void Form1::openzef() {
    // Only shows the chosen path: no profile file is read or written.
    std::string chosen;
    try {
        CommonDialog1.DialogTitle("Open Prof file");
        CommonDialog1.CancelError(true);
        CommonDialog1.Filter("profile File (*.zef)|*.zef");
        CommonDialog1.ShowOpen();
        chosen = CommonDialog1.FileName();
    } catch (const vb::VbError& e) {
        // A cancelled dialog leaves the caption as it was (the dialog's last
        // file name may be that of another command).
        vb::MsgBox("OPEN" + e.Description(), vb::vbOKOnly);
        return;
    }
    if (chosen.empty()) return;
    size_t slash = chosen.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : chosen.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    std::string name = file.substr(0, file.find('.'));
    (void)folder;
    (void)name;
    Caption(chosen);
}

// --- Wiring ------------------------------------------------------------------------------

void Form1::WireNavigation() {
    Command12.Click = [this] { Command12_Click(); };
    Command11.Click = [this] { Command11_Click(); };
    Command9.Click = [this] { Command9_Click(); };
    Command10.Click = [this] { Command10_Click(); };
    Command13.Click = [this] { Command13_Click(); };
    Command14.Click = [this] { Command14_Click(); };
    Command8.Click = [this] { Command8_Click(); };
    Command18.Click = [this] { Command18_Click(); };
    Command19.Click = [this] { Command19_Click(); };
    Label8.Click = [this] { Label8_Click(); };
    Command22.Click = [this] { Command22_Click(); };
    Commanddel.Click = [this] { Commanddel_Click(); };
    Picture1.Click = [this] { Picture1_Click(); };
    Picture1.DblClick = [this] { Picture1_DblClick(); };
    Picture1.KeyDown = [this](int& KeyCode, int& Shift) { Picture1_KeyDown(KeyCode, Shift); };
    Picture1.MouseDown = [this](int Button, int Shift, float X, float Y) {
        Picture1_MouseDown(Button, Shift, X, Y);
    };
    Picture1.MouseMove = [this](int Button, int Shift, float X, float Y) {
        Picture1_MouseMove(Button, Shift, X, Y);
    };
    Picture1.MouseUp = [this](int Button, int Shift, float X, float Y) {
        Picture1_MouseUp(Button, Shift, X, Y);
    };
    Picture2.DblClick = [this] { Picture2_DblClick(); };
}
