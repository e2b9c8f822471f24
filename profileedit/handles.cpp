// The edit handles on the profile: cover (pcover), ground (PGR) and length
// (plen).  A press selects the pipe and arms the entry box, a drag moves the
// handle and shows the new value, a release hands the keyboard to the entry
// box, where Enter commits and Esc abandons (profileedit/entrybox.cpp).
#include <algorithm>
#include <cmath>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/errortrap.h"
#include "profile/format.h"
#include "profileedit/grid_value.h"

namespace {

std::string Fixed(double value, int16_t decimals) { return vb::CStr(FormatFixed(vb::Variant(value), decimals)); }
// A drag step rounded by FormatFixed, read back as the number its text shows.
double FixedNumber(double value, int16_t decimals) { return vb::Val(Fixed(value, decimals)); }

// A dragged value held inside the range the entry box and the pipe grid accept,
// so that the commit never refuses what the drag showed or stored.
double HeldInRange(PipeField field, double v) {
    const PipeFieldRange r = AcceptedRange(field);
    return std::clamp(v, r.min, r.max);
}

// Pipe-grid rows the handles preview into.
constexpr int kRowMinCover = 4, kRowLength = 5, kRowFromGround = 6, kRowFromInvert = 7, kRowToGround = 8,
              kRowToInvert = 9;

}  // namespace

// --- Shared by the three families ---------------------------------------------------

float Form1::HandleUnitsX(const vb::PictureBox& handle, float x) const {
    return static_cast<float>(Picture1.PixelsToSizeX(handle.UnitsToPixelsX(x) - handle.BorderPixels()));
}

float Form1::HandleUnitsY(const vb::PictureBox& handle, float y) const {
    return static_cast<float>(Picture1.PixelsToSizeY(handle.UnitsToPixelsY(y) - handle.BorderPixels()));
}

void Form1::NoteHandleDrag(float X, float Y) {
    auto offset = [](float p, const vb::Variant& last) {
        return vb::Variant(static_cast<double>(p) - (last.IsEmpty() ? 0.0 : vb::CDbl(last)));
    };
    DragOffsetX = offset(X, LastPointerX);
    DragOffsetY = offset(Y, LastPointerY);
}

void Form1::ShowPipeInGrid(const model::Sewer& pipe) {
    CurrentPipeKey = pipe.Name;
    se_selupdate();
}

bool Form1::GridShows(const model::Sewer& pipe) const {
    return NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey).get() == &pipe;
}

void Form1::ShowValueBox(double left, double top, const std::string& text) {
    PlaceValueBox(left, top);
    pic(0).Print(text);
}

void Form1::FocusEntryBox() {
    Text19.SelStart(static_cast<int>(vb::Len(Text19.Text())));
    Text19.SetFocus();
}

void Form1::StartHandlePress(const vb::PictureBox& handle, const model::Sewer& pipe) {
    Text19.Visible(true);
    Combo1.Visible(false);
    ShowPipeInGrid(pipe);
    DragStartX = static_cast<float>(handle.Left());
    DragStartY = static_cast<float>(handle.Top());
}

void Form1::RaiseValueBox(vb::ControlArray<vb::PictureBox>& handles, int Index) {
    vb::PictureBox& handle = handles(Index);
    heldHandles_ = &handles;
    heldIndex_ = Index;
    // A step that fails is skipped; the others still run.
    vb::ErrorTrap trap;
    vb::resumeNext(trap, [&] { pic(0).Cls(); });
    vb::resumeNext(trap, [&] { pic(0).ZOrder(vb::vbBringToFront); });
    vb::resumeNext(trap, [&] { handle.ZOrder(vb::vbBringToFront); });
    vb::resumeNext(trap, [&] { pic(0).Visible(true); });
    vb::resumeNext(trap, [&] { KeepValueBoxInView(); });
}

void Form1::OpenNudgePanel(float value, double valueBoxWidth) {
    Frame11.Visible(true);
    Text18.Text(vb::Trim(vb::SingleToText(value)));
    pic(0).Visible(true);
    pic(0).Width(valueBoxWidth);
    pic(0).Height(6);
    KeepValueBoxInView();
    ValueBoxToFront();
}

std::shared_ptr<model::Sewer> Form1::EndHandlePipe(const vb::Control& handle, int Index, int32_t* node) const {
    if (Index >= 1) return TaggedPipe(handle, node);
    if (RunCount < 1 || static_cast<size_t>(RunCount) >= CurrentRun.size()) return nullptr;
    const int32_t n = CurrentRun[static_cast<size_t>(RunCount)].NodeIndex;
    if (node) *node = n;
    return NodeRecordByIndex(myCol.get(), n);
}

// --- Cover handles --------------------------------------------------------------------

