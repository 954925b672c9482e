#include "engine/GuiCtrl.h"

#include "engine/TraceWorkers.h"
#include "module/ModuleDescriptor.h"

#include <cstring>
#include <new>

GuiCtrl::GuiCtrl() : Effect(&moduleDescriptor()) { initialise(); }

GuiCtrl::~GuiCtrl() {
    // Workers may still be drawing from the jobs: let them finish before the jobs go.
    joinTraceWorkers(*this);
    for (TraceJob*& job : traceJobs) {
        delete job;
        job = nullptr;
    }
    fftObject.release();
}

bool GuiCtrl::isComplete() const {
    for (const TraceJob* job : traceJobs)
        if (job == nullptr) return false;
    return fftObject.isReady();
}

void GuiCtrl::initialise() {
    windowShown = false;
    for (PanelValue& value : panelValues) value = 0;
    for (double& c : windowCoefficients) c = 0.0;
    for (int32_t& value : lastInput) value = 0;
    startupCalls = 0;
    frequencyShape = 21.0;

    buildFrequencyMaps(frequencyShape, binMap, coarseBinMap);
    for (auto& row : history)
        for (int32_t& position : row) position = NO_LEVEL;

    previousBin = 0;
    for (bool& active : traceActive) active = false;
    idleBlockCount = 0;
    for (auto& idle : jobIdle) idle.store(true, std::memory_order_relaxed);
    for (TraceJob*& job : traceJobs) job = new (std::nothrow) TraceJob();
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

    captureCount = 0;
    for (int32_t& level : markerLevels) level = 0;
    panelValues[11] = 1;
    for (int32_t& sample : lastSamples) sample = 1;
    fftSize = 1024;
    fftSizeCode = 0;
    panelValues[4] = 1024;
    drawingActive = false;
    lastSampleRate = 32000;
}

void GuiCtrl::sendValue(int32_t slot, int32_t value) {
    if (guiCallback) guiCallback->setValue(slot, value);
}
