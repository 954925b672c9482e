// A message loop owned by one thread: poll() over registered file descriptors, with callbacks.
//
// The host runs the process's shared loop on its main thread; the module registers the toolkit's
// event-loop descriptors with that same loop, so window events, repaints and asynchronous updates
// are dispatched on the host's main thread. Tests may create private loops.
//
// Ownership: the first thread that pumps a loop (PlatformLoop_pump, _runFor or _run) becomes its
// owner; pumping it from any other thread afterwards fails. Callbacks always run on the owner.
//
// Threads:
//   [any-thread]   safe from any thread at any time, including from inside a callback
//   [owner-thread] only on the loop's owner, never from inside one of its callbacks
//
// No call throws (they are noexcept in C++), and callbacks, hooks and tasks must not throw either.
#pragma once

#include <poll.h>  // POLLIN, POLLOUT, ... for PlatformLoop_addFd

#include "platform/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PlatformLoop PlatformLoop;

// Called on the owner when fd has one of the registered events; revents as poll() reports them.
typedef void (*PlatformLoopFdCallback)(int fd, short revents, void* context);
// Called on the owner before every poll. Returns nonzero when it knows of work that poll() cannot
// see (Xlib holding events in its own queue, for example), so that this round polls without waiting.
typedef int (*PlatformLoopHook)(void* context);
// A task posted to run once on the owner.
typedef void (*PlatformLoopTask)(void* context);

// The process's shared loop, created on the first call and never destroyed; null only while memory
// for it is lacking (a later call tries again). [any-thread]
PLATFORM_API PlatformLoop* PlatformLoop_shared(void) PLATFORM_NOEXCEPT;

// A private loop (null without memory or a free descriptor), and its destruction. Destroy only when
// no thread uses it any more; registered callbacks and posted tasks are dropped without running.
// [any-thread]
PLATFORM_API PlatformLoop* PlatformLoop_create(void) PLATFORM_NOEXCEPT;
PLATFORM_API void PlatformLoop_destroy(PlatformLoop* loop) PLATFORM_NOEXCEPT;

// Registers fd for the poll() events in events (POLLIN, POLLOUT, ...); a second registration of the
// same fd replaces the first. Takes effect at the next poll: a loop waiting in poll() is woken.
// Returns 0 on success, -1 for a bad argument or when memory ran out (then nothing changed).
// [any-thread]
PLATFORM_API int PlatformLoop_addFd(PlatformLoop* loop, int fd, short events, PlatformLoopFdCallback callback,
                                    void* context) PLATFORM_NOEXCEPT;
// Removes the registration of fd. Once this returns, the callback is not started again; a call
// already running on the owner finishes (from the owner itself, nothing is running). Returns 0 on
// success, -1 when fd was not registered. [any-thread]
PLATFORM_API int PlatformLoop_removeFd(PlatformLoop* loop, int fd) PLATFORM_NOEXCEPT;

// Adds a pre-poll hook and returns its id (> 0), or 0 for a bad argument or when memory ran out;
// removes one by id, returning 0 on success and -1 for an unknown id. [any-thread]
PLATFORM_API int PlatformLoop_addPrePollHook(PlatformLoop* loop, PlatformLoopHook hook,
                                             void* context) PLATFORM_NOEXCEPT;
PLATFORM_API int PlatformLoop_removePrePollHook(PlatformLoop* loop, int id) PLATFORM_NOEXCEPT;

// Queues task(context) to run once on the owner during the next pump, waking the loop. Returns 0,
// or -1 for a bad argument or when memory ran out (then the task is not queued). [any-thread]
PLATFORM_API int PlatformLoop_post(PlatformLoop* loop, PlatformLoopTask task, void* context) PLATFORM_NOEXCEPT;

// One round: runs the pre-poll hooks and posted tasks, waits in poll() up to timeoutMs (negative:
// without limit; 0: not at all) for a registered descriptor, a wake-up or quit, then dispatches
// the ready descriptors' callbacks. Returns the number of callbacks and tasks run, or -1 when called
// from a thread other than the owner or from inside one of the loop's callbacks, hooks or tasks. A
// round with nothing to do allocates nothing and takes no lock. When memory runs out the round ends
// early without waiting; queued tasks stay queued. [owner-thread]
PLATFORM_API int PlatformLoop_pump(PlatformLoop* loop, int timeoutMs) PLATFORM_NOEXCEPT;

// Pumps for ms milliseconds, or until PlatformLoop_quit. Returns -1 off the owner or inside one of
// the loop's callbacks, hooks or tasks, else 0. [owner-thread]
PLATFORM_API int PlatformLoop_runFor(PlatformLoop* loop, int ms) PLATFORM_NOEXCEPT;

// Pumps until PlatformLoop_quit is called, then clears the quit request. Returns -1 off the owner or
// inside one of the loop's callbacks, hooks or tasks, else 0. [owner-thread]
PLATFORM_API int PlatformLoop_run(PlatformLoop* loop) PLATFORM_NOEXCEPT;

// Asks _run/_runFor to return after the current round. [any-thread]
PLATFORM_API void PlatformLoop_quit(PlatformLoop* loop) PLATFORM_NOEXCEPT;

// Makes a waiting poll() return at once (or the next one, if none is waiting). [any-thread]
PLATFORM_API void PlatformLoop_wake(PlatformLoop* loop) PLATFORM_NOEXCEPT;

#ifdef __cplusplus
}
#endif
