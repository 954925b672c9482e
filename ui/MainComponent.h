// The control panel: the window's 1065 x 560 content. It owns the display (at 11, 41), a tooltip window
// and the 31 controls of PanelControls.h in the strip below the display.
//
// Every change of a control, by the user or by a value from the engine, is published on its control
// slot through the instance's setPanelValue; the engine echoes the exchanged slots on its output pins.
// Values from the engine arrive through GuiObjectCallback: setValue queues them in the panel's ring
// (ValueRelay.h) without locking, and the module's RelayPump has the panel apply them on the message
// thread, at most once per display frame, by setting the controls with change notification.
//
// The class is split by concern: MainComponent.cpp (construction and layout), PanelListeners.cpp
// (control changes), PanelRelay.cpp (values from the engine), PanelPaint.cpp (painting),
// PanelMouse.cpp (marker, right-button drags and the hold toggle).
//
// Threads: setValue, showWindow and heldTracesPending [audio-thread]; hasPendingValues [any-thread];
// everything else [main-thread].
#pragma once

#include "engine/GuiObjectCallback.h"
#include "ui/ANZEIGE_Component.h"
#include "ui/PanelControls.h"
#include "ui/PanelLookAndFeel.h"
#include "ui/ValueRelay.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

class GuiCtrl;
class MainWindow;
class RelayPump;

