// The relay's wake-ups on Windows: a message-only window of the message thread as the doorbell (a
// ring posts one message to it: no lock, no allocation in the module or the toolkit, and the relay
// rings once per quiet spell), and the toolkit's timer for pacing.
#include "ui/RelayWake.h"

#include "common/EscapedExceptions.h"
#include "platform/FloatingPoint.h"

#include <juce_events/juce_events.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <new>

namespace {

constexpr UINT kBellMessage = WM_APP + 0x51;
const wchar_t kBellClass[] = L"QanaguiRelayBell";

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

class WindowWake : public RelayWake, private juce::Timer {
public:
    WindowWake(Callback onBell, Callback onTimer, void* context)
        : onBell_(onBell), onTimer_(onTimer), context_(context) {}
    ~WindowWake() override {
        stopTimer();
        if (bell_) DestroyWindow(bell_);
    }

    bool open() {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &WindowWake::bellProcedure;
        windowClass.hInstance = thisModule();
        windowClass.lpszClassName = kBellClass;
        RegisterClassExW(&windowClass);  // fails harmlessly when the class is registered already
        bell_ = CreateWindowExW(0, kBellClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, thisModule(), nullptr);
        if (bell_) SetWindowLongPtrW(bell_, GWLP_USERDATA, LONG_PTR(this));
        return bell_ != nullptr;
    }

    void ring() override { PostMessageW(bell_, kBellMessage, 0, 0); }
    void startTimer(int firstMilliseconds, int periodMilliseconds) override {
        periodMilliseconds_ = periodMilliseconds;
        juce::Timer::startTimer(firstMilliseconds > 0 ? firstMilliseconds : 1);
    }
    void stopTimer() override { juce::Timer::stopTimer(); }

private:
    static LRESULT CALLBACK bellProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kBellMessage) return DefWindowProcW(window, message, wParam, lParam);
        // The host's DispatchMessage called this: its floating-point mode is the host's, and nothing
        // may unwind through it.
        const FloatingPointGuard maths;
        try {
            if (auto* wake = reinterpret_cast<WindowWake*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
                wake->onBell_(wake->context_);
        } catch (...) {
            reportEscapedException("the relay's doorbell");
        }
        return 0;
    }
    // After the first tick the toolkit's timer runs on at the period.
    void timerCallback() override {
        if (getTimerInterval() != periodMilliseconds_) juce::Timer::startTimer(periodMilliseconds_);
        onTimer_(context_);
    }

    Callback onBell_, onTimer_;
    void* context_;
    HWND bell_ = nullptr;
    int periodMilliseconds_ = 1;
};

}  // namespace

std::unique_ptr<RelayWake> RelayWake::open(Callback onBell, Callback onTimer, void* context) {
    std::unique_ptr<WindowWake> wake(new (std::nothrow) WindowWake(onBell, onTimer, context));
    if (!wake || !wake->open()) return nullptr;
    return wake;
}
