// Safe replacement of a file and decoding of what is read back.
#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <fstream>
#include <windows.h>

#include <iterator>
#include <random>
#include <thread>

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileWriter Writing(const std::string& bytes, bool commit = true) {
    return [bytes, commit](std::ostream& out) {
        out << bytes;
        return commit;
    };
}

struct SafeWriteTest : testing::Test {
    std::wstring path = DataFilePath(L"safe-write.txt");
    std::wstring temporary = path + L".tmp";
    void SetUp() override {
        DeleteFileW(path.c_str());
        RemoveDirectoryW(temporary.c_str());
        DeleteFileW(temporary.c_str());
        PutFile(path, "old");
    }
    void TearDown() override {
        RemoveDirectoryW(temporary.c_str());
        DeleteFileW(path.c_str());
    }
};

TEST_F(SafeWriteTest, ReplacesTheFileAndLeavesNoTemporary) {
    EXPECT_TRUE(SafeWriteFile(path, Writing("new content")));
    EXPECT_EQ(FileBytes(path), "new content");
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(SafeWriteTest, AbandonedWriteKeepsTheOldFile) {
    EXPECT_FALSE(SafeWriteFile(path, Writing("half", false)));
    EXPECT_EQ(FileBytes(path), "old");
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(SafeWriteTest, FailedStreamCountsAsAbandoned) {
    const bool result = SafeWriteFile(path, [](std::ostream& out) {
        out << "short";
        out.setstate(std::ios::badbit); // what a full disk leaves behind
        return true;
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(FileBytes(path), "old");
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(SafeWriteTest, UncreatableTemporaryKeepsTheOldFileWithoutCallingTheWriter) {
    ASSERT_TRUE(CreateDirectoryW(temporary.c_str(), nullptr));
    bool called = false;
    EXPECT_FALSE(SafeWriteFile(path, [&](std::ostream&) { return called = true; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(FileBytes(path), "old");
}

TEST_F(SafeWriteTest, LockedTargetKeepsTheOldFileAndRemovesTheTemporary) {
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SafeWriteFile(path, Writing("new")));
    CloseHandle(lock);
    EXPECT_EQ(FileBytes(path), "old");
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(SafeWriteTest, TargetHeldBrieflyIsReplacedOnRetry) {
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    std::thread release([lock] {
        Sleep(120); // like a virus scanner looking at the fresh file
        CloseHandle(lock);
    });
    EXPECT_TRUE(SafeWriteFile(path, Writing("new")));
    release.join();
    EXPECT_EQ(FileBytes(path), "new");
}

struct ReadTextFileTest : testing::Test {
    std::wstring path = DataFilePath(L"read-test.txt");
    void TearDown() override { DeleteFileW(path.c_str()); }
    TextFileContent Read(const std::string& bytes, bool trim) {
        PutFile(path, bytes);
        return ReadTextFile(path, trim);
    }
};

TEST_F(ReadTextFileTest, MissingFileIsReportedAsNotOpened) {
    DeleteFileW(path.c_str());
    const TextFileContent content = ReadTextFile(path, true);
    EXPECT_FALSE(content.opened);
    EXPECT_TRUE(content.text.empty());
}

TEST_F(ReadTextFileTest, DecodesUtf8WithAndWithoutByteOrderMark) {
    EXPECT_EQ(Read("\xEF\xBB\xBF\xE5\xB1\xA5\xE6\xAD\xB4 a", false).text, L"履歴 a");
    EXPECT_EQ(Read("\xE5\xB1\xA5\xE6\xAD\xB4 a", false).text, L"履歴 a");
    const TextFileContent bomOnly = Read("\xEF\xBB\xBF", false);
    EXPECT_TRUE(bomOnly.opened);
    EXPECT_TRUE(bomOnly.text.empty());
    // After a byte order mark the decoding is lenient: a bad byte becomes U+FFFD.
    EXPECT_EQ(Read("\xEF\xBB\xBF"
                   "a\xFF"
                   "b",
                   false)
                  .text,
              L"a\xFFFD"
              L"b");
}

TEST_F(ReadTextFileTest, InvalidUtf8FallsBackToTheAnsiCodePage) {
    const std::string bytes = "caf\xE9 \x82\xA0";
    wchar_t expected[16] = {};
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), expected, 16);
    const std::wstring text = Read(bytes, false).text;
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text, expected);
}

TEST_F(ReadTextFileTest, TrailingTrimOnlyWhenAsked) {
    EXPECT_EQ(Read("abc\r\n\r\n  ", true).text, L"abc");
    EXPECT_EQ(Read("abc\r\n\r\n  ", false).text, L"abc\r\n\r\n  ");
    EXPECT_EQ(Read(std::string("a\0\0\t\x01", 5), true).text, L"a");
    EXPECT_TRUE(Read(std::string(64, '\0'), true).text.empty());
}

TEST(Utf8, EncoderMatchesTheSystemConverter) {
    std::mt19937 rng(3);
    const wchar_t samples[] = {L'a',      L'\x7F',   L'\x80',   L'\x7FF',  L'\x800', L'あ', L'\xFFFF',
                               L'\xD800', L'\xDBFF', L'\xDC00', L'\xDFFF', L'\r',    L'\n', L'\0'};
    for (int round = 0; round < 500; ++round) {
        std::wstring text;
        for (int i = std::uniform_int_distribution<int>(0, 40)(rng); i > 0; --i)
            text += samples[std::uniform_int_distribution<size_t>(0, std::size(samples) - 1)(rng)];
        std::string expected(text.size() * 3, '\0');
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), expected.data(),
                                          static_cast<int>(expected.size()), nullptr, nullptr);
        expected.resize(static_cast<size_t>(n));
        ASSERT_EQ(ToUtf8(text), expected) << "round " << round;
        ASSERT_EQ(FromUtf8(ToUtf8(text)).size(), text.empty() ? 0u : FromUtf8(expected).size());
    }
}

TEST(AppDirectory, IsTheFolderOfTheExecutable) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring directory = GetAppDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), L'\\');
    EXPECT_EQ(std::wstring(exe).rfind(directory + L"\\", 0), 0u);
    EXPECT_EQ(DataFilePath(L"history.ini"), directory + L"\\history.ini");
}

} // namespace