void Form1::pcover_MouseDown(int Index, int Button, int Shift, float X, float Y) {
    if (Index < 1) return;   // element 0 is the cover band
    vb::PictureBox& handle = pcover(Index);
    int32_t node = 0;
    auto pipe = TaggedPipe(handle, &node);
    if (!pipe) return;
    StartHandlePress(handle, *pipe);
    pcover(0).Visible(true);
    vb::ErrorTrap trap;
    const std::string tag = "Pcov" + std::to_string(Index);
    // A second press on the same handle keeps what was typed or dragged.
    if (!ArmedFor(tag, pipe.get())) {
        ArmEntryBox(tag, node);
        Text19.Text(vb::SingleToText(pipe->mincover));
    }
    vb::resumeNext(trap, [&] { pcover(0).Left(handle.Left() - pipe->l / 2.0); });
    vb::resumeNext(trap, [&] { pcover(0).Width(pipe->l + 5.0); });
    RaiseValueBox(pcover, Index);
}

void Form1::pcover_MouseMove(int Index, int Button, int Shift, float X, float Y) {
    if (Index < 1) return;
    vb::PictureBox& handle = pcover(Index);
    int32_t node = 0;
    auto pipe = TaggedPipe(handle, &node);
    if (!pipe) return;
    // Only a drag that began with a press on this handle changes the pipe.
    const bool dragging = Button == vb::vbLeftButton && ArmedFor("Pcov" + std::to_string(Index), pipe.get());
    if (dragging) {
        pic(0).Cls();
        const double oldTop = handle.Top();
        const double cover = pipe->mincover;
        handle.Top(oldTop + Y);
        const double stepped = cover + FixedNumber((handle.Top() - oldTop) / 10, 2);
        const double held = HeldInRange(PipeField::MinCover, stepped);
        // At the end of the accepted range the handle stops with the value.
        if (held != stepped) handle.Top(oldTop + (held - cover) * 10);
        pcover(0).Top(handle.Top() - 10 * cover);
        pcover(0).Height(5 + std::fabs(10 * cover));
        pipe->mincover = static_cast<float>(held);
        DragHandleIndex = static_cast<int16_t>(Index);
        NoteHandleDrag(X, Y);
        const std::string shown = Fixed(pipe->mincover, 2);
        ShowValueBox(handle.Left() + 10, handle.Top() - 2, shown);
        Text19.Text(shown);
    }
    // The grid previews the pipe it shows: while dragging the value being
    // dragged, otherwise (the pointer only passing over) the stored values.
    if (!GridShows(*pipe)) return;
    MSHFlexGrid2.TextMatrix(kRowMinCover, 1, dragging ? Text19.Text() : Fixed(pipe->mincover, 2));
    // Ground less cover is taken in single precision before the diameter
    // comes off, and the test compares that invert with the ground itself.
    const double invert = static_cast<double>(pipe->felv - pipe->mincover) - pipe->dia / 1000.0;
    if (pipe->felv > invert) {
        MSHFlexGrid2.TextMatrix(kRowFromInvert, 1, Fixed(invert, 3));
        const double v = vb::Val(MSHFlexGrid2.TextMatrix(kRowFromInvert, 1));
        MSHFlexGrid2.TextMatrix(kRowToInvert, 1, Fixed(v - static_cast<double>(pipe->slope) * pipe->l, 3));
    } else {
        // No room for the pipe below the ground: the upstream invert is that
        // of the pipe before it in the run, where there is one.
        for (int32_t i = 2; i <= RunCount && static_cast<size_t>(i) < CurrentRun.size(); ++i) {
            if (CurrentRun[static_cast<size_t>(i)].NodeIndex != node) continue;
            if (auto previous = RunRecord(i - 1)) {
                MSHFlexGrid2.TextMatrix(kRowFromInvert, 1, vb::SingleToText(previous->tinv));
            }
            break;
        }
    }
}

void Form1::pcover_MouseUp(int Index, int Button, int Shift, float X, float Y) {
    if (Index < 1) return;
    ReleaseHeldHandle();
    pcover(0).Height(5);
    pcover(0).Width(5);
    pcover(0).Visible(false);
    auto pipe = TaggedPipe(pcover(Index));
    FocusEntryBox();
    Form_Click();
    if (pipe) ShowPipeInGrid(*pipe);
}

void Form1::pcover_DblClick(int Index) {
    if (Index < 1) return;
    auto pipe = TaggedPipe(pcover(Index));
    if (!pipe) return;
    OpenNudgePanel(pipe->mincover, 10);
}

// --- Ground handles -------------------------------------------------------------------

namespace {
// The ground level a ground handle stands for: the upstream ground of its pipe,
// or for element 0 the downstream ground of the last pipe.
float& GroundOf(model::Sewer& pipe, int Index) { return Index >= 1 ? pipe.felv : pipe.telv; }
}  // namespace

void Form1::PGR_MouseDown(int Index, int Button, int Shift, float X, float Y) {
    vb::PictureBox& handle = PGR(Index);
    int32_t node = 0;
    auto pipe = EndHandlePipe(handle, Index, &node);
    if (!pipe) return;
    StartHandlePress(handle, *pipe);
    const std::string tag = "Pgr " + std::to_string(Index);
    if (!ArmedFor(tag, pipe.get())) ArmEntryBox(tag, node);
    // Every press starts again from the stored level.
    Text19.Text(vb::SingleToText(GroundOf(*pipe, Index)));
    RaiseValueBox(PGR, Index);
}

