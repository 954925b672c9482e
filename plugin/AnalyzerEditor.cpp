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
    if (!createGuiFor(&engine, &panel) || panel == nullptr) {
        destroyGuiFor(&engine);
        stopToolkitIfUnused();
        return false;
    }
    window_ = guiWindowOf(&engine);
    MainComponent& content = window_->content();
    content.slider(dbMultiplySlider).setValue(panelOnly[0], juce::sendNotificationSync);
    content.button(vibesWatchButton).setToggleState(panelOnly[1] != 0, juce::sendNotification);
    content.slider(hzStretchSlider).setValue(panelOnly[2], juce::sendNotificationSync);
    content.comboBox(phasenBox).setSelectedId(panelOnly[3] + 1, juce::sendNotificationSync);

    handle_ = window_->embedInto(parent);
    engine.drawInto(HWND(handle_));
    content.setUserChangeHandler([this](int32_t slot, int32_t value) { writeBack(slot, value); });
    instance_->attachPanel(panel);
    instance_->setEditor(this);
    return true;
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
    return 0;
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
    window_->setVisible(shown);
}

void AnalyzerEditor::windowSize(int* width, int* height) const {
    *width = window_ != nullptr ? window_->getWidth() : 0;
    *height = window_ != nullptr ? window_->getHeight() : 0;
}
