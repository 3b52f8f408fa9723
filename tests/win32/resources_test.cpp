// The resources of the program users get, read back from hoshiwa.exe itself, and the icons the
// window shows (the tests carry the same resources).
#include "tests/win32/window_fixture.h"

#include "client/win32/dpi.h"
#include "client/win32/resources.h"
#include "client/win32/wide_text.h"

#include <algorithm>
#include <memory>

namespace {

std::wstring ProgramPath() {
    std::wstring path = L"Z:" + WideText::FromUtf8(HOSHIWA_EXE);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string Resource(HMODULE module, LPCWSTR type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return found == nullptr ? std::string() : std::string(data, SizeofResource(module, found));
}

TEST(ProgramResources, IconVersionAndManifestAreInTheProgram) {
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module(
        LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), &FreeLibrary);
    ASSERT_NE(module.get(), nullptr);

    // The icon group: a header of three words, then 14 bytes an image, its width first (0: 256).
    const std::string icons = Resource(module.get(), RT_GROUP_ICON, HOSHIWA_ICON);
    ASSERT_GE(icons.size(), 6u);
    std::string widths;
    for (std::size_t entry = 6; entry + 14 <= icons.size(); entry += 14) {
        const int width = static_cast<unsigned char>(icons[entry]);
        widths += std::to_string(width == 0 ? 256 : width) + " ";
    }
    EXPECT_EQ(widths, "16 20 24 32 40 48 64 96 128 256 ");

    const std::wstring path = ProgramPath();
    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT size = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueW(version.data(), query.c_str(), reinterpret_cast<void**>(&value),
                              &size)
                   ? WideText::ToUtf8(value)
                   : std::string();
    };
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)),
              HOSHIWA_VERSION);
    EXPECT_EQ(text(L"ProductVersion"), HOSHIWA_VERSION);
    EXPECT_EQ(text(L"ProductName"), "Hoshiwa");
    EXPECT_EQ(text(L"OriginalFilename"), "hoshiwa.exe");

    const std::string manifest = Resource(module.get(), RT_MANIFEST, 1);
    for (const char* part :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>", "true/pm</dpiAware>"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

using WindowIcons = Win32WindowFixture;

TEST_F(WindowIcons, CaptionAndTaskbarShowTheProgramsIconAtTheWindowsScale) {
    const int dpi = Dpi::OfWindow(window.Handle());
    for (const auto& [which, metric] :
         {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(
            reinterpret_cast<HICON>(SendMessageW(window.Handle(), WM_GETICON, which, 0)), &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(colour.bmWidth, Dpi::SystemMetric(metric, dpi));
    }
}

} // namespace
