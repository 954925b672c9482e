#include "tests/support/CallCounters.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <time.h>

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);
}

namespace {

thread_local bool counting = false;
std::atomic<long> allocations{0}, threadStarts{0}, locks{0}, blockingWaits{0};

void count(std::atomic<long>& counter) {
    if (counting) counter.fetch_add(1, std::memory_order_relaxed);
}

// The next definition of a function after this program's, looked up once.
template <typename Function>
Function next(Function& cache, const char* name) {
    if (!cache) cache = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    return cache;
}

}  // namespace

void countCallsOnThisThread(bool on) { counting = on; }

CallCounts countedCalls() {
    return CallCounts{allocations.load(), threadStarts.load(), locks.load(), blockingWaits.load()};
}

// The project builds with hidden visibility: the interposers must be visible to the libraries.
#define INTERPOSED __attribute__((visibility("default")))

extern "C" {

INTERPOSED void* malloc(size_t size) {
    count(allocations);
    return __libc_malloc(size);
}
INTERPOSED void* calloc(size_t n, size_t size) {
    count(allocations);
    return __libc_calloc(n, size);
}
INTERPOSED void* realloc(void* p, size_t size) {
    count(allocations);
    return __libc_realloc(p, size);
}
INTERPOSED void free(void* p) {
    if (p) count(allocations);
    __libc_free(p);
}
INTERPOSED void* memalign(size_t alignment, size_t size) {
    count(allocations);
    return __libc_memalign(alignment, size);
}
INTERPOSED void* aligned_alloc(size_t alignment, size_t size) {
    count(allocations);
    return __libc_memalign(alignment, size);
}
INTERPOSED int posix_memalign(void** out, size_t alignment, size_t size) {
    count(allocations);
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : 12;
}

// Each forwarder finds the C library's function once, before main, so that no lookup (which may
// allocate or lock) happens while a thread counts.
#define FORWARD(result, name, params, args, counter)                                                                   \
    static result(*real_##name) params = nullptr;                                                                      \
    __attribute__((constructor)) static void find_##name() { next(real_##name, #name); }                               \
    INTERPOSED result name params {                                                                                    \
        count(counter);                                                                                                \
        return next(real_##name, #name) args;                                                                          \
    }

FORWARD(int, pthread_create, (pthread_t * t, const pthread_attr_t* a, void* (*f)(void*), void* p), (t, a, f, p),
        threadStarts)
FORWARD(int, pthread_mutex_lock, (pthread_mutex_t * m), (m), locks)
FORWARD(int, pthread_mutex_trylock, (pthread_mutex_t * m), (m), locks)
FORWARD(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t), (m, t), locks)
FORWARD(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l), locks)
FORWARD(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l), locks)
FORWARD(int, pthread_spin_lock, (pthread_spinlock_t * l), (l), locks)
FORWARD(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m), blockingWaits)
FORWARD(int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t), (c, m, t),
        blockingWaits)
FORWARD(int, pthread_join, (pthread_t t, void** r), (t, r), blockingWaits)
FORWARD(int, sem_wait, (sem_t * s), (s), blockingWaits)
FORWARD(int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t), blockingWaits)
FORWARD(int, nanosleep, (const struct timespec* t, struct timespec* r), (t, r), blockingWaits)
FORWARD(int, clock_nanosleep, (clockid_t c, int f, const struct timespec* t, struct timespec* r), (c, f, t, r),
        blockingWaits)
FORWARD(int, usleep, (useconds_t u), (u), blockingWaits)

}  // extern "C"
