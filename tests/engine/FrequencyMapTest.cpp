// The bent frequency scale: bins shown at each column for every transform size.
#include "engine/FrequencyMap.h"
#include "engine/GuiCtrl.h"
#include "tests/support/EngineInstance.h"

#include <gtest/gtest.h>

namespace {
struct Maps {
    int32_t fine[kSizeCodes][1024];
    int32_t coarse[kSizeCodes][kCoarseColumns];
    explicit Maps(double shape) { buildFrequencyMaps(shape, fine, coarse); }
};
}  // namespace

TEST(FrequencyMap, DefaultShapeGivesTheKnownBins) {
    Maps maps(21.0);
    for (int j = 0; j <= 115; ++j) ASSERT_EQ(maps.fine[0][j], 1) << j;
    EXPECT_EQ(maps.fine[0][116], 2);
    EXPECT_EQ(maps.fine[0][511], 21);
    EXPECT_EQ(maps.fine[0][1022], 512);
    EXPECT_EQ(maps.fine[0][1023], 514);
    EXPECT_EQ(maps.fine[1][1023], 1029);
    EXPECT_EQ(maps.fine[2][1023], 2059);
    EXPECT_EQ(maps.fine[3][1023], 4118);
    const int32_t coarse63[] = {21, 42, 85, 169}, coarse127[] = {535, 1070, 2141, 4282};
    for (int k = 0; k < kSizeCodes; ++k) {
        EXPECT_EQ(maps.coarse[k][63], coarse63[k]) << k;
        EXPECT_EQ(maps.coarse[k][127], coarse127[k]) << k;
    }
    // Bins never fall from one column to the next.
    for (int k = 0; k < kSizeCodes; ++k)
        for (int j = 1; j < 1024; ++j) ASSERT_GE(maps.fine[k][j], maps.fine[k][j - 1]) << k << " " << j;
}

TEST(FrequencyMap, EndsAreFixedForEveryShapeInThePanelRange) {
    for (double shape : {1.0, 21.0, 50.0, 100.0}) {
        Maps maps(shape);
        for (int k = 0; k < kSizeCodes; ++k) {
            EXPECT_EQ(maps.fine[k][0], 1) << shape;
            EXPECT_EQ(maps.fine[k][1022], 512 << k) << shape;
            EXPECT_EQ(maps.coarse[k][0], 1) << shape;
            EXPECT_EQ(maps.coarse[k][126], 512 << k) << shape;
        }
    }
}

TEST(FrequencyMap, ShapesFarOutsideTheRangeStayInsideTheSpectrum) {
    for (double shape : {0.0, -50.0, 10000.0, -2147483648.0, 2147483647.0}) {
        Maps maps(shape);
        for (int k = 0; k < kSizeCodes; ++k) {
            const int32_t size = 1024 << k;
            for (int j = 0; j < 1024; ++j) {
                ASSERT_GE(maps.fine[k][j], 1) << shape << " row " << k << " column " << j;
                ASSERT_LE(maps.fine[k][j], size - 1) << shape << " row " << k << " column " << j;
            }
            for (int j = 0; j < kCoarseColumns; ++j) {
                ASSERT_GE(maps.coarse[k][j], 1) << shape;
                ASSERT_LE(maps.coarse[k][j], size - 1) << shape;
            }
        }
    }
    // Where the formula stays inside the spectrum it stands unchanged: with shape 0 the middle column
    // is bent to u = 1/4, giving 27/64 + 512/64 = 8.42.
    Maps flat(0.0);
    EXPECT_EQ(flat.fine[0][511], 8);
    EXPECT_EQ(flat.fine[0][1022], 512);
}

TEST(FrequencyMap, NewInstanceHoldsTheDefaultMaps) {
    auto instance = makeEngineInstance();
    Maps maps(21.0);
    EXPECT_EQ(instance->setup().frequencyShape, 21.0);
    for (int k = 0; k < kSizeCodes; ++k)
        for (int j = 0; j < 1024; ++j) ASSERT_EQ(instance->setup().binMap[k][j], maps.fine[k][j]);
}
