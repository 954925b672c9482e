// The plug-in's editor as a host opens it: the instance found through instance-access, the window
// put inside the host's window, pumped through idle(), closed and opened again while the audio
// thread keeps running the instance; two instances with their editors at once. The host's window is
// a plain X window of this test; the editor half is taken from the plug-in's own binary, as hosts do.
#include "LilvHost.h"
#include "host/ThreadCount.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines None.
#include "tests/support/XInput.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kBlock = 256;

// A DSP instance run by an audio thread of its own: a 1 kHz tone on A, every control at its default.
struct RunningInstance {
    explicit RunningInstance(const LilvPlugin* plugin) {
        instance = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
        if (!instance) return;
        connectControlDefaults(plugin, instance, controls);
        for (int k = 0; k < 4; ++k) {
            lilv_instance_connect_port(instance, uint32_t(k), in[k]);
            lilv_instance_connect_port(instance, uint32_t(4 + k), out[k]);
        }
        lilv_instance_activate(instance);
        audio = std::thread([this] {
            double phase = 0.0;
            while (!stop) {
                for (uint32_t i = 0; i < kBlock; ++i, phase += 2 * M_PI * 1000.0 / 48000.0)
                    in[0][i] = float(0.5 * std::sin(phase));
                lilv_instance_run(instance, kBlock);
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    ~RunningInstance() {
        stop = true;
        if (audio.joinable()) audio.join();
        if (instance) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    LilvInstance* instance = nullptr;
    std::vector<float> controls;
    float in[4][kBlock] = {}, out[4][kBlock] = {};
    std::atomic<bool> stop{false};
    std::thread audio;
};

class PluginEditor : public ::testing::Test {
protected:
    void SetUp() override {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) GTEST_SKIP() << "no display";
        world = lilv_world_new();
        plugin = loadAnalyzer(world);
        ASSERT_NE(plugin, nullptr);
        binary = dlopen(QANAGUI_LV2_BUNDLE "qanagui_lv2.so", RTLD_NOW);
        ASSERT_NE(binary, nullptr) << dlerror();
        auto uiDescriptor = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(binary, "lv2ui_descriptor"));
        ASSERT_NE(uiDescriptor, nullptr);
        ui = uiDescriptor(0);
        ASSERT_NE(ui, nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
    }
    void TearDown() override {
        if (world) lilv_world_free(world);
        if (binary) dlclose(binary);
        if (display) XCloseDisplay(display);
    }

    Window hostWindow() {
        const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1100, 600, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
        return window;
    }
    LV2UI_Handle openEditor(RunningInstance& dsp, Window parent, LV2UI_Widget* widget) {
        LV2_Feature access{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(dsp.instance)};
        LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature* features[] = {&access, &parentFeature, nullptr};
        return ui->instantiate(ui, "urn:qanagui:analyzer", QANAGUI_LV2_BUNDLE, &PluginEditor::write, this, widget,
                               features);
    }
    void idleFor(LV2UI_Handle editor, int ms) {
        for (int i = 0; i < ms / 5; ++i) {
            idle->idle(editor);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::vector<Window> children(Window parent) {
        Window root = 0, up = 0, *list = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &list, &count);
        std::vector<Window> result(list, list + count);
        if (list) XFree(list);
        return result;
    }
    // As a host does: the port takes the value.
    static void write(LV2UI_Controller self, uint32_t port, uint32_t size, uint32_t, const void* value) {
        auto* test = static_cast<PluginEditor*>(self);
        ++test->writes;
        test->lastPort = port;
        if (size == sizeof(float) && test->written != nullptr) (*test->written)[port] = *static_cast<const float*>(value);
    }

    Display* display = nullptr;
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    void* binary = nullptr;
    const LV2UI_Descriptor* ui = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    int writes = 0;
    uint32_t lastPort = 0;
    std::vector<float>* written = nullptr;
};

TEST_F(PluginEditor, OpensInsideTheHostsWindowAgainAndAgainWhileTheInstanceRuns) {
    RunningInstance dsp(plugin);
    ASSERT_NE(dsp.instance, nullptr);
    written = &dsp.controls;
    const Window parent = hostWindow();
    const int threadsBefore = threadCount();
    int threadsWhileOpen = 0;
    for (int round = 0; round < 20; ++round) {
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle editor = openEditor(dsp, parent, &widget);
        ASSERT_NE(editor, nullptr) << round;
        idleFor(editor, round == 0 ? 500 : 50);
        const std::vector<Window> inside = children(parent);
        ASSERT_EQ(inside.size(), 1u) << round;
        EXPECT_EQ(inside[0], Window(reinterpret_cast<uintptr_t>(widget))) << "the editor's window is the widget";
        if (round == 0) {
            threadsWhileOpen = threadCount();
            EXPECT_EQ(writes, 0) << "opening the editor changes no port";
            // The user turns "Time/Frequency_Select" off: the port follows the panel.
            xinput::moveTo(display, inside[0], 267, 494);
            xinput::button(display, 1, true);
            idleFor(editor, 50);
            xinput::button(display, 1, false);
            idleFor(editor, 300);
            EXPECT_EQ(writes, 1);
            EXPECT_EQ(lastPort, 8u) << "the spectrum port";
            EXPECT_EQ(dsp.controls[8], 0.0f);
            // The host's automation picks another window: the panel follows without writing.
            dsp.controls[12] = 3.0f;
            idleFor(editor, 300);
            EXPECT_EQ(writes, 1) << "a value from the host is not written back";
        }
        ui->cleanup(editor);
        EXPECT_TRUE(children(parent).empty()) << round;
    }
    EXPECT_EQ(writes, 1) << "opening the editor again changes no port";
    EXPECT_GE(threadsWhileOpen, threadsBefore);
    EXPECT_EQ(threadCount(), threadsBefore) << "no thread of an editor is left behind";
    XDestroyWindow(display, parent);
}

TEST_F(PluginEditor, TwoInstancesShowTheirEditorsAtOnceAndAnEditorOutlivesItsInstance) {
    auto firstInstance = std::make_unique<RunningInstance>(plugin);
    RunningInstance& first = *firstInstance;
    RunningInstance second(plugin);
    ASSERT_NE(first.instance, nullptr);
    ASSERT_NE(second.instance, nullptr);
    const Window parents[2] = {hostWindow(), hostWindow()};
    LV2UI_Widget widgets[2] = {};
    LV2UI_Handle editors[2] = {openEditor(first, parents[0], &widgets[0]), openEditor(second, parents[1], &widgets[1])};
    ASSERT_NE(editors[0], nullptr);
    ASSERT_NE(editors[1], nullptr);
    EXPECT_NE(widgets[0], widgets[1]);
    LV2UI_Widget again = nullptr;
    EXPECT_EQ(openEditor(first, parents[0], &again), nullptr) << "one editor per instance";
    for (int i = 0; i < 40; ++i) {
        idleFor(editors[0], 5);
        idleFor(editors[1], 5);
    }
    for (int k = 0; k < 2; ++k) EXPECT_EQ(children(parents[k]).size(), 1u) << k;
    // The host frees the first instance before its editor: the window goes with the instance, and the
    // editor does nothing more until it is cleaned up.
    firstInstance.reset();
    EXPECT_TRUE(children(parents[0]).empty());
    EXPECT_NE(idle->idle(editors[0]), 0) << "the editor says it is closed";
    ui->cleanup(editors[0]);
    idleFor(editors[1], 50);
    EXPECT_EQ(children(parents[1]).size(), 1u) << "the other editor stays";
    ui->cleanup(editors[1]);
    for (Window parent : parents) XDestroyWindow(display, parent);
}

}  // namespace
