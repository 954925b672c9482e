#include "FuzzHost.h"

#include "common/ControlSlots.h"
#include "engine/GuiCtrl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// UBSan reports end the run like any other fault (by default the runtime prints them and carries on).
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

namespace fuzzhost {

void runWithoutDisplay() { unsetenv("DISPLAY"); }

void fail(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

int32_t command(int32_t code, const std::vector<int32_t>& in, std::vector<int32_t>& out) {
    std::fill(out.begin(), out.end(), kUntouchedWord);
    int32_t returned = -1;
    const int32_t result = DARAZE_W32_DeviceIOControl(code, in.data(), int32_t(4 * in.size()), out.data(),
                                                      int32_t(4 * out.size()), &returned);
    if (result != 0) fail("a command returned non-zero");
    return out[0];
}

uint32_t createInstance() {
    std::vector<int32_t> out(2);
    if (command(kCreateInstance, {0}, out) != 0 || out[1] == 0) fail("the module refused an instance");
    return uint32_t(out[1]);
}

void destroyInstance(uint32_t handle) {
    std::vector<int32_t> out(1);
    if (command(kDestroyInstance, {int32_t(handle)}, out) != 0) fail("destroying a live instance failed");
}

void resetModuleState() {
    std::vector<int32_t> out(1);
    command(kSetSampleRate, {0, kModuleDefaultSampleRate}, out);
    if (command(kSetHostCallback, {0}, out) != 0) fail("clearing the host callback failed");
}

namespace {

uint32_t entryWord(int index) {
    std::vector<int32_t> out(6);
    if (command(kGetEntryPoints, {0}, out) != 0) fail("no entry table");
    return uint32_t(out[1 + index]);
}

}  // namespace

ProcessControlEntry controlEntry() {
    static const auto entry = reinterpret_cast<ProcessControlEntry>(uintptr_t(entryWord(1)));
    return entry;
}

ProcessAudioEntry audioEntry() {
    static const auto entry = reinterpret_cast<ProcessAudioEntry>(uintptr_t(entryWord(0)));
    return entry;
}

int32_t hostCallback(int32_t, int32_t, int32_t, int32_t) { return 0; }

// Outputs start as kUntouchedWord, so that a word the module failed to write shows.
Pins::Pins() : values_(81), pointers_(81), outputs_(77, kUntouchedWord) {
    for (int i = 0; i < 81; ++i) pointers_[i] = &values_[i];
}

void Pins::change(FuzzedDataProvider& data) {
    const int count = data.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        const int pin = data.ConsumeIntegralInRange(0, 80);
        values_[pin] = data.ConsumeIntegral<int32_t>();
    }
}

void Instance::control() {
    if (controlEntry()(handle, pins.inputWord(), 0, pins.outputWord(), 0) != 0)
        fail("the control entry returned non-zero");
    if (++calls_ <= kStartupCalls) {
        if (pins.output(slot::kReadyPin) != 0) fail("ready during start-up");
        return;
    }
    const int32_t show = pins.value(slot::kShowPin);
    if (show >= 1) shown_ = true;
    if (show == 0) shown_ = false;
    if (pins.output(slot::kReadyPin) != 1) fail("not ready after start-up");
    if (pins.output(slot::kShowPin) != (shown_ ? 1 : 0)) fail("the show pin does not report the window's state");
}

namespace {

// The slots the panel publishes on and the values its controls give them (PanelControls.cpp,
// PanelListeners.cpp, PanelMouse.cpp): toggles 0/1, slider whole numbers, combo ids (some minus one),
// the block size as 512 << id, the marker column from the mouse.
struct PanelSlot {
    int slot;
    int32_t minimum, maximum;
};
constexpr PanelSlot kPanelSlots[] = {
    {slot::kSpectrumMode, 0, 1}, {slot::kMagnitudes, 0, 1},    {slot::kAltDisplay, 0, 1},
    {slot::kHold, 0, 1},         {slot::kMarker, 1, 1100},     {slot::kLevelFactor, 1, 30},
    {slot::kCatcher, -1, 8},     {slot::kWindow, -1, 11},      {slot::kShape, 1, 100},
    {slot::kPhase, -1, 2},       {slot::kFftSize, 0, 4},       {slot::kFirstSelection, 0, 17},
    {slot::kFirstHistory, 0, 1}, {slot::kFirstColour, 0, 255},
};

}  // namespace

InstanceForInput::InstanceForInput() {
    static const bool keep = [] {
        const char* setting = std::getenv("FUZZ_KEEP_INSTANCE");
        return setting != nullptr && std::strcmp(setting, "1") == 0;
    }();
    if (keep) {
        static Instance* const kept = new Instance();  // lives as long as the process
        instance_ = kept;
    } else {
        own_ = std::make_unique<Instance>();
        instance_ = own_.get();
    }
}

void panelEvent(uint32_t handle, FuzzedDataProvider& data) {
    const PanelSlot& s = data.PickValueInArray(kPanelSlots);
    int slotIndex = s.slot;
    if (slotIndex == slot::kFirstSelection || slotIndex == slot::kFirstHistory)
        slotIndex += data.ConsumeIntegralInRange(0, 3);
    if (slotIndex == slot::kFirstColour) slotIndex += data.ConsumeIntegralInRange(0, 11);
    int32_t value = data.ConsumeIntegralInRange(s.minimum, s.maximum);
    if (slotIndex == slot::kFftSize) value = int32_t(512u << value);
    // The window box has no item with id 5: its ids minus one skip 4.
    if (slotIndex == slot::kWindow && value == 4) value = 5;
    ScopeEffectCallback* panelSide = static_cast<GuiCtrl*>(reinterpret_cast<Effect*>(uintptr_t(handle)));
    panelSide->setPanelValue(slotIndex, value);
}

void sampleRateEvent(uint32_t handle, FuzzedDataProvider& data) {
    std::vector<int32_t> out(1);
    command(kSetSampleRate, {int32_t(handle), data.ConsumeIntegral<int32_t>()}, out);
}

}  // namespace fuzzhost
