// A host of the plug-in's editor for the tests: a DSP instance run by an audio thread of its own, and
// the editor half taken from the plug-in's own binary (as hosts do), put inside a plain X window of
// the test's and pumped through idle().
#pragma once

#include "LilvHost.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

constexpr uint32_t kBlock = 256;

// A DSP instance run by an audio thread of its own (from start() on, unless it starts at once): a
// 1 kHz tone on A, every control at its default, the state changes it announces on its notify port
// counted.
struct RunningInstance {
    explicit RunningInstance(const LilvPlugin* plugin, bool startNow = true) {
        instance = lilv_plugin_instantiate(plugin, 48000.0, urids.features);
        if (!instance) return;
        connectControlDefaults(plugin, instance, controls);
        lilv_instance_connect_port(instance, kNotifyPortIndex, &notify.sequence);
        for (int k = 0; k < 4; ++k) {
            lilv_instance_connect_port(instance, uint32_t(k), in[k]);
            lilv_instance_connect_port(instance, uint32_t(4 + k), out[k]);
        }
        lilv_instance_activate(instance);
        if (startNow) start();
    }
    void start() {
        audio = std::thread([this] {
            double phase = 0.0;
            while (!stop) {
                for (uint32_t i = 0; i < kBlock; ++i, phase += 2 * M_PI * 1000.0 / 48000.0)
                    in[0][i] = float(0.5 * std::sin(phase));
                notify.prepare();
                if (countCalls) countCalls(counting);
                lilv_instance_run(instance, kBlock);
                if (countCalls) countCalls(false);
                stateChanges += notify.stateChanges();
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
    UridMap urids;
    NotifyBuffer notify{urids.map};
    std::atomic<int> stateChanges{0};
    LilvInstance* instance = nullptr;
    std::vector<float> controls;
    float in[4][kBlock] = {}, out[4][kBlock] = {};
    std::atomic<bool> stop{false}, counting{false};
    void (*countCalls)(bool on) = nullptr;  // told around each run: whether to count its calls
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
        LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        const LV2_Feature* features[] = {&access, &parentFeature, &resizeFeature, nullptr};
        return ui->instantiate(ui, "urn:qanagui:analyzer", QANAGUI_LV2_BUNDLE, &PluginEditor::write, this, widget,
                               features);
    }
    void idleFor(LV2UI_Handle editor, int ms) {
        for (int i = 0; i < ms / 5; ++i) {
            idle->idle(editor);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Pixels of trace 1's green in the display of the editor's window.
    int greenPixels(Window editor) {
        XImage* image = XGetImage(display, editor, 14, 45, 1024, 400, AllPlanes, ZPixmap);
        if (image == nullptr) return 0;
        int count = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 1024; ++x) count += XGetPixel(image, x, y) == 0x00FF00;
        XDestroyImage(image);
        return count;
    }
    bool isMapped(Window window) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
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
        if (size == sizeof(float)) test->lastValue = *static_cast<const float*>(value);
        if (size == sizeof(float) && test->written != nullptr)
            (*test->written)[port] = *static_cast<const float*>(value);
    }

    Display* display = nullptr;
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    void* binary = nullptr;
    const LV2UI_Descriptor* ui = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    int writes = 0;
    uint32_t lastPort = 0;
    float lastValue = 0.0f;
    std::vector<float>* written = nullptr;
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle self, int width, int height) {  // as a host keeps it
                            static_cast<PluginEditor*>(self)->reportedSize = {width, height};
                            return 0;
                        }};
    std::pair<int, int> reportedSize{0, 0};
};