class MainComponent : public juce::Component,
                      public juce::Slider::Listener,
                      public juce::Button::Listener,
                      public juce::ComboBox::Listener,
                      public GuiObjectCallback {
public:
    MainComponent(GuiCtrl* instance, MainWindow* window);
    ~MainComponent() override;

    void paint(juce::Graphics& g) override;
    void resized() override;

    void mouseDown(const juce::MouseEvent& event) override;
    void mouseDrag(const juce::MouseEvent& event) override;
    void mouseUp(const juce::MouseEvent& event) override;

    void sliderValueChanged(juce::Slider* slider) override;
    void buttonClicked(juce::Button* button) override;
    void comboBoxChanged(juce::ComboBox* box) override;

    // GuiObjectCallback [audio-thread]
    void setValue(int32_t slot, int32_t value) override;
    void showWindow(int32_t flag) override;
    bool heldTracesPending() const override {
        const bool pending = heldTracesPending_.load(std::memory_order_acquire);
        if (!pending) RACE_CHECKER_ACQUIRE(&heldTracesPending_);
        return pending;
    }

    // The instance is about to go [main-thread]: the panel stops publishing to it, drops the values
    // it queued and leaves the module's pump. The window stays until its holder deletes it.
    void detachInstance();

    // Applies the values queued so far, in arrival order; returns how many (a waiting idle count and
    // levels that are not shown do not count). Called by the RelayPump.
    int applyPendingValues();
    // True while values or a show request wait for the next pass (a waiting idle count alone is not,
    // nor are levels while the marker is not set).
    bool hasPendingValues() const;
    // Values the engine sent that found the ring full and waited in their slot's mailbox.
    long overflowedValues() const { return pendingValues.overflowed(); }

    // Has handler told of each value the panel publishes that neither its start nor a value from the
    // engine set: the user's changes (and those made by calling the controls directly).
    void setUserChangeHandler(std::function<void(int32_t slot, int32_t value)> handler) {
        onUserChange = std::move(handler);
    }

    // A value a host holds for a slot, shown as a value from the engine is: not the user's change.
    // [main-thread]
    void showHostValue(int32_t slot, int32_t value) { applyEngineValue(slot, value); }

    // Sets the display's level scale from the view controls, then repaints the scale strip.
    void updateScaleMode();

    juce::Slider& slider(panel::ControlId id) const { return *static_cast<juce::Slider*>(controls[id].get()); }
    juce::Button& button(panel::ControlId id) const { return *static_cast<juce::Button*>(controls[id].get()); }
    juce::ComboBox& comboBox(panel::ControlId id) const { return *static_cast<juce::ComboBox*>(controls[id].get()); }

    // The text of a marker read-out: the value truncated toward zero to tenths, as "%.9g", then unit.
    static juce::String formatReadout(double value, const char* unit);

    // What the marker read-outs show: the marker's frequency, the four levels and their peaks in dB,
    // whether the marker is set and whether the display is held.
    struct MarkerReadout {
        double frequency;
        double levelDb[4];
        double peakDb[4];
        bool active;
        bool hold;
    };
    MarkerReadout markerReadout() const;

    ANZEIGE_Component& displayComponent() const { return *display; }
    juce::Component& control(panel::ControlId id) const { return *controls[id]; }

private:
    struct {
        int32_t x = 0, y = 0;
    } dragOrigin;
    double markerFrequency = 0.0;
    double markerLevelDb[4] = {};
    bool markerActive = false;
    bool markerHold = false;
    double markerPeakDb[4] = {-66.6, -66.6, -66.6, -66.6};

    PanelLookAndFeel lookAndFeel;  // declared before every child, so that it outlives them
    GuiCtrl* guiCtrl;  // null once detached
    MainWindow* mainWindow;
    ValueRelay pendingValues;
    RelayPump* relayPump = nullptr;
    // Exists only while the mouse moves over the panel: otherwise no tooltip timer polls the mouse.
    std::unique_ptr<juce::TooltipWindow> tooltipWindow;
    std::unique_ptr<ANZEIGE_Component> display;
    std::unique_ptr<juce::Component> controls[panel::kControlCount];

    // The tooltip window polls the mouse about ten times a second while it exists: it is made when
    // the mouse moves over the panel and goes when the mouse leaves it.
    struct TooltipOnFirstHover : juce::MouseListener {
        explicit TooltipOnFirstHover(MainComponent& p) : panel(p) {}
        void mouseEnter(const juce::MouseEvent&) override;
        void mouseMove(const juce::MouseEvent&) override;
        void mouseExit(const juce::MouseEvent&) override;
        MainComponent& panel;
        // The toolkit sends a move when a window opens under a resting mouse: only a move to another
        // place counts.
        juce::Point<float> lastPosition;
    };
    TooltipOnFirstHover tooltipOnFirstHover{*this};
    // Set while the panel may still read the held rows the engine handed over.
    std::atomic<bool> heldTracesPending_{false};
    // The idle count comes with every control block while the worker is busy (hundreds a frame when a
    // host feeds faster than real time), and its control is never visible and its listener does
    // nothing: only its last value waits, beside the ring, for the next pass.
    LastValueWord idleCount_;
    // The four levels at the marker come with every capture, and the panel shows them only while the
    // marker is set (the left button held on the display). Each waits as the idle count does, and
    // rings the bell only while they are shown; setting the marker takes the waiting ones at once.
    LastValueWord levels_[4];
    std::atomic<bool> levelsShown_{false};
    int applyWaitingLevels();  // how many it applied
    // What each slot shows by the panel's start or by the engine's last value on it; a value published
    // otherwise is the user's. Set while a value from the engine is applied, too.
    int32_t notByUser[128] = {};
    std::function<void(int32_t slot, int32_t value)> onUserChange;
    bool applyingEngineValue = false;

    // Changes what the display shows: change edits a copy of its settings.
    template <typename Change>
    void changeDisplay(Change change) {
        ANZEIGE_Component::Settings settings = display->settings();
        change(settings);
        display->setSettings(settings);
    }
    void createControl(panel::ControlId id);
    panel::ControlId idOf(const juce::Component* control) const;
    // What the control publishes as it stands; false for one that publishes nothing.
    bool currentValue(panel::ControlId id, int32_t* value) const;
    void publish(panel::ControlId id);
    void applyEngineValue(int32_t slot, int32_t value);
    void publishOn(int slot, int32_t value);
    void applyValue(int32_t slot, int32_t value);
    // Each true when the slot is theirs.
    bool applyToControl(int32_t slot, int32_t value);
    bool applyToDisplay(int32_t slot, int32_t value);
    bool applyToFrequencyLabels(int32_t slot, int32_t value);
    void applyToMarker(int32_t slot, int32_t value);
    void paintReadouts(juce::Graphics& g);
    bool qualifiesForMarker(const juce::MouseEvent& event) const;
    void setMarker(const juce::MouseEvent& event);
    void showControlGroup(bool shown);
    void resetPeaks();
    void toggleHold();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(MainComponent)
};
