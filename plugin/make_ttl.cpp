// Writes the plug-in bundle's Turtle files from the port table: manifest.ttl (what the bundle holds)
// and qanagui.ttl (the plug-in, its ports with ranges and named values, and its editor).
//
//   make_ttl BUNDLE_DIR
#include "plugin/PluginPorts.h"
#include "plugin/PluginUris.h"

#include <cstdio>
#include <string>

namespace {

const char kPrefixes[] = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                         "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                         "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                         "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

const char* portClass(lv2port::Kind kind) {
    switch (kind) {
    case lv2port::Kind::audioIn: return "lv2:InputPort , lv2:AudioPort";
    case lv2port::Kind::audioOut: return "lv2:OutputPort , lv2:AudioPort";
    case lv2port::Kind::controlIn: return "lv2:InputPort , lv2:ControlPort";
    default: return "lv2:OutputPort , lv2:ControlPort";
    }
}

void writePort(FILE* out, int index, bool last) {
    const lv2port::Port& p = lv2port::port(index);
    std::fprintf(out,
                 "    [\n        a %s ;\n        lv2:index %d ;\n        lv2:symbol \"%s\" ;\n        lv2:name \"%s\"",
                 portClass(p.kind), index, p.symbol, p.name);
    if (p.kind == lv2port::Kind::controlIn || p.kind == lv2port::Kind::controlOut)
        std::fprintf(out, " ;\n        lv2:default %g ;\n        lv2:minimum %g ;\n        lv2:maximum %g",
                     p.defaultValue, p.minimum, p.maximum);
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

bool writeFile(const std::string& path, const std::string& before, bool ports, const std::string& after) {
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    std::fputs(kPrefixes, out);
    std::fputs(before.c_str(), out);
    if (ports)
        for (int i = 0; i < lv2port::portCount(); ++i) writePort(out, i, i + 1 == lv2port::portCount());
    std::fputs(after.c_str(), out);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_ttl BUNDLE_DIR\n");
        return 2;
    }
    const std::string bundle = argv[1];
    const std::string plugin = "<" QANAGUI_LV2_URI ">", editor = "<" QANAGUI_LV2_UI_URI ">";
    const std::string manifest =
        plugin +
        "\n    a lv2:Plugin ;\n    lv2:binary <" QANAGUI_LV2_BINARY "> ;\n    rdfs:seeAlso <qanagui.ttl> .\n\n" +
        editor + "\n    a ui:X11UI ;\n    ui:binary <" QANAGUI_LV2_BINARY "> ;\n    rdfs:seeAlso <qanagui.ttl> .\n";
    const std::string head = plugin +
                             "\n    a lv2:Plugin , lv2:AnalyserPlugin ;\n"
                             "    doap:name \"Analyzer\" ;\n"
                             "    doap:license <http://usefulinc.com/doap/licenses/gpl> ;\n"
                             "    rdfs:comment \"A four-input signal analyzer: time traces, X-Y phase plots and "
                             "windowed spectra of A to D, their sums and differences, with a marker.\" ;\n"
                             "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
                             "    lv2:extensionData state:interface ;\n"
                             "    ui:ui " +
                             editor + " ;\n    lv2:port\n";
    const std::string tail = "\n" + editor +
                             "\n    a ui:X11UI ;\n"
                             "    lv2:requiredFeature <http://lv2plug.in/ns/ext/instance-access> ;\n"
                             "    lv2:optionalFeature ui:parent ;\n"
                             "    lv2:extensionData ui:idleInterface , ui:showInterface .\n";
    if (!writeFile(bundle + "/manifest.ttl", manifest, false, "") ||
        !writeFile(bundle + "/qanagui.ttl", head, true, tail)) {
        std::fprintf(stderr, "make_ttl: cannot write into %s\n", bundle.c_str());
        return 1;
    }
    return 0;
}
