// The resources of the program users get, read back from hoshiwa.exe itself, and the icons the
// window shows (the tests carry the same resources).
#include "tests/win32/window_fixture.h"

#include "client/win32/dpi.h"
#include "client/win32/resources.h"
#include "client/win32/wide_text.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring ProgramPath() {
    std::wstring path = L"Z:" + WideText::FromUtf8(HOSHIWA_EXE);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width; // 0 for 256
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroup {
    WORD reserved;
    WORD type;
    WORD count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(module.get(), nullptr) << WideText::ToUtf8(ProgramPath()); }

    std::string Resource(LPCWSTR type, int id) {
        HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return {};
        }
        const auto* data =
            static_cast<const char*>(LockResource(LoadResource(module.get(), found)));
        return std::string(data, SizeofResource(module.get(), found));
    }

    std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module{
        LoadLibraryExW(ProgramPath().c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE),
        &FreeLibrary};
};

TEST_F(ProgramResources, TheFirstIconHoldsEverySizeFrom16To256Pixels) {
    const std::string group = Resource(RT_GROUP_ICON, HOSHIWA_ICON);
    ASSERT_GE(group.size(), sizeof(IconGroup));
    const auto* header = reinterpret_cast<const IconGroup*>(group.data());
    std::vector<int> sizes;
    for (WORD index = 0; index < header->count; ++index) {
        const IconGroupEntry& entry = header->entries[index];
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
        EXPECT_EQ(entry.bitCount, 32);
    }
    for (const int size : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256}) {
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), size), sizes.end()) << size;
    }
    // Explorer shows the icon group that comes first.
    WORD first = 0;
    EnumResourceNamesW(
        module.get(), RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            *reinterpret_cast<WORD*>(found) = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, HOSHIWA_ICON);
}

TEST_F(ProgramResources, VersionInformationCarriesTheProjectsVersion) {
    const std::wstring path = ProgramPath();
    std::vector<char> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, HOSHIWA_VERSION);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT size = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)
                   ? WideText::ToUtf8(value)
                   : std::string();
    };
    EXPECT_EQ(text(L"ProductVersion"), HOSHIWA_VERSION);
    EXPECT_EQ(text(L"FileVersion"), HOSHIWA_VERSION);
    EXPECT_EQ(text(L"ProductName"), "Hoshiwa");
    EXPECT_EQ(text(L"OriginalFilename"), "hoshiwa.exe");
    EXPECT_NE(text(L"FileDescription").find("IRC client"), std::string::npos);
    EXPECT_NE(text(L"LegalCopyright").find("Copyright"), std::string::npos);
}

TEST_F(ProgramResources, ManifestAsksForVisualStylesAndPerMonitorScaling) {
    const std::string manifest = Resource(RT_MANIFEST, 1);
    for (const char* part :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
          "PerMonitorV2, PerMonitor</dpiAwareness>",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm",
          "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", "level=\"asInvoker\""}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

using WindowIcons = Win32WindowFixture;

TEST_F(WindowIcons, CaptionAndTaskbarShowTheProgramsIconAtTheWindowsScale) {
    const int dpi = Dpi::OfWindow(window.Handle());
    for (const auto& [which, metric] :
         {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
        auto* icon = reinterpret_cast<HICON>(SendMessageW(window.Handle(), WM_GETICON, which, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(colour.bmWidth, Dpi::SystemMetric(metric, dpi));
        EXPECT_EQ(colour.bmBitsPixel, 32);
    }
}

} // namespace
