// The host's sample conversion and built-in generator against the per-sample formulas they replace.
#include "host/AudioSources.h"
#include <gtest/gtest.h>
#include <array>
#include <cmath>

static int32_t formulaFullScale(double sample) {
    const double scaled = std::nearbyint(sample * 2147483648.0);
    if (!(scaled > -2147483648.0)) return scaled == scaled ? INT32_MIN : 0;
    return scaled >= 2147483647.0 ? INT32_MAX : int32_t(scaled);
}
constexpr double kStep = 1.0 / 2147483648.0;  // one step of a 32-bit sample

// Alone, and in blocks: two doubles read at a stride of 2, and five floats (four converted together,
// then one alone), the value in the first lane and in the last.
class Conversion : public ::testing::TestWithParam<double> {};
TEST_P(Conversion, ScalarAndBlockFormsRoundAndClampAsTheFormula) {
    const double x = GetParam(), doubles[3] = {x, 0.25, -0.5};
    const float floats[5] = {float(x), -0.5f, 0.25f, float(x), float(x)};
    const int32_t fx = formulaFullScale(floats[0]);
    std::array<int32_t, 7> got,
        expected = {
            formulaFullScale(x), formulaFullScale(-0.5), fx, formulaFullScale(-0.5), formulaFullScale(0.25), fx, fx};
    toFullScaleBlock(doubles, 2, got.data(), 2);
    toFullScaleBlock(floats, got.data() + 2, 5);
    EXPECT_EQ(toFullScale(x), expected[0]);
    EXPECT_EQ(got, expected);
}
INSTANTIATE_TEST_SUITE_P(Edges, Conversion,
                         ::testing::Values(0.5 * kStep, 1.5 * kStep, 2.5 * kStep, -0.5 * kStep, -1.5 * kStep, 0.0, 1.0,
                                           -1.0, 2147483646.5 * kStep, std::nextafter(1.0, 0.0),
                                           std::nextafter(1.0, 2.0), -2147483647.5 * kStep, std::nextafter(-1.0, -2.0),
                                           1e10, -1e10, NAN, INFINITY, -INFINITY, 4.9e-324, -1e-310));

// Per input, the largest difference in sample steps from its formula: sines of the sample time, the
// sweep's phase summed, the noise filter.
struct SignalCase {
    int input, rate, seconds, bound;
};
class Generator : public ::testing::TestWithParam<SignalCase> {};
TEST_P(Generator, StaysWithinBoundOfTheFormula) {
    const auto [input, rate, seconds, bound] = GetParam();
    auto generator = makeGenerator(rate);
    int32_t block[4][100], *rows[4] = {block[0], block[1], block[2], block[3]};
    double sweepPhase = 0, b0 = 0, b1 = 0, b2 = 0, amplitude = std::pow(10.0, -6.0 / 20.0), largest = 0;
    uint32_t seed = 12345;
    for (int n = 0; n < rate * seconds; ++n) {
        ASSERT_TRUE(n % 100 != 0 || generator->read(rows, 100));
        seed = seed * 1664525u + 1013904223u;
        const double white = double(int32_t(seed)) / 2147483648.0, phase = 2 * M_PI * 1000.0 * n / rate;
        b0 = 0.99765 * b0 + white * 0.0990460, b1 = 0.96300 * b1 + white * 0.2965164,
        b2 = 0.57 * b2 + white * 1.0526913;
        const double values[4] = {amplitude * std::sin(phase), amplitude * std::sin(phase - M_PI / 2),
                                  0.25 * ((b0 + b1 + b2 + white * 0.1848) * 0.25), amplitude * std::sin(sweepPhase)};
        const double t = std::fmod(double(n) / rate, 20.0), position = t < 10.0 ? t / 10.0 : 2.0 - t / 10.0;
        sweepPhase = std::fmod(sweepPhase + 2 * M_PI * 20.0 * std::pow(1000.0, position) / rate, 2 * M_PI);
        largest = std::fmax(largest, std::abs(double(block[input][n % 100]) - formulaFullScale(values[input])));
    }
    EXPECT_LE(largest, bound);
}
INSTANTIATE_TEST_SUITE_P(Inputs, Generator,
                         ::testing::Values(SignalCase{0, 48000, 1, 2}, SignalCase{1, 48000, 1, 2},
                                           SignalCase{2, 48000, 1, 0}, SignalCase{3, 48000, 1, 2},
                                           SignalCase{0, 44100, 21, 2}, SignalCase{3, 44100, 21, 2}));
