// The levels pass, the chainage pass and the elevation shift, over plain
// records (no window).
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "profile/levels.h"

using profile::PipeLevels;

namespace {

constexpr double kTol = 1e-4;

PipeLevels Pipe(float felv, float telv, int16_t dia, float slope, float l,
                float mincover = 2, float finv = 0, float tinv = 0) {
    PipeLevels p;
    p.felv = felv;
    p.telv = telv;
    p.dia = dia;
    p.slope = slope;
    p.l = l;
    p.mincover = mincover;
    p.finv = finv;
    p.tinv = tinv;
    return p;
}

std::vector<PipeLevels*> RunOf(std::vector<PipeLevels>& pipes) {
    std::vector<PipeLevels*> run{nullptr};
    for (auto& p : pipes) run.push_back(&p);
    return run;
}

// One levels pass over `pipes` as a whole run.
void LevelsPass(std::vector<PipeLevels>& pipes) {
    float lateralFelv = 0;
    profile::RunLevelsPass(RunOf(pipes), lateralFelv);
}

struct LevelsCase {
    const char* name;
    std::vector<PipeLevels> pipes;
    std::vector<float> finv, tinv, telv;   // expected per pipe
};

}  // namespace

TEST(LevelsPass, TableOfRuns) {
    const std::vector<LevelsCase> cases = {
        {"single pipe with enough cover downstream",
         {Pipe(102, 102, 200, 0.004f, 50)},
         {99.8f}, {99.6f}, {102}},
        {"single pipe short of cover downstream is lowered with its slope",
         {Pipe(102, 100, 200, 0.004f, 50)},
         {98.0f}, {97.8f}, {100}},
        {"larger pipe follows: crowns level, deep enough",
         {Pipe(101.2f, 103, 200, 0, 50), Pipe(103, 103, 300, 0, 10)},
         {99.0f, 98.9f}, {99.0f, 98.9f}, {103, 103}},
        {"smaller pipe follows: starts higher by the difference",
         {Pipe(101.3f, 104, 300, 0, 50), Pipe(104, 104, 200, 0, 10)},
         {99.0f, 99.1f}, {99.0f, 99.1f}, {104, 104}},
        {"smaller pipe follows but would lack cover: drops to cover",
         {Pipe(101.3f, 101, 300, 0, 50, 0.5f), Pipe(101, 101, 200, 0, 10)},
         // pipe 1: finv 100.5, telv 101 -> cover invert 100.2: lowered to 100.2
         // pipe 2: crown rule 100.3 > 101 - 2 - 0.2 = 98.8 -> 98.8
         {100.2f, 98.8f}, {100.2f, 98.8f}, {101, 101}},
        {"downstream ground taken from the next pipe, last keeps its own",
         {Pipe(102, 90, 200, 0.01f, 20), Pipe(101.5f, 95, 200, 0.01f, 20)},
         // pipe 1 tested against its old telv 90: lowered to 87.8 / 88.0
         // pipe 2: crown rule 87.8 (deep), tinv 87.6; its own telv 95 -> 92.8 ok
         {88.0f, 87.8f}, {87.8f, 87.6f}, {101.5f, 95}},
        {"a lowered pipe drags the following pipes down",
         {Pipe(102, 102, 200, 0.004f, 50), Pipe(102, 95, 200, 0.004f, 50),
          Pipe(95, 95, 200, 0.004f, 50)},
         // 1: 99.8 / 99.6; 2: crown 99.6, tinv 99.4 > 92.8 -> 92.8 / 93.0;
         // 3: crown 92.8 -> cover 92.8 (equal, unchanged), tinv 92.6
         {99.8f, 93.0f, 92.8f}, {99.6f, 92.8f, 92.6f}, {102, 95, 95}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PipeLevels> pipes = c.pipes;
        auto run = RunOf(pipes);
        float latFelv = -1;
        profile::RunLevelsPass(run, latFelv);
        EXPECT_FLOAT_EQ(latFelv, c.pipes[0].felv);
        for (size_t i = 0; i < pipes.size(); ++i) {
            SCOPED_TRACE(i + 1);
            EXPECT_NEAR(pipes[i].finv, c.finv[i], kTol);
            EXPECT_NEAR(pipes[i].tinv, c.tinv[i], kTol);
            EXPECT_NEAR(pipes[i].telv, c.telv[i], kTol);
            EXPECT_EQ(pipes[i].felv, c.pipes[i].felv) << "felv is never changed";
        }
    }
}

TEST(LevelsPass, TelvTakesEffectInTheNextRedraw) {
    // Pipe 1's stored downstream ground (110) is far higher than pipe 2's
    // upstream ground (100.5): the first pass tests it against 110 and only
    // then copies 100.5 in; the second pass lowers it.
    std::vector<PipeLevels> pipes = {Pipe(102, 110, 200, 0.004f, 50),
                                     Pipe(100.5f, 101, 200, 0.0f, 10)};
    auto run = RunOf(pipes);
    float lat = 0;
    profile::RunLevelsPass(run, lat);
    EXPECT_NEAR(pipes[0].finv, 99.8, kTol);
    EXPECT_NEAR(pipes[0].tinv, 99.6, kTol);
    EXPECT_NEAR(pipes[0].telv, 100.5, kTol);
    // Pipe 2: crown rule 99.6 > 100.5 - 2.2 = 98.3 -> 98.3.
    EXPECT_NEAR(pipes[1].finv, 98.3, kTol);

    profile::RunLevelsPass(run, lat);
    // Now pipe 1 is tested against 100.5: 99.6 > 98.3 -> lowered by 1.3.
    EXPECT_NEAR(pipes[0].tinv, 98.3, kTol);
    EXPECT_NEAR(pipes[0].finv, 98.5, kTol);
    EXPECT_NEAR(pipes[1].finv, 98.3, kTol);

    // A third pass changes nothing more.
    const auto before = pipes;
    profile::RunLevelsPass(run, lat);
    for (size_t i = 0; i < pipes.size(); ++i) {
        EXPECT_FLOAT_EQ(pipes[i].finv, before[i].finv);
        EXPECT_FLOAT_EQ(pipes[i].tinv, before[i].tinv);
    }
}

TEST(LevelsPass, CoverBoundaryIsStrict) {
    // Values chosen exact in binary: 102 - 2 - 0.25 = 99.75, slope*l = 1.
    struct B { float telv; float tinv; float finv; } cases[] = {
        {101.0f, 98.75f, 99.75f},          // exactly at cover: unchanged
        {101.5f, 98.75f, 99.75f},          // more cover: unchanged
        {100.75f, 98.5f, 99.5f},           // 0.25 short: lowered by 0.25
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.telv);
        std::vector<PipeLevels> pipes = {Pipe(102, c.telv, 250, 0.25f, 4)};
        LevelsPass(pipes);
        EXPECT_EQ(pipes[0].tinv, c.tinv);
        EXPECT_EQ(pipes[0].finv, c.finv);
    }
    // A following pipe that lies deeper than its cover is never raised.
    std::vector<PipeLevels> pipes = {Pipe(102, 102, 200, 0.004f, 50),
                                     Pipe(110, 110, 200, 0.004f, 50)};
    LevelsPass(pipes);
    EXPECT_NEAR(pipes[1].finv, 99.6, kTol);
}

