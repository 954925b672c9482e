// The poll() loop of MessageLoop.h. Registrations live in a map guarded by one mutex. The owner keeps
// its own copies of them for the rounds (the hooks, the poll set and each descriptor's serial) and
// copies them again only when a generation counter says that registrations changed; before calling a
// descriptor's callback it checks under the mutex that the registration is still the same one, so
// removals from other threads or from callbacks are honoured at once. Posted tasks are swapped out
// whole, and only when the queue is not empty. A round with nothing to do thus takes no lock and
// allocates nothing. Wake-ups go through an eventfd that is always part of the poll set.
//
// Every call is noexcept. Where memory runs out, a registration or post fails with -1 (or 0 for a
// hook id) and changes nothing, and a round of the loop ends early without waiting (see pump).
// Callbacks, hooks and tasks are C functions: they must not throw.
#include "platform/MessageLoop.h"

#include "PlainArray.h"

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
        uint64_t serial;  // distinguishes a re-registration of the same fd
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

    // Guarded by mutex. Every change of fds or hooks advances generation (also read without the
    // mutex by the owner); queuedTasks is tasks.size(), readable without the mutex.
    std::mutex mutex;
    std::map<int, Registration> fds;
    std::vector<Hook> hooks;
    std::vector<Task> tasks;  // queued in order; swapped out whole for each round
    uint64_t nextSerial = 1;
    int nextHookId = 1;
    std::atomic<uint32_t> generation{0};
    std::atomic<size_t> queuedTasks{0};

    // The owner's copies, kept from round to round: their buffers are allocated again only when the
    // registrations outgrow them. roundTasks and tasks trade buffers at each swap.
    platform::PlainArray<Hook> roundHooks;
    std::vector<Task> roundTasks;
    platform::PlainArray<pollfd> pollSet;  // the eventfd first, then the registered descriptors
    platform::PlainArray<uint64_t> serials;  // the serial of each pollSet entry's registration
    bool copiesCurrent = false;
    uint32_t copiedGeneration = 0;
    bool inRound = false;  // a round is running: no other may start and change its copies

    int wakeFd = -1;
    std::atomic<bool> quitRequested{false};
    std::mutex ownerMutex;  // taken only until the owner is known
    std::atomic<bool> hasOwner{false};
    pthread_t owner{};  // set once, before hasOwner becomes true

    // True on the owner (the first thread to ask) outside a round of its own.
    bool mayPump() { return claimOwnership() && !inRound; }

    bool claimOwnership() {
        if (!hasOwner.load(std::memory_order_acquire)) {
            std::lock_guard<std::mutex> lock(ownerMutex);
            if (!hasOwner.load(std::memory_order_relaxed)) {
                owner = pthread_self();
                hasOwner.store(true, std::memory_order_release);
            }
        }
        return pthread_equal(owner, pthread_self()) != 0;
    }

    // Called with mutex held, after fds or hooks changed.
    void registrationsChanged() {
        generation.store(generation.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    void wake() {
        const uint64_t one = 1;
        ssize_t written = write(wakeFd, &one, sizeof one);
        (void)written;  // a full counter already means "wake up"
    }

    void drainWake() {
        uint64_t count;
        ssize_t got = read(wakeFd, &count, sizeof count);
        (void)got;
    }

    bool refreshCopies();
    void takeTasks();
    int pump(int timeoutMs);
    int round(int timeoutMs);
};

// Brings the owner's copies of the hooks and the poll set up to date when registrations changed since
// they were made. False when memory for them ran out; they are then made again next time.
bool PlatformLoop::refreshCopies() {
    if (copiesCurrent && generation.load(std::memory_order_acquire) == copiedGeneration) return true;
    copiesCurrent = false;
    std::lock_guard<std::mutex> lock(mutex);
    // Grown without throwing: with no memory left even raising an exception could end the process.
    if (!roundHooks.reserve(hooks.size()) || !pollSet.reserve(fds.size() + 1) || !serials.reserve(fds.size() + 1))
        return false;
    roundHooks.clear();
    for (const Hook& h : hooks) roundHooks.push(h);
    pollSet.clear();
    serials.clear();
    pollSet.push(pollfd{wakeFd, POLLIN, 0});
    serials.push(0);
    for (const auto& [fd, registration] : fds) {
        pollSet.push(pollfd{fd, registration.events, 0});
        serials.push(registration.serial);
    }
    copiedGeneration = generation.load(std::memory_order_relaxed);
    copiesCurrent = true;
    return true;
}

// Moves the queued tasks into roundTasks (empty before); the queue keeps roundTasks' old buffer.
void PlatformLoop::takeTasks() {
    if (queuedTasks.load(std::memory_order_acquire) == 0) return;
    std::lock_guard<std::mutex> lock(mutex);
    roundTasks.swap(tasks);
    queuedTasks.store(0, std::memory_order_relaxed);
}

// Hooks and tasks run on the owner's copies, so that they may change the registrations freely; the
// poll set is brought up to date again after them. When memory for the copies runs out, the round
// ends there without waiting; nothing queued is lost.
int PlatformLoop::pump(int timeoutMs) {
    inRound = true;
    const int dispatched = round(timeoutMs);
    inRound = false;
    return dispatched;
}

int PlatformLoop::round(int timeoutMs) {
    int dispatched = 0;

    if (!refreshCopies()) return dispatched;
    bool pending = false;
    for (const Hook& h : roundHooks) pending = h.hook(h.context) != 0 || pending;

    takeTasks();
    for (const Task& t : roundTasks) {
        t.task(t.context);
        ++dispatched;
    }
    roundTasks.clear();

    if (!refreshCopies()) return dispatched;
    if (pending || dispatched > 0 || queuedTasks.load(std::memory_order_relaxed) != 0 || quitRequested.load())
        timeoutMs = 0;

    int ready = poll(pollSet.data(), nfds_t(pollSet.size()), timeoutMs);
    if (ready <= 0) return dispatched;
    if (pollSet[0].revents) drainWake();
    for (size_t i = 1; i < pollSet.size(); ++i) {
        if (!pollSet[i].revents) continue;
        PlatformLoopFdCallback callback = nullptr;
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto it = fds.find(pollSet[i].fd);
            if (it == fds.end() || it->second.serial != serials[i]) continue;
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

PlatformLoop* PlatformLoop_create(void) noexcept {
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) return nullptr;
    auto* loop = new (std::nothrow) PlatformLoop;
    if (!loop) {
        close(fd);
        return nullptr;
    }
    loop->wakeFd = fd;
    return loop;
}

void PlatformLoop_destroy(PlatformLoop* loop) noexcept {
    if (!loop || loop == sharedLoop.load(std::memory_order_acquire)) return;
    close(loop->wakeFd);
    delete loop;
}

PlatformLoop* PlatformLoop_shared(void) noexcept {
    if (PlatformLoop* loop = sharedLoop.load(std::memory_order_acquire)) return loop;
    std::lock_guard<std::mutex> lock(sharedLoopMutex);
    PlatformLoop* loop = sharedLoop.load(std::memory_order_relaxed);
    if (!loop) {
        loop = PlatformLoop_create();
        sharedLoop.store(loop, std::memory_order_release);
    }
    return loop;
}

int PlatformLoop_addFd(PlatformLoop* loop, int fd, short events, PlatformLoopFdCallback callback,
                       void* context) noexcept {
    if (!loop || fd < 0 || !callback) return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        try {
            loop->fds[fd] = PlatformLoop::Registration{events, callback, context, loop->nextSerial++};
            loop->registrationsChanged();
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    loop->wake();
    return 0;
}

int PlatformLoop_removeFd(PlatformLoop* loop, int fd) noexcept {
    if (!loop) return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        if (loop->fds.erase(fd) == 0) return -1;
        loop->registrationsChanged();
    }
    loop->wake();
    return 0;
}

int PlatformLoop_addPrePollHook(PlatformLoop* loop, PlatformLoopHook hook, void* context) noexcept {
    if (!loop || !hook) return 0;
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
        loop->registrationsChanged();
    }
    loop->wake();
    return id;
}

int PlatformLoop_removePrePollHook(PlatformLoop* loop, int id) noexcept {
    if (!loop) return -1;
    std::lock_guard<std::mutex> lock(loop->mutex);
    for (auto it = loop->hooks.begin(); it != loop->hooks.end(); ++it) {
        if (it->id == id) {
            loop->hooks.erase(it);
            loop->registrationsChanged();
            return 0;
        }
    }
    return -1;
}

int PlatformLoop_post(PlatformLoop* loop, PlatformLoopTask task, void* context) noexcept {
    if (!loop || !task) return -1;
    {
        std::lock_guard<std::mutex> lock(loop->mutex);
        try {
            loop->tasks.push_back(PlatformLoop::Task{task, context});
        } catch (const std::bad_alloc&) {
            return -1;
        }
        loop->queuedTasks.store(loop->tasks.size(), std::memory_order_release);
    }
    loop->wake();
    return 0;
}

int PlatformLoop_pump(PlatformLoop* loop, int timeoutMs) noexcept {
    if (!loop || !loop->mayPump()) return -1;
    return loop->pump(timeoutMs);
}

int PlatformLoop_runFor(PlatformLoop* loop, int ms) noexcept {
    if (!loop || !loop->mayPump()) return -1;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!loop->quitRequested.load()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) break;
        // Rounded up: poll() must not return before the deadline and leave runFor short.
        loop->pump(int(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
    }
    loop->quitRequested.store(false);
    return 0;
}

int PlatformLoop_run(PlatformLoop* loop) noexcept {
    if (!loop || !loop->mayPump()) return -1;
    while (!loop->quitRequested.load()) loop->pump(-1);
    loop->quitRequested.store(false);
    return 0;
}

void PlatformLoop_quit(PlatformLoop* loop) noexcept {
    if (!loop) return;
    loop->quitRequested.store(true);
    loop->wake();
}

void PlatformLoop_wake(PlatformLoop* loop) noexcept {
    if (loop) loop->wake();
}

}  // extern "C"
