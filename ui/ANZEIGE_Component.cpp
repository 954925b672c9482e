#include "ui/ANZEIGE_Component.h"

#include <cstring>

namespace {

constexpr int kLeft = juce::Justification::left;  // 1
constexpr int kCentred = juce::Justification::centred;  // 36
const juce::Colour kLabelColour(0xFFC4C4C4);
const juce::Colour kGridColour(0xFF0A0A0A);

juce::Font plainFont(float height) { return juce::Font(height, juce::Font::plain); }

void line(juce::Graphics& g, int x1, int y1, int x2, int y2) {
    g.drawLine(float(x1), float(y1), float(x2), float(y2), 1.0f);
}

void pixel(juce::Graphics& g, int x, int y) { g.fillRect(x, y, 1, 1); }

// A label in its rectangle, squeezed sideways rather than cut short when the font is wider than the
// rectangle allows ("100" in 20 pixels).
void label(juce::Graphics& g, const juce::String& text, int x, int y, int justification) {
    g.drawFittedText(text, x, y, 20, 20, juce::Justification(justification), 1, 0.5f);
}

// The level labels at the right: top, middle and bottom, as multiples of the dB step.
struct LevelScale {
    int top, bottom;  // multiples of the step; the middle is "0" when zeroInMiddle
    bool zeroInMiddle;
    int middle;
};

const LevelScale* levelScale(int scaleMode) {
    static const LevelScale scales[] = {{-3, -12, false, -6}, {-3, -3, true, 0}, {-6, -6, true, 0}};
    return scaleMode >= 1 && scaleMode <= 3 ? &scales[scaleMode - 1] : nullptr;
}

}  // namespace

ANZEIGE_Component::ANZEIGE_Component() {
    // Every paint starts by filling the whole component: the panel need not be painted under it.
    setOpaque(true);
    setSize(kWidth, kHeight);
    std::memset(traceRows, 0, sizeof traceRows);
}

void ANZEIGE_Component::setTraceData(int trace, const int32_t* values) {
    std::memcpy(traceRows[trace], values, sizeof traceRows[trace]);
}

void ANZEIGE_Component::repaintHelper(bool scaleOnly) {
    if (scaleOnly)
        repaint(1000, 1, 1044, 430);
    else
        repaint(1, 1, 1044, 450);
}

juce::Colour ANZEIGE_Component::fullColour(int k) const {
    return juce::Colour(juce::uint8(settings_.traceRed[k] & 0xFF), juce::uint8(settings_.traceGreen[k] & 0xFF),
                        juce::uint8(settings_.traceBlue[k] & 0xFF));
}

juce::Colour ANZEIGE_Component::dimColour(int k) const {
    return juce::Colour(juce::uint8((settings_.traceRed[k] & 0xFF) / 2),
                        juce::uint8((settings_.traceGreen[k] & 0xFF) / 2),
                        juce::uint8((settings_.traceBlue[k] & 0xFF) / 2));
}

juce::StringArray ANZEIGE_Component::levelLabels(int scaleMode, int dbStep) {
    const LevelScale* scale = levelScale(scaleMode);
    if (scale == nullptr) return {};
    const juce::String middle = scale->zeroInMiddle ? juce::String("0") : juce::String(scale->middle * dbStep);
    return {juce::String(scale->top * dbStep), middle, juce::String(scale->bottom * dbStep)};
}

void ANZEIGE_Component::paintLevelLabels(juce::Graphics& g) const {
    const juce::StringArray labels = levelLabels(settings_.scaleMode, settings_.dbStep);
    for (int i = 0; i < labels.size(); ++i) label(g, labels[i], 1024, 93 + 100 * i, kCentred);
}

