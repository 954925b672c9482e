// Writes the plug-in bundle's Turtle files from the port table and the preset table: manifest.ttl
// (what the bundle holds, with the plug-in's version), qanagui.ttl (the plug-in, its port groups, its
// ports with ranges, units and named values, and its editor), and one file per factory preset, with
// every control input of the port table and the panel-only settings the preset carries as state.
//
//   make_ttl BUNDLE_DIR
#include "plugin/PluginPorts.h"
#include "plugin/PluginPresets.h"
#include "plugin/PluginUris.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kPrefixes[] = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                         "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                         "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
                         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                         "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                         "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                         "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                         "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

const std::string kPlugin = "<" QANAGUI_LV2_URI ">", kEditor = "<" QANAGUI_LV2_UI_URI ">",
                  kInputs = "<" QANAGUI_LV2_URI "#inputs>", kOutputs = "<" QANAGUI_LV2_URI "#outputs>";
const char* const kStateKeys[4] = {QANAGUI_LV2_STATE_DB_MULTIPLY, QANAGUI_LV2_STATE_VIBES_WATCH,
                                   QANAGUI_LV2_STATE_HZ_STRETCH, QANAGUI_LV2_STATE_PHASEN};
const char* const kStateLabels[4][2] = {
    {"dB Multiply", "The factor of the displayed levels, 1 to 30."},
    {"Vibes Watch", "The scrolling stack of eight spectra: 1 on, 0 off."},
    {"Hz Stretch", "The bend of the frequency scale, 1 to 100."},
    {"PHASEN", "The time view's plot: 0 traces over time, 1 trace 1 against 2 (X*Y), 2 X*X."}};

// The settings the plug-in keeps as state, described for the presets that carry them.
std::string stateProperties() {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += std::string("\n<") + kStateKeys[i] + ">\n    a rdf:Property ;\n    rdfs:label \"" + kStateLabels[i][0] +
                "\" ;\n    rdfs:comment \"" + kStateLabels[i][1] + "\" ;\n    rdfs:range atom:Int .\n";
    return text;
}

const char* portClass(lv2port::Kind kind) {
    switch (kind) {
    case lv2port::Kind::audioIn: return "lv2:InputPort , lv2:AudioPort";
    case lv2port::Kind::audioOut: return "lv2:OutputPort , lv2:AudioPort";
    case lv2port::Kind::controlIn: return "lv2:InputPort , lv2:ControlPort";
    case lv2port::Kind::controlOut: return "lv2:OutputPort , lv2:ControlPort";
    default: return "lv2:OutputPort , atom:AtomPort";
    }
}

const char* unitOf(lv2port::Reading reading) {
    switch (reading) {
    case lv2port::Reading::markerFrequency: return "units:hz";
    case lv2port::Reading::markerLevel: return "units:db";
    default: return nullptr;
    }
}

void writePort(FILE* out, int index, bool last) {
    const lv2port::Port& p = lv2port::port(index);
    std::fprintf(out,
                 "    [\n        a %s ;\n        lv2:index %d ;\n        lv2:symbol \"%s\" ;\n        lv2:name \"%s\"",
                 portClass(p.kind), index, p.symbol, p.name);
    if (p.kind == lv2port::Kind::audioIn) std::fprintf(out, " ;\n        pg:group %s", kInputs.c_str());
    if (p.kind == lv2port::Kind::audioOut) std::fprintf(out, " ;\n        pg:group %s", kOutputs.c_str());
    if (p.kind == lv2port::Kind::controlIn || p.kind == lv2port::Kind::controlOut)
        std::fprintf(out, " ;\n        lv2:default %g ;\n        lv2:minimum %g ;\n        lv2:maximum %g",
                     p.defaultValue, p.minimum, p.maximum);
    if (const char* unit = unitOf(p.reading)) std::fprintf(out, " ;\n        units:unit %s", unit);
    // Added after the first release: a host that does not know it may leave it unconnected.
    if (p.kind == lv2port::Kind::notifyOut)
        std::fprintf(out, " ;\n        atom:bufferType atom:Sequence ;\n        atom:supports state:StateChanged ;\n"
                          "        lv2:designation lv2:control ;\n        lv2:portProperty lv2:connectionOptional");
    std::string properties;
    if (p.integer) properties += "lv2:integer";
    if (p.toggled) properties += ", lv2:toggled";
    if (p.control != panel::kControlCount) properties += ", lv2:enumeration";
    if (!properties.empty()) std::fprintf(out, " ;\n        lv2:portProperty %s", properties.c_str());
    if (p.control != panel::kControlCount) {
        const panel::ControlInfo& box = panel::controlInfo(p.control);
        for (int i = 0; i < box.itemCount; ++i)
            std::fprintf(out, " ;\n        lv2:scalePoint [ rdfs:label \"%s\" ; rdf:value %d ]", box.items[i].text,
                         lv2port::itemValue(p.control, box.items[i].id));
    }
    std::fprintf(out, "\n    ]%s\n", last ? " ." : " ,");
}

