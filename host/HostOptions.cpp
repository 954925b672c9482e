#include "host/HostOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

struct Named {
    const char* name;
    int32_t value;
};

// The panel's items, by the names shown on it, with the value their pin takes.
const Named kViews[] = {{"time", 0}, {"spectrum", 1}};
const Named kBlockSizes[] = {{"1024", 1024}, {"2048", 2048}, {"4096", 4096}, {"8192", 8192}};
const Named kWindows[] = {{"NULL", 0},    {"Hann", 1},      {"Hamming", 2},         {"Bohman", 3},
                          {"Bartlet", 5}, {"BLackmann", 6}, {"BlackmannHarris", 7}, {"BlackmannNuttall", 8},
                          {"Nuttall", 9}, {"FlatTop", 10},  {"Cosine", 11}};
const Named kCatchers[] = {{"NULL", 0}, {"A+", 1}, {"A-", 2}, {"B+", 3}, {"B-", 4},
                           {"C+", 5},   {"C-", 6}, {"D+", 7}, {"D-", 8}};
const Named kSelections[] = {{"NULL", 1}, {"A", 2},    {"B", 3},    {"C", 4},    {"D", 5},    {"A+B", 6},
                             {"A+C", 7},  {"A+D", 8},  {"B+C", 9},  {"B+D", 10}, {"C+D", 11}, {"A-B", 12},
                             {"A-C", 13}, {"A-D", 14}, {"B-C", 15}, {"B-D", 16}, {"C-D", 17}};

template <size_t N>
bool lookUp(const Named (&table)[N], std::string text, int32_t& value, std::string& accepted) {
    // Spaces do not count ("A +" is "A+"), nor does case.
    std::string key;
    for (char c : text)
        if (c != ' ') key += c;
    for (const Named& n : table)
        if (strcasecmp(n.name, key.c_str()) == 0) {
            value = n.value;
            return true;
        }
    accepted.clear();
    for (const Named& n : table) accepted += (accepted.empty() ? "" : ", ") + std::string(n.name);
    return false;
}

bool parseInt(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

// "a=PORT,b=PORT": each input letter a-d with a port name that is not empty.
bool parseConnections(const char* text, std::vector<std::pair<int, std::string>>& connections) {
    std::string list = text;
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, end - start);
        if (item.size() < 3 || item[0] < 'a' || item[0] > 'd' || item[1] != '=') return false;
        connections.emplace_back(item[0] - 'a', item.substr(2));
        start = end + 1;
    }
    return true;
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0;
}

}  // namespace

namespace {

// What an option's handler works with: the options being filled, the value given (null for a flag),
// the digit of a numbered option (--trace2: 2) and where to say what was wrong.
struct Parse {
    HostOptions& options;
    const char* value;
    int digit;
    std::string& error;
    const std::string& name;

