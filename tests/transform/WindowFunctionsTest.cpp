// Window coefficients: textbook shapes, end and middle values, the exact angle constants, and the
// code-to-window mapping of fillWindow.

#include "engine/WindowFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

std::vector<double> filled(void (*fill)(double*, int32_t), int count) {
    std::vector<double> table(count, -99.0);
    fill(table.data(), count);
    return table;
}

// Generalised cosine window with true pi: sum of (-1)^m c[m] cos(2 pi m i / D).
std::function<double(int, int)> cosineSum(std::vector<double> c) {
    return [c](int i, int count) {
        const double d = count - 1;
        double w = 0.0;
        for (size_t m = 0; m < c.size(); ++m) w += (m % 2 ? -1.0 : 1.0) * c[m] * std::cos(2 * kPi * m * i / d);
        return w;
    };
}

struct Shape {
    const char* name;
    void (*fill)(double*, int32_t);
    std::function<double(int, int)> textbook;
};

std::vector<Shape> shapes() {
    return {
        {"Hann", fillHann, cosineSum({0.5, 0.5})},
        {"Hamming", fillHamming, cosineSum({0.53836, 0.46164})},
        {"Bohman", fillBohman,
         [](int i, int count) {
             const double x = std::fabs(2.0 * i / (count - 1) - 1.0);
             return (1 - x) * std::cos(kPi * x) + std::sin(kPi * x) / kPi;
         }},
        {"Bartlett", fillBartlett, [](int i, int count) { return 1.0 - std::fabs(2.0 * i / (count - 1) - 1.0); }},
        {"Blackman", fillBlackman, cosineSum({0.42, 0.5, 0.08})},
        {"BlackmanHarris", fillBlackmanHarris, cosineSum({0.35875, 0.48829, 0.14128, 0.01168})},
        {"BlackmanNuttall", fillBlackmanNuttall, cosineSum({0.3635819, 0.4891775, 0.1365995, 0.0106411})},
        {"Nuttall", fillNuttall, cosineSum({0.355768, 0.487396, 0.144232, 0.012604})},
        {"FlatTop", fillFlatTop, cosineSum({1.0, 1.93, 1.29, 0.388, 0.032})},
        {"Cosine", fillCosine, [](int i, int count) { return std::sin(kPi * i / (count - 1)); }},
    };
}

// Every window follows its textbook definition at every index and every block size. The 11-decimal
// constants move the values by well under 1e-11.
TEST(WindowFunctions, FollowTextbookShapesAtEverySize) {
    for (const Shape& shape : shapes()) {
        for (int count : {1024, 2048, 4096, 8192}) {
            const std::vector<double> w = filled(shape.fill, count);
            for (int i = 0; i < count; ++i) {
                ASSERT_NEAR(w[i], shape.textbook(i, count), 1e-11) << shape.name << ", count " << count << ", i " << i;
            }
        }
    }
}

TEST(WindowFunctions, EndAndMiddleValues) {
    const int n = 1024;
    const std::vector<double> hann = filled(fillHann, n);
    EXPECT_NEAR(hann[0], 0.0, 1e-15);
    EXPECT_NEAR(hann[n - 1], 0.0, 1e-15);
    EXPECT_LT(hann[511], 1.0);
    EXPECT_GT(hann[511], 0.99999);
    EXPECT_NEAR(hann[511], hann[512], 1e-15);

    EXPECT_NEAR(filled(fillHamming, n)[0], 0.07672, 1e-15);

    // Odd count puts a sample exactly in the middle; even count puts two samples either side of it.
    const int odd = 1025;
    struct EndsAndMiddle {
        void (*fill)(double*, int32_t);
        double end, middle;
    };
    for (const EndsAndMiddle& e :
         {EndsAndMiddle{fillBlackman, 0.0, 1.0}, EndsAndMiddle{fillBlackmanHarris, 0.00006, 1.0},
          EndsAndMiddle{fillBlackmanNuttall, 0.0003628, 1.0}, EndsAndMiddle{fillNuttall, 0.0, 1.0},
          EndsAndMiddle{fillFlatTop, 0.004, 4.64}, EndsAndMiddle{fillBohman, 0.0, 1.0},
          EndsAndMiddle{fillCosine, 0.0, 1.0}}) {
        const std::vector<double> w = filled(e.fill, odd);
        EXPECT_NEAR(w[0], e.end, 1e-12);
        EXPECT_NEAR(w[odd - 1], e.end, 1e-12);
        EXPECT_NEAR(w[odd / 2], e.middle, 1e-12);
    }

    const std::vector<double> bartlett = filled(fillBartlett, n);
    EXPECT_EQ(bartlett[0], 0.0);
    EXPECT_EQ(bartlett[n - 1], 0.0);
    EXPECT_NEAR(bartlett[511], 1.0 - 1.0 / 1023, 1e-15);
    EXPECT_NEAR(bartlett[512], 1.0 - 1.0 / 1023, 1e-15);
    EXPECT_NEAR(bartlett[256] - bartlett[255], 2.0 / 1023, 1e-15);
}