std::string presetUri(const lv2preset::Preset& preset) {
    const std::string file = preset.file;
    return "<" QANAGUI_LV2_URI "#preset-" + file.substr(0, file.rfind('.')) + ">";
}

// The value a preset gives a control input: its own, or the port's default. False for a value
// the port cannot take.
bool presetValue(const lv2preset::Preset& preset, const lv2port::Port& port, double* value) {
    *value = port.defaultValue;
    for (int i = 0; i < preset.portCount; ++i)
        if (std::strcmp(preset.ports[i].symbol, port.symbol) == 0) *value = preset.ports[i].value;
    if (*value < port.minimum || *value > port.maximum) return false;
    if (port.integer && *value != std::floor(*value)) return false;
    return port.control == panel::kControlCount || lv2port::publishedValue(port, int32_t(*value)) == int32_t(*value);
}

// Every symbol a preset names must be a control input of the table.
bool namesKnownPorts(const lv2preset::Preset& preset) {
    for (int i = 0; i < preset.portCount; ++i) {
        bool known = false;
        for (int p = 0; p < lv2port::portCount(); ++p)
            known = known || (lv2port::port(p).kind == lv2port::Kind::controlIn &&
                              std::strcmp(lv2port::port(p).symbol, preset.ports[i].symbol) == 0);
        if (!known) {
            std::fprintf(stderr, "make_ttl: preset \"%s\" names no control input \"%s\"\n", preset.label,
                         preset.ports[i].symbol);
            return false;
        }
    }
    return true;
}

bool writePreset(FILE* out, const lv2preset::Preset& preset) {
    std::fprintf(out, "%s\n    a pset:Preset ;\n    lv2:appliesTo %s ;\n    rdfs:label \"%s\" ;\n    lv2:port",
                 presetUri(preset).c_str(), kPlugin.c_str(), preset.label);
    bool first = true;
    for (int p = 0; p < lv2port::portCount(); ++p) {
        const lv2port::Port& port = lv2port::port(p);
        if (port.kind != lv2port::Kind::controlIn) continue;
        double value = 0;
        if (!presetValue(preset, port, &value)) {
            std::fprintf(stderr, "make_ttl: preset \"%s\" gives %s a value it cannot take\n", preset.label,
                         port.symbol);
            return false;
        }
        // Hosts take preset values as floats.
        std::fprintf(out, "%s\n        [ lv2:symbol \"%s\" ; pset:value \"%g\"^^xsd:float ]", first ? "" : " ,",
                     port.symbol, value);
        first = false;
    }
    std::string state;
    for (int i = 0; i < 4; ++i)
        if (preset.panelOnly[i] != lv2preset::kNotCarried)
            state += std::string(state.empty() ? "" : " ;") + "\n        <" + kStateKeys[i] + "> \"" +
                     std::to_string(preset.panelOnly[i]) + "\"^^xsd:int";
    if (!state.empty()) std::fprintf(out, " ;\n    state:state [%s\n    ]", state.c_str());
    std::fputs(" .\n", out);
    return true;
}

