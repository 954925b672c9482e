// The audio entry of an analyzer instance: gates, capture of the four inputs with the optional
// zero-crossing trigger, and the hand-over of each complete capture to the instance's worker, which
// analyses it and draws the traces.
//
// Threads: processAudio and the hand-over [audio-thread]; the analysis step [worker]. The worker is
// synchronised only through its idle flag: it is read here with acquire semantics (workers_.isIdle)
// before the capture, the display rows or the analysis's results are touched.
#include "engine/GuiCtrl.h"

#include "common/ControlSlots.h"
#include "common/EscapedExceptions.h"
#include "engine/TraceWorkers.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Copies samples into the capture with streaming stores. The worker reads the capture on another core
// once it is complete, so each line written here is in that core's cache from the capture before: an
// ordinary store first fetches the line to overwrite it, which made this copy the audio thread's
// largest cost. A streaming store writes the line without reading it.
void streamSamples(int32_t* to, const int32_t* from, int32_t count) {
    int32_t k = 0;
    for (; k < count && (reinterpret_cast<uintptr_t>(to + k) & 15) != 0; ++k) _mm_stream_si32(to + k, from[k]);
    for (; k + 4 <= count; k += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
    for (; k < count; ++k) _mm_stream_si32(to + k, from[k]);
}

// True exactly when the signal crosses from 0 or below to above 0.
inline bool risingEdge(int32_t previous, int32_t current) { return previous <= 0 && current > 0; }

// The samples at one index of the four inputs, kept as the last ones seen for the trigger.
void keepLastSamples(int32_t* lastSamples, const int32_t* const* inputs, int32_t index) {
    for (int input = 0; input < kTraces; ++input) lastSamples[input] = inputs[input][index];
}

}  // namespace

int32_t GuiCtrl::processAudio(int32_t, int32_t inputs, int32_t, int32_t, int32_t start, int32_t count) {
    return processAudioBlock(reinterpret_cast<const int32_t* const*>(uintptr_t(uint32_t(inputs))), start, count);
}

int32_t GuiCtrl::processAudioBlock(const int32_t* const* inputs, int32_t start, int32_t count) {
    if (link_.startupCalls < kStartupCalls) return -1;

    const bool workerIdle = workers_.isIdle();
    publishAnalysisResults();
    if (gateOpen(inputs, start, count, workerIdle)) captureBlock(inputs, start, count);
    return -1;
}

// The gate in front of the capture: closed while the worker is busy with the last capture, while the
// display is held and while the window is hidden. A closed gate keeps the block's last samples for the
// trigger and counts the block as idle, or, with hold on, starts the capture over and hands the
// current traces to the panel. True when the block is to be captured.
bool GuiCtrl::gateOpen(const int32_t* const* inputs, int32_t start, int32_t count, bool workerIdle) {
    const int32_t hold = link_.panelValues[slot::kHold];
    if (workerIdle && hold == 0 && link_.windowShown) {
        capture_.drawingActive = false;
        return true;
    }
    if (count >= 1) keepLastSamples(capture_.lastSamples, inputs, start + count - 1);
    if (hold == 0) {
        // A busy worker leaves no partial capture behind (the hand-over ends one). A hidden window
        // drops what was collected: the capture that follows starts when the window shows again
        // instead of joining audio from before the hide to audio after it. The count stops at its
        // largest value (after about 33 days of 64-sample blocks at 48 kHz).
        if (!link_.windowShown) capture_.captureCount = 0;
        if (capture_.idleBlockCount < INT32_MAX) ++capture_.idleBlockCount;
        return false;
    }
    capture_.idleBlockCount = 0;
    capture_.captureCount = 0;
    // A hand-over the panel is still reading is not overwritten: this one waits a block.
    if (workerIdle && !capture_.drawingActive && !(link_.guiCallback && link_.guiCallback->heldTracesPending()))
        holdTraces();
    return false;
}

// The capture of one block through an open gate: with the catcher on, sample by sample until the
// trigger fires; then in runs up to the end of the block or of the capture. A complete capture goes
// to the worker, and the rest of the block is dropped.
void GuiCtrl::captureBlock(const int32_t* const* inputs, int32_t start, int32_t count) {
    if (count < 1) return;

    const int32_t mode = link_.panelValues[slot::kCatcher];
    int32_t i = 0;
    while (i < count) {
        if (mode >= 1 && capture_.captureCount == 0) {
            // Waiting for the trigger: sample by sample; the triggering sample starts the capture.
            int32_t samples[kTraces];
            for (int input = 0; input < kTraces; ++input) samples[input] = inputs[input][start + i];
            if (triggered(mode, samples)) {
                for (int input = 0; input < kTraces; ++input) capture_.captureBuffers[input][0] = samples[input];
                capture_.captureCount = 1;
            }
            std::memcpy(capture_.lastSamples, samples, sizeof samples);
            ++i;
            continue;
        }
        // Capturing: copy up to the end of the block or of the capture in one go. A capture already
        // longer than a newly chosen transform size completes with its next sample.
        const int32_t take = std::max<int32_t>(1, std::min(count - i, setup_.fftSize - capture_.captureCount));
        for (int input = 0; input < kTraces; ++input)
            streamSamples(&capture_.captureBuffers[input][capture_.captureCount], &inputs[input][start + i], take);
        capture_.captureCount += take;
        i += take;
        keepLastSamples(capture_.lastSamples, inputs, start + i - 1);
        if (capture_.captureCount >= setup_.fftSize) {
            // The rest of this block is not used; the next capture starts with the next block.
            handOverCapture();
            keepLastSamples(capture_.lastSamples, inputs, start + count - 1);
            return;
        }
    }
}

