// Known signals give known display positions, in time and spectrum mode.
#include "EngineHarness.h"

#include <cmath>

namespace {

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;

std::vector<int32_t> constant(int32_t value, int n = 1024) { return std::vector<int32_t>(size_t(n), value); }

// A cosine of the given amplitude centred on a transform bin.
std::vector<int32_t> cosineOnBin(double amplitude, int bin, int n) {
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[size_t(i)] = int32_t(std::lround(amplitude * std::cos(2 * M_PI * bin * i / n)));
    return x;
}

class Analysis : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        startRunning();
        instance->drawInto(0);  // analysis only: the worker draws nothing
        instance->setPanelValue(slot::kShape, 21);
    }
    void select(int trace, int32_t code) { instance->setPanelValue(slot::kFirstSelection + trace, code); }
    void spectrumMode(int32_t size = 1024) {
        instance->setPanelValue(slot::kSpectrumMode, 1);
        instance->setPanelValue(slot::kFftSize, size);
        control();
    }
    int firstColumnAtOrAbove(int bin) const {
        for (int c = 0; c < 1024; ++c)
            if (instance->setup().binMap[instance->setup().fftSizeCode][c] >= bin) return c;
        return -1;
    }
    std::vector<int32_t> row(int k) const {
        return std::vector<int32_t>(instance->capture().history[k], instance->capture().history[k] + 1024);
    }
    std::vector<double> spectrum(int input) const {
        const double* s = instance->capture().inputSpectra[input];
        return std::vector<double>(s, s + 1024);
    }
};

}  // namespace

TEST_F(Analysis, TimeTracesPlaceZeroMidwayAndTheExtremesAtTheEdges) {
    select(0, 2);  // A
    select(1, 3);  // B
    select(2, 4);  // C
    select(3, 6);  // A+B
    analyse(constant(0), constant(kMax), constant(kMin), constant(0));
    EXPECT_EQ(row(0), constant(200));
    EXPECT_EQ(row(1), constant(1));
    EXPECT_EQ(row(2), constant(400));
    EXPECT_EQ(row(3), constant(1)) << "0 + MAX";

    // Sums and differences are clamped to the 32-bit range.
    select(0, 6);  // A+B = MAX + MAX
    select(1, 12);  // A-B = MAX - MIN
    select(2, 13);  // A-C = MIN - MAX
    analyse(constant(kMax), constant(kMax), constant(kMin), constant(0));
    EXPECT_EQ(row(0), constant(1));
    select(1, 12);
    analyse(constant(kMax), constant(kMin), constant(0), constant(0));
    EXPECT_EQ(row(1), constant(1));
    analyse(constant(kMin), constant(0), constant(kMax), constant(0));
    EXPECT_EQ(row(2), constant(400));
}

TEST_F(Analysis, LevelFactorScalesAndClampsTimeTraces) {
    select(0, 2);
    instance->setPanelValue(slot::kLevelFactor, 2);
    analyse(constant(1 << 30), constant(0), constant(0), constant(0));
    EXPECT_EQ(row(0), constant(1)) << "2^31 is clamped to MAX";

    instance->setPanelValue(slot::kLevelFactor, 0);  // no factor
    analyse(constant(1 << 30), constant(0), constant(0), constant(0));
    EXPECT_EQ(row(0), constant(100)) << "1 + 399 * (MAX - 2^30) / 2^32";
}

TEST_F(Analysis, ASelectionWithoutInputsKeepsItsLastTraceWithoutScalingItAgain) {
    select(0, 2);
    instance->setPanelValue(slot::kLevelFactor, 2);
    analyse(constant(1 << 20), constant(0), constant(0), constant(0));
    const std::vector<int32_t> before = row(0);
    select(0, 18);  // no input: the trace keeps its values
    for (int n = 0; n < 3; ++n) analyse(constant(kMax), constant(0), constant(0), constant(0));
    EXPECT_EQ(row(0), before);
    EXPECT_EQ(instance->capture().traceValues[0][0], double(1 << 21));
}

