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

// One system call of the safe write failing, the others real.
struct SafeWriteFailureTest : SafeWriteTest {
    SafeWriteSteps steps = SystemWriteSteps();

    void ExpectOldFileKept(const std::string& content) {
        EXPECT_FALSE(SafeWriteFile(path, Writing(content), steps));
        const std::string now = FileBytes(path);
        EXPECT_TRUE(now == "old") << now.size() << " bytes: " << now.substr(0, 16);
        EXPECT_FALSE(Exists(temporary));
    }
};

TEST_F(SafeWriteFailureTest, SuccessWithTheSystemSteps) {
    const std::string big(200 * 1024, 'x'); // more than the stream's buffer: written straight through
    EXPECT_TRUE(SafeWriteFile(path, Writing(big), steps));
    const std::string now = FileBytes(path);
    EXPECT_TRUE(now == big) << now.size() << " bytes";
    EXPECT_FALSE(Exists(temporary));
}

TEST_F(SafeWriteFailureTest, FailedWriteKeepsTheOldFile) {
    steps.write = [](void*, const char*, unsigned long, unsigned long* written) {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return false;
    };
    ExpectOldFileKept("new");
    ExpectOldFileKept(std::string(200 * 1024, 'x'));
}

TEST_F(SafeWriteFailureTest, WriteThatStopsHalfwayKeepsTheOldFile) {
    // The disk fills up after part of the content: the first call writes half, the next fails.
    static int calls;
    calls = 0;
    steps.write = [](void* file, const char* data, unsigned long count, unsigned long* written) {
        if (calls++ > 0) {
            *written = 0;
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        return SystemWriteSteps().write(file, data, count / 2, written);
    };
    ExpectOldFileKept(std::string(200 * 1024, 'x'));
}

TEST_F(SafeWriteFailureTest, FailedFlushKeepsTheOldFile) {
    steps.flush = [](void*) {
        SetLastError(ERROR_IO_DEVICE);
        return false;
    };
    ExpectOldFileKept("new");
}

TEST_F(SafeWriteFailureTest, FailedMoveKeepsTheOldFile) {
    steps.move = [](const wchar_t*, const wchar_t*) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    };
    ExpectOldFileKept("new");
}

struct ReadTextFileTest : testing::Test {
    std::wstring path = DataFilePath(L"read-test.txt");
    void TearDown() override { DeleteFileW(path.c_str()); }
    TextFileContent Read(const std::string& bytes, bool trim) {
        PutFile(path, bytes);
        return ReadTextFile(path, trim);
    }
};

TEST_F(ReadTextFileTest, AFileThatIsThereButCannotBeReadIsNotAMissingOne) {
    PutFile(path, "content");
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string bytes;
    EXPECT_EQ(ReadFileBytes(path, bytes), FileRead::Unreadable);
    EXPECT_EQ(ReadTextFile(path, true).status, FileRead::Unreadable);
    CloseHandle(held);

    FileStamp stamp;
    EXPECT_EQ(ReadFileBytes(path, bytes, &stamp), FileRead::Read);
    EXPECT_EQ(bytes, "content");
    EXPECT_EQ(stamp, ReadFileStamp(path));
    EXPECT_EQ(stamp.size, 7u);

    // 2 GB: too large to convert, so unreadable rather than empty (a sparse file, no disk used).
    HANDLE big = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(kMaxDataFileBytes) + 1;
    const bool sized = SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big);
    CloseHandle(big);
    ASSERT_TRUE(sized);
    EXPECT_EQ(ReadFileBytes(path, bytes), FileRead::Unreadable);
    DeleteFileW(path.c_str());
    EXPECT_EQ(ReadFileBytes(path, bytes), FileRead::Missing);
    EXPECT_FALSE(ReadFileStamp(path).exists);
}

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
