// The audio thread of a host that runs the plug-in with four spectrum traces at 8192 points while its
// editor closes and opens again: counted with the C library's functions interposed by this program,
// which a race checker's own interposition would not survive (hence a program of its own).
#include "EditorHost.h"
#include "tests/support/CallCounters.h"

namespace {

// Four spectrum traces at 8192 points drawn into an editor that closes and opens again: the audio
// thread's runs neither allocate, lock, wait nor start threads.
TEST_F(PluginEditor, RunNeitherAllocatesLocksWaitsNorStartsThreadsWhileEditorsComeAndGo) {
    RunningInstance dsp(plugin);
    ASSERT_NE(dsp.instance, nullptr);
    dsp.controls[10] = 8192.0f;
    void* platform = dlopen(QANAGUI_LV2_BUNDLE "libqanagui-platform.so.0", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(platform, nullptr) << "the bundle's own platform library, loaded with the plug-in";
    const auto drawingCount = reinterpret_cast<unsigned long (*)()>(dlsym(platform, "PlatformWindow_drawingCount"));
    ASSERT_NE(drawingCount, nullptr);
    const Window parent = hostWindow();
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle editor = openEditor(dsp, parent, &widget);
    ASSERT_NE(editor, nullptr);
    idleFor(editor, 500);
    const unsigned long drawnBefore = drawingCount();
    dsp.countCalls = countCallsOnThisThread;
    dsp.counting = true;
    for (int round = 0; round < 4; ++round) {
        idleFor(editor, 400);
        ui->cleanup(editor);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        editor = openEditor(dsp, parent, &widget);
        ASSERT_NE(editor, nullptr);
    }
    idleFor(editor, 400);
    dsp.counting = false;
    const unsigned long drawn = drawingCount() - drawnBefore;
    ui->cleanup(editor);
    dlclose(platform);
    EXPECT_EQ(countedCalls(), CallCounts{});
    EXPECT_GT(drawn, 20u) << "the counted runs include analyses drawn into the editors";
    XDestroyWindow(display, parent);
}

}  // namespace
