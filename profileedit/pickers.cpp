// The pickers on the profile: two boxes that set the laterals joining a pipe at
// its upstream end (ma2, ma3) and one box per pipe with handles that sets its
// diameter.  A press fills the picker list Combo1 in the value box; choosing an
// item commits through Command24_Click.
#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "mainwindow/form1.h"
#include "mainwindow/lateral_links.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/dialogs.h"

namespace {

const char* const kDiameters[] = {"200", "250", "300", "350", "400", "450",
                                  "500", "600", "700", "800", "900", "1000"};

bool IsLateralName(const std::string& name) { return vb::Left(name, 7) == "Lateral"; }

// The position in the diameter list of the size nearest to `dia` (the smaller
// of two equally near), so that a diameter not in the list opens beside it.
int NearestDiameter(int dia) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(std::size(kDiameters)); ++i) {
        if (std::abs(std::atoi(kDiameters[i]) - dia) < std::abs(std::atoi(kDiameters[best]) - dia)) best = i;
    }
    return best;
}

}  // namespace

namespace {
// Opens a lateral picker: the list holds an empty item, then every top-level
// lateral in sibling order; the text shows the lateral linked in `link`.
void FillLateralPicker(const model::cNodeCollection& col, vb::ComboBox& list, int16_t link, bool emptyWhenNone) {
    list.Clear();
    list.Tag("");   // the selection made while filling commits nothing
    list.AddItem("");
    const int32_t limit = col.ItemCount();
    int32_t n = col.FirstSibling(vb::Variant("ObjSewer"));
    for (int32_t guard = 0; n > 0 && guard <= limit; ++guard) {
        auto s = NodeRecordByIndex(&col, n);
        if (s && IsLateralName(s->Name)) list.AddItem(s->Name);
        n = col.NextSibling(vb::Variant(n));
    }
    list.ListIndex(0);
    // A field that names no lateral (a number a file or an import left) shows
    // as no link.
    if (auto linked = LinkedLateral(col, link)) {
        list.Text(linked->Name);
    } else if (emptyWhenNone) {
        list.Text("");
    }
}
}  // namespace

void Form1::OpenLateralPicker(vb::PictureBox& box, bool first) {
    int32_t node = 0;
    auto pipe = TaggedPipe(box, &node);
    if (!pipe || !myCol) return;
    const std::string tag = first ? "Picfrom" : "Pic1from";
    pic(0).Visible(true);
    Combo1.Visible(true);
    Text19.Visible(false);
    ArmEntryBox(tag, node);
    PlaceValueBox(box.Left(), box.Top() + 8);
    // The box opens over the profile: nothing laid there may take its clicks.
    ReleaseHeldHandle();
    ValueBoxToFront();
    FillLateralPicker(*myCol, Combo1, first ? pipe->ma2 : pipe->ma3, !first);
    Combo1.Tag(tag);
    // The list takes the keyboard, so that Down and Up choose at once.
    Combo1.SetFocus();
}

void Form1::picfrom_MouseDown(int Button, int Shift, float X, float Y) { OpenLateralPicker(picfrom, true); }

void Form1::picfrom1_MouseDown(int Button, int Shift, float X, float Y) { OpenLateralPicker(picfrom1, false); }

void Form1::picfrom_MouseUp(int Button, int Shift, float X, float Y) {
    picfrom.Height(5);
    picfrom.Width(5);
    Form_Click();
}

void Form1::picfrom1_MouseUp(int Button, int Shift, float X, float Y) {
    picfrom1.Height(5);
    picfrom1.Width(5);
    Form_Click();
}

void Form1::picfrom_MouseMove(int Button, int Shift, float X, float Y) {
    if (Button == vb::vbLeftButton) pic(0).Cls();
}

