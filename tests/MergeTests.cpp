// Merging data files changed on two PCs: the history, the lists, the memo pad, settings.ini,
// conflict copies and their names.
#include "core/Merge.h"

#include "core/Capture.h"
#include "core/ConflictNames.h"
#include "core/EntryEdits.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace {

// Entries as words: "!" in front locks one, "*" marks it used, "=label" after it labels it.
std::vector<HistoryItem> Items(const wchar_t* words) {
    std::vector<HistoryItem> items;
    std::wistringstream in(words);
    for (std::wstring word; in >> word;) {
        const bool locked = word[0] == L'!';
        word.erase(0, locked ? 1 : 0);
        const bool used = word[0] == L'*';
        word.erase(0, used ? 1 : 0);
        const size_t equals = word.find(L'=');
        const std::wstring label = equals == std::wstring::npos ? L"" : word.substr(equals + 1);
        items.push_back(MakeItem(word.substr(0, equals), label, used, locked));
    }
    return items;
}

std::wstring Words(const std::vector<HistoryItem>& items) {
    std::wstring words;
    for (const HistoryItem& item : items)
        words += std::wstring(words.empty() ? L"" : L" ") + (item.locked ? L"!" : L"") + (item.used ? L"*" : L"") +
                 item.text + (item.label.empty() ? L"" : L"=" + item.label);
    return words;
}

struct HistoryCase {
    const char* what;
    const wchar_t *base, *ours, *theirs;
    bool theirsLast;
    int maxHistory;
    const wchar_t* merged;
};

const HistoryCase kHistoryCases[] = {
    {"a copy on each side: the later side's on top", L"a b", L"x a b", L"y a b", true, 0, L"y x a b"},
    {"the same, ours later", L"a b", L"x a b", L"y a b", false, 0, L"x y a b"},
    {"a promotion on ours, a capture on theirs", L"a b c", L"*c a b", L"x a b c", true, 0, L"x *c a b"},
    {"the same, ours later", L"a b c", L"*c a b", L"x a b c", false, 0, L"*c x a b"},
    {"a swap reads as the lower entry promoted", L"a b c", L"*b a c", L"x a b c", false, 0, L"*b x a c"},
    {"moved on both sides: ours later, ours' place", L"a b c d", L"*c a b d", L"x *c a b d", false, 0, L"*c x a b d"},
    {"moved on both sides: theirs later, theirs' place", L"a b c d", L"*c a b d", L"a c b d", true, 0, L"a *c b d"},
    {"a capture stays on top of a neighbour dragged down", L"a b c d", L"x a b c d", L"b c a d", true, 0, L"x b c a d"},
    {"a delete on ours, untouched on theirs", L"a b c", L"a c", L"x a b c", true, 0, L"x a c"},
    {"a delete on theirs, untouched on ours", L"a b c", L"a b c", L"a c", false, 0, L"a c"},
    {"a delete against a relabel keeps it", L"a b c", L"a c", L"a b=note c", true, 0, L"a b=note c"},
    {"a delete against a promotion keeps it on top", L"a b c", L"*c a b", L"a b", true, 0, L"*c a b"},
    {"a delete against a lock keeps it locked", L"!l a b", L"!l a", L"!b !l a", false, 0, L"!b !l a"},
    {"a lock on one side, a capture on the other", L"!l a b", L"!b !l a", L"!l x a b", true, 0, L"!b !l x a"},
    {"an unlock goes below the locked group", L"!k !l a", L"!k !l x a", L"!l k a", true, 0, L"!l k x a"},
    {"marks merge field by field", L"a b", L"!a b", L"a=n *b", true, 0, L"!a=n *b"},
    {"both relabel: theirs later wins", L"a b", L"a=x b", L"a=y b", true, 0, L"a=y b"},
    {"both relabel: ours later wins", L"a b", L"a=x b", L"a=y b", false, 0, L"a=x b"},
    {"the same capture on both sides counts once", L"a", L"x a", L"x a", true, 0, L"x a"},
    {"duplicates pair by their order", L"a d b d", L"a d b", L"x a d b d", true, 0, L"x a d b"},
    {"a duplicate captured on one side", L"d a", L"d d a", L"x d a", true, 0, L"x d d a"},
    {"MaxHistory cuts the unlocked from the bottom", L"!l a b", L"!l x a b", L"!l y a b", true, 2, L"!l y x"},
    {"locked entries over MaxHistory stay", L"!k !l !m a", L"!k !l !m x a", L"!k !l !m a", true, 1, L"!k !l !m x"},
    {"a hand-edited theirs gets its locked group gathered", L"a", L"a", L"b !l a", true, 0, L"!l b a"},
};

