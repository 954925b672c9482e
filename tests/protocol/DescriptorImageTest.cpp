// The descriptor image of command 1024: its fitting rule at every size boundary and its contents.
#include "ModuleFixture.h"

#include "host/DescriptorImage.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr int32_t kInputFormats = 56, kOutputFormats = 1352, kShortName = 2584, kLongName = 2592, kInputInfos = 2604,
                  kOutputInfos = 5844, kImageEnd = 8924;

static_assert(QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE == kInputFormats && QANAGUI_DESCRIPTOR_IMAGE_SIZE == kImageEnd &&
                  QANAGUI_DESCRIPTOR_BUFFER_SIZE == kImageEnd + 1 && QANAGUI_PIN_FORMAT_SIZE == 16 &&
                  QANAGUI_PIN_INFO_SIZE == 40 && QANAGUI_WORD_INPUT_FORMATS == 4 && QANAGUI_WORD_OUTPUT_FORMATS == 5 &&
                  QANAGUI_WORD_FLAGS == 6 && QANAGUI_WORD_SHORT_NAME == 7 && QANAGUI_WORD_LONG_NAME == 8 &&
                  QANAGUI_WORD_AUDIO_OUTPUT_WORDS == 9 && QANAGUI_WORD_INPUT_INFOS == 11 &&
                  QANAGUI_WORD_OUTPUT_INFOS == 12 && QANAGUI_CONTROL_INPUT_COUNT == 77 &&
                  QANAGUI_AUDIO_INPUT_COUNT == 4 && QANAGUI_CONTROL_OUTPUT_COUNT == 77 &&
                  QANAGUI_AUDIO_OUTPUT_COUNT == 0 && QANAGUI_DESCRIPTOR_FLAGS == 0x2003 &&
                  QANAGUI_CONTROL_PIN_FLAGS == 0x1 && QANAGUI_AUDIO_PIN_FLAGS == 0x4001 && QANAGUI_SHOW_PIN == 44,
              "descriptor image layout of the public header");

// Descriptor word i of an image (the words start at byte 4).
int32_t descriptorWord(const CommandResult& r, int i) { return r.word(1 + size_t(i)); }

std::string text(const CommandResult& r, int32_t offset) {
    return std::string(reinterpret_cast<const char*>(r.out.data() + offset));
}

}  // namespace

using DescriptorImage = ModuleTest;

TEST_F(DescriptorImage, HeaderWords) {
    CommandResult r = run(kGetDescriptor, {}, 8925);
    EXPECT_EQ(descriptorWord(r, 0), 77);
    EXPECT_EQ(descriptorWord(r, 1), 4);
    EXPECT_EQ(descriptorWord(r, 2), 77);
    EXPECT_EQ(descriptorWord(r, 3), 0);
    EXPECT_EQ(descriptorWord(r, 6), 0x2003);
    EXPECT_EQ(descriptorWord(r, 10), 0);
    EXPECT_EQ(text(r, kShortName), "QANAGUI");
    EXPECT_EQ(text(r, kLongName), "DUDEVIVIDOR");
}

// The six pieces of the image in their order: the descriptor word that places each, where it sits in
// the complete image, and its length.
struct Piece {
    int word;
    int32_t offset, length;
};
constexpr Piece kPieces[] = {{4, kInputFormats, kOutputFormats - kInputFormats},
                             {5, kOutputFormats, kShortName - kOutputFormats},
                             {7, kShortName, kLongName - kShortName},
                             {8, kLongName, kInputInfos - kLongName},
                             {11, kInputInfos, kOutputInfos - kInputInfos},
                             {12, kOutputInfos, kImageEnd - kOutputInfos}};
constexpr int32_t kLeftOut = -1;  // the piece does not fit: its word keeps the value it was copied with

// How an image fits a buffer: each piece needs one byte more than its end, and smaller pieces after
// a left-out one still go where it would have gone.
struct FitCase {
    int32_t size, status, returned;
    int32_t placedAt[6];  // per piece, in kPieces order
};

const FitCase kFits[] = {
    {55, -4, 0, {}},  // below the header: only the status
    {56, -4, 56, {kLeftOut, kLeftOut, kLeftOut, kLeftOut, kLeftOut, kLeftOut}},
    {1400, -4, 1372, {kInputFormats, kLeftOut, 1352, 1360, kLeftOut, kLeftOut}},
    {8924, -4, kOutputInfos, {kInputFormats, kOutputFormats, kShortName, kLongName, kInputInfos, kLeftOut}},
    {8925, 0, kImageEnd, {kInputFormats, kOutputFormats, kShortName, kLongName, kInputInfos, kOutputInfos}},
    {20000, 0, kImageEnd, {kInputFormats, kOutputFormats, kShortName, kLongName, kInputInfos, kOutputInfos}},
};

