// Turning one complete capture into display positions: the time traces, or the windowed spectra
// mapped onto the display columns through the bent frequency scale, with the level at the marker.
//
// Threads: [worker], between the hand-over of a capture and the end of its frame; the audio thread
// leaves everything read and written here alone meanwhile. Every setting is read from the analysis's
// snapshot (settings), never from the live panel values.
#include "engine/GuiCtrl.h"

#include "common/ControlSlots.h"
#include "engine/LaneFft.h"
#include "engine/NumericHelpers.h"
#include "engine/TraceSelection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kTimeColumns = 1024;
constexpr int kHalfRow = 512;
constexpr int kBottomRow = 400;

// Windows with a formula; any other code leaves the capture unweighted.
bool windowApplies(int32_t code) { return code >= 1 && code <= 11 && code != 4; }

// Which inputs the traces' selections need.
void inputsNeeded(const int32_t* settings, bool (&needed)[kTraces]) {
    for (bool& n : needed) n = false;
    for (int k = 0; k < kTraces; ++k) {
        const TraceSelection selection = selectionFor(settings[slot::kFirstSelection + k]);
        if (selection.combination == Combination::None) continue;
        needed[selection.first] = true;
        if (selection.combination != Combination::Single) needed[selection.second] = true;
    }
}

// The first size samples of a capture, weighted by the window coefficients (null: unweighted), to every
// stride-th double of out.
void weightCapture(const int32_t* capture, const double* window, int32_t size, double* out, int stride) {
    if (window) {
        for (int i = 0; i < size; ++i) out[i * stride] = capture[i] * window[i];
    } else {
        for (int i = 0; i < size; ++i) out[i * stride] = capture[i];
    }
}

// The first size samples of blocks captures, weighted as weightCapture weights them, into a group of
// lanes (block l's sample i at group[i * kLanes + l]), the group's values in the order they lie in.
template <int kLanes>
inline void weightIntoLanesAs(const int32_t* const* captures, int blocks, const double* window, int32_t size,
                              double* group) {
    if (window) {
        for (int i = 0; i < size; ++i)
            for (int l = 0; l < blocks; ++l) group[i * kLanes + l] = captures[l][i] * window[i];
    } else {
        for (int i = 0; i < size; ++i)
            for (int l = 0; l < blocks; ++l) group[i * kLanes + l] = captures[l][i];
    }
}

template <int kLanes>
void weightIntoLanes(const int32_t* const* captures, int blocks, const double* window, int32_t size, double* group) {
    if (blocks == kLanes)
        weightIntoLanesAs<kLanes>(captures, kLanes, window, size, group);  // a full group: the count is known
    else
        weightIntoLanesAs<kLanes>(captures, blocks, window, size, group);
}

// Bins 0 .. N/2 of a transformed spectrum become |Re| + |Im|; the upper half keeps the raw imaginary
// parts.
void foldMagnitudes(double* spectrum, int32_t size) {
    const int half = size / 2;
    spectrum[0] = std::fabs(spectrum[0]);
    spectrum[half] = std::fabs(spectrum[half]);
    for (int m = 1; m < half; ++m) spectrum[m] = std::fabs(spectrum[m]) + std::fabs(spectrum[size - m]);
}

// The first blocks lanes of a group, size values each, out to blocks arrays. With magnitudes each comes
// out folded as foldMagnitudes folds it, in the same pass: bin m and bin size - m are read together.
template <int kLanes>
inline void takeOutOfLanesAs(const double* group, int32_t size, double* const* out, int blocks, bool magnitudes) {
    if (!magnitudes) {
        for (int i = 0; i < size; ++i)
            for (int l = 0; l < blocks; ++l) out[l][i] = group[i * kLanes + l];
        return;
    }
    const int half = size / 2;
    for (int l = 0; l < blocks; ++l) {
        out[l][0] = std::fabs(group[l]);
        out[l][half] = std::fabs(group[half * kLanes + l]);
    }
    for (int m = 1; m < half; ++m) {
        const double* re = group + m * kLanes;
        const double* im = group + (size - m) * kLanes;
        for (int l = 0; l < blocks; ++l) {
            out[l][m] = std::fabs(re[l]) + std::fabs(im[l]);
            out[l][size - m] = im[l];
        }
    }
}

