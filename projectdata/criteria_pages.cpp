// The project criteria pages: the tab strip's seven pages share three frames
// whose boxes and labels each page shows, hides and re-captions; leaving a
// page commits it.  The pages' values are not kept.
#include <optional>

#include "profileedit/grid_value.h"
#include "projectdata/form3.h"

void Form3::BuildCriteriaPages() {
    TabStrip1.Move(120, 240, 10600, 380);
    TabStrip1.AddTab("Title", "mnutitle");
    TabStrip1.AddTab("Criteria", "mnucriteria");
    TabStrip1.AddTab("Population(1)", "mnupop1");
    TabStrip1.AddTab("Population(2)", "mnupop2");
    TabStrip1.AddTab("Infiltration", "mnuinfilt");
    TabStrip1.AddTab("Inflow", "mnuflow");
    TabStrip1.AddTab("Storm", "mnustorm");
    TabStrip1.Click = [this] { TabStrip1_Click(); };

    // Frame3 (boxes 0 to 14) and Frame6 (15 to 29) side by side; Frame1 in
    // Frame3's place.
    Frame3.Move(120, 700, 5300, 5950);
    Frame6.Move(5500, 700, 5300, 5950);
    Frame1.Move(120, 700, 7600, 4300);
    for (vb::Frame* f : {&Frame3, &Frame6, &Frame1}) f->Visible(false);
    for (int i = 0; i < 30; ++i) {
        const double top = 280 + (i % 15) * 340;
        Label2(i).Move(150, top + 30, 2600, 260);
        Text2(i).Move(2800, top, 2300, 300);
    }
    Command4.Move(150, 5450, 900, 330);
    Command6.Move(150, 5450, 900, 330);

    for (int i = 0; i < 4; ++i) Option1(i).Move(150, 280 + i * 330, 3400, 300);
    Label4.Move(1300, 1700, 1500, 240);
    Label5.Move(2900, 1700, 1500, 240);
    vb::Label* rowLabels[3] = {&Label1, &Label3, &Label6};
    for (int k = 0; k < 3; ++k) {
        const double top = 2000 + k * 380;
        rowLabels[k]->Move(150, top + 30, 1100, 260);
        Text1(2 * k).Move(1300, top, 1500, 300);
        Text1(2 * k + 1).Move(2900, top, 1500, 300);
    }
    Command5.Move(150, 3300, 900, 330);
    Frame2.Move(4500, 200, 3000, 2000);
    static const char* const kQmaxOptions[5] = {"Qpeak1+Qinflow+Qadd", "Qpeak1+Qinfilt1 +Qinflow + Qadd",
                                                "Qpeak1+Qadd", "Qpeak1+Qadd * Connect", "Qpeak1"};
    for (int i = 0; i < 5; ++i) {
        Option2(i).Caption(kQmaxOptions[i]);
        Option2(i).Move(120, 260 + i * 330, 2800, 300);
    }
}

void Form3::TabStrip1_Click() {
    if (Frame3.Visible()) update1();
    if (Frame1.Visible()) projectupdate();
    switch (TabStrip1.SelectedIndex()) {
        case 1: mnutitle(); break;
        case 2: ShowBasicCriteria(); break;
        case 3: ShowPopulation1(); break;
        case 4: ShowPopulation2(); break;
        case 5: ShowInfiltration(); break;
        case 6: ShowInflow(); break;
        case 7: ShowStormData(); break;
        default: break;
    }
}

void Form3::CaptionOption1(const char* c0, const char* c1, const char* c2, const char* c3) {
    Option1(0).Caption(c0);
    Option1(1).Caption(c1);
    Option1(2).Caption(c2);
    Option1(3).Caption(c3);
}

namespace {
void ShowBox(vb::TextBox& box, bool on) {
    box.Visible(on);
    box.Enabled(on);
    box.TabStop(on);
}
}  // namespace

void Form3::mnutitle() {
    for (int i = 3; i <= 14; ++i) {
        ShowBox(Text2(i), false);
        Label2(i).Caption("");
    }
    for (int i = 0; i <= 3; ++i) {
        ShowBox(Text2(i), true);
        Label2(i).Caption("");
    }
    Label2(3).Visible(false);
    Label2(0).Caption("Project :");
    Label2(1).Caption("Designer :");
    Label2(2).Caption("Date ");
    for (int i = 0; i <= 4; ++i) Text2(i).Text("");
    Frame3.Caption("Title");
    Frame6.Visible(false);
    Frame3.Visible(true);
    Frame1.Visible(false);
}

