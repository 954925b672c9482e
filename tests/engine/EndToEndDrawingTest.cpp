// From audio in to pixels out: an instance takes the window handed to it during start-up, captures
// real signals, and its worker analyses them and draws the traces where a user would see them.
#include "EngineHarness.h"

#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"

#include <cmath>

namespace {

constexpr COLORREF kRed = 0x0000FF;  // R + 256 G + 65536 B
constexpr COLORREF kGreen = 0x00FF00;

class EndToEnd : public EngineTest {
protected:
    void SetUp() override {
        window = PlatformSurface_register(0, 1100, 500, "Analyzer");
        ASSERT_NE(window, 0u);
        EngineTest::SetUp();
        instance->adoptWindow(window);
        startRunning();
        ASSERT_EQ(instance->panelLink().analyzerWindow, window) << "taken during start-up";
        instance->setPanelValue(slot::kShape, 21);
        instance->setPanelValue(slot::kFirstColour, 255);  // trace 1 red
        instance->setPanelValue(slot::kFirstColour + 4, 255);  // trace 2 green
    }
    void TearDown() override {
        EngineTest::TearDown();  // joins the workers before the window goes
        PlatformSurface_unregister(window);
    }
    COLORREF pixel(int x, int y) const {
        COLORREF c = 0xDEADBEEF;
        PlatformWindow_readPixels(window, x, y, 1, 1, &c);
        return c;
    }
    // Rows of column x that hold the colour.
    std::vector<int> rowsWith(int x, COLORREF colour) const {
        std::vector<COLORREF> column(500);
        PlatformWindow_readPixels(window, x, 0, 1, 500, column.data());
        std::vector<int> rows;
        for (int y = 0; y < 500; ++y)
            if (column[size_t(y)] == colour) rows.push_back(y);
        return rows;
    }
    HWND window = 0;
};

std::vector<int32_t> cosine(double amplitude, double cycles, int n) {
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[size_t(i)] = int32_t(std::lround(amplitude * std::cos(2 * M_PI * cycles * i / n)));
    return x;
}

}  // namespace

TEST_F(EndToEnd, SilenceOnTwoInputsDrawsTwoFlatTimeTraces) {
    instance->setPanelValue(slot::kFirstSelection, 2);  // A
    instance->setPanelValue(slot::kFirstSelection + 1, 3);  // B
    const std::vector<int32_t> zero(1024, 0), top(1024, INT32_MAX);
    analyse(zero, top, zero, zero);
    // Zero lies on row 200, the most positive value on row 1; rows are drawn 45 pixels down.
    for (int x : {14, 500, 1036}) {
        EXPECT_EQ(rowsWith(x, kRed), std::vector<int>{245}) << x;
        EXPECT_EQ(rowsWith(x, kGreen), std::vector<int>{46}) << x;
    }
    EXPECT_EQ(pixel(1037, 245), 0u) << "the last point is where the line ends, not drawn";
    EXPECT_EQ(pixel(13, 245), 0u);

    // The next frame erases this one in black before drawing the new one. (The traces share the
    // window: one trace's erasing may cross another's new line, so the rows here are all distinct.)
    const std::vector<int32_t> bottom(1024, INT32_MIN), lowerHalf(1024, INT32_MIN / 2);
    analyse(bottom, lowerHalf, zero, zero);
    EXPECT_EQ(rowsWith(500, kRed), std::vector<int>{445});
    EXPECT_EQ(rowsWith(500, kGreen), std::vector<int>{345}) << "row 300: a quarter of the way up from the bottom";
    EXPECT_EQ(pixel(500, 245), 0u);
    EXPECT_EQ(pixel(500, 46), 0u);
}

TEST_F(EndToEnd, ASineShowsAsAPeakAtItsFrequency) {
    instance->setPanelValue(slot::kSpectrumMode, 1);
    instance->setPanelValue(slot::kMagnitudes, 1);
    instance->setPanelValue(slot::kFirstSelection, 2);
    control();
    // 64 cycles in 1024 samples: bin 64, 2756 Hz at 44.1 kHz.
    const std::vector<int32_t> a = cosine(1 << 30, 64, 1024), zero(1024, 0);
    analyse(a, zero, zero, zero);
    int column = 0;
    while (instance->setup().binMap[0][column] < 64) ++column;
    // Level 2^29 of full scale 2^31 lies on row 300; silence on row 400.
    const std::vector<int> atPeak = rowsWith(14 + column, kRed);
    ASSERT_FALSE(atPeak.empty());
    EXPECT_EQ(atPeak.front(), 300 + 45) << "the line reaches up to the peak's row";
    EXPECT_EQ(rowsWith(14 + 10, kRed), std::vector<int>{445}) << "far from the peak: the bottom row";
}
