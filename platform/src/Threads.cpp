// CreateThread, WaitForSingleObject and CloseHandle of win32.h over pthreads.
//
// Every thread runs detached. Its handle is a small shared record that the thread itself and the
// handle each hold a reference to: the thread marks it ended after its routine returns, waiters
// sleep on its condition variable, and whichever of thread and CloseHandle comes last frees it. So a
// handle closed while its thread still runs leaks nothing, and a thread never needs joining.
// Without memory for the record, its registration or the thread itself, CreateThread returns null
// and leaves nothing behind.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <new>
#include <unordered_set>

#include "Events.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kCreateSuspended = 0x4;
// The calling thread's pseudo handle, as Windows spells it: never a record's address.
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(intptr_t(-2));

struct ThreadRecord {
    LPTHREAD_START_ROUTINE routine = nullptr;
    void* parameter = nullptr;
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t ended;
    bool finished = false;
    int references = 2;  // the thread and the handle; guarded by mutex
    DWORD id = 0;

    ThreadRecord() {
        pthread_condattr_t attributes;
        pthread_condattr_init(&attributes);
        pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        pthread_cond_init(&ended, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    ~ThreadRecord() {
        pthread_cond_destroy(&ended);
        pthread_mutex_destroy(&mutex);
    }
    // Counted under the mutex rather than with an atomic, so that race checkers (helgrind, DRD) see
    // the ordering between the last user and the delete.
    void retain() {
        pthread_mutex_lock(&mutex);
        ++references;
        pthread_mutex_unlock(&mutex);
    }
    void release() {
        pthread_mutex_lock(&mutex);
        const bool last = --references == 0;
        pthread_mutex_unlock(&mutex);
        if (last) delete this;
    }
};

// Open handles, so that a stale or foreign handle gives WAIT_FAILED instead of a crash.
struct Handles {
    std::mutex mutex;
    std::unordered_set<const void*> open;
};

Handles* const theHandles = new Handles;  // made at load time; never destroyed: threads may end after exit begins

Handles& handles() { return *theHandles; }

std::atomic<DWORD> nextThreadId{1};

void* runThread(void* argument) {
    auto* record = static_cast<ThreadRecord*>(argument);
    record->routine(record->parameter);
    pthread_mutex_lock(&record->mutex);
    record->finished = true;
    pthread_cond_broadcast(&record->ended);
    pthread_mutex_unlock(&record->mutex);
    record->release();
    return nullptr;
}

// The record behind an open handle, with a reference taken for the caller, or null.
ThreadRecord* acquire(HANDLE handle) {
    Handles& h = handles();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!handle || !h.open.count(handle)) return nullptr;
    auto* record = static_cast<ThreadRecord*>(handle);
    record->retain();
    return record;
}

}  // namespace

extern "C" {

HANDLE CreateThread(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                    DWORD* threadId) noexcept {
    (void)security;
    if (!routine || (flags & kCreateSuspended)) return nullptr;
    auto* record = new (std::nothrow) ThreadRecord;
    if (!record) return nullptr;
    record->routine = routine;
    record->parameter = parameter;
    record->id = nextThreadId.fetch_add(1, std::memory_order_relaxed);

    {
        // Registered before the thread starts, so that the handle is valid however fast it ends.
        Handles& h = handles();
        std::lock_guard<std::mutex> lock(h.mutex);
        try {
            h.open.insert(record);
        } catch (const std::bad_alloc&) {
            delete record;
            return nullptr;
        }
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, stackSize < size_t(PTHREAD_STACK_MIN) ? size_t(PTHREAD_STACK_MIN)
                                                                                     : size_t(stackSize));
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, runThread, record);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        Handles& h = handles();
        {
            std::lock_guard<std::mutex> lock(h.mutex);
            h.open.erase(record);
        }
        delete record;
        return nullptr;
    }
    if (threadId) *threadId = record->id;
    return record;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) noexcept {
    if (platform::isEventHandle(handle)) return platform::waitForEvent(handle, milliseconds);
    ThreadRecord* record = acquire(handle);
    if (!record) return WAIT_FAILED;
    pthread_mutex_lock(&record->mutex);
    if (milliseconds == INFINITE) {
        while (!record->finished) pthread_cond_wait(&record->ended, &record->mutex);
    } else if (milliseconds > 0) {
        const timespec deadline = platform::deadlineAfter(milliseconds);
        while (!record->finished) {
            if (pthread_cond_timedwait(&record->ended, &record->mutex, &deadline) == ETIMEDOUT) break;
        }
    }
    const bool finished = record->finished;
    pthread_mutex_unlock(&record->mutex);
    record->release();
    return finished ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle) noexcept {
    if (platform::isEventHandle(handle)) return platform::closeEvent(handle);
    {
        Handles& h = handles();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (!handle || h.open.erase(handle) == 0) return 0;
    }
    static_cast<ThreadRecord*>(handle)->release();
    return 1;
}

HANDLE GetCurrentThread() noexcept { return kCurrentThread; }

// A priority below normal is a higher nice value of the calling thread (Linux schedules threads
// one by one): 5 a step, so LOWEST gets about a tenth of the processor a normal thread gets.
BOOL SetThreadPriority(HANDLE thread, int priority) noexcept {
    if (thread != kCurrentThread || priority < THREAD_PRIORITY_LOWEST || priority > THREAD_PRIORITY_NORMAL) return 0;
    return setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), -5 * priority) == 0;
}

}  // extern "C"
