// What the history and template files share: the placeholder of an empty sealed tab,
// and writing a file body plain (after a byte order mark) or sealed.
#pragma once

#include "core/Types.h"
#include "storage/ItemFormat.h"
#include "storage/TextFile.h"

#include <string>
#include <vector>

// The entries to store from the first `count` of items: the placeholder when a sealed list
// is empty; otherwise without placeholders, except when a sealed list's only entry is one.
ItemRefs StoredItems(const std::vector<HistoryItem>& items, size_t count, bool sealed);

// Writes a data file: plain as UTF-8 after a byte order mark, or as the bare envelope of
// the body when password is non-empty. True only when the new file is in place; when
// sealing or writing fails the previous file stays.
bool WritePlainDataFile(const std::wstring& fileName, std::string_view utf8Body);
// The same for a body given in pieces, written one after the other.
bool WritePlainDataFile(const std::wstring& fileName, const std::vector<std::string_view>& utf8Pieces);
bool WriteSealedDataFile(const std::wstring& fileName, const std::wstring& body, const std::wstring& password);

// Writes a text as it is, sealed when password is non-empty.
bool WriteTextFile(const std::wstring& fileName, const std::wstring& text, const std::wstring& password);

// Writes entries in the item text format, sealed when password is non-empty.
bool WriteItemsFile(const std::wstring& fileName, const ItemRefs& items, const std::wstring& password);

// The entries of the last plain write of WriteItemsFile to the file, read back from the bytes it
// keeps (as a reader of that file would take them); false when none was made this run.
bool LastPlainItemsWritten(const std::wstring& fileName, std::vector<HistoryItem>& items);

struct DataFileText {
    FileRead status = FileRead::Missing;
    bool present = false; // the file was read and holds some text
    bool sealed = false;  // the text is an envelope
    std::wstring text;
    FileStamp stamp; // the file as it was read
};

// Reads a data file with the trailing trim and tells whether it is sealed.
DataFileText ReadDataFile(const std::wstring& fileName);

// What becomes of the temporary file of a safe write found at start (a hard stop cut the write
// short, or a FAT32 or exFAT stick was pulled between the old file's removal and the rename,
// which nothing journals there). Beside its data file it may go: that file holds the last whole
// write. Without one it may be the only copy: put in place when it reads as a whole file of its
// kind, else kept as <file>.recovered for the user. An empty one holds nothing and goes.
enum class LeftoverFate { Remove, PutInPlace, KeepAsRecovered };
enum class DataFileKind { Settings, Entries };
LeftoverFate FateOfLeftover(DataFileKind kind, bool targetExists, std::string_view bytes);

// Whether the bytes are what a write of that kind leaves when it ends. A sealed file: an envelope
// with every field whole. A plain one: the byte order mark every write begins with, then strict
// UTF-8 (a cut inside a character fails it; a cut between characters cannot be told from a shorter
// file, which is then taken for what it holds). settings.ini: plain, and its [Tabs] lines, which
// every write has, are there up to the line end.
bool IsWholeDataFile(DataFileKind kind, std::string_view bytes);

// Settles the temporary files of cut-short writes beside the data files (FateOfLeftover). Returns
// the names of the files kept as .recovered, which the user is told of.
std::vector<std::wstring> SettleLeftoverWrites();
