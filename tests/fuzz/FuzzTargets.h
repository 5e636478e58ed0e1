// The checks of each reader, and how they describe what they found. CheckCase (FuzzChecks.h)
// hands each input to one of them.
#pragma once

#include "core/Types.h"
#include "fuzz/FuzzCase.h"

#include <string>
#include <string_view>

// History and template files: the item format in memory; with ItemsOptions::throughFiles the
// file loaded, saved and loaded again (FuzzFileChecks.cpp).
std::string CheckItems(const FuzzCase& input);
// settings.ini: read, written and read again, in memory and (part 1 set) through the file.
std::string CheckSettings(const FuzzCase& input);
// The envelope: opened, or sealed and opened again (FuzzTextChecks.cpp).
std::string CheckEnvelope(const FuzzCase& input);
// Folding and matching against plain searches, the index and the rows of a filtered list.
std::string CheckFilter(const FuzzCase& input);
// ClipboardTextFromBlock on a block that ends where readable memory ends.
std::string CheckClipboard(const FuzzCase& input);

// Texts and entries for a report: printable ASCII as is, every other unit as \uXXXX.
std::string Shown(std::wstring_view text, size_t limit = 120);
std::string Shown(const HistoryItem& item);
std::string Number(long long value);
