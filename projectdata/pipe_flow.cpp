// The single-pipe calculators of the main window: the Hazen-Williams panel
// (Frame3) with its five cases, the Darcy-Weisbach flow (Frame6) and the
// Colebrook-White friction factor.  They work on their own boxes only.
//
// A calculation reads and writes through a set of pending box texts, so a
// later step sees what an earlier step wrote; the boxes change only when
// every step succeeded.  Text that is no number, a division by zero and a
// result that is no finite number are refused with a message, and the boxes
// stay as they were.
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "projectdata/colebrook.h"

namespace projectdata {

double RoundDecimals(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return vb::RoundHalfEven(v * scale) / scale;
}

FrictionResult ColebrookCalculator(float Rrel, float Re) {
    if (!std::isfinite(Rrel) || !std::isfinite(Re)) return {FrictionStatus::Invalid, 0, 0};
    if (Re < 4000) return {FrictionStatus::NotTurbulent, 0, 0};
    if (Rrel < 0) return {FrictionStatus::Invalid, 0, 0};
    const float tolerance = static_cast<float>(1.0 / 1000 / 100);
    float f0 = 0.016f;
    for (int round = 1; round <= kMaxFrictionRounds; ++round) {
        const double inner = -0.869 * std::log(double(Rrel) / 3.71 + 2.51 / (double(Re) * std::sqrt(double(f0))));
        const float f1 = static_cast<float>(std::pow(inner, -2));
        if (!std::isfinite(f1) || f1 <= 0) return {FrictionStatus::Invalid, 0, round};
        if (std::fabs(f0 - f1) < tolerance) return {FrictionStatus::Converged, RoundDecimals(f1, 4), round};
        f0 = f1;
    }
    return {FrictionStatus::NoConvergence, 0, kMaxFrictionRounds};
}

FrictionResult ColebrookChart(double Rrel, double Re, double f0) {
    if (!std::isfinite(Rrel) || !std::isfinite(Re) || Rrel < 0 || Re <= 0) return {FrictionStatus::Invalid, 0, 0};
    for (int round = 1; round <= kMaxFrictionRounds; ++round) {
        const double f1 = std::pow(-0.869 * std::log(Rrel / 3.71 + 2.51 / (Re * std::sqrt(f0))), -2);
        if (!std::isfinite(f1) || f1 <= 0) return {FrictionStatus::Invalid, 0, round};
        if (std::fabs(f0 - f1) < 0.00001) return {FrictionStatus::Converged, f1, round};
        f0 = f1;
    }
    return {FrictionStatus::NoConvergence, 0, kMaxFrictionRounds};
}

}  // namespace projectdata

namespace {

using projectdata::RoundDecimals;

struct Refusal {
    std::string message;
};

// The boxes of one calculation as it goes: reads see the texts written so
// far, and Commit puts them into the boxes.
class PendingBoxes {
public:
    explicit PendingBoxes(std::vector<std::pair<const vb::TextBox*, std::string>> captions)
        : captions_(std::move(captions)) {}

    double Number(const vb::TextBox& box) const {
        const std::string text = Text(box);
        double v = 0;
        if (!vb::ParseNumericText(text, v) || !std::isfinite(v)) {
            throw Refusal{"\"" + text + "\" in the box " + Caption(box) + " is not a number."};
        }
        return v;
    }
    void Write(vb::TextBox& box, double v) {
        if (!std::isfinite(v)) {
            throw Refusal{"The box " + Caption(box) + " would get no finite number: check the values entered."};
        }
        for (auto& w : written_) {
            if (w.first == &box) {
                w.second = vb::NumberToText(v);
                return;
            }
        }
        written_.emplace_back(&box, vb::NumberToText(v));
    }
    void Commit() {
        for (auto& [box, text] : written_) box->Text(text);
    }

private:
    std::string Text(const vb::TextBox& box) const {
        for (const auto& w : written_)
            if (w.first == &box) return w.second;
        return box.Text();
    }
    std::string Caption(const vb::TextBox& box) const {
        for (const auto& c : captions_)
            if (c.first == &box) return "\"" + c.second + "\"";
        return "";
    }
    std::vector<std::pair<const vb::TextBox*, std::string>> captions_;
    std::vector<std::pair<vb::TextBox*, std::string>> written_;
};

double Divide(double a, double b) {
    if (b == 0) throw Refusal{"Can't divide by zero"};
    return a / b;
}

// Runs a calculation; a refusal is shown and leaves every box as it was.
template <class Steps>
void Calculate(PendingBoxes& boxes, Steps&& steps) {
    try {
        steps();
        boxes.Commit();
    } catch (const Refusal& r) {
        vb::MsgBox(r.message, vb::vbExclamation + vb::vbOKOnly, "Calculator");
    }
}

}  // namespace

