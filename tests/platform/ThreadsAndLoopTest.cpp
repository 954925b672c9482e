// Worker threads (create, wait, close) and the message loop (descriptors, hooks, tasks, wake-ups).
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/MessageLoop.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

// A gate a thread waits at until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<int> passed{0};
    void* seenParameter = nullptr;

    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        opened.wait(lock, [this] { return open; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        opened.notify_all();
    }
};

DWORD gatedRoutine(void* parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->seenParameter = parameter;
    gate->wait();
    gate->passed.fetch_add(1, std::memory_order_release);
    return DWORD(-1);
}

TEST(Threads, WaitTellsRunningFromEndedWithZeroFiniteAndInfiniteTimeouts) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, gatedRoutine, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);

    gate.release();
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.passed.load(std::memory_order_acquire), 1);
    EXPECT_EQ(gate.seenParameter, &gate);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);

    EXPECT_EQ(CloseHandle(thread), 1);
    EXPECT_EQ(CloseHandle(thread), 0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CreateThread(nullptr, 0, gatedRoutine, &gate, 0x4, nullptr), nullptr) << "suspended start";
}

TEST(Events, ASignalReleasesOneWaitAndAClosedEventIsRefused) {
    HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(CreateEventA(nullptr, 1, 0, nullptr), nullptr) << "manual reset is not offered";
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(event, 30), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(SetEvent(event), 1);
    EXPECT_EQ(SetEvent(event), 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_TIMEOUT)) << "two signals before a wait release one";

    std::atomic<bool> released{false};
    std::thread waiter([&] { released = WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(released.load());
    EXPECT_EQ(SetEvent(event), 1);
    waiter.join();
    EXPECT_TRUE(released.load());

    EXPECT_EQ(CloseHandle(event), 1);
    EXPECT_EQ(SetEvent(event), 0);
    EXPECT_EQ(WaitForSingleObject(event, 0), DWORD(WAIT_FAILED));
    EXPECT_EQ(CloseHandle(event), 0);
}

TEST(Threads, HandleClosedWhileRunningLetsTheThreadFinish) {
    Gate gate;
    DWORD firstId = 0, secondId = 0;
    HANDLE first = CreateThread(nullptr, 64 * 1024, gatedRoutine, &gate, 0, &firstId);
    HANDLE second = CreateThread(nullptr, 0, gatedRoutine, &gate, 0, &secondId);
    ASSERT_TRUE(first && second);
    EXPECT_NE(firstId, secondId);
    EXPECT_EQ(CloseHandle(first), 1);
    gate.release();
    EXPECT_EQ(WaitForSingleObject(second, INFINITE), WAIT_OBJECT_0);
    CloseHandle(second);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (gate.passed.load() < 2 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(gate.passed.load(), 2);
}

struct Pipe {
    int fds[2];
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        close(fds[0]);
        close(fds[1]);
    }
    void put() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
    void take() {
        char c;
        EXPECT_EQ(read(fds[0], &c, 1), 1);
    }
};

class Loop : public ::testing::Test {
protected:
    void SetUp() override { loop = PlatformLoop_create(); }
    void TearDown() override { PlatformLoop_destroy(loop); }
    PlatformLoop* loop = nullptr;
};

struct Dispatch {
    Pipe* pipe;
    PlatformLoop* loop;
    pthread_t thread{};
    std::atomic<int> calls{0};
};

void onReadable(int, short, void* context) {
    auto* d = static_cast<Dispatch*>(context);
    d->pipe->take();
    d->thread = pthread_self();
    d->calls.fetch_add(1);
    PlatformLoop_quit(d->loop);
}

TEST_F(Loop, RunsCallbacksRegisteredFromAnotherThreadOnItsOwnThread) {
    Pipe pipe;
    Dispatch dispatch{&pipe, loop};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the loop block in poll()
        EXPECT_EQ(PlatformLoop_addFd(loop, pipe.fds[0], POLLIN, onReadable, &dispatch), 0);
        pipe.put();
    });
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && dispatch.calls.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        PlatformLoop_quit(loop);
    });
    EXPECT_EQ(PlatformLoop_run(loop), 0);
    other.join();
    watchdog.join();
    EXPECT_EQ(dispatch.calls.load(), 1);
    EXPECT_TRUE(pthread_equal(dispatch.thread, pthread_self()));

    // Removed: data waiting on the descriptor no longer calls back.
    EXPECT_EQ(PlatformLoop_removeFd(loop, pipe.fds[0]), 0);
    EXPECT_EQ(PlatformLoop_removeFd(loop, pipe.fds[0]), -1);
    pipe.put();
    EXPECT_EQ(PlatformLoop_pump(loop, 0), 0);
    EXPECT_EQ(dispatch.calls.load(), 1);
    EXPECT_EQ(PlatformLoop_addFd(loop, -1, POLLIN, onReadable, &dispatch), -1);
}

TEST_F(Loop, WakeAndPostFromOtherThreadsEndAWaitWithoutLimit) {
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PlatformLoop_wake(loop);
    });
    EXPECT_EQ(PlatformLoop_pump(loop, -1), 0);  // returns only because of the wake-up
    waker.join();

    std::atomic<int> ran{0};
    pthread_t ranOn{};
    struct Context {
        std::atomic<int>* ran;
        pthread_t* on;
    } context{&ran, &ranOn};
    std::thread poster([&] {
        PlatformLoop_post(
            loop,
            [](void* c) {
                auto* ctx = static_cast<Context*>(c);
                *ctx->on = pthread_self();
                ctx->ran->fetch_add(1);
            },
            &context);
    });
    poster.join();
    EXPECT_EQ(PlatformLoop_pump(loop, -1), 1);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(pthread_equal(ranOn, pthread_self()));

    std::thread intruder([&] { EXPECT_EQ(PlatformLoop_pump(loop, 0), -1) << "only the owner may pump"; });
    intruder.join();
}

TEST_F(Loop, PrePollHookRunsEveryRoundAndPendingWorkSkipsTheWait) {
    struct HookState {
        int calls = 0;
        int pendingRounds = 0;
    } state;
    const int id = PlatformLoop_addPrePollHook(
        loop,
        [](void* c) {
            auto* s = static_cast<HookState*>(c);
            ++s->calls;
            return s->pendingRounds-- > 0 ? 1 : 0;
        },
        &state);
    ASSERT_GT(id, 0);
    PlatformLoop_pump(loop, 0);  // consume the wake-up that registering the hook caused
    state.calls = 0;

    state.pendingRounds = 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PlatformLoop_pump(loop, -1), 0);  // would block forever without the hook's answer
    EXPECT_EQ(state.calls, 3);

    const auto start = Clock::now();
    EXPECT_EQ(PlatformLoop_runFor(loop, 60), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_GE(state.calls, 4);

    EXPECT_EQ(PlatformLoop_removePrePollHook(loop, id), 0);
    EXPECT_EQ(PlatformLoop_removePrePollHook(loop, id), -1);
    PlatformLoop_pump(loop, 0);
    const int callsAfterRemoval = state.calls;
    PlatformLoop_pump(loop, 0);
    EXPECT_EQ(state.calls, callsAfterRemoval);
}

}  // namespace
