// The non-throwing forms of operator new for this shared object, linked into the platform library and
// the module; their export maps keep the definitions inside each object, so a host's own allocations
// are not affected.
//
// The C++ runtime's versions call the throwing operator new and catch its exception. Raising an
// exception needs the thread's exception state, and in a process that loaded the C++ runtime with
// this module (a C host) that state is allocated on the thread's first exception. When memory has
// run out that allocation fails too, and the C library ends the process ("cannot allocate memory for
// thread-local data", exit 127) before anything can catch it. These versions report a failed
// allocation as null and never raise an exception.
//
// Memory comes from malloc, as the runtime's operator new takes it, so that the runtime's operator
// delete frees it. The operator delete that frees it is the process's, though: when the host puts
// its own operator new and delete in place (an allocator of its own, a sanitizer), or has installed a
// new-handler, allocation goes through the process's operator new as the runtime's version would.
//
// Not under AddressSanitizer: it replaces operator new and delete itself and checks that the two
// match.
#include <dlfcn.h>

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
namespace {

// The shared object that defines the function or object at `address`; null when unknown.
const void* objectOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

// Whether the process's operator new and every operator delete that may free our memory are the C++
// runtime's own (the object that defines std::nothrow). Worked out once.
bool runtimeAllocatorInUse() {
    static const bool inUse = [] {
        const void* runtime = objectOf(&std::nothrow);
        void* (*newSingle)(std::size_t) = &::operator new;
        void* (*newArray)(std::size_t) = &::operator new[];
        void (*deleteSingle)(void*) noexcept = &::operator delete;
        void (*deleteArray)(void*) noexcept = &::operator delete[];
        void (*deleteSized)(void*, std::size_t) noexcept = &::operator delete;
        void (*deleteArraySized)(void*, std::size_t) noexcept = &::operator delete[];
        void (*deleteNothrow)(void*, const std::nothrow_t&) noexcept = &::operator delete;
        const void* functions[] = {
            reinterpret_cast<const void*>(newSingle),    reinterpret_cast<const void*>(newArray),
            reinterpret_cast<const void*>(deleteSingle), reinterpret_cast<const void*>(deleteArray),
            reinterpret_cast<const void*>(deleteSized),  reinterpret_cast<const void*>(deleteArraySized),
            reinterpret_cast<const void*>(deleteNothrow)};
        if (runtime == nullptr) return false;
        for (const void* function : functions)
            if (objectOf(function) != runtime) return false;
        return true;
    }();
    return inUse;
}

template <void* (*processNew)(std::size_t)>
void* allocate(std::size_t size) noexcept {
    if (runtimeAllocatorInUse() && std::get_new_handler() == nullptr) return std::malloc(size != 0 ? size : 1);
    try {
        return processNew(size);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate < &::operator new>(size); }

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate < &::operator new[]>(size); }
#endif
