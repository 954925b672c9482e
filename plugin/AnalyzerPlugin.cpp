#include "plugin/AnalyzerPlugin.h"

#include "common/ControlSlots.h"
#include "common/EscapedExceptions.h"
#include "common/FullScale.h"
#include "common/RaceCheckerAnnotations.h"
#include "platform/FloatingPoint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace {

constexpr double kLowestRate = 1000.0, kHighestRate = 768000.0;

}  // namespace

int32_t AnalyzerPlugin::pinValue(float value) {
    if (!(value == value)) return 0;
    return int32_t(std::lrint(std::clamp(double(value), -2147483648.0, 2147483647.0)));
}

std::unique_ptr<AnalyzerPlugin> AnalyzerPlugin::create(double sampleRate) {
    if (!(sampleRate >= kLowestRate && sampleRate <= kHighestRate)) return nullptr;
    std::unique_ptr<AnalyzerPlugin> plugin(new (std::nothrow) AnalyzerPlugin(int32_t(std::lround(sampleRate))));
    if (!plugin || !plugin->engine_ || !plugin->engine_->isComplete()) return nullptr;
    return plugin;
}

AnalyzerPlugin::AnalyzerPlugin(int32_t sampleRate) : sampleRate_(sampleRate) {
    for (int i = 0; i < 99; ++i) inputPointers_[i] = &inputs_[i];
    for (float& db : markerLevelsDb_) db = float(levelToDb(0));
    for (int i = 0; i < lv2port::kControlInputs; ++i)
        controlInputs_[i].pin = lv2port::port(lv2port::kFirstControlInput + i).pin;
    for (auto& value : portValues_) {
        value.store(0, std::memory_order_relaxed);
        RACE_CHECKER_ATOMIC_WORD(&value);
    }
    RACE_CHECKER_ATOMIC_WORD(&panel_);
    RACE_CHECKER_ATOMIC_WORD(&panelIsNew_);
    RACE_CHECKER_ATOMIC_WORD(&running_);
    RACE_CHECKER_ATOMIC_WORD(&runsEnded_);
    std::memset(samples_, 0, sizeof samples_);
    engine_.reset(new (std::nothrow) GuiCtrl(nullptr, sampleRate_));
    if (!engine_) return;
    engine_->attachPanel(this);
    // The engine analyses whether or not an editor shows it: the outputs need its readings.
    inputs_[slot::kShowPin] = 1;
    // The panel-only settings start where the panel starts them, so that the analysis without an
    // editor is the one the editor would show.
    for (int i = 0; i < 4; ++i) engine_->setPanelValue(kPanelOnlySlots[i], kPanelOnlyDefaults[i]);
    // The marker's levels and its frequency describe one column: the first, until one is set.
    engine_->setPanelValue(slot::kMarker, 1);
    // The start-up calls: the engine analyses from the first run on, and a run never takes a drawing
    // window on its own (a window the editor hands over in the meantime could be overwritten).
    for (int call = 0; call < kStartupCalls; ++call) engine_->processControlPins(inputPointers_, outputs_);
}

AnalyzerPlugin::~AnalyzerPlugin() {
    if (editor_ != nullptr) editor_->instanceGone();
    engine_.reset();
}

void AnalyzerPlugin::connect(uint32_t port, void* data) {
    if (port < uint32_t(lv2port::portCount())) ports_[port] = data;
}

void AnalyzerPlugin::attachPanel(GuiObjectCallback* panel) {
    RACE_CHECKER_RELEASE(&panel_);
    panel_.store(panel, std::memory_order_seq_cst);
    panelIsNew_.store(true, std::memory_order_release);
}

// The audio thread sets running_ before it looks at panel_, and counts the run as ended after its
// last use of the panel; this thread clears panel_ before it looks at the count and at running_.
// Either the run sees no panel, or this thread waits until the count moves past it (the runs after it
// never see the panel, however closely they follow each other).
void AnalyzerPlugin::detachPanel() {
    panel_.store(nullptr, std::memory_order_seq_cst);
    const uint32_t ended = runsEnded_.load(std::memory_order_seq_cst);
    if (running_.load(std::memory_order_seq_cst))
        while (runsEnded_.load(std::memory_order_seq_cst) == ended) std::this_thread::yield();
    RACE_CHECKER_ACQUIRE(&runsEnded_);
    engine_->setPanelValue(slot::kHold, 0);
}

void AnalyzerPlugin::restorePanelOnlySettings(const int32_t values[4]) {
    for (int i = 0; i < 4; ++i) engine_->setPanelValue(kPanelOnlySlots[i], values[i]);
    if (editor_ != nullptr) editor_->panelOnlySettingsRestored();
}

// A fault stopped here marks the engine faulted (it may be half-updated): from then on the inputs
// only pass through, and the outputs keep their last readings.
void AnalyzerPlugin::run(uint32_t samples) noexcept {
    const FloatingPointGuard maths(FloatingPointGuard::kFlushDenormals);
    running_.store(true, std::memory_order_seq_cst);
    RACE_CHECKER_ACQUIRE(&panel_);
    if (engine_->isFaulted()) {
        passThrough(samples);
    } else {
        try {
            analyse(samples);
        } catch (...) {
            engine_->markFaulted();
            reportEscapedException("the plug-in's run", kInstanceStops);
        }
    }
    RACE_CHECKER_RELEASE(&runsEnded_);
    runsEnded_.fetch_add(1, std::memory_order_seq_cst);
    running_.store(false, std::memory_order_seq_cst);
}

