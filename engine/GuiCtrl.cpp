#include "engine/GuiCtrl.h"

#include "engine/ControlSlots.h"

#include <cstring>

GuiCtrl::GuiCtrl(const ModuleDescriptor* descriptor, const std::atomic<int32_t>& sampleRate)
    : Effect(descriptor), moduleSampleRate(sampleRate) {
    initialise();
}

// The workers end with their TraceWorkers member; they read only their own jobs.
GuiCtrl::~GuiCtrl() { fftObject.release(); }

bool GuiCtrl::isComplete() const { return workers.isComplete() && fftObject.isReady(); }

void GuiCtrl::initialise() {
    windowShown = false;
    for (PanelValue& value : panelValues) value = 0;
    for (double& c : windowCoefficients) c = 0.0;
    for (int32_t& value : lastInput) value = 0;
    startupCalls = 0;
    frequencyShape = kDefaultFrequencyShape;

    copyDefaultFrequencyMaps(binMap, coarseBinMap);
    for (auto& row : history)
        for (int32_t& position : row) position = NO_LEVEL;

    previousBin = 0;
    for (bool& active : traceActive) active = false;
    idleBlockCount = 0;
    altDisplay = false;
    resetRequest = false;
    markersPublished = 0;
    lastSpectrumMode = 1;

    fftObject.initialise(1024);

    // Capture and trace rows are filled before they are read; zeros keep a trace that selects
    // nothing to fill (codes 18 and above) at a defined level.
    std::memset(captureBuffers, 0, sizeof captureBuffers);
    std::memset(traceValues, 0, sizeof traceValues);
    std::memset(inputSpectra, 0, sizeof inputSpectra);
    std::memset(settings, 0, sizeof settings);
    std::memset(heldTraces, 0, sizeof heldTraces);

    captureCount = 0;
    for (int32_t& level : markerLevels) level = 0;
    panelValues[slot::kLevelFactor] = 1;
    for (int32_t& sample : lastSamples) sample = 1;
    fftSize = 1024;
    fftSizeCode = 0;
    panelValues[slot::kFftSize] = 1024;
    drawingActive = false;
    lastSampleRate = 32000;
}

void GuiCtrl::sendValue(int32_t slot, int32_t value) {
    if (guiCallback) guiCallback->setValue(slot, value);
}
