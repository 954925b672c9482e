// The control entry of an analyzer instance: start-up, the show pin, the exchange of control values
// between the pins and the panel, and keeping the transform, the frequency maps, the window and the
// frequency marks in step with the panel's settings.
//
// Threads: [audio-thread].
#include "engine/GuiCtrl.h"

#include "engine/ControlSlots.h"
#include "engine/WindowFunctions.h"
#include "platform/win32.h"

#include <cmath>

namespace {

// Pins whose values travel between the host and the panel, in processing order.
constexpr int kExchangedPins[] = {1,  3,  4,  11, 12, 13, 18, 20, 21, 22, 23, 24, 25, 26,
                                  27, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43};

constexpr double kMarkFrequencies[] = {100.0, 1000.0, 10000.0};

// Double to int32, clamped to the 32-bit range and truncated toward zero.
int32_t toInt32(double value) {
    if (!(value > -2147483648.0)) return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return int32_t(value);
}

template <typename T>
T* fromWord(int32_t word) {
    return reinterpret_cast<T*>(uintptr_t(uint32_t(word)));
}

}  // namespace

int32_t GuiCtrl::processControl(int32_t inputs, int32_t, int32_t outputs, int32_t) {
    return processControlPins(fromWord<const int32_t* const>(inputs), fromWord<int32_t>(outputs));
}

int32_t GuiCtrl::processControlPins(const int32_t* const* inputs, int32_t* outputs) {
    if (countStartupCall(outputs)) return 0;
    followShowPin(inputs, outputs);
    outputs[slot::kReadyPin] = 1;
    sendIdleCountAndMarkerFrequency();
    exchangePins(inputs, outputs);
    const bool spectrumMode = panelValues[slot::kSpectrumMode] != 0;
    followTransformSize(spectrumMode);
    keepFrequencyMarks(spectrumMode);
    keepWindow();
    return 0;
}

// Start-up: the first calls only count; from the 16th on they take the instance's own window, or look
// for a window by its title when the instance has none of its own. True while starting up.
bool GuiCtrl::countStartupCall(int32_t* outputs) {
    if (startupCalls >= kStartupCalls) return false;
    outputs[slot::kReadyPin] = 0;
    ++startupCalls;
    if (startupCalls > 15) {
        const HWND own = ownWindow.load(std::memory_order_acquire);
        analyzerWindow = own ? own : FindWindowA(nullptr, "Analyzer");
    }
    return true;
}

// The show pin: 1 or more shows, 0 hides, negative values change nothing.
void GuiCtrl::followShowPin(const int32_t* const* inputs, int32_t* outputs) {
    const int32_t show = *inputs[slot::kShowPin];
    if (show >= 1 && !windowShown) {
        windowShown = true;
        if (guiCallback) guiCallback->showWindow(1);
    } else if (show == 0 && windowShown) {
        windowShown = false;
        if (guiCallback) guiCallback->showWindow(0);
    }
    outputs[slot::kShowPin] = windowShown ? 1 : 0;
}

// The idle count, and the frequency at the marker column in hundredths of a hertz for the size in
// force before this call.
void GuiCtrl::sendIdleCountAndMarkerFrequency() {
    sendValue(slot::kIdleCount, idleBlockCount);
    int32_t markerColumn = panelValues[slot::kMarker];
    if (markerColumn < 1) markerColumn = 1;
    if (markerColumn > 1023) markerColumn = 1023;
    const double binWidthBefore = double(moduleSampleRate.load(std::memory_order_relaxed)) / fftSize;
    sendValue(slot::kMarker, toInt32(binWidthBefore * binMap[fftSizeCode][markerColumn] * 100.0));
}

// A changed input is forwarded to the panel; an unchanged one carries the panel's value out.
void GuiCtrl::exchangePins(const int32_t* const* inputs, int32_t* outputs) {
    for (int pin : kExchangedPins) {
        const int32_t value = *inputs[pin];
        if (value != lastInput[pin]) {
            lastInput[pin] = value;
            sendValue(pin, value);
        } else {
            outputs[pin] = panelValues[pin];
        }
    }
}

// The transform size follows the panel in spectrum mode and goes back to 1024 in time mode.
void GuiCtrl::followTransformSize(bool spectrumMode) {
    if (spectrumMode && panelValues[slot::kFftSize] != fftSize) {
        switch (panelValues[slot::kFftSize]) {
        case 2048: switchFftSize(2048, 1); break;
        case 4096: switchFftSize(4096, 2); break;
        case 8192: switchFftSize(8192, 3); break;
        default: switchFftSize(1024, 0); break;
        }
    } else if (!spectrumMode && fftSize != 1024) {
        switchFftSize(1024, 0);
    }
}

// A new sample rate resets the analysis; a new "Hz Stretch" rebuilds the frequency maps; either
// publishes the frequency marks again, which show in the spectrum view without "Vibes Watch".
void GuiCtrl::keepFrequencyMarks(bool spectrumMode) {
    const bool marksWanted = spectrumMode && !altDisplay;
    const int32_t sampleRate = moduleSampleRate.load(std::memory_order_relaxed);
    if (sampleRate != lastSampleRate) {
        lastSampleRate = sampleRate;
        resetRequest = true;
        markersPublished = marksWanted ? 0 : 1;
    }
    if (frequencyShape != double(panelValues[slot::kShape])) {
        frequencyShape = double(panelValues[slot::kShape]);
        buildFrequencyMaps(frequencyShape, binMap, coarseBinMap);
        markersPublished = marksWanted ? 0 : 1;
    }
    if (int32_t(marksWanted) != markersPublished) publishFrequencyMarks(marksWanted, sampleRate);
}

// The window function follows the panel.
void GuiCtrl::keepWindow() {
    if (panelValues[slot::kWindow] != appliedWindowCode) {
        appliedWindowCode = panelValues[slot::kWindow];
        fillWindow(windowCoefficients, fftSize, appliedWindowCode);
    }
}

void GuiCtrl::switchFftSize(int32_t size, int32_t code) {
    fftObject.release();
    fftObject.initialise(size);
    fftSize = size;
    fftSizeCode = code;
    // Any code other than the panel's forces the window to be rebuilt for the new size.
    appliedWindowCode = panelValues[slot::kWindow] == 0 ? 1 : 0;
    markersPublished = 0;
}

void GuiCtrl::publishFrequencyMarks(bool show, int32_t sampleRate) {
    if (show) {
        const double binWidth = double(sampleRate) / fftSize;
        int32_t columns[3];
        for (int m = 0; m < 3; ++m) {
            int32_t column = kDisplayColumns;
            for (int i = 0; i < kDisplayColumns; ++i) {
                if (binMap[fftSizeCode][i] * binWidth >= kMarkFrequencies[m]) {
                    column = i;
                    break;
                }
            }
            columns[m] = column;
        }
        sendValue(slot::kBinWidth, toInt32(binWidth));
        for (int m = 0; m < 3; ++m) sendValue(slot::kFirstMark + m, columns[m]);
        sendValue(slot::kMarksValid, 1);
    } else {
        sendValue(slot::kMarksValid, 0);
    }
    markersPublished = show ? 1 : 0;
}
