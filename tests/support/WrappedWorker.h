// A starter for an instance's worker thread (setTraceThreadStarter) that lets a test wrap the real
// worker: Worker(routine, parameter) runs on the new thread in its place and calls routine(parameter)
// itself, with whatever the test wants to do before and after (hold the worker at a gate, count the
// threads, measure the stack).
//
// Threads: the starter runs where instances are made; Worker on the worker's own thread.
#pragma once

#include "engine/TraceWorkers.h"

template <DWORD (*Worker)(LPTHREAD_START_ROUTINE, void*)>
class WrappedWorker {
public:
    static HANDLE start(void* security, uint32_t stack, LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                        DWORD* id) {
        auto* call = new Call{routine, parameter};
        HANDLE thread = CreateThread(security, stack, &run, call, flags, id);
        if (!thread) delete call;
        return thread;
    }

private:
    struct Call {
        LPTHREAD_START_ROUTINE routine;
        void* parameter;
    };
    static DWORD run(void* call) {
        const Call c = *static_cast<Call*>(call);
        delete static_cast<Call*>(call);
        return Worker(c.routine, c.parameter);
    }
};
