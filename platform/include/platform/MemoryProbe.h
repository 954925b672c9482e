// Whether a block of memory can be had at this moment: the module asks before work that does not
// survive running out halfway (the toolkit's event dispatch, its paints, building a window).
//
// Threads: [any-thread].
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Nonzero when bytes could be allocated now. The block is asked for and given back at once (on Linux a
// mapping that is never touched, whose return costs the other cores nothing): the answer holds for
// this moment only.
#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((visibility("default")))
#endif
int PlatformMemory_available(size_t bytes)
#ifdef __cplusplus
    noexcept
#endif
    ;

#ifdef __cplusplus
}
#endif
