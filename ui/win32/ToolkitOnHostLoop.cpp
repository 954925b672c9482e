// The toolkit on Windows: JUCE's Windows back end needs no bridge to the host's loop. Starting it on
// the thread that creates the first instance makes that thread the message thread; JUCE's hidden
// message window and the analyzer windows belong to it, so the host's ordinary Win32 message loop
// (GetMessage or PeekMessage, then DispatchMessage) on that thread delivers window events, repaints,
// timers and asynchronous updates. The host's DispatchMessage is a boundary no exception may cross:
// the toolkit stops them where it is entered (its window procedure, paints, timers and posted
// messages) and hands them to the module's report.
#include "ui/ToolkitOnHostLoop.h"

#include "common/EscapedExceptions.h"

#include <juce_gui_basics/juce_gui_basics.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace toolkit {
namespace {

bool running = false;

// The DLL that holds this code: the toolkit registers its window classes under it, not under the
// host's program.
HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

}  // namespace

bool start() {
    if (running) return true;
    juce::unhandledExceptionWithoutApplication = [](const char* where) { reportEscapedException(where); };
    juce::Process::setCurrentModuleInstanceHandle(thisModule());
    juce::initialiseJuce_GUI();
    running = true;
    return true;
}

bool canOpenWindows() { return true; }

void stop() {
    if (!running) return;
    running = false;
    juce::shutdownJuce_GUI();
}

}  // namespace toolkit
