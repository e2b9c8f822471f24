// Shows the small controls in a real window: the laterals' and pipes' tab
// strips, the numeric spinner, the editable table and the calculator.  Runs until the windows are
// closed (used for screenshots under a virtual display).
#include <string>

#include "controls/flex.h"
#include "controls/usercontrol1.h"
#include "controls/usercontrol3.h"
#include "mainwindow/calculator.h"
#include "platform/ui/ui.h"
#include "profile/profile_config.h"

namespace {

class DemoForm : public vb::Form {
public:
    DemoForm() : vb::Form("DemoForm") {
        Caption("Network tabs");
        Move(300, 300, 7800, 2000);
        lateralsCaption.Move(150, 180, 1300, 255);
        laterals.Move(1500, 150, 6000, 300);
        pipesCaption.Move(150, 630, 1300, 255);
        pipes.Move(1500, 600, 6000, 300);
        spinCaption.Move(150, 1200, 1300, 255);
        spinner.Move(1500, 1140);
        hint.Move(3150, 1170, 4300, 600);
        hint.WordWrap(true);
        for (const char* c : {"Lateral1", "Lateral2", "Lateral3", "Lateral4", "Lateral5", "Lateral6", "Lateral7",
                              "Lateral8", "Lateral9", "Lateral10", "Lateral11", "Lateral12"})
            laterals.AddTab(c);
        laterals.text("Lateral3");
        laterals.Picture10_Paint();
        for (int i = 1; i <= 6; ++i) pipes.AddTab("Se " + std::to_string(i));
        vb::Variant marks = pipes.TABB();
        marks.SetElement(2, vb::Variant(static_cast<int16_t>(1)));
        pipes.TABB(marks);
        pipes.Picture10_Click();
        // The pointer resting over a pipe tab shows its hover look.
        const TabRecord& t = pipes.Tabs()[4];
        pipes.Picture10_MouseMove(0, 0, (t.Left + t.Right) / 2.0f * 15, 120);
        spinner.ivalue(2.5);
        spinner.Command1_Click();
    }

    vb::Label lateralsCaption{*this, "Laterals"};
    UserControl1 laterals{*this};
    vb::Label pipesCaption{*this, "Pipes"};
    UserControl1 pipes{*this};
    vb::Label spinCaption{*this, "Cover (m)"};
    UserControl3 spinner{*this};
    vb::Label hint{*this, "Arrows of the left bar step by 0.1, of the right bar by 0.01; Ok commits."};
};

// The editable table with the profile rows, as its "CONFIG" command fills it.
class FlexForm : public vb::Form {
public:
    FlexForm() : vb::Form("FlexForm") {
        Caption("Profile rows table");
        Move(300, 2700, 12000, 6000);
        table.Move(0, 0, 11800, 5500);
        ProfileRowTable = DefaultProfileRows(ProfileRowTable);
        table.mnuconfig();
    }
    FLEX table{*this};
};

}  // namespace

int main(int argc, char** argv) {
    return vb::RunApplication(argc, argv, [] {
        static DemoForm* demo = new DemoForm();
        demo->Show();
        static FlexForm* flex = new FlexForm();
        flex->Show();
        Calculator& calc = CalculatorWindow();
        calc.Show();
        calc.Move(8400, 300);
        for (int k : {1, 2, 5}) calc.Number(k).Value(true);
        calc.Decimal.Value(true);
        calc.Number(5).Value(true);
    });
}
