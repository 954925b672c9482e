#include "module/EntryPoints.h"

#include "engine/Effect.h"

#include <cstdarg>
#include <type_traits>

namespace {

Effect* instanceOf(uint32_t handle) { return reinterpret_cast<Effect*>(uintptr_t(handle)); }

extern "C" int32_t processAudioEntry(uint32_t handle, int32_t host1, int32_t inputs, int32_t host3, int32_t host4,
                                     int32_t start, int32_t count) {
    return instanceOf(handle)->processAudio(host1, inputs, host3, host4, start, count);
}

extern "C" int32_t processControlEntry(uint32_t handle, int32_t inputs, int32_t host2, int32_t outputs,
                                       int32_t host4) {
    return instanceOf(handle)->processControl(inputs, host2, outputs, host4);
}

extern "C" void auxOperation1Entry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3, int32_t host4,
                                   int32_t host5) {
    instanceOf(handle)->auxOperation1(host1, host2, host3, host4, host5);
}

extern "C" int32_t auxOperation3Entry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3, int32_t host4) {
    return instanceOf(handle)->auxOperation3(host1, host2, host3, host4);
}

// On i386 the variable arguments follow the named ones on the stack and va_list is a plain pointer
// to the first of them, so the instance reads the caller's value in place.
static_assert(std::is_pointer<va_list>::value, "va_list must point at the first variable argument");

extern "C" int32_t flagControlEntry(uint32_t handle, int32_t host1, int32_t host2, int32_t host3, int32_t host4,
                                    int32_t operation, ...) {
    va_list arguments;
    va_start(arguments, operation);
    const uint32_t* value = reinterpret_cast<const uint32_t*>(arguments);
    const int32_t result = instanceOf(handle)->flagControl(host1, host2, host3, host4, operation, value);
    va_end(arguments);
    return result;
}

// The host calls these through the types of the protocol header: any drift is a build error.
static_assert(std::is_same<decltype(&processAudioEntry), ProcessAudioEntry>::value, "processAudio entry type");
static_assert(std::is_same<decltype(&processControlEntry), ProcessControlEntry>::value, "processControl entry type");
static_assert(std::is_same<decltype(&auxOperation1Entry), AuxOperation1Entry>::value, "auxOperation1 entry type");
static_assert(std::is_same<decltype(&auxOperation3Entry), AuxOperation3Entry>::value, "auxOperation3 entry type");
static_assert(std::is_same<decltype(&flagControlEntry), FlagControlEntry>::value, "flagControl entry type");

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
