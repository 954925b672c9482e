// analyzer-host: loads the analyzer module and drives it as a modular audio host would.
//
//   analyzer-host --describe [--module PATH]   print the module's names and pin table
#include "host/DescriptorImage.h"
#include "host/ModuleLoader.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void printUsage(FILE* to) {
    std::fprintf(to,
                 "usage: analyzer-host --describe [--module PATH]\n"
                 "  --describe      print the module's names and its pin table, read from its descriptor\n"
                 "  --module PATH   the module to load (default: qanagui.so next to this program)\n");
}

std::string formatFlags(const HostPinFormat& format) {
    char text[64];
    std::snprintf(text, sizeof text, "0x%08x %11d %11d", format.flags, format.minimum, format.maximum);
    return text;
}

void printPins(const char* title, const std::vector<HostPin>& pins) {
    std::printf("\n%s (%zu)\n", title, pins.size());
    std::printf("  %5s  %-8s %-6s %-10s %11s %11s\n", "index", "name", "kind", "flags", "minimum", "maximum");
    for (size_t i = 0; i < pins.size(); ++i)
        std::printf("  %5zu  %-8s %-6s %s\n", i, pins[i].name.c_str(), pins[i].kind.c_str(),
                    formatFlags(pins[i].format).c_str());
}

int describe(const std::string& modulePath) {
    ModuleLoader loader;
    if (!loader.load(modulePath)) {
        std::fprintf(stderr, "analyzer-host: %s\n", loader.error().c_str());
        return 2;
    }
    std::vector<uint8_t> image;
    const int32_t returned = loader.readDescriptorImage(image);
    ModuleDescription description;
    std::string error;
    if (!parseDescriptorImage(image, description, error)) {
        std::fprintf(stderr, "analyzer-host: %s (%d bytes returned)\n", error.c_str(), returned);
        return 3;
    }
    std::printf("module      %s\n", modulePath.c_str());
    std::printf("short name  %s\n", description.shortName.c_str());
    std::printf("long name   %s\n", description.longName.c_str());
    std::printf("flags       0x%04x\n", description.flags);
    std::printf("pins        %d control inputs, %d audio inputs, %d control outputs, %d audio outputs\n",
                description.controlInputCount, description.audioInputCount, description.controlOutputCount,
                description.audioOutputCount);
    std::printf("image       %d bytes\n", returned);
    printPins("Inputs", description.inputs);
    printPins("Outputs", description.outputs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool describeModule = false;
    std::string modulePath = ModuleLoader::defaultModulePath();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--describe") == 0) {
            describeModule = true;
        } else if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
            modulePath = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "analyzer-host: unknown argument '%s'\n", argv[i]);
            printUsage(stderr);
            return 1;
        }
    }
    if (!describeModule) {
        printUsage(stderr);
        return 1;
    }
    return describe(modulePath);
}
