// The poll() loop of MessageLoop.h. Registrations live in a map guarded by one mutex; every round
// takes a snapshot of them for poll(), and checks under the mutex that a registration is still the
// same one before calling it, so removals from other threads or from callbacks are honoured at once.
// Wake-ups go through an eventfd that is always part of the poll set.
#include "MessageLoop.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
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
    std::deque<Task> tasks;
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

int PlatformLoop::pump(int timeoutMs)
{
    int dispatched = 0;

    std::vector<Hook> hooksNow;
    {
        std::lock_guard<std::mutex> lock(mutex);
        hooksNow = hooks;
    }
    bool pending = false;
    for (const Hook& h : hooksNow)
        pending = h.hook(h.context) != 0 || pending;

    std::deque<Task> tasksNow;
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
    {
        std::lock_guard<std::mutex> lock(mutex);
        pollSet.push_back(pollfd{wakeFd, POLLIN, 0});
        serials.push_back(0);
        for (const auto& [fd, registration] : fds) {
            pollSet.push_back(pollfd{fd, registration.events, 0});
            serials.push_back(registration.serial);
        }
        if (!tasks.empty())
            pending = true;
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

extern "C" {

PlatformLoop* PlatformLoop_create(void)
{
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto* loop = new PlatformLoop;
    loop->wakeFd = fd;
    return loop;
}

void PlatformLoop_destroy(PlatformLoop* loop)
{
    if (!loop || loop == PlatformLoop_shared())
        return;
    close(loop->wakeFd);
    delete loop;
}

PlatformLoop* PlatformLoop_shared(void)
{
    static PlatformLoop* shared = PlatformLoop_create();
    return shared;
}

int PlatformLoop_addFd(PlatformLoop* loop, int fd, short events, PlatformLoopFdCallback callback, void* context)
{
    if (!loop || fd < 0 || !callback)
        return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        loop->fds[fd] = PlatformLoop::Registration{events, callback, context, loop->nextSerial++};
    }
    loop->wake();
    return 0;
}

int PlatformLoop_removeFd(PlatformLoop* loop, int fd)
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

int PlatformLoop_addPrePollHook(PlatformLoop* loop, PlatformLoopHook hook, void* context)
{
    if (!loop || !hook)
        return 0;
    int id;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        id = loop->nextHookId++;
        loop->hooks.push_back(PlatformLoop::Hook{id, hook, context});
    }
    loop->wake();
    return id;
}

int PlatformLoop_removePrePollHook(PlatformLoop* loop, int id)
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

int PlatformLoop_post(PlatformLoop* loop, PlatformLoopTask task, void* context)
{
    if (!loop || !task)
        return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        loop->tasks.push_back(PlatformLoop::Task{task, context});
    }
    loop->wake();
    return 0;
}

int PlatformLoop_pump(PlatformLoop* loop, int timeoutMs)
{
    if (!loop || !loop->claimOwnership())
        return -1;
    return loop->pump(timeoutMs);
}

int PlatformLoop_runFor(PlatformLoop* loop, int ms)
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

int PlatformLoop_run(PlatformLoop* loop)
{
    if (!loop || !loop->claimOwnership())
        return -1;
    while (!loop->quitRequested.load())
        loop->pump(-1);
    loop->quitRequested.store(false);
    return 0;
}

void PlatformLoop_quit(PlatformLoop* loop)
{
    if (!loop)
        return;
    loop->quitRequested.store(true);
    loop->wake();
}

void PlatformLoop_wake(PlatformLoop* loop)
{
    if (loop)
        loop->wake();
}

}  // extern "C"
