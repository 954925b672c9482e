// The plug-in as a host of lilv's sees it: it is found in its bundle, refuses sample rates it cannot
// work at or without a URID map, passes its four inputs through unchanged, takes stray port connections
// without harm, publishes the level of a tone at its marker on its outputs, and applies its presets.
#include "LilvHost.h"
#include "tests/support/FloatingPointMode.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kBlock = 512;

class PluginHost : public ::testing::Test {
protected:
    void SetUp() override {
        world = lilv_world_new();
        plugin = loadAnalyzer(world);
        ASSERT_NE(plugin, nullptr) << "the bundle holds the plug-in";
    }
    void TearDown() override {
        if (instance) lilv_instance_free(instance);
        lilv_world_free(world);
    }

    LilvInstance* instantiate(double rate) { return lilv_plugin_instantiate(plugin, rate, urids.features); }
    uint32_t portIndex(const char* symbol) {
        LilvNode* name = lilv_new_string(world, symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, name);
        lilv_node_free(name);
        return port ? lilv_port_get_index(plugin, port) : UINT32_MAX;
    }
    // Every control input at its default, audio A..D and the outputs on buffers of this test.
    void connectAll() {
        connectControlDefaults(plugin, instance, controls);
        for (int k = 0; k < 4; ++k) {
            in[k].assign(kBlock, 0.0f);
            out[k].assign(kBlock, 7.0f);
            lilv_instance_connect_port(instance, uint32_t(k), in[k].data());
            lilv_instance_connect_port(instance, uint32_t(4 + k), out[k].data());
        }
    }

    // The instance's state as a host saves it, in Turtle; a state in Turtle given to the instance.
    std::string savedState() { return urids.saved(world, plugin, instance); }
    void restoreState(const std::string& text) { ASSERT_TRUE(urids.restore(world, instance, text)); }

    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    UridMap urids;
    std::vector<float> controls, in[4], out[4];
};

TEST_F(PluginHost, SampleRatesItCannotWorkAtAndHostsWithoutAUridMapAreRefused) {
    for (double rate : {0.0, -48000.0, 1.0, 1e9, std::numeric_limits<double>::quiet_NaN()}) {
        LilvInstance* refused = instantiate(rate);
        EXPECT_EQ(refused, nullptr) << rate;
        if (refused) lilv_instance_free(refused);
    }
    LilvInstance* withoutMap = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
    EXPECT_EQ(withoutMap, nullptr) << "its state needs the host's URID map";
    if (withoutMap) lilv_instance_free(withoutMap);
    instance = instantiate(44100.0);
    EXPECT_NE(instance, nullptr);
}

TEST_F(PluginHost, ATonePassesThroughExactlyAndItsLevelShowsAtTheMarker) {
    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    connectAll();
    lilv_instance_connect_port(instance, 999, &controls[0]);  // a port the plug-in does not have
    lilv_instance_activate(instance);
    // The marker sits at the display's first column, a low frequency: a tone there on A shows its
    // level on trace 1, while the silent B gives nothing on trace 2.
    auto runBlocks = [&](int blocks, double frequency) {
        static double phase = 0.0;
        bool exact = true;
        for (int block = 0; block < blocks; ++block) {
            for (uint32_t i = 0; i < kBlock; ++i, phase += 2 * M_PI * frequency / 48000.0) {
                in[0][i] = float(0.5 * std::sin(phase));
                in[2][i] = float(i) / kBlock - 0.5f;
            }
            lilv_instance_run(instance, kBlock);
            for (int k = 0; k < 4; ++k) exact = exact && std::memcmp(in[k].data(), out[k].data(), kBlock * 4) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the worker analyses
        }
        return exact;
    };
    EXPECT_TRUE(runBlocks(60, 1000.0)) << "the outputs carry the inputs unchanged";
    const float frequency = controls[portIndex("marker_frequency")];
    EXPECT_GT(frequency, 0.0f);
    EXPECT_LT(frequency, 100.0f) << "the first column of the display";
    EXPECT_TRUE(runBlocks(200, frequency));
    EXPECT_GT(controls[portIndex("marker_level_1")], -40.0f) << "trace 1 shows the tone on A";
    EXPECT_FLOAT_EQ(controls[portIndex("marker_level_2")], -66.66f) << "trace 2 shows the silent B";

    // Every control input unconnected: the plug-in runs on its defaults.
    for (uint32_t p = 8; p < lilv_plugin_get_num_ports(plugin); ++p) lilv_instance_connect_port(instance, p, nullptr);
    lilv_instance_run(instance, kBlock);
    lilv_instance_deactivate(instance);
}

