// The poll() loop of MessageLoop.h. Registrations live in a map guarded by one mutex; every round
// takes a snapshot of them for poll(), and checks under the mutex that a registration is still the
// same one before calling it, so removals from other threads or from callbacks are honoured at once.
// Wake-ups go through an eventfd that is always part of the poll set.
//
// Every call is noexcept. Where memory runs out, a registration or post fails with -1 (or 0 for a
// hook id) and changes nothing, and a round of the loop ends early without waiting (see pump).
// Callbacks, hooks and tasks are C functions: they must not throw.
#include "platform/MessageLoop.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <vector>

struct PlatformLoop {
    struct Registration {
        short events;
        PlatformLoopFdCallback callback;
        void* context;
        uint64_t serial;   // distinguishes a re-registration of the same fd
    };
    struct Hook {
        int id;
        PlatformLoopHook hook;
        void* context;
    };
    struct Task {
        PlatformLoopTask task;
        void* context;
    };

    std::mutex mutex;
    std::map<int, Registration> fds;
    std::vector<Hook> hooks;
    std::vector<Task> tasks;   // queued in order; swapped out whole for each round
    uint64_t nextSerial = 1;
    int nextHookId = 1;
    int wakeFd = -1;
    std::atomic<bool> quitRequested{false};
    std::mutex ownerMutex;
    bool hasOwner = false;
    pthread_t owner{};

    bool claimOwnership()
    {
        std::lock_guard<std::mutex> lock(ownerMutex);
        if (!hasOwner) {
            hasOwner = true;
            owner = pthread_self();
        }
        return pthread_equal(owner, pthread_self()) != 0;
    }

    void wake()
    {
        const uint64_t one = 1;
        ssize_t written = write(wakeFd, &one, sizeof one);
        (void)written;   // a full counter already means "wake up"
    }

    void drainWake()
    {
        uint64_t count;
        ssize_t got = read(wakeFd, &count, sizeof count);
        (void)got;
    }

    int pump(int timeoutMs);
};

// Callbacks, hooks and tasks run on snapshots, so that they may change the registrations freely.
// When memory for a snapshot runs out, the round ends there without waiting; nothing queued is lost.
int PlatformLoop::pump(int timeoutMs)
{
    int dispatched = 0;

    std::vector<Hook> hooksNow;
    try {
        std::lock_guard<std::mutex> lock(mutex);
        hooksNow = hooks;
    } catch (const std::bad_alloc&) {
        return dispatched;
    }
    bool pending = false;
    for (const Hook& h : hooksNow)
        pending = h.hook(h.context) != 0 || pending;

    std::vector<Task> tasksNow;
    {
        std::lock_guard<std::mutex> lock(mutex);
        tasksNow.swap(tasks);
    }
    for (const Task& t : tasksNow) {
        t.task(t.context);
        ++dispatched;
    }

    std::vector<pollfd> pollSet;
    std::vector<uint64_t> serials;
    try {
        std::lock_guard<std::mutex> lock(mutex);
        pollSet.reserve(fds.size() + 1);
        serials.reserve(fds.size() + 1);
        pollSet.push_back(pollfd{wakeFd, POLLIN, 0});
        serials.push_back(0);
        for (const auto& [fd, registration] : fds) {
            pollSet.push_back(pollfd{fd, registration.events, 0});
            serials.push_back(registration.serial);
        }
        if (!tasks.empty())
            pending = true;
    } catch (const std::bad_alloc&) {
        return dispatched;
    }
    if (pending || dispatched > 0 || quitRequested.load())
        timeoutMs = 0;

    int ready = poll(pollSet.data(), nfds_t(pollSet.size()), timeoutMs);
    if (ready <= 0)
        return dispatched;
    if (pollSet[0].revents)
        drainWake();
    for (size_t i = 1; i < pollSet.size(); ++i) {
        if (!pollSet[i].revents)
            continue;
        PlatformLoopFdCallback callback = nullptr;
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto it = fds.find(pollSet[i].fd);
            if (it == fds.end() || it->second.serial != serials[i])
                continue;
            callback = it->second.callback;
            context = it->second.context;
        }
        callback(pollSet[i].fd, pollSet[i].revents, context);
        ++dispatched;
    }
    return dispatched;
}

