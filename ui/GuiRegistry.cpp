#include "ui/GuiRegistry.h"

#include "common/EscapedExceptions.h"
#include "engine/GuiCtrl.h"
#include "platform/MemoryProbe.h"
#include "ui/MainComponent.h"
#include "ui/MainWindow.h"
#include "ui/ToolkitOnHostLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <vector>

namespace {

// Exists only while it holds holders: made by the first, deleted with the last. A library unloaded
// with no instance left holds nothing, and the holders of instances a host never destroyed stay
// reachable until the process ends; no static destructor runs after the toolkit is gone.
std::vector<GuiHolder*>* holders = nullptr;

// Throws std::bad_alloc, registering nothing, when memory runs out (the toolkit's own array would
// write through a null buffer instead).
void registerHolder(GuiHolder* holder) {
    std::unique_ptr<std::vector<GuiHolder*>> made;
    if (holders == nullptr) made = std::make_unique<std::vector<GuiHolder*>>();
    (holders ? *holders : *made).push_back(holder);
    if (made) holders = made.release();
}

void unregisterHolder(GuiHolder* holder) {
    if (holders == nullptr) return;
    const auto found = std::find(holders->begin(), holders->end(), holder);
    if (found != holders->end()) holders->erase(found);
    if (holders->empty()) {
        delete holders;
        holders = nullptr;
    }
}

}  // namespace

GuiHolder::GuiHolder(GuiCtrl* forInstance, WindowPlace place) : instance_(forInstance) {
    // Owned here until the holder is complete, so that running out of memory leaks no window.
    std::unique_ptr<MainWindow> created;
    if (toolkit::start()) {
        created.reset(new MainWindow(instance_, place == WindowPlace::desktop));
        if (place == WindowPlace::desktop) created->addToDesktop(created->getDesktopWindowStyleFlags());
    }
    registerHolder(this);
    window_ = created.release();
}

GuiHolder::~GuiHolder() {
    unregisterHolder(this);
    delete window_;
}

bool createGuiFor(GuiCtrl* instance, GuiObjectCallback** panel, WindowPlace place) {
    *panel = nullptr;
    // Only a window needs the block; without a display the instance runs without one.
    if (toolkit::canOpenWindows() && !PlatformMemory_available(GuiHolder::kWindowReserve)) return false;
    // In a host written in C the C++ runtime came with this module, and a thread's exception state is
    // allocated on its first exception. Have it allocated now, while memory is known to be there, so
    // that the bad_alloc below can always be raised. (The runtime declares the call free of side
    // effects; the volatile store keeps the compiler from dropping it.)
    void* volatile exceptionState = abi::__cxa_get_globals();
    (void)exceptionState;
    GuiHolder* holder = nullptr;
    try {
        holder = new GuiHolder(instance, place);
    } catch (const std::bad_alloc&) {
        // Only when the toolkit needed more than the reserve; what it built is gone with the holder.
        return false;
    } catch (...) {
        // A fault in the toolkit: reported, and what it built is gone with the holder too.
        reportEscapedException("building the window");
        return false;
    }
    MainWindow* window = holder->window();
    if (window == nullptr) return true;
    // Two instances have two windows of the same title: each draws into the one that is its own.
    if (auto* peer = window->getPeer())
        instance->adoptWindow(HWND(reinterpret_cast<uintptr_t>(peer->getNativeHandle())));
    *panel = &window->content();
    return true;
}

void detachGuiFrom(GuiCtrl* instance) {
    if (instance == nullptr) return;  // a free slot's empty handle: nothing to detach
    instance->attachPanel(nullptr);
    detachPanelOf(instance);
}

MainWindow* guiWindowOf(const GuiCtrl* instance) {
    if (holders == nullptr) return nullptr;
    for (GuiHolder* holder : *holders)
        if (holder->instance() == instance) return holder->window();
    return nullptr;
}

void detachPanelOf(const GuiCtrl* instance) {
    if (MainWindow* window = guiWindowOf(instance)) window->content().detachInstance();
}

void destroyGuiFor(const GuiCtrl* instance) {
    if (holders == nullptr) return;
    for (GuiHolder* holder : *holders)
        if (holder->instance() == instance) {
            delete holder;
            return;
        }
}

int guiCount() { return holders ? int(holders->size()) : 0; }

void stopToolkitIfUnused() {
    if (guiCount() == 0) toolkit::stop();
}
