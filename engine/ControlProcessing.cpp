// The control entry of an analyzer instance: start-up, the show pin, the exchange of control values
// between the pins and the panel, and keeping the transform, the frequency maps, the window and the
// frequency marks in step with the panel's settings.
//
// Threads: [audio-thread].
#include "engine/GuiCtrl.h"

#include "common/ControlSlots.h"
#include "engine/WindowTables.h"
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

int32_t GuiCtrl::processControlPins(const int32_t* const* inputs, int32_t* outputs, bool exchangedPinsUnchanged) {
    if (countStartupCall(outputs)) return 0;
    // The transform, the maps and the window are what the worker analyses with: while it analyses,
    // a change waits for a later call (each step compares with the panel again).
    const bool workerIdle = workers_.isIdle();
    publishAnalysisResults();
    followShowPin(inputs, outputs);
    outputs[slot::kReadyPin] = 1;
    sendIdleCountAndMarkerFrequency();
    if (!exchangedPinsUnchanged) exchangePins(inputs, outputs);
    const bool spectrumMode = link_.panelValues[slot::kSpectrumMode] != 0;
    if (workerIdle) followTransformSize(spectrumMode);
    keepFrequencyMarks(spectrumMode, workerIdle);
    if (workerIdle) keepWindow();
    return 0;
}

// Start-up: the first calls only count; from the 16th on they take the instance's own window, which
// the thread that made the instance handed over (an instance without one draws nowhere). True while
// starting up.
bool GuiCtrl::countStartupCall(int32_t* outputs) {
    if (link_.startupCalls >= kStartupCalls) return false;
    outputs[slot::kReadyPin] = 0;
    ++link_.startupCalls;
    if (link_.startupCalls > 15)
        link_.analyzerWindow.store(link_.ownWindow.load(std::memory_order_acquire), std::memory_order_release);
    return true;
}

// The show pin: 1 or more shows, 0 hides, negative values change nothing.
void GuiCtrl::followShowPin(const int32_t* const* inputs, int32_t* outputs) {
    const int32_t show = *inputs[slot::kShowPin];
    if (show >= 1 && !link_.windowShown) {
        link_.windowShown = true;
        if (link_.guiCallback) link_.guiCallback->showWindow(1);
    } else if (show == 0 && link_.windowShown) {
        link_.windowShown = false;
        if (link_.guiCallback) link_.guiCallback->showWindow(0);
    }
    outputs[slot::kShowPin] = link_.windowShown ? 1 : 0;
}

// The idle count, and the frequency at the marker column in hundredths of a hertz for the size in
// force before this call.
void GuiCtrl::sendIdleCountAndMarkerFrequency() {
    sendValue(slot::kIdleCount, capture_.idleBlockCount);
    int32_t markerColumn = link_.panelValues[slot::kMarker];
    if (markerColumn < 1) markerColumn = 1;
    if (markerColumn > 1023) markerColumn = 1023;
    const double binWidthBefore = double(moduleSampleRate.load(std::memory_order_relaxed)) / setup_.fftSize;
    sendValue(slot::kMarker, toInt32(binWidthBefore * setup_.binMap[setup_.fftSizeCode][markerColumn] * 100.0));
}

// A changed input is forwarded to the panel; an unchanged one carries the panel's value out.
void GuiCtrl::exchangePins(const int32_t* const* inputs, int32_t* outputs) {
    for (int pin : kExchangedPins) {
        const int32_t value = *inputs[pin];
        if (value != link_.lastInput[pin]) {
            link_.lastInput[pin] = value;
            sendValue(pin, value);
        } else {
            outputs[pin] = link_.panelValues[pin];
        }
    }
}

// The transform size follows the panel in spectrum mode and goes back to 1024 in time mode.
void GuiCtrl::followTransformSize(bool spectrumMode) {
    if (spectrumMode && link_.panelValues[slot::kFftSize] != setup_.fftSize) {
        switch (link_.panelValues[slot::kFftSize]) {
        case 2048: switchFftSize(2048, 1); break;
        case 4096: switchFftSize(4096, 2); break;
        case 8192: switchFftSize(8192, 3); break;
        default: switchFftSize(1024, 0); break;
        }
    } else if (!spectrumMode && setup_.fftSize != 1024) {
        switchFftSize(1024, 0);
    }
}

// A new sample rate resets the analysis; a new "Hz Stretch" rebuilds the frequency maps; either
// publishes the frequency marks again, which show in the spectrum view without "Vibes Watch".
void GuiCtrl::keepFrequencyMarks(bool spectrumMode, bool workerIdle) {
    const bool marksWanted = spectrumMode && !setup_.altDisplay;
    const int32_t sampleRate = moduleSampleRate.load(std::memory_order_relaxed);
    if (sampleRate != setup_.lastSampleRate) {
        setup_.lastSampleRate = sampleRate;
        setup_.resetRequest = true;
        setup_.markersPublished = marksWanted ? 0 : 1;
    }
    if (workerIdle && setup_.frequencyShape != double(link_.panelValues[slot::kShape])) {
        setup_.frequencyShape = double(link_.panelValues[slot::kShape]);
        if (!copyPreparedFrequencyMaps(setup_.frequencyShape, setup_.binMap, setup_.coarseBinMap))
            buildFrequencyMaps(setup_.frequencyShape, setup_.binMap, setup_.coarseBinMap);
        setup_.markersPublished = marksWanted ? 0 : 1;
    }
    if (int32_t(marksWanted) != setup_.markersPublished) publishFrequencyMarks(marksWanted, sampleRate);
}

// The window function follows the panel: the shared table of its code for the size in force (a code
// without a formula keeps the table it finds).
void GuiCtrl::keepWindow() {
    if (link_.panelValues[slot::kWindow] != setup_.appliedWindowCode) {
        setup_.appliedWindowCode = link_.panelValues[slot::kWindow];
        if (const double* table = windowTable(setup_.appliedWindowCode, setup_.fftSizeCode))
            setup_.windowCoefficients = table;
    }
}

void GuiCtrl::switchFftSize(int32_t size, int32_t code) {
    setup_.fftObject.release();
    setup_.fftObject.initialise(size);
    setup_.fftSize = size;
    setup_.fftSizeCode = code;
    // Any code other than the panel's forces the window to be rebuilt for the new size.
    setup_.appliedWindowCode = link_.panelValues[slot::kWindow] == 0 ? 1 : 0;
    setup_.markersPublished = 0;
}

void GuiCtrl::publishFrequencyMarks(bool show, int32_t sampleRate) {
    if (show) {
        const double binWidth = double(sampleRate) / setup_.fftSize;
        int32_t columns[3];
        for (int m = 0; m < 3; ++m) {
            int32_t column = kDisplayColumns;
            for (int i = 0; i < kDisplayColumns; ++i) {
                if (setup_.binMap[setup_.fftSizeCode][i] * binWidth >= kMarkFrequencies[m]) {
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
    setup_.markersPublished = show ? 1 : 0;
}
