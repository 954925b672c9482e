// The host side shared by the fuzz targets: the module's export called as a host calls it, instance
// creation and destruction, the entry table, the pins of one instance, and a stand-in for the panel.
//
// The targets run without a display: runWithoutDisplay() unsets DISPLAY before the module is first
// called, so instances build no window and the toolkit never starts. An input then costs the engine's
// work only, not a window's creation and destruction, which keeps the fuzzers fast.
#pragma once

#include "module/EntryPoints.h"
#include "tests/support/ProtocolNumbers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace fuzzhost {

constexpr int kStartupCalls = 30;  // control calls before an instance reports ready

// Call from LLVMFuzzerInitialize, before anything reaches the module.
void runWithoutDisplay();

// Stops the process with a message: a broken protocol promise is a finding like any crash.
[[noreturn]] void fail(const char* what);

// Runs a command with whole input words and an output buffer the size of `out`, filled with
// kUntouchedWord; returns the first output word (the status, for commands that report one).
int32_t command(int32_t code, const std::vector<int32_t>& in, std::vector<int32_t>& out);

// A new instance's handle; fails when the module refuses one.
uint32_t createInstance();
// Destroys the instance; fails unless the module reports success.
void destroyInstance(uint32_t handle);
// Puts the module-wide state back as it was loaded (sample rate 44100, no host callback), so that
// one input does not change how the next one runs.
void resetModuleState();

ProcessControlEntry controlEntry();
ProcessAudioEntry audioEntry();

// A host function for command 1030: hosts hand over a real function or 0, never an arbitrary word.
int32_t hostCallback(int32_t code, int32_t value1, int32_t value2, int32_t zero);

// The pins of one instance as a host holds them: 81 input values (77 control, 4 audio) behind
// 81 pointers, and 77 output words. Each array is its own heap block of exactly that size, so a
// pin index out of range is caught.
class Pins {
public:
    Pins();
    // Gives a few pins (any of the 81) values from the input.
    void change(FuzzedDataProvider& data);
    void set(int pin, int32_t value) { values_[pin] = value; }
    int32_t value(int pin) const { return values_[pin]; }
    int32_t output(int pin) const { return outputs_[pin]; }
    int32_t inputWord() const { return int32_t(reinterpret_cast<uintptr_t>(pointers_.data())); }
    int32_t outputWord() { return int32_t(reinterpret_cast<uintptr_t>(outputs_.data())); }

private:
    std::vector<int32_t> values_;
    std::vector<const int32_t*> pointers_;
    std::vector<int32_t> outputs_;
};

// One instance for the length of an input, with its pins.
class Instance {
public:
    Instance() : handle(createInstance()) {}
    ~Instance() { destroyInstance(handle); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Calls the control entry once and checks what every host relies on: the entry returns 0, the
    // ready pin reads 0 during the 30 start-up calls and 1 after them, and from then on the show pin
    // reports whether the window is shown (1 or more on the input shows it, 0 hides it, negative
    // values change nothing).
    void control();

    // Control calls so far.
    int calls() const { return calls_; }

    const uint32_t handle;
    Pins pins;

private:
    int calls_ = 0;
    bool shown_ = false;
};

// The instance an input runs on. Normally a new one for each input, so that every input runs alone
// and a failure reproduces from its input. With FUZZ_KEEP_INSTANCE=1 in the environment one instance
// serves every input of the run: long runs then spend their time in processing rather than in
// creating instances, at the price of inputs that depend on the ones before them.
class InstanceForInput {
public:
    InstanceForInput();
    Instance& operator*() { return *instance_; }
    Instance* operator->() { return instance_; }

private:
    std::unique_ptr<Instance> own_;
    Instance* instance_;
};

// A headless instance has no panel, so nothing would ever change the settings the panel owns (view,
// transform size, window, trigger, trace selection, colours, ...). This publishes one of them as the
// panel's listeners do, with a value the panel's control can produce.
void panelEvent(uint32_t handle, FuzzedDataProvider& data);

// Sets the module sample rate for the instance (command 1028) to any 32-bit value.
void sampleRateEvent(uint32_t handle, FuzzedDataProvider& data);

}  // namespace fuzzhost
