#include "plugin/AnalyzerEditor.h"

#include "common/ControlSlots.h"
#include "platform/FloatingPoint.h"
#include "platform/MessageLoop.h"
#include "ui/GuiRegistry.h"
#include "ui/MainComponent.h"
#include "ui/MainWindow.h"

#include <new>

using namespace panel;

AnalyzerEditor::AnalyzerEditor(AnalyzerPlugin* instance, WriteToPort write, void* controller)
    : instance_(instance), write_(write), controller_(controller) {}

AnalyzerEditor* AnalyzerEditor::open(AnalyzerPlugin* instance, uintptr_t parent, WriteToPort write, void* controller) {
    if (instance == nullptr || instance->editor() != nullptr) return nullptr;
    const FloatingPointGuard maths;
    auto* editor = new (std::nothrow) AnalyzerEditor(instance, write, controller);
    if (editor == nullptr) return nullptr;
    if (!editor->build(parent)) {
        delete editor;
        return nullptr;
    }
    return editor;
}

bool AnalyzerEditor::build(uintptr_t parent) {
    GuiCtrl& engine = instance_->engine();
    // The new panel publishes its own defaults: the settings only the panel makes are taken first.
    int32_t panelOnly[4];
    for (int i = 0; i < 4; ++i) panelOnly[i] = instance_->panelOnlySetting(AnalyzerPlugin::kPanelOnlySlots[i]);
    GuiObjectCallback* panel = nullptr;
    if (!createGuiFor(&engine, &panel, WindowPlace::embeddedLater) || panel == nullptr) {
        destroyGuiFor(&engine);
        stopToolkitIfUnused();
        return false;
    }
    window_ = guiWindowOf(&engine);
    for (int i = 0; i < 4; ++i) engine.setPanelValue(AnalyzerPlugin::kPanelOnlySlots[i], panelOnly[i]);
    showPanelOnlySettings();

    handle_ = window_->embedInto(parent);
    if (parent == 0)
        window_->setCloseHandler([this] {
            closedByUser_ = true;
            window_->setVisible(false);
        });
    engine.drawInto(HWND(handle_));
    window_->content().setUserChangeHandler([this](int32_t slot, int32_t value) { writeBack(slot, value); });
    instance_->attachPanel(panel);
    instance_->setEditor(this);
    return true;
}

// The panel's controls show the instance's panel-only settings (and publish them, as the user's
// would be).
void AnalyzerEditor::showPanelOnlySettings() {
    int32_t value[4];
    for (int i = 0; i < 4; ++i) value[i] = instance_->panelOnlySetting(AnalyzerPlugin::kPanelOnlySlots[i]);
    MainComponent& content = window_->content();
    content.slider(dbMultiplySlider).setValue(value[0], juce::sendNotificationSync);
    content.button(vibesWatchButton).setToggleState(value[1] != 0, juce::sendNotification);
    content.slider(hzStretchSlider).setValue(value[2], juce::sendNotificationSync);
    content.comboBox(phasenBox).setSelectedId(value[3] + 1, juce::sendNotificationSync);
}

void AnalyzerEditor::panelOnlySettingsRestored() {
    if (instance_ == nullptr || window_ == nullptr) return;
    const FloatingPointGuard maths;
    showPanelOnlySettings();
}

AnalyzerEditor::~AnalyzerEditor() { close(); }

void AnalyzerEditor::close() {
    if (instance_ == nullptr) return;
    GuiCtrl& engine = instance_->engine();
    instance_->detachPanel();
    instance_->setEditor(nullptr);
    // No frame may be drawn into the window once it is gone (its X id may be reused).
    engine.drawInto(0);
    engine.workers().waitUntilIdle();
    detachPanelOf(&engine);
    destroyGuiFor(&engine);
    stopToolkitIfUnused();
    instance_ = nullptr;
    window_ = nullptr;
}

void AnalyzerEditor::instanceGone() { close(); }

int AnalyzerEditor::idle() {
    if (instance_ == nullptr) return 1;
    const FloatingPointGuard maths;
    PlatformLoop_pump(PlatformLoop_shared(), 0);
    return closedByUser_ ? 1 : 0;
}

// A change the user makes on a control that a port carries: the port follows, unless it carries
// that value already.
void AnalyzerEditor::writeBack(int32_t slot, int32_t value) {
    if (instance_ == nullptr || write_ == nullptr) return;
    for (int p = 0; p < lv2port::portCount(); ++p) {
        const lv2port::Port& port = lv2port::port(p);
        if (port.kind == lv2port::Kind::controlIn && port.pin == slot &&
            value != lv2port::publishedValue(port, instance_->portValue(p)))
            write_(controller_, uint32_t(p), float(value));
    }
}

void AnalyzerEditor::setShown(bool shown) {
    if (window_ == nullptr) return;
    const FloatingPointGuard maths;
    closedByUser_ = false;
    window_->setVisible(shown);
}

// A control input's value from the host reaches the panel as the engine's own values do: shown, not
// taken for the user's, so nothing is written back.
void AnalyzerEditor::portChanged(uint32_t index, float value) {
    if (instance_ == nullptr || window_ == nullptr || index >= uint32_t(lv2port::portCount())) return;
    const lv2port::Port& port = lv2port::port(int(index));
    if (port.kind != lv2port::Kind::controlIn) return;
    const FloatingPointGuard maths;
    instance_->notePortValue(int(index), AnalyzerPlugin::pinValue(value));
    window_->content().showHostValue(port.pin, AnalyzerPlugin::pinValue(value));
}

void AnalyzerEditor::windowSize(int* width, int* height) const {
    *width = window_ != nullptr ? window_->getWidth() : 0;
    *height = window_ != nullptr ? window_->getHeight() : 0;
}
