// The DLL as a Windows host and the Windows loader see it: a 32-bit x86 image whose export table
// holds exactly the control function under its plain name, and whose imports are all system DLLs
// (the C++ runtime, winpthreads and zlib are linked in).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
    HMODULE module = LoadLibraryA(QANAGUI_MODULE_PATH);
    ~Image() {
        if (module) FreeLibrary(module);
    }

    const BYTE* base() const { return reinterpret_cast<const BYTE*>(module); }
    const IMAGE_NT_HEADERS32* headers() const {
        return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base() +
                                                           reinterpret_cast<const IMAGE_DOS_HEADER*>(base())->e_lfanew);
    }
    template <typename T>
    const T* at(DWORD rva) const {
        return reinterpret_cast<const T*>(base() + rva);
    }
    const IMAGE_DATA_DIRECTORY& directory(int entry) const { return headers()->OptionalHeader.DataDirectory[entry]; }

    std::vector<std::string> exportNames() const {
        std::vector<std::string> names;
        const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
        const auto* nameRvas = at<DWORD>(exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(at<char>(nameRvas[i]));
        names.push_back("functions: " + std::to_string(exports->NumberOfFunctions));
        return names;
    }

    std::vector<std::string> importedDlls() const {
        std::vector<std::string> names;
        for (const auto* d = at<IMAGE_IMPORT_DESCRIPTOR>(directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
             d->Name; ++d)
            names.emplace_back(at<char>(d->Name));
        return names;
    }
};

}  // namespace

TEST(DllFile, IsA32BitX86Dll) {
    Image image;
    ASSERT_NE(image.module, nullptr);
    EXPECT_EQ(image.headers()->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(image.headers()->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(image.headers()->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
}

TEST(DllFile, ExportsExactlyTheControlFunctionUndecorated) {
    Image image;
    ASSERT_NE(image.module, nullptr);
    const std::vector<std::string> expected = {"DARAZE_W32_DeviceIOControl", "functions: 1"};
    EXPECT_EQ(image.exportNames(), expected);
}

TEST(DllFile, ImportsOnlySystemDlls) {
    Image image;
    ASSERT_NE(image.module, nullptr);
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    const std::vector<std::string> dlls = image.importedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        EXPECT_NE(GetFileAttributesA((std::string(system) + "\\" + dll).c_str()), INVALID_FILE_ATTRIBUTES)
            << dll << " is not a system DLL";
        EXPECT_NE(_strnicmp(dll.c_str(), "lib", 3), 0) << dll;
        EXPECT_NE(_stricmp(dll.c_str(), "zlib1.dll"), 0);
    }
}