void Form1::PGR_MouseMove(int Index, int Button, int Shift, float X, float Y) {
    vb::PictureBox& handle = PGR(Index);
    auto pipe = EndHandlePipe(handle, Index, nullptr);
    if (!pipe) return;
    const bool dragging = Button == vb::vbLeftButton && ArmedFor("Pgr " + std::to_string(Index), pipe.get());
    if (dragging) {
        pic(0).Cls();
        const double oldTop = handle.Top();
        // Dragging down lowers the level; the pipe takes it only at the commit.
        const double level = vb::Val(Text19.Text());
        handle.Top(oldTop + Y);
        const double stepped = level - FixedNumber((handle.Top() - oldTop) / 10, 2);
        const double held = HeldInRange(Index >= 1 ? PipeField::FromGround : PipeField::ToGround, stepped);
        if (held != stepped) handle.Top(oldTop + (level - held) * 10);
        Text19.Text(vb::NumberToText(held));
        NoteHandleDrag(X, Y);
        ShowValueBox(handle.Left() + 10, handle.Top() - 2, Fixed(GroundOf(*pipe, Index), 3));
    }
    if (!GridShows(*pipe)) return;
    // Element 0 stands for the downstream ground, which has its own row.
    const int row = Index >= 1 ? kRowFromGround : kRowToGround;
    MSHFlexGrid2.TextMatrix(row, 1, dragging ? Text19.Text() : Fixed(GroundOf(*pipe, Index), 3));
}

void Form1::PGR_MouseUp(int Index, int Button, int Shift, float X, float Y) {
    ReleaseHeldHandle();
    auto pipe = EndHandlePipe(PGR(Index), Index, nullptr);
    FocusEntryBox();
    if (pipe) ShowPipeInGrid(*pipe);
}

void Form1::PGR_DblClick(int Index) {
    auto pipe = EndHandlePipe(PGR(Index), Index, nullptr);
    if (!pipe) return;
    Text19.Visible(true);
    Combo1.Visible(false);
    OpenNudgePanel(GroundOf(*pipe, Index), 15);
}

// --- Length handles -------------------------------------------------------------------

void Form1::plen_MouseDown(int Index, int Button, int Shift, float X, float Y) {
    vb::PictureBox& handle = plen(Index);
    int32_t node = 0;
    auto pipe = EndHandlePipe(handle, Index, &node);
    if (!pipe) return;
    StartHandlePress(handle, *pipe);
    const std::string tag = "Plen" + std::to_string(Index);
    if (!ArmedFor(tag, pipe.get())) {
        ArmEntryBox(tag, node);
        Text19.Text(vb::SingleToText(pipe->l));
    }
    RaiseValueBox(plen, Index);
}

void Form1::plen_MouseMove(int Index, int Button, int Shift, float X, float Y) {
    vb::PictureBox& handle = plen(Index);
    auto pipe = EndHandlePipe(handle, Index, nullptr);
    if (!pipe) return;
    const bool dragging = (Button == vb::vbLeftButton || Button == vb::vbRightButton) &&
                          ArmedFor("Plen" + std::to_string(Index), pipe.get());
    if (dragging) {
        pic(0).Cls();
        const double oldLeft = handle.Left();
        // One unit of drag is one metre; the pipe takes the length at the commit.
        const double length = vb::Val(Text19.Text());
        handle.Left(oldLeft + X);
        const double stepped = length + FixedNumber(handle.Left() - oldLeft, 1);
        const double held = HeldInRange(PipeField::Length, stepped);
        if (held != stepped) handle.Left(oldLeft + (held - length));
        Text19.Text(vb::NumberToText(held));
        if (pipe->l < 1) pipe->l = 1;
        NoteHandleDrag(X, Y);
        ShowValueBox(handle.Left() + 10, handle.Top() - 2, Fixed(pipe->l, Index >= 1 ? 1 : 3));
    }
    if (!GridShows(*pipe)) return;
    MSHFlexGrid2.TextMatrix(kRowLength, 1, dragging ? Text19.Text() : Fixed(pipe->l, 2));
}

void Form1::plen_MouseUp(int Index, int Button, int Shift, float X, float Y) {
    ReleaseHeldHandle();
    vb::ErrorTrap trap;
    auto pipe = EndHandlePipe(plen(Index), Index, nullptr);
    vb::resumeNext(trap, [&] { FocusEntryBox(); });
    if (pipe) vb::resumeNext(trap, [&] { ShowPipeInGrid(*pipe); });
}

void Form1::plen_DblClick(int Index) {
    auto pipe = EndHandlePipe(plen(Index), Index, nullptr);
    if (!pipe) return;
    Text19.Visible(true);
    Combo1.Visible(false);
    OpenNudgePanel(pipe->l, 15);
}
