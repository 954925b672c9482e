// The drawing workers: after each analysis one short-lived thread per active trace erases or dims the
// trace's previous frame and draws the new one straight into the analyzer window with GDI calls.
//
// Threads: launchTraceWorkers and joinTraceWorkers [audio-thread] / [main-thread] (the instance's
// owner, never concurrently); the draw routines run on their own [worker] thread each, read only a
// private copy of their job and set the job's done flag (release) as their very last act.
#pragma once

#include "engine/TraceJob.h"
#include "platform/win32.h"

class GuiCtrl;

// Fills the job of every trace whose input selection is on (P[20 + k] > 1) and starts its worker.
// Called once per analysis, only while all four jobIdle flags are set.
void launchTraceWorkers(GuiCtrl& instance);

// Waits for every worker of the instance to end and closes their handles. After it returns no worker
// touches the instance's jobs or flags. Called before the instance frees its jobs.
void joinTraceWorkers(GuiCtrl& instance);

// Colour word of trace k from the panel: 0x0HRRGGBB with H set when the trace's "History" is on.
uint32_t traceColourWord(const GuiCtrl& instance, int trace);

// Worker start routines; each takes a TraceJob* and returns -1.
DWORD drawTraceLines(void* job);
DWORD drawTraceSegments(void* job);
DWORD drawPhasePointsLeft(void* job);
DWORD drawPhasePointsRight(void* job);