void Form1::Picdia_MouseDown(int Index, int Button, int Shift, float X, float Y) {
    int32_t node = 0;
    auto pipe = TaggedPipe(Picdia(Index), &node);
    if (!pipe) return;
    pic(0).Visible(true);
    Combo1.Visible(true);
    Text19.Visible(false);
    PlaceValueBox(Picdia(Index).Left(), Picdia(Index).Top() + 8);
    ReleaseHeldHandle();
    ValueBoxToFront();
    Combo1.Tag("");
    Combo1.Clear();
    for (const char* d : kDiameters) Combo1.AddItem(d);
    // The list opens on the pipe's own size, so that Down and Up step to the
    // next size from there (the list's tag is still empty: selecting commits
    // nothing).  The text shows the pipe's diameter as it is.
    Combo1.ListIndex(NearestDiameter(pipe->dia));
    Combo1.Text(std::to_string(pipe->dia));
    Combo1.Tag("Picdia");
    ArmEntryBox("Picd" + std::to_string(Index), node);
    Combo1.SetFocus();
}

void Form1::CloseValueBox() {
    // The control that holds the keyboard in this window: the one its keys go
    // to, also while the window waits to be activated again (after a message
    // box).  In the box, or nowhere, the keyboard goes back to the profile,
    // before the box is hidden so that it never passes to the next control on
    // the way.  A control the user clicked into keeps it, and a box closed
    // while the user works in another window of the program (a redraw it
    // caused) does not call this window to the front.
    const vb::Control* keyboard = ActiveControl();
    const bool keyboardInBox = !keyboard || keyboard == &Text19 || keyboard == &Combo1 ||
                               keyboard == &Command24 || keyboard == &pic(0);
    const vb::Form* active = vb::ActiveForm();
    if (keyboardInBox && (!active || active == this)) Picture1.SetFocus();
    pic(0).Visible(false);
}

void Form1::ValueBoxToFront() {
    vb::PictureBox& box = pic(0);
    if (!box.Visible()) return;
    box.ZOrder(vb::vbBringToFront);
    // A handle still pressed keeps its place above the box (its press put it
    // there), so that its drag goes on under the pointer.
    if (heldHandles_ && heldHandles_->Exists(heldIndex_) && (*heldHandles_)(heldIndex_).Visible()) {
        (*heldHandles_)(heldIndex_).ZOrder(vb::vbBringToFront);
    }
}

void Form1::PlaceValueBox(double left, double top) {
    pic(0).Left(left);
    pic(0).Top(top);
    KeepValueBoxInView();
}

void Form1::KeepValueBoxInView() {
    const vb::PictureBox::Area shown = Picture1.ShownArea();
    if (shown.Width <= 0 || shown.Height <= 0) return;
    vb::PictureBox& box = pic(0);
    // One pixel to spare: the box's edges are rounded to whole pixels.
    const double spareX = Picture1.PixelsToSizeX(1), spareY = Picture1.PixelsToSizeY(1);
    const double right = shown.Left + shown.Width - spareX, bottom = shown.Top + shown.Height - spareY;
    const double left = std::max(shown.Left, std::min(box.Left(), right - box.Width()));
    const double top = std::max(shown.Top, std::min(box.Top(), bottom - box.Height()));
    if (left != box.Left()) box.Left(left);
    if (top != box.Top()) box.Top(top);
}

void Form1::Combo1_Click() {
    const std::string tag = Combo1.Tag();
    if (tag == "Picfrom" || tag == "Pic1from" || tag == "Picdia") Command24_Click();
}

void Form1::CommitLateralLink(bool first) {
    int32_t pipeNode = 0;
    auto pipe = ArmedPipe(&pipeNode);
    if (!pipe) return;
    const std::string text = Combo1.Text();
    // The lateral shown cannot join its own pipe.
    if (text == CurrentLateralName) return;
    int32_t lateralNode = 0;
    if (!text.empty()) {
        lateralNode = myCol->KeyToIndex("Obj" + text);
        if (!LinkedLateral(*myCol, lateralNode)) {
            vb::MsgBox("There is no lateral named \"" + text + "\"; nothing was changed.");
            return;
        }
        // A key is found whatever the case of its letters, so a name typed
        // another way can still name the lateral shown.
        if (lateralNode == myCol->KeyToIndex("Obj" + CurrentLateralName)) return;
        if (lateralNode > 32767 || pipeNode > 32767) {
            vb::MsgBox("The network has too many nodes to record this link; nothing was changed.");
            return;
        }
    }
    SetLateralLink(*myCol, pipeNode, !first, lateralNode);
}
