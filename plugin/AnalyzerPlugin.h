// One instance of the LV2 plug-in's DSP side: an analyzer engine fed from the host's float ports.
// The four inputs pass through unchanged and are converted to the engine's full-scale samples; the
// control inputs drive the engine's input pins; the engine's values reach the control outputs
// (marker frequency and levels) and, while an editor is open, its panel.
//
// The engine's road to the panel runs through this instance (it is the engine's GuiObjectCallback):
// it keeps the marker readings for the outputs and hands everything on to the panel attached, if any.
// An editor attaches and detaches its panel at any time; detaching waits until no run() uses it. The
// host alone decides whether the editor's window shows (its show and hide calls): the engine's show
// requests are not passed on. The engine's start-up calls are made when the instance is made, so a
// run never picks the drawing window itself: the editor hands it over.
//
// Threads: create and destruction [main-thread] (the host's instantiation thread); connect and run
// [audio-thread] (run never allocates, locks or waits); attachPanel, detachPanel, portValue and the
// panel-only settings [main-thread] (the editor's thread); the GuiObjectCallback operations are the
// engine's, on the audio thread.
#pragma once

#include "engine/GuiCtrl.h"
#include "engine/GuiObjectCallback.h"
#include "plugin/PluginPorts.h"

#include <atomic>
#include <cstdint>
#include <memory>

// What the plug-in tells an open editor: its instance is going. [main-thread]
class EditorLink {
public:
    virtual void instanceGone() = 0;
    // The panel-only settings were restored from a saved state: the panel shows them.
    virtual void panelOnlySettingsRestored() = 0;

protected:
    ~EditorLink() = default;
};

class AnalyzerPlugin : public GuiObjectCallback {
public:
    static constexpr int kChunk = 512;  // samples converted and analysed at a time
    // The slots of the panel-only settings: "dB Multiply", "Vibes Watch", "Hz Stretch", "PHASEN".
    static constexpr int kPanelOnlySlots[4] = {11, 12, 47, 48};
    // Where the panel starts them; a saved state without one of them restores it to this.
    static constexpr int32_t kPanelOnlyDefaults[4] = {1, 0, 21, 0};

    // Null for a sample rate the analyzer cannot work at, or when memory is short.
    static std::unique_ptr<AnalyzerPlugin> create(double sampleRate);
    // A control port's float as the engine's 32-bit pin value: rounded, limited, NaN as 0.
    static int32_t pinValue(float value);
    ~AnalyzerPlugin() override;

    void connect(uint32_t port, void* data);
    void run(uint32_t samples) noexcept;

    GuiCtrl& engine() { return *engine_; }

    // The editor's panel: from attachPanel on, the engine's values go to it; the values the ports
    // hold now are sent to it by the next run. detachPanel returns once no run() uses the panel, and
    // releases a held display: with the editor gone nothing else could.
    void attachPanel(GuiObjectCallback* panel);
    void detachPanel();

    // The editor open on this instance, told when the instance goes first (null: none).
    void setEditor(EditorLink* editor) { editor_ = editor; }
    EditorLink* editor() const { return editor_; }

    // The value the control input port carries, as the engine's pin sees it.
    int32_t portValue(int port) const { return portValues_[port].load(std::memory_order_relaxed); }
    // The value the host says the port carries, until the next run reads the port itself.
    void notePortValue(int port, int32_t value) { portValues_[port].store(value, std::memory_order_relaxed); }

    // The panel-only settings, as published by the panel or restored from a saved state.
    int32_t panelOnlySetting(int slot) const { return engine_->panelValue(slot); }
    // Restores all four (kPanelOnlySlots' order), and an open editor's panel shows them.
    void restorePanelOnlySettings(const int32_t values[4]);

    // GuiObjectCallback, [audio-thread]
    void setValue(int32_t slot, int32_t value) override;
    void showWindow(int32_t flag) override;
    bool heldTracesPending() const override;

private:
    explicit AnalyzerPlugin(int32_t sampleRate);
    void analyse(uint32_t samples);
    void passThrough(uint32_t samples);
    void runControl();
    void writeOutputs();
    // Whether an output's buffer overlaps the buffer of another channel's input.
    bool outputsShareOtherInputs(uint32_t samples) const;

    // A control input as last read: its float's bits, the pin it drives, the pin value and what the
    // panel would publish for it.
    struct ControlInput {
        bool seen;
        uint32_t bits;
        int pin;
        int32_t value, published;
    };

    std::atomic<int32_t> sampleRate_;
    std::unique_ptr<GuiCtrl> engine_;
    void* ports_[64] = {};
    int32_t inputs_[99] = {};
    const int32_t* inputPointers_[99];
    int32_t outputs_[77] = {};
    int32_t samples_[4][kChunk];
    float passing_[4][kChunk];  // the inputs on their way to the outputs, which may share their buffers
    std::atomic<int32_t> portValues_[64];
    ControlInput controlInputs_[lv2port::kControlInputs] = {};
    bool slotsMatchPorts_ = false;  // no panel since the last comparison of the slots with the ports
    // What the engine published at the marker: hundredths of a hertz, and the four levels in dB.
    int32_t markerHundredths_ = 0;
    float markerLevelsDb_[4];
    std::atomic<GuiObjectCallback*> panel_{nullptr};
    std::atomic<bool> panelIsNew_{false};
    std::atomic<bool> running_{false};
    std::atomic<uint32_t> runsEnded_{0};
    EditorLink* editor_ = nullptr;
};
