#include "platform/MemoryProbe.h"

#if defined(_WIN32)
#include <cstdlib>
#else
#include <sys/mman.h>
#endif

#if defined(_WIN32)

extern "C" int PlatformMemory_available(size_t bytes) noexcept {
    void* probe = std::malloc(bytes);
    // The block escapes into an empty assembly statement: no compiler may drop the pair of calls and
    // answer "yes" without asking.
    __asm__ volatile("" : : "r"(probe) : "memory");
    std::free(probe);
    return probe != nullptr;
}

#else

// A block of this size from malloc is a mapping of its own (above the largest mmap threshold glibc
// allows on i386, 512 KB), so asking the kernel for the mapping asks what malloc would: address space
// within the process's limit and memory the kernel's overcommit rules grant. The mapping is never
// touched, so no page of it is ever in a page table: unmapping it needs no TLB flush, where freeing a
// malloc'ed block (whose header malloc writes into its first page) made the kernel interrupt every
// core that runs the process to flush theirs.
extern "C" int PlatformMemory_available(size_t bytes) noexcept {
    if (bytes == 0) return 1;
    void* probe = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (probe == MAP_FAILED) return 0;
    munmap(probe, bytes);
    return 1;
}

#endif