    void setPin(const std::string& pin, int32_t value) { options.pinValues.emplace_back(pin, value); }
    bool bad(const std::string& accepted) {
        error = "bad value '" + std::string(value) + "' for " + name + "; accepted: " + accepted;
        return false;
    }
    template <size_t N>
    bool pinByName(const char* pin, const Named (&table)[N]) {
        int32_t named = 0;
        std::string accepted;
        if (!lookUp(table, value, named, accepted)) return bad(accepted);
        setPin(pin, named);
        return true;
    }
    bool whole(long low, long high, int& to) {
        long number = 0;
        if (!parseInt(value, low, high, number)) return bad(std::to_string(low) + " to " + std::to_string(high));
        to = int(number);
        return true;
    }
};

enum Section { kSources, kRunning, kSettings };

// One option: its name (numbered options take a digit 1-4 after it), the value it takes (null for a
// flag), its section and line of --help, and what it does.
struct Option {
    const char* name;
    const char* value;
    Section section;
    const char* help;
    bool numbered;
    bool (*apply)(Parse&);
};

const Option kOptions[] = {
    {"--file", "PATH", kSources, "a sound file (any format libsndfile reads); channels go to A, B, C, D", false,
     [](Parse& p) {
         p.options.file = p.value;
         p.options.source = SourceKind::file;
         return true;
     }},
    {"--loop", nullptr, kSources, "start the file again at its end (otherwise the run ends there)", false,
     [](Parse& p) { return p.options.loop = true; }},
    {"--jack", nullptr, kSources, "live input: four JACK input ports a, b, c, d; the server's rate and period", false,
     [](Parse& p) {
         p.options.source = SourceKind::jack;
         return true;
     }},
    {"--connect", "a=PORT[,b=PORT...]", kSources,
     "(implies --jack) connect JACK ports to the inputs at the start;\n"
     "may be given more than once, for example --connect a=system:capture_1",
     false,
     [](Parse& p) {
         if (!parseConnections(p.value, p.options.connections))
             return p.bad("INPUT=PORT[,INPUT=PORT...] with inputs a to d");
         p.options.source = SourceKind::jack;
         return true;
     }},
    {"--rate", "HZ", kRunning, "sample rate for the generator (default 48000; a file or JACK sets its own)", false,
     [](Parse& p) { return p.whole(1000, 384000, p.options.sampleRate); }},
    {"--block", "N", kRunning, "samples per block (default 64)", false,
     [](Parse& p) { return p.whole(1, 8192, p.options.blockSize); }},
    {"--fast", nullptr, kRunning, "as fast as the module allows instead of in real time", false,
     [](Parse& p) { return p.options.fast = true; }},
    {"--duration", "S", kRunning, "stop after S seconds", false,
     [](Parse& p) { return parseNumber(p.value, p.options.duration) || p.bad("a number of seconds"); }},
    {"--screenshot", "FILE", kRunning, "write a PNG of the (first) analyzer window at the end", false,
     [](Parse& p) {
         p.options.screenshot = p.value;
         return true;
     }},
    {"--instances", "N", kRunning, "N analyzer instances, each with its own window (default 1)", false,
     [](Parse& p) { return p.whole(1, 16, p.options.instances); }},
    {"--hidden", nullptr, kRunning, "keep the window hidden (show pin 0)", false,
     [](Parse& p) { return p.options.hidden = true; }},
    {"--quiet", nullptr, kRunning, "no status line each second", false,
     [](Parse& p) { return p.options.quiet = true; }},
    {"--print-outputs", nullptr, kRunning, "log the control outputs that change, by pin name", false,
     [](Parse& p) { return p.options.printOutputs = true; }},
    {"--module", "PATH", kRunning,
     "the module to load (default: qanagui.so next to this program, or\n"
     "else ../lib/qanagui/qanagui.so from its folder)",
     false,
     [](Parse& p) {
         p.options.modulePath = p.value;
         return true;
     }},
    {"--describe", nullptr, kRunning, "print the module's names and pin table, then end", false,
     [](Parse& p) { return p.options.describe = true; }},
    {"--view", "time|spectrum", kSettings, "the display: time traces or spectra", false,
     [](Parse& p) { return p.pinByName("iA02", kViews); }},
    {"--fft", "1024|2048|4096|8192", kSettings, "points of the spectrum", false,
     [](Parse& p) { return p.pinByName("iA05", kBlockSizes); }},
    {"--magnitudes", nullptr, kSettings, "spectra of magnitudes (\"ABS\")", false,
     [](Parse& p) {
         p.setPin("iA04", 1);
         return true;
     }},
    {"--window", "NAME", kSettings,
     "NULL, Hann, Hamming, Bohman, Bartlet, BLackmann, BlackmannHarris,\nBlackmannNuttall, Nuttall, FlatTop, Cosine",
     false, [](Parse& p) { return p.pinByName("iA19", kWindows); }},
    {"--trace", "SEL", kSettings, "NULL, A, B, C, D, A+B, A+C, A+D, B+C, B+D, C+D, A-B, ... C-D", true,
     [](Parse& p) { return p.pinByName(("iA2" + std::to_string(p.digit)).c_str(), kSelections); }},  // iA21 .. iA24
    {"--catcher", "MODE", kSettings, "NULL, A+, A-, B+, B-, C+, C-, D+, D-", false,
     [](Parse& p) { return p.pinByName("iA14", kCatchers); }},
    {"--history", nullptr, kSettings, "dim the trace's previous frame instead of erasing it", true,
     [](Parse& p) {
         p.setPin("iA2" + std::to_string(p.digit + 4), 1);
         return true;
     }},  // iA25 .. iA28
    {"--colour", "R,G,B", kSettings, "the trace's colour, each 0 to 255", true,
     [](Parse& p) {
         int r = 0, g = 0, b = 0;
         char extra = 0;
         if (std::sscanf(p.value, "%d,%d,%d%c", &r, &g, &b, &extra) != 3 || r < 0 || g < 0 || b < 0 || r > 255 ||
             g > 255 || b > 255)
             return p.bad("R,G,B with each 0 to 255");
         const std::string suffix = p.digit == 1 ? "" : std::to_string(p.digit);  // iR, iR2, iR3, iR4
         p.setPin("iR" + suffix, r);
         p.setPin("iG" + suffix, g);
         p.setPin("iB" + suffix, b);
         return true;
     }},
    {"--set", "PIN=VALUE", kSettings, "any control input pin by its name, for example --set iA05=4096", false,
     [](Parse& p) {
         const char* equals = std::strchr(p.value, '=');
         long number = 0;
         if (equals == nullptr || equals == p.value || !parseInt(equals + 1, INT32_MIN, INT32_MAX, number))
             return p.bad("PIN=VALUE with a whole number, for example iA05=4096");
         p.setPin(std::string(p.value, equals), int32_t(number));
         return true;
     }},
};

// The option an argument names, and the digit of a numbered one; null when none does.
const Option* optionNamed(const std::string& arg, int& digit) {
    for (const Option& option : kOptions) {
        const size_t length = std::strlen(option.name);
        if (!option.numbered && arg == option.name) return &option;
        if (option.numbered && arg.size() == length + 1 && arg.compare(0, length, option.name) == 0 &&
            arg[length] >= '1' && arg[length] <= '4') {
            digit = arg[length] - '0';
            return &option;
        }
    }
    return nullptr;
}

void printSection(FILE* to, Section section) {
    for (const Option& option : kOptions) {
        if (option.section != section) continue;
        std::string left =
            "  " + std::string(option.name) + (option.numbered ? "1 .. " + std::string(option.name) + "4" : "");
        if (option.value) left += " " + std::string(option.value);
        std::string help = option.help;
        // Continuation lines of the help start under its first.
        for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
            help.insert(at + 1, std::string(30, ' '));
        if (left.size() > 29) left += "\n" + std::string(29, ' ');
        std::fprintf(to, "%-29s %s\n", left.c_str(), help.c_str());
    }
}

}  // namespace

