// The capture rule and promotion: duplicates, the locked group, MaxHistory.
#include "core/Capture.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

HistoryItem Item(const wchar_t* text, bool locked = false, bool used = false) {
    return MakeItem(text, L"", used, locked);
}

std::vector<std::wstring> Texts(const std::vector<HistoryItem>& items) {
    std::vector<std::wstring> texts;
    for (const HistoryItem& item : items)
        texts.push_back(item.text);
    return texts;
}

using Texts_t = std::vector<std::wstring>;

struct CaptureTest : testing::Test {
    AppState state;
    std::vector<HistoryItem>& history = state.tabs[0].items;
};

TEST_F(CaptureTest, NewTextGoesToTopOfUnlockedGroupUnusedAndUnlabelled) {
    history = {Item(L"L1", true), Item(L"L2", true), Item(L"old")};
    CaptureClipboardText(state, L"new");
    EXPECT_EQ(Texts(history), (Texts_t{L"L1", L"L2", L"new", L"old"}));
    EXPECT_FALSE(history[2].used);
    EXPECT_FALSE(history[2].locked);
    EXPECT_TRUE(history[2].label.empty());
}

TEST_F(CaptureTest, SameTextAsFirstEntryChangesNothingEvenWhenFirstIsLocked) {
    history = {Item(L"A", true), Item(L"B")};
    CaptureClipboardText(state, L"A");
    EXPECT_EQ(Texts(history), (Texts_t{L"A", L"B"}));

    // Without duplicate blocking, the first unlocked entry's text is added again.
    CaptureClipboardText(state, L"B");
    EXPECT_EQ(Texts(history), (Texts_t{L"A", L"B", L"B"}));
}

TEST_F(CaptureTest, DuplicateIsPromotedBelowLockedGroup) {
    state.RemoveDuplicateHistory = true;
    state.MoveToTopOnCopy = true;
    history = {Item(L"L1", true), Item(L"L2", true), Item(L"a"), Item(L"b"), Item(L"c")};
    CaptureClipboardText(state, L"c");
    EXPECT_EQ(Texts(history), (Texts_t{L"L1", L"L2", L"c", L"a", L"b"}));
    EXPECT_TRUE(history[2].used);
}

TEST_F(CaptureTest, DuplicateStaysInPlaceWithoutMoveToTop) {
    state.RemoveDuplicateHistory = true;
    state.MoveToTopOnCopy = false;
    history = {Item(L"L1", true), Item(L"a"), Item(L"b"), Item(L"c")};
    CaptureClipboardText(state, L"b");
    EXPECT_EQ(Texts(history), (Texts_t{L"L1", L"a", L"b", L"c"}));
    EXPECT_TRUE(history[2].used);
    EXPECT_FALSE(history[1].used || history[3].used);
}

TEST_F(CaptureTest, LockedDuplicateMovesToIndexZero) {
    state.RemoveDuplicateHistory = true;
    history = {Item(L"L1", true), Item(L"L2", true), Item(L"a")};
    CaptureClipboardText(state, L"L2");
    EXPECT_EQ(Texts(history), (Texts_t{L"L2", L"L1", L"a"}));
    EXPECT_TRUE(history[0].used && history[0].locked);
}

TEST_F(CaptureTest, TextInAnyTemplateTabBlocksCaptureOnlyWithDuplicateBlocking) {
    state.tabs[3].items = {Item(L"template")};
    CaptureClipboardText(state, L"template");
    EXPECT_EQ(history.size(), 1u);

    history.clear();
    state.RemoveDuplicateHistory = true;
    CaptureClipboardText(state, L"template");
    EXPECT_TRUE(history.empty());

    // Each tab on its own: the text sits in that tab only, among other entries.
    for (int slot = 1; slot < kTabCount; ++slot) {
        SCOPED_TRACE(slot);
        for (int other = 1; other < kTabCount; ++other)
            state.tabs[other].items = {Item(L"unrelated")};
        state.tabs[slot].items = {Item(L"first"), Item(L"held")};
        history = {Item(L"old")};
        CaptureClipboardText(state, L"held");
        EXPECT_EQ(Texts(history), (Texts_t{L"old"}));
        CaptureClipboardText(state, L"free");
        EXPECT_EQ(Texts(history), (Texts_t{L"free", L"old"}));
    }
}

TEST_F(CaptureTest, MaxHistoryCutsOldestUnlockedAndNeverLocked) {
    state.MaxHistory = 100;
    for (int i = 0; i < 3; ++i)
        history.push_back(Item(L"locked", true));
    for (int i = 0; i < 150; ++i)
        history.push_back(Item(std::to_wstring(i).c_str()));
    CaptureClipboardText(state, L"new");
    ASSERT_EQ(history.size(), 103u);
    EXPECT_TRUE(history[0].locked && history[1].locked && history[2].locked);
    EXPECT_EQ(history[3].text, L"new");
    EXPECT_EQ(history.back().text, L"98");
}

TEST_F(CaptureTest, NewTextRestoresLockedGroupOrderOfHandEditedHistory) {
    history = {Item(L"a"), Item(L"L", true), Item(L"b")};
    CaptureClipboardText(state, L"new");
    EXPECT_EQ(Texts(history), (Texts_t{L"L", L"new", L"a", L"b"}));
}

TEST(PromoteEntry, ReturnsNewIndexAndKeepsGroupOrder) {
    std::vector<HistoryItem> history = {Item(L"L1", true), Item(L"a"), Item(L"L2", true), Item(L"b")};
    EXPECT_EQ(PromoteEntry(history, 3, true), 2); // two locked entries remain above it
    EXPECT_EQ(Texts(history), (Texts_t{L"L1", L"a", L"b", L"L2"}));
    EXPECT_EQ(PromoteEntry(history, 3, true), 0);
    EXPECT_EQ(Texts(history), (Texts_t{L"L2", L"L1", L"a", L"b"}));
    EXPECT_EQ(PromoteEntry(history, 2, false), 2);
    EXPECT_TRUE(history[2].used);
}

} // namespace
