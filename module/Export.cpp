// The module's one exported function. Its contract for hosts (commands, buffers, status words, the
// entry points it hands out) is qanagui/protocol.h, which also declares it.
#include "qanagui/protocol.h"

#include "common/EscapedExceptions.h"
#include "module/CommandDispatch.h"
#include "module/Status.h"
#include "platform/FloatingPoint.h"

#include <cstring>
#include <type_traits>

// Threads: [main-thread] (the host thread that issues commands).
// Nothing is thrown across it: a command that fails with an exception inside the module reports the
// status the protocol has for a command that could not be carried out, QANAGUI_STATUS_TABLE_FULL (-1).
// It computes in the module's floating-point mode and gives the host's thread its own mode back.
extern "C" __attribute__((visibility("default"))) int32_t QANAGUI_ABI
DARAZE_W32_DeviceIOControl(int32_t command, const void* inBuffer, int32_t inSize, void* outBuffer, int32_t outSize,
                           int32_t* bytesReturned) noexcept {
    const FloatingPointGuard maths;
    try {
        return dispatchCommand(command, inBuffer, inSize, outBuffer, outSize, bytesReturned);
    } catch (...) {
        reportEscapedException("the command export");
        const int32_t status = STATUS_TABLE_FULL;
        if (outBuffer != nullptr) std::memcpy(outBuffer, &status, sizeof status);
        return 0;
    }
}

// Hosts look the export up by QANAGUI_EXPORT_NAME and call it through QanaguiDeviceIoControlFn (a
// noexcept function converts to that type only when the rest of its type is the same).
static_assert(std::is_convertible<decltype(&DARAZE_W32_DeviceIOControl), QanaguiDeviceIoControlFn>::value,
              "the export has the protocol header's signature");
namespace {
constexpr bool sameText(const char* a, const char* b) { return *a == *b && (*a == '\0' || sameText(a + 1, b + 1)); }
#define QANAGUI_NAME_OF(symbol) #symbol
static_assert(sameText(QANAGUI_EXPORT_NAME, QANAGUI_NAME_OF(DARAZE_W32_DeviceIOControl)),
              "hosts look the export up by the name it is defined under");
#undef QANAGUI_NAME_OF
}  // namespace
