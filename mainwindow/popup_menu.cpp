// The main window's menus (the "About" item and the lateral pop-up menu MM1
// with its pending removal), the label-buttons of the floating panel Frame11
// and the pipe-data panel Frame14 that the first canvas handle opens.
#include "mainwindow/form1.h"
#include "mainwindow/form2.h"
#include "mainwindow/network_access.h"

namespace {

// The colour a label-button shows while the pointer is over it.
constexpr int32_t kHoverColour = 9;

bool Inside(float v, double low, double high) { return v > low && v < high; }

}  // namespace

// --- Menus -----------------------------------------------------------------------------

void Form1::MM1_Click() {
    // Once opened, the pop-up menu also stands on the menu bar.
    MM1.Visible(true);
}

void Form1::m_remove_Click() {
    // The removal itself is left to the next refresh, which the next pointer
    // move over the profile starts.  Until then nothing shows that "Remove"
    // was taken, so it may well be chosen again: a removal already pending
    // stays as it is (a second "-" would name no lateral and the refresh would
    // drop the request), and with no lateral pressed there is nothing to mark.
    const std::string tag = MM1.Tag();
    if (tag.empty() || tag[0] == '-') return;
    MM1.Tag("-" + tag);
}

void Form1::mnuabout_Click() { Form2Window().Show(vb::vbModeless); }

// --- Label-buttons of Frame11 -----------------------------------------------------------

void Form1::Frame11_MouseMove(int /*Button*/, int /*Shift*/, float X, float Y) {
    Label24.BackColor(vb::vbButtonFace);
    Label23.BackColor(vb::vbButtonFace);
    if (Inside(X, 1350, 1550) && Inside(Y, 300, 500)) {
        Label24.BackColor(kHoverColour);
    } else if (Inside(X, 1350, 1550) && Inside(Y, 100, 300)) {
        Label23.BackColor(kHoverColour);
    }
}

void Form1::Label23_MouseMove(int /*Button*/, int /*Shift*/, float X, float Y) {
    Label23.BackColor(Inside(X, 0, 100) && Inside(Y, 0, 100) ? kHoverColour : vb::vbButtonFace);
}

void Form1::Label24_MouseMove(int /*Button*/, int /*Shift*/, float X, float Y) {
    Label24.BackColor(Inside(X, 0, 100) && Inside(Y, 0, 100) ? kHoverColour : vb::vbButtonFace);
}

void Form1::Label23_Click() {
    Label23.BackColor(vb::vbButtonFace);
    Frame11.Visible(false);
}

void Form1::Label24_Click() {
    // The "--" label closes the panel as "x" does; the program goes on.
    Label24.BackColor(vb::vbButtonFace);
    Frame11.Visible(false);
}

void Form1::Label25_Click() {
    // A value typed into the panel reaches the lateral's record only when the
    // row is written back, which the next click on the grid does; closing the
    // panel writes back the row last opened for editing too, so that a
    // confirmed value is not lost with the panel.  It goes to the lateral the
    // panel shows, even when another lateral has been chosen since.
    const int row = secondEditorRow_;
    if (Frame14.Visible() && row > 0 && row < MSHFlexGrid3.Rows()) {
        const std::string current = CurrentLateralName;
        CurrentLateralName = MSHFlexGrid3.TextMatrix(0, 0);
        updatedata1(row, 1);
        CurrentLateralName = current;
    }
    Frame14.Visible(false);
}

// --- Double-click on a canvas handle: the value panel and the pipe-data panel -------------

void Form1::sk_DblClick(int Index) {
    if (Index == 0) {
        TxtEdit1.Visible(false);
        Frame14.Visible(true);
        CurrentPipeKey = CurrentLateralName;
        // The lateral's own record; without one the panel shows the titles
        // and empty values.
        auto s = NodeRecordByKey(myCol.get(), "Obj" + CurrentLateralName);
        auto text = [&](float model::Sewer::*field) { return s ? vb::SingleToText(s.get()->*field) : std::string(); };
        const std::string rows[10][2] = {
            {CurrentLateralName, ""},
            {"Qdesign", text(&model::Sewer::qd)},
            {"Diameter", s ? std::to_string(s->dia) : std::string()},
            {"Slope", text(&model::Sewer::slope)},
            {"Mincover", text(&model::Sewer::mincover)},
            {"FGR.EL", text(&model::Sewer::felv)},
            {"FInv.EL", text(&model::Sewer::finv)},
            {"TGR.EL", text(&model::Sewer::telv)},
            {"TInv.EL", text(&model::Sewer::tinv)},
            {"Length", text(&model::Sewer::l)}};
        MSHFlexGrid3.Rows(10);
        MSHFlexGrid3.ColWidth(0, 1000);
        MSHFlexGrid3.ColWidth(1, 770);
        for (int row = 0; row < 10; ++row) {
            MSHFlexGrid3.TextMatrix(row, 0, rows[row][0]);
            MSHFlexGrid3.TextMatrix(row, 1, rows[row][1]);
        }
        // The grid shows the record afresh: no cell holds an edit.
        secondEditorRow_ = secondEditorCol_ = -1;
    }
    vb::Line& line = Line1(0);
    line.X1(vb::CDbl(LastPointerX));
    line.Y1(vb::CDbl(LastPointerY));
    Frame11.Visible(true);
    Text18.Text("235");
    Frame11.Move(sk(Index).Left(), sk(Index).Top());
}

// --- Wiring -------------------------------------------------------------------------------

void Form1::WireMenusAndPanels() {
    MM1.Click = [this] { MM1_Click(); };
    m_select.Click = [this] { m_select_Click(); };
    m_remove.Click = [this] { m_remove_Click(); };
    mnuabout.Click = [this] { mnuabout_Click(); };
    Frame11.MouseMove = [this](int Button, int Shift, float X, float Y) { Frame11_MouseMove(Button, Shift, X, Y); };
    Label23.MouseMove = [this](int Button, int Shift, float X, float Y) { Label23_MouseMove(Button, Shift, X, Y); };
    Label24.MouseMove = [this](int Button, int Shift, float X, float Y) { Label24_MouseMove(Button, Shift, X, Y); };
    Label23.Click = [this] { Label23_Click(); };
    Label24.Click = [this] { Label24_Click(); };
    Label25.Click = [this] { Label25_Click(); };
}