bool writeFile(const std::string& path, const std::string& before, bool ports, const std::string& after,
               const lv2preset::Preset* preset = nullptr) {
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    std::fputs(kPrefixes, out);
    std::fputs(before.c_str(), out);
    if (ports)
        for (int i = 0; i < lv2port::portCount(); ++i) writePort(out, i, i + 1 == lv2port::portCount());
    std::fputs(after.c_str(), out);
    const bool written = preset == nullptr || writePreset(out, *preset);
    return std::fclose(out) == 0 && written;
}

std::string manifest() {
    std::string text = kPlugin + "\n    a lv2:Plugin ;\n    lv2:binary <" QANAGUI_LV2_BINARY "> ;\n" +
                       "    lv2:minorVersion " + std::to_string(QANAGUI_LV2_MINOR_VERSION) + " ;\n" +
                       "    lv2:microVersion " + std::to_string(QANAGUI_LV2_MICRO_VERSION) + " ;\n" +
                       "    rdfs:seeAlso <qanagui.ttl> .\n\n" + kEditor + "\n    a ui:X11UI ;\n" +
                       "    ui:binary <" QANAGUI_LV2_BINARY "> ;\n    rdfs:seeAlso <qanagui.ttl> .\n";
    for (int i = 0; i < lv2preset::presetCount(); ++i) {
        const lv2preset::Preset& preset = lv2preset::preset(i);
        text += "\n" + presetUri(preset) + "\n    a pset:Preset ;\n    lv2:appliesTo " + kPlugin +
                " ;\n    rdfs:seeAlso <" + preset.file + "> .\n";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_ttl BUNDLE_DIR\n");
        return 2;
    }
    const std::string bundle = argv[1];
    const std::string head = kPlugin +
                             "\n    a lv2:Plugin , lv2:AnalyserPlugin ;\n"
                             "    doap:name \"Analyzer\" ;\n"
                             "    doap:license <http://usefulinc.com/doap/licenses/gpl> ;\n"
                             "    rdfs:comment \"A four-input signal analyzer: time traces, X-Y phase plots and "
                             "windowed spectra of A to D, their sums and differences, with a marker.\" ;\n"
                             "    lv2:requiredFeature urid:map ;\n"
                             "    lv2:optionalFeature lv2:hardRTCapable ;\n"
                             "    lv2:extensionData state:interface ;\n"
                             "    pg:mainInput " +
                             kInputs + " ;\n    pg:mainOutput " + kOutputs + " ;\n    ui:ui " + kEditor +
                             " ;\n    lv2:port\n";
    const std::string tail = "\n" + kInputs +
                             "\n    a pg:InputGroup , pg:DiscreteGroup ;\n"
                             "    lv2:symbol \"inputs\" ;\n"
                             "    rdfs:label \"Inputs A to D\" .\n\n" +
                             kOutputs +
                             "\n    a pg:OutputGroup , pg:DiscreteGroup ;\n"
                             "    lv2:symbol \"outputs\" ;\n"
                             "    rdfs:label \"Outputs A to D\" ;\n"
                             "    pg:source " +
                             kInputs + " .\n\n" + kEditor +
                             "\n    a ui:X11UI ;\n"
                             "    lv2:requiredFeature <http://lv2plug.in/ns/ext/instance-access> , ui:idleInterface ;\n"
                             "    lv2:optionalFeature ui:parent , ui:resize , ui:noUserResize ;\n"
                             "    lv2:extensionData ui:idleInterface , ui:showInterface .\n" +
                             stateProperties();
    for (int i = 0; i < lv2preset::presetCount(); ++i)
        if (!namesKnownPorts(lv2preset::preset(i))) return 1;
    bool written = writeFile(bundle + "/manifest.ttl", manifest(), false, "") &&
                   writeFile(bundle + "/qanagui.ttl", head, true, tail);
    for (int i = 0; written && i < lv2preset::presetCount(); ++i)
        written = writeFile(bundle + "/" + lv2preset::preset(i).file, "", false, "", &lv2preset::preset(i));
    if (!written) {
        std::fprintf(stderr, "make_ttl: cannot write the bundle's Turtle files into %s\n", bundle.c_str());
        return 1;
    }
    return 0;
}
