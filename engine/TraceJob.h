// One trace's drawing job: the two display rows of a trace in one frame and the colour word they are
// drawn in (TraceDrawing.h).
//
// Threads: made by whoever draws the frame (the instance's [worker]); the rows it names stay unchanged
// while it is drawn.
#pragma once

#include <cstdint>

constexpr int kTraces = 4;  // traces on the display, one per input selection
constexpr int kDisplayColumns = 1024;
constexpr int32_t NO_LEVEL = -264000;  // a cleared column: far outside the window, draws nothing visible

struct TraceJob {
    const int32_t* previous;  // kDisplayColumns positions of the previous analysis (erased or dimmed)
    const int32_t* current;  // kDisplayColumns positions of this analysis
    uint32_t colourWord;  // 0x0HRRGGBB, H = the trace's "History" button
};
