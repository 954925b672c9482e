// The 1042 x 418 display inside the panel, at panel position (11, 41).
//
// Live, the engine draws the traces straight into the window over this area; the component then
// paints only its black background and the scale labels (display mode 0), and every repaint of it
// paints over what the engine drew. While the panel holds the display, it paints the last trace data
// it was handed itself, in one of four modes, with a faint grid. The plot origin is pixel (3, 3).
//
// Threads: [main-thread]. The panel and the relay set what it shows; the component takes no lock.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>

class ANZEIGE_Component : public juce::Component {
public:
    static constexpr int kWidth = 1042;
    static constexpr int kHeight = 418;

    // What paint draws beyond the background and the labels.
    enum DisplayMode { kNothing = 0, kLines = 1, kSlantedSlices = 2, kPairedXY = 3, kSingleXY = 4 };

    ANZEIGE_Component();
    ~ANZEIGE_Component() override = default;

    void paint(juce::Graphics& g) override;

    // The level labels, top, middle and bottom, for a scale mode and dB step; none for modes other
    // than 1, 2 and 3.
    static juce::StringArray levelLabels(int scaleMode, int dbStep);

    // Repaints the level-label strip at the right (scaleOnly) or the whole trace area.
    void repaintHelper(bool scaleOnly);

    // What the display shows, as the panel sets it.
    struct Settings {
        int displayMode = kNothing;
        int scaleMode = 0;  // which level scale is labelled: 0 none, 1, 2, 3; 4 a second baseline
        int dbStep = 1;  // the panel's "dB Multiply"
        bool showFreqLabels = false;
        int firstFreqLabelValue = 0;  // the width of one analysis bin in Hz, printed at the left
        int label100HzX = 0;
        int label1kHzX = 0;
        int label10kHzX = 0;
        bool traceOn[4] = {true, true, true, true};
        int traceRed[4] = {};  // only the low 8 bits of each component count
        int traceGreen[4] = {};
        int traceBlue[4] = {};
    };
    const Settings& settings() const { return settings_; }
    // Takes new settings; the caller repaints what they change (repaintHelper).
    void setSettings(const Settings& settings) { settings_ = settings; }

    // Trace k's data, 1024 values: modes 1 and 2, the row of each column below the plot origin; modes
    // 3 and 4, 512 x positions followed by 512 y positions.
    void setTraceData(int trace, const int32_t* values);
    const int32_t* traceData(int trace) const { return traceRows[trace]; }

private:
    Settings settings_;
    int32_t traceRows[4][1024];

    juce::Colour fullColour(int trace) const;
    juce::Colour dimColour(int trace) const;
    void paintLevelLabels(juce::Graphics& g) const;
    void paintLines(juce::Graphics& g) const;
    void paintSlantedSlices(juce::Graphics& g) const;
    void paintPoints(juce::Graphics& g, int trace, int xOffset) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ANZEIGE_Component)
};
