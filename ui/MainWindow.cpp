#include "ui/MainWindow.h"

#include "ui/MainComponent.h"
#include "ui/TITELCOMPONENT.h"

namespace {
constexpr juce::uint32 kWindowBackground = 0xFFD3D3D3;
constexpr int kMinimiseButtonOnly = juce::DocumentWindow::minimiseButton;
}  // namespace

void SafeUpdater::handleAsyncUpdate() {
    if (!requested_.exchange(false, std::memory_order_acquire)) return;
    const bool show = shown_.load(std::memory_order_relaxed);
    window_.setVisible(show);
    if (show && window_.isMinimised()) {
        window_.setMinimised(false);
        // On X11 the toolkit's setMinimised(false) does nothing: mapping the window again is what
        // asks the window manager to bring an iconified window back.
        window_.setVisible(false);
        window_.setVisible(true);
    }
}

MainWindow::MainWindow(GuiCtrl* forInstance, bool onDesktop)
    : juce::DocumentWindow("Analyzer", juce::Colour(kWindowBackground), kMinimiseButtonOnly, onDesktop),
      instance(forInstance) {
    setTitleBarHeight(0);
    panel = new MainComponent(instance, this);
    setContentOwned(panel, true);
    centreWithSize(getWidth(), getHeight());

    titleBar = std::make_unique<TITELCOMPONENT>();
    addAndMakeVisible(*titleBar);
    titleBar->addMouseListener(this, true);
    titleBar->setTopLeftPosition(1, 1);

    setVisible(true);
}

MainWindow::~MainWindow() {
    updater.cancelPendingUpdate();
    titleBar.reset();
    clearContentComponent();
}

void MainWindow::mouseDown(const juce::MouseEvent& event) {
    if (!event.mods.isLeftButtonDown() || titleBar == nullptr || !titleBar->isCloseButton(event.eventComponent)) return;
    if (closeHandler)
        closeHandler();
    else
        setMinimised(true);
}

void MainWindow::setShown(bool show) { updater.record(show); }

void MainWindow::applyShown() { updater.handleAsyncUpdate(); }

uintptr_t MainWindow::embedInto(uintptr_t parent) {
    // On the desktop the window is top-level; with the same style flags and a parent it is made again
    // as the parent's child.
    removeFromDesktop();
    // Inside a parent the window's position is the parent's corner, not the middle of the screen.
    if (parent != 0) setTopLeftPosition(0, 0);
    addToDesktop(getDesktopWindowStyleFlags(), reinterpret_cast<void*>(parent));
    titleBar->showCloseButton(parent == 0);
    setVisible(true);
    auto* peer = getPeer();
    return peer ? reinterpret_cast<uintptr_t>(peer->getNativeHandle()) : 0;
}
