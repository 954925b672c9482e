#include "common/EscapedExceptions.h"

#include <atomic>
#include <cstdio>
#include <exception>

namespace {
std::atomic<long> caught{0};
}  // namespace

void reportEscapedException(const char* boundary, const char* consequence) noexcept {
    if (caught.fetch_add(1, std::memory_order_relaxed) != 0) return;
    const char* what = "an exception of unknown type";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {}
    std::fprintf(stderr, "qanagui: %s stopped an exception (%s); %s, and further exceptions are only counted\n",
                 boundary, what, consequence);
}

long escapedExceptionCount() noexcept { return caught.load(std::memory_order_relaxed); }