TEST(HistoryMerge, Cases) {
    for (const HistoryCase& c : kHistoryCases) {
        SCOPED_TRACE(c.what);
        const auto merged = MergeHistory(Items(c.base), Items(c.ours), Items(c.theirs), c.theirsLast, c.maxHistory);
        EXPECT_EQ(Words(merged), c.merged);
        // A merged history merged with itself settles.
        EXPECT_EQ(Words(MergeHistory(merged, merged, merged, c.theirsLast, c.maxHistory)), c.merged);
        // With nothing new on one side the merge is the other side exactly, so nothing is saved.
        const auto theirs = Items(c.theirs);
        if (std::is_partitioned(theirs.begin(), theirs.end(), [](const HistoryItem& i) { return i.locked; })) {
            EXPECT_EQ(Words(MergeHistory(Items(c.base), Items(c.base), theirs, false, 0)), c.theirs);
        }
        EXPECT_EQ(Words(MergeHistory(Items(c.base), Items(c.ours), Items(c.base), true, 0)), c.ours);
    }
}

TEST(HistoryMerge, EntriesOfOursKeepTheirIds) {
    const auto ours = Items(L"x a b");
    const auto theirs = Items(L"y a b");
    const auto merged = MergeHistory(Items(L"a b"), ours, theirs, true, 0);
    ASSERT_EQ(Words(merged), L"y x a b");
    EXPECT_EQ(merged[0].id, theirs[0].id);
    for (size_t i = 1; i < merged.size(); ++i)
        EXPECT_EQ(merged[i].id, ours[i - 1].id);
}

// Random edits made with the program's own functions: one side's edits come through whole, and
// every capture of either side survives a merge with the other's.
TEST(HistoryMerge, EditsOfThePrograms) {
    std::mt19937 rng(5);
    const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    int serial = 0;
    const auto edit = [&](AppState& state, std::vector<std::wstring>& captured) {
        std::vector<HistoryItem>& h = state.tabs[0].items;
        const int row = static_cast<int>(pick(h.size()));
        switch (pick(6)) {
        case 0:
            captured.push_back(L"new" + std::to_wstring(++serial));
            CaptureClipboardText(state, captured.back());
            break;
        case 1:
            CaptureClipboardText(state, h[row].text); // a duplicate, or a promotion
            break;
        case 2:
            PromoteEntry(h, row, true);
            break;
        case 3:
            ToggleEntryLock(h, row);
            break;
        case 4:
            MoveHistoryItem(h, row, static_cast<int>(pick(h.size())));
            break;
        default:
            h[row].label = L"label" + std::to_wstring(++serial);
        }
    };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        AppState ours, theirs;
        ours.MaxHistory = 0;
        ours.RemoveDuplicateHistory = pick(2) == 0;
        std::vector<std::wstring> captured;
        for (int i = 0; i < 8; ++i)
            CaptureClipboardText(ours, std::wstring(1, static_cast<wchar_t>(L'a' + pick(6))));
        const std::vector<HistoryItem> base = ours.tabs[0].items;
        theirs = ours;
        for (size_t i = pick(4); i < 4; ++i)
            edit(theirs, captured);
        const std::vector<HistoryItem>& t = theirs.tabs[0].items;
        EXPECT_EQ(Words(MergeHistory(base, base, t, false, 0)), Words(t));
        EXPECT_EQ(Words(MergeHistory(base, t, base, true, 0)), Words(t));

        for (size_t i = pick(4); i < 4; ++i)
            edit(ours, captured);
        const auto merged = MergeHistory(base, ours.tabs[0].items, t, pick(2) == 0, 0);
        for (const std::wstring& text : captured)
            EXPECT_TRUE(std::any_of(merged.begin(), merged.end(), [&](const HistoryItem& i) { return i.text == text; }))
                << Words(merged);
        EXPECT_TRUE(std::is_partitioned(merged.begin(), merged.end(), [](const HistoryItem& i) { return i.locked; }));
        EXPECT_EQ(MergeHistory(merged, merged, merged, true, 0), merged);
    }
}

