// What the history and template files share: the placeholder of an empty sealed tab,
// and writing a file body plain (after a byte order mark) or sealed.
#pragma once

#include "core/Types.h"

#include <string>
#include <vector>

// The list to store: the placeholder when a sealed list is empty; otherwise without
// placeholders, except when a sealed list's only entry is one.
std::vector<HistoryItem> WithPlaceholderRule(std::vector<HistoryItem> items, bool sealed);

// Writes body to the data file: plain as UTF-8 after a byte order mark, or as the bare
// envelope when password is non-empty. Nothing is written when sealing fails.
void WriteDataFile(const std::wstring& fileName, const std::wstring& body, const std::wstring& password);

struct DataFileText {
    bool present = false; // the file could be opened and holds some text
    bool sealed = false;  // the text is an envelope
    std::wstring text;
};

// Reads a data file with the trailing trim and tells whether it is sealed.
DataFileText ReadDataFile(const std::wstring& fileName);
