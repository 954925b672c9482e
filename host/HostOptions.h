// What the user asked analyzer-host for, from its command line. Settings that go to control input
// pins are kept by pin name and resolved against the module's own descriptor later.
//
// Threads: [main-thread].
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class SourceKind { generator, file, jack };

struct HostOptions {
    bool describe = false;
    bool help = false;
    std::string modulePath;
    int instances = 1;
    SourceKind source = SourceKind::generator;
    std::string file;
    bool loop = false;
    bool fast = false;
    int sampleRate = 48000;
    int blockSize = 64;
    double duration = 0;  // seconds; 0 runs until stopped (or the file ends)
    std::string screenshot;  // PNG written at the end
    bool hidden = false;
    bool quiet = false;
    bool printOutputs = false;
    // (input pin name, value), in the order given; later ones win. With no setting on the command
    // line: the four inputs on the four traces as spectra, with magnitudes.
    std::vector<std::pair<std::string, int32_t>> pinValues;
    // --connect: (input 0-3 for a-d, JACK port to connect to it), made once the client is active.
    std::vector<std::pair<int, std::string>> connections;
};

// Exit codes of analyzer-host.
enum HostExit {
    kExitOk = 0,
    kExitUsage = 1,  // bad argument, unknown pin or value
    kExitModule = 2,  // module missing or without its export
    kExitDescriptor = 3,  // descriptor image incomplete or inconsistent
    kExitFile = 4,  // sound file missing, unreadable or unsupported
    kExitJack = 5,  // no JACK server, or its ports could not be made
    kExitDisplay = 6,  // no display to open the window on
    kExitInstance = 7,  // the module refused to create an instance
};

// Parses argv. On a bad argument returns false with a message naming what is accepted.
bool parseHostOptions(int argc, char** argv, HostOptions& options, std::string& error);

void printHostUsage(FILE* to);
