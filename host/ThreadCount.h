// The threads of this process (Linux): after a clean end of a host only its main thread is left.
//
// Threads: [any-thread].
#pragma once

#include <dirent.h>

inline int threadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}
