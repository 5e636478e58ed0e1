#include "core/EntryEdits.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Entries named by their text; "L" marks the locked ones.
std::vector<HistoryItem> History(std::initializer_list<std::pair<const wchar_t*, bool>> entries) {
    std::vector<HistoryItem> items;
    for (const auto& [text, locked] : entries)
        items.push_back(MakeItem(text, L"", false, locked));
    return items;
}

std::wstring Order(const std::vector<HistoryItem>& items) {
    std::wstring order;
    for (const HistoryItem& item : items)
        order += item.text + (item.locked ? L"L " : L" ");
    return order;
}

} // namespace

TEST(EntryLock, LockingGoesToTopAndUnlockingToFirstPlaceAfterTheLockedGroup) {
    auto items = History({{L"a", true}, {L"b", true}, {L"c", false}, {L"d", false}});
    EXPECT_EQ(ToggleEntryLock(items, 3), 0);
    EXPECT_EQ(Order(items), L"dL aL bL c ");
    EXPECT_EQ(ToggleEntryLock(items, 0), 2);
    EXPECT_EQ(Order(items), L"aL bL d c ");
    // Out of range: nothing happens, the row comes back.
    EXPECT_EQ(ToggleEntryLock(items, 4), 4);
    EXPECT_EQ(ToggleEntryLock(items, -1), -1);
    EXPECT_EQ(Order(items), L"aL bL d c ");
}

TEST(EntryMove, HistoryEntryTakesTheGroupOfItsNewPlace) {
    // Rows 0..2 locked; row 5 dropped onto row 1 joins the locked group there.
    auto items = History({{L"a", true}, {L"b", true}, {L"c", true}, {L"d", false}, {L"e", false}, {L"f", false}});
    ASSERT_TRUE(MoveHistoryItem(items, 5, 1));
    EXPECT_EQ(Order(items), L"aL fL bL cL d e ");
    // A locked entry moved below the locked group is unlocked.
    ASSERT_TRUE(MoveHistoryItem(items, 0, 5));
    EXPECT_EQ(Order(items), L"fL bL cL d e a ");
    // Exactly at the boundary it keeps its state, both ways.
    ASSERT_TRUE(MoveHistoryItem(items, 4, 3));
    EXPECT_EQ(Order(items), L"fL bL cL e d a ");
    ASSERT_TRUE(MoveHistoryItem(items, 0, 2));
    EXPECT_EQ(Order(items), L"bL cL fL e d a ");
    // Same place or invalid rows change nothing.
    EXPECT_FALSE(MoveHistoryItem(items, 2, 2));
    EXPECT_FALSE(MoveHistoryItem(items, 2, 6));
    EXPECT_FALSE(MoveHistoryItem(items, -1, 0));
    EXPECT_EQ(Order(items), L"bL cL fL e d a ");
}

TEST(EntryMove, TemplateEntryEndsAtTheTargetIndexAndKeepsItsEscapedText) {
    // Texts that the item format escapes must come through a move unchanged.
    std::vector<HistoryItem> items = {MakeItem(L"---"), MakeItem(L"[L]x\n\\---"), MakeItem(L"c", L"[LABEL]lab")};
    const std::vector<HistoryItem> before = items;
    ASSERT_TRUE(MoveItem(items, 0, 2));
    EXPECT_EQ(items[2], before[0]);
    EXPECT_EQ(items[0], before[1]);
    ASSERT_TRUE(MoveItem(items, 2, 0));
    EXPECT_EQ(items, before);
    EXPECT_FALSE(MoveItem(items, 0, 3));
    EXPECT_EQ(items, before);
}

TEST(EntryMove, DropTargetFollowsTheInsertionMark) {
    EXPECT_EQ(DropTarget(5, 1, false), 1); // upper half of row 1
    EXPECT_EQ(DropTarget(1, 4, true), 4);  // after row 4, counted without the dragged row
    EXPECT_EQ(DropTarget(1, 4, false), 3);
    // Onto itself, or onto the lower half of the row just above: nothing moves.
    EXPECT_EQ(DropTarget(3, 3, false), -1);
    EXPECT_EQ(DropTarget(3, 3, true), -1);
    EXPECT_EQ(DropTarget(3, 2, true), -1);
    EXPECT_EQ(DropTarget(3, 4, false), -1);
    EXPECT_EQ(DropTarget(3, -1, false), -1); // no mark
}