namespace {

// The shared loop, made on first use; a first use without memory leaves it to a later call.
std::atomic<PlatformLoop*> sharedLoop{nullptr};
std::mutex sharedLoopMutex;

}  // namespace

extern "C" {

PlatformLoop* PlatformLoop_create(void) noexcept
{
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto* loop = new (std::nothrow) PlatformLoop;
    if (!loop) {
        close(fd);
        return nullptr;
    }
    loop->wakeFd = fd;
    return loop;
}

void PlatformLoop_destroy(PlatformLoop* loop) noexcept
{
    if (!loop || loop == sharedLoop.load(std::memory_order_acquire))
        return;
    close(loop->wakeFd);
    delete loop;
}

PlatformLoop* PlatformLoop_shared(void) noexcept
{
    if (PlatformLoop* loop = sharedLoop.load(std::memory_order_acquire))
        return loop;
    std::lock_guard<std::mutex> lock(sharedLoopMutex);
    PlatformLoop* loop = sharedLoop.load(std::memory_order_relaxed);
    if (!loop) {
        loop = PlatformLoop_create();
        sharedLoop.store(loop, std::memory_order_release);
    }
    return loop;
}

int PlatformLoop_addFd(PlatformLoop* loop, int fd, short events, PlatformLoopFdCallback callback,
                       void* context) noexcept
{
    if (!loop || fd < 0 || !callback)
        return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        try {
            loop->fds[fd] = PlatformLoop::Registration{events, callback, context, loop->nextSerial++};
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    loop->wake();
    return 0;
}

int PlatformLoop_removeFd(PlatformLoop* loop, int fd) noexcept
{
    if (!loop)
        return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        if (loop->fds.erase(fd) == 0)
            return -1;
    }
    loop->wake();
    return 0;
}

int PlatformLoop_addPrePollHook(PlatformLoop* loop, PlatformLoopHook hook, void* context) noexcept
{
    if (!loop || !hook)
        return 0;
    int id;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        id = loop->nextHookId;
        try {
            loop->hooks.push_back(PlatformLoop::Hook{id, hook, context});
        } catch (const std::bad_alloc&) {
            return 0;
        }
        ++loop->nextHookId;
    }
    loop->wake();
    return id;
}

int PlatformLoop_removePrePollHook(PlatformLoop* loop, int id) noexcept
{
    if (!loop)
        return -1;
    std::lock_guard<std::mutex> lock(loop->mutex);
    for (auto it = loop->hooks.begin(); it != loop->hooks.end(); ++it) {
        if (it->id == id) {
            loop->hooks.erase(it);
            return 0;
        }
    }
    return -1;
}

int PlatformLoop_post(PlatformLoop* loop, PlatformLoopTask task, void* context) noexcept
{
    if (!loop || !task)
        return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        try {
            loop->tasks.push_back(PlatformLoop::Task{task, context});
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    loop->wake();
    return 0;
}

int PlatformLoop_pump(PlatformLoop* loop, int timeoutMs) noexcept
{
    if (!loop || !loop->claimOwnership())
        return -1;
    return loop->pump(timeoutMs);
}

int PlatformLoop_runFor(PlatformLoop* loop, int ms) noexcept
{
    if (!loop || !loop->claimOwnership())
        return -1;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!loop->quitRequested.load()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        // Rounded up: poll() must not return before the deadline and leave runFor short.
        loop->pump(int(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
    }
    loop->quitRequested.store(false);
    return 0;
}

int PlatformLoop_run(PlatformLoop* loop) noexcept
{
    if (!loop || !loop->claimOwnership())
        return -1;
    while (!loop->quitRequested.load())
        loop->pump(-1);
    loop->quitRequested.store(false);
    return 0;
}

void PlatformLoop_quit(PlatformLoop* loop) noexcept
{
    if (!loop)
        return;
    loop->quitRequested.store(true);
    loop->wake();
}

void PlatformLoop_wake(PlatformLoop* loop) noexcept
{
    if (loop)
        loop->wake();
}

}  // extern "C"
