#include "module/EntryPoints.h"

#include "engine/Effect.h"

#include <cstdarg>
#include <type_traits>

namespace {

Effect* instanceOf(uint32_t handle) { return reinterpret_cast<Effect*>(uintptr_t(handle)); }

extern "C" int32_t processAudioEntry(uint32_t handle, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                                     int32_t a6) {
    return instanceOf(handle)->processAudio(a1, a2, a3, a4, a5, a6);
}

extern "C" int32_t processControlEntry(uint32_t handle, int32_t a1, int32_t a2, int32_t a3, int32_t a4) {
    return instanceOf(handle)->processControl(a1, a2, a3, a4);
}

extern "C" void auxOperation1Entry(uint32_t handle, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) {
    instanceOf(handle)->auxOperation1(a1, a2, a3, a4, a5);
}

extern "C" int32_t auxOperation3Entry(uint32_t handle, int32_t a1, int32_t a2, int32_t a3, int32_t a4) {
    return instanceOf(handle)->auxOperation3(a1, a2, a3, a4);
}

// On i386 the variable arguments follow the named ones on the stack and va_list is a plain pointer
// to the first of them, so the instance reads the caller's value in place.
static_assert(std::is_pointer<va_list>::value, "va_list must point at the first variable argument");

extern "C" int32_t flagControlEntry(uint32_t handle, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, ...) {
    va_list arguments;
    va_start(arguments, a5);
    const uint32_t* first = reinterpret_cast<const uint32_t*>(arguments);
    const int32_t result = instanceOf(handle)->flagControl(a1, a2, a3, a4, a5, first);
    va_end(arguments);
    return result;
}

template <typename Function>
uint32_t word(Function function) {
    return uint32_t(reinterpret_cast<uintptr_t>(function));
}

}  // namespace

const InstanceEntryTable& instanceEntryTable() {
    static const InstanceEntryTable table{{word(&processAudioEntry), word(&processControlEntry),
                                           word(&auxOperation1Entry), word(&auxOperation3Entry),
                                           word(&flagControlEntry)}};
    return table;
}
