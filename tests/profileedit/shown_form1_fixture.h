// A main window shown and active, driven by real key and mouse events, with
// what the tests of its profile's keyboard and pickers share.
#pragma once

#include <string>

#include "tests/mainwindow/form1_fixture.h"

class ShownForm1Test : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        vb::test::ShowAndActivate(f());
    }
    int32_t Pipes(const std::string& lateral) { return f().myCol->ChildCount(vb::Variant("Obj" + lateral)); }
    // Chooses the pipe at list position `position` of the lateral shown,
    // which marks its tab and lays its handles and pickers.
    void ChoosePipe(int position) {
        f().List2.ListIndex(position);
        ASSERT_TRUE(f().Picdia(1).Visible());
    }
    // Two pipes on Lateral1 and an empty Lateral2 to be picked; back on
    // Lateral1, its first pipe chosen.
    void ChooseFirstPipeWithALateralToPick() {
        f().Command7_Click();
        f().Command7_Click();
        f().Command6_Click();   // Lateral2, to be picked
        f().List1.ListIndex(0);
        ChoosePipe(0);
    }
};
