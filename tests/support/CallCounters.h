// Calls of the C library's allocation, thread-start, lock and blocking-wait functions made on a
// thread while it counts. The functions are interposed by the test program that links CallCounters.cpp
// (and exports its symbols): every call from the program or from the libraries it loads goes through
// them first.
//
// Threads: counting on and off for the calling thread only; the totals [any-thread].
#pragma once

#include <ostream>

struct CallCounts {
    long allocations = 0;  // malloc, calloc, realloc, free, aligned allocations
    long threadStarts = 0;  // pthread_create
    long locks = 0;  // pthread_mutex_lock / trylock, rwlock and spin locks
    long blockingWaits = 0;  // condition waits, semaphore waits, joins, sleeps

    // Compared and printed whole: EXPECT_EQ(countedCalls(), CallCounts{}) says which calls were made.
    bool operator==(const CallCounts& o) const {
        return allocations == o.allocations && threadStarts == o.threadStarts && locks == o.locks &&
               blockingWaits == o.blockingWaits;
    }
    friend std::ostream& operator<<(std::ostream& out, const CallCounts& c) {
        return out << c.allocations << " allocations, " << c.threadStarts << " thread starts, " << c.locks << " locks, "
                   << c.blockingWaits << " blocking waits";
    }
};

void countCallsOnThisThread(bool on);
CallCounts countedCalls();
