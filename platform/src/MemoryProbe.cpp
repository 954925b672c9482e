#include "platform/MemoryProbe.h"

#include <cstdlib>

extern "C" int PlatformMemory_available(size_t bytes) noexcept {
    void* probe = std::malloc(bytes);
    // The block escapes into an empty assembly statement: no compiler may drop the pair of calls and
    // answer "yes" without asking.
    __asm__ volatile("" : : "r"(probe) : "memory");
    std::free(probe);
    return probe != nullptr;
}
