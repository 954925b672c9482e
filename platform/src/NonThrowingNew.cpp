// The non-throwing forms of operator new for this shared object, linked into the platform library and
// the module; their export maps keep the definitions inside each object, so a host's own allocations
// are not affected.
//
// The C++ runtime's versions call the throwing operator new and catch its exception. Raising an
// exception needs the thread's exception state, and in a process that loaded the C++ runtime with
// this module (a C host) that state is allocated on the thread's first exception. When memory has
// run out that allocation fails too, and the C library ends the process ("cannot allocate memory for
// thread-local data", exit 127) before anything can catch it. These versions report a failed
// allocation as null and never raise an exception. Memory comes from malloc, like the runtime's
// operator new, so operator delete frees it as usual.
//
// Not under AddressSanitizer: it replaces operator new and delete itself and checks that the two
// match.
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QANAGUI_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QANAGUI_ADDRESS_SANITIZER 1
#endif

#ifndef QANAGUI_ADDRESS_SANITIZER
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
#endif
