// Whether the toolkit can do its work now. It does not survive an allocation failure halfway through
// (a posted message, a repaint region, a paint: its containers write through a null buffer when they
// cannot grow), so while memory is short the module leaves the toolkit's events and the panels'
// values waiting instead, and they are taken up once memory is back.
//
// Threads: [main-thread] (the loop's owner).
#pragma once

#include <cstddef>

namespace toolkit {

// What a round of the toolkit's work may allocate, with room to spare.
constexpr size_t kWorkingMemory = 1024 * 1024;

// True when kWorkingMemory could be allocated. Where the loop says when a round begins
// (newLoopRound), one look per round serves every caller of that round; elsewhere each call looks.
bool hasWorkingMemory() noexcept;

// A new round of the loop begins: the next hasWorkingMemory looks again.
void newLoopRound() noexcept;

}  // namespace toolkit
