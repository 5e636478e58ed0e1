// settings.ini: window rectangle, options, hotkey, tab names and kinds, list font.
#pragma once

#include "core/Types.h"
#include "storage/TextFile.h"

#include <cstdint>
#include <string>
#include <string_view>

// Overwrites the fields of settings (already set to the defaults by the caller) with the
// values found in settings.ini. Returns false when the file cannot be opened; `read` then
// tells a missing file from one that is there but could not be read.
bool LoadSettings(AppSettings& settings, FileRead* read = nullptr);

// Reads settings.ini text that is already decoded; the line parser of LoadSettings.
void ParseSettingsText(std::wstring_view text, AppSettings& settings);

// Reads a number the way the C runtime's _wtoi does (leading blanks, sign, digits; 0 when
// there are none), saturating instead of overflowing.
int ParseLeadingInt(std::wstring_view text);

// The same for the unsigned codes (HotkeyMod, HotkeyKey): every value the writer writes reads
// back as itself; a negative number wraps around ("-1" is 0xFFFFFFFF).
uint32_t ParseLeadingCode(std::wstring_view text);

// MaxEntryChars: a count of characters (0: no cap; more than INT_MAX is INT_MAX); anything else
// keeps the default.
int32_t ParseMaxEntryChars(std::wstring_view value);

inline constexpr wchar_t kSettingsFileName[] = L"settings.ini";

namespace AppLogic {

// The whole settings.ini for the record; the [Tabs] lines come from the live tabs.
std::string SettingsFileContent(const AppSettings& settings, const TabSlots& tabs);

// Rewrites settings.ini. True when the new file is in place; otherwise the previous file stays.
bool SaveSettings(const AppSettings& settings, const TabSlots& tabs);

} // namespace AppLogic
