// The plug-in's editor as a host opens it: the instance found through instance-access, the window
// put inside the host's window, pumped through idle(), closed and opened again while the audio
// thread keeps running the instance; two instances with their editors at once. The host's window is
// a plain X window of this test.
#include "EditorHost.h"
#include "host/ThreadCount.h"
#include "tests/support/XInput.h"

#include <cctype>
#include <memory>
#include <string>

namespace {

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
            XWindowAttributes shown{};
            XGetWindowAttributes(display, inside[0], &shown);
            EXPECT_EQ(reportedSize, std::make_pair(shown.width, shown.height)) << "the editor told the host its size";
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
            EXPECT_EQ(dsp.stateChanges, 0) << "no setting kept only as state changed";
            // A right-button drag 20 pixels up raises "dB Multiply", which only the state keeps.
            xinput::moveTo(display, inside[0], 311, 241);
            xinput::button(display, 3, true);
            xinput::moveTo(display, inside[0], 311, 221);
            xinput::button(display, 3, false);
            idleFor(editor, 300);
            EXPECT_EQ(dsp.stateChanges, 1);
            EXPECT_EQ(writes, 1) << "no port carries it";
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

// What a host does around an open editor, and what its user then sees: one row each.
class HostAndEditor : public PluginEditor {
protected:
    void click(Window window, int x, int y, int button = 1) {
        xinput::moveTo(display, window, x, y);
        xinput::button(display, button, true);
        pump(50);
        xinput::button(display, button, false);
        pump(300);
    }
    void pump(int ms) { idleFor(editor, ms); }
    LV2UI_Handle reopen(RunningInstance& dsp, Window parent) {
        if (editor != nullptr) ui->cleanup(editor);
        LV2UI_Widget widget = nullptr;
        editor = openEditor(dsp, parent, &widget);
        window = Window(reinterpret_cast<uintptr_t>(widget));
        return editor;
    }
    void TearDown() override {
        if (editor != nullptr) ui->cleanup(editor);
        PluginEditor::TearDown();
    }

public:
    // Hold clicked on "V.O.R.K.", the editor closed and opened again: the traces run.
    void closingReleasesTheHold() {
        RunningInstance dsp(plugin);
        const Window parent = hostWindow();
        ASSERT_NE(reopen(dsp, parent), nullptr);
        pump(500);
        click(window, 536, 506);
        reopen(dsp, parent);
        int green = 0;
        for (int i = 0; i < 60 && green == 0; ++i, pump(50)) green = greenPixels(window);
        EXPECT_GT(green, 0) << "the display stays held after the editor closed";
    }
    // A state restored while the editor is open: the panel's "dB Multiply" moves on from it.
    void aRestoredStateReachesTheOpenPanel() {
        RunningInstance dsp(plugin);
        const Window parent = hostWindow();
        ASSERT_NE(reopen(dsp, parent), nullptr);
        pump(300);
        std::string state = dsp.urids.saved(world, plugin, dsp.instance);
        const size_t at = state.find("dbMultiply> \"1\"");
        ASSERT_NE(at, std::string::npos) << state;
        ASSERT_TRUE(dsp.urids.restore(world, dsp.instance, state.replace(at, 15, "dbMultiply> \"20\"")));
        pump(100);
        // Up by 45 pixels with the right button: three steps up from what the slider shows.
        xinput::moveTo(display, window, 500, 300);
        xinput::button(display, 3, true);
        pump(50);
        xinput::moveTo(display, window, 500, 255);
        pump(100);
        xinput::button(display, 3, false);
        pump(300);
        EXPECT_NE(dsp.urids.saved(world, plugin, dsp.instance).find("dbMultiply> \"23\""), std::string::npos)
            << dsp.urids.saved(world, plugin, dsp.instance);
    }
    // In a window of its own: the host's hide() holds while the instance runs, the "X" closes the
    // editor (idle() says so), and show() brings it back.
    void itsOwnWindowFollowsTheHostAndItsXCloses() {
        RunningInstance dsp(plugin, false);
        ASSERT_NE(reopen(dsp, 0), nullptr);
        const auto* showing = static_cast<const LV2UI_Show_Interface*>(ui->extension_data(LV2_UI__showInterface));
        ASSERT_NE(showing, nullptr);
        showing->hide(editor);
        dsp.start();
        pump(300);
        EXPECT_FALSE(isMapped(window)) << "the engine showed the window the host hid";
        showing->show(editor);
        pump(300);
        ASSERT_TRUE(isMapped(window));
        click(window, 1049, 16);  // the title bar's "X"
        EXPECT_NE(idle->idle(editor), 0) << "the editor says it was closed";
        EXPECT_FALSE(isMapped(window));
        showing->show(editor);
        EXPECT_EQ(idle->idle(editor), 0);
        pump(300);
        EXPECT_TRUE(isMapped(window));
    }
    // The host tells the editor a port's value while it does not run the instance: the panel shows it
    // (a click on "Time/Frequency_Select" then turns the spectrum off, not on).
    void portValuesReachTheEditorWithoutRuns() {
        RunningInstance dsp(plugin, false);
        written = &dsp.controls;
        ASSERT_NE(reopen(dsp, hostWindow()), nullptr);
        const float spectrum = 1.0f;
        ui->port_event(editor, 8, sizeof spectrum, 0, &spectrum);
        pump(300);
        click(window, 267, 494);
        EXPECT_EQ(writes, 1);
        EXPECT_EQ(lastPort, 8u);
        EXPECT_EQ(lastValue, 0.0f);
    }

    LV2UI_Handle editor = nullptr;
    Window window = 0;
};

struct EditorRow {
    const char* what;
    void (HostAndEditor::*run)();
};

class EditorRows : public HostAndEditor, public ::testing::WithParamInterface<EditorRow> {};

TEST_P(EditorRows, WhatTheHostDoesReachesTheEditor) { (this->*GetParam().run)(); }

INSTANTIATE_TEST_SUITE_P(
    Table, EditorRows,
    ::testing::Values(EditorRow{"closing releases the hold", &HostAndEditor::closingReleasesTheHold},
                      EditorRow{"a restored state", &HostAndEditor::aRestoredStateReachesTheOpenPanel},
                      EditorRow{"its own window", &HostAndEditor::itsOwnWindowFollowsTheHostAndItsXCloses},
                      EditorRow{"port values without runs", &HostAndEditor::portValuesReachTheEditorWithoutRuns}),
    [](const ::testing::TestParamInfo<EditorRow>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        return name;
    });

}  // namespace
