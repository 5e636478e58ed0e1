// The start-up shortcut on real files, a temporary folder standing in for the Startup folder.
// The backup and the real Startup folder are exercised end to end (tests/e2e/test_settings.py).
#include "storage/Backup.h"

#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- The start-up shortcut -----------------------------------------------------------------

struct ComScope {
    ComScope() : started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (started)
            CoUninitialize();
    }
    bool started;
};

struct LinkContent {
    bool loaded = false;
    std::wstring target;
    std::wstring description;
};

// Reads a shortcut back through the shell's own link object.
LinkContent ReadLink(const std::wstring& path) {
    LinkContent content;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return content;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH * 4] = {};
            content.loaded = true;
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 4, nullptr, SLGP_RAWPATH)))
                content.target = buffer;
            buffer[0] = L'\0';
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 4)))
                content.description = buffer;
        }
        file->Release();
    }
    link->Release();
    return content;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A fresh folder under the temporary folder that stands in for the Startup folder.
struct ShortcutTest : testing::Test {
    ComScope com;
    std::wstring folder;
    std::wstring shortcut;

    void SetUp() override {
        ASSERT_TRUE(com.started);
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        folder = std::wstring(temp) + L"nomaclip-startup-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        shortcut = StartupShortcutPathIn(folder);
    }
    void TearDown() override {
        DeleteFileW(shortcut.c_str());
        RemoveDirectoryW(shortcut.c_str());
        DeleteFileW((folder + L"\\other.exe").c_str());
        RemoveDirectoryW(folder.c_str());
    }
};

TEST_F(ShortcutTest, PathIsTheFolderAndTheShortcutName) {
    EXPECT_EQ(StartupShortcutPathIn(L"C:\\Users\\me\\Startup"), L"C:\\Users\\me\\Startup\\Nomaclip.lnk");
    EXPECT_EQ(StartupShortcutPathIn(L""), L""); // no Startup folder: no path at all
    EXPECT_FALSE(ShortcutFileExists(L""));
    EXPECT_FALSE(WriteStartupShortcut(L"", RunningExecutablePath()));
}

TEST_F(ShortcutTest, WrittenLinkPointsAtItsTargetAndIsReplacedByTheNextOne) {
    const std::wstring exe = RunningExecutablePath();
    ASSERT_TRUE(IsFile(exe));
    EXPECT_FALSE(ShortcutFileExists(shortcut));

    ASSERT_TRUE(WriteStartupShortcut(shortcut, exe));
    EXPECT_TRUE(ShortcutFileExists(shortcut));
    LinkContent link = ReadLink(shortcut);
    ASSERT_TRUE(link.loaded);
    EXPECT_TRUE(SamePath(link.target, exe)) << ToUtf8(link.target);
    EXPECT_EQ(link.description, L"Nomaclip 自動起動");

    // The program moved: the shortcut is rewritten with the new place.
    const std::wstring moved = folder + L"\\other.exe";
    PutFile(moved, "MZ");
    ASSERT_TRUE(WriteStartupShortcut(shortcut, moved));
    link = ReadLink(shortcut);
    EXPECT_TRUE(SamePath(link.target, moved)) << ToUtf8(link.target);

    DeleteShortcutFile(shortcut);
    EXPECT_FALSE(ShortcutFileExists(shortcut));
    EXPECT_FALSE(IsFile(shortcut));
}

TEST_F(ShortcutTest, FolderOfTheShortcutsNameIsNeitherOnNorDeleted) {
    ASSERT_TRUE(CreateDirectoryW(shortcut.c_str(), nullptr));
    EXPECT_FALSE(ShortcutFileExists(shortcut));
    DeleteShortcutFile(shortcut);
    EXPECT_TRUE(IsFolder(shortcut));
    EXPECT_FALSE(WriteStartupShortcut(shortcut, RunningExecutablePath()));
    EXPECT_TRUE(IsFolder(shortcut));
}

} // namespace
