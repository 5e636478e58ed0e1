// Sealing and opening a tab's file, the opener's reading of damaged files, and the entry
// conversion of the tab settings dialog.
#include "tabs/TabLock.h"
#include "tabs/TabSettingsDialog.h"

#include "crypto/Envelope.h"
#include "storage/ItemFormat.h"
#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TabFileTest : testing::Test {
    TabSlot slot = MakeDefaultTabs()[1];
    std::wstring path = DataFilePath(L"templates.txt");
    void TearDown() override { DeleteFileW(path.c_str()); }
};

TEST_F(TabFileTest, SealedTabOpensWithItsPasswordOnly) {
    slot.items = {MakeItem(L"one"), MakeItem(L"two", L"ラベル", true)};
    SealTabFile(slot, L"pass");
    EXPECT_EQ(FileBytes(path).rfind("NMCENC_V2:", 0), 0u);

    std::vector<HistoryItem> items;
    EXPECT_EQ(OpenTabFile(slot, L"wrong", items), OpenResult::WrongPassword);
    EXPECT_TRUE(items.empty());
    ASSERT_EQ(OpenTabFile(slot, L"pass", items), OpenResult::Opened);
    EXPECT_EQ(items, slot.items);
}

TEST_F(TabFileTest, AnEmptySealedTabOpensEmpty) {
    slot.type = TabType::MemoPad;
    SealTabFile(slot, L"pass");
    std::vector<HistoryItem> items = {MakeItem(L"stale")};
    ASSERT_EQ(OpenTabFile(slot, L"pass", items), OpenResult::Opened);
    EXPECT_TRUE(items.empty()); // the placeholder is never kept
}

TEST_F(TabFileTest, AMissingFileIsNotAWrongPassword) {
    std::vector<HistoryItem> items;
    EXPECT_EQ(OpenTabFile(slot, L"pass", items), OpenResult::FileUnreadable);
}

TEST_F(TabFileTest, TrailingBlanksAndAByteOrderMarkDoNotStopTheOpening) {
    slot.items = {MakeItem(L"kept")};
    SealTabFile(slot, L"pass");
    PutFile(path, "\xEF\xBB\xBF" + FileBytes(path) + " \r\n\t\r\n");
    std::vector<HistoryItem> items;
    ASSERT_EQ(OpenTabFile(slot, L"pass", items), OpenResult::Opened);
    EXPECT_EQ(items, slot.items);
}

TEST_F(TabFileTest, DamagedSealedFilesAreWrongPasswordsAndStayAsTheyAre) {
    slot.items = {MakeItem(L"secret")};
    SealTabFile(slot, L"pass");
    const std::string good = FileBytes(path);
    for (const std::string& damaged :
         {good.substr(0, good.size() / 2), std::string("NMCENC_V2:"), good.substr(0, 40) + "!" + good.substr(41)}) {
        PutFile(path, damaged);
        std::vector<HistoryItem> items;
        EXPECT_EQ(OpenTabFile(slot, L"pass", items), OpenResult::WrongPassword);
        EXPECT_EQ(FileBytes(path), damaged);
    }
}

TEST(SealedFileText, DropsTrailingControlBytesAndTheByteOrderMark) {
    EXPECT_EQ(SealedFileText("\xEF\xBB\xBFNMCENC_V2:abc \r\n\x01"), L"NMCENC_V2:abc");
    EXPECT_EQ(SealedFileText(" \r\n"), L"");
}

TEST(OpenedText, MemoPadKeepsTheWholeTextListsParseIt) {
    EXPECT_EQ(ItemsFromOpenedText(L"a\r\n---\r\nb", TabType::MemoPad),
              (std::vector<HistoryItem>{MakeItem(L"a\r\n---\r\nb")}));
    EXPECT_EQ(ItemsFromOpenedText(L"a\r\n---\r\nb", TabType::Template),
              (std::vector<HistoryItem>{MakeItem(L"a"), MakeItem(L"b")}));
    EXPECT_TRUE(ItemsFromOpenedText(L"__EMPTY_ENCRYPTED_TAB__", TabType::MemoPad).empty());
    EXPECT_TRUE(ItemsFromOpenedText(L"__EMPTY_ENCRYPTED_TAB__\r\n", TabType::MemoList).empty());
}

TEST(TabKindChange, MemoPadAndListsConvertBothWays) {
    const std::vector<HistoryItem> memo = {MakeItem(L"a\r\n---\r\nb")};
    const std::vector<HistoryItem> list = ConvertEntries(memo, TabType::MemoPad, TabType::Template);
    EXPECT_EQ(list, (std::vector<HistoryItem>{MakeItem(L"a"), MakeItem(L"b")}));

    const std::vector<HistoryItem> two = {MakeItem(L"one", L"", true), MakeItem(L"two\nlines", L"L")};
    const std::vector<HistoryItem> pad = ConvertEntries(two, TabType::Template, TabType::MemoPad);
    ASSERT_EQ(pad.size(), 1u);
    EXPECT_EQ(pad[0].text, ItemsToText(two));
    EXPECT_EQ(ConvertEntries(pad, TabType::MemoPad, TabType::MemoList), two);

    EXPECT_TRUE(ConvertEntries({}, TabType::MemoPad, TabType::Template).empty());
    EXPECT_TRUE(ConvertEntries({}, TabType::Template, TabType::MemoPad).empty());
    EXPECT_EQ(ConvertEntries(two, TabType::Template, TabType::MemoList), two);
}

} // namespace
