#include "ui/ToolkitMemory.h"

#include "platform/MemoryProbe.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <utility>

namespace toolkit {
namespace {

// The reserve as heap blocks, each below the smallest threshold at which malloc maps a block of its
// own (128 KB): given back, they stay in malloc's free lists for the round's allocations, and taken
// again they come from there, neither step a system call. One more block, the highest in memory of
// those taken, is kept through the rounds: the blocks given back then never join the free space at
// the heap's top, which malloc would hand back to the system (and ask for again at the next take).
constexpr size_t kReserveBlocks = 32;
constexpr size_t kReserveBlockBytes = kWorkingMemory / kReserveBlocks;

enum class Reserve {
    held,  // taken, waiting for the next round that works
    handedToRound,  // given back for this round's work; taken again when the next round begins
    lacking  // could not be taken: memory is short
};

// [main-thread]
bool roundsKnown = false;
Reserve reserve = Reserve::lacking;
void* reserveBlocks[kReserveBlocks + 1] = {};  // [0]: the block kept through the rounds
long long nextReserveTryMs = 0;  // while lacking

long long nowMs() noexcept {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Frees the blocks from `first` on.
void freeReserveBlocks(size_t first) noexcept {
    for (size_t i = first; i <= kReserveBlocks; ++i) {
        std::free(reserveBlocks[i]);
        reserveBlocks[i] = nullptr;
    }
}

// Takes the reserve, all of it or none.
void takeReserve() noexcept {
    for (void*& block : reserveBlocks) {
        if (block != nullptr) continue;  // the kept one
        block = std::malloc(kReserveBlockBytes);
        // The block escapes into an empty assembly statement: no compiler may drop the allocation.
        __asm__ volatile("" : : "r"(block) : "memory");
        if (block == nullptr) {
            freeReserveBlocks(0);
            reserve = Reserve::lacking;
            nextReserveTryMs = nowMs() + kReserveRetryMilliseconds;
            return;
        }
    }
    for (void*& block : reserveBlocks)
        if (std::less<void*>()(reserveBlocks[0], block)) std::swap(reserveBlocks[0], block);
    reserve = Reserve::held;
}

}  // namespace

bool hasWorkingMemory() noexcept {
    if (!roundsKnown) return PlatformMemory_available(kWorkingMemory) != 0;
    switch (reserve) {
    case Reserve::held:
        freeReserveBlocks(1);
        reserve = Reserve::handedToRound;
        return true;
    case Reserve::handedToRound: return true;
    case Reserve::lacking: return false;
    }
    return false;
}

void dropReserve() noexcept {
    freeReserveBlocks(0);
    roundsKnown = false;
    reserve = Reserve::lacking;
    nextReserveTryMs = 0;
}

void newLoopRound() noexcept {
    roundsKnown = true;
    if (reserve == Reserve::held) return;
    if (reserve == Reserve::lacking && nowMs() < nextReserveTryMs) return;
    takeReserve();
}

}  // namespace toolkit
