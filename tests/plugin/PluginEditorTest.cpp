// The plug-in's editor as a host opens it: the instance found through instance-access, the window
// put inside the host's window, pumped through idle(), closed and opened again while the audio
// thread keeps running the instance; two instances with their editors at once. The host's window is
// a plain X window of this test.
#include "EditorHost.h"
#include "host/ThreadCount.h"
#include "tests/support/XInput.h"

#include <memory>

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

}  // namespace
