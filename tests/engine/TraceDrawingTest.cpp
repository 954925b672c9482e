// Drawing a frame of traces into an in-memory window, pixel for pixel: each way of drawing a trace,
// the colours and pens, and which traces are drawn at all. The frames are made here, as an analysis
// would make them, and drawn as the worker draws them.
#include "common/ControlSlots.h"
#include "engine/InstanceParts.h"
#include "engine/TraceDrawing.h"
#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

constexpr int kWidth = 1100;
constexpr int kHeight = 500;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A picture of the whole surface, to compare what was drawn with what should have been.
struct Picture {
    std::vector<COLORREF> pixels = std::vector<COLORREF>(size_t(kWidth) * kHeight, kWhite);
    void set(int x, int y, COLORREF c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels[size_t(y) * kWidth + x] = c;
    }
    COLORREF at(int x, int y) const { return pixels[size_t(y) * kWidth + x]; }
};

// Counts differing pixels and names the first few.
::testing::AssertionResult samePicture(const Picture& expected, const Picture& actual) {
    int differences = 0;
    std::ostringstream first;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (expected.at(x, y) != actual.at(x, y) && ++differences <= 5)
                first << " (" << x << ", " << y << "): expected " << std::hex << expected.at(x, y) << " got "
                      << actual.at(x, y) << std::dec << ";";
    if (differences == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences << " pixels differ:" << first.str();
}

class TraceDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        window = PlatformSurface_register(0, kWidth, kHeight, "TraceDrawingSurface");
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(PlatformSurface_fill(window, kWhite));
        target = window;
        for (int k = 0; k < kTraces; ++k)
            for (int i = 0; i < kDisplayColumns; ++i) current[k][i] = previous[k][i] = NO_LEVEL;
    }
    void TearDown() override { PlatformSurface_unregister(window); }

    void setColour(int trace, int r, int g, int b, bool history = false) {
        settings[slot::kFirstColour + 3 * trace] = r;
        settings[slot::kFirstColour + 1 + 3 * trace] = g;
        settings[slot::kFirstColour + 2 + 3 * trace] = b;
        settings[slot::kFirstHistory + trace] = history ? 1 : 0;
    }
    void switchOn(int trace) { settings[slot::kFirstSelection + trace] = 2; }

    void draw() { drawTraceFrame(TraceFrame{target, settings, altDisplay, current, previous}, colourWords); }

    Picture surface() const {
        Picture p;
        EXPECT_TRUE(PlatformWindow_readPixels(window, 0, 0, kWidth, kHeight, p.pixels.data()));
        return p;
    }

    // Every column gets exactly one pixel when neighbouring values differ by at most one: a
    // one-step line draws only its start point.
    static void expectPolyline(Picture& p, const int32_t* values, COLORREF c) {
        for (int i = 0; i < 1023; ++i) p.set(14 + i, values[i] + 45, c);
    }

    HWND window = 0;
    HWND target = 0;  // where the frame is drawn
    int32_t settings[kControlSlots] = {};
    bool altDisplay = false;
    int32_t current[kTraces][kDisplayColumns];
    int32_t previous[kTraces][kDisplayColumns];
    uint32_t colourWords[kTraces] = {};
};

}  // namespace

TEST_F(TraceDrawing, LineTraceErasesOrDimsThePreviousFrameAndDrawsColumns14To1036) {
    switchOn(0);
    setColour(0, 255, 0, 0);
    for (int i = 0; i < 1024; ++i) {
        current[0][i] = 1 + i / 4;  // rows 1 ... 256, rising one pixel every four columns
        previous[0][i] = 400 - i / 4;  // rows 400 ... 145, never on the same pixel
    }
    draw();
    EXPECT_EQ(colourWords[0], 0x00FF0000u);

    Picture expected;
    expectPolyline(expected, previous[0], kBlack);
    expectPolyline(expected, current[0], RGB(255, 0, 0));
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    // The ends, spelled out: row 1 lands on y = 46; the end point of the last LineTo stays undrawn.
    EXPECT_EQ(actual.at(14, 46), RGB(255, 0, 0));
    EXPECT_EQ(actual.at(1036, 45 + 1 + 1022 / 4), RGB(255, 0, 0));
    EXPECT_EQ(actual.at(1037, 45 + 1 + 1023 / 4), kWhite);
    EXPECT_EQ(actual.at(13, 46), kWhite);

    // "History" on: the previous frame in a quarter of each component, rounded down.
    setColour(0, 255, 130, 7, /*history=*/true);
    PlatformSurface_fill(window, kWhite);
    draw();
    EXPECT_EQ(colourWords[0], 0x01FF8207u);
    expected = Picture();
    expectPolyline(expected, previous[0], RGB(63, 32, 1));
    expectPolyline(expected, current[0], RGB(255, 130, 7));
    EXPECT_TRUE(samePicture(expected, surface()));
}

TEST_F(TraceDrawing, VibesWatchDrawsEightUnjoinedFramesEachClimbing127Pixels) {
    switchOn(1);
    setColour(1, 0, 255, 0);
    altDisplay = true;
    settings[slot::kSpectrumMode] = 1;
    for (int i = 0; i < 1024; ++i) {
        current[1][i] = 390;
        previous[1][i] = 260;
    }
    draw();

    Picture expected;
    for (int f = 0; f < 8; ++f)
        for (int m = 0; m < 127; ++m) {  // the end point of each frame's last LineTo is not drawn
            expected.set(14 + 128 * f + m, 260 + 45 - m, kBlack);
            expected.set(14 + 128 * f + m, 390 + 45 - m, RGB(0, 255, 0));
        }
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    // Frame 0 ends at (141, 435 - 127) undrawn, frame 1 starts again at the flat row.
    EXPECT_EQ(actual.at(141, 435 - 127), kWhite);
    EXPECT_EQ(actual.at(142, 435), RGB(0, 255, 0));
}

