// The module's one exported function.
#include "module/CommandDispatch.h"
#include "module/Status.h"

// Threads: [main-thread] (the host thread that issues commands).
extern "C" __attribute__((visibility("default"))) int32_t DARAZE_W32_DeviceIOControl(
    int32_t command, const void* inBuffer, int32_t inSize, void* outBuffer, int32_t outSize, int32_t* bytesReturned) {
    const int32_t hook = preDispatch(command, 0, 0, inBuffer, inSize, outBuffer, outSize, bytesReturned);
    if (hook != NOT_HANDLED) return hook;
    return dispatchCommand(command, inBuffer, inSize, outBuffer, outSize, bytesReturned);
}
