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
const Named kWindows[] = {{"NULL", 0},       {"Hann", 1},       {"Hamming", 2},          {"Bohman", 3},
                          {"Bartlet", 5},    {"BLackmann", 6},  {"BlackmannHarris", 7},  {"BlackmannNuttall", 8},
                          {"Nuttall", 9},    {"FlatTop", 10},   {"Cosine", 11}};
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

void printHostUsage(FILE* to) {
    std::fprintf(to,
        "usage: analyzer-host [options]\n"
        "       analyzer-host --describe [--module PATH]\n"
        "\n"
        "Runs the analyzer module as a host does: loads it, opens one window per instance and feeds\n"
        "every instance control pins and four audio inputs A-D, block after block.\n"
        "\n"
        "Sources (default: the built-in generator: A 1 kHz sine at -6 dBFS, B the same a quarter\n"
        "period later, C pink noise, D a 20 Hz - 20 kHz logarithmic sweep):\n"
        "  --file PATH        a sound file (any format libsndfile reads); channels go to A, B, C, D\n"
        "  --loop             start the file again at its end (otherwise the run ends there)\n"
        "  --jack             live input: four JACK input ports a, b, c, d; the server's rate and period\n"
        "  --connect a=PORT[,b=PORT...]  (implies --jack) connect JACK ports to the inputs at the start;\n"
        "                     may be given more than once, for example --connect a=system:capture_1\n"
        "\n"
        "Running:\n"
        "  --rate HZ          sample rate for the generator (default 48000; a file or JACK sets its own)\n"
        "  --block N          samples per block (default 64)\n"
        "  --fast             as fast as the module allows instead of in real time\n"
        "  --duration S       stop after S seconds\n"
        "  --screenshot FILE  write a PNG of the (first) analyzer window at the end\n"
        "  --instances N      N analyzer instances, each with its own window (default 1)\n"
        "  --hidden           keep the window hidden (show pin 0)\n"
        "  --quiet            no status line each second\n"
        "  --print-outputs    log the control outputs that change, by pin name\n"
        "  --module PATH      the module to load (default: qanagui.so next to this program, or\n"
        "                     else ../lib/qanagui/qanagui.so from its folder)\n"
        "\n"
        "Settings (each sets its control input pin; the panel follows). Without any, the four traces\n"
        "show A, B, C and D as spectra with magnitudes (--view spectrum --magnitudes --trace1 A ...):\n"
        "  --view time|spectrum        --fft 1024|2048|4096|8192      --magnitudes\n"
        "  --window NAME               NULL, Hann, Hamming, Bohman, Bartlet, BLackmann, BlackmannHarris,\n"
        "                              BlackmannNuttall, Nuttall, FlatTop, Cosine\n"
        "  --trace1 .. --trace4 SEL    NULL, A, B, C, D, A+B, A+C, A+D, B+C, B+D, C+D, A-B, ... C-D\n"
        "  --catcher MODE              NULL, A+, A-, B+, B-, C+, C-, D+, D-\n"
        "  --history1 .. --history4    dim the trace's previous frame instead of erasing it\n"
        "  --colour1 .. --colour4 R,G,B\n"
        "  --set PIN=VALUE             any control input pin by its name, for example --set iA05=4096\n"
        "\"Hz Stretch\", \"dB Multiply\", \"Vibes Watch\" and \"PHASEN\" are set on the panel itself: the\n"
        "module exchanges no input pin for them.\n"
        "\n"
        "Exit codes: 0 done, 1 bad argument, 2 module not loadable, 3 bad descriptor, 4 sound file,\n"
        "5 JACK, 6 no display, 7 the module refused an instance.\n");
}

