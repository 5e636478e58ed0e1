// Finding entries by typed words: the folding of the ways a Japanese word is typed, the words
// of a filter, the search over the folded entries and the rows a filtered list shows.
#include "core/Filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

HistoryItem Item(std::wstring text, std::wstring label = L"") {
    HistoryItem item;
    item.text = std::move(text);
    item.label = std::move(label);
    return item;
}

bool Finds(std::wstring_view filter, std::wstring_view text) {
    return FilterQuery(filter).Matches(Folded(text, FoldSide::Entry));
}

std::vector<uint32_t> Matching(const std::vector<HistoryItem>& items, std::wstring_view filter) {
    FilterIndex index;
    index.Build(items);
    std::vector<uint32_t> out;
    index.Match(FilterQuery(filter), out);
    return out;
}

TEST(Folding, TheWaysOneWordIsTypedComeOutTheSame) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
    } same[] = {
        {L"ｶﾀｶﾅ", L"カタカナ"},         // half-width katakana
        {L"かたかな", L"カタカナ"},     // hiragana
        {L"ＡＢＣ", L"abc"},            // full-width letters
        {L"ABC", L"abc"},               // case
        {L"Ｘｙ１２！", L"xy12!"},      // full-width digits and signs
        {L"ｶﾞｷﾞｸﾞｹﾞｺﾞ", L"ガギグゲゴ"}, // voiced marks joined with their letters
        {L"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", L"ダヂヅデド"},
        {L"ﾊﾞﾋﾟﾌﾞﾍﾟﾎﾞ", L"バピブペボ"}, // and the semi-voiced mark
        {L"ｳﾞｧ", L"ヴァ"},
        {L"が", L"ガ"},       // a voiced hiragana
        {L"か\u3099", L"ガ"}, // a combining mark after a hiragana
        {L"ハ\u309A", L"パ"},
        {L"ヽﾞ", L"ヾ"},
        {L"ゝゞ", L"ヽヾ"},
        {L"ｰｯｬｭｮｧｨ", L"ーッャュョァィ"}, // long vowel and small letters
        {L"｡｢｣､･ｦﾝ", L"。「」、・ヲン"},
        {L"ゔゕゖ", L"ヴヵヶ"},
        {L"ÀÉÖÞ", L"àéöþ"},    // Latin-1
        {L"ĀĲŁŽŸ", L"āĳłžÿ"},  // Latin Extended-A, both pairings
        {L"ΩΣΑ", L"ωσα"},      // Greek
        {L"ДЁЖ", L"дёж"},      // Cyrillic
        {L"￥￡", L"¥£"},      // full-width signs
        {L"a\u3000b", L"a b"}, // the ideographic space
    };
    for (const auto& pair : same)
        EXPECT_EQ(Folded(pair.a, FoldSide::Entry), Folded(pair.b, FoldSide::Entry)) << "a=" << pair.a;
}

TEST(Folding, DifferentLettersStayDifferent) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
    } different[] = {
        {L"カ", L"ガ"},       // the mark is part of the letter
        {L"ハ", L"パ"},       //
        {L"ツ", L"ッ"},       // small and large letters differ
        {L"ア", L"ｧ"},        //
        {L"ン\u3099", L"ン"}, // a letter that takes no mark keeps it beside it
        {L"×", L"÷"},         // not letters
        {L"İ", L"i"},         // no simple lower case here
        {L"日本", L"曰本"},
    };
    for (const auto& pair : different)
        EXPECT_NE(Folded(pair.a, FoldSide::Entry), Folded(pair.b, FoldSide::Entry)) << "a=" << pair.a;
    // A mark alone is the spacing mark, whatever way it came.
    EXPECT_EQ(Folded(L"ﾞ", FoldSide::Entry), L"\u309B");
    EXPECT_EQ(Folded(L"\u309A", FoldSide::Entry), L"\u309C");
    EXPECT_EQ(Folded(L"a\u3099", FoldSide::Entry), L"a\u309B");
}

TEST(Folding, SurrogatesNeverMatchByAccident) {
    const std::wstring padlock = L"\U0001F512";
    EXPECT_EQ(Folded(padlock, FoldSide::Entry), padlock); // a whole pair stays as it is
    EXPECT_TRUE(Finds(padlock, L"locked " + padlock));
    // Half of a pair in the filter finds neither the whole pair nor the same lone half.
    const std::wstring high(1, static_cast<wchar_t>(0xD83D));
    const std::wstring low(1, static_cast<wchar_t>(0xDD12));
    EXPECT_FALSE(Finds(high, padlock));
    EXPECT_FALSE(Finds(low, padlock));
    EXPECT_FALSE(Finds(high, L"x" + high + L"y"));
    EXPECT_FALSE(Finds(L"x" + low, L"x" + low));
    // What a lone half becomes in an entry cannot be typed into a filter either.
    EXPECT_FALSE(Finds(L"\uFFFF", L"a" + high));
    EXPECT_FALSE(Finds(L"\uFFFE", L"a" + high));
    // Around a lone half the rest of the entry is still found.
    EXPECT_TRUE(Finds(L"ab cd", L"ab" + high + L"cd"));
}