TEST(HistoryMerge, TwoWayKeepsEveryEntryAndOursMarks) {
    EXPECT_EQ(Words(MergeHistoryTwoWay(Items(L"x a b"), Items(L"y a b=copy"), 0)), L"x y a b");
    EXPECT_EQ(Words(MergeHistoryTwoWay(Items(L"!l *b a"), Items(L"a b c"), 0)), L"!l *b a c");
    EXPECT_EQ(Words(MergeHistoryTwoWay(Items(L"x a b"), Items(L"y a b"), 2)), L"x y");
}

// A case of the lists, the memo pad or the settings.
struct MergeCase {
    const char* what;
    const wchar_t *base, *ours, *theirs, *merged; // base null: the two-way merge with a conflict copy
};

const MergeCase kListCases[] = {
    {"a change on ours", L"a b c", L"a b=n c", L"a b c", L"a b=n c"},
    {"an insert and a delete on theirs", L"a b c", L"a b c", L"x a c", L"x a c"},
    {"changes in different places", L"a b c d e", L"a b2 c d e", L"a b c d e2", L"a b2 c d e2"},
    {"the same change on both sides counts once", L"a b c", L"a b2 c", L"a b2 c", L"a b2 c"},
    {"a conflicting stretch: both, ours first", L"a b c", L"a b1 c", L"a b2 c", L"a b1 b2 c"},
    {"insertions at the same place", L"a c", L"a x c", L"a y c", L"a x y c"},
    {"what both insert first counts once", L"a c", L"a s x c", L"a s y c", L"a s x y c"},
    {"what both insert last counts once", L"a c", L"a x s c", L"a y s c", L"a x y s c"},
    {"a delete against a change keeps the change", L"a b c", L"a c", L"a !b c", L"a !b c"},
    {"marks are part of the entry", L"a m b", L"*a m b", L"a m b=n", L"*a m b=n"},
    {"two-way: common entries once", nullptr, L"a b c", L"a b c", L"a b c"},
    {"two-way: ours' stretch, then the copy's", nullptr, L"a x c d", L"a y c e", L"a x y c d e"},
    {"two-way: a differing mark is a differing entry", nullptr, L"a b", L"a *b", L"a b *b"},
};

TEST(ListMerge, Cases) {
    for (const MergeCase& c : kListCases) {
        SCOPED_TRACE(c.what);
        const auto merged = c.base ? MergeEntryLists(Items(c.base), Items(c.ours), Items(c.theirs))
                                   : MergeEntryListsTwoWay(Items(c.ours), Items(c.theirs));
        EXPECT_EQ(Words(merged), c.merged);
    }
    const auto ours = Items(L"a b c");
    const auto merged = MergeEntryLists(Items(L"a c"), ours, Items(L"a c d"));
    ASSERT_EQ(Words(merged), L"a b c d");
    EXPECT_EQ(merged[1].id, ours[1].id);
}

bool IsSubsequence(const std::vector<HistoryItem>& part, const std::vector<HistoryItem>& whole) {
    size_t i = 0;
    for (const HistoryItem& item : whole)
        i += i < part.size() && part[i] == item;
    return i == part.size();
}

