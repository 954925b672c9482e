// Whether the toolkit can do its work now. It does not survive an allocation failure halfway through
// (a posted message, a repaint region, a paint: its containers write through a null buffer when they
// cannot grow; so do the X libraries it calls), so while memory is short the module leaves the
// toolkit's events and the panels' values waiting instead, and they are taken up once memory is back.
//
// Where the loop says when its rounds begin (newLoopRound: the module on the host's loop), the answer
// comes from a reserve of kWorkingMemory on the heap, without a system call: the round's first look
// gives the reserve back to malloc, so that the round's work (the toolkit's allocations and those of
// the libraries it calls, on this thread) finds that much free, and the next round takes it again
// before it polls. A round that does no toolkit work leaves the reserve alone. When the reserve
// cannot be taken again, memory is short: the answer is "no", and the reserve is asked for again at
// most every kReserveRetryMilliseconds (by the clock, not per round). In a steady state the blocks
// come back from malloc's free lists, so that a round costs no system call.
//
// Elsewhere (no rounds: the plug-in's editor, Windows) each look asks the system for kWorkingMemory.
//
// Threads: [main-thread] (the loop's owner).
#pragma once

#include <cstddef>

namespace toolkit {

// What a round of the toolkit's work may allocate, with room to spare.
constexpr size_t kWorkingMemory = 1024 * 1024;

// How often the reserve is asked for again while memory is short.
constexpr long kReserveRetryMilliseconds = 100;

// True when kWorkingMemory can be had for the work at hand.
bool hasWorkingMemory() noexcept;

// A new round of the loop begins (before it polls): the reserve is taken again.
void newLoopRound() noexcept;

// The loop's rounds end (the toolkit stops): the reserve goes back to the system, and each look asks
// the system again until rounds begin anew.
void dropReserve() noexcept;

}  // namespace toolkit
