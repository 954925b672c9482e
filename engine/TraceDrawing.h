// Drawing one frame of traces straight into the analyzer window with GDI calls: for each trace whose
// input is selected, the row of the previous analysis is erased (or dimmed, with "History" on) and the
// row of this analysis drawn, as a line over the display columns, as eight unjoined slanted frames
// ("Vibes Watch" in the spectrum view), or as points of the row's first half against its second half
// (the phase views).
//
// Threads: the instance's [worker] draws each frame its analysis made; tests draw frames of their own.
// The rows a frame names must stay unchanged while it is drawn.
#pragma once

#include "engine/TraceJob.h"
#include "platform/win32.h"

#include <cstdint>

// What one analysis has to draw: where, the settings the analysis used, and one display row per trace
// for this analysis and for the previous one.
struct TraceFrame {
    HWND window;  // null: nothing is drawn
    const int32_t* settings;  // the analysis's snapshot of the panel values
    bool altDisplay;  // "Vibes Watch" as the analysis applied it
    const int32_t (*current)[kDisplayColumns];  // kTraces rows
    const int32_t (*previous)[kDisplayColumns];  // kTraces rows
};

// Colour word of trace k from the panel settings: 0x0HRRGGBB with H set when the trace's "History" is on.
uint32_t traceColourWord(const int32_t* settings, int trace);

// Draws every trace whose input selection is on (selection > 1), in trace order, each through a device
// context of its own. colourWords holds the word each trace was last drawn in, kept by the caller
// from frame to frame: it is updated for every trace drawn (also without a window), and with X*Y the
// second trace of each pair takes the first's word as it stands, since it is plotted against it.
void drawTraceFrame(const TraceFrame& frame, uint32_t (&colourWords)[kTraces]);

// The ways one trace is drawn: a line over the columns, eight slanted frames, or X-Y points in the left
// or the right plot. Each draws the previous row first, then the current one.
void drawTraceLines(HDC dc, const TraceJob& job);
void drawTraceSegments(HDC dc, const TraceJob& job);
void drawPhasePointsLeft(HDC dc, const TraceJob& job);
void drawPhasePointsRight(HDC dc, const TraceJob& job);
