#include "ModuleFixture.h"

#include <algorithm>
#include <cstring>

int32_t CommandResult::word(size_t i) const {
    int32_t w;
    std::memcpy(&w, out.data() + 4 * i, 4);
    return w;
}

void ModuleTest::SetUp() { ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error(); }

void ModuleTest::TearDown() {
    const std::vector<int32_t> live = created;  // destroy() edits `created`
    for (int32_t handle : live) EXPECT_EQ(destroy(handle), 0);
    EXPECT_TRUE(created.empty());
    module.unload();
}

CommandResult ModuleTest::run(int32_t code, std::vector<int32_t> inWords, int32_t outBytes,
                              std::optional<int32_t> inBytes) {
    CommandResult r;
    r.out.assign(size_t(std::max<int32_t>(outBytes, 4)) + 16, kUntouched);
    if (!inBytes) inBytes = int32_t(inWords.size() * 4);
    if (inWords.empty()) inWords.push_back(0);  // a valid pointer even for commands without input
    r.bytesReturned = 12345;
    r.result = module.command(code, inWords.data(), *inBytes, r.out.data(), outBytes, r.bytesReturned);
    return r;
}

int32_t ModuleTest::create() {
    CommandResult r = run(kCreateInstance, {}, 8);
    EXPECT_EQ(r.word(0), 0);
    if (r.word(0) == 0) created.push_back(r.word(1));
    return r.word(1);
}

int32_t ModuleTest::destroy(int32_t handle) {
    CommandResult r = run(kDestroyInstance, {handle}, 4);
    if (r.word(0) == 0) created.erase(std::remove(created.begin(), created.end(), handle), created.end());
    return r.word(0);
}

std::array<uint32_t, 5> ModuleTest::entryPoints() {
    CommandResult r = run(kGetEntryPoints, {}, 24);
    EXPECT_EQ(r.word(0), 0);
    std::array<uint32_t, 5> words{};
    for (size_t i = 0; i < 5; ++i) words[i] = uint32_t(r.word(1 + i));
    return words;
}