class DescriptorFit : public ModuleTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(DescriptorFit, PiecesThatFitArePlacedAndNothingIsWrittenPastThem) {
    const FitCase& c = GetParam();
    const CommandResult full = run(kGetDescriptor, {}, 8925);
    const CommandResult headerOnly = run(kGetDescriptor, {}, 56);
    const CommandResult r = run(kGetDescriptor, {}, c.size);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.word(0), c.status);
    EXPECT_EQ(r.bytesReturned, c.returned);
    const size_t end = std::max<size_t>(size_t(c.returned), 4);
    for (size_t i = end; i < std::min<size_t>(r.out.size(), size_t(c.size) + 4); ++i)
        ASSERT_EQ(r.out[i], kUntouched) << "byte " << i;
    if (c.returned == 0) return;
    EXPECT_EQ(std::memcmp(r.out.data() + 4, full.out.data() + 4, 4 * 4), 0) << "the pin counts";
    for (int p = 0; p < 6; ++p) {
        const Piece& piece = kPieces[p];
        SCOPED_TRACE(piece.word);
        if (c.placedAt[p] == kLeftOut) {
            EXPECT_EQ(descriptorWord(r, piece.word), descriptorWord(headerOnly, piece.word));
            continue;
        }
        EXPECT_EQ(descriptorWord(r, piece.word), c.placedAt[p]);
        EXPECT_EQ(std::memcmp(r.out.data() + c.placedAt[p], full.out.data() + piece.offset, size_t(piece.length)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, DescriptorFit, ::testing::ValuesIn(kFits),
                         [](const ::testing::TestParamInfo<FitCase>& info) { return std::to_string(info.param.size); });

TEST_F(DescriptorImage, PinTableAsTheHostReadsIt) {
    std::vector<uint8_t> image;
    ASSERT_EQ(module.readDescriptorImage(image), kImageEnd);
    ModuleDescription d;
    std::string error;
    ASSERT_TRUE(parseDescriptorImage(image, d, error)) << error;
    ASSERT_EQ(d.inputs.size(), 81u);
    ASSERT_EQ(d.outputs.size(), 77u);

    const char* colours[] = {"R", "G", "B", "R2", "G2", "B2", "R3", "G3", "B3", "R4", "G4", "B4"};
    for (int i = 0; i < 77; ++i) {
        std::string expected;
        char number[16];  // room for any int, so the formatting can never be cut
        if (i < 32) {
            std::snprintf(number, sizeof number, "A%02d", i + 1);
            expected = number;
        } else if (i < 44)
            expected = colours[i - 32];
        else if (i > 44) {
            std::snprintf(number, sizeof number, "C%02d", i - 44);
            expected = number;
        }
        if (i == 44) {
            EXPECT_EQ(d.inputs[44].name, "iSHo");
            EXPECT_EQ(d.outputs[44].name, "SHow");
        } else {
            EXPECT_EQ(d.inputs[size_t(i)].name, "i" + expected) << i;
            EXPECT_EQ(d.outputs[size_t(i)].name, expected) << i;
        }
        const bool inputIsInternal = i >= 32 && i <= 44;
        EXPECT_EQ(d.inputs[size_t(i)].kind, inputIsInternal ? "iCtrl" : "Ctrl") << i;
        EXPECT_EQ(d.outputs[size_t(i)].kind, i == 44 ? "iCtrl" : "Ctrl") << i;
        for (const HostPin* pin : {&d.inputs[size_t(i)], &d.outputs[size_t(i)]}) {
            EXPECT_EQ(pin->format.flags, 1u) << i;
            EXPECT_EQ(pin->format.minimum, INT32_MIN) << i;
            EXPECT_EQ(pin->format.maximum, INT32_MIN) << i;
        }
    }
    const char* audio[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        const HostPin& pin = d.inputs[size_t(77 + i)];
        EXPECT_EQ(pin.name, audio[i]);
        EXPECT_EQ(pin.kind, "audio");
        EXPECT_EQ(pin.format.flags, 0x4001u);
        EXPECT_EQ(pin.format.minimum, INT32_MIN);
        EXPECT_EQ(pin.format.maximum, INT32_MAX);
    }
    // Names and kinds are NUL-padded to the end of their fields.
    for (int32_t byte = kInputInfos + 4; byte < kInputInfos + 8; ++byte) EXPECT_EQ(image[size_t(byte)], 0) << byte;
    for (int32_t byte = kInputInfos + 12; byte < kInputInfos + 40; ++byte) EXPECT_EQ(image[size_t(byte)], 0) << byte;
}

TEST(DescriptorParsing, RejectsIncompleteOrInconsistentImages) {
    ModuleDescription d;
    std::string error;
    EXPECT_FALSE(parseDescriptorImage(std::vector<uint8_t>(40, 0), d, error));

    std::vector<uint8_t> image(8924, 0);
    const int32_t status = -4;
    std::memcpy(image.data(), &status, 4);
    EXPECT_FALSE(parseDescriptorImage(image, d, error));
    EXPECT_NE(error.find("status -4"), std::string::npos) << error;

    // Status 0 but a name offset pointing past the end of the image.
    std::vector<uint8_t> bad(64, 0);
    const int32_t far = 100000;
    std::memcpy(bad.data() + 4 + 4 * 7, &far, 4);
    EXPECT_FALSE(parseDescriptorImage(bad, d, error));
}
