// One analyzer instance: the host reaches it through Effect, its panel through ScopeEffectCallback.
// Its state is kept in the parts of InstanceParts.h, all fixed-size members, so the instance is
// allocated in one piece; only the transform's twiddle tables live in a separate block.
//
// Where the methods are: GuiCtrl.cpp (construction, initial state, sending values to the panel),
// ControlProcessing.cpp (processControl and its steps), AudioProcessing.cpp (processAudio: gates,
// capture, trigger, hold, the hand-over of a capture and the analysis step around the analyses),
// SpectrumAnalysis.cpp (the time and spectrum analyses).
//
// Threads: construction and destruction [main-thread]; processControl and processAudio
// [audio-thread] (never at the same time); setPanelValue [main-thread]. Panel values are whole
// 32-bit words (relaxed atomics) written by the panel and read by the processing calls without a
// lock. The instance's [worker] runs the analysis step of each capture handed over and then draws
// (TraceWorkers.h); while it does, the audio thread changes nothing the analysis reads.
#pragma once

#include "engine/Effect.h"
#include "engine/InstanceParts.h"
#include "engine/ScopeEffectCallback.h"
#include "engine/TraceWorkers.h"
#include "platform/win32.h"

#include <atomic>
#include <cstdint>

struct ModuleDescriptor;

class GuiCtrl : public Effect, public ScopeEffectCallback {
public:
    // descriptor: the module's descriptor, handed to the host as the instance's; sampleRate: the
    // module's sample rate, read at every control call (the module keeps it; it outlives the instance).
    GuiCtrl(const ModuleDescriptor* descriptor, const std::atomic<int32_t>& sampleRate);
    ~GuiCtrl() override;

    // True when every part of the instance could be allocated; an incomplete instance is never handed out.
    bool isComplete() const;

    void setPanelValue(int32_t slot, int32_t value) override { link_.panelValues[slot] = value; }
    int32_t panelValue(int32_t slot) const { return link_.panelValues[slot]; }

    // The control entry: (input pointers, unused, output array, unused); always 0.
    int32_t processControl(int32_t inputs, int32_t host2, int32_t outputs, int32_t host4) override;
    // The same with typed arguments. A caller that knows no exchanged pin changed since its last call,
    // and reads no exchanged pin's output, may say so: the exchange is skipped.
    int32_t processControlPins(const int32_t* const* inputs, int32_t* outputs, bool exchangedPinsUnchanged = false);

    // The audio entry: (unused, pointer to the four input sample arrays A..D, unused, unused, start
    // index, sample count); always -1.
    int32_t processAudio(int32_t host1, int32_t inputs, int32_t host3, int32_t host4, int32_t start,
                         int32_t count) override;
    // The same with typed arguments.
    int32_t processAudioBlock(const int32_t* const* inputs, int32_t start, int32_t count);

    // The panel's road to the instance: values and show requests go to guiCallback (null: nowhere).
    // [main-thread], while no processing call runs.
    void attachPanel(GuiObjectCallback* panel) { link_.guiCallback = panel; }
    // Hands over the instance's own window [main-thread]; the worker draws into it from the end of
    // the start-up on.
    void adoptWindow(HWND window) { link_.ownWindow.store(window, std::memory_order_release); }
    // Has the next control call publish the frequency marks again, for a panel attached since they
    // were published (a plug-in's editor opened later). [audio-thread]
    void republishFrequencyMarks() { setup_.markersPublished = -1; }
    // Hands over a window at any time, also after the start-up (a plug-in's window comes and goes with
    // its editor): frames made from now on are drawn into it (null: nowhere). A frame made before may
    // still be drawn into the previous one until workers().isIdle() holds. [main-thread]
    void drawInto(HWND window) {
        link_.ownWindow.store(window, std::memory_order_release);
        link_.analyzerWindow.store(window, std::memory_order_release);
    }

    // The parts of the instance, to read: for the owner, tests and benchmarks, while no processing call
    // runs and, for what the worker uses, while workers().isIdle() holds. They change only through the
    // operations of this class.
    const PanelLink& panelLink() const { return link_; }
    const AnalysisSettings& setup() const { return setup_; }
    const CapturedAudio& capture() const { return capture_; }
    const TraceWorkers& workers() const { return workers_; }

    // The display rows of trace 0..3 last handed to the panel for the held display: what the token on
    // slots 28..31 names. [main-thread], between the hand-over and GuiObjectCallback::heldTracesPending
    // going false.
    const int32_t* heldTrace(int trace) const;
    // Sends what the last analysis has for the panel (the levels at the marker, a redraw request),
    // once, when the worker is done with it; every processing call does this first. [audio-thread]
    void publishAnalysisResults();

    // For tests only: sets the count of idle blocks, whose upper end processAudio reaches only after
    // 2^31 blocks. [audio-thread]
    void setIdleBlockCountForTests(int32_t count) { capture_.idleBlockCount = count; }

private:
    const std::atomic<int32_t>& moduleSampleRate;
    PanelLink link_;
    AnalysisSettings setup_;
    CapturedAudio capture_;
    TraceWorkers workers_;

    void initialise();
    void snapshotSettings();
    TraceFrame frameToDraw() const;
    void holdTraces();
    // The two steps of an audio call (AudioProcessing.cpp).
    bool gateOpen(const int32_t* const* inputs, int32_t start, int32_t count, bool workerIdle);
    void captureBlock(const int32_t* const* inputs, int32_t start, int32_t count);
    bool triggered(int32_t mode, const int32_t* samples) const;
    void handOverCapture();
    static TraceFrame analyseOnWorker(void* self);
    TraceFrame runAnalysisStep();
    // Switches a trace off (and asks for a reset) or marks it active; true when it is to be processed.
    bool traceSwitchedOn(int trace);
    void analyseTime();
    void analyseSpectrum();
    void transformNeededInputs();
    void placeSpectrumTrace(int trace);
    void mapTraceToColumns(int trace, const int32_t* map, int columns, double top, int firstEntry);
    void sendValue(int32_t slot, int32_t value);
    // The steps of a control call, in their order (ControlProcessing.cpp).
    bool countStartupCall(int32_t* outputs);
    void followShowPin(const int32_t* const* inputs, int32_t* outputs);
    void sendIdleCountAndMarkerFrequency();
    void exchangePins(const int32_t* const* inputs, int32_t* outputs);
    void followTransformSize(bool spectrumMode);
    void keepFrequencyMarks(bool spectrumMode, bool workerIdle);
    void keepWindow();
    void switchFftSize(int32_t size, int32_t code);
    void publishFrequencyMarks(bool show, int32_t sampleRate);
};
