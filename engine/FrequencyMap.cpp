#include "engine/FrequencyMap.h"

#include "engine/NumericHelpers.h"

#include <cmath>
#include <cstring>

void buildFrequencyMap(double shape, int32_t* rows, int columns) {
    const double middle = shape / 1000.0;
    for (int j = 0; j < columns; ++j) {
        // Column j + 1 of 1 .. columns, placed between column 1 and column columns - 1.
        const double t = normalise(1.0, double(j + 1), double(columns - 1));
        const double u = quadBezier(middle, 1.0, t);
        for (int k = 0; k < kSizeCodes; ++k) {
            const double m = double(1 << k);
            const double size = 1024.0 * m;
            double bin = cubicBezier(1.0, shape * m, shape * m, 512.0 * m, u);
            // Keep the bin and its mirror inside the spectrum (also catches NaN from absurd shapes),
            // then truncate: within these bounds the conversion truncates exactly as std::trunc would.
            if (!(bin >= 1.0)) bin = 1.0;
            if (bin > size - 1.0) bin = size - 1.0;
            rows[k * columns + j] = int32_t(bin);
        }
    }
}

void buildFrequencyMaps(double shape, int32_t (&binMap)[kSizeCodes][1024],
                        int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]) {
    buildFrequencyMap(shape, &binMap[0][0], 1024);
    buildFrequencyMap(shape, &coarseBinMap[0][0], kCoarseColumns);
}

namespace {

struct Maps {
    int32_t fine[kSizeCodes][1024];
    int32_t coarse[kSizeCodes][kCoarseColumns];
    explicit Maps(double shape) { buildFrequencyMaps(shape, fine, coarse); }
    void copyTo(int32_t (&binMap)[kSizeCodes][1024], int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]) const {
        std::memcpy(binMap, fine, sizeof fine);
        std::memcpy(coarseBinMap, coarse, sizeof coarse);
    }
};

struct PreparedMaps {
    Maps defaults{kDefaultFrequencyShape};
    Maps flat{0.0};
};

// Built by the first caller; static storage, no allocation.
const PreparedMaps& preparedMaps() {
    static const PreparedMaps maps;
    return maps;
}

}  // namespace

void copyDefaultFrequencyMaps(int32_t (&binMap)[kSizeCodes][1024],
                              int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]) {
    preparedMaps().defaults.copyTo(binMap, coarseBinMap);
}

bool copyPreparedFrequencyMaps(double shape, int32_t (&binMap)[kSizeCodes][1024],
                               int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]) {
    if (shape == kDefaultFrequencyShape) {
        preparedMaps().defaults.copyTo(binMap, coarseBinMap);
    } else if (shape == 0.0) {
        preparedMaps().flat.copyTo(binMap, coarseBinMap);
    } else {
        return false;
    }
    return true;
}
