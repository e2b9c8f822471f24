// Scroll bars that change a number by fixed steps: the nudge panel's arrow
// bars (Text18 by 0.01), the first pipe's slope bars (VScroll3 to VScroll5,
// 0.0001 a step) and the slope bar of every pipe with handles (VSlope, 0.001 a
// step).  Every bar measures a change from its own position when it last
// changed, so moving one bar never turns into a step of another.
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "model/partial_flow.h"
#include "platform/runtime/conversions.h"
#include "profile/format.h"

namespace {

// Takes the bar's step since its previous position and records the new one.
int TakeStep(const vb::ScrollBar& bar, int& previous) {
    const int step = bar.Value() - previous;
    previous = bar.Value();
    return step;
}

}  // namespace

// --- The nudge panel ---------------------------------------------------------------

void Form1::VScrol1_Change() {
    // The bar grows downwards: moving it down lowers the number.
    const int step = TakeStep(VScrol1, scrol1Previous_);
    Text18.Text(vb::NumberToText(vb::Val(Text18.Text()) - step / 100.0));
    // The other bar follows without a step of its own.
    scrol2Previous_ = VScrol1.Value();
    VScrol2.Value(VScrol1.Value());
}

void Form1::VScrol2_Change() {
    const int step = TakeStep(VScrol2, scrol2Previous_);
    Text18.Text(vb::NumberToText(vb::Val(Text18.Text()) - step / 100.0));
    scrol1Previous_ = VScrol2.Value();
    VScrol1.Value(VScrol2.Value());
}

// --- The first pipe's slope bars ---------------------------------------------------------

void Form1::VScroll3_Change() { scroll3Previous_ = VScroll3.Value(); }

void Form1::VScroll5_Change() {
    const int step = TakeStep(VScroll5, scroll5Previous_);
    // Nothing to change while the lateral shown has no pipe, or while the run
    // no longer matches it (its first entry would name another node).
    if (RunCount < 1 || !ProfileRunIsCurrent(CurrentLateralName)) return;
    auto first = RunRecord(1);
    if (!first) return;
    first->slope = first->slope - static_cast<float>(step) / 10000.0f;
    scroll4Previous_ = VScroll5.Value();
    VScroll4.Value(VScroll5.Value());
    draw();
}

void Form1::VScroll4_Change() {
    scroll4Previous_ = VScroll4.Value();
    // The fine bar moves to the same place without changing the slope.
    scroll5Previous_ = VScroll4.Value();
    VScroll5.Value(VScroll4.Value());
    if (RunCount < 1) return;
    draw();
}

// --- Per-pipe slope bars -----------------------------------------------------------------

void Form1::VSlope_Change(int Index) {
    int32_t node = 0;
    auto pipe = TaggedPipe(VSlope(Index), &node);
    const auto k = static_cast<size_t>(Index);
    if (!pipe || Index < 1 || k >= SlopeBarBase.size()) return;
    vb::VScrollBar& bar = VSlope(Index);
    ArmEntryBox("Vslo" + std::to_string(Index), node);
    const float d = (static_cast<float>(bar.Value()) - SlopeBarBase[k]) / 1000.0f;
    pipe->slope = pipe->slope - d;
    const std::string shown = vb::CStr(FormatFixed(vb::Variant(pipe->slope), 4));
    pic(0).Visible(true);
    PlaceValueBox(bar.Left() + 10, bar.Top() + 10);
    ReleaseHeldHandle();
    ValueBoxToFront();
    pic(0).Cls();
    pic(0).Print(shown);
    Text19.Text(shown);
    SlopeBarBase[k] = static_cast<float>(bar.Value());
    Text19.Visible(true);
    Combo1.Visible(false);
    FocusEntryBox();
    Form_Click();
    ShowPipePartialFlow(*pipe);
    ShowPipeInGrid(*pipe);
}

void Form1::ShowPipePartialFlow(const model::Sewer& pipe) {
    const model::PartialFlowResult r = model::ShowPartialFlow(pipe.qd, pipe.slope, pipe.dia);
    if (!r.writeCaptions) return;
    Label32.Caption(r.qCaption);
    Label33.Caption(r.hCaption);
    Label34.Caption(r.vfCaption);
    Label35.Caption(r.vCaption);
}
