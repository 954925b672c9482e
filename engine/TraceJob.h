// One trace's drawing job: what the worker for trace k draws in one frame.
//
// Threads: filled on the [audio-thread] while the trace's done flag is set; from then until the
// worker sets the flag again, only that [worker] reads it (and only its private copy).
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <cstdint>

constexpr int kTraces = 4;  // traces on the display, one per input selection
constexpr int kDisplayColumns = 1024;
constexpr int32_t NO_LEVEL = -264000;  // a cleared column: far outside the window, draws nothing visible
constexpr uint32_t kHistoryBit = 1u << 24;

struct TraceJob {
    int32_t previous[kDisplayColumns];  // positions of the previous analysis (erased or dimmed)
    int32_t current[kDisplayColumns];  // positions of this analysis
    uint32_t colourWord;  // 0x0HRRGGBB, H = the trace's "History" button
    HWND window;  // null draws nothing
    std::atomic<bool>* doneFlag;  // set true by the worker as its very last act
};

static_assert(sizeof(void*) != 4 || sizeof(TraceJob) == 8204, "a job is 8204 bytes in the 32-bit build");