bool parseHostOptions(int argc, char** argv, HostOptions& o, std::string& error) {
    auto setPin = [&](const std::string& pin, int32_t value) { o.pinValues.emplace_back(pin, value); };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](const char*& value) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        const char* v = nullptr;
        int32_t named = 0;
        std::string accepted;
        long number = 0;
        auto bad = [&](const char* what) {
            error = "bad value '" + std::string(v) + "' for " + arg + "; accepted: " + what;
            return false;
        };
        if (arg == "--help" || arg == "-h") o.help = true;
        else if (arg == "--describe") o.describe = true;
        else if (arg == "--module") { if (!next(v)) return false; o.modulePath = v; }
        else if (arg == "--file") { if (!next(v)) return false; o.file = v; o.source = SourceKind::file; }
        else if (arg == "--loop") o.loop = true;
        else if (arg == "--jack") o.source = SourceKind::jack;
        else if (arg == "--connect") {
            if (!next(v)) return false;
            if (!parseConnections(v, o.connections)) return bad("INPUT=PORT[,INPUT=PORT...] with inputs a to d");
            o.source = SourceKind::jack;
        }
        else if (arg == "--fast") o.fast = true;
        else if (arg == "--hidden") o.hidden = true;
        else if (arg == "--quiet") o.quiet = true;
        else if (arg == "--print-outputs") o.printOutputs = true;
        else if (arg == "--magnitudes") setPin("iA04", 1);
        else if (arg == "--rate") {
            if (!next(v)) return false;
            if (!parseInt(v, 1000, 384000, number)) return bad("1000 to 384000");
            o.sampleRate = int(number);
        } else if (arg == "--block") {
            if (!next(v)) return false;
            if (!parseInt(v, 1, 8192, number)) return bad("1 to 8192");
            o.blockSize = int(number);
        } else if (arg == "--instances") {
            if (!next(v)) return false;
            if (!parseInt(v, 1, 16, number)) return bad("1 to 16");
            o.instances = int(number);
        } else if (arg == "--duration") {
            if (!next(v)) return false;
            if (!parseNumber(v, o.duration)) return bad("a number of seconds");
        } else if (arg == "--screenshot") {
            if (!next(v)) return false;
            o.screenshot = v;
        } else if (arg == "--view") {
            if (!next(v)) return false;
            if (!lookUp(kViews, v, named, accepted)) return bad(accepted.c_str());
            setPin("iA02", named);
        } else if (arg == "--fft") {
            if (!next(v)) return false;
            if (!lookUp(kBlockSizes, v, named, accepted)) return bad(accepted.c_str());
            setPin("iA05", named);
        } else if (arg == "--window") {
            if (!next(v)) return false;
            if (!lookUp(kWindows, v, named, accepted)) return bad(accepted.c_str());
            setPin("iA19", named);
        } else if (arg == "--catcher") {
            if (!next(v)) return false;
            if (!lookUp(kCatchers, v, named, accepted)) return bad(accepted.c_str());
            setPin("iA14", named);
        } else if (arg.size() == 8 && arg.compare(0, 7, "--trace") == 0 && arg[7] >= '1' && arg[7] <= '4') {
            if (!next(v)) return false;
            if (!lookUp(kSelections, v, named, accepted)) return bad(accepted.c_str());
            setPin(std::string("iA2") + arg[7], named);   // iA21 .. iA24
        } else if (arg.size() == 10 && arg.compare(0, 9, "--history") == 0 && arg[9] >= '1' && arg[9] <= '4') {
            setPin("iA2" + std::to_string(arg[9] - '1' + 5), 1);   // iA25 .. iA28
        } else if (arg.size() == 9 && arg.compare(0, 8, "--colour") == 0 && arg[8] >= '1' && arg[8] <= '4') {
            if (!next(v)) return false;
            int r = 0, g = 0, b = 0;
            char extra = 0;
            if (std::sscanf(v, "%d,%d,%d%c", &r, &g, &b, &extra) != 3 || r < 0 || g < 0 || b < 0 || r > 255 ||
                g > 255 || b > 255)
                return bad("R,G,B with each 0 to 255");
            static const char* const names[4][3] = {
                {"iR", "iG", "iB"}, {"iR2", "iG2", "iB2"}, {"iR3", "iG3", "iB3"}, {"iR4", "iG4", "iB4"}};
            const int k = arg[8] - '1';
            setPin(names[k][0], r);
            setPin(names[k][1], g);
            setPin(names[k][2], b);
        } else if (arg == "--set") {
            if (!next(v)) return false;
            const char* equals = std::strchr(v, '=');
            if (equals == nullptr || equals == v || !parseInt(equals + 1, INT32_MIN, INT32_MAX, number))
                return bad("PIN=VALUE with a whole number, for example iA05=4096");
            setPin(std::string(v, equals), int32_t(number));
        } else {
            error = "unknown argument '" + arg + "' (see --help)";
            return false;
        }
    }
    if (o.pinValues.empty()) {
        o.pinValues = {{"iA02", 1}, {"iA04", 1}};
        for (int k = 0; k < 4; ++k) o.pinValues.emplace_back("iA2" + std::to_string(k + 1), 2 + k);   // A..D
    }
    return true;
}
