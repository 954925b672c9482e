// The descriptor image of command 1024: its fitting rule at every size boundary and its contents.
#include "ModuleFixture.h"

#include "host/DescriptorImage.h"

#include <cstring>

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

TEST_F(DescriptorImage, CompleteImageFromSize8925On) {
    for (int32_t size : {8925, 8926, 20000}) {
        CommandResult r = run(kGetDescriptor, {}, size);
        SCOPED_TRACE(size);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.word(0), 0);
        EXPECT_EQ(r.bytesReturned, kImageEnd);
        EXPECT_EQ(descriptorWord(r, 4), kInputFormats);
        EXPECT_EQ(descriptorWord(r, 5), kOutputFormats);
        EXPECT_EQ(descriptorWord(r, 7), kShortName);
        EXPECT_EQ(descriptorWord(r, 8), kLongName);
        EXPECT_EQ(descriptorWord(r, 9), 0) << "no audio outputs, no piece";
        EXPECT_EQ(descriptorWord(r, 11), kInputInfos);
        EXPECT_EQ(descriptorWord(r, 12), kOutputInfos);
        EXPECT_EQ(r.out[size_t(kImageEnd)], kUntouched) << "nothing written past the image";
    }
}

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

TEST_F(DescriptorImage, SizeBelowHeaderWritesOnlyTheStatus) {
    CommandResult r = run(kGetDescriptor, {}, 55);
    EXPECT_EQ(r.word(0), -4);
    EXPECT_EQ(r.bytesReturned, 0);
    for (size_t i = 4; i < 60; ++i) ASSERT_EQ(r.out[i], kUntouched) << "byte " << i;
}

TEST_F(DescriptorImage, HeaderOnlyAtSize56) {
    CommandResult r = run(kGetDescriptor, {}, 56);
    EXPECT_EQ(r.word(0), -4);
    EXPECT_EQ(r.bytesReturned, 56);
    EXPECT_EQ(descriptorWord(r, 0), 77);
    EXPECT_EQ(r.out[56], kUntouched);
}

TEST_F(DescriptorImage, EachPieceNeedsOneByteMoreThanItsEnd) {
    // At exactly 8924 bytes the last piece would end on the buffer's end and is left out.
    CommandResult full = run(kGetDescriptor, {}, 8925);
    CommandResult r = run(kGetDescriptor, {}, 8924);
    EXPECT_EQ(r.word(0), -4);
    EXPECT_EQ(r.bytesReturned, kOutputInfos);
    EXPECT_EQ(descriptorWord(r, 11), kInputInfos);
    EXPECT_NE(descriptorWord(r, 12), kOutputInfos) << "a left-out piece keeps its copied word";
    EXPECT_EQ(descriptorWord(r, 12), descriptorWord(run(kGetDescriptor, {}, 56), 12));
    EXPECT_EQ(r.out[size_t(kOutputInfos)], kUntouched);
    EXPECT_EQ(std::memcmp(r.out.data() + 56, full.out.data() + 56, size_t(kOutputInfos - 56)), 0);
}

TEST_F(DescriptorImage, SmallerPiecesAfterALeftOutOneAreStillPlaced) {
    // 1400 bytes: the output formats (1232 bytes) do not fit after the input formats, but both
    // names do, placed where the output formats would have gone.
    CommandResult r = run(kGetDescriptor, {}, 1400);
    EXPECT_EQ(r.word(0), -4);
    EXPECT_EQ(descriptorWord(r, 4), kInputFormats);
    EXPECT_EQ(descriptorWord(r, 7), 1352);
    EXPECT_EQ(descriptorWord(r, 8), 1360);
    EXPECT_EQ(text(r, 1352), "QANAGUI");
    EXPECT_EQ(text(r, 1360), "DUDEVIVIDOR");
    EXPECT_EQ(r.bytesReturned, 1372);
}

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
