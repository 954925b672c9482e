#include "module/EntryPoints.h"

#include "engine/Effect.h"
#include "common/EscapedExceptions.h"
#include "platform/FloatingPoint.h"

#include <cstdarg>
#include <type_traits>

namespace {

Effect* instanceOf(uint32_t handle) { return reinterpret_cast<Effect*>(uintptr_t(handle)); }

// Nothing is thrown across an entry point: an exception is reported, the instance is marked faulted
// (it may be half-updated), and the entry returns its documented value (processAudio -1,
// processControl 0, auxOperation3 -1, flagControl -3), as every later call of a faulted instance
// does without running. The entry computes in the module's floating-point mode (denormals flushed on
// the processing entries) and gives the host's thread its own mode back.
template <typename Result, typename Call>
Result guarded(Effect* instance, const char* entry, Result failure, Call call,
               FloatingPointGuard::Denormals denormals = FloatingPointGuard::kKeepDenormals) noexcept {
    if (instance->isFaulted()) return failure;
    const FloatingPointGuard maths(denormals);
    try {
        return call();
    } catch (...) {
        instance->markFaulted();
        reportEscapedException(entry, kInstanceStops);
        return failure;
    }
}

extern "C" int32_t QANAGUI_ABI processAudioEntry(uint32_t handle, int32_t host1, int32_t inputs, int32_t host3,
                                                 int32_t host4, int32_t start, int32_t count) noexcept {
    Effect* instance = instanceOf(handle);
    return guarded(
        instance, "the audio entry", int32_t(-1),
        [&] { return instance->processAudio(host1, inputs, host3, host4, start, count); },
        FloatingPointGuard::kFlushDenormals);
}

extern "C" int32_t QANAGUI_ABI processControlEntry(uint32_t handle, int32_t inputs, int32_t host2, int32_t outputs,
                                                   int32_t host4) noexcept {
    Effect* instance = instanceOf(handle);
    return guarded(
        instance, "the control entry", int32_t(0),
        [&] { return instance->processControl(inputs, host2, outputs, host4); }, FloatingPointGuard::kFlushDenormals);
}

extern "C" void QANAGUI_ABI auxOperation1Entry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                               int32_t host4, int32_t host5) noexcept {
    Effect* instance = instanceOf(handle);
    guarded(instance, "the first auxiliary entry", 0, [&] {
        instance->auxOperation1(host1, host2, host3, host4, host5);
        return 0;
    });
}

extern "C" int32_t QANAGUI_ABI auxOperation3Entry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                                  int32_t host4) noexcept {
    Effect* instance = instanceOf(handle);
    return guarded(instance, "the second auxiliary entry", int32_t(-1),
                   [&] { return instance->auxOperation3(host1, host2, host3, host4); });
}

// On i386 the variable arguments follow the named ones on the stack and va_list is a plain pointer
// to the first of them, so the instance reads the caller's value in place.
static_assert(std::is_pointer<va_list>::value, "va_list must point at the first variable argument");

extern "C" int32_t QANAGUI_ABI flagControlEntry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                                int32_t host4, int32_t operation, ...) noexcept {
    va_list arguments;
    va_start(arguments, operation);
    const uint32_t* value = reinterpret_cast<const uint32_t*>(arguments);
    Effect* instance = instanceOf(handle);
    const int32_t result = guarded(instance, "the flag entry", int32_t(-3),
                                   [&] { return instance->flagControl(host1, host2, host3, host4, operation, value); });
    va_end(arguments);
    return result;
}

// The host calls these through the types of the protocol header: any drift is a build error. (A
// noexcept function converts to the header's type, and only when the rest of the type is the same.)
static_assert(std::is_convertible<decltype(&processAudioEntry), ProcessAudioEntry>::value, "processAudio entry type");
static_assert(std::is_convertible<decltype(&processControlEntry), ProcessControlEntry>::value,
              "processControl entry type");
static_assert(std::is_convertible<decltype(&auxOperation1Entry), AuxOperation1Entry>::value,
              "auxOperation1 entry type");
static_assert(std::is_convertible<decltype(&auxOperation3Entry), AuxOperation3Entry>::value,
              "auxOperation3 entry type");
static_assert(std::is_convertible<decltype(&flagControlEntry), FlagControlEntry>::value, "flagControl entry type");

template <typename Function>
uint32_t word(Function function) {
    return uint32_t(reinterpret_cast<uintptr_t>(function));
}

}  // namespace

static_assert(sizeof(InstanceEntryTable) == 5 * 4, "five 32-bit entry words");

const InstanceEntryTable& instanceEntryTable() {
    static const InstanceEntryTable table{word(&processAudioEntry), word(&processControlEntry),
                                          word(&auxOperation1Entry), word(&auxOperation3Entry),
                                          word(&flagControlEntry)};
    return table;
}
