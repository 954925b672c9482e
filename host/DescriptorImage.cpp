#include "host/DescriptorImage.h"

#include "qanagui/protocol.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kHeaderEnd = QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE;
constexpr uint32_t kFormatSize = QANAGUI_PIN_FORMAT_SIZE;
constexpr uint32_t kInfoSize = QANAGUI_PIN_INFO_SIZE;
constexpr int32_t kMostPins = 4096;  // far above any real module; guards against absurd counts

uint32_t wordAt(const std::vector<uint8_t>& image, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, image.data() + offset, 4);
    return word;
}

// Descriptor word i of the image (word 0 of the descriptor sits at byte 4).
uint32_t descriptorWord(const std::vector<uint8_t>& image, int i) {
    return wordAt(image, QANAGUI_DESCRIPTOR_WORDS_OFFSET + 4 * uint32_t(i));
}

bool rangeInside(const std::vector<uint8_t>& image, uint32_t offset, uint64_t length) {
    return offset >= kHeaderEnd && uint64_t(offset) + length <= image.size();
}

// A NUL-terminated string of at most `limit` bytes starting at offset, inside the image.
bool readString(const std::vector<uint8_t>& image, uint32_t offset, size_t limit, std::string& text) {
    if (offset < kHeaderEnd || offset >= image.size()) return false;
    const size_t available = std::min(limit, image.size() - offset);
    const char* start = reinterpret_cast<const char*>(image.data() + offset);
    const void* nul = std::memchr(start, 0, available);
    if (nul == nullptr) return false;
    text.assign(start, static_cast<const char*>(nul));
    return true;
}

std::string fixedField(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return std::string(field, nul ? static_cast<const char*>(nul) - field : size);
}

bool readPins(const std::vector<uint8_t>& image, int formatsWord, int infosWord, int32_t count,
              std::vector<HostPin>& pins, const char* side, std::string& error) {
    const uint32_t formats = descriptorWord(image, formatsWord);
    const uint32_t infos = descriptorWord(image, infosWord);
    if (count > 0 && !rangeInside(image, formats, uint64_t(count) * kFormatSize)) {
        error = std::string(side) + " pin formats lie outside the image";
        return false;
    }
    if (count > 0 && !rangeInside(image, infos, uint64_t(count) * kInfoSize)) {
        error = std::string(side) + " pin names lie outside the image";
        return false;
    }
    pins.resize(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        HostPin& pin = pins[size_t(i)];
        const uint32_t format = formats + uint32_t(i) * kFormatSize;
        QanaguiPinFormat record;
        std::memcpy(&record, image.data() + format, sizeof record);
        pin.format.flags = record.flags;
        pin.format.minimum = record.minimum;
        pin.format.maximum = record.maximum;
        QanaguiPinInfo names;
        std::memcpy(&names, image.data() + infos + uint32_t(i) * kInfoSize, sizeof names);
        pin.name = fixedField(names.name, sizeof names.name);
        pin.kind = fixedField(names.kind, sizeof names.kind);
    }
    return true;
}

}  // namespace

bool parseDescriptorImage(const std::vector<uint8_t>& image, ModuleDescription& d, std::string& error) {
    if (image.size() < kHeaderEnd) {
        error = "descriptor image is only " + std::to_string(image.size()) + " bytes, shorter than its header";
        return false;
    }
    const int32_t status = int32_t(wordAt(image, 0));
    if (status != 0) {
        error = "module reports status " + std::to_string(status) + ": descriptor image incomplete";
        return false;
    }
    d.controlInputCount = int32_t(descriptorWord(image, QANAGUI_WORD_CONTROL_INPUT_COUNT));
    d.audioInputCount = int32_t(descriptorWord(image, QANAGUI_WORD_AUDIO_INPUT_COUNT));
    d.controlOutputCount = int32_t(descriptorWord(image, QANAGUI_WORD_CONTROL_OUTPUT_COUNT));
    d.audioOutputCount = int32_t(descriptorWord(image, QANAGUI_WORD_AUDIO_OUTPUT_COUNT));
    d.flags = descriptorWord(image, QANAGUI_WORD_FLAGS);
    for (int32_t count : {d.controlInputCount, d.audioInputCount, d.controlOutputCount, d.audioOutputCount}) {
        if (count < 0 || count > kMostPins) {
            error = "descriptor has an impossible pin count " + std::to_string(count);
            return false;
        }
    }
    if (!readString(image, descriptorWord(image, QANAGUI_WORD_SHORT_NAME), 256, d.shortName) ||
        !readString(image, descriptorWord(image, QANAGUI_WORD_LONG_NAME), 256, d.longName)) {
        error = "module names lie outside the image or are not terminated";
        return false;
    }
    return readPins(image, QANAGUI_WORD_INPUT_FORMATS, QANAGUI_WORD_INPUT_INFOS,
                    d.controlInputCount + d.audioInputCount, d.inputs, "input", error) &&
           readPins(image, QANAGUI_WORD_OUTPUT_FORMATS, QANAGUI_WORD_OUTPUT_INFOS,
                    d.controlOutputCount + d.audioOutputCount, d.outputs, "output", error);
}