TEST(LevelsPass, GroundLessCoverAndFallAreSinglePrecisionSteps) {
    // Ground less cover is rounded to single precision before the diameter
    // comes off: 90 - 0.05 gives 89.95 (single), less 0.15 -> 89.7999954,
    // where a double difference throughout would give the next single up.
    {
        std::vector<PipeLevels> pipes = {Pipe(90.0f, 95.0f, 150, 0, 10, 0.05f)};
        LevelsPass(pipes);
        EXPECT_EQ(pipes[0].finv, 89.7999954f);
        EXPECT_NE(pipes[0].finv, 89.8000031f);
    }
    // The fall slope * l is a single-precision product: 99.75 - 0.014 * 61.8.
    {
        std::vector<PipeLevels> pipes = {Pipe(102, 102, 250, 0.014f, 61.8f)};
        LevelsPass(pipes);
        EXPECT_EQ(pipes[0].finv, 99.75f);
        EXPECT_EQ(pipes[0].tinv, 98.8847961f);
    }
    // Lowered at its downstream end: tinv 100.75 - 2 - 0.25 = 98.5, and finv
    // puts the single-precision fall back on top.
    {
        std::vector<PipeLevels> pipes = {Pipe(102, 100.75f, 250, 0.014f, 61.8f)};
        LevelsPass(pipes);
        EXPECT_EQ(pipes[0].tinv, 98.5f);
        EXPECT_EQ(pipes[0].finv, 99.3652039f);
    }
}

TEST(LevelsPass, RepeatedEntryActsAsTheSamePipe) {
    PipeLevels a = Pipe(102, 102, 200, 0.004f, 50);
    std::vector<PipeLevels*> run{nullptr, &a, &a};
    float lat = 0;
    profile::RunLevelsPass(run, lat);
    // Second visit: crown rule from its own tinv (99.6), then tinv 99.4.
    EXPECT_NEAR(a.finv, 99.6, kTol);
    EXPECT_NEAR(a.tinv, 99.4, kTol);
    std::vector<PipeLevels*> empty{nullptr};
    profile::RunLevelsPass(empty, lat);   // no pipes: nothing happens
    EXPECT_NEAR(lat, 102, kTol);
}

