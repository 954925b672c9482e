// The built module file exports exactly one symbol, and it is a 32-bit object.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> commandLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) lines.emplace_back(line);
    pclose(pipe);
    return lines;
}

}  // namespace

TEST(ModuleFile, ExportsExactlyTheControlFunction) {
    const auto lines = commandLines(std::string("nm -D --defined-only ") + QANAGUI_MODULE_PATH);
    ASSERT_EQ(lines.size(), 1u) << "defined dynamic symbols: " << lines.size();
    EXPECT_NE(lines[0].find(" T DARAZE_W32_DeviceIOControl"), std::string::npos) << lines[0];
}

TEST(ModuleFile, IsA32BitSharedObject) {
    FILE* file = std::fopen(QANAGUI_MODULE_PATH, "rb");
    ASSERT_NE(file, nullptr);
    unsigned char header[20] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
    std::fclose(file);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header + 1), 3), "ELF");
    EXPECT_EQ(header[4], 1) << "ELFCLASS32";
    EXPECT_EQ(header[16], 3) << "ET_DYN";
    EXPECT_EQ(header[18], 3) << "EM_386";
}