void Form3::ShowBasicCriteria() {
    static const char* const kCaptions[15] = {
        "LPCD1",       "LPCD2",        "Connect1",    "Connect2",     "Ground Water Level",
        "Load Factor", "minCover(m)",  "minVelocity", "min H/D",      "Mh. headloss",
        "'n' variable", "Peak factor (1)", "Peak factor (2)", "Limit Max Of Pf", "Min QD"};
    for (int i = 0; i <= 14; ++i) ShowBox(Text2(i), true);
    for (int i = 0; i <= 14; ++i) Label2(i).Caption(kCaptions[i]);
    for (int i = 0; i <= 14; ++i) Text2(i).Text("");
    Frame3.Caption("Basic Criteria");
    Frame1.Visible(false);
    Frame6.Visible(false);
    Frame3.Visible(true);
}

void Form3::ShowPopulation1() {
    Frame2.Visible(false);
    Frame6.Visible(false);
    projectupdate();
    CaptionOption1("Density input", "Population input", "Total Population input", "Density Curve");
    Frame1.Caption("Population1");
    for (int i = 0; i <= 5; ++i) Text1(i).Visible(false);
    Frame3.Visible(false);
    Frame1.Visible(true);
}

void Form3::ShowPopulation2() {
    projectupdate();
    Frame2.Visible(false);
    Frame6.Visible(false);
    for (int i = 0; i <= 3; ++i) Text1(i).Visible(false);
    Frame1.Visible(true);
    Frame3.Visible(false);
    CaptionOption1("Density input", "Population input", "Total Population input", "Density Curve");
    Frame1.Caption("Population2");
    for (vb::Label* l : {&Label1, &Label3, &Label4, &Label5}) l->Caption("");
}

void Form3::ShowInfiltration() {
    projectupdate();
    for (vb::Label* l : {&Label4, &Label5, &Label1, &Label3}) l->Caption(" ");
    Frame2.Visible(true);
    Frame1.Visible(true);
    Frame3.Visible(false);
    Frame6.Visible(false);
    Frame1.Caption("Infiltration");
    CaptionOption1("M3/(d)(km)", "M3/(d)(cm of dia)(km)", "LPCD Infiltration", "Infiltration Curve");
    Text1(0).Visible(Text1(1).Visible());
    Text1(2).Visible(Text1(3).Visible());
    Option2(0).Value(true);
    Label1.Caption("First");
    Label3.Caption("END");
    Text1(1).Visible(true);
    Text1(0).Visible(true);
    Text1(1).Text("");
    Text1(0).Text("");
    Option1(0).Value(true);
}

void Form3::ShowInflow() {
    projectupdate();
    Frame2.Visible(true);
    Frame1.Visible(true);
    Frame6.Visible(false);
    Frame3.Visible(false);
    Frame1.Caption("Inflow");
    Label1.Caption("First");
    Label3.Caption("END");
    Label4.Caption("");
    Label5.Caption("");
    CaptionOption1("M3/ha (d)", "Percent of Average Flow", "LPCD Inflow", "Percent of Peak Flow");
    Text1(0).Visible(true);
    Text1(1).Visible(true);
}

void Form3::ShowStormData() {
    for (int i = 17; i <= 29; ++i) ShowBox(Text2(i), true);
    Frame6.Caption("Storm data ");
    Frame6.Visible(true);
    Frame1.Visible(false);
    static const char* const kCaptions[15] = {"",
                                              "",
                                              "Note:  I =A /(T + C)^ B",
                                              "Area coef. :",
                                              "Inlet Time:",
                                              "C Valu :",
                                              "C2 coef. :",
                                              "B2 coef. :",
                                              "A2 coef. :",
                                              "Intermediate  Con.Time:",
                                              "C1 coef. :",
                                              "B1 coef. :",
                                              "A1 coef. :",
                                              "min  Con.Time:",
                                              "Return period :"};
    for (int i = 29; i >= 15; --i) Label2(i).Caption(kCaptions[i - 15]);
    for (int i = 29; i >= 18; --i) Text2(i).Text("");
}

void Form3::projectupdate() {
    const std::string page = Frame1.Caption();
    if (page == "Infiltration" || page == "Inflow") {
        Text1(3).Visible(false);
        Text1(1).Visible(true);
        Text1(2).Visible(true);
    } else if (page == "Population2" || page == "Population1") {
        Text1(3).Visible(true);
    }
}

void Form3::update1() {
    // An empty, zero or non-numeric load factor reads 1 once the page is left.
    if (Frame3.Caption() == "Basic Criteria") {
        const std::optional<double> loadFactor = CellNumber(Text2(5).Text());
        if (loadFactor && *loadFactor == 0) Text2(5).Text("1");
    }
}
