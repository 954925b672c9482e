// Values from the engine: queued on the engine's thread, applied on the message thread, at most once
// per display frame (RelayPump). Applying sets
// a control with change notification, so its listener publishes the value again on the same slot and
// the engine echoes it on the output pin; other slots set display or marker members.
#include "ui/MainComponent.h"

#include "common/ControlSlots.h"
#include "common/FullScale.h"
#include "engine/GuiCtrl.h"
#include "ui/MainWindow.h"
#include "ui/RelayPump.h"

#include <cmath>
#include <cstring>

using namespace panel;

void MainComponent::setValue(int32_t slot, int32_t value) {
    if (slot == slot::kIdleCount) {
        // It rings no bell: a count alone is not worth waking the loop for, and it goes with the next
        // pass that other values bring.
        idleCount_.leave(value);
        return;
    }
    if (slot >= slot::kFirstMarkerLevel && slot < slot::kFirstMarkerLevel + 4) {
        if (levels_[slot - slot::kFirstMarkerLevel].leave(value) && relayPump &&
            levelsShown_.load(std::memory_order_acquire))
            relayPump->valueQueued();
        return;
    }
    if (!pendingValues.send(slot, value)) return;
    // The held rows are read when the last of the four is applied; until then they stay the engine's
    // to leave alone.
    if (slot == slot::kFirstHeldTrace) heldTracesPending_.store(true, std::memory_order_relaxed);
    if (relayPump) relayPump->valueQueued();
}

// The request waits beside the values and is applied with them: the window ends in the state of
// the last request however long the message thread was away.
void MainComponent::showWindow(int32_t flag) {
    mainWindow->setShown(flag != 0);
    if (relayPump) {
        relayPump->valueQueued();
    } else {
        mainWindow->applyShownLater();
    }
}

bool MainComponent::hasPendingValues() const {
    if (pendingValues.pending() || mainWindow->showRequested()) return true;
    if (!levelsShown_.load(std::memory_order_seq_cst)) return false;
    for (const LastValueWord& level : levels_)
        if (level.waiting()) return true;
    return false;
}

int MainComponent::applyPendingValues() {
    // The lock-free ring hands over only what was queued before this pass; values queued meanwhile
    // wait for the next pass.
    int applied = pendingValues.applyPending([&](const PendingValue& entry) {
        // The last held row hands the rows back to the engine even when applying it throws: the
        // engine must be able to hold the display again.
        struct HandBack {
            std::atomic<bool>* pending;
            ~HandBack() {
                if (pending == nullptr) return;
                RACE_CHECKER_RELEASE(pending);
                pending->store(false, std::memory_order_release);
            }
        } handBack{entry.slot == slot::kFirstHeldTrace + 3 ? &heldTracesPending_ : nullptr};
        if (entry.slot < 128) applyEngineValue(entry.slot, entry.value);
    });
    // Taken before it is applied: a count whose application throws is not applied again. It does not
    // count as applied, so counts alone neither start nor prolong the relay's busy spell; nor do levels
    // that are not shown.
    int32_t value = 0;
    if (idleCount_.take(&value)) applyEngineValue(slot::kIdleCount, value);
    const int levels = applyWaitingLevels();
    if (levelsShown_.load(std::memory_order_relaxed)) applied += levels;
    if (!mainWindow->showRequested()) return applied;
    mainWindow->applyShown();
    return applied + 1;
}

int MainComponent::applyWaitingLevels() {
    int applied = 0;
    int32_t level = 0;
    for (int k = 0; k < 4; ++k) {
        if (!levels_[k].take(&level)) continue;
        ++applied;
        applyEngineValue(slot::kFirstMarkerLevel + k, level);
    }
    return applied;
}

// What a value from the engine makes the controls show is not the user's, whether the control
// publishes it at once or later.
void MainComponent::applyEngineValue(int32_t slot, int32_t value) {
    applyingEngineValue = true;
    applyValue(slot, value);
    applyingEngineValue = false;
    if (slot < 0) return;  // no control shows it (controls without a slot have -1)
    for (int id = 0; id < kControlCount; ++id)
        if (controlInfo(ControlId(id)).slot == slot) currentValue(ControlId(id), &notByUser[slot]);
}

// A value from the engine goes to the control that shows its slot, to the display, or to the marker
// read-outs; slots 5, 11, 12 and 44 on have no effect.
void MainComponent::applyValue(int32_t slot, int32_t value) {
    if (!applyToControl(slot, value) && !applyToDisplay(slot, value)) applyToMarker(slot, value);
}

