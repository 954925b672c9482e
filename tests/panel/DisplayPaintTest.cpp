// What the display paints from the trace data it holds, in each display mode, and its scale labels.
#include "PanelHarness.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;

class DisplayPaint : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const int colours[4][3] = {{0, 255, 0}, {255, 0, 0}, {0, 0, 255}, {200, 100, 50}};
        for (int k = 0; k < 4; ++k) {
            shown.traceRed[k] = colours[k][0];
            shown.traceGreen[k] = colours[k][1];
            shown.traceBlue[k] = colours[k][2];
        }
    }
    // The display with the settings and trace data of the test, rendered.
    juce::Image rendered() {
        display().setSettings(shown);
        for (int k = 0; k < 4; ++k) display().setTraceData(k, traceData[k]);
        return render(display());
    }
    // Trace k as points (x[i], y[i]) for the X-Y modes; the rest of the 512 points repeat the last.
    void points(int k, std::vector<std::pair<int, int>> xy) {
        for (int i = 0; i < 512; ++i) {
            const auto& p = xy[std::min<size_t>(size_t(i), xy.size() - 1)];
            traceData[k][i] = p.first;
            traceData[k][512 + i] = p.second;
        }
    }
    void fill(int k, int32_t value) {
        for (int32_t& v : traceData[k]) v = value;
    }
    // Non-black pixels of a rectangle of the rendered display.
    static int lit(const juce::Image& image, int x, int y, int w, int h) {
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) n += argb(image, i, j) != kBlack;
        return n;
    }

    ANZEIGE_Component::Settings shown;
    int32_t traceData[4][1024] = {};
};

TEST_F(DisplayPaint, ModeZeroPaintsNoTraceWhateverTheData) {
    fill(0, 100);
    shown.displayMode = 0;
    const juce::Image image = rendered();
    EXPECT_EQ(lit(image, 0, 0, 1000, 418), 0);
}

TEST_F(DisplayPaint, LinesPutEachColumnAtItsRowInTheTraceColour) {
    shown.displayMode = 1;
    fill(0, 100);
    fill(1, 250);
    shown.traceOn[2] = shown.traceOn[3] = false;
    const juce::Image image = rendered();
    for (int x : {3, 500, 1026}) {
        EXPECT_EQ(argb(image, x, 103), 0xFF00FF00) << x;
        EXPECT_EQ(argb(image, x, 253), 0xFFFF0000) << x;
    }
    EXPECT_EQ(argb(image, 2, 103), kBlack) << "the plot starts at x 3";
    EXPECT_EQ(argb(image, 1027, 103), kBlack) << "and ends with column 1023";
    EXPECT_EQ(lit(image, 3, 0, 1024, 90), 0) << "nothing else above the traces";
}

TEST_F(DisplayPaint, ASegmentBetweenRowsIsDrawnInTheDimColour) {
    shown.displayMode = 1;
    fill(0, 100);
    for (int i = 500; i < 1024; ++i) traceData[0][i] = 300;
    shown.traceOn[1] = shown.traceOn[2] = shown.traceOn[3] = false;
    const juce::Image image = rendered();
    // The step from column 499 to 500 is a near-vertical line at x 502..503, half bright green.
    uint32_t brightest = kBlack;
    for (int x = 501; x <= 504; ++x) brightest = std::max(brightest, argb(image, x, 200));
    EXPECT_GT(brightest & 0xFF00, 0u);
    EXPECT_LE((brightest >> 8) & 0xFF, 0x7Fu) << "no brighter than the dim colour";
}

TEST_F(DisplayPaint, SlantedSlicesRiseOnePixelPerColumn) {
    shown.displayMode = 2;
    fill(0, 300);
    shown.traceOn[1] = shown.traceOn[2] = shown.traceOn[3] = false;
    const juce::Image image = rendered();
    // Point j of slice m lies at (128 m + j + 3, 303 - j); point 0 of each slice gets no pixel.
    EXPECT_EQ(argb(image, 128 * 2 + 10 + 3, 303 - 10), 0xFF00FF00);
    EXPECT_EQ(argb(image, 128 * 7 + 127 + 3, 303 - 127), 0xFF00FF00);
}

TEST_F(DisplayPaint, PairedPointsNeedBothTracesAndTakeTheFirstColour) {
    shown.displayMode = 3;
    points(0, {{10, 20}});
    points(1, {{30, 40}});
    points(2, {{50, 60}});
    points(3, {{70, 80}});
    shown.traceOn[3] = false;
    const juce::Image image = rendered();
    EXPECT_EQ(argb(image, 10 + 52, 23), 0xFF00FF00);
    EXPECT_EQ(argb(image, 30 + 52, 43), 0xFF00FF00) << "trace 2 in trace 1's colour";
    EXPECT_EQ(argb(image, 50 + 584, 63), kBlack) << "the right pair has one trace off";
    EXPECT_EQ(argb(image, 70 + 584, 83), kBlack);
}

TEST_F(DisplayPaint, SinglePointsTakeTheirOwnColourInTheirPane) {
    shown.displayMode = 4;
    points(1, {{30, 40}});
    points(3, {{70, 80}});
    shown.traceOn[0] = shown.traceOn[2] = false;
    shown.traceRed[3] = 256 + 17;  // only the low byte counts
    const juce::Image image = rendered();
    EXPECT_EQ(argb(image, 30 + 52, 43), 0xFFFF0000);
    EXPECT_EQ(argb(image, 70 + 584, 83), 0xFF116432);
}

TEST_F(DisplayPaint, AColourComponentOf256PaintsAsZero) {
    shown.displayMode = 4;
    points(0, {{100, 100}});
    shown.traceRed[0] = 256;
    shown.traceOn[1] = shown.traceOn[2] = shown.traceOn[3] = false;
    const juce::Image image = rendered();
    EXPECT_EQ(argb(image, 152, 103), 0xFF00FF00);
}

TEST_F(DisplayPaint, LevelLabelsFollowTheScaleAndTheStep) {
    shown.dbStep = 30;
    EXPECT_EQ(ANZEIGE_Component::levelLabels(1, 30), juce::StringArray({"-90", "-180", "-360"}));
    EXPECT_EQ(ANZEIGE_Component::levelLabels(2, 30), juce::StringArray({"-90", "0", "-90"}));
    EXPECT_EQ(ANZEIGE_Component::levelLabels(3, 30), juce::StringArray({"-180", "0", "-180"}));
    EXPECT_TRUE(ANZEIGE_Component::levelLabels(0, 30).isEmpty());
    for (int mode : {0, 1}) {
        shown.scaleMode = mode;
        const juce::Image image = rendered();
        EXPECT_EQ(lit(image, 1024, 93, 18, 220) > 0, mode == 1) << "labels painted in mode " << mode;
    }
}

TEST_F(DisplayPaint, FrequencyLabelsOnlyWhenShown) {
    shown.label100HzX = 100;
    shown.label1kHzX = 400;
    shown.label10kHzX = 800;
    const juce::Image hidden = rendered();
    shown.showFreqLabels = true;
    const juce::Image shown = rendered();
    EXPECT_EQ(lit(hidden, 395, 402, 20, 16), 0);
    EXPECT_GT(lit(shown, 395, 402, 20, 16), 0) << "\"1k\" at its position";
}

}  // namespace