void ANZEIGE_Component::paint(juce::Graphics& g) {
    g.fillAll(juce::Colour(0xFF000000));
    g.setColour(kLabelColour);
    g.setFont(plainFont(13.0f));
    if (settings_.showFreqLabels) {
        label(g, juce::String(settings_.firstFreqLabelValue), 10, 402, kLeft);
        label(g, "100", settings_.label100HzX, 402, kLeft);
        label(g, "1k", settings_.label1kHzX, 402, kLeft);
        label(g, "10k", settings_.label10kHzX, 402, kLeft);
    }
    paintLevelLabels(g);
    if (settings_.displayMode == kNothing) return;

    g.setColour(kGridColour);
    g.setFont(plainFont(13.0f));
    switch (settings_.displayMode) {
    case kLines: paintLines(g); break;
    case kSlantedSlices: paintSlantedSlices(g); break;
    case kPairedXY:
        // A pair is painted only with both of its traces on, both in the first trace's colour.
        for (int first : {0, 2}) {
            if (!settings_.traceOn[first] || !settings_.traceOn[first + 1]) continue;
            g.setColour(fullColour(first));
            paintPoints(g, first, first == 0 ? 52 : 584);
            paintPoints(g, first + 1, first == 0 ? 52 : 584);
        }
        break;
    case kSingleXY:
        for (int k = 0; k < 4; ++k) {
            if (!settings_.traceOn[k]) continue;
            g.setColour(fullColour(k));
            paintPoints(g, k, k < 2 ? 52 : 584);
        }
        break;
    default: break;
    }
}

void ANZEIGE_Component::paintLines(juce::Graphics& g) const {
    if (settings_.showFreqLabels && (settings_.scaleMode == 1 || settings_.scaleMode == 2))
        for (int x : {settings_.label100HzX, settings_.label1kHzX, settings_.label10kHzX})
            line(g, x + 5, 11, x + 5, 402);
    if (settings_.scaleMode != 0)
        for (int y : {104, 204, 304}) line(g, 10, y, 1024, y);
    for (int k = 0; k < 4; ++k) {
        if (!settings_.traceOn[k]) continue;
        g.setColour(dimColour(k));
        for (int i = 0; i < 1023; ++i) line(g, 3 + i, traceRows[k][i] + 3, 4 + i, traceRows[k][i + 1] + 3);
    }
    for (int k = 0; k < 4; ++k) {
        if (!settings_.traceOn[k]) continue;
        g.setColour(fullColour(k));
        for (int i = 0; i < 1024; ++i) pixel(g, 3 + i, traceRows[k][i] + 3);
    }
}

void ANZEIGE_Component::paintSlantedSlices(juce::Graphics& g) const {
    // Eight slices of 128 points; each rises one pixel per column to the right.
    auto baseline = [&](int value) {
        for (int m = 0; m < 8; ++m)
            for (int j = 0; j < 127; ++j) line(g, 128 * m + j + 3, value + 3 - j, 128 * m + j + 4, value + 2 - j);
    };
    if (settings_.scaleMode == 3) baseline(528);  // segments (x, 531 - j) to (x + 1, 530 - j)
    if (settings_.scaleMode == 4) baseline(264);  // segments (x, 267 - j) to (x + 1, 266 - j)
    for (int m = 0; m < 8; ++m) line(g, 3 + 128 * m, 403, 3 + 128 * m, 64);

    for (int k = 0; k < 4; ++k) {
        if (!settings_.traceOn[k]) continue;
        const int32_t* v = traceRows[k];
        g.setColour(dimColour(k));
        for (int m = 0; m < 8; ++m)
            for (int j = 0; j < 127; ++j)
                line(g, 128 * m + j + 3, v[128 * m + j] - j + 3, 128 * m + j + 4, v[128 * m + j + 1] - (j + 1) + 3);
        g.setColour(fullColour(k));
        for (int m = 0; m < 8; ++m)
            for (int j = 1; j < 128; ++j) pixel(g, 128 * m + j + 3, v[128 * m + j] - j + 3);
    }
}

void ANZEIGE_Component::paintPoints(juce::Graphics& g, int k, int xOffset) const {
    for (int i = 0; i < 512; ++i) pixel(g, traceRows[k][i] + xOffset, traceRows[k][512 + i] + 3);
}
