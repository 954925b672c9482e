// The plug-in's editor: the instance's "Analyzer" window, put inside the host's window (or on the
// desktop when the host gives none), its panel attached to the instance's relay, and every change
// the user makes on a control that a port carries written back to that port, so that the host's
// automation, presets and sessions follow.
//
// The toolkit runs on the host's UI thread and is pumped from idle(); the engine's worker draws into
// the window as it does in the module. Without a host's window the editor has a window of its own,
// whose "X" closes the editor (idle() then says so); the host's show() and hide() always decide.
//
// Threads: everything [main-thread] (the host's UI thread).
#pragma once

#include "plugin/AnalyzerPlugin.h"

#include <cstdint>

class MainWindow;

class AnalyzerEditor final : public EditorLink {
public:
    using WriteToPort = void (*)(void* controller, uint32_t port, float value);

    // Null when the instance has an editor already, or no window could be made.
    static AnalyzerEditor* open(AnalyzerPlugin* instance, uintptr_t parent, WriteToPort write, void* controller);
    ~AnalyzerEditor();

    // The native handle of the window (an X window id).
    uintptr_t windowHandle() const { return handle_; }
    // The window's size in pixels (fixed).
    void windowSize(int* width, int* height) const;

    // One round of the toolkit's work (in which the user's changes are written back); nonzero once
    // the instance is gone and the editor shows nothing any more, or the user closed its own window.
    int idle();
    void setShown(bool shown);
    // The host's value of a port (its port_event): a control input's value shows on the panel.
    void portChanged(uint32_t port, float value);

    void instanceGone() override;
    void panelOnlySettingsRestored() override;

private:
    AnalyzerEditor(AnalyzerPlugin* instance, WriteToPort write, void* controller);
    bool build(uintptr_t parent);
    void showPanelOnlySettings();
    void close();
    void writeBack(int32_t slot, int32_t value);

    AnalyzerPlugin* instance_;
    WriteToPort write_;
    void* controller_;
    MainWindow* window_ = nullptr;
    uintptr_t handle_ = 0;
    bool closedByUser_ = false;
};
