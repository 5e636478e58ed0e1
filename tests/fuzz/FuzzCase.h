// One input of the fuzzer: the reader it goes to and its parts (file bytes, options, texts),
// kept as one byte string so that a failing input can be saved, replayed and turned into a
// regression test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The readers, and the parts of their inputs (texts as UTF-16LE bytes, see WideFromBytes).
enum class FuzzTarget {
    Items,     // a history or template file: read, written, read again [options, file bytes]
    Settings,  // settings.ini: read, written, read again [file bytes, 1 to go through the file]
    Envelope,  // a sealed text: opened, or sealed and opened [0 open or 1 seal, text, password]
    Filter,    // folding and matching [filter, then label and text of each entry]
    Clipboard, // a CF_UNICODETEXT block as another program left it [block]
};

inline constexpr FuzzTarget kFuzzTargets[] = {FuzzTarget::Items, FuzzTarget::Settings, FuzzTarget::Envelope,
                                              FuzzTarget::Filter, FuzzTarget::Clipboard};

// The first part of an Items input: which file the bytes are and how they are read.
enum class ItemFileKind { History, TemplateList, MemoList, MemoPad };
struct ItemsOptions {
    ItemFileKind kind = ItemFileKind::History;
    int32_t maxHistory = 100; // MaxHistory for the history's cut
    bool throughFiles = true; // also saved and loaded through the real files, not only in memory
};
ItemsOptions ItemsOptionsOf(std::string_view part);
std::string ItemsOptionsPart(const ItemsOptions& options);

// "items", "settings", "envelope", "filter", "clipboard": the start of a saved input's file name.
const char* TargetName(FuzzTarget target);
bool TargetFromName(std::string_view name, FuzzTarget& target);

struct FuzzCase {
    FuzzTarget target = FuzzTarget::Items;
    std::vector<std::string> parts;

    // The part at `index`, empty when there is none (a saved input may have been cut short).
    const std::string& Part(size_t index) const;
};

// The parts as saved: each one as a 4-byte little-endian length and its bytes.
std::string SerializeParts(const std::vector<std::string>& parts);
// Reads saved parts back; a length that runs past the end takes what is there.
std::vector<std::string> ParseParts(std::string_view bytes);

// UTF-16LE bytes as text and back; an odd last byte is dropped. Texts are carried this way so
// that lone surrogates and NULs survive.
std::wstring WideFromBytes(std::string_view bytes);
std::string BytesFromWide(std::wstring_view text);

// A little-endian 32-bit number at the start of `bytes` (missing bytes count as zero).
int32_t Int32At(std::string_view bytes, size_t offset);
std::string Int32Bytes(int32_t value);

// A readable rendering of bytes for reports: printable ASCII as is, everything else escaped,
// cut after `limit` bytes.
std::string Escaped(std::string_view bytes, size_t limit = 400);
