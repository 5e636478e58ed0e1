// The backup folder and the start-up shortcut, on real files: a temporary folder stands in for
// the Startup folder, and one test goes through the user's real Startup folder.
#include "storage/Backup.h"

#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace {

const wchar_t* const kDataFiles[] = {L"history.ini", L"settings.ini", L"templates.txt", L"templates2.txt",
                                     L"templates3.txt"};

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The data files and the backup folder beside the test program, removed before and after.
struct BackupTest : testing::Test {
    const std::wstring folder = DataFilePath(L"backup");

    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        for (const wchar_t* name : kDataFiles) {
            DeleteFileW(DataFilePath(name).c_str());
            DeleteFileW((folder + L"\\" + name).c_str());
        }
        RemoveDirectoryW(folder.c_str());
        DeleteFileW(folder.c_str());
    }
    void WriteDataFiles(const std::string& tag) {
        for (const wchar_t* name : kDataFiles)
            PutFile(DataFilePath(name), tag + ToUtf8(name));
    }
};

TEST_F(BackupTest, CopiesAllFiveAndOverwritesAnEarlierBackup) {
    WriteDataFiles("first ");
    ASSERT_TRUE(BackupData());
    WriteDataFiles("second ");
    ASSERT_TRUE(BackupData());
    for (const wchar_t* name : kDataFiles)
        EXPECT_EQ(FileBytes(folder + L"\\" + name), "second " + ToUtf8(name));
}

TEST_F(BackupTest, MissingFileFailsButTheOthersAreCopied) {
    WriteDataFiles("");
    DeleteFileW(DataFilePath(L"templates3.txt").c_str());
    EXPECT_FALSE(BackupData());
    for (const wchar_t* name : kDataFiles) {
        const bool expected = std::wstring(name) != L"templates3.txt";
        EXPECT_EQ(IsFile(folder + L"\\" + name), expected) << ToUtf8(name);
    }
}

TEST_F(BackupTest, FileInThePlaceOfTheFolderFailsAndCopiesNothing) {
    WriteDataFiles("");
    PutFile(folder, "not a folder");
    EXPECT_FALSE(BackupData());
    EXPECT_EQ(FileBytes(folder), "not a folder");
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

// The real thing in this Wine prefix (or this user's profile). A shortcut left behind would start
// the test program at the next log-on, so it is removed whatever happens.
TEST_F(ShortcutTest, AutoStartCreatesAndDeletesTheRealStartupShortcut) {
    const std::wstring real = GetStartupShortcutPath();
    ASSERT_FALSE(real.empty());
    EXPECT_TRUE(real.size() > 13 && real.compare(real.size() - 13, 13, L"\\Nomaclip.lnk") == 0) << ToUtf8(real);
    if (IsFile(real) || IsFolder(real))
        GTEST_SKIP() << "a Nomaclip.lnk of the user's is already there";
    struct Cleanup {
        std::wstring path;
        ~Cleanup() { DeleteFileW(path.c_str()); }
    } cleanup{real};

    // Wine's profile may not have made the folder yet; Windows always has it.
    CreateDirectoryW(std::wstring(DirectoryOfPath(real)).c_str(), nullptr);
    EXPECT_FALSE(IsAutoStartEnabled());
    EnableAutoStart();
    EXPECT_TRUE(IsAutoStartEnabled());
    const LinkContent link = ReadLink(real);
    EXPECT_TRUE(SamePath(link.target, RunningExecutablePath())) << ToUtf8(link.target);
    EXPECT_EQ(link.description, L"Nomaclip 自動起動");
    DisableAutoStart();
    EXPECT_FALSE(IsAutoStartEnabled());
    EXPECT_FALSE(IsFile(real));
}

} // namespace
