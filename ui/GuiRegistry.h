// The module-wide registry that ties each analyzer instance to its window.
//
// A GuiHolder is created right after its instance: it starts the toolkit on the calling thread if it
// does not run yet, builds the instance's MainWindow and registers itself. destroyGuiFor deletes the
// holder of an instance (compared by address only: the instance is already gone by then), and the
// destroy command stops the toolkit once guiCount() reaches 0.
//
// Threads: [main-thread] for everything here; the registry takes no lock.
#pragma once

#include <cstddef>

class GuiCtrl;
class GuiObjectCallback;
class MainWindow;

// Where a new instance's window goes: on the desktop at once (the module's windows), or nowhere yet,
// until its owner puts it inside a window of its own (a plug-in's editor, with MainWindow::embedInto):
// it is never mapped on the desktop on the way.
enum class WindowPlace { desktop, embeddedLater };

class GuiHolder {
public:
    explicit GuiHolder(GuiCtrl* instance, WindowPlace place = WindowPlace::desktop);
    ~GuiHolder();

    GuiHolder(const GuiHolder&) = delete;
    GuiHolder& operator=(const GuiHolder&) = delete;

    GuiCtrl* instance() const { return instance_; }
    MainWindow* window() const { return window_; }  // null when no display was available

private:
    GuiCtrl* const instance_;
    MainWindow* window_ = nullptr;  // owned

    // Address space that must be free to build a window. The toolkit does not survive running out of
    // memory halfway through building one, so createGuiFor takes a block of this size first (failing
    // the creation cleanly when it cannot) and frees it just before the window is built. Nothing is
    // held for the life of the window: destroying an instance frees its window, more than this.
    friend bool createGuiFor(GuiCtrl*, GuiObjectCallback**, WindowPlace);
    static constexpr size_t kWindowReserve = 1024 * 1024;
};

// Creates the holder and window of a new instance, hands the instance its window handle (a window on
// the desktop only), and stores the panel's relay for the instance's guiCallback in *panel (null when
// there is no display, so no window). Returns false, registering nothing, when memory is too short to
// build the window safely.
bool createGuiFor(GuiCtrl* instance, GuiObjectCallback** panel, WindowPlace place = WindowPlace::desktop);

// The first step of destroying an instance, while it still exists: the engine stops sending to its
// panel, and the panel stops publishing to it and drops what it had not yet shown. Its window stays
// open until destroyGuiFor, so that the engine's drawing worker can end its frame into it.
void detachGuiFrom(GuiCtrl* instance);

// The panel of the instance stops publishing to it and drops what it had not shown, as in
// detachGuiFrom, while the instance keeps its own road to the panel (a plug-in's engine talks to its
// panel through a relay of the plug-in's). Nothing when the instance has no window.
void detachPanelOf(const GuiCtrl* instance);

// The window of the instance, null when it has none.
MainWindow* guiWindowOf(const GuiCtrl* instance);

// Deletes the first holder serving the instance; nothing when there is none.
void destroyGuiFor(const GuiCtrl* instance);

// The number of registered holders.
int guiCount();

// Shuts the toolkit down when no holder is left (the last step of destroying an instance).
void stopToolkitIfUnused();
