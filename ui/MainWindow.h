// The analyzer's top-level window, titled "Analyzer": no platform frame, a 1-pixel border around the
// 1065 x 560 panel, the title bar over the panel's top 30 rows, centred on the main monitor.
//
// SafeUpdater carries show and hide requests from the engine's thread to the window: setShown only
// records the flag, and the window follows the last recorded flag on the message thread, when the
// panel's relay pump next applies its values (applyShown). Recording neither locks, allocates nor
// makes a system call; the pump is woken by the doorbell the panel rings for its values.
//
// Threads: setShown and showRequested [audio-thread] or any thread; everything else [main-thread].
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class GuiCtrl;
class MainComponent;
class TITELCOMPONENT;

class SafeUpdater : public juce::AsyncUpdater {
public:
    explicit SafeUpdater(juce::DocumentWindow& window) : window_(window) {}
    ~SafeUpdater() override { cancelPendingUpdate(); }
    // Records a show or hide request [any-thread].
    void record(bool shown) {
        shown_.store(shown, std::memory_order_relaxed);
        requested_.store(true, std::memory_order_release);
    }
    // True while a request was recorded that the window has not followed yet [any-thread].
    bool requested() const { return requested_.load(std::memory_order_acquire); }
    // The window follows the last request recorded, if any came since the last call.
    void handleAsyncUpdate() override;

private:
    juce::DocumentWindow& window_;
    std::atomic<bool> shown_{true};
    std::atomic<bool> requested_{false};
};

class MainWindow : public juce::DocumentWindow {
public:
    // On the desktop at once, or (onDesktop false) nowhere until embedInto places it.
    MainWindow(GuiCtrl* instance, bool onDesktop);
    ~MainWindow() override;

    // Left press on the title bar's invisible close button: minimise, or, with a close handler set,
    // call that instead. Nothing else.
    void mouseDown(const juce::MouseEvent& event) override;
    // What the close button does instead of minimising (an editor in a window of its own closes).
    void setCloseHandler(std::function<void()> handler) { closeHandler = std::move(handler); }
    // A platform close request (window manager, keyboard shortcut) is ignored: the window stays.
    void closeButtonPressed() override {}
    // Records a show (1) or hide (0) request; the window follows the last one in applyShown.
    void setShown(bool show);
    bool showRequested() const { return updater.requested(); }
    // Shows or hides the window as the last request asked, if one came since the last call.
    void applyShown();
    // Where no relay pump runs: has the toolkit call applyShown (it locks and posts a message).
    void applyShownLater() { updater.triggerAsyncUpdate(); }

    // The panel: the window's content component.
    MainComponent& content() const { return *panel; }

    // Puts the window inside a host's window (a plug-in's editor), without the "X" that minimises, or
    // back on the desktop with it (parent 0). Returns the window's native handle afterwards.
    uintptr_t embedInto(uintptr_t parent);

private:
    std::unique_ptr<TITELCOMPONENT> titleBar;
    MainComponent* panel = nullptr;  // owned through the window's content slot
    SafeUpdater updater{*this};
    GuiCtrl* instance;
    std::function<void()> closeHandler;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainWindow)
};