// Random lists over few texts, so that the diffs meet every shape: one side's edits come through
// whole, and a two-way merge holds both sides with what they share (at least the list both were
// made from) once.
TEST(ListMerge, RandomListsOverFewTexts) {
    std::mt19937 rng(3);
    const auto words = [&](int most) {
        std::wstring w;
        for (int n = std::uniform_int_distribution<int>(0, most)(rng); n > 0; --n)
            w += std::wstring(1, static_cast<wchar_t>(L'a' + rng() % 4)) + L" ";
        return w;
    };
    const auto withInserts = [&](const std::wstring& shared) {
        std::wistringstream in(shared);
        std::wstring out = words(2);
        for (std::wstring word; in >> word;)
            out += word + L" " + words(2);
        return Items(out.c_str());
    };
    for (int round = 0; round < 500; ++round) {
        const std::wstring shared = words(12);
        const auto base = Items(shared.c_str()), ours = withInserts(shared), theirs = withInserts(shared);
        EXPECT_EQ(MergeEntryLists(base, ours, base), ours);
        EXPECT_EQ(MergeEntryLists(base, base, theirs), theirs);
        EXPECT_EQ(MergeEntryListsTwoWay(ours, base), ours);
        const auto both = MergeEntryListsTwoWay(ours, theirs);
        EXPECT_TRUE(IsSubsequence(ours, both) && IsSubsequence(theirs, both)) << Words(ours) << " / " << Words(theirs);
        EXPECT_LE(both.size() + base.size(), ours.size() + theirs.size()) << Words(ours) << " / " << Words(theirs);
    }
}

const MergeCase kMemoCases[] = {
    {"a change on ours", L"a\nb\nc", L"a\nB\nc", L"a\nb\nc", L"a\nB\nc"},
    {"a change on theirs", L"a\nb\nc", L"a\nb\nc", L"a\nb\nC", L"a\nb\nC"},
    {"the same change on both sides counts once", L"a\nb", L"a\nx\nb", L"a\nx\nb", L"a\nx\nb"},
    {"a conflicting line: both, ours first", L"a\nb\nc", L"a\nX\nc", L"a\nY\nc", L"a\nX\nY\nc"},
    {"lines added at the end without a line end", L"a", L"a\nx", L"a\ny", L"a\nx\ny"},
    {"the line end at the end is a line", L"a\n", L"a\nb\n", L"a\n", L"a\nb\n"},
    {"CR LF stays", L"a\r\nb", L"a\r\nb\r\nc", L"z\r\na\r\nb", L"z\r\na\r\nb\r\nc"},
    {"a lone CR ends a line", L"a\rb\rc", L"A\rb\rc", L"a\rb\rC", L"A\rb\rC"},
    {"mixed line ends become CR LF", L"a\nb", L"a\nb\r\nc", L"a\nb", L"a\r\nb\r\nc"},
    {"no line end at all: CR LF", L"", L"x", L"y", L"x\r\ny"},
    {"two-way: common lines once", nullptr, L"a\nb\nc", L"a\nx\nc", L"a\nb\nx\nc"},
};

TEST(MemoMerge, Cases) {
    for (const MergeCase& c : kMemoCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.base ? MergeMemoText(c.base, c.ours, c.theirs) : MergeMemoTextTwoWay(c.ours, c.theirs), c.merged);
    }
}

// Settings texts with "|" for CR LF.
std::wstring Ini(const wchar_t* lines) {
    std::wstring text = lines;
    std::wstring out;
    for (wchar_t c : text)
        out += c == L'|' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return out;
}