// "Hz Stretch", which only the panel sets, is saved with the session and restored from it: a new
// instance given the saved state with another stretch saves that one in turn.
TEST_F(PluginHost, PanelOnlySettingsAreSavedAndRestored) {
    auto saved = [&] { return savedState(); };
    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    connectAll();
    lilv_instance_run(instance, kBlock);
    std::string stretched = saved();
    const size_t at = stretched.find("hzStretch> \"21\"");
    ASSERT_NE(at, std::string::npos) << stretched;
    lilv_instance_free(instance);

    stretched.replace(at, std::strlen("hzStretch> \"21\""), "hzStretch> \"100\"");
    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    connectAll();
    restoreState(stretched);
    lilv_instance_run(instance, kBlock);
    EXPECT_NE(saved().find("hzStretch> \"100\""), std::string::npos) << saved();
    // A state without the key (saved by an older version) restores the default.
    stretched.replace(stretched.find("hzStretch>"), std::strlen("hzStretch>"), "formerStretch>");
    restoreState(stretched);
    EXPECT_NE(saved().find("hzStretch> \"21\""), std::string::npos) << saved();

    // A host whose store refuses a value hears that the save failed.
    const auto* stateInterface =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    const LV2_State_Store_Function refusing = [](LV2_State_Handle, uint32_t, const void*, size_t, uint32_t, uint32_t) {
        return LV2_STATE_ERR_NO_SPACE;
    };
    EXPECT_EQ(stateInterface->save(lilv_instance_get_handle(instance), refusing, nullptr, 0, urids.features),
              LV2_STATE_ERR_NO_SPACE);
}

// A host may hand an output the buffer of any input (in place on its own channel or across channels):
// every output still carries its own input.
TEST_F(PluginHost, OutputsSharingTheInputsBuffersCarryTheirOwnInputs) {
    const int patterns[][4] = {{0, 1, 2, 3}, {1, 0, -1, -1}, {1, 2, 3, 0}, {-1, 0, -1, 2}, {3, 2, 1, 0}};
    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    connectAll();
    lilv_instance_activate(instance);
    for (const auto& pattern : patterns) {  // output k on input pattern[k]'s buffer (-1: its own)
        for (int k = 0; k < 4; ++k) {
            for (uint32_t i = 0; i < kBlock; ++i) in[k][i] = float(k + 1) + float(i) / kBlock;
            float* buffer = pattern[k] < 0 ? out[k].data() : in[pattern[k]].data();
            lilv_instance_connect_port(instance, uint32_t(4 + k), buffer);
        }
        lilv_instance_run(instance, kBlock);
        for (int k = 0; k < 4; ++k) {
            const float* got = pattern[k] < 0 ? out[k].data() : in[pattern[k]].data();
            for (uint32_t i = 0; i < kBlock; ++i)
                ASSERT_EQ(got[i], float(k + 1) + float(i) / kBlock)
                    << "output " << k << " of " << pattern[0] << pattern[1] << pattern[2] << pattern[3];
        }
    }
    lilv_instance_deactivate(instance);
}

// A host that unmasks floating-point traps makes and frees instances: nothing traps, and its mode is
// as it was. The marker frequency's declared range holds half the highest rate accepted.
TEST_F(PluginHost, InstancesAreMadeAndFreedInTheHostsFloatingPointModeAndTheMarkerRangeHoldsEveryRate) {
    unmaskFloatingPointTraps(true);
    const FloatingPointMode before = currentFloatingPointMode();
    for (double rate : {44100.0, 768000.0}) {
        LilvInstance* made = instantiate(rate);
        EXPECT_NE(made, nullptr);
        lilv_instance_free(made);
    }
    const FloatingPointMode after = currentFloatingPointMode();
    unmaskFloatingPointTraps(false);
    EXPECT_TRUE(before == after);
    std::vector<float> maximum(lilv_plugin_get_num_ports(plugin));
    lilv_plugin_get_port_ranges_float(plugin, nullptr, maximum.data(), nullptr);
    EXPECT_GE(maximum[portIndex("marker_frequency")], 384000.0f);
}