TEST_F(Analysis, XyRegroupsTheRowsForThePhasePlot) {
    instance->setPanelValue(slot::kPhase, 1);
    for (int k = 0; k < 4; ++k) select(k, 2 + k);
    std::vector<int32_t> a(1024), b(1024);
    for (int i = 0; i < 1024; ++i) {
        a[size_t(i)] = int32_t(i) * (1 << 21) - (1 << 30);
        b[size_t(i)] = (1 << 30) - int32_t(i) * (1 << 21);
    }
    analyse(a, b, a, b);
    // Positions a single trace would get, computed by a plain time analysis without regrouping.
    instance->setPanelValue(slot::kPhase, 0);
    analyse(a, b, a, b);
    const std::vector<int32_t> traceA = row(0), traceB = row(1);
    instance->setPanelValue(slot::kPhase, 1);
    analyse(a, b, a, b);
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(instance->capture().history[0][i], traceA[size_t(i)]) << i;
        ASSERT_EQ(instance->capture().history[0][512 + i], traceB[size_t(i)]) << i;
        ASSERT_EQ(instance->capture().history[1][i], traceA[size_t(512 + i)]) << i;
        ASSERT_EQ(instance->capture().history[1][512 + i], traceB[size_t(512 + i)]) << i;
        ASSERT_EQ(instance->capture().history[2][512 + i], traceB[size_t(i)]) << i;
    }
}

TEST_F(Analysis, SilenceWithMagnitudesLiesOnTheBottomRowWithMarkerLevelsZero) {
    spectrumMode();
    instance->setPanelValue(slot::kMagnitudes, 1);
    for (int k = 0; k < 4; ++k) select(k, 2 + k);
    analyse(constant(0), constant(0), constant(0), constant(0));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(row(k), constant(400)) << k;
    EXPECT_EQ(panel.valuesOn(14), std::vector<int32_t>{0});
    EXPECT_EQ(panel.valuesOn(17), std::vector<int32_t>{0});
}

TEST_F(Analysis, CosineOnABinLandsOnItsColumnWithItsLevel) {
    spectrumMode();
    instance->setPanelValue(slot::kMagnitudes, 1);
    select(0, 2);
    const int column = firstColumnAtOrAbove(64);
    ASSERT_GT(column, 0);
    instance->setPanelValue(slot::kMarker, column);
    analyse(cosineOnBin(1 << 30, 64, 1024), constant(0), constant(0), constant(0));

    // Magnitude a/2 of a cosine: 2^29, on 1 + 399 * (MAX - 2^29) / MAX.
    EXPECT_EQ(instance->capture().history[0][column], 300);
    EXPECT_GE(instance->capture().history[0][column - 1], 399) << "the neighbouring column holds only rounding noise";
    EXPECT_NEAR(panel.valuesOn(14).back(), 1 << 29, 2);
    EXPECT_EQ(panel.valuesOn(15).back(), 0);

    // Without magnitudes the marker adds the imaginary counterpart; a cosine has none.
    instance->setPanelValue(slot::kMagnitudes, 0);
    analyse(cosineOnBin(1 << 30, 64, 1024), constant(0), constant(0), constant(0));
    EXPECT_NEAR(panel.valuesOn(14).back(), 1 << 29, 2);
    EXPECT_EQ(instance->capture().history[0][column], 150) << "Re = 2^29 lies a quarter from the middle";
}

TEST_F(Analysis, LargerTransformsUseTheirOwnMapRow) {
    spectrumMode(4096);
    ASSERT_EQ(instance->setup().fftSize, 4096);
    instance->setPanelValue(slot::kMagnitudes, 1);
    select(0, 2);
    const int column = firstColumnAtOrAbove(256);
    analyse(cosineOnBin(1 << 30, 256, 4096), constant(0, 4096), constant(0, 4096), constant(0, 4096));
    EXPECT_EQ(instance->capture().history[0][column], 300);
}