TEST(FilterQuery, EveryWordMustBeFoundInTheLabelOrTheText) {
    EXPECT_TRUE(Finds(L"abc", L"xxABCxx"));
    EXPECT_TRUE(Finds(L"ｶﾀｶﾅ", L"ここはカタカナです"));
    EXPECT_TRUE(Finds(L"ひらがな", L"ヒラガナの語"));
    EXPECT_TRUE(Finds(L"ABC", L"ＡＢＣ"));
    EXPECT_TRUE(Finds(L"red apple", L"an apple, red"));     // in any order
    EXPECT_FALSE(Finds(L"red apple", L"an apple, green"));  // both words
    EXPECT_TRUE(Finds(L"東京\u3000会議", L"会議は東京で")); // the ideographic space separates
    EXPECT_TRUE(Finds(L"a\tb\x01"
                      L"c",
                      L"cab")); // so do control characters

    const std::vector<HistoryItem> items = {Item(L"body text", L"Work"), Item(L"work body"), Item(L"other")};
    EXPECT_EQ(Matching(items, L"work"), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(Matching(items, L"work text"), (std::vector<uint32_t>{0})); // one word in the label, one in the text
    EXPECT_EQ(Matching(items, L"kbody"), (std::vector<uint32_t>{}));      // no word runs from label into text
    EXPECT_EQ(Matching(items, L"zzz"), (std::vector<uint32_t>{}));
}

TEST(FilterQuery, NoWordsFilterNothing) {
    EXPECT_TRUE(FilterQuery(L"").Empty());
    EXPECT_TRUE(FilterQuery(L"   \u3000\t ").Empty());
    EXPECT_EQ(FilterQuery(L"  a  b ").WordCount(), 2u);
}

// The long-word search against the plain one, on texts of two letters where borders abound.
TEST(FilterQuery, LongWordsAreFoundExactlyAsShortOnesAre) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> letter(0, 1);
    for (int round = 0; round < 400; ++round) {
        std::wstring text, word;
        for (int i = 0; i < 300; ++i)
            text += letter(rng) ? L'a' : L'b';
        const size_t at = std::uniform_int_distribution<size_t>(0, 250)(rng);
        word = text.substr(at, 32 + round % 18);
        if (round % 2)
            word[word.size() / 2] = word[word.size() / 2] == L'a' ? L'b' : L'a'; // usually absent then
        const bool expected = text.find(word) != std::wstring::npos;
        EXPECT_EQ(FilterQuery(word).Matches(text), expected) << "round " << round;
    }
}

TEST(FilterQuery, AVeryLongFilterMatchesOnlyWhatHoldsIt) {
    const std::wstring pasted(10000, L'a');
    EXPECT_FALSE(Finds(pasted, std::wstring(9999, L'a')));
    EXPECT_TRUE(Finds(pasted, L"x" + std::wstring(20000, L'A') + L"y"));
    EXPECT_FALSE(Finds(pasted + L"b", std::wstring(100000, L'a'))); // in time proportional to the lengths
}

TEST(ListRows, RowsAndEntriesMapBothWays) {
    const ListRows first = ListRows::FirstEntries(3);
    EXPECT_FALSE(first.Filtered());
    EXPECT_EQ(first.IndexAt(2), 2);
    EXPECT_EQ(first.IndexAt(3), -1);
    EXPECT_EQ(first.RowOf(3), -1); // beyond the rows shown
    EXPECT_EQ(first.RowOf(-1), -1);

    const ListRows some = ListRows::Entries({2, 5, 9});
    EXPECT_TRUE(some.Filtered());
    EXPECT_EQ(some.Count(), 3);
    EXPECT_EQ(some.IndexAt(0), 2);
    EXPECT_EQ(some.IndexAt(2), 9);
    EXPECT_EQ(some.IndexAt(-1), -1);
    EXPECT_EQ(some.RowOf(5), 1);
    EXPECT_EQ(some.RowOf(4), -1); // filtered out
    EXPECT_EQ(some.RowOf(10), -1);
}

TEST(RowsToShow, AFilterSearchesTheWholeHistoryAndNeverThePlaceholder) {
    std::vector<HistoryItem> history;
    for (int i = 0; i < 50; ++i)
        history.push_back(Item(L"entry " + std::to_wstring(i)));
    FilterIndex index;
    index.Build(history);
    EXPECT_EQ(RowsToShow(history, true, 20, FilterQuery(L""), index).Count(), 20);
    EXPECT_EQ(RowsToShow(history, true, 20, FilterQuery(L"  "), index).Count(), 20);
    const ListRows found = RowsToShow(history, true, 20, FilterQuery(L"4 entry"), index);
    EXPECT_EQ(found.Count(), 14); // 4, 14, 24, 34 and 40..49: beyond HistoryLimit too
    EXPECT_EQ(found.IndexAt(1), 14);
    EXPECT_EQ(found.IndexAt(13), 49);

    const std::vector<HistoryItem> sealed = {Item(kEmptyEncryptedTab)};
    FilterIndex sealedIndex;
    sealedIndex.Build(sealed);
    EXPECT_EQ(RowsToShow(sealed, false, -1, FilterQuery(L"EMPTY"), sealedIndex).Count(), 0);
    // Entries the index was not built from are never searched as if it had been.
    EXPECT_EQ(RowsToShow(history, true, 20, FilterQuery(L"entry"), sealedIndex).Count(), 0);
}

} // namespace