template <int kLanes>
void takeOutOfLanes(const double* group, int32_t size, double* const* out, int blocks, bool magnitudes) {
    if (blocks == kLanes)
        takeOutOfLanesAs<kLanes>(group, size, out, kLanes, magnitudes);  // a full group: the count is known
    else
        takeOutOfLanesAs<kLanes>(group, size, out, blocks, magnitudes);
}

// The blocks of captures through the lane transform, group by group into the lanes and out of them in
// one pass each.
template <int kLanes>
void transformInLanes(const RealFft& fft, laneFft::Path path, const int32_t* const* captures, int count,
                      const double* window, int32_t size, double* blocks, double* const* spectra, bool magnitudes) {
    for (int first = 0; first < count; first += kLanes)
        weightIntoLanes<kLanes>(captures + first, std::min(kLanes, count - first), window, size,
                                blocks + laneFft::offsetOf(path, size, first));
    laneFft::transform(fft, blocks, count, path);
    for (int first = 0; first < count; first += kLanes)
        takeOutOfLanes<kLanes>(blocks + laneFft::offsetOf(path, size, first), size, spectra + first,
                               std::min(kLanes, count - first), magnitudes);
}

double* alignedTo64Bytes(double* p) {
    return reinterpret_cast<double*>((reinterpret_cast<uintptr_t>(p) + 63) & ~uintptr_t(63));
}

int32_t positionOf(double level, double top, double bottomLevel) {
    return int32_t(lerp(top, kBottomRow, normalise(LEVEL_MAX, level, bottomLevel)));
}

}  // namespace

bool GuiCtrl::traceSwitchedOn(int trace) {
    const int32_t code = setup_.settings[slot::kFirstSelection + trace];
    if (code < 2) {
        if (code == 1 && capture_.traceActive[trace]) {
            capture_.traceActive[trace] = false;
            capture_.frameReset = true;
        }
        return false;
    }
    capture_.traceActive[trace] = true;
    return true;
}

void GuiCtrl::analyseTime() {
    const int32_t* rows[kTraces] = {capture_.captureBuffers[0], capture_.captureBuffers[1], capture_.captureBuffers[2],
                                    capture_.captureBuffers[3]};
    const int32_t factor = setup_.settings[slot::kLevelFactor];
    for (int k = 0; k < kTraces; ++k) {
        if (!traceSwitchedOn(k)) continue;
        double* values = capture_.traceValues[k];
        // A selection without inputs keeps the previous values, which already carry the factor:
        // scaling them again would grow the trace frame by frame.
        const bool filled =
            fillTrace(selectionFor(setup_.settings[slot::kFirstSelection + k]), rows, kTimeColumns, false, values);
        if (filled && factor != 0)
            for (int i = 0; i < kTimeColumns; ++i) values[i] = truncateInRange(clampLevel(factor * values[i]));
        for (int j = 0; j < kTimeColumns; ++j)
            capture_.history[kFirstCurrentRow + k][j] = positionOf(values[j], 1.0, LEVEL_MIN);
    }

    // X*Y: regroup so that one row holds trace 1 against trace 2 (and another trace 3 against 4).
    if (setup_.settings[slot::kPhase] == 1) {
        for (int pair = 0; pair < kTraces; pair += 2)
            for (int i = 0; i < kHalfRow; ++i)
                std::swap(capture_.history[kFirstCurrentRow + pair][kHalfRow + i],
                          capture_.history[kFirstCurrentRow + pair + 1][i]);
    }
}

// The spectrum analysis: each input that some trace needs is transformed once, then each trace is
// made of the spectra and mapped onto the display columns.
void GuiCtrl::analyseSpectrum() {
    transformNeededInputs();
    for (int32_t& level : capture_.markerLevels) level = 0;
    const double* spectra[kTraces] = {capture_.inputSpectra[0], capture_.inputSpectra[1], capture_.inputSpectra[2],
                                      capture_.inputSpectra[3]};
    for (int k = 0; k < kTraces; ++k) {
        if (!traceSwitchedOn(k)) continue;
        fillTrace(selectionFor(setup_.settings[slot::kFirstSelection + k]), spectra, setup_.fftSize,
                  setup_.settings[slot::kMagnitudes] != 0, capture_.traceValues[k]);
        placeSpectrumTrace(k);
        capture_.previousBin = 0;
    }
}

