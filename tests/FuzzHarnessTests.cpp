// The fuzzer's own parts: a saved input reads back as it was saved, a run seed gives the same
// inputs every time, the generator keeps making what the readers must face, and well-formed
// files pass every check (a check that fails on them would bury real faults in noise).
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzGenerator.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>

namespace {

TEST(FuzzCase, PartsReadBackAsSavedAndACutFileKeepsWhatIsThere) {
    const std::vector<std::string> parts = {"", std::string("a\0b", 3), std::string(70000, 'x')};
    EXPECT_EQ(ParseParts(SerializeParts(parts)), parts);
    std::string cut = SerializeParts({"abcdef", "gh"});
    cut.resize(cut.size() - 8);
    EXPECT_EQ(ParseParts(cut), (std::vector<std::string>{"abcd"}));
    EXPECT_TRUE(ParseParts(std::string("\x01\x00", 2)).empty());

    ItemsOptions options;
    options.kind = ItemFileKind::MemoPad;
    options.maxHistory = -5;
    options.throughFiles = false;
    const ItemsOptions back = ItemsOptionsOf(ItemsOptionsPart(options));
    EXPECT_EQ(back.kind, ItemFileKind::MemoPad);
    EXPECT_EQ(back.maxHistory, -5);
    EXPECT_FALSE(back.throughFiles);

    const std::wstring text(L"a\0\xD800", 3); // NUL and a lone surrogate survive
    EXPECT_EQ(WideFromBytes(BytesFromWide(text) + "z"), text);
}

struct FuzzGeneratorTest : testing::Test {
    FuzzEnvironment environment;
    FuzzGenerator generator;
    void SetUp() override {
        ASSERT_TRUE(environment.Ready());
        std::string problem;
        ASSERT_TRUE(generator.LoadSeeds(NOMACLIP_FUZZ_SEEDS, problem)) << problem;
    }
};

TEST_F(FuzzGeneratorTest, ARunSeedAndAnIndexAlwaysGiveTheSameInput) {
    int differ = 0;
    for (uint64_t index = 0; index < 40; ++index) {
        const FuzzCase a = generator.Make(1, index);
        const FuzzCase b = generator.Make(1, index);
        EXPECT_EQ(a.target, b.target) << index;
        EXPECT_EQ(a.parts, b.parts) << index;
        differ += generator.Make(2, index).parts != a.parts;
    }
    EXPECT_GT(differ, 30) << "another run seed gives other inputs";
}

bool ValidUtf8(const std::string& bytes) {
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

TEST_F(FuzzGeneratorTest, InputsReachEveryReaderWithWhatItMustFace) {
    std::map<FuzzTarget, int> targets;
    std::map<std::string, int> seen;
    for (uint64_t index = 0; index < 4000; ++index) {
        const FuzzCase input = generator.Make(7, index);
        ++targets[input.target];
        const std::string& first = input.Part(0);
        switch (input.target) {
        case FuzzTarget::Items: {
            const std::string& file = input.Part(1);
            const ItemsOptions options = ItemsOptionsOf(first);
            ++seen[options.throughFiles ? "items through the files" : "items in memory"];
            ++seen[options.kind == ItemFileKind::MemoPad ? "a memo pad" : "a list"];
            if (file.rfind("\xEF\xBB\xBF", 0) == 0)
                ++seen["UTF-8 with a byte order mark"];
            else if (file.rfind("\xFF\xFE", 0) == 0)
                ++seen["UTF-16"];
            else if (!ValidUtf8(file))
                ++seen["the system code page or broken UTF-8"];
            else
                ++seen["UTF-8 without a byte order mark"];
            for (const char* mark : {"\r\n---\r\n", "[LABEL]", "[L]", "[C]", "\\---", "NMCENC_V2:"})
                if (file.find(mark) != std::string::npos)
                    ++seen[mark];
            break;
        }
        case FuzzTarget::Settings:
            for (const char* key : {"HotkeyKey=", "IgnorePrograms=", "PasteKeys=", "Rect=", "Tab"})
                if (first.find(key) != std::string::npos)
                    ++seen[key];
            break;
        case FuzzTarget::Envelope:
            ++seen[first == std::string(1, '\1') ? "a text to seal" : "an envelope to open"];
            break;
        case FuzzTarget::Filter:
            if (first.size() >= 64)
                ++seen["a filter of 32 units or more"];
            break;
        case FuzzTarget::Clipboard:
            ++seen[first.size() % 2 ? "a block of odd size" : "a block of even size"];
            if (first.size() >= 2 && first.compare(first.size() - 2, 2, std::string(2, '\0')) != 0)
                ++seen["a block without its NUL"];
            break;
        }
    }
    for (FuzzTarget target : kFuzzTargets)
        EXPECT_GT(targets[target], 500) << TargetName(target);
    for (const char* what : {"items through the files",
                             "items in memory",
                             "a memo pad",
                             "a list",
                             "UTF-8 with a byte order mark",
                             "UTF-16",
                             "the system code page or broken UTF-8",
                             "UTF-8 without a byte order mark",
                             "\r\n---\r\n",
                             "[LABEL]",
                             "[L]",
                             "[C]",
                             "\\---",
                             "NMCENC_V2:",
                             "HotkeyKey=",
                             "IgnorePrograms=",
                             "PasteKeys=",
                             "Rect=",
                             "Tab",
                             "a text to seal",
                             "an envelope to open",
                             "a filter of 32 units or more",
                             "a block of odd size",
                             "a block of even size",
                             "a block without its NUL"})
        EXPECT_GT(seen[what], 5) << what;
}

std::vector<std::wstring> SeedFiles(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return paths;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            paths.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return paths;
}

TEST(FuzzChecks, WellFormedFilesPassEveryCheck) {
    FuzzEnvironment environment;
    ASSERT_TRUE(environment.Ready());
    const std::wstring seeds = NOMACLIP_FUZZ_SEEDS;
    const std::vector<std::wstring> items = SeedFiles(seeds + L"\\items");
    const std::vector<std::wstring> settings = SeedFiles(seeds + L"\\settings");
    ASSERT_FALSE(items.empty());
    ASSERT_FALSE(settings.empty());
    for (const std::wstring& path : items) {
        for (ItemFileKind kind :
             {ItemFileKind::History, ItemFileKind::TemplateList, ItemFileKind::MemoList, ItemFileKind::MemoPad}) {
            ItemsOptions options;
            options.kind = kind;
            const FuzzCase input{FuzzTarget::Items, {ItemsOptionsPart(options), FileBytes(path)}};
            EXPECT_EQ(CheckCase(input), "")
                << std::string(path.begin(), path.end()) << ", kind " << static_cast<int>(kind);
        }
    }
    for (const std::wstring& path : settings) {
        const FuzzCase input{FuzzTarget::Settings, {FileBytes(path), std::string(1, '\1')}};
        EXPECT_EQ(CheckCase(input), "") << std::string(path.begin(), path.end());
    }
}

} // namespace
