// The engine's traces inside the real window: fed through the module's entries, drawn by its workers
// into the instance's own window, after the toolkit has painted the panel.
#include "AnalyzerHarness.h"

#include "engine/FrequencyMap.h"
#include "platform/WindowPixels.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>

namespace {

constexpr COLORREF kGreen = 0x00FF00;  // trace 1 after start-up

class Traces : public AnalyzerHarness {
protected:
    Window open(int32_t* handle) {
        const size_t before = analyzerWindows().size();
        *handle = create();
        std::vector<Window> windows;
        EXPECT_TRUE(waitUntil([&] { return (windows = analyzerWindows()).size() == before + 1; }));
        if (windows.size() != before + 1) return 0;
        EXPECT_TRUE(waitPainted(windows.back()));
        startUp(*handle);
        return windows.back();
    }
    // Control calls until the output pin carries the value (the panel took it and published it).
    bool controlUntil(int32_t handle, int pin, int32_t value) {
        return waitUntil([&] {
            control(handle);
            return pins.at(handle)->outputs[pin] == value;
        });
    }
    // A control and an audio call per block for each instance with its signal on input A, with the
    // loop running between blocks, until done() holds.
    bool feedUntil(const std::vector<std::pair<int32_t, std::vector<int32_t>>>& feeds,
                   const std::function<bool()>& done) {
        const std::vector<int32_t> silence(1024, 0);
        return waitUntil([&] {
            for (const auto& [handle, a] : feeds) {
                control(handle);
                audio(handle, a, silence, silence, silence);
            }
            pump(20);
            return done();
        });
    }
    // Rows 0..561 of window column x holding the colour.
    std::vector<int> rowsWith(Window w, int x, COLORREF colour) {
        std::vector<int> rows;
        const std::vector<COLORREF> column = pixels(w, x, 0, 1, 562);
        for (int y = 0; y < 562; ++y)
            if (column[size_t(y)] == colour) rows.push_back(y);
        return rows;
    }
};

TEST_F(Traces, TwoInstancesEachDrawIntoTheirOwnWindow) {
    int32_t first = 0, second = 0;
    const Window w1 = open(&first);
    const Window w2 = open(&second);
    ASSERT_NE(w1, 0u);
    ASSERT_NE(w2, 0u);
    // Both open centred, one over the other: move them apart as a user would, so that each display
    // can be seen (X keeps no hidden copy of what is drawn under another window).
    XMoveWindow(display, w1, 0, 0);
    XMoveWindow(display, w2, 0, 462);
    XSync(display, False);
    ASSERT_TRUE(waitPainted(w1));
    for (int32_t h : {first, second}) {
        pins.at(h)->inputs[20] = 2;  // trace 1 on input A
        ASSERT_TRUE(controlUntil(h, 20, 2));
    }
    // Full scale lies on display row 1, silence on row 200; the engine draws 45 rows down.
    const std::vector<int32_t> top(1024, INT32_MAX), zero(1024, 0);
    EXPECT_TRUE(feedUntil({{first, top}, {second, zero}},
                          [&] {
                              return rowsWith(w1, 500, kGreen) == std::vector<int>{46} &&
                                     rowsWith(w2, 500, kGreen) == std::vector<int>{245};
                          }))
        << "first window: " << ::testing::PrintToString(rowsWith(w1, 500, kGreen))
        << ", second: " << ::testing::PrintToString(rowsWith(w2, 500, kGreen));
    EXPECT_EQ(PlatformWindow_x11ErrorCount(), 0u);
}

TEST_F(Traces, ASineOnInputAShowsItsSpectrumPeakAtItsColumn) {
    int32_t h = 0;
    const Window w = open(&h);
    ASSERT_NE(w, 0u);
    // As a user: trace 1 on "A" (from its pin), then "Frequency" and "ABS" clicked on the panel.
    pins.at(h)->inputs[20] = 2;
    ASSERT_TRUE(controlUntil(h, 20, 2));
    click(w, 267, 494);
    ASSERT_TRUE(controlUntil(h, 1, 1)) << "the spectrum view is on";
    click(w, 267, 517);
    ASSERT_TRUE(controlUntil(h, 3, 1)) << "magnitudes are on";

    // 1 kHz at 44.1 kHz: bin 23.2 of 1024.
    const std::vector<int32_t> sine = sineBlock(1000.0);
    int peakColumn = -1;
    auto findPeak = [&] {
        int best = 562;
        peakColumn = -1;
        for (int i = 0; i < 1023; ++i) {
            const std::vector<int> rows = rowsWith(w, 14 + i, kGreen);
            if (!rows.empty() && rows.front() < best) best = rows.front(), peakColumn = i;
        }
        return peakColumn >= 0 && best < 380;  // well above the floor on row 445
    };
    const bool found = feedUntil({{h, sine}}, findPeak);
    mkdir(SCREENSHOT_DIR, 0755);
    EXPECT_TRUE(PlatformWindow_writePng(HWND(w), SCREENSHOT_DIR "/spectrum.png"));
    ASSERT_TRUE(found) << "no spectrum peak appeared";

    int32_t map[kSizeCodes][1024];
    buildFrequencyMap(21.0, &map[0][0], 1024);
    EXPECT_GE(map[0][peakColumn], 22) << "column " << peakColumn;
    EXPECT_LE(map[0][peakColumn], 24) << "column " << peakColumn;
    EXPECT_EQ(PlatformWindow_x11ErrorCount(), 0u);
}

}  // namespace