// A host's own callback that throws inside an entry (a URID map or a state's retrieve function of a
// host written in C++): the entry stops it and fails as LV2 lets it, and the host goes on.
TEST_F(PluginHost, ExceptionsFromTheHostsCallbacksDoNotCrossTheEntries) {
    struct Throwing {
        static LV2_URID map(LV2_URID_Map_Handle, const char*) { throw std::bad_alloc(); }
        static const void* retrieve(LV2_State_Handle, uint32_t, size_t*, uint32_t*, uint32_t*) {
            throw std::bad_alloc();
        }
    };
    LV2_URID_Map throwingMap{nullptr, &Throwing::map};
    LV2_Feature mapFeature{LV2_URID__map, &throwingMap};
    const LV2_Feature* throwingFeatures[] = {&mapFeature, nullptr};
    EXPECT_EQ(lilv_plugin_instantiate(plugin, 48000.0, throwingFeatures), nullptr);

    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_descriptor(instance)->extension_data(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    EXPECT_NE(state->restore(lilv_instance_get_handle(instance), &Throwing::retrieve, nullptr, 0, nullptr),
              LV2_STATE_SUCCESS);
}

// Each factory preset as a host's preset menu applies it, to an instance whose panel-only settings are
// elsewhere: its port values and its panel-only settings arrive, and no state change is announced
// back to the host.
TEST_F(PluginHost, EveryFactoryPresetAppliesItsPortsAndPanelOnlySettings) {
    struct Row {
        std::map<std::string, float> ports;
        std::vector<const char*> state;
    };
    std::map<std::string, Row> rows = {
        {"Defaults", {{{"spectrum", 1}, {"fft_size", 4096}}, {"dbMultiply> \"1", "hzStretch> \"21", "phasen> \"0"}}},
        {"Four spectra, 8192 points", {{{"spectrum", 1}, {"fft_size", 8192}}, {"dbMultiply> \"1", "phasen> \"0"}}},
        {"A against B (X*Y phase)",
         {{{"spectrum", 0}, {"input_2", 3}, {"input_3", 1}}, {"hzStretch> \"21", "phasen> \"1"}}},
        {"Time traces with trigger on A", {{{"spectrum", 0}, {"catcher", 1}, {"input_1", 2}}, {"phasen> \"0"}}},
    };
    instance = instantiate(48000.0);
    ASSERT_NE(instance, nullptr);
    connectAll();
    NotifyBuffer notify(urids.map);
    lilv_instance_connect_port(instance, kNotifyPortIndex, &notify.sequence);
    lilv_instance_run(instance, kBlock);
    std::string elsewhere = savedState();
    for (auto [from, to] : {std::pair{"dbMultiply> \"1", "dbMultiply> \"9"},
                            std::pair{"hzStretch> \"21", "hzStretch> \"50"}, std::pair{"phasen> \"0", "phasen> \"2"}})
        elsewhere.replace(elsewhere.find(from), std::strlen(from), to);
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
    using Self = std::remove_pointer_t<decltype(this)>;
    const auto setPort = [](const char* symbol, void* self, const void* value, uint32_t, uint32_t) {
        static_cast<Self*>(self)->controls[static_cast<Self*>(self)->portIndex(symbol)] =
            *static_cast<const float*>(value);
    };
    size_t applied = 0;
    LILV_FOREACH(nodes, i, presets) {
        lilv_world_load_resource(world, lilv_nodes_get(presets, i));
        LilvState* preset = lilv_state_new_from_world(world, &urids.map, lilv_nodes_get(presets, i));
        ASSERT_NE(preset, nullptr);
        SCOPED_TRACE(lilv_state_get_label(preset));
        ASSERT_EQ(rows.count(lilv_state_get_label(preset)), 1u) << "a preset of this test's table";
        const Row& row = rows[lilv_state_get_label(preset)];
        restoreState(elsewhere);
        for (const auto& [symbol, value] : row.ports) controls[portIndex(symbol.c_str())] = value + 1.0f;
        lilv_state_restore(preset, instance, setPort, this, 0, urids.features);
        lilv_state_free(preset);
        notify.prepare();
        lilv_instance_run(instance, kBlock);
        for (const auto& [symbol, value] : row.ports) EXPECT_EQ(controls[portIndex(symbol.c_str())], value) << symbol;
        const std::string text = savedState();
        for (const char* expected : row.state) EXPECT_NE(text.find(expected), std::string::npos) << expected;
        EXPECT_EQ(notify.stateChanges(), 0) << "the host's own change is not announced";
        ++applied;
    }
    EXPECT_EQ(applied, rows.size());
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
}

}  // namespace
