// One analyzer instance: the host reaches it through Effect, its panel through ScopeEffectCallback.
// Every table is a fixed-size member, so the instance is allocated in one piece; only the transform's
// twiddle tables and the four drawing jobs live in separate blocks.
//
// Threads: construction and destruction [main-thread]; processControl and processAudio
// [audio-thread] (never at the same time); setPanelValue [main-thread]. panelValues entries are whole
// 32-bit words (relaxed atomics) written by the panel and read by the processing calls without a lock. Drawing
// [worker]s see only their TraceJob and their done flag (TraceWorkers.h).
#pragma once

#include "engine/Effect.h"
#include "engine/FrequencyMap.h"
#include "engine/GuiObjectCallback.h"
#include "engine/PanelValue.h"
#include "engine/RealFft.h"
#include "engine/ScopeEffectCallback.h"
#include "engine/TraceJob.h"
#include "engine/TraceWorkers.h"
#include "platform/win32.h"

#include <atomic>
#include <cstdint>

struct ModuleDescriptor;

constexpr int kControlSlots = 77;
// The last value seen on each input pin. Only the 77 control pins are compared; the table keeps 99
// entries so that any input index the pin road may name stays inside it.
constexpr int kInputPins = 99;
constexpr int kMaxFftSize = 8192;
constexpr int kCaptureLength = kMaxFftSize + 1;
// Display rows: 0..3 hold this analysis of traces 1..4, 4..7 the previous analysis.
constexpr int kHistoryRows = 2 * kTraces;
constexpr int kFirstCurrentRow = 0;
constexpr int kFirstPreviousRow = kTraces;
constexpr int kStartupCalls = 30;

class GuiCtrl : public Effect, public ScopeEffectCallback {
public:
    // descriptor: the module's descriptor, handed to the host as the instance's; sampleRate: the
    // module's sample rate, read at every control call (the module keeps it; it outlives the instance).
    GuiCtrl(const ModuleDescriptor* descriptor, const std::atomic<int32_t>& sampleRate);
    ~GuiCtrl() override;

    // True when every part of the instance could be allocated; an incomplete instance is never handed out.
    bool isComplete() const;

    void setPanelValue(int32_t slot, int32_t value) override { panelValues[slot] = value; }

    // The control entry: (input pointers, unused, output array, unused); always 0.
    int32_t processControl(int32_t inputs, int32_t host2, int32_t outputs, int32_t host4) override;
    // The same with typed arguments.
    int32_t processControlPins(const int32_t* const* inputs, int32_t* outputs);

    // The audio entry: (unused, pointer to the four input sample arrays A..D, unused, unused, start
    // index, sample count); always -1.
    int32_t processAudio(int32_t host1, int32_t inputs, int32_t host3, int32_t host4, int32_t start,
                         int32_t count) override;
    // The same with typed arguments.
    int32_t processAudioBlock(const int32_t* const* inputs, int32_t start, int32_t count);

    // Panel link and control state.
    GuiObjectCallback* guiCallback = nullptr;
    PanelValue panelValues[kControlSlots];
    int32_t lastInput[kInputPins];
    int32_t startupCalls = 0;
    bool windowShown = false;
    HWND analyzerWindow = 0;
    // The instance's own window, handed over when its window is created [main-thread]; the start-up
    // looks the window up by its title only while this is 0 (no window of its own).
    std::atomic<HWND> ownWindow{0};
    int32_t idleBlockCount = 0;

    // Analysis configuration.
    int32_t fftSize = 1024;
    int32_t fftSizeCode = 0;
    RealFft fftObject;
    double frequencyShape = kDefaultFrequencyShape;
    int32_t binMap[kSizeCodes][1024];
    int32_t coarseBinMap[kSizeCodes][kCoarseColumns];
    int32_t appliedWindowCode = 0;
    double windowCoefficients[kMaxFftSize];
    int32_t lastSampleRate = 32000;
    int32_t markersPublished = 0;
    bool altDisplay = false;
    bool resetRequest = false;
    int32_t lastSpectrumMode = 1;
    int32_t lastPhaseMode = 0;

    // Captured audio and traces.
    int32_t captureBuffers[kTraces][kCaptureLength];
    int32_t captureCount = 0;
    int32_t lastSamples[kTraces];
    double traceValues[kTraces][kCaptureLength];
    bool traceActive[kTraces];
    int32_t previousBin = 0;
    int32_t markerLevels[kTraces];
    int32_t history[kHistoryRows][kDisplayColumns];

    // Working storage of one analysis: one spectrum per input.
    double inputSpectra[kTraces][kMaxFftSize];
    // The panel values one analysis works with, copied once at its start, so that a setting changed
    // on the panel meanwhile takes effect from the next analysis on, never half way through one.
    int32_t settings[kControlSlots];

    // The display rows handed to the panel when the display is held. Written only while the panel
    // has finished reading the previous hand-over (GuiObjectCallback::heldTracesPending).
    int32_t heldTraces[kTraces][kDisplayColumns];

    // Drawing.
    TraceWorkers workers;
    // Takes a snapshot of the panel values and hands the display rows to the workers with it (only
    // while workers.isIdle()). [audio-thread]
    void launchWorkers();
    bool drawingActive = false;

private:
    const std::atomic<int32_t>& moduleSampleRate;

    void initialise();
    void snapshotSettings();
    void launchFrame();
    void holdTraces();
    bool triggered(int32_t mode, const int32_t* samples) const;
    void runAnalysisStep();
    // Switches a trace off (and asks for a reset) or marks it active; true when it is to be processed.
    bool traceSwitchedOn(int trace);
    void analyseTime();
    void analyseSpectrum();
    void mapTraceToColumns(int trace, const int32_t* map, int columns, double top, int firstEntry);
    void sendValue(int32_t slot, int32_t value);
    // The steps of a control call, in their order (ControlProcessing.cpp).
    bool countStartupCall(int32_t* outputs);
    void followShowPin(const int32_t* const* inputs, int32_t* outputs);
    void sendIdleCountAndMarkerFrequency();
    void exchangePins(const int32_t* const* inputs, int32_t* outputs);
    void followTransformSize(bool spectrumMode);
    void keepFrequencyMarks(bool spectrumMode);
    void keepWindow();
    void switchFftSize(int32_t size, int32_t code);
    void publishFrequencyMarks(bool show, int32_t sampleRate);
};