const int32_t* GuiCtrl::heldTrace(int trace) const { return capture_.heldTraces[trace]; }

bool GuiCtrl::triggered(int32_t mode, const int32_t* samples) const {
    if (mode < 1 || mode > 8) return false;
    const int input = (mode - 1) / 2;
    const bool rising = (mode % 2) == 1;
    return rising ? risingEdge(capture_.lastSamples[input], samples[input])
                  : risingEdge(samples[input], capture_.lastSamples[input]);
}

void GuiCtrl::holdTraces() {
    // Hand each current display row to the panel once per hold; the panel paints them while frozen.
    // The rows go from a buffer of their own that no analysis writes (heldTrace), so the panel may
    // read them at its own pace.
    std::memcpy(capture_.heldTraces, capture_.history[kFirstCurrentRow], sizeof capture_.heldTraces);
    for (int k = 0; k < kTraces; ++k) sendValue(slot::kFirstHeldTrace + k, slot::kHeldRowsToken);
    capture_.drawingActive = true;
}

void GuiCtrl::snapshotSettings() {
    for (int k = 0; k < kControlSlots; ++k) setup_.settings[k] = link_.panelValues[k];
}

// The audio thread's part of an analysis step: the snapshot of the settings, the bookkeeping of the
// view modes, and the hand-over. The capture stays where it is: nothing is captured until the worker
// is done with it.
void GuiCtrl::handOverCapture() {
    snapshotSettings();
    const bool alt = setup_.settings[slot::kAltDisplay] != 0;
    if (alt != setup_.altDisplay) setup_.resetRequest = true;
    setup_.altDisplay = alt;

    if (setup_.lastSpectrumMode != setup_.settings[slot::kSpectrumMode]) setup_.resetRequest = true;
    setup_.lastSpectrumMode = setup_.settings[slot::kSpectrumMode] != 0 ? 1 : 0;

    if (setup_.lastPhaseMode != setup_.settings[slot::kPhase]) {
        setup_.resetRequest = true;
        setup_.lastPhaseMode = setup_.settings[slot::kPhase];
    }
    capture_.frameReset = setup_.resetRequest;
    setup_.resetRequest = false;
    capture_.captureCount = 0;
    // The capture was written with streaming stores, which nothing else orders: they are made visible
    // before the worker is told to read them.
    _mm_sfence();
    workers_.startAnalysis();
}

// A fault in the analysis stops here: the instance, whose tables may be half-updated, is marked
// faulted (its entries do nothing from then on), and the worker draws nothing.
TraceFrame GuiCtrl::analyseOnWorker(void* self) {
    auto* instance = static_cast<GuiCtrl*>(self);
    try {
        return instance->runAnalysisStep();
    } catch (...) {
        instance->markFaulted();
        reportEscapedException("the analysis worker", kInstanceStops);
        TraceFrame nothing = instance->frameToDraw();
        nothing.window = 0;
        return nothing;
    }
}

// The worker's part: the time or spectrum analysis of the capture into the display rows, and the
// frame the worker draws next. What it sends to the panel waits in results until the audio thread
// takes it.
TraceFrame GuiCtrl::runAnalysisStep() {
    if (capture_.frameReset)
        for (int k = 0; k < kTraces; ++k)
            for (int32_t& position : capture_.history[kFirstCurrentRow + k]) position = NO_LEVEL;

    std::memcpy(capture_.history[kFirstPreviousRow], capture_.history[kFirstCurrentRow],
                sizeof(capture_.history[0]) * kTraces);

    const bool spectrum = setup_.settings[slot::kSpectrumMode] != 0;
    if (spectrum) {
        analyseSpectrum();
    } else {
        analyseTime();
    }
    capture_.levelsReady = spectrum;
    capture_.redrawReady = capture_.frameReset;
    capture_.resultsReady = true;
    return frameToDraw();
}

// The values of the last analysis, sent once the worker is done: the levels at the marker, then a
// redraw request when the analysis was reset.
void GuiCtrl::publishAnalysisResults() {
    if (!workers_.isIdle() || !capture_.resultsReady) return;
    capture_.resultsReady = false;
    if (capture_.levelsReady) {
        for (int k = 0; k < kTraces; ++k) {
            // |INT32_MIN| does not fit: the largest magnitude sent is INT32_MAX.
            const int64_t level = capture_.markerLevels[k];
            sendValue(slot::kFirstMarkerLevel + k, int32_t(level < 0 ? std::min<int64_t>(-level, INT32_MAX) : level));
        }
    }
    if (capture_.redrawReady) sendValue(slot::kRedraw, 1);
}

TraceFrame GuiCtrl::frameToDraw() const {
    return TraceFrame{link_.analyzerWindow.load(std::memory_order_acquire), setup_.settings, setup_.altDisplay,
                      &capture_.history[kFirstCurrentRow], &capture_.history[kFirstPreviousRow]};
}
