#include <gtest/gtest.h>

#include <cmath>

#include "model/partial_flow.h"

using namespace model;

TEST(PartialFlow, CurveFunctions) {
    ASSERT_TRUE(ArcSin(0.5));
    EXPECT_NEAR(*ArcSin(0.5), 0.5235988f, 1e-6);
    EXPECT_NEAR(*ArcSin(-0.5), -0.5235988f, 1e-6);
    EXPECT_FALSE(ArcSin(1.0));   // no value instead of a division by zero
    EXPECT_FALSE(ArcSin(-1.0));
    EXPECT_FALSE(ArcSin(1.0000001));
    EXPECT_FALSE(ArcSin(std::nan("")));

    EXPECT_NEAR(*HdFromQRatio(0.5), 0.49995, 2e-5);
    EXPECT_NEAR(*HdFromQRatio(0.48208), 0.48912, 2e-5);
    EXPECT_FALSE(HdFromQRatio(1.0));  // exactly full flow
    EXPECT_NEAR(*HdFromQRatio(0.999999), 0.99665, 2e-3);
    EXPECT_NEAR(*HdFromQRatio(0.0), 0.00325, 1e-6);  // 0.0033 - 0.00005
    EXPECT_FALSE(HdFromQRatio(1.0000001));
    EXPECT_FALSE(HdFromQRatio(-0.1));

    EXPECT_FLOAT_EQ(*VRatioFromHd(0.0), -0.1372f);
    EXPECT_NEAR(*VRatioFromHd(0.48912), 0.99297, 2e-5);
    EXPECT_TRUE(VRatioFromHd(1.426));
    EXPECT_FALSE(VRatioFromHd(-0.01));
    EXPECT_FALSE(VRatioFromHd(1.5));
}

TEST(PartialFlow, ReadOutOfThePipe) {
    PartialFlowResult r = ShowPartialFlow(10, 0.004, 200);
    ASSERT_TRUE(r.computed);
    ASSERT_TRUE(r.writeCaptions);
    EXPECT_NEAR(r.Qf, 20.7435, 1e-3);
    EXPECT_NEAR(r.q, 0.48208, 1e-5);
    EXPECT_NEAR(r.h, 0.48912, 2e-5);
    EXPECT_NEAR(r.Vf, 0.66029, 1e-5);
    EXPECT_NEAR(r.V, 0.65565, 1e-5);
    EXPECT_EQ(r.qCaption, "Qd/Qf=0.48");
    EXPECT_EQ(r.hCaption, "H/D=0.49");
    EXPECT_EQ(r.vfCaption, "Vful=0.66");
    EXPECT_EQ(r.vCaption, "VD=0.66");
    // A trickle in a large pipe, where the velocity fit is below 0: V keeps
    // the computed value, the caption shows 0.
    PartialFlowResult trickle = ShowPartialFlow(0.001, 0.004, 1000);
    EXPECT_LT(trickle.V, -0.01);
    EXPECT_EQ(trickle.vCaption, "VD=0");

    // Design flow exactly at capacity: no value, captions left alone.
    PartialFlowResult full = ShowPartialFlow(r.Qf, 0.004, 200, 0.3, 0.7);
    EXPECT_FALSE(full.computed);
    EXPECT_FALSE(full.writeCaptions);
    EXPECT_EQ(full.q, 0.3);

    // No flow, or more than the pipe carries: nothing computed, nothing written.
    for (double qd : {0.0, 25.0}) {
        PartialFlowResult n = ShowPartialFlow(qd, 0.004, 200, 0.3, 0.7);
        EXPECT_FALSE(n.writeCaptions) << qd;
        EXPECT_FALSE(n.computed);
        EXPECT_EQ(n.q, 0.3);
        EXPECT_EQ(n.V, 0.7);
    }
    // A diameter of 0 or below or a negative flow gives no value instead of
    // dividing by zero or taking the root of a negative number.
    for (double d : {0.0, -200.0}) EXPECT_FALSE(ShowPartialFlow(-5, 0.004, d).writeCaptions) << d;
    EXPECT_FALSE(ShowPartialFlow(10, 0.004, -200).writeCaptions);
    EXPECT_FALSE(ShowPartialFlow(-5, 0.004, 200).writeCaptions);

    // No slope: the captions are written from the values passed in.
    PartialFlowResult flat = ShowPartialFlow(10, 0, 200);
    EXPECT_TRUE(flat.writeCaptions);
    EXPECT_FALSE(flat.computed);
    EXPECT_EQ(flat.qCaption, "Qd/Qf=0");
    EXPECT_EQ(flat.hCaption, "H/D=0");
    EXPECT_EQ(flat.vfCaption, "Vful=0");
    EXPECT_EQ(flat.vCaption, "VD=0");
    PartialFlowResult kept = ShowPartialFlow(10, -0.01, 200, 0.125, 1.005);
    EXPECT_EQ(kept.qCaption, "Qd/Qf=0.12");   // 12.5 rounds to the even 12
    EXPECT_EQ(kept.vCaption, "VD=1");
}

TEST(PartialFlow, ReadoutRounding) {
    EXPECT_EQ(RoundedReadout(0.5), "0.5");
    EXPECT_EQ(RoundedReadout(0.125), "0.12");
    EXPECT_EQ(RoundedReadout(0.135), "0.14");
    EXPECT_EQ(RoundedReadout(1.0), "1");
    EXPECT_EQ(RoundedReadout(0.4749), "0.47");
}
