// The checks of the data folder at start: a folder that cannot be written, the temporary
// folder (an exe started from inside a zip), a missing img folder; read from real folders.
#include "app/StartupChecks.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring MakeFolder(const std::wstring& path) {
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::wstring Here() {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

bool IsEmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    bool empty = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                empty = false;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return empty;
}

// What CreateMutexW says to a second start: the mutex is there (ERROR_ALREADY_EXISTS), or it was
// made by an elevated run and this start may not have it (no handle, ERROR_ACCESS_DENIED), or a
// handle to it can still be opened for waiting.
TEST(StartupChecks, ASecondStartKnowsTheRunningOneEvenWhenItRunsElevated) {
    using I = InstanceCheck;
    const struct {
        bool created;
        DWORD error;
        bool openable;
        InstanceCheck expected;
    } cases[] = {
        {true, ERROR_SUCCESS, false, I::First},
        {true, ERROR_ALREADY_EXISTS, false, I::AlreadyRunning},
        {false, ERROR_ACCESS_DENIED, false, I::AlreadyRunning}, // the elevated run's mutex
        {false, ERROR_ACCESS_DENIED, true, I::AlreadyRunning},
        {false, ERROR_INVALID_HANDLE, true, I::AlreadyRunning}, // whatever failed, the mutex is there
        {false, ERROR_INVALID_HANDLE, false, I::First},         // no mutex to be had: run unguarded
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyInstanceStart(c.created, c.error, c.openable), c.expected)
            << c.created << " " << c.error << " " << c.openable;
}

TEST(StartupChecks, AFolderIsWithinAnotherOnlyAtAPathBoundary) {
    EXPECT_TRUE(IsWithinFolder(L"C:\\Users\\a\\AppData\\Local\\Temp", L"C:\\Users\\a\\AppData\\Local\\Temp\\"));
    EXPECT_TRUE(IsWithinFolder(L"C:\\Users\\a\\AppData\\Local\\Temp\\Temp1_nomaclip.zip\\nomaclip",
                               L"c:\\users\\A\\appdata\\local\\temp"));
    EXPECT_TRUE(IsWithinFolder(L"C:/Temp/x", L"C:\\Temp"));
    EXPECT_FALSE(IsWithinFolder(L"C:\\Temp2\\nomaclip", L"C:\\Temp"));
    EXPECT_FALSE(IsWithinFolder(L"C:\\Tem", L"C:\\Temp"));
    EXPECT_FALSE(IsWithinFolder(L"D:\\Temp\\x", L"C:\\Temp"));
    EXPECT_FALSE(IsWithinFolder(L"C:\\Temp", L""));
}

TEST(StartupChecks, FactsAreReadFromTheFolderAndLeaveNothingBehind) {
    const std::wstring root = MakeFolder(Here() + L"\\startup-checks");
    const std::wstring temporary = MakeFolder(root + L"\\Temp");
    const std::wstring own = MakeFolder(root + L"\\MyTools");
    const std::wstring zipped = MakeFolder(temporary + L"\\Temp1_nomaclip.zip");

    FolderFacts facts = ReadFolderFacts(own, temporary);
    EXPECT_TRUE(facts.writable);
    EXPECT_FALSE(facts.temporary);
    EXPECT_FALSE(facts.hasPictures);
    EXPECT_TRUE(IsEmptyFolder(own)) << "the probe file is deleted again";

    MakeFolder(own + L"\\img");
    EXPECT_TRUE(ReadFolderFacts(own, temporary).hasPictures);

    facts = ReadFolderFacts(zipped, temporary + L"\\");
    EXPECT_TRUE(facts.writable);
    EXPECT_TRUE(facts.temporary);
    EXPECT_TRUE(ReadFolderFacts(temporary, temporary).temporary);

    // A folder where no file can be made (here: one that is not there at all).
    facts = ReadFolderFacts(root + L"\\gone", temporary);
    EXPECT_FALSE(facts.writable);
    EXPECT_FALSE(facts.hasPictures);

    RemoveDirectoryW((own + L"\\img").c_str());
    RemoveDirectoryW(own.c_str());
    RemoveDirectoryW(zipped.c_str());
    RemoveDirectoryW(temporary.c_str());
    RemoveDirectoryW(root.c_str());
}

TEST(StartupChecks, TheWarningSaysWhatIsWrongAndWhatToDo) {
    const std::wstring folder = L"C:\\Users\\a\\AppData\\Local\\Temp\\Temp1_nomaclip.zip\\nomaclip";
    EXPECT_EQ(FolderWarningText(FolderFacts{}, folder), L"");

    FolderFacts zipped;
    zipped.temporary = true;
    zipped.hasPictures = false; // Explorer copies the exe alone
    const std::wstring text = FolderWarningText(zipped, folder);
    EXPECT_NE(text.find(folder), std::wstring::npos);
    EXPECT_NE(text.find(L"一時フォルダー"), std::wstring::npos);
    EXPECT_NE(text.find(L"img フォルダー"), std::wstring::npos);
    EXPECT_NE(text.find(L"展開"), std::wstring::npos);

    FolderFacts readOnly;
    readOnly.writable = false;
    EXPECT_NE(FolderWarningText(readOnly, L"C:\\Program Files\\Nomaclip").find(L"書き込めません"), std::wstring::npos);
    EXPECT_EQ(FolderWarningText(readOnly, L"C:\\x").find(L"一時フォルダー"), std::wstring::npos);

    FolderFacts cutShort;
    cutShort.recovered = {L"history.ini.recovered", L"settings.ini.recovered"};
    const std::wstring recovered = FolderWarningText(cutShort, L"D:\\nomaclip");
    EXPECT_NE(recovered.find(L"history.ini.recovered"), std::wstring::npos);
    EXPECT_NE(recovered.find(L"settings.ini.recovered"), std::wstring::npos);
    EXPECT_EQ(recovered.find(L"展開"), std::wstring::npos) << "no zip to unpack";
}

} // namespace
