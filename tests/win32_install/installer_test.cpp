// The installer as a user runs it, silently: what it puts in place, the installed program's window,
// and what the uninstaller it registers takes away again.
#include "client/win32/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

const wchar_t* const UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hoshiwa";

std::wstring WindowsPath(const char* path) {
    std::wstring windows = L"Z:" + WideText::FromUtf8(path);
    std::replace(windows.begin(), windows.end(), L'/', L'\\');
    return windows;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SHGetKnownFolderPath(id, 0, nullptr, &path) == S_OK) {
        folder = path;
    }
    CoTaskMemFree(path);
    return folder;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Value(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, UninstallKey, name, RRF_RT_REG_SZ, nullptr, value,
                        &size) == ERROR_SUCCESS
               ? std::wstring(value)
               : std::wstring();
}

// Runs a command line and waits for it; its exit code, or -1.
int RunAndWait(std::wstring commandLine, std::chrono::milliseconds patience) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(patience.count())) ==
        WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

bool Within(std::chrono::milliseconds patience, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

TEST(Installer, SilentInstallPutsTheProgramInPlaceAndSilentUninstallTakesItAway) {
    const std::wstring folder = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Hoshiwa";
    const std::wstring shortcut = KnownFolder(FOLDERID_Programs) + L"\\Hoshiwa.lnk";
    ASSERT_EQ(RunAndWait(L"\"" + WindowsPath(HOSHIWA_SETUP) + L"\" /S", 120s), 0);

    for (const wchar_t* file : {L"hoshiwa.exe", L"README.txt", L"LICENSE.txt", L"uninstall.exe"}) {
        EXPECT_TRUE(Exists(folder + L"\\" + file)) << WideText::ToUtf8(file);
    }
    EXPECT_TRUE(Exists(shortcut));
    const std::wstring quiet = L"\"" + folder + L"\\uninstall.exe\" /S";
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayName", L"Hoshiwa"},
        {L"DisplayVersion", WideText::FromUtf8(HOSHIWA_VERSION)},
        {L"Publisher", L"The Hoshiwa developers"},
        {L"DisplayIcon", folder + L"\\hoshiwa.exe,0"},
        {L"UninstallString", L"\"" + folder + L"\\uninstall.exe\""},
        {L"QuietUninstallString", quiet}};
    for (const auto& [name, value] : values) {
        EXPECT_EQ(Value(name), value) << WideText::ToUtf8(name);
    }
    DWORD kilobytes = 0;
    DWORD size = sizeof kilobytes;
    RegGetValueW(HKEY_CURRENT_USER, UninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr,
                 &kilobytes, &size);
    EXPECT_GT(kilobytes, 100u);

    // The installed program starts and shows its window; closing it ends the program.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring program = L"\"" + folder + L"\\hoshiwa.exe\"";
    ASSERT_TRUE(CreateProcessW(nullptr, program.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND shown = nullptr;
    EXPECT_TRUE(Within(30s, [&] {
        shown = FindWindowW(L"HoshiwaMainWindow", L"Hoshiwa");
        DWORD owner = 0;
        GetWindowThreadProcessId(shown, &owner);
        return shown != nullptr && owner == process.dwProcessId && IsWindowVisible(shown);
    }));
    if (shown != nullptr) {
        PostMessageW(shown, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        ADD_FAILURE() << "the window closed, the program did not end";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    // The uninstaller runs on from a copy of itself, so that it can remove its own file.
    ASSERT_EQ(RunAndWait(quiet, 120s), 0);
    EXPECT_TRUE(Within(60s, [&] {
        return !Exists(folder) && !Exists(shortcut) && Value(L"DisplayName").empty();
    }));
}

} // namespace
