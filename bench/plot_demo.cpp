// Shows the profile picture of the main window with rotated texts of several
// angles and heights and lines of several colour indices on black, drawn
// through the profile's own primitives.  Runs until the window is closed
// (used for screenshots under a virtual display).
#include <cmath>
#include <string>

#include "mainwindow/form1.h"
#include "platform/ui/ui.h"
#include "profile/format.h"

int main(int argc, char** argv) {
    return vb::RunApplication(argc, argv, [] {
        static Form1* form = new Form1();
        form->Show();
        vb::PictureBox& p = form->Picture1;
        // Give the profile picture most of the window, whatever the layout did.
        form->Frame10.Move(0, 900, 14400, 9600);
        form->Frame10.Visible(true);
        p.Move(0, 0, 14000, 9400);
        p.Visible(true);
        p.ZOrder(0);
        p.BackColor(vb::vbBlack);
        p.Scale(0, 0, 160, 150);
        p.Cls();
        ProfileOffsetX = 10;
        ProfileOffsetY = 140;

        // A fan of lines in the named colours and a few of the hue wheel.
        const int colours[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 30, 46, 50, 90, 130, 170, 210, 250, 254};
        double x = 0;
        for (int c : colours) {
            form->LINEplot(x, 0, x + 3, 4, 1, c, 1);
            form->textplot(x + 0.5, -0.3, c, 1.5, 90, "S", std::to_string(c), 1, 0);
            x += 4;
        }
        // Texts of several angles and heights around one point.
        const double angles[] = {0, 30, 60, 90, 135, 180, -45};
        int k = 0;
        for (double a : angles) {
            form->LINEplot(40, 8, 40 + 20 * std::cos(a * 3.14159 / 180),
                           8 + 2 * std::sin(a * 3.14159 / 180), 1, 8, 1);
            form->textplot(40, 8, 1 + k % 6, 2 + k % 3, a, "S",
                           std::string("angle ") + vb::CStr(FormatFixed(a, 1)), 1, 0);
            ++k;
        }
        // Heights from small to large, with the chainage and number helpers.
        double y = 12;
        for (double h : {1.5, 2.0, 3.0, 4.0, 6.0}) {
            form->textplot(80, y, 7, h, 0, "S",
                           vb::CStr(FormatChainage(h * 1000)) + "  h=" + vb::CStr(FormatFixed(h, 2)), 1, 0);
            y -= h / 6 + 0.3;
        }
        // A profile-like ground and invert line.
        form->LINEplot(0, 10, 60, 9.5, 1, 2, 1);
        form->LINEplot(0, 8, 60, 7.76, 1, 4, 1);
        form->LINEplot(0, 10, 0, 8, 1, 41, 1);
        form->LINEplot(60, 9.5, 60, 7.76, 1, 41, 1);
    });
}
