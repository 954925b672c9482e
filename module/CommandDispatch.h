// The command protocol behind the module's one export (qanagui/protocol.h documents it for hosts).
//
// Threads: [main-thread]. Commands run entirely on the calling host thread; no lock guards the
// module-wide state.
#pragma once

#include "qanagui/protocol.h"

#include <cstdint>

enum Command : int32_t {
    CMD_GET_DESCRIPTOR = QANAGUI_CMD_GET_DESCRIPTOR,
    CMD_CREATE_INSTANCE = QANAGUI_CMD_CREATE_INSTANCE,
    CMD_DESTROY_INSTANCE = QANAGUI_CMD_DESTROY_INSTANCE,
    CMD_GET_ENTRY_POINTS = QANAGUI_CMD_GET_ENTRY_POINTS,
    CMD_SET_SAMPLE_RATE = QANAGUI_CMD_SET_SAMPLE_RATE,
    CMD_NOTIFY_INSTANCE = QANAGUI_CMD_NOTIFY_INSTANCE,
    CMD_SET_HOST_CALLBACK = QANAGUI_CMD_SET_HOST_CALLBACK,
};

// Handles one command. Success and failure travel in the status word of the output buffer; the
// result is always 0. Unknown commands write nothing.
int32_t dispatchCommand(int32_t command, const void* inBuffer, int32_t inSize, void* outBuffer, int32_t outSize,
                        int32_t* bytesReturned);
