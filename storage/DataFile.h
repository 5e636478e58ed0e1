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

struct DataFileText {
    FileRead status = FileRead::Missing;
    bool present = false; // the file was read and holds some text
    bool sealed = false;  // the text is an envelope
    std::wstring text;
    FileStamp stamp; // the file as it was read
};

// Reads a data file with the trailing trim and tells whether it is sealed.
DataFileText ReadDataFile(const std::wstring& fileName);

// Deletes what a write cut short by a hard stop left beside the data files (the temporary
// files of their safe writes). The data files themselves hold their old content then.
void RemoveLeftoverWrites();