void Form1::Option1_Click(int /*Index*/) {
    for (vb::TextBox* box : {&Text4, &Text8, &Text5, &Text6, &Text7}) box->Enabled(true);
    if (Option1(0).Value()) {
        Text4.Enabled(false);
    } else if (Option1(1).Value()) {
        Text8.Enabled(false);
    } else if (Option1(2).Value()) {
        Text5.Enabled(false);
    } else if (Option1(3).Value()) {
        Text6.Enabled(false);
    } else if (Option1(4).Value()) {
        Text7.Enabled(false);
        Text5.Enabled(false);
    }
}

void Form1::Commandcalculate_Click() {
    PendingBoxes boxes({{&Text4, Label2.Caption()},
                        {&Text8, HazenDiameterCaption.Caption()},
                        {&Text2, HazenSlopeCaption.Caption()},
                        {&Text3, HazenCCaption.Caption()},
                        {&Text5, HazenHeadLossCaption.Caption()},
                        {&Text6, HazenVelocityCaption.Caption()},
                        {&Text7, HazenLengthCaption.Caption()}});
    // Full-pipe flow in l/s (two decimals), from C, the diameter and the slope.
    auto flow = [&] {
        const double C = boxes.Number(Text3), D = boxes.Number(Text8) / 1000, S = boxes.Number(Text2);
        return vb::RoundHalfEven(0.2784 * C * std::pow(D, 2.63) * std::pow(S, 0.54) * 100000) / 100;
    };
    // The mean velocity is that flow (before it is rounded for its box) over
    // the full bore's area pi D^2 / 4, with D^2 cancelled in the exponent so
    // that a zero diameter gives 0 as the flow does.
    auto velocity = [&] {
        const double C = boxes.Number(Text3), D = boxes.Number(Text8) / 1000, S = boxes.Number(Text2);
        return RoundDecimals(0.2784 / (std::numbers::pi / 4) * C * std::pow(D, 0.63) * std::pow(S, 0.54), 2);
    };
    auto lengthFromHeadLoss = [&] { return Divide(boxes.Number(Text5), boxes.Number(Text2)); };

    Calculate(boxes, [&] {
        if (Option1(0).Value()) {
            boxes.Write(Text4, flow());
            boxes.Write(Text6, velocity());
            boxes.Write(Text7, lengthFromHeadLoss());
            boxes.Write(Text5, boxes.Number(Text7) * boxes.Number(Text2));
        } else if (Option1(1).Value()) {
            const double Q = boxes.Number(Text4) / 1000, S = boxes.Number(Text2), C = boxes.Number(Text3);
            const double base = Divide(Divide(Divide(Q, std::pow(S, 0.54)), C), 0.2784);
            boxes.Write(Text8, std::pow(base, 0.38023) * 1000);
        } else if (Option1(2).Value()) {
            const double L = boxes.Number(Text7), Q = boxes.Number(Text4) / 1000, C = boxes.Number(Text3),
                         D = boxes.Number(Text8) / 1000;
            boxes.Write(Text5,
                        RoundDecimals(Divide(10.68 * L * std::pow(Q, 1.85), std::pow(C, 1.85) * std::pow(D, 4.87)), 4));
            boxes.Write(Text2, RoundDecimals(Divide(boxes.Number(Text5), boxes.Number(Text7)), 4));
        } else if (Option1(3).Value()) {
            boxes.Write(Text6, velocity());
            boxes.Write(Text4, flow());
        } else if (Option1(4).Value()) {
            boxes.Write(Text4, flow());
            boxes.Write(Text7, lengthFromHeadLoss());
        }
    });
}

void Form1::Option2_Click(int /*Index*/) {
    for (vb::TextBox* box : {&Text9, &Text10, &Text11, &Text12, &Text13, &Text14, &Text15, &Text16, &Text17})
        box->Enabled(true);
}

