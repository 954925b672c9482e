// Interpolation, normalisation, Bezier curves and the signed largest-magnitude search.

#include "engine/NumericHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(NumericHelpers, LerpAndNormalise) {
    EXPECT_EQ(lerp(10.0, 400.0, 0.0), 10.0);
    EXPECT_EQ(lerp(10.0, 400.0, 1.0), 400.0);
    EXPECT_EQ(lerp(10.0, 400.0, 0.25), 107.5);
    EXPECT_EQ(lerp(10.0, 400.0, 2.0), 790.0);  // extrapolates

    EXPECT_EQ(normalise(5.0, 7.0, 5.0), 0.0);
    EXPECT_EQ(normalise(1.0, 1024.0, 1023.0), 1023.0 / 1022.0);
    EXPECT_EQ(normalise(-10.0, 0.0, 10.0), 0.5);
    EXPECT_EQ(normalise(10.0, 0.0, -10.0), 0.5);  // falling range
    EXPECT_EQ(normalise(0.0, -5.0, 10.0), -0.5);
    // Level mapping as the analysis uses it: the upper limit lands on the top row.
    EXPECT_EQ(lerp(20.0, 400.0, normalise(1000.0, 1000.0, -1000.0)), 20.0);
}

TEST(NumericHelpers, BezierEndpointsAndMidpoints) {
    for (double p1 : {-3.0, 0.0, 0.5, 7.0}) {
        EXPECT_EQ(quadBezier(p1, 1.0, 1.0), 1.0);
        EXPECT_EQ(quadBezier(p1, 1.0, 0.0), 0.0);
        EXPECT_EQ(quadBezier(p1, 1.0, 0.5), 0.5 * p1 + 0.25);
    }
    EXPECT_EQ(cubicBezier(1.0, 5.0, 6.0, 512.0, 0.0), 1.0);
    EXPECT_EQ(cubicBezier(1.0, 5.0, 6.0, 512.0, 1.0), 512.0);
    // At t = 1/2 the weights are 1/8, 3/8, 3/8, 1/8.
    EXPECT_EQ(cubicBezier(8.0, 16.0, 24.0, 32.0, 0.5), 1.0 + 6.0 + 9.0 + 4.0);
    // Equally spaced control values give a straight line.
    EXPECT_NEAR(cubicBezier(0.0, 1.0, 2.0, 3.0, 0.3), 0.9, 1e-15);
}

TEST(NumericHelpers, AbsPeakKeepsSignAndFirstOfEqualMagnitudes) {
    const std::vector<double> a = {3.0, -5.0, 5.0};
    EXPECT_EQ(absPeak(a.data(), 0, 2), -5.0);
    const std::vector<double> b = {-2.0, 2.0};
    EXPECT_EQ(absPeak(b.data(), 0, 1), -2.0);
    EXPECT_EQ(absPeak(a.data(), 2, 1), 0.0);
    EXPECT_EQ(absPeak(a.data(), 0, 0), 3.0);
    EXPECT_EQ(absPeak(a.data(), 2, 2), 5.0);

    const std::vector<double> zeros = {0.0, -0.0, 0.0};
    EXPECT_EQ(absPeak(zeros.data(), 0, 2), 0.0);

    // Range bounds are inclusive and respected: the larger values outside are not seen.
    const std::vector<double> c = {100.0, 1.0, -4.0, 2.0, -100.0};
    EXPECT_EQ(absPeak(c.data(), 1, 3), -4.0);
    EXPECT_EQ(absPeak(c.data(), 1, 4), -100.0);
    EXPECT_EQ(absPeak(c.data(), 0, 3), 100.0);

    // A NaN is never the peak.
    const std::vector<double> d = {1.0, std::nan(""), -2.0, std::nan("")};
    EXPECT_EQ(absPeak(d.data(), 0, 3), -2.0);
    EXPECT_EQ(absPeak(d.data(), 1, 1), 0.0);
}

}  // namespace
