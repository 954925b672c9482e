// Auto-reset events of win32.h over Linux futexes.
//
// An event is one slot of a fixed table, so that SetEvent needs neither a lock nor memory: it checks
// the slot's handle word, swaps the slot's state to "signalled" and wakes a waiter with one futex
// call. A handle names its slot and how often the slot has been used, as (use << 13) | (slot << 1) | 1,
// so a closed handle no longer matches and is refused even after the slot was taken again.
// Creating and closing take a mutex; signalling and waiting do not.
#include "Events.h"

#include "common/RaceCheckerAnnotations.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>

namespace platform {
namespace {

constexpr unsigned kSlotBits = 12;
constexpr uint32_t kSlots = 1u << kSlotBits;
constexpr uint32_t kUseLimit = 1u << (31 - kSlotBits);

struct EventSlot {
    std::atomic<uint32_t> handle{0};  // the handle naming this slot now; 0 while free
    std::atomic<int> state{0};  // 1 signalled, 0 not: the futex word
    uint32_t uses = 0;  // guarded by slotsMutex
};

EventSlot theSlots[kSlots];  // static storage: usable from load to exit, never freed
std::mutex slotsMutex;  // guards taking and freeing slots
uint32_t nextSlot = 0;  // guarded by slotsMutex

uint32_t valueOf(HANDLE handle) { return uint32_t(reinterpret_cast<uintptr_t>(handle)); }

// The slot a handle names, or null for a handle that is not a live event.
EventSlot* liveSlot(HANDLE handle) {
    const uint32_t value = valueOf(handle);
    if ((value & 1u) == 0) return nullptr;
    EventSlot& slot = theSlots[(value >> 1) & (kSlots - 1)];
    return slot.handle.load(std::memory_order_acquire) == value ? &slot : nullptr;
}

long futex(std::atomic<int>* word, int operation, int value, const timespec* timeout) {
    return syscall(SYS_futex, reinterpret_cast<int*>(word), operation, value, timeout, nullptr, 0);
}

}  // namespace

DWORD waitForEvent(HANDLE event, DWORD milliseconds) noexcept {
    EventSlot* slot = liveSlot(event);
    if (!slot) return WAIT_FAILED;
    const timespec deadline = milliseconds != INFINITE ? deadlineAfter(milliseconds) : timespec{};
    // Taking the signal and resetting the event are one exchange.
    while (slot->state.exchange(0, std::memory_order_acquire) == 0) {
        const timespec* timeout = nullptr;
        timespec left{};
        if (milliseconds != INFINITE) {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            left.tv_sec = deadline.tv_sec - now.tv_sec;
            left.tv_nsec = deadline.tv_nsec - now.tv_nsec;
            if (left.tv_nsec < 0) {
                left.tv_sec -= 1;
                left.tv_nsec += 1000000000L;
            }
            if (left.tv_sec < 0) return WAIT_TIMEOUT;
            timeout = &left;
        }
        // Sleeps only while the word is still 0: a signal in between makes it return at once.
        futex(&slot->state, FUTEX_WAIT_PRIVATE, 0, timeout);
    }
    RACE_CHECKER_ACQUIRE(&slot->state);
    return WAIT_OBJECT_0;
}

BOOL closeEvent(HANDLE event) noexcept {
    std::lock_guard<std::mutex> lock(slotsMutex);
    EventSlot* slot = liveSlot(event);
    if (!slot) return 0;
    slot->handle.store(0, std::memory_order_release);
    slot->state.store(0, std::memory_order_relaxed);
    return 1;
}

}  // namespace platform

using namespace platform;

extern "C" {

HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name) noexcept {
    (void)security;
    (void)name;
    if (manualReset) return nullptr;
    std::lock_guard<std::mutex> lock(slotsMutex);
    for (uint32_t tried = 0; tried < kSlots; ++tried) {
        const uint32_t index = nextSlot;
        nextSlot = (nextSlot + 1) & (kSlots - 1);
        EventSlot& slot = theSlots[index];
        if (slot.handle.load(std::memory_order_relaxed) != 0) continue;
        RACE_CHECKER_ATOMIC_WORD(&slot);
        slot.uses = (slot.uses + 1) & (kUseLimit - 1);
        const uint32_t value = (slot.uses << (kSlotBits + 1)) | (index << 1) | 1u;
        slot.state.store(initialState ? 1 : 0, std::memory_order_relaxed);
        slot.handle.store(value, std::memory_order_release);
        return reinterpret_cast<HANDLE>(uintptr_t(value));
    }
    return nullptr;
}

BOOL SetEvent(HANDLE event) noexcept {
    EventSlot* slot = liveSlot(event);
    if (!slot) return 0;
    RACE_CHECKER_RELEASE(&slot->state);
    if (slot->state.exchange(1, std::memory_order_release) == 0) futex(&slot->state, FUTEX_WAKE_PRIVATE, 1, nullptr);
    return 1;
}

}  // extern "C"
