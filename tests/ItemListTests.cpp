// What the item list shows: display texts, state marks and row numbers, row counts under the
// history limit and the placeholder, column widths and row colours.
#include "ui/ItemList.h"

#include <imm.h>

#include <gtest/gtest.h>

#include <string>

namespace {

HistoryItem Item(std::wstring text, std::wstring label = L"", bool used = false, bool locked = false) {
    return HistoryItem{std::move(text), std::move(label), used, locked};
}

std::vector<HistoryItem> Items(int count) {
    std::vector<HistoryItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back(Item(L"entry " + std::to_wstring(i)));
    return items;
}

TEST(TypeAhead, FindsTheFirstShownTextThatStartsWithTheLettersFromTheStartRow) {
    const std::vector<HistoryItem> items = {Item(L"apple"), Item(L"Banana"), Item(L"x", L"berry"), Item(L"blue\nb"),
                                            Item(L"ＡＢＣ")};
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"b", true, true), 1); // case ignored
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 2, L"b", true, true),
              2); // the label is what is shown
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 3, L"BL", true, true),
              3); // only the first line counts
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 4, L"a", true, true), 0); // round again from the top
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 4, L"a", true, false), -1); // ... only when asked
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"z", true, true), -1);
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"ａｂｃ", true, true), 4);
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"ban", false, true),
              -1); // a whole text is asked for
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"banana", false, true), 1);
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(2), 0, L"blue", true, true),
              -1); // rows beyond the shown ones
    EXPECT_EQ(FindRowByTypedText(items, ListRows::FirstEntries(5), 0, L"", true, true), -1);
    EXPECT_EQ(FindRowByTypedText({}, ListRows::FirstEntries(5), 0, L"a", true, true), -1);
    // Filtered rows: row numbers are the list's, texts the entries' they show.
    const ListRows filtered = ListRows::Entries({1, 3, 4});
    EXPECT_EQ(FindRowByTypedText(items, filtered, 0, L"bl", true, true), 1);
    EXPECT_EQ(FindRowByTypedText(items, filtered, 2, L"b", true, true), 0);
    EXPECT_EQ(FindRowByTypedText(items, filtered, 0, L"apple", false, true), -1);
}

TEST(ItemDisplayText, LabelWinsOverText) {
    EXPECT_EQ(ItemDisplayText(Item(L"first line\r\nsecond line", L"Work")), L"Work");
}

TEST(ItemDisplayText, OnlyTheFirstLine) {
    EXPECT_EQ(ItemDisplayText(Item(L"one\r\ntwo")), L"one");
    EXPECT_EQ(ItemDisplayText(Item(L"one\ntwo")), L"one");
    EXPECT_EQ(ItemDisplayText(Item(L"one\rtwo")), L"one");
    EXPECT_EQ(ItemDisplayText(Item(L"text", L"label\nmore")), L"label");
}

TEST(ItemDisplayText, AtMostAThousandUnits) {
    const std::wstring line(1500, L'x');
    EXPECT_EQ(ItemDisplayText(Item(line)), std::wstring(1000, L'x'));
    EXPECT_EQ(ItemDisplayText(Item(std::wstring(1000, L'y') + L"\nz")), std::wstring(1000, L'y'));
    EXPECT_EQ(ItemDisplayText(Item(std::wstring(999, L'y') + L"\nz")), std::wstring(999, L'y'));
}

TEST(ItemListRowCount, HistoryLimitHidesTheRest) {
    EXPECT_EQ(ItemListRowCount(Items(50), true, 20), 20);
    EXPECT_EQ(ItemListRowCount(Items(50), true, 60), 50);
    EXPECT_EQ(ItemListRowCount(Items(50), true, 0), 0);
    EXPECT_EQ(ItemListRowCount(Items(50), true, -1), 50);
}

TEST(ItemListRowCount, PlaceholderAloneShowsNoRow) {
    const std::vector<HistoryItem> sealedEmpty{Item(L"__EMPTY_ENCRYPTED_TAB__")};
    EXPECT_EQ(ItemListRowCount(sealedEmpty, false, 20), 0);
    EXPECT_EQ(ItemListRowCount(sealedEmpty, true, 20), 0);
    EXPECT_EQ(ItemListRowCount({Item(L"__EMPTY_ENCRYPTED_TAB__x")}, false, 20), 1);
    EXPECT_EQ(ItemListRowCount({}, true, 20), 0);
}

TEST(SecondColumnWidth, ClientLessThirtyFourNeverNegative) {
    EXPECT_EQ(SecondColumnWidth(300, 96), 266);
    EXPECT_EQ(SecondColumnWidth(35, 96), 1);
    EXPECT_EQ(SecondColumnWidth(34, 96), 0);
    EXPECT_EQ(SecondColumnWidth(20, 96), 0);
    // Both columns grow with the screen's dots per inch.
    EXPECT_EQ(SecondColumnWidth(300, 144), 249);
    EXPECT_EQ(FirstColumnWidth(144), 45);
}

TEST(ClientWidthWithRows, ScrollBarAppearsOnlyWhenRowsOverflowThePage) {
    // 376 pixels without the bar, 17 for the bar, 30 rows per page.
    EXPECT_EQ(ClientWidthWithRows(376, false, 17, 10000, 30), 359);
    EXPECT_EQ(ClientWidthWithRows(359, true, 17, 20, 30), 376);
    EXPECT_EQ(ClientWidthWithRows(359, true, 17, 31, 30), 359);
    EXPECT_EQ(ClientWidthWithRows(376, false, 17, 30, 30), 376);
    EXPECT_EQ(ClientWidthWithRows(359, true, 17, 0, 30), 376);
}

} // namespace

namespace {

// With a Japanese input method on, digits and letters typed in the list would start a
// composition instead of choosing and finding rows: the list has no input context, while an
// edit beside it keeps one.
TEST(ItemListWindow, TakesKeysWithoutTheInputMethod) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // Under a message-only window: the test needs no screen.
    HWND parent = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 300, 200, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 50, 20, parent, nullptr, nullptr, nullptr);
    HWND list = CreateItemList(parent, nullptr);
    ASSERT_NE(list, nullptr);
    HIMC editContext = ImmGetContext(edit);
    EXPECT_NE(editContext, nullptr) << "the check itself sees an input context where there is one";
    ImmReleaseContext(edit, editContext);
    HIMC listContext = ImmGetContext(list);
    EXPECT_EQ(listContext, nullptr);
    if (listContext)
        ImmReleaseContext(list, listContext);
    DestroyWindow(parent);
}

// A filter open while a copy arrives: the new entry is found, the folded copies are made anew.
TEST(ItemListWindow, AFilterFindsAnEntryThatArrivedWhileItWasOpen) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND parent = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 300, 200, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND list = CreateItemList(parent, nullptr);
    ASSERT_NE(list, nullptr);
    std::vector<HistoryItem> items = {Item(L"apple"), Item(L"banana")};
    FillItemList(list, items, true, -1);
    SetItemListFilter(list, L"cherry");
    EXPECT_EQ(ListRowCount(list), 0);
    items.insert(items.begin(), Item(L"cherry pie"));
    FillItemList(list, items, true, -1);
    EXPECT_EQ(ListRowCount(list), 1);
    EndItemListFilter(list);
    DestroyWindow(parent);
}

} // namespace
