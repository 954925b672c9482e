#include "ui/MainComponent.h"

#include "engine/GuiCtrl.h"
#include "resources/EmbeddedImages.h"
#include "ui/RelayPump.h"

using namespace panel;

namespace {

// Decoded for each window (a few small images): the toolkit's image cache would share them, but it
// keeps a 2 s timer running for as long as any of its images is in use, waking an idle process.
juce::Image imageOf(const images::EmbeddedImage& image) {
    return juce::ImageFileFormat::loadFrom(image.data, size_t(image.size));
}

void setImages(juce::ImageButton& button, const juce::Image& off, const juce::Image& on) {
    const juce::Colour clear(0x00000000);
    button.setImages(false, true, true, off, 1.0f, clear, juce::Image(), 1.0f, clear, on, 1.0f, clear, 0.0f);
}

}  // namespace

MainComponent::MainComponent(GuiCtrl* instance, MainWindow* window) : guiCtrl(instance), mainWindow(window) {
    setLookAndFeel(&lookAndFeel);
    for (int id = 0; id < kControlCount; ++id) createControl(ControlId(id));

    // Its paint starts by filling the whole panel: the window's background need not be painted under it.
    setOpaque(true);
    setSize(1065, 560);
    addMouseListener(&tooltipOnFirstHover, true);
    RACE_CHECKER_ATOMIC_WORD(&heldTracesPending_);
    RACE_CHECKER_ATOMIC_WORD(&levelsShown_);
    relayPump = RelayPump::attach(this);

    display = std::make_unique<ANZEIGE_Component>();
    addAndMakeVisible(display.get());
    display->setVisible(true);
    display->addMouseListener(this, true);
    display->setTopLeftPosition(11, 41);
    changeDisplay([](ANZEIGE_Component::Settings& shown) {
        for (int k = 0; k < 4; ++k) {
            shown.traceRed[k] = int(controlInfo(ControlId(redSlider1 + 3 * k)).initialValue);
            shown.traceGreen[k] = int(controlInfo(ControlId(greenSlider1 + 3 * k)).initialValue);
            shown.traceBlue[k] = int(controlInfo(ControlId(blueSlider1 + 3 * k)).initialValue);
        }
    });
    markerHold = false;
    markerActive = false;
    for (double& peak : markerPeakDb) peak = -66.6;
    // The controls' first values are the panel's own.
    for (int id = 0; id < kControlCount; ++id) {
        const int slot = controlInfo(ControlId(id)).slot;
        if (slot >= 0 && slot < 128) currentValue(ControlId(id), &notByUser[slot]);
    }
}

MainComponent::MarkerReadout MainComponent::markerReadout() const {
    MarkerReadout readout{markerFrequency, {}, {}, markerActive, markerHold};
    for (int k = 0; k < 4; ++k) {
        readout.levelDb[k] = markerLevelDb[k];
        readout.peakDb[k] = markerPeakDb[k];
    }
    return readout;
}

void MainComponent::detachInstance() {
    guiCtrl = nullptr;
    pendingValues.applyPending([](const PendingValue&) {});
    RelayPump::detach(this);
    relayPump = nullptr;
}

MainComponent::~MainComponent() {
    // Values still queued are dropped with the ring (detaching twice is harmless).
    RelayPump::detach(this);
    removeMouseListener(&tooltipOnFirstHover);
    for (auto& control : controls) control.reset();
    display.reset();
    tooltipWindow.reset();
    setLookAndFeel(nullptr);
}

void MainComponent::TooltipOnFirstHover::mouseEnter(const juce::MouseEvent& event) {
    lastPosition = event.getScreenPosition().toFloat();
}

void MainComponent::TooltipOnFirstHover::mouseMove(const juce::MouseEvent& event) {
    const juce::Point<float> position = event.getScreenPosition().toFloat();
    if (position == lastPosition) return;
    lastPosition = position;
    if (!panel.tooltipWindow) panel.tooltipWindow = std::make_unique<juce::TooltipWindow>(nullptr, 700);
}

void MainComponent::TooltipOnFirstHover::mouseExit(const juce::MouseEvent&) {
    // Moving from one control to another leaves one and enters the next: only leaving the panel counts.
    if (!panel.isMouseOver(true)) panel.tooltipWindow.reset();
}

void MainComponent::createControl(ControlId id) {
    const ControlInfo& s = controlInfo(id);
    switch (s.kind) {
    case Kind::slider: {
        auto* slider = new juce::Slider("new slider");
        controls[id].reset(slider);
        addAndMakeVisible(slider);
        slider->setRange(s.minimum, s.maximum, 1.0);
        slider->setSliderStyle(juce::Slider::LinearBar);
        slider->setTextBoxStyle(juce::Slider::TextBoxLeft, false, 80, 20);
        slider->setColour(juce::Slider::thumbColourId, juce::Colour(s.thumbColour));
        slider->setColour(juce::Slider::textBoxTextColourId, juce::Colour(0xFFFFFFFF));
        // Delivered by the loop after construction: the start-up publication.
        slider->setValue(s.initialValue, juce::sendNotificationAsync);
        if (s.tooltip) slider->setTooltip(s.tooltip);
        slider->addListener(this);
        break;
    }
    case Kind::historyToggle:
    case Kind::smallToggle: {
        auto* button = new juce::ImageButton("new button");
        controls[id].reset(button);
        addAndMakeVisible(button);
        button->setClickingTogglesState(true);
        button->addListener(this);
        button->setTooltip(s.tooltip);
        if (s.kind == Kind::historyToggle)
            setImages(*button, imageOf(images::historyOff), imageOf(images::historyOn));
        else
            setImages(*button, imageOf(images::toggleOff), imageOf(images::toggleOn));
        break;
    }
    case Kind::comboBox: {
        auto* box = new juce::ComboBox("new combo box");
        controls[id].reset(box);
        addAndMakeVisible(box);
        box->setTooltip(s.tooltip);
        box->setEditableText(false);
        box->setJustificationType(juce::Justification::centred);
        box->setTextWhenNothingSelected(s.emptyText);
        box->setTextWhenNoChoicesAvailable("(no choices)");
        for (int i = 0; i < s.itemCount; ++i) box->addItem(s.items[i].text, s.items[i].id);
        box->addListener(this);
        box->setColour(juce::ComboBox::backgroundColourId, juce::Colour(0xFF000000));
        box->setColour(juce::ComboBox::textColourId, juce::Colour(0xFFFFFFFF));
        box->setColour(juce::ComboBox::outlineColourId, juce::Colour(0xFF808080));
        box->setColour(juce::ComboBox::buttonColourId, juce::Colour(0xFF555555));
        box->setColour(juce::ComboBox::arrowColourId, juce::Colour(0xFF008000));
        box->setSelectedId(1, juce::sendNotification);  // delivered asynchronously
        break;
    }
    }
}

void MainComponent::resized() {
    for (int id = 0; id < kControlCount; ++id) {
        const Bounds& b = controlInfo(ControlId(id)).bounds;
        controls[id]->setBounds(b.x, b.y, b.width, b.height);
    }
}

ControlId MainComponent::idOf(const juce::Component* control) const {
    for (int id = 0; id < kControlCount; ++id)
        if (controls[id].get() == control) return ControlId(id);
    return kControlCount;
}
