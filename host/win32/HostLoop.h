// What a Windows host does on its main thread between blocks: run the thread's message loop, which
// carries the analyzer windows' events and repaints, and count its process's threads (a clean end
// leaves none of the module's behind). Shared by analyzer-host.exe and the Windows tests, which act
// as a host too.
//
// Threads: [main-thread] (the thread that created the first instance) for runMessagesFor; any thread
// for processThreadCount.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

// Dispatches every waiting message, then waits up to milliseconds for more.
inline void runMessagesFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
    }
}

// The threads of this process, or -1 when the system cannot list them.
inline int processThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}
