// The analyzer window as a user meets it: one window per instance, titled "Analyzer", with its title
// bar, its panel and the black display; opened and closed with the instance; shown and hidden by the
// show pin; minimised only by its own "X".
#include "AnalyzerHarness.h"

#include "platform/WindowPixels.h"

#include <sys/stat.h>

namespace {

int level(COLORREF c) { return int(c & 0xFF); }
bool isGrey(COLORREF c) { return (c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF); }

class AnalyzerWindow : public AnalyzerHarness {
protected:
    // Creates an instance and waits for its window to be painted.
    Window open(int32_t* handle = nullptr) {
        const size_t before = analyzerWindows().size();
        const int32_t h = create();
        if (handle) *handle = h;
        std::vector<Window> windows;
        EXPECT_TRUE(waitUntil([&] { return (windows = analyzerWindows()).size() == before + 1; }));
        if (windows.empty()) return 0;
        const Window w = windows.back();
        EXPECT_TRUE(waitPainted(w));
        return w;
    }
};

TEST_F(AnalyzerWindow, TitleBarPanelFrameAndDisplayLookAsDrawn) {
    const Window w = open();
    ASSERT_NE(w, 0u);
    int width = 0, height = 0;
    ASSERT_TRUE(PlatformWindow_getSize(HWND(w), &width, &height));
    EXPECT_EQ(width, 1067);
    EXPECT_EQ(height, 562);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(w)) << "found by its title, as the toolkit sets it";

    // The title bar, column 300 (clear of the texts): dark top edge, a falling grey gradient, then a
    // black and a dark grey row; the window's own 0xD3 border above it.
    const std::vector<COLORREF> column = pixels(w, 300, 0, 1, 32);
    EXPECT_EQ(level(column[0]), 0xD3);
    EXPECT_NEAR(level(column[1]), 0x68, 6);
    for (int y = 3; y <= 27; ++y) {
        EXPECT_TRUE(isGrey(column[size_t(y)])) << y;
        EXPECT_GE(level(column[size_t(y)]), 0xB0) << y;
        // The image is a JPEG: next to the dark edge a row may ring a little.
        EXPECT_LE(level(column[size_t(y)]), level(column[size_t(y - 1)]) + 4) << "falling at " << y;
    }
    EXPECT_GT(level(column[3]), level(column[27]) + 20);
    EXPECT_LT(level(column[29]), 0x10) << "black";
    EXPECT_NEAR(level(column[30]), 0x62, 8) << "dark grey";

    // "Analyzer", centred in the bar: dark text pixels around the middle, none far from it.
    auto dark = [&](int x, int wide) {
        int n = 0;
        for (COLORREF c : pixels(w, x, 5, wide, 20)) n += level(c) < 0x40;
        return n;
    };
    EXPECT_GT(dark(480, 110), 100);
    EXPECT_EQ(dark(150, 110), 0);

    EXPECT_EQ(pixel(w, 6, 200), 0x696969u) << "the frame left of the display";
    EXPECT_EQ(pixel(w, 500, 36), 0x696969u) << "and above it";
    EXPECT_EQ(pixel(w, 600, 300), 0u) << "the display";

    mkdir(SCREENSHOT_DIR, 0755);
    EXPECT_TRUE(PlatformWindow_writePng(HWND(w), SCREENSHOT_DIR "/window.png"));
}

TEST_F(AnalyzerWindow, OutputPinsCarryTheStartUpPublication) {
    int32_t h = 0;
    open(&h);
    startUp(h);
    control(h);
    const int32_t* out = pins.at(h)->outputs;
    const std::pair<int, int32_t> expected[] = {{33, 255}, {35, 255}, {40, 255}, {41, 128}, {42, 128},
                                                {43, 128}, {13, 0},   {18, 0},   {4, 1024}, {20, 1},
                                                {21, 1},   {23, 1},   {32, 0},   {11, 1},   {1, 0}};
    for (const auto& [pin, value] : expected) EXPECT_EQ(out[pin], value) << "output pin " << pin;
}

TEST_F(AnalyzerWindow, DestroyingTheLastStopsTheToolkitAndCyclesLeaveNothingBehind) {
    const int windowsBefore = topLevelWindowCount();
    int32_t first = 0, second = 0;
    open(&first);
    open(&second);
    EXPECT_EQ(analyzerWindows().size(), 2u);
    EXPECT_EQ(destroy(first), 0);
    EXPECT_TRUE(waitUntil([&] { return analyzerWindows().size() == 1; }));
    EXPECT_EQ(destroy(second), 0);
    // The toolkit's own hidden windows go with it when it shuts down.
    EXPECT_TRUE(waitUntil([&] { return topLevelWindowCount() == windowsBefore; }));

    open();  // the toolkit starts again
    destroy(pins.begin()->first);
    ASSERT_TRUE(waitUntil([&] { return topLevelWindowCount() == windowsBefore; }));
    const int threadsBefore = threadCount();
    for (int cycle = 0; cycle < 20; ++cycle) {
        const int32_t h = create();
        pump(20);
        ASSERT_EQ(destroy(h), 0);
    }
    EXPECT_TRUE(waitUntil([&] { return topLevelWindowCount() == windowsBefore && threadCount() == threadsBefore; }))
        << topLevelWindowCount() << " windows, " << threadCount() << " threads";
}

TEST_F(AnalyzerWindow, ShowPinHidesAndShowsTheWindow) {
    int32_t h = 0;
    const Window w = open(&h);
    startUp(h);
    pins.at(h)->inputs[44] = 0;
    control(h);
    EXPECT_TRUE(waitUntil([&] { return !isMapped(w); })) << "0 hides";
    pins.at(h)->inputs[44] = 1;
    control(h);
    EXPECT_TRUE(waitUntil([&] { return isMapped(w); })) << "1 shows";
}

TEST_F(AnalyzerWindow, OnlyALeftPressOnTheXMinimisesAndTheShowPinRestores) {
    actAsWindowManager();
    int32_t h = 0;
    const Window w = open(&h);
    startUp(h);

    requestClose(w);
    pump(200);
    EXPECT_TRUE(isMapped(w)) << "a close request leaves the window open";

    click(w, 1047, 15, 3);
    pump(200);
    EXPECT_TRUE(isMapped(w)) << "a right press on the X does nothing";
    click(w, 600, 15, 1);
    pump(200);
    EXPECT_TRUE(isMapped(w)) << "a left press elsewhere on the title bar does nothing";

    click(w, 1047, 15, 1);
    EXPECT_TRUE(waitUntil([&] { return isIconic(w) && !isMapped(w); }, 2000))
        << "a left press on the X minimises " << isIconic(w) << isMapped(w);

    pins.at(h)->inputs[44] = 0;
    control(h);
    pump(100);
    pins.at(h)->inputs[44] = 1;
    control(h);
    EXPECT_TRUE(waitUntil([&] { return isMapped(w) && !isIconic(w); })) << "the next show request restores it";
}

}  // namespace
