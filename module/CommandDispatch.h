// The command protocol behind the module's one export.
//
// Threads: [main-thread]. Commands run entirely on the calling host thread; no lock guards the
// module-wide state.
#pragma once

#include <cstdint>

enum Command : int32_t {
    CMD_GET_DESCRIPTOR = 1024,
    CMD_CREATE_INSTANCE = 1025,
    CMD_DESTROY_INSTANCE = 1026,
    CMD_GET_ENTRY_POINTS = 1027,
    CMD_SET_SAMPLE_RATE = 1028,
    CMD_NOTIFY_INSTANCE = 1029,
    CMD_SET_HOST_CALLBACK = 1030,
};

// Runs before every command. Stores 0 as the bytes-returned count and leaves the command to the
// dispatcher (NOT_HANDLED); any other result would be returned to the host without dispatching.
int32_t preDispatch(int32_t command, int32_t zero1, int32_t zero2, const void* inBuffer, int32_t inSize,
                    void* outBuffer, int32_t outSize, int32_t* bytesReturned);

// Handles one command. Success and failure travel in the status word of the output buffer; the
// result is always 0. Unknown commands write nothing.
int32_t dispatchCommand(int32_t command, const void* inBuffer, int32_t inSize, void* outBuffer, int32_t outSize,
                        int32_t* bytesReturned);