TEST(EntryRemove, LockedEntryStaysWhenLockedEntriesAreKept) {
    auto items = History({{L"a", true}, {L"b", false}, {L"c", false}});
    EXPECT_FALSE(RemoveItem(items, 0, true));
    EXPECT_EQ(Order(items), L"aL b c ");
    EXPECT_TRUE(RemoveItem(items, 1, true));
    EXPECT_EQ(Order(items), L"aL c ");
    // Template tabs delete without the guard: a locked mark there does not protect the entry.
    EXPECT_TRUE(RemoveItem(items, 0, false));
    EXPECT_EQ(Order(items), L"c ");
    EXPECT_FALSE(RemoveItem(items, 1, false));
    EXPECT_FALSE(RemoveItem(items, -1, false));
    EXPECT_EQ(Order(items), L"c ");
}

TEST(EntryInsert, AKeptEditGoesWhereANewCopyWouldOrToTheEnd) {
    std::vector<HistoryItem> history = {MakeItem(L"L", L"", false, true), MakeItem(L"a")};
    EXPECT_EQ(InsertEntry(history, true, MakeItem(L"kept", L"", false, true)), 1);
    EXPECT_EQ(history[1].text, L"kept");
    EXPECT_FALSE(history[1].locked);
    std::vector<HistoryItem> templates = {MakeItem(L"x"), MakeItem(L"y")};
    EXPECT_EQ(InsertEntry(templates, false, MakeItem(L"kept")), 2);
}

TEST(EntryId, EveryEntryHasItsOwnIdAndMovesKeepIt) {
    std::vector<HistoryItem> items = {MakeItem(L"a"), MakeItem(L"b"), MakeItem(L"c")};
    const EntryId b = items[1].id;
    EXPECT_NE(items[0].id, b);
    EXPECT_NE(b, kNoEntry);
    ASSERT_TRUE(MoveItem(items, 1, 2));
    EXPECT_EQ(FindEntry(items, b), 2);
    ASSERT_TRUE(RemoveItem(items, 2, false));
    EXPECT_EQ(FindEntry(items, b), -1);
    EXPECT_EQ(FindEntry(items, kNoEntry), -1);
}

TEST(EditText, LabelGoesOnAFirstLineAndLineEndsBecomeCrLf) {
    EXPECT_EQ(ComposeEditText(L"Work", L"a\nb"), L"[LABEL]Work\r\na\r\nb");
    EXPECT_EQ(ComposeEditText(L"", L"a\r\nb\n\n"), L"a\r\nb");
    EXPECT_EQ(ComposeEditText(L"", L"a\rb"), L"ab"); // a lone CR shows nothing
    EXPECT_EQ(ComposeEditText(L"", L""), L"");
}

TEST(EditText, SplitReadsTheLabelLineOnlyFirstAndExact) {
    LabelAndBody r = SplitLabelAndBody(L"[LABEL]  Name \t\r\nbody");
    EXPECT_EQ(r.label, L"Name");
    EXPECT_EQ(r.body, L"body");
    r = SplitLabelAndBody(L"[label]x\r\nbody");
    EXPECT_EQ(r.label, L"");
    EXPECT_EQ(r.body, L"[label]x\nbody");
    r = SplitLabelAndBody(L"first\r\n[LABEL]x");
    EXPECT_EQ(r.label, L"");
    EXPECT_EQ(r.body, L"first\n[LABEL]x");
    r = SplitLabelAndBody(L"[LABEL]\r\n\r\nbody");
    EXPECT_EQ(r.label, L"");
    EXPECT_EQ(r.body, L"body");
    r = SplitLabelAndBody(L"[LABEL]only");
    EXPECT_EQ(r.label, L"only");
    EXPECT_EQ(r.body, L"");
    EXPECT_EQ(SplitLabelAndBody(L"").body, L"");
}

TEST(EditText, SplitKeepsInnerEmptyLinesAndDropsOuterOnes) {
    EXPECT_EQ(SplitLabelAndBody(L"a\r\n\r\nb\r\n\r\n").body, L"a\n\nb");
    EXPECT_EQ(SplitLabelAndBody(L"\r\n\r\na").body, L"a");
    EXPECT_EQ(SplitLabelAndBody(L"a\rb").body, L"a\nb");
}

TEST(EditText, EntriesSurviveTheDialogUnchanged) {
    // Opening an entry and confirming without a change gives the same label and text back,
    // escaped forms of the item format included.
    for (const HistoryItem& item : {MakeItem(L"a\nb", L"Work"), MakeItem(L"---\n\\---"), MakeItem(L"[L]x", L"[C]"),
                                    MakeItem(L"日本語\n\nテキスト", L"ラベル"), MakeItem(L"[LABEL]not a label")}) {
        const LabelAndBody back = SplitLabelAndBody(ComposeEditText(item.label, item.text));
        EXPECT_EQ(back.label, item.label) << item.text;
        EXPECT_EQ(back.body, item.text) << item.text;
    }
    EXPECT_EQ(ComposeEditText(L"", L"[LABEL]x"), L"[LABEL]\r\n[LABEL]x");
}