const MergeCase kSettingsCases[] = {
    {"a change on theirs is taken", L"[O]|A=1|B=1|", L"[O]|A=1|B=1|", L"[O]|A=2|B=1|", L"[O]|A=2|B=1|"},
    {"changes of different keys", L"[O]|A=1|B=1|", L"[O]|A=2|B=1|", L"[O]|A=1|B=2|", L"[O]|A=2|B=2|"},
    {"both changed: ours", L"[O]|A=1|", L"[O]|A=2|", L"[O]|A=3|", L"[O]|A=2|"},
    {"blanks around a value are no change", L"[O]|A=1|", L"[O]|A= 1 |", L"[O]|A=3|", L"[O]|A=3|"},
    {"Rect stays ours", L"[Window]|Rect=0,0,9,9|", L"[Window]|Rect=0,0,9,9|", L"[Window]|Rect=5,5,9,9|",
     L"[Window]|Rect=0,0,9,9|"},
    {"a Rect only theirs has stays out", L"[Window]|", L"[Window]|", L"[Window]|Rect=5,5,9,9|", L"[Window]|"},
    {"tab names merge", L"[Tabs]|Tab1=a|TabType1=0|", L"[Tabs]|Tab1=a|TabType1=2|", L"[Tabs]|Tab1=b|TabType1=0|",
     L"[Tabs]|Tab1=b|TabType1=2|"},
    {"a key added by theirs goes to the end of its section", L"[O]|A=1||[T]|X=1|", L"[O]|A=1||[T]|X=1|",
     L"[O]|A=1|C=1||[T]|X=1|", L"[O]|A=1|C=1||[T]|X=1|"},
    {"a section added by theirs goes to the end", L"[O]|A=1|", L"[O]|A=2|", L"[O]|A=1|[Font]|FontSize=9|",
     L"[O]|A=2||[Font]|FontSize=9|"},
    {"a delete on ours goes", L"[O]|A=1|B=1|", L"[O]|A=1|", L"[O]|A=1|B=1|", L"[O]|A=1|"},
    {"a delete on theirs goes", L"[O]|A=1|B=1|", L"[O]|A=1|B=1|", L"[O]|B=1|", L"[O]|B=1|"},
    {"a delete on theirs against a change keeps ours", L"[O]|A=1|", L"[O]|A=2|", L"[O]|", L"[O]|A=2|"},
    {"ours' layout, CR LF, the last line of a key", L"[O]\nA=1\n", L"; note\n[O]\nA=0\nA=1\n\n", L"[O]|A=2|",
     L"; note|[O]|A=2||"},
    {"two-way: ours' values, the copy's new keys", nullptr, L"[Window]|Rect=1|[O]|A=1|B=1|",
     L"[Window]|Rect=2|[O]|A=2|C=1|", L"[Window]|Rect=1|[O]|A=1|B=1|C=1|"},
};

TEST(SettingsMerge, Cases) {
    for (const MergeCase& c : kSettingsCases) {
        SCOPED_TRACE(c.what);
        const std::wstring merged = c.base ? MergeSettingsText(Ini(c.base), Ini(c.ours), Ini(c.theirs))
                                           : MergeSettingsTwoWay(Ini(c.ours), Ini(c.theirs));
        EXPECT_EQ(merged, Ini(c.merged));
    }
}

TEST(ConflictNames, Table) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"history.sync-conflict-20261209-101010-ABCDEF7.ini", L"history.ini"},
        {L"Templates2.SYNC-CONFLICT-20261209-101010-abcdef7.TXT", L"templates2.txt"},
        {L"settings (Taro-PC's conflicted copy 2026-12-09).ini", L"settings.ini"},
        {L"History (John's Laptop's Conflicted Copy 2026-12-09).INI", L"history.ini"},
        {L"templates (Taro-PC の競合コピー 2026-12-09).txt", L"templates.txt"},
        {L"history (PC's conflicted copy 2026-12-09 (1)).ini", L"history.ini"},
        {L"history (PC's conflicted copy 2026-12-09) (2).ini", L"history.ini"},
        {L"templates3 (conflicted copy 2026-12-09 101010).txt", L"templates3.txt"},
        {L"history.ini", L""},
        {L"history-Taro-PC.ini", L""}, // OneDrive's
        {L"history.ini.tmp", L""},
        {L"history.sync-conflict-20261209-101010-ABCDEF7.ini.tmp", L""},
        {L"notes.sync-conflict-20261209-101010-ABCDEF7.txt", L""},
        {L"templates4 (PC's conflicted copy 2026-12-09).txt", L""},
        {L"history (PC's conflicted copy 2026-12-09).txt", L""},
        {L"history.sync-conflict-2026129-101010-ABCDEF7.ini", L""},
        {L"history.sync-conflict-20261209-101010-.ini", L""},
        {L"history ('s conflicted copy 2026-12-09).ini", L""},
        {L"history (conflicted copy 2026-12-09).ini", L""},
        {L"history (PC's conflicted copy 2026-12-9).ini", L""},
        {L"history (PC's conflicted copy 2026-12-09 (x)).ini", L""},
        {L"history (PC's copy 2026-12-09).ini", L""},
    };
    for (const auto& [name, file] : names)
        EXPECT_EQ(ConflictCopyOf(name), file) << name;
}

} // namespace