// The angles use the 11-decimal pi and its multiples 2pi, 4pi, 6pi, 8pi exactly as written, formed as
// i * constant / D.
TEST(WindowFunctions, AnglesUseTheElevenDecimalConstants) {
    const int n = 2048;
    const double d = n - 1;
    const std::vector<double> flatTop = filled(fillFlatTop, n);
    for (int i : {1, 100, 777, 1023, 2000}) {
        const double expected = 1.0 - 1.93 * std::cos(i * 6.28318530718 / d) + 1.29 * std::cos(i * 12.56637061436 / d) -
                                0.388 * std::cos(i * 18.849555921540002 / d) + 0.032 * std::cos(i * 25.13274122872 / d);
        EXPECT_EQ(flatTop[i], expected) << i;
    }
    // sin(3.14159265359) is about -2.07e-13; with the true pi the last cosine-window value would be ~1e-16.
    EXPECT_EQ(filled(fillCosine, n)[n - 1], std::sin(3.14159265359));
    EXPECT_LT(filled(fillCosine, n)[n - 1], -2e-13);
}

TEST(WindowFunctions, FillWindowMapsEachCodeToItsWindow) {
    const int n = 1024;
    const std::pair<int, void (*)(double*, int32_t)> codes[] = {
        {1, fillHann},           {2, fillHamming},         {3, fillBohman},  {5, fillBartlett}, {6, fillBlackman},
        {7, fillBlackmanHarris}, {8, fillBlackmanNuttall}, {9, fillNuttall}, {10, fillFlatTop}, {11, fillCosine},
    };
    std::vector<std::vector<double>> seen;
    for (const auto& [code, fill] : codes) {
        std::vector<double> table(n, -99.0);
        EXPECT_TRUE(fillWindow(table.data(), n, code)) << code;
        EXPECT_EQ(table, filled(fill, n)) << code;
        for (const std::vector<double>& other : seen) EXPECT_NE(table, other) << code;
        seen.push_back(table);
    }
}

TEST(WindowFunctions, CodesWithoutFormulaAndEmptyCountsWriteNothing) {
    const int n = 1024;
    std::vector<double> table(n);
    for (int i = 0; i < n; ++i) table[i] = 0.25 + i;
    const std::vector<double> original(table);
    for (int code : {0, 4, 12, 13, 100, -1, -5}) {
        EXPECT_FALSE(fillWindow(table.data(), n, code)) << code;
        EXPECT_EQ(table, original) << code;
    }
    for (int code = 1; code <= 11; ++code) {
        fillWindow(table.data(), 0, code);
        fillWindow(table.data(), -4, code);
        EXPECT_EQ(table, original) << code;
    }
    // A one-point block has no span to divide by: its single coefficient is 1.
    for (int code : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11}) {
        double one = -99.0;
        fillWindow(&one, 1, code);
        EXPECT_EQ(one, 1.0) << code;
    }
}

}  // namespace
