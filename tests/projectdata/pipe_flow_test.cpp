// The single-pipe calculators and the friction-factor chart, driven through
// the real main window: one table of cases with their box texts before and
// after, the refusals that leave the boxes alone, and the chart on the
// profile picture's draw log.
#include <cmath>
#include <map>
#include <set>

#include "profile/format.h"
#include "projectdata/colebrook.h"
#include "tests/mainwindow/form1_fixture.h"

namespace {

struct CalcCase {
    const char* what;
    enum Button { Hazen, Darcy, Friction } button;
    int option;                                        // Option1 or Option2 element to select
    std::map<std::string, std::string> in;             // box -> text before
    std::map<std::string, std::string> out;            // box -> exact text after
    std::map<std::string, double> near;                // box -> number after (1e-9)
    const char* refusal;                               // start of the message, or null
};

}  // namespace

class PipeFlowTest : public Form1Test {
protected:
    vb::TextBox& Box(const std::string& name) {
        static const std::map<std::string, vb::TextBox Form1::*> boxes = {
            {"Text2", &Form1::Text2},   {"Text3", &Form1::Text3},   {"Text4", &Form1::Text4},
            {"Text5", &Form1::Text5},   {"Text6", &Form1::Text6},   {"Text7", &Form1::Text7},
            {"Text8", &Form1::Text8},   {"Text9", &Form1::Text9},   {"Text10", &Form1::Text10},
            {"Text11", &Form1::Text11}, {"Text12", &Form1::Text12}, {"Text13", &Form1::Text13},
            {"Text14", &Form1::Text14}, {"Text15", &Form1::Text15}, {"Text16", &Form1::Text16},
            {"Text17", &Form1::Text17}};
        return f().*boxes.at(name);
    }
    std::map<std::string, std::string> AllBoxes() {
        std::map<std::string, std::string> texts;
        for (int n = 2; n <= 17; ++n) texts["Text" + std::to_string(n)] = Box("Text" + std::to_string(n)).Text();
        return texts;
    }
};