// One input goes through the transform alone; several go through the lane transform side by side,
// which gives each exactly the same spectrum.
void GuiCtrl::transformNeededInputs() {
    bool needed[kTraces];
    inputsNeeded(setup_.settings, needed);
    int inputs[kTraces];
    int count = 0;
    for (int input = 0; input < kTraces; ++input) {
        if (needed[input]) inputs[count++] = input;
    }
    const double* window = windowApplies(setup_.appliedWindowCode) ? setup_.windowCoefficients : nullptr;
    const int32_t size = setup_.fftSize;
    const bool magnitudes = setup_.settings[slot::kMagnitudes] != 0;
    if (count == 1) {
        double* spectrum = capture_.inputSpectra[inputs[0]];
        weightCapture(capture_.captureBuffers[inputs[0]], window, size, spectrum, 1);
        setup_.fftObject.transform(spectrum);
        if (magnitudes) foldMagnitudes(spectrum, size);
    } else if (count > 1) {
        const laneFft::Path path = laneFft::fastestPath();
        double* const blocks = alignedTo64Bytes(capture_.laneBlocks);
        const int32_t* captures[kTraces] = {};
        double* spectra[kTraces] = {};
        for (int b = 0; b < count; ++b) {
            captures[b] = capture_.captureBuffers[inputs[b]];
            spectra[b] = capture_.inputSpectra[inputs[b]];
        }
        if (laneFft::lanesOf(path) == 4)
            transformInLanes<4>(setup_.fftObject, path, captures, count, window, size, blocks, spectra, magnitudes);
        else
            transformInLanes<2>(setup_.fftObject, path, captures, count, window, size, blocks, spectra, magnitudes);
    }
}

// The full view maps every bin onto the 1024 columns; "Vibes Watch" maps the spectrum onto 128
// columns and scrolls: the newest frame enters at the right, the oldest leaves at the left.
void GuiCtrl::placeSpectrumTrace(int trace) {
    if (!setup_.altDisplay) {
        mapTraceToColumns(trace, setup_.binMap[setup_.fftSizeCode], kDisplayColumns, 1.0, 0);
        return;
    }
    int32_t* row = capture_.history[kFirstCurrentRow + trace];
    std::memmove(&row[0], &row[kCoarseColumns], sizeof(int32_t) * (kDisplayColumns - kCoarseColumns));
    mapTraceToColumns(trace, setup_.coarseBinMap[setup_.fftSizeCode], kCoarseColumns, double(kCoarseColumns),
                      kDisplayColumns - kCoarseColumns);
}

// Two passes: the level of every column first (the bins' peaks and the marker's reading, which follow
// each other column by column), then the columns' positions, a division each, in a loop of their own
// where the divisions of neighbouring columns overlap.
void GuiCtrl::mapTraceToColumns(int trace, const int32_t* map, int columns, double top, int firstEntry) {
    const double* v = capture_.traceValues[trace];
    const int32_t size = setup_.fftSize;
    const bool magnitudes = setup_.settings[slot::kMagnitudes] != 0;
    const int32_t factor = setup_.settings[slot::kLevelFactor];
    const int32_t markerColumn = setup_.settings[slot::kMarker];
    const double bottomLevel = magnitudes ? 0.0 : LEVEL_MIN;

    double levels[kDisplayColumns];
    int32_t previousBin = capture_.previousBin;
    for (int col = 0; col < columns; ++col) {
        const int32_t bin = map[col];
        const int32_t first = previousBin + 1;
        // A column shows the strongest of the bins after the previous column's bin up to its own.
        const double level = clampLevel(first < bin ? absPeak(v, first, bin) : v[bin]);

        if (col == markerColumn) {
            if (magnitudes) {
                capture_.markerLevels[trace] = int32_t(level);
            } else {
                const double im = first < bin ? absPeak(v, size - bin, size - previousBin - 1) : v[size - bin];
                capture_.markerLevels[trace] = int32_t(std::fmin(std::fabs(level) + std::fabs(im), LEVEL_MAX));
            }
        }
        previousBin = bin;
        levels[col] = level;
    }
    capture_.previousBin = previousBin;

    if (factor != 0)
        for (int col = 0; col < columns; ++col) levels[col] = clampLevel(levels[col] * factor);
    int32_t* row = &capture_.history[kFirstCurrentRow + trace][firstEntry];
    for (int col = 0; col < columns; ++col) row[col] = positionOf(levels[col], top, bottomLevel);
}
