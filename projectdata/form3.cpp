// The project window: construction of its buttons and panels, the layout of
// the tables' panels and the switching between the four panels.
#include "projectdata/form3.h"

#include "exchange/acad.h"

namespace {
constexpr double kWindowWidth = 12000;   // twips
constexpr double kWindowHeight = 8400;
constexpr double kButtonHeight = 215;    // the buttons stand above the panels' top
constexpr double kPanelTop = 270;
// The smallest window: the row of buttons and a few rows of a table.  Below
// it the panels and the pipe grid would need a negative size.
constexpr double kMinWindowWidth = 5400;
constexpr double kMinWindowHeight = 2700;
}  // namespace

Form3::Form3() : vb::Form("Form3") {
    BuildPanels();
    BuildTables();
    BuildCriteriaPages();
    WirePanels();
    WireTables();
    BuildImport();
}

Form3& Form3Window() {
    static Form3* window = new Form3();
    return *window;
}

void Form3::BuildPanels() {
    Caption("Project");
    MinimumSize(kMinWindowWidth, kMinWindowHeight);
    Move(600, 600, kWindowWidth, kWindowHeight);

    double x = 10;
    for (vb::CommandButton* b : {&Command1, &Command2, &Command3, &Command7, &Command8}) {
        b->Move(x, 0, 1000, kButtonHeight);
        x += 1030;
    }

    // Every panel starts hidden: its button shows it.
    for (vb::Frame* f : {&Frame16, &Frame5, &Frame4, &Frame15}) f->Visible(false);
    Frame4.Move(10, kPanelTop, 11000, 6900);

    // The import panel: a column choice per row, then the row to start at.
    Frame15.Move(10, kPanelTop, 7400, 6300);
    static const char* const kColumnCaptions[15] = {
        " To",   " Gr.El.From", " Gr.El.To", "Length", " INV.EL.From", " INV.EL.To", "Dia", " From",
        " Lateral", "Slope",  "Manhole Type", "X1", "X2", "Y1", "Y2"};
    Label10.Move(200, 260, 1800, 240);
    Label8.Move(2100, 260, 800, 240);
    Label9.Move(3000, 260, 800, 240);
    for (int i = 0; i < 15; ++i) {
        const double top = 520 + i * 330;
        Check1(i).Caption(kColumnCaptions[i]);
        Check1(i).Move(200, top, 1800, 300);
        Text4(i).Move(2100, top, 700, 300);
        Text4(i).Text(std::to_string(i + 1));
    }
    Label7.Move(3600, 520, 1700, 240);
    Text5.Move(5400, 500, 600, 300);
    Text5.Text("2");
    Comman16.Move(3600, 1000, 1200, 330);
    Comman20.Move(3600, 1450, 1200, 330);
    Comman15.Move(3600, 1900, 1200, 330);
    Label31.Move(3600, 2400, 3000, 300);
}

void Form3::WirePanels() {
    Command3.Click = [this] { Command3_Click(); };
    Command7.Click = [this] { Command7_Click(); };
    Command8.Click = [this] { Command8_Click(); };
    Comman15.Click = [this] { Comman15_Click(); };
    // Comman20 ("Import") is wired by the spreadsheet exchange code, which
    // defines the import.  Comman16 ("save col#") has no action.
}

void Form3::Form_Resize() {
    const double height = Height();
    Frame16.Top(height <= 10000 ? 220 : 270);
    MSHFlexGrid1.Top(Frame16.Height() > 10000 ? 120 : 70);
    Frame16.Left(10);
    Frame16.Width(Width() - 400);
    MSHFlexGrid1.Width(Frame16.Width() - 400);
    if (height > 1200) Frame16.Height(height - 1000);
    if (Frame16.Height() > 1400) MSHFlexGrid1.Height(Frame16.Height() - 500);
    Frame5.Move(10, Frame16.Top(), Frame16.Width(), Frame16.Height());
}

void Form3::Command3_Click() {
    if (!Frame4.Visible()) {
        Frame4.Visible(true);
        Frame16.Visible(false);
        Frame5.Visible(false);
        Frame15.Visible(false);
    } else {
        Frame4.Visible(false);
    }
}

void Form3::Command7_Click() {
    Frame15.Visible(true);
    Frame4.Visible(false);
    Frame5.Visible(false);
    Frame16.Visible(false);
}

void Form3::Command8_Click() {
    // Prepares the drawing of the running drawing program and reads the
    // network from it; each tells the user when it cannot.
    AcadPrepareDrawing();
    AcadGetSewerData();
}

void Form3::Comman15_Click() { Frame15.Visible(false); }

void Form3::CloseForm() { Unload(); }