bool MainComponent::applyToControl(int32_t slot, int32_t value) {
    // An id without an item leaves the box showing its nothing-selected text.
    auto selectIn = [](juce::ComboBox& box, int64_t id) {
        box.setSelectedId(id >= 1 && id <= 1000 ? int(id) : 0, juce::sendNotification);
    };
    if (slot >= slot::kFirstColour && slot < slot::kFirstColour + 12) {
        slider(ControlId(redSlider1 + slot - slot::kFirstColour)).setValue(double(value), juce::sendNotificationAsync);
    } else if (slot >= slot::kFirstSelection && slot < slot::kFirstSelection + 4) {
        selectIn(comboBox(ControlId(inputSelectBox1 + slot - slot::kFirstSelection)), value);
    } else if (slot >= slot::kFirstHistory && slot < slot::kFirstHistory + 4) {
        button(ControlId(historyButton1 + slot - slot::kFirstHistory))
            .setToggleState(value != 0, juce::sendNotification);
    } else if (slot == slot::kIdleCount) {
        // The off-panel count's listener does nothing: notify at once rather than post a message per value.
        slider(idleCountSlider).setValue(double(value), juce::sendNotificationSync);
    } else if (slot == slot::kSpectrumMode) {
        // A change repaints the display through the button's listener; the same state repaints nothing.
        button(timeFrequencyButton).setToggleState(value != 0, juce::sendNotification);
    } else if (slot == slot::kMagnitudes) {
        button(absoluteValuesButton).setToggleState(value != 0, juce::sendNotification);
    } else if (slot == slot::kFftSize) {
        selectIn(comboBox(fftBlocksizeBox), value == 2048 ? 2 : value == 4096 ? 3 : value == 8192 ? 4 : 1);
    } else if (slot == slot::kCatcher || slot == slot::kWindow) {
        selectIn(comboBox(slot == slot::kCatcher ? catcherModeBox : windowBox), int64_t(value) + 1);
    } else {
        return false;
    }
    return true;
}

// The display's frequency labels: whether they are shown, the bin width and the three positions.
// True when the value changes what the display shows.
bool MainComponent::applyToFrequencyLabels(int32_t slot, int32_t value) {
    ANZEIGE_Component::Settings shown = display->settings();
    int* const fields[] = {&shown.firstFreqLabelValue, &shown.label100HzX, &shown.label1kHzX, &shown.label10kHzX};
    if (slot == slot::kMarksValid) {
        if (shown.showFreqLabels == (value != 0)) return false;
        shown.showFreqLabels = value != 0;
    } else {
        if (*fields[slot - slot::kBinWidth] == value) return false;
        *fields[slot - slot::kBinWidth] = value;
    }
    display->setSettings(shown);
    return true;
}

bool MainComponent::applyToDisplay(int32_t slot, int32_t value) {
    if (slot::isHeldTrace(slot)) {
        // The instance's held rows, named by a token when the display is held.
        if (value == slot::kHeldRowsToken && guiCtrl != nullptr)
            display->setTraceData(slot - slot::kFirstHeldTrace, guiCtrl->heldTrace(slot - slot::kFirstHeldTrace));
    } else if (slot == slot::kMarksValid || slot == slot::kBinWidth ||
               (slot >= slot::kFirstMark && slot < slot::kFirstMark + 3)) {
        if (!applyToFrequencyLabels(slot, value)) return true;  // the labels stay as they are: nothing to repaint
    } else if (slot == slot::kRedraw) {
        // A request to paint over whatever the engine drew, wherever that was.
        repaint();
    } else {
        return false;
    }
    display->repaintHelper(false);
    return true;
}

void MainComponent::applyToMarker(int32_t slot, int32_t value) {
    if (slot == slot::kMarker) {
        markerFrequency = value / 100.0;
    } else if (slot >= slot::kFirstMarkerLevel && slot < slot::kFirstMarkerLevel + 4) {
        double& level = markerLevelDb[slot - slot::kFirstMarkerLevel];
        const double before = level;
        level = levelToDb(value);
        // The read-outs are shown only while the marker is set, in tenths of a decibel (the peak beside
        // a level follows it when painted): a level that reads the same repaints nothing.
        if (markerActive && std::trunc(level * 10.0) != std::trunc(before * 10.0)) repaint(250, 450, 800, 550);
    }
}
