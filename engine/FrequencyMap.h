// The bent frequency scale: which transform bin each display column shows.
//
// For n columns (1024 or 128) and shape s, column j gets t = j / (n - 2), bent to
// u = quadBezier(s / 1000, 1, t), and row k (transform size 1024 * 2^k) holds the truncated cubic
// Bezier of (1, s * 2^k, s * 2^k, 512 * 2^k) at u. The divisor n - 2 puts the last column slightly past
// the middle of the spectrum (bin 514 of 1024 for s = 21).
//
// Every entry of row k is limited to 1 ... N - 1 (N = 1024 * 2^k), so neither a bin nor its mirror
// N - bin leaves the spectrum, whatever the shape. Values inside that range are exactly the formula's.
//
// Pure functions; [any-thread].
#pragma once

#include <cstdint>

constexpr int kSizeCodes = 4;
constexpr int kCoarseColumns = 128;
constexpr double kDefaultFrequencyShape = 21.0;  // "Hz Stretch" of a new instance

// Fills one map: rows[k][0 .. columns - 1] for k = 0 .. 3.
void buildFrequencyMap(double shape, int32_t* rows, int columns);

// Fills both maps of an instance: 1024 columns and 128 columns.
void buildFrequencyMaps(double shape, int32_t (&binMap)[kSizeCodes][1024],
                        int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]);

// The same for kDefaultFrequencyShape, which every new instance starts with: the maps are computed
// once per process and copied. The first call builds them, and those of shape 0 (see below); other
// callers meanwhile wait, so the first call belongs on the [main-thread] (making an instance).
void copyDefaultFrequencyMaps(int32_t (&binMap)[kSizeCodes][1024], int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]);

// The maps of the shapes every instance passes through, copied instead of computed: the default,
// and 0 (what an instance reads before its panel has stored a shape). False, with the maps untouched,
// for any other shape. [any-thread] once copyDefaultFrequencyMaps has returned.
bool copyPreparedFrequencyMaps(double shape, int32_t (&binMap)[kSizeCodes][1024],
                               int32_t (&coarseBinMap)[kSizeCodes][kCoarseColumns]);
