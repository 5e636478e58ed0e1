// The item text format shared by the history file and the template files: blocks
// separated by "---" lines; a block is an optional "[LABEL]" line, then the text with
// the markers "[L]" (locked) and "[C]" (used) in front of it.
//
// A text line that would be misread (a "---" line, a first line that begins with a
// marker or "[LABEL]", a first line left empty) gets one extra backslash in front,
// removed again on reading; a line that already begins with backslashes before such a
// form gets one more, so the escape round-trips. Every other line is written as is, so
// files without such texts are byte for byte what they always were. A first line that
// begins with the sealed-file magic is escaped the same way, so that only a real envelope
// ever begins a file with it.
#pragma once

#include "core/Types.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

std::wstring ItemsToText(const std::vector<HistoryItem>& items);

// The writers also take a list of references, so a file can be written from part of a
// list without copying its texts.
using ItemRefs = std::vector<const HistoryItem*>;
ItemRefs RefsTo(const std::vector<HistoryItem>& items);
std::wstring ItemsToText(const ItemRefs& items);

struct Utf8Buffer;

// ItemsToText encoded as UTF-8 in one pass, into out (cleared first; its memory is reused).
void ItemsToUtf8(const ItemRefs& items, Utf8Buffer& out);

// ItemsToUtf8 for a file written again and again (the history, on every capture, which changes
// one entry): an entry that is what it was at the last write keeps the bytes it had then, where
// they are, and only the others are encoded. The file is given as pieces to write one after the
// other; the entries that stayed in their order lie in one piece. An entry is known by its id and
// recognised by its label, its flags, its text's length and a 128-bit fingerprint of the text.
// The bytes are exactly ItemsToUtf8's.
class ReusingItemWriter {
public:
    ReusingItemWriter();
    ~ReusingItemWriter();
    ReusingItemWriter(const ReusingItemWriter&) = delete;
    ReusingItemWriter& operator=(const ReusingItemWriter&) = delete;

    // The bytes for `items`, in pieces; valid until the next call.
    const std::vector<std::string_view>& Write(const ItemRefs& items);
    // The pieces of the last Write (none before the first).
    const std::vector<std::string_view>& LastPieces() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Never fails: any text gives some list (possibly empty).
std::vector<HistoryItem> TextToItems(std::wstring_view text);

// True when a template tab's single entry can be stored as its bare text (BareEntryText): it
// has no label and no flags, does not begin like a sealed file, and reading that bare text
// gives the same entry back, line ends as the item format reads them.
bool StoresAsBareText(const HistoryItem& item);

// What the file of such an entry holds: its text with every line end (CR LF, LF, a lone CR) as
// CR LF, as the item format writes its lines.
std::wstring BareEntryText(std::wstring_view text);

// A memo pad's text as its plain file stores it, and back. Only a sealed file begins with
// the envelope's magic: a text that does (after any backslashes) gets one backslash more.
std::wstring EscapeBareText(std::wstring_view text);
std::wstring UnescapeBareText(std::wstring text);
