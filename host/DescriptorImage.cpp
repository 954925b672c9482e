#include "host/DescriptorImage.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kHeaderEnd = 56;
constexpr uint32_t kFormatSize = 16;
constexpr uint32_t kInfoSize = 40;
constexpr int32_t kMostPins = 4096;  // far above any real module; guards against absurd counts

uint32_t wordAt(const std::vector<uint8_t>& image, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, image.data() + offset, 4);
    return word;
}

// Descriptor word i of the image (word 0 of the descriptor sits at byte 4).
uint32_t descriptorWord(const std::vector<uint8_t>& image, int i) { return wordAt(image, 4 + 4 * uint32_t(i)); }

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

std::string fixedField(const uint8_t* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return std::string(reinterpret_cast<const char*>(field),
                       nul ? static_cast<const char*>(nul) - reinterpret_cast<const char*>(field) : size);
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
        pin.format.flags = wordAt(image, format);
        pin.format.minimum = int32_t(wordAt(image, format + 4));
        pin.format.maximum = int32_t(wordAt(image, format + 8));
        const uint8_t* info = image.data() + infos + uint32_t(i) * kInfoSize;
        pin.name = fixedField(info, 8);
        pin.kind = fixedField(info + 8, 32);
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
    d.controlInputCount = int32_t(descriptorWord(image, 0));
    d.audioInputCount = int32_t(descriptorWord(image, 1));
    d.controlOutputCount = int32_t(descriptorWord(image, 2));
    d.audioOutputCount = int32_t(descriptorWord(image, 3));
    d.flags = descriptorWord(image, 6);
    for (int32_t count : {d.controlInputCount, d.audioInputCount, d.controlOutputCount, d.audioOutputCount}) {
        if (count < 0 || count > kMostPins) {
            error = "descriptor has an impossible pin count " + std::to_string(count);
            return false;
        }
    }
    if (!readString(image, descriptorWord(image, 7), 256, d.shortName) ||
        !readString(image, descriptorWord(image, 8), 256, d.longName)) {
        error = "module names lie outside the image or are not terminated";
        return false;
    }
    return readPins(image, 4, 11, d.controlInputCount + d.audioInputCount, d.inputs, "input", error) &&
           readPins(image, 5, 12, d.controlOutputCount + d.audioOutputCount, d.outputs, "output", error);
}