TEST(ChainagePass, ChainagesAndSummary) {
    std::vector<PipeLevels> pipes = {Pipe(102, 101, 200, 0, 50, 2, 99.8f, 99.5f),
                                     Pipe(104, 100, 200, 0, 30, 2, 99.4f, 99.0f),
                                     Pipe(101, 99, 200, 0, 20, 2, 98.9f, 98.7f)};
    auto run = RunOf(pipes);
    profile::RunSummary s;
    s.felv = 102;          // seeded by the levels pass
    s.telv = 0;            // a new record: stays 0 against positive grounds
    s.finv = 100.5f;       // kept extreme of an earlier redraw
    s.tinv = 99.0f;
    s.l = 77;              // reset by the pass
    std::vector<profile::PipeChainage> out;
    profile::RunChainagePass(run, s, out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FLOAT_EQ(out[1].tl, 50);
    EXPECT_FLOAT_EQ(out[2].tl, 80);
    EXPECT_FLOAT_EQ(out[3].tl, 100);
    EXPECT_FLOAT_EQ(out[2].x3, 30);
    EXPECT_FLOAT_EQ(s.l, 100);
    EXPECT_FLOAT_EQ(s.tl, 100);
    EXPECT_FLOAT_EQ(s.felv, 104);
    EXPECT_FLOAT_EQ(s.telv, 0);
    EXPECT_FLOAT_EQ(s.finv, 100.5f);
    EXPECT_FLOAT_EQ(s.tinv, 98.7f);
}

// Records may hold any finite value: what the passes compute from the
// largest ones is held at the largest single of its sign, never infinite.
TEST(ChainagePass, HugeLengthsAndLevelsGiveFiniteResults) {
    constexpr float kMax = std::numeric_limits<float>::max();
    std::vector<PipeLevels> pipes = {Pipe(kMax, -kMax, 32767, kMax, kMax, -kMax),
                                     Pipe(-kMax, kMax, 200, -kMax, kMax, kMax),
                                     Pipe(102, 101, 200, 0.004f, 50)};
    LevelsPass(pipes);
    // Ground max less a cover of -max is held at max; the fall of max * max
    // is max, so the end is at 0 and then lowered to cover under a ground
    // of -max (-max + max - 32.767), which lifts the start by max again.
    EXPECT_EQ(pipes[0].finv, kMax);
    EXPECT_EQ(pipes[0].tinv, -32.767f);
    // Ground -max less a cover of max is held at -max; a rise of max * max
    // takes the end to 0, lowered to cover under a ground of max (max - max - 0.2).
    EXPECT_EQ(pipes[1].finv, -kMax);
    EXPECT_EQ(pipes[1].tinv, -0.2f);
    profile::RunSummary s;
    std::vector<profile::PipeChainage> out;
    profile::RunChainagePass(RunOf(pipes), s, out);
    EXPECT_EQ(out[2].tl, kMax);
    EXPECT_EQ(out[3].tl, kMax);
    EXPECT_EQ(s.l, kMax);
}

TEST(ElevationShift, InitialAndRebase) {
    EXPECT_FLOAT_EQ(profile::InitialElevationShift(102.3f, 104.0f, 10, 2), -94);
    EXPECT_FLOAT_EQ(profile::InitialElevationShift(102.3f, 108.0f, 10, 2), -100);
    EXPECT_FLOAT_EQ(profile::InitialElevationShift(102.3f, 115.0f, 10, 2), -94);
    EXPECT_FLOAT_EQ(profile::InitialElevationShift(102.0f, 106.0f, 10, 2), -94)
        << "d = 4 is not above 4";
    EXPECT_FLOAT_EQ(profile::InitialElevationShift(102.37f, 102.37f, 20, 4), -86);

    // H = 10, shift -94: ground 110.5 is drawn at 16.5 -> re-based to 10-110-2.
    EXPECT_FLOAT_EQ(profile::RebaseElevationShift(-94, 110.5f, 100, 10, 2), -102);
    EXPECT_FLOAT_EQ(profile::RebaseElevationShift(-94, 110.0f, 100, 10, 2), -94);
    // Downstream invert drawn at -1.5 -> re-based; exactly -1 -> not.
    EXPECT_FLOAT_EQ(profile::RebaseElevationShift(-94, 100, 92.5f, 10, 2), -92);
    EXPECT_FLOAT_EQ(profile::RebaseElevationShift(-94, 100, 93.0f, 10, 2), -94);
}
