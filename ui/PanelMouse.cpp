// The mouse on the panel and its display (the panel listens to the display and all its children):
//  - a left press or drag on the spectrum sets the frequency marker and shows its read-outs;
//  - right-button drags on the display change "dB Multiply" (up raises, one step per 15 pixels) and
//    "Hz Stretch" (right raises, two steps per 10 pixels), beyond a 15-pixel dead zone;
//  - a left press around "V.O.R.K." holds the display: the engine stops drawing and the display paints
//    the traces it was handed.
#include "ui/MainComponent.h"

#include "common/ControlSlots.h"

using namespace panel;

namespace {

constexpr int kDeadZone = 15;
const juce::Rectangle<int> kReadoutArea(400, 450, 800, 560);
const juce::Rectangle<int> kReleaseArea(250, 450, 820, 560);

bool inHoldToggle(const juce::MouseEvent& e) { return e.x >= 427 && e.x <= 640 && e.y >= 451 && e.y <= 519; }

}  // namespace

bool MainComponent::qualifiesForMarker(const juce::MouseEvent& e) const {
    return e.eventComponent == display.get() && button(timeFrequencyButton).getToggleState() && !markerHold &&
           !button(vibesWatchButton).getToggleState();
}

void MainComponent::setMarker(const juce::MouseEvent& e) {
    markerActive = true;
    // From now on each new level rings the relay's bell; the ones that waited unseen are taken now.
    levelsShown_.store(true, std::memory_order_release);
    applyWaitingLevels();
    publishOn(slot::kMarker, std::max(1, e.x - 2));
    showControlGroup(false);
}

void MainComponent::showControlGroup(bool shown) {
    for (ControlId id : kControlGroup) controls[id]->setVisible(shown);
}

void MainComponent::resetPeaks() {
    for (double& peak : markerPeakDb) peak = -66.6;
}

void MainComponent::toggleHold() {
    markerHold = !markerHold;
    publishOn(slot::kHold, markerHold ? 1 : 0);
    int mode = ANZEIGE_Component::kNothing;
    if (markerHold) {
        mode = display->settings().displayMode;
        if (button(timeFrequencyButton).getToggleState()) {
            mode = button(vibesWatchButton).getToggleState() ? ANZEIGE_Component::kSlantedSlices
                                                             : ANZEIGE_Component::kLines;
        } else {
            switch (comboBox(phasenBox).getSelectedId()) {
            case 1: mode = ANZEIGE_Component::kLines; break;
            case 2: mode = ANZEIGE_Component::kPairedXY; break;
            case 3: mode = ANZEIGE_Component::kSingleXY; break;
            default: break;
            }
        }
        showControlGroup(false);
    }
    changeDisplay([mode](ANZEIGE_Component::Settings& shown) { shown.displayMode = mode; });
    display->repaintHelper(false);
    repaint(kReadoutArea);
}

void MainComponent::mouseDown(const juce::MouseEvent& e) {
    const bool onDisplay = e.eventComponent == display.get();
    if (e.mods.isRightButtonDown() && onDisplay) dragOrigin = {e.x, e.y};
    if (!e.mods.isLeftButtonDown()) return;
    if (onDisplay) {
        if (qualifiesForMarker(e)) setMarker(e);
        repaint(kReadoutArea);
    }
    if (inHoldToggle(e)) toggleHold();
}

void MainComponent::mouseDrag(const juce::MouseEvent& e) {
    const bool onDisplay = e.eventComponent == display.get();
    if (e.mods.isRightButtonDown() && onDisplay && !markerHold) {
        juce::Slider& db = slider(dbMultiplySlider);
        const int dy = e.y - dragOrigin.y;
        if (dy < -kDeadZone || dy > kDeadZone) {
            const int steps = std::abs(dy) / 15;
            const int n = int(db.getValue()) + (dy < 0 ? steps : -steps);  // up raises
            db.setValue(juce::jlimit(1, 30, n), juce::sendNotificationAsync);
            dragOrigin.y = e.y;
            display->repaintHelper(true);
        }
        juce::Slider& stretch = slider(hzStretchSlider);
        const int dx = e.x - dragOrigin.x;
        if (dx < -kDeadZone || dx > kDeadZone) {
            const int steps = (std::abs(dx) / 10) * 2;
            const int n = int(stretch.getValue()) + (dx > 0 ? steps : -steps);  // right raises
            stretch.setValue(juce::jlimit(1, 100, n), juce::sendNotificationAsync);
            dragOrigin.x = e.x;
            display->repaintHelper(false);
        }
    }
    if (e.mods.isLeftButtonDown() && onDisplay) {
        if (qualifiesForMarker(e)) {
            setMarker(e);
            resetPeaks();  // while the marker moves, the peaks start again from the current levels
        }
        repaint(kReadoutArea);
    }
}

void MainComponent::mouseUp(const juce::MouseEvent&) {
    markerActive = false;
    levelsShown_.store(false, std::memory_order_release);
    resetPeaks();
    if (!markerHold) showControlGroup(true);
    repaint(kReleaseArea);
}
