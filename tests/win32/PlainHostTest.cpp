// The DLL in a plain Windows host: a program that is not large-address-aware (2 GB of address space)
// and runs no message loop creates 256 instances with their windows, then destroys them all.
#include "host/ModuleLoader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <vector>

TEST(PlainHost, TwoHundredFiftySixWindowsFitAndGoWithoutAMessageLoop) {
    ModuleLoader module;
    ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error();
    const auto start = std::chrono::steady_clock::now();
    // Nothing is checked before every instance is gone: with the address space used up, even
    // reporting a failure might not find the memory it needs.
    std::vector<int32_t> handles;
    handles.reserve(256);
    int32_t refusal = 0, failedDestroys = 0, returned = 0;
    while (handles.size() < 256 && refusal == 0) {
        int32_t reply[2] = {-9, 0};
        module.command(1025, nullptr, 0, reply, 8, returned);  // create
        if (reply[0] == 0)
            handles.push_back(reply[1]);
        else
            refusal = reply[0];
    }
    for (int32_t handle : handles) {
        int32_t status = -9;
        module.command(1026, &handle, 4, &status, 4, returned);  // destroy
        failedDestroys += status != 0;
    }
    EXPECT_EQ(handles.size(), 256u) << "instances with windows that fit in 2 GB";
    EXPECT_TRUE(refusal == 0 || refusal == -1) << "a creation that does not fit reports " << refusal;
    EXPECT_EQ(failedDestroys, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), nullptr) << "every window went with its instance";
}