void Form1::Commandarcy_Click() {
    // Only the flow has a calculation.
    if (!Option2(0).Value()) return;
    PendingBoxes boxes({{&Text9, DarcyDiameterCaption.Caption()},
                        {&Text11, DarcyFCaption.Caption()},
                        {&Text15, DarcyLengthCaption.Caption()},
                        {&Text12, DarcyFlowCaption.Caption()}});
    Calculate(boxes, [&] {
        const double D = boxes.Number(Text9) / 1000, f = boxes.Number(Text11), L = boxes.Number(Text15);
        boxes.Write(Text12, RoundDecimals(std::sqrt(Divide(Divide(12.1 * std::pow(D, 5), f), L)), 3));
    });
}

void Form1::Commandf_Click() {
    PendingBoxes boxes({{&Text17, DarcyReCaption.Caption()},
                        {&Text16, DarcyRoughnessCaption.Caption()},
                        {&Text9, DarcyDiameterCaption.Caption()},
                        {&Text11, DarcyFCaption.Caption()}});
    try {
        vb::Variant Re(static_cast<float>(boxes.Number(Text17)));
        vb::Variant Rrel(static_cast<float>(Divide(boxes.Number(Text16), boxes.Number(Text9))));
        vb::Variant result;
        try {
            result = darcyFrictionFactorColebrook_Rrel_Re(Rrel, Re);
        } catch (const vb::VbError& e) {
            throw Refusal{e.Description()};
        }
        Text11.Text(vb::CStr(result));
    } catch (const Refusal& r) {
        vb::MsgBox(r.message, vb::vbExclamation + vb::vbOKOnly, "Calculator");
    }
}

vb::Variant Form1::darcyFrictionFactorColebrook_Rrel_Re(vb::Variant& Rrel, vb::Variant& Re) {
    using projectdata::FrictionStatus;
    const projectdata::FrictionResult r = projectdata::ColebrookCalculator(vb::CSng(Rrel), vb::CSng(Re));
    switch (r.status) {
        case FrictionStatus::Converged: return vb::Variant(r.f);
        case FrictionStatus::NotTurbulent: return vb::Variant("Flow is not turbulent");
        case FrictionStatus::Invalid:
            throw vb::VbError(vb::errInvalidProcedureCall,
                              "The friction factor needs a Reynolds number and a relative roughness of at most "
                              "3.4E+38 in size, the roughness 0 or more.",
                              "Form1.darcyFrictionFactorColebrook_Rrel_Re");
        case FrictionStatus::NoConvergence: break;
    }
    throw vb::VbError(vb::errInvalidProcedureCall,
                      "The friction factor does not settle for these values.",
                      "Form1.darcyFrictionFactorColebrook_Rrel_Re");
}

void Form1::Commandhazen_Click() {
    // The Darcy-Weisbach panel has no button of its own: it comes and goes
    // with the Hazen-Williams panel.
    const bool show = !Frame3.Visible();
    Frame3.Visible(show);
    Frame6.Visible(show);
}

void Form1::Command17_Click() { Commandhazen_Click(); }

void Form1::BuildCalculators() {
    // Captions left of their boxes (the boxes lie at 1500 twips, 420 apart).
    auto captionAt = [](vb::Label& label, int row) { label.Move(100, 330 + row * 420, 1380, 240); };
    int row = 1;
    for (vb::Label* l : {&HazenDiameterCaption, &HazenSlopeCaption, &HazenCCaption, &HazenHeadLossCaption,
                         &HazenVelocityCaption, &HazenLengthCaption})
        captionAt(*l, row++);
    HazenFormula.Move(100, 3400, 4200, 240);
    row = 0;
    for (vb::Label* l : {&DarcyFlowCaption, &DarcyDiameterCaption, &DarcyHeadLossCaption, &DarcyLengthCaption,
                         &DarcyVelocityCaption, &DarcyReCaption, &DarcyRoughnessCaption, &DarcyFCaption,
                         &DarcySCaption})
        captionAt(*l, row++);
    DarcyRugosityNote.Move(2700, 3350, 1650, 240);
    DarcyViscosityNote.Move(2700, 3650, 1650, 240);
    DarcyFormula.Move(100, 4150, 4200, 240);

    Commandcalculate.Click = [this] { Commandcalculate_Click(); };
    Option2.Click = [this](int Index) { Option2_Click(Index); };
    Commandarcy.Click = [this] { Commandarcy_Click(); };
    Commandf.Click = [this] { Commandf_Click(); };
    Commandhazen.Click = [this] { Commandhazen_Click(); };
    Command17.Click = [this] { Command17_Click(); };
    Command23.Click = [this] { Command23_Click(); };
}