TEST_F(Analysis, NeededInputsAreTransformedAndDifferencesMadePositive) {
    spectrumMode();
    instance->setPanelValue(slot::kMagnitudes, 1);
    select(0, 2);  // A
    select(1, 12);  // A-B
    // C and D, transformed while traces 3 and 4 need them, then no longer needed.
    select(2, 4);
    select(3, 5);
    analyse(constant(0), constant(0), cosineOnBin(1 << 28, 20, 1024), cosineOnBin(1 << 28, 30, 1024));
    const std::vector<double> c = spectrum(2), d = spectrum(3);
    ASSERT_NEAR(c[20], double(1 << 27), 1.0);
    select(2, 1);
    select(3, 0);
    const std::vector<int32_t> a = cosineOnBin(1 << 28, 10, 1024), b = cosineOnBin(1 << 30, 10, 1024);
    analyse(a, b, constant(kMax), constant(kMin));
    EXPECT_EQ(spectrum(2), c) << "C is not needed and not transformed";
    EXPECT_EQ(spectrum(3), d);
    EXPECT_NEAR(instance->capture().inputSpectra[0][10], double(1 << 27), 1.0) << "A transformed exactly once";
    EXPECT_NEAR(instance->capture().inputSpectra[1][10], double(1 << 29), 1.0) << "B transformed exactly once";
    for (int i = 0; i < 1024; ++i) ASSERT_GE(instance->capture().traceValues[1][i], 0.0) << i;
    EXPECT_NEAR(instance->capture().traceValues[1][10], double((1 << 29) - (1 << 27)), 1.0);
}

TEST_F(Analysis, WindowCodesWithoutAFormulaLeaveTheCaptureUnweighted) {
    spectrumMode();
    select(0, 2);
    const std::vector<int32_t> a = cosineOnBin(1 << 30, 37, 1024);
    std::vector<std::vector<int32_t>> rows;
    for (int32_t code : {0, 4, 12, -3, 1}) {
        instance->setPanelValue(slot::kWindow, code);
        control();
        analyse(a, constant(0), constant(0), constant(0));
        rows.push_back(row(0));
    }
    EXPECT_EQ(rows[1], rows[0]);
    EXPECT_EQ(rows[2], rows[0]);
    EXPECT_EQ(rows[3], rows[0]);
    EXPECT_NE(rows[4], rows[0]) << "Hann weights the capture";
}

TEST_F(Analysis, VibesWatchScrollsEightFramesAndPushesTheOldestOut) {
    spectrumMode();
    instance->setPanelValue(slot::kMagnitudes, 1);
    instance->setPanelValue(slot::kAltDisplay, 1);
    select(0, 2);
    std::vector<std::vector<int32_t>> frames;
    for (int n = 0; n < 9; ++n) {
        analyse(cosineOnBin((n + 1) * double(1 << 26), 64, 1024), constant(0), constant(0), constant(0));
        frames.emplace_back(instance->capture().history[0] + 896, instance->capture().history[0] + 1024);
        for (int j = 0; j < 128; ++j) {
            ASSERT_GE(instance->capture().history[0][896 + j], 128) << "top row of the stack";
            ASSERT_LE(instance->capture().history[0][896 + j], 400);
        }
        if (n == 7) {
            for (int j = 0; j < 1024; ++j) {
                ASSERT_NE(instance->capture().history[0][j], NO_LEVEL) << "eight frames fill the row";
            }
        }
    }
    // After nine analyses the frames, left to right, are analyses 2 .. 9.
    for (int f = 0; f < 8; ++f)
        for (int j = 0; j < 128; ++j)
            ASSERT_EQ(instance->capture().history[0][128 * f + j], frames[size_t(f + 1)][size_t(j)]);
    EXPECT_NE(frames[0], frames[1]);
}

TEST_F(Analysis, SwitchingATraceOffRequestsOneRedraw) {
    select(0, 2);
    analyse(constant(0), constant(0), constant(0), constant(0));
    panel.calls.clear();
    select(0, 1);
    analyse(constant(0), constant(0), constant(0), constant(0));
    EXPECT_EQ(panel.valuesOn(19), std::vector<int32_t>{1});
    analyse(constant(0), constant(0), constant(0), constant(0));
    EXPECT_EQ(panel.valuesOn(19), std::vector<int32_t>{1}) << "NULL to NULL changes nothing";
    EXPECT_EQ(row(0), constant(200)) << "a trace that is off keeps its last positions";
}
