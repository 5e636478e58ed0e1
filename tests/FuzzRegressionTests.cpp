// Inputs on which the fuzzer once found a fault (tests/fuzz-regressions, each file named after
// its reader: "items-1-4711.bin"), run through the fuzzer's checks again.
#include "fuzz/FuzzChecks.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(FuzzRegressions, EverySavedInputPassesItsChecks) {
    FuzzEnvironment environment;
    ASSERT_TRUE(environment.Ready());
    const std::wstring folder = NOMACLIP_FUZZ_REGRESSIONS;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.bin").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no saved inputs in the folder";
    int count = 0;
    do {
        const std::wstring name = found.cFileName;
        const std::string shown(name.begin(), name.end());
        FuzzCase input;
        ASSERT_TRUE(TargetFromName(shown.substr(0, shown.find('-')), input.target)) << shown;
        input.parts = ParseParts(FileBytes(folder + L"\\" + name));
        EXPECT_EQ(CheckCase(input), "") << shown;
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_GT(count, 0);
}

} // namespace