TEST_F(TraceDrawing, PhasePointsPlotFirstHalfAgainstSecondHalfAtOffsets64And596) {
    settings[slot::kPhase] = 2;  // X*X: each trace against itself
    switchOn(0);
    switchOn(3);
    setColour(0, 10, 20, 30);
    setColour(3, 200, 100, 40, /*history=*/true);
    for (int i = 0; i < 512; ++i) {
        current[0][i] = 1 + i % 400;
        current[0][512 + i] = 1 + i / 2;
        previous[0][i] = 1 + i / 2;
        previous[0][512 + i] = 400 - i % 400;
        current[3][i] = 1 + (i * 3) % 400;
        current[3][512 + i] = 200;
        previous[3][i] = 5;
        previous[3][512 + i] = 1 + i % 400;
    }
    draw();

    Picture expected;
    for (int i = 0; i < 512; ++i) expected.set(previous[0][i] + 64, previous[0][512 + i] + 45, kBlack);
    for (int i = 0; i < 512; ++i) expected.set(current[0][i] + 64, current[0][512 + i] + 45, RGB(10, 20, 30));
    for (int i = 0; i < 512; ++i) expected.set(601, previous[3][512 + i] + 45, RGB(50, 25, 10));
    for (int i = 0; i < 512; ++i) expected.set(current[3][i] + 596, 245, RGB(200, 100, 40));
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    EXPECT_EQ(actual.at(65, 46), RGB(10, 20, 30));  // first point of trace 1
    EXPECT_EQ(actual.at(601, 46), RGB(50, 25, 10));  // the right plot's dimmed column at x = 5 + 596
}

TEST_F(TraceDrawing, XTimesYDrawsEachPairInTheFirstTracesColour) {
    settings[slot::kPhase] = 1;
    for (int k = 0; k < 4; ++k) switchOn(k);
    setColour(0, 255, 0, 0);
    setColour(1, 0, 255, 0);
    setColour(2, 0, 0, 255);
    setColour(3, 255, 255, 0, /*history=*/true);  // ignored: trace 4 takes trace 3's word, History and all
    for (int i = 0; i < 512; ++i) {
        for (int k = 0; k < 4; ++k) {
            current[k][i] = 1 + i % 100;  // trace k on rows 1 + 100k ... 100 + 100k
            current[k][512 + i] = 1 + 100 * k + i % 100;
        }
    }
    draw();

    EXPECT_EQ(colourWords[1], 0x00FF0000u);
    EXPECT_EQ(colourWords[3], 0x000000FFu);
    Picture expected;
    const COLORREF pair[4] = {RGB(255, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 0, 255)};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 100; ++i) expected.set(1 + i + (k < 2 ? 64 : 596), 1 + 100 * k + i + 45, pair[k]);
    EXPECT_TRUE(samePicture(expected, surface()));
}

TEST_F(TraceDrawing, ClearedRowsNullWindowAndNullSelectionDrawNothing) {
    // Cleared rows: every way of drawing runs, none leaves a pixel.
    for (int k = 0; k < 4; ++k) {
        switchOn(k);
        setColour(k, 200, 100 + k, 50, k % 2 == 1);
    }
    struct Mode {
        int32_t phase;
        bool alt;
    };
    settings[slot::kSpectrumMode] = 1;
    const unsigned long drawingsBefore = PlatformWindow_drawingCount();
    for (const Mode mode : {Mode{0, false}, Mode{0, true}, Mode{2, false}}) {
        settings[slot::kPhase] = mode.phase;
        altDisplay = mode.alt;
        draw();
        EXPECT_TRUE(samePicture(Picture(), surface())) << "phase " << mode.phase << " alt " << mode.alt;
    }
    EXPECT_EQ(PlatformWindow_drawingCount() - drawingsBefore, 12u) << "each trace of each frame drawn";

    // No window: nothing drawn, the colour words kept all the same.
    settings[slot::kPhase] = 0;
    altDisplay = false;
    for (int i = 0; i < 1024; ++i) current[0][i] = 200;
    target = 0;
    colourWords[0] = 0;
    draw();
    EXPECT_TRUE(samePicture(Picture(), surface()));
    EXPECT_EQ(colourWords[0], 0x00C86432u);

    // Selection 1 ("NULL") and 0: those traces are left alone, the last drawing stays on screen.
    target = window;
    draw();
    const Picture lastDrawing = surface();
    EXPECT_FALSE(samePicture(Picture(), lastDrawing));
    const unsigned long drawingsOfLast = PlatformWindow_drawingCount();
    settings[slot::kFirstSelection] = 1;
    settings[slot::kFirstSelection + 1] = 0;
    settings[slot::kFirstSelection + 2] = 1;
    settings[slot::kFirstSelection + 3] = 1;
    for (int i = 0; i < 1024; ++i) current[0][i] = 300;
    for (uint32_t& word : colourWords) word = 0x00123456u;
    draw();
    EXPECT_EQ(PlatformWindow_drawingCount(), drawingsOfLast) << "no device context taken";
    for (int k = 0; k < 4; ++k) EXPECT_EQ(colourWords[k], 0x00123456u) << k;
    EXPECT_TRUE(samePicture(lastDrawing, surface()));
}