TEST_F(PipeFlowTest, CasesGiveTheirNumbersAndRefuseBadInput) {
    const CalcCase cases[] = {
        // Hazen-Williams with the initial texts (D 100, S .01, C 100, hf 0.1).
        {"flow", CalcCase::Hazen, 0, {}, {{"Text4", "5.43"}, {"Text6", "0.69"}, {"Text7", "10"}, {"Text5", "0.1"}}, {}, nullptr},
        // The length and head loss are read back from the boxes' texts.
        {"flow, read back", CalcCase::Hazen, 0, {{"Text2", ".03"}}, {{"Text4", "9.82"}, {"Text6", "1.25"}, {"Text7", "3.33333333333333"}, {"Text5", "0.0999999999999999"}}, {}, nullptr},
        // (0.012 / 0.005^0.54 / 120 / 0.2784)^0.38023 = (0.012 / 0.0572063 / 120
        // / 0.2784)^0.38023 = 0.00627895^0.38023 = 0.145442 m.
        {"diameter", CalcCase::Hazen, 1, {{"Text4", "12"}, {"Text2", ".005"}, {"Text3", "120"}}, {}, {{"Text8", 145.442242252381}}, nullptr},
        // 10.68 * 100 * 0.005^1.85 / (100^1.85 * 0.1^4.87) = 1068 * 5.53471E-05
        // / (5011.87 * 1.34896E-05) = 0.87431; slope 0.8743 / 100 -> 0.0087.
        {"head loss", CalcCase::Hazen, 2, {{"Text7", "100"}, {"Text4", "5"}}, {{"Text5", "0.8743"}, {"Text2", "0.0087"}}, {}, nullptr},
        {"velocity", CalcCase::Hazen, 3, {{"Text3", "130"}, {"Text8", "250"}, {"Text2", ".002"}}, {{"Text6", "0.67"}, {"Text4", "32.94"}}, {}, nullptr},
        {"length", CalcCase::Hazen, 4, {{"Text3", "130"}, {"Text8", "250"}, {"Text2", ".002"}, {"Text5", "3"}}, {{"Text4", "32.94"}, {"Text7", "1500"}}, {}, nullptr},
        // Q = 0.2784 * 120 * 0.45^2.63 * 0.04^0.54 = 33.408 * 0.122447 * 0.175838
        //   = 0.719303 m3/s -> 719.3 l/s; V = Q / (pi 0.45^2 / 4) = 33.408
        //   * 0.45^0.63 (0.604678) * 0.175838 / (pi / 4) = 3.5521 / 0.785398
        //   = 4.5227 -> 4.52; L = 0.1 / 0.04 = 2.5, hf = 2.5 * 0.04.
        // A change of one percent in any of the constants moves both results.
        {"flow, large pipe", CalcCase::Hazen, 0, {{"Text8", "450"}, {"Text2", ".04"}, {"Text3", "120"}}, {{"Text4", "719.3"}, {"Text6", "4.52"}, {"Text7", "2.5"}, {"Text5", "0.1"}}, {}, nullptr},
        {"darcy flow", CalcCase::Darcy, 0, {}, {{"Text12", "0.078"}}, {}, nullptr},
        // sqrt(12.1 * 0.5^5 / 0.02 / 1) = sqrt(0.378125 / 0.02) = sqrt(18.90625)
        // = 4.34813 -> 4.348 (12.2 would give 4.366, an exponent of 5.05 4.274).
        {"darcy flow, large pipe", CalcCase::Darcy, 0, {{"Text9", "500"}}, {{"Text12", "4.348"}}, {}, nullptr},
        {"darcy other case does nothing", CalcCase::Darcy, 2, {}, {}, {}, nullptr},
        // e/D 0.0013 at Re 4000: f = 0.04117 is the fixed point, since
        // sqrt f = 0.20290, 2.51 / (4000 * 0.20290) = 0.0030926, plus
        // 0.0013 / 3.71 = 0.0003504 gives 0.0034430, ln = -5.67140, and
        // (0.869 * 5.67140)^-2 = 4.92845^-2 = 0.04117 -> 0.0412 (0.869 or 2.51
        // one percent off: 0.0405 to 0.0419, 0.0411 to 0.0413).
        {"friction factor", CalcCase::Friction, 0, {}, {{"Text11", "0.0412"}}, {}, nullptr},
        {"smooth pipe", CalcCase::Friction, 0, {{"Text16", "0"}, {"Text17", "100000"}}, {{"Text11", "0.018"}}, {}, nullptr},
        // Fully rough: e/D = 20/100 = 0.2 and Re 1E7 leave the Reynolds term
        // (2.51 / (1E7 * 0.394) = 6E-7) negligible beside 0.2 / 3.71 = 0.0539,
        // so f = (0.869 * ln(3.71 / 0.2))^-2 = (0.869 * 2.92047)^-2
        // = 2.53789^-2 = 0.15526 -> 0.1553 (3.71 one percent off: 0.1542 or 0.1563).
        {"rough pipe", CalcCase::Friction, 0, {{"Text16", "20"}, {"Text17", "10000000"}}, {{"Text11", "0.1553"}}, {}, nullptr},
        {"not turbulent", CalcCase::Friction, 0, {{"Text17", "3999"}, {"Text16", "-0.13"}}, {{"Text11", "Flow is not turbulent"}}, {}, nullptr},
        // Refused: the boxes keep their texts.
        {"letters", CalcCase::Hazen, 0, {{"Text2", "abc"}}, {}, {}, "\"abc\" in the box \"Slope:\""},
        {"empty box", CalcCase::Hazen, 2, {{"Text8", ""}}, {}, {}, "\"\" in the box \"Diamete(mm)r:\""},
        {"zero slope", CalcCase::Hazen, 0, {{"Text2", "0"}}, {}, {}, "Can't divide by zero"},
        {"zero length", CalcCase::Hazen, 2, {{"Text7", "0"}}, {}, {}, "Can't divide by zero"},
        {"negative slope", CalcCase::Hazen, 3, {{"Text2", "-0.01"}}, {}, {}, "The box \"Velosity:\" would get no finite"},
        {"huge diameter", CalcCase::Hazen, 0, {{"Text8", "1E300"}}, {}, {}, "The box \"Flow(l/s)\" would get no finite"},
        {"zero friction", CalcCase::Darcy, 0, {{"Text11", "0"}}, {}, {}, "Can't divide by zero"},
        {"text left in f", CalcCase::Darcy, 0, {{"Text11", "Flow is not turbulent"}}, {}, {}, "\"Flow is not turbulent\" in the box \"f\""},
        {"zero diameter", CalcCase::Friction, 0, {{"Text9", "0"}}, {}, {}, "Can't divide by zero"},
        {"negative roughness", CalcCase::Friction, 0, {{"Text16", "-0.13"}}, {}, {}, "The friction factor needs"},
        {"huge reynolds", CalcCase::Friction, 0, {{"Text17", "1E60"}}, {}, {}, "The friction factor needs"},
    };
    const auto initial = AllBoxes();
    for (const CalcCase& c : cases) {
        for (const auto& [box, text] : initial) Box(box).Text(text);
        for (const auto& [box, text] : c.in) Box(box).Text(text);
        const auto before = AllBoxes();
        dialogs().ClearLog();
        switch (c.button) {
            case CalcCase::Hazen:
                f().Option1(c.option).Value(true);
                f().Commandcalculate.Click();
                break;
            case CalcCase::Darcy:
                f().Option2(c.option).Value(true);
                f().Commandarcy.Click();
                break;
            case CalcCase::Friction: f().Commandf.Click(); break;
        }
        auto expected = before;
        for (const auto& [box, text] : c.out) expected[box] = text;
        auto after = AllBoxes();
        for (const auto& [box, value] : c.near) {
            EXPECT_NEAR(vb::Val(after[box]), value, 1e-9) << c.what;
            after[box] = expected[box];
        }
        EXPECT_EQ(after, expected) << c.what;
        if (c.refusal) {
            ASSERT_EQ(dialogs().Messages().size(), 1u) << c.what;
            EXPECT_EQ(dialogs().Messages()[0].prompt.rfind(c.refusal, 0), 0u) << c.what << ": " << dialogs().Messages()[0].prompt;
            EXPECT_EQ(dialogs().Messages()[0].title, "Calculator");
        } else {
            EXPECT_TRUE(dialogs().Messages().empty()) << c.what;
        }
    }
    f().Option2(0).Value(true);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);

    // Roundings take a half to the even neighbour.
    EXPECT_DOUBLE_EQ(projectdata::RoundDecimals(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(projectdata::RoundDecimals(0.375, 2), 0.38);
    EXPECT_DOUBLE_EQ(projectdata::RoundDecimals(-2.5, 0), -2);
    // The iteration: relative roughness 0.0013 at Re 4000 (turbulent) takes six rounds;
    // non-finite input is refused rather than iterated.
    const auto r = projectdata::ColebrookCalculator(0.0013f, 4000);
    EXPECT_EQ(r.status, projectdata::FrictionStatus::Converged);
    EXPECT_EQ(r.rounds, 6);
    EXPECT_EQ(projectdata::ColebrookCalculator(NAN, 5000).status, projectdata::FrictionStatus::Invalid);
    EXPECT_EQ(projectdata::ColebrookCalculator(0.001f, INFINITY).status, projectdata::FrictionStatus::Invalid);
    EXPECT_EQ(projectdata::ColebrookChart(0.01, NAN, 0.08).status, projectdata::FrictionStatus::Invalid);
}

TEST_F(PipeFlowTest, OptionsEnableTheirBoxesAndButtonsTogglePanels) {
    // Start-up leaves the flow case: its result box is disabled.
    EXPECT_FALSE(f().Text4.Enabled());
    EXPECT_TRUE(f().Text8.Enabled());
    const std::pair<int, std::set<std::string>> disabled[] = {
        {0, {"Text4"}}, {1, {"Text8"}}, {2, {"Text5"}}, {3, {"Text6"}}, {4, {"Text7", "Text5"}}};
    for (const auto& [option, off] : disabled) {
        f().Option1(option).Value(true);
        for (const char* name : {"Text4", "Text8", "Text5", "Text6", "Text7", "Text2", "Text3"}) {
            vb::TextBox& box = Box(name);
            EXPECT_EQ(box.Enabled(), !off.count(name)) << option << " " << name;
        }
    }
    f().Text11.Enabled(false);
    f().Option2(3).Value(true);
    EXPECT_TRUE(f().Text11.Enabled());

    EXPECT_FALSE(f().Frame3.Visible());
    f().Commandhazen.Click();
    EXPECT_TRUE(f().Frame3.Visible());
    EXPECT_TRUE(f().Frame6.Visible());
    f().Command17.Click();
    EXPECT_FALSE(f().Frame3.Visible());
    EXPECT_FALSE(f().Frame6.Visible());
}

TEST_F(PipeFlowTest, ChartDrawsFifteenCurvesTicksAndLabels) {
    f().Picture1.Cls();
    f().Command23.Click();
    const auto& log = f().Picture1.DrawLog();
    auto screenX = [](double x) { return x + ProfileOffsetX; };
    auto screenY = [](double y) { return ProfileOffsetY - 10 * y; };

    std::map<int32_t, int> curveColours;   // colour -> segments
    std::map<int32_t, int> tickColours;
    std::map<std::string, int> labels;
    int zeroLength = 0;
    const double firstX = 50 * std::log10(5000.0) - 200;
    bool firstPointSeen = false;
    double highestCurveEnd = 1e9;
    for (const auto& e : log) {
        if (e.kind == vb::DrawEntry::Kind::Text) {
            ++labels[e.text];
            continue;
        }
        ASSERT_EQ(e.kind, vb::DrawEntry::Kind::Line);
        const bool tick = e.x1 == e.x2 && std::abs(e.y1 - screenY(5)) < 1e-6 && std::abs(e.y2 - screenY(-5)) < 1e-6;
        if (tick) {
            ++tickColours[e.color];
            continue;
        }
        ++curveColours[e.color];
        if (e.x1 == e.x2 && e.y1 == e.y2) ++zeroLength;
        if (!firstPointSeen) {
            // The first curve point: r 0.010 at Re 5000.
            EXPECT_NEAR(e.x1, screenX(firstX), 1e-4);
            EXPECT_NEAR(e.y1, screenY(-0.8418008969870012), 1e-4);
            firstPointSeen = true;
        }
        if (std::abs(e.x2 - screenX(150)) < 1e-4) highestCurveEnd = std::min(highestCurveEnd, e.y2);
    }
    // 15 roughnesses, colours 10 to 24, 36 segments each (6 + 10 + 10 + 10),
    // four of them of zero length (one per decade).
    ASSERT_EQ(curveColours.size(), 15u);
    for (int c = 10; c <= 24; ++c) EXPECT_EQ(curveColours[AciColor(static_cast<int16_t>(c))], 36) << c;
    EXPECT_EQ(zeroLength, 15 * 4);
    // Ticks in the colours 4 to 7, ten per decade, once per roughness.
    ASSERT_EQ(tickColours.size(), 4u);
    for (int c = 4; c <= 7; ++c) EXPECT_EQ(tickColours[AciColor(static_cast<int16_t>(c))], 150) << c;
    // Labels 1 to 10 under every decade, once per roughness.
    ASSERT_EQ(labels.size(), 10u);
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(labels[std::to_string(n)], 60) << n;
    // At Re 10^7 the roughest curve (0.024) lies highest on the chart.
    EXPECT_NEAR(highestCurveEnd, screenY(0.6359236616726172), 1e-4);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