void printHostUsage(FILE* to) {
    std::fprintf(to, "usage: analyzer-host [options]\n"
                     "       analyzer-host --describe [--module PATH]\n"
                     "\n"
                     "Runs the analyzer module as a host does: loads it, opens one window per instance and feeds\n"
                     "every instance control pins and four audio inputs A-D, block after block.\n"
                     "\n"
                     "Sources (default: the built-in generator: A 1 kHz sine at -6 dBFS, B the same a quarter\n"
                     "period later, C pink noise, D a 20 Hz - 20 kHz logarithmic sweep):\n");
    printSection(to, kSources);
    std::fprintf(to, "\nRunning:\n");
    printSection(to, kRunning);
    std::fprintf(to, "\n"
                     "Settings (each sets its control input pin; the panel follows). Without any, the four traces\n"
                     "show A, B, C and D as spectra with magnitudes (--view spectrum --magnitudes --trace1 A ...):\n");
    printSection(to, kSettings);
    std::fprintf(to,
                 "\"Hz Stretch\", \"dB Multiply\", \"Vibes Watch\" and \"PHASEN\" are set on the panel itself: the\n"
                 "module exchanges no input pin for them.\n"
                 "\n"
                 "Exit codes: 0 done, 1 bad argument, 2 module not loadable, 3 bad descriptor, 4 sound file,\n"
                 "5 JACK, 6 no display, 7 the module refused an instance.\n");
}

bool parseHostOptions(int argc, char** argv, HostOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        int digit = 0;
        const Option* option = optionNamed(arg, digit);
        if (option == nullptr) {
            error = "unknown argument '" + arg + "' (see --help)";
            return false;
        }
        const char* value = nullptr;
        if (option->value) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        Parse parse{o, value, digit, error, arg};
        if (!option->apply(parse)) return false;
    }
    if (o.pinValues.empty()) {
        o.pinValues = {{"iA02", 1}, {"iA04", 1}};
        for (int k = 0; k < 4; ++k) o.pinValues.emplace_back("iA2" + std::to_string(k + 1), 2 + k);  // A..D
    }
    return true;
}
