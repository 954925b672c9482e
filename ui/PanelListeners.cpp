// The panel's listeners: each control change is published on the control's slot, and the display
// follows the colour, input, level-step and view controls.
#include "ui/MainComponent.h"

#include "engine/GuiCtrl.h"

using namespace panel;

void MainComponent::publishOn(int slot, int32_t value) {
    if (guiCtrl) guiCtrl->setPanelValue(slot, value);
    if (slot < 0 || slot >= 128 || notByUser[slot] == value) return;
    notByUser[slot] = value;
    if (!applyingEngineValue && onUserChange) onUserChange(slot, value);
}

void MainComponent::publish(ControlId id) {
    int32_t value = 0;
    if (currentValue(id, &value)) publishOn(controlInfo(id).slot, value);
}

bool MainComponent::currentValue(ControlId id, int32_t* published) const {
    const ControlInfo& s = controlInfo(id);
    int32_t value = 0;
    switch (s.kind) {
    case Kind::slider: value = int32_t(slider(id).getValue()); break;  // whole numbers, truncated
    case Kind::historyToggle:
    case Kind::smallToggle: value = button(id).getToggleState() ? 1 : 0; break;
    case Kind::comboBox: value = comboBox(id).getSelectedId(); break;  // 0 when nothing is selected
    }
    switch (s.published) {
    case Published::none: return false;
    case Published::value: break;
    case Published::idMinusOne: value -= 1; break;
    case Published::blockSize: value = int32_t(uint32_t(512) << value); break;
    }
    *published = value;
    return true;
}

void MainComponent::sliderValueChanged(juce::Slider* changed) {
    const ControlId id = idOf(changed);
    int trace, channel;
    if (colourChannel(id, &trace, &channel)) {
        publish(id);
        const int value = int(slider(id).getValue());
        changeDisplay([&](ANZEIGE_Component::Settings& shown) {
            int* components[3] = {shown.traceRed, shown.traceGreen, shown.traceBlue};
            components[channel][trace] = value;
        });
        // Areas that reach past the panel's edges; the toolkit clips them.
        if (trace < 2)
            repaint(70, 440, 230, 510);
        else
            repaint(850, 440, 970, 510);
    } else if (id == hzStretchSlider) {
        publish(id);
    } else if (id == dbMultiplySlider) {
        publish(id);
        changeDisplay([&](ANZEIGE_Component::Settings& shown) { shown.dbStep = int(slider(id).getValue()); });
        display->repaintHelper(true);
    }
}

void MainComponent::buttonClicked(juce::Button* clicked) {
    const ControlId id = idOf(clicked);
    const bool on = button(id).getToggleState();
    if (historyButtonTrace(id) >= 0) {
        // A trace leaving history mode keeps no dimmed frames: clear the whole display first.
        if (!on) display->repaintHelper(false);
        publish(id);
        return;
    }
    switch (id) {
    case timeFrequencyButton:
        publish(id);
        updateScaleMode();
        // The spectrum has no X-Y views.
        if (on) comboBox(phasenBox).setSelectedId(1, juce::sendNotification);
        display->repaintHelper(false);
        break;
    case absoluteValuesButton:
        publish(id);
        updateScaleMode();
        display->repaintHelper(false);
        break;
    case vibesWatchButton:
        publish(id);
        updateScaleMode();
        break;
    default: break;
    }
}

void MainComponent::comboBoxChanged(juce::ComboBox* changed) {
    const ControlId id = idOf(changed);
    const int trace = inputBoxTrace(id);
    if (trace >= 0) {
        publish(id);
        changeDisplay(
            [&](ANZEIGE_Component::Settings& shown) { shown.traceOn[trace] = comboBox(id).getSelectedId() != 1; });
        display->repaintHelper(false);
        return;
    }
    switch (id) {
    case catcherModeBox:
    case fftBlocksizeBox:
    case windowBox: publish(id); break;
    case phasenBox:
        // "Time" stays selected while the spectrum is shown.
        if (button(timeFrequencyButton).getToggleState()) comboBox(phasenBox).setSelectedId(1, juce::sendNotification);
        publish(id);
        updateScaleMode();
        break;
    default: break;
    }
}

void MainComponent::updateScaleMode() {
    const int mode =
        scaleModeFor(button(timeFrequencyButton).getToggleState(), button(absoluteValuesButton).getToggleState(),
                     button(vibesWatchButton).getToggleState(), comboBox(phasenBox).getSelectedId());
    changeDisplay([mode](ANZEIGE_Component::Settings& shown) { shown.scaleMode = mode; });
    display->repaintHelper(true);
}
