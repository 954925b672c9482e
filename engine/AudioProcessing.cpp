// The audio entry of an analyzer instance: gates, capture of the four inputs with the optional
// zero-crossing trigger, and one analysis step per complete capture followed by the drawing workers.
//
// Threads: [audio-thread]. The drawing workers are synchronised only through their done flags: they
// are read here with acquire semantics (workers.isIdle) before the jobs are touched.
#include "engine/GuiCtrl.h"

#include "engine/ControlSlots.h"
#include "engine/TraceWorkers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

static_assert(sizeof(void*) == 4, "held traces travel to the panel as 32-bit addresses");

// True exactly when the signal crosses from 0 or below to above 0.
inline bool risingEdge(int32_t previous, int32_t current) { return previous <= 0 && current > 0; }

}  // namespace

int32_t GuiCtrl::processAudio(int32_t, int32_t inputs, int32_t, int32_t, int32_t start, int32_t count) {
    return processAudioBlock(reinterpret_cast<const int32_t* const*>(uintptr_t(uint32_t(inputs))), start, count);
}

int32_t GuiCtrl::processAudioBlock(const int32_t* const* inputs, int32_t start, int32_t count) {
    if (startupCalls < kStartupCalls) return -1;

    const bool workersIdle = workers.isIdle();

    const int32_t hold = panelValues[slot::kHold];
    if (!workersIdle || hold != 0 || !windowShown) {
        if (count >= 1)
            for (int input = 0; input < kTraces; ++input) lastSamples[input] = inputs[input][start + count - 1];
        if (hold == 0) {
            // The capture keeps its partial contents and resumes when the gate opens again. The count
            // stops at its largest value (after about 33 days of 64-sample blocks at 48 kHz).
            if (idleBlockCount < INT32_MAX) ++idleBlockCount;
            return -1;
        }
        idleBlockCount = 0;
        captureCount = 0;
        // A hand-over the panel is still reading is not overwritten: this one waits a block.
        if (workersIdle && !drawingActive && !(guiCallback && guiCallback->heldTracesPending())) holdTraces();
        return -1;
    }

    drawingActive = false;
    if (count < 1) return -1;

    const int32_t mode = panelValues[slot::kCatcher];
    int32_t i = 0;
    while (i < count) {
        if (mode >= 1 && captureCount == 0) {
            // Waiting for the trigger: sample by sample; the triggering sample starts the capture.
            int32_t samples[kTraces];
            for (int input = 0; input < kTraces; ++input) samples[input] = inputs[input][start + i];
            if (triggered(mode, samples)) {
                for (int input = 0; input < kTraces; ++input) captureBuffers[input][0] = samples[input];
                captureCount = 1;
            }
            std::memcpy(lastSamples, samples, sizeof samples);
            ++i;
            continue;
        }
        // Capturing: copy up to the end of the block or of the capture in one go. A capture already
        // longer than a newly chosen transform size completes with its next sample.
        const int32_t take = std::max<int32_t>(1, std::min(count - i, fftSize - captureCount));
        for (int input = 0; input < kTraces; ++input)
            std::memcpy(&captureBuffers[input][captureCount], &inputs[input][start + i],
                        sizeof(int32_t) * size_t(take));
        captureCount += take;
        i += take;
        for (int input = 0; input < kTraces; ++input) lastSamples[input] = inputs[input][start + i - 1];
        if (captureCount >= fftSize) {
            // The rest of this block is not used; the next capture starts with the next block.
            runAnalysisStep();
            for (int input = 0; input < kTraces; ++input) lastSamples[input] = inputs[input][start + count - 1];
            if (resetRequest) {
                resetRequest = false;
                sendValue(slot::kRedraw, 1);
            }
            return -1;
        }
    }
    return -1;
}

bool GuiCtrl::triggered(int32_t mode, const int32_t* samples) const {
    if (mode < 1 || mode > 8) return false;
    const int input = (mode - 1) / 2;
    const bool rising = (mode % 2) == 1;
    return rising ? risingEdge(lastSamples[input], samples[input]) : risingEdge(samples[input], lastSamples[input]);
}

void GuiCtrl::holdTraces() {
    // Hand each current display row to the panel once per hold; the panel paints them while frozen.
    // The rows go from a buffer of their own that no analysis writes, so the panel may read them
    // at its own pace.
    std::memcpy(heldTraces, history[kFirstCurrentRow], sizeof heldTraces);
    for (int k = 0; k < kTraces; ++k)
        sendValue(slot::kFirstHeldTrace + k, int32_t(reinterpret_cast<uintptr_t>(heldTraces[k])));
    drawingActive = true;
}

void GuiCtrl::snapshotSettings() {
    for (int k = 0; k < kControlSlots; ++k) settings[k] = panelValues[k];
}

void GuiCtrl::runAnalysisStep() {
    snapshotSettings();
    const bool alt = settings[slot::kAltDisplay] != 0;
    if (alt != altDisplay) resetRequest = true;
    altDisplay = alt;

    if (lastSpectrumMode != settings[slot::kSpectrumMode]) resetRequest = true;
    lastSpectrumMode = settings[slot::kSpectrumMode] != 0 ? 1 : 0;

    if (lastPhaseMode != settings[slot::kPhase]) {
        resetRequest = true;
        lastPhaseMode = settings[slot::kPhase];
    }

    if (resetRequest)
        for (int k = 0; k < kTraces; ++k)
            for (int32_t& position : history[kFirstCurrentRow + k]) position = NO_LEVEL;

    captureCount = 0;
    std::memcpy(history[kFirstPreviousRow], history[kFirstCurrentRow], sizeof(history[0]) * kTraces);

    if (settings[slot::kSpectrumMode] == 0) {
        analyseTime();
    } else {
        analyseSpectrum();
    }
    launchFrame();
}

void GuiCtrl::launchWorkers() {
    snapshotSettings();
    launchFrame();
}

void GuiCtrl::launchFrame() {
    workers.launch(
        TraceFrame{analyzerWindow, settings, altDisplay, &history[kFirstCurrentRow], &history[kFirstPreviousRow]});
}
