// The state of one analyzer instance, in the parts its processing works with: the link to the
// panel, the settings of the analysis, and the captured audio with the traces made of it. Each part
// is plain data with fixed-size tables, so the instance is allocated in one piece.
//
// Threads: see each part.
#pragma once

#include "engine/FrequencyMap.h"
#include "engine/GuiObjectCallback.h"
#include "engine/PanelValue.h"
#include "engine/RealFft.h"
#include "engine/TraceJob.h"
#include "platform/win32.h"

#include <atomic>
#include <cstdint>

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

// What the instance shares with its panel and its window. panelValues are written by the panel
// [main-thread] and read without a lock by the processing calls [audio-thread]; ownWindow is handed
// over once [main-thread] and read with acquire semantics. The rest belongs to the control call
// [audio-thread].
struct PanelLink {
    GuiObjectCallback* guiCallback = nullptr;
    PanelValue panelValues[kControlSlots];
    // The instance's own window, handed over by the thread that made the instance.
    std::atomic<HWND> ownWindow{0};
    // Where the worker draws: taken from ownWindow during start-up, null for none; read by the worker
    // when its analysis makes a frame.
    std::atomic<HWND> analyzerWindow{0};
    bool windowShown = false;
    int32_t startupCalls = 0;
    int32_t lastInput[kInputPins];
};

// How the next analysis is made: the transform, the window function, the frequency maps, and the
// panel values one analysis works with. Written on the [audio-thread], and only while the worker is
// idle; the [worker] reads them during an analysis.
struct AnalysisSettings {
    int32_t fftSize = 1024;
    int32_t fftSizeCode = 0;
    RealFft fftObject;
    double frequencyShape = kDefaultFrequencyShape;
    int32_t binMap[kSizeCodes][1024];
    int32_t coarseBinMap[kSizeCodes][kCoarseColumns];
    int32_t appliedWindowCode = 0;
    // The window's coefficients for fftSize points: one of the process's shared tables
    // (WindowTables.h), kept when a code without a formula is applied.
    const double* windowCoefficients = nullptr;
    int32_t lastSampleRate = 32000;
    int32_t markersPublished = 0;
    bool altDisplay = false;
    bool resetRequest = false;
    int32_t lastSpectrumMode = 1;
    int32_t lastPhaseMode = 0;
    // The panel values copied once at the start of an analysis, so that a setting changed on the
    // panel meanwhile takes effect from the next analysis on, never half way through one.
    int32_t settings[kControlSlots];
};

// The audio collected for the next analysis and what the analyses made of it. The capture, the
// trigger and the held rows belong to the [audio-thread]. From the hand-over of a complete capture
// until the worker is idle again, the capture, the display rows and the analysis's tables and
// results belong to the [worker] (TraceWorkers.h), and the audio thread captures nothing.
struct CapturedAudio {
    int32_t captureBuffers[kTraces][kCaptureLength];
    int32_t captureCount = 0;
    int32_t lastSamples[kTraces];
    int32_t idleBlockCount = 0;
    // Set once the held traces went to the panel; cleared when analysis resumes.
    bool drawingActive = false;
    double traceValues[kTraces][kCaptureLength];
    bool traceActive[kTraces];
    int32_t previousBin = 0;
    int32_t markerLevels[kTraces];
    // The analysis in hand starts from cleared rows, and asks the panel to redraw when done.
    bool frameReset = false;
    // What the last analysis has for the panel, sent by the audio thread once the worker is idle.
    bool resultsReady = false;
    bool levelsReady = false;
    bool redrawReady = false;
    int32_t history[kHistoryRows][kDisplayColumns];
    // Working storage of one analysis: one spectrum per input.
    double inputSpectra[kTraces][kMaxFftSize];
    // Working storage of the transforms when several inputs are needed: their weighted captures side by
    // side for the lane transform (LaneFft.h), in its widest layout, with room to start on a 64-byte
    // boundary.
    double laneBlocks[kTraces * kMaxFftSize + 8];
    // The display rows handed to the panel when the display is held. Written only while the panel
    // has finished reading the previous hand-over (GuiObjectCallback::heldTracesPending).
    int32_t heldTraces[kTraces][kDisplayColumns];
};
