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

// The stack each worker is started with. A worker copies its 8 KB job and draws; measured, its calls
// reach about 9 KB deep drawing into memory and 12 KB into an X11 window (more under
// AddressSanitizer). The default of 8 MB a thread would let about 500 workers exhaust a 32-bit address
// space, while 256 instances may run 1024.
constexpr uint32_t kWorkerStackSize = 256 * 1024;

// Fills the job of every trace whose input selection is on (P[20 + k] > 1) and starts its worker.
// Called once per analysis, only while all four jobIdle flags are set.
void launchTraceWorkers(GuiCtrl& instance);

// Waits for every worker of the instance to end and closes their handles. After it returns no worker
// touches the instance's jobs or flags. Called before the instance frees its jobs.
void joinTraceWorkers(GuiCtrl& instance);

// True when every trace's worker has handed its job back (all four jobIdle flags read with acquire
// semantics, so everything the workers did happens before what the caller does next).
bool traceWorkersIdle(const GuiCtrl& instance);

// Colour word of trace k from the panel: 0x0HRRGGBB with H set when the trace's "History" is on.
uint32_t traceColourWord(const GuiCtrl& instance, int trace);

// Worker start routines; each takes a TraceJob* and returns -1.
DWORD drawTraceLines(void* job);
DWORD drawTraceSegments(void* job);
DWORD drawPhasePointsLeft(void* job);
DWORD drawPhasePointsRight(void* job);

// The function that starts worker threads, CreateThread's signature. Tests replace it to make a
// start fail or to watch the workers; pass null to go back to CreateThread. Returns the previous one.
// Process-wide: change it only while no instance launches workers.
using TraceThreadStarter = HANDLE (*)(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine,
                                      void* parameter, DWORD flags, DWORD* threadId);
TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter);
