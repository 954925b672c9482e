#include "engine/GuiCtrl.h"

#include "common/ControlSlots.h"
#include "common/RaceCheckerAnnotations.h"
#include "engine/WindowTables.h"

#include <cstring>

GuiCtrl::GuiCtrl(const ModuleDescriptor* descriptor, const std::atomic<int32_t>& sampleRate)
    : Effect(descriptor), moduleSampleRate(sampleRate) {
    RACE_CHECKER_ATOMIC_WORD(&link_.ownWindow);
    RACE_CHECKER_ATOMIC_WORD(&link_.analyzerWindow);
    initialise();
    workers_.setAnalysis(&GuiCtrl::analyseOnWorker, this);
}

// The worker analyses in the instance's tables: it ends before any of them goes.
GuiCtrl::~GuiCtrl() {
    workers_.stop();
    setup_.fftObject.release();
}

bool GuiCtrl::isComplete() const { return workers_.isComplete() && setup_.fftObject.isReady(); }

void GuiCtrl::initialise() {
    link_.windowShown = false;
    for (PanelValue& value : link_.panelValues) value = 0;
    prepareWindowTables();
    setup_.windowCoefficients = noWindowTable();
    for (int32_t& value : link_.lastInput) value = 0;
    link_.startupCalls = 0;
    setup_.frequencyShape = kDefaultFrequencyShape;

    copyDefaultFrequencyMaps(setup_.binMap, setup_.coarseBinMap);
    for (auto& row : capture_.history)
        for (int32_t& position : row) position = NO_LEVEL;

    capture_.previousBin = 0;
    for (bool& active : capture_.traceActive) active = false;
    capture_.idleBlockCount = 0;
    setup_.altDisplay = false;
    setup_.resetRequest = false;
    setup_.markersPublished = 0;
    setup_.lastSpectrumMode = 1;

    setup_.fftObject.initialise(1024);

    // Capture and trace rows are filled before they are read; zeros keep a trace that selects
    // nothing to fill (codes 18 and above) at a defined level.
    std::memset(capture_.captureBuffers, 0, sizeof capture_.captureBuffers);
    std::memset(capture_.traceValues, 0, sizeof capture_.traceValues);
    std::memset(capture_.inputSpectra, 0, sizeof capture_.inputSpectra);
    std::memset(setup_.settings, 0, sizeof setup_.settings);
    std::memset(capture_.heldTraces, 0, sizeof capture_.heldTraces);

    capture_.captureCount = 0;
    for (int32_t& level : capture_.markerLevels) level = 0;
    link_.panelValues[slot::kLevelFactor] = 1;
    for (int32_t& sample : capture_.lastSamples) sample = 1;
    setup_.fftSize = 1024;
    setup_.fftSizeCode = 0;
    link_.panelValues[slot::kFftSize] = 1024;
    capture_.drawingActive = false;
    setup_.lastSampleRate = 32000;
}

void GuiCtrl::sendValue(int32_t slot, int32_t value) {
    if (link_.guiCallback) link_.guiCallback->setValue(slot, value);
}