void AnalyzerPlugin::analyse(uint32_t samples) {
    runControl();
    for (uint32_t done = 0; done < samples;) {
        const int count = int(std::min<uint32_t>(samples - done, kChunk));
        const int32_t* rows[4];
        for (int k = 0; k < lv2port::kAudioInputs; ++k) {
            const auto* in = static_cast<const float*>(ports_[k]);
            if (in != nullptr)
                toFullScaleBlock(in + done, samples_[k], count);
            else
                std::memset(samples_[k], 0, sizeof(int32_t) * size_t(count));
            rows[k] = samples_[k];
        }
        engine_->processAudioBlock(rows, 0, count);
        done += uint32_t(count);
    }
    passThrough(samples);
    writeOutputs();
}

// Each output carries its input unchanged (silence for an input not connected). An output on its own
// input's buffer already does. A host may give an output the buffer of another channel's input: then
// each chunk of all four inputs is read before any output of it is written; otherwise each output is
// copied straight from its input.
void AnalyzerPlugin::passThrough(uint32_t samples) {
    if (!outputsShareOtherInputs(samples)) {
        const size_t bytes = sizeof(float) * samples;
        for (int k = 0; k < lv2port::kAudioInputs; ++k) {
            const void* in = ports_[k];
            void* out = ports_[lv2port::kFirstAudioOutput + k];
            if (out == nullptr || out == in) continue;
            if (in != nullptr)
                std::memmove(out, in, bytes);
            else
                std::memset(out, 0, bytes);
        }
        return;
    }
    for (uint32_t done = 0; done < samples;) {
        const uint32_t count = std::min<uint32_t>(samples - done, kChunk);
        for (int k = 0; k < lv2port::kAudioInputs; ++k) {
            const auto* in = static_cast<const float*>(ports_[k]);
            if (in != nullptr)
                std::memcpy(passing_[k], in + done, sizeof(float) * count);
            else
                std::memset(passing_[k], 0, sizeof(float) * count);
        }
        for (int k = 0; k < lv2port::kAudioInputs; ++k)
            if (auto* out = static_cast<float*>(ports_[lv2port::kFirstAudioOutput + k]))
                std::memcpy(out + done, passing_[k], sizeof(float) * count);
        done += count;
    }
}

// The control inputs onto the engine's pins, then one control call. A panel attached since the last
// run first gets the value of every pin, which the engine itself forwards only when it changes.
// Without a panel, the settings are published as the panel would publish them: a slot that does not
// hold its port's published value already is set. Only a port's change, or the panel's going, can
// leave a slot different, so only then are the slots compared. A port's pin and published value are
// worked out again only when the port's float changes (bit for bit), and a run in which no port
// changed tells the engine that its pins did not.
void AnalyzerPlugin::runControl() {
    const bool newPanel = panelIsNew_.exchange(false, std::memory_order_acquire);
    const bool noPanel = panel_.load(std::memory_order_seq_cst) == nullptr;
    bool changed = false;
    for (int p = lv2port::kFirstControlInput; p < lv2port::kFirstControlInput + lv2port::kControlInputs; ++p) {
        const auto* value = static_cast<const float*>(ports_[p]);
        const float number = value ? *value : float(lv2port::port(p).defaultValue);
        uint32_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        ControlInput& known = controlInputs_[p - lv2port::kFirstControlInput];
        if (!known.seen || bits != known.bits) {
            known.seen = true;
            known.bits = bits;
            known.value = pinValue(number);
            known.published = lv2port::publishedValue(lv2port::port(p), known.value);
            inputs_[known.pin] = known.value;
            changed = true;
        }
        portValues_[p].store(known.value, std::memory_order_relaxed);
        if (newPanel) setValue(known.pin, known.value);
    }
    if (noPanel && (changed || !slotsMatchPorts_)) {
        for (const ControlInput& known : controlInputs_)
            if (engine_->panelValue(known.pin) != known.published) engine_->setPanelValue(known.pin, known.published);
    }
    slotsMatchPorts_ = noPanel;
    // The frequency labels went to no panel when they were published: the new one gets them again.
    if (newPanel) engine_->republishFrequencyMarks();
    engine_->processControlPins(inputPointers_, outputs_, !changed);
}

void AnalyzerPlugin::writeOutputs() {
    if (auto* out = static_cast<float*>(ports_[lv2port::kMarkerFrequencyPort])) *out = float(markerHundredths_ / 100.0);
    for (int k = 0; k < 4; ++k)
        if (auto* out = static_cast<float*>(ports_[lv2port::kMarkerFrequencyPort + 1 + k])) *out = markerLevelsDb_[k];
}

bool AnalyzerPlugin::outputsShareOtherInputs(uint32_t samples) const {
    const uintptr_t bytes = sizeof(float) * samples;
    for (int k = 0; k < lv2port::kAudioInputs; ++k) {
        const auto out = reinterpret_cast<uintptr_t>(ports_[lv2port::kFirstAudioOutput + k]);
        if (out == 0) continue;
        for (int j = 0; j < lv2port::kAudioInputs; ++j) {
            const auto in = reinterpret_cast<uintptr_t>(ports_[j]);
            if (j != k && in != 0 && out < in + bytes && in < out + bytes) return true;
        }
    }
    return false;
}

void AnalyzerPlugin::setValue(int32_t slot, int32_t value) {
    if (slot == slot::kMarker) markerHundredths_ = value;
    if (slot >= slot::kFirstMarkerLevel && slot < slot::kFirstMarkerLevel + 4)
        markerLevelsDb_[slot - slot::kFirstMarkerLevel] = float(levelToDb(value));  // as the panel shows it
    if (GuiObjectCallback* panel = panel_.load(std::memory_order_seq_cst)) panel->setValue(slot, value);
}

void AnalyzerPlugin::showWindow(int32_t) {}

bool AnalyzerPlugin::heldTracesPending() const {
    GuiObjectCallback* panel = panel_.load(std::memory_order_seq_cst);
    return panel != nullptr && panel->heldTracesPending();
}
