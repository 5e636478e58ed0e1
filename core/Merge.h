// Merging a data file that changed on disk while this PC held its own changes (the data folder
// shared between PCs by a sync service). Three versions meet: base (the file as this PC last
// read or wrote it), ours (what this PC holds now) and theirs (what the file holds now). The
// user is never asked: a change of one side is taken, and where both changed the same thing
// differently the rules below decide without losing what either side added.
//
// A conflict copy (a second file a sync service leaves beside the first when two PCs wrote
// it at once) has no base; the two-way merges keep every entry of either side.
#pragma once

#include "core/Types.h"

#include <string>
#include <string_view>
#include <vector>

// ---- The history ------------------------------------------------------------------------------
//
// An entry is its text (known by its length and 128-bit fingerprint): the k-th entry with a text
// in one version is the k-th with that text in the others, so duplicates pair up from the top.
// Its label, lock mark and used mark merge field by field (a change of one side is taken; both
// changed differently: the side that changed last wins).
//
// Order: on each side, the longest run of entries still in base's order counts as left in place;
// any other entry of that side was moved there, or is new. The entries left in place on every
// side that holds them keep base's order. Every other entry is placed as its side shows it: just
// above the next left-in-place entry below it there (at the bottom when none is). Entries placed
// at one spot go in two groups, the side that changed last on top, each in its side's order; an
// entry new or moved on both sides is placed by the side that changed last. So a capture or a
// promotion on either side ends on top, the later side's above the other's.
//
// An entry deleted on one side goes when the other left it as base had it (same place and
// fields), and stays when the other moved or changed it. The locked entries are then gathered
// at the top in that order, and the unlocked ones beyond maxHistory cut from the bottom (0 or
// less: no cut); locked entries are never cut. An entry that ours holds keeps ours' id.
//
// Theirs is taken by value and its texts move into the result: the caller has just read it from
// the file, and copying a long history's texts would cost as much as the merge.
std::vector<HistoryItem> MergeHistory(const std::vector<HistoryItem>& base, const std::vector<HistoryItem>& ours,
                                      std::vector<HistoryItem> theirs, bool theirsChangedLast, int maxHistory);

// Every entry of either side: the base is the entries both hold, as the copy has them, so every
// difference counts as ours' change and ours wins where they differ; ours' new entries go above
// the copy's.
std::vector<HistoryItem> MergeHistoryTwoWay(const std::vector<HistoryItem>& ours, std::vector<HistoryItem> copy,
                                            int maxHistory);

// ---- Template and memo lists --------------------------------------------------------------------
//
// Entries are merged as lines are in a three-way text merge, compared by all they hold (text,
// label, marks): a stretch changed on one side only takes that side's version; where both
// changed the same stretch differently both versions stand, ours first, with the entries both
// begin or end with once. Nothing is dropped. Entries taken from ours keep ours' ids.
std::vector<HistoryItem> MergeEntryLists(const std::vector<HistoryItem>& base, const std::vector<HistoryItem>& ours,
                                         const std::vector<HistoryItem>& theirs);

// Common entries once (the base is what both share); where they differ, ours' stretch, then the
// copy's.
std::vector<HistoryItem> MergeEntryListsTwoWay(const std::vector<HistoryItem>& ours,
                                               const std::vector<HistoryItem>& copy);

// ---- The memo pad -------------------------------------------------------------------------------
//
// The same merge by lines (a line ends at CR LF, LF or a lone CR). The result takes the line
// end ours and theirs use when all their line ends are of one kind, else CR LF.
std::wstring MergeMemoText(std::wstring_view base, std::wstring_view ours, std::wstring_view theirs);
std::wstring MergeMemoTextTwoWay(std::wstring_view ours, std::wstring_view copy);

// ---- settings.ini -------------------------------------------------------------------------------
//
// On the decoded text. A key is its section and its name ("Key=Value" lines; the last line of a
// key counts, as for the reader). A key changed on one side only takes that side's value; one
// both changed keeps ours; one added by either side is kept; one deleted on one side and left on
// the other goes. Rect in [Window] always stays ours: it is this PC's own window. The result is
// ours' lines in ours' order (but for the earlier lines of a key, which the reader passes over),
// theirs' new keys after the last key of their section (a section ours lacks at the end), every
// line ended with CR LF.
std::wstring MergeSettingsText(std::wstring_view base, std::wstring_view ours, std::wstring_view theirs);

// Ours' values; the keys only the copy has are added. Rect stays ours.
std::wstring MergeSettingsTwoWay(std::wstring_view ours, std::wstring_view copy);
