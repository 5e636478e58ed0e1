// settings.ini: window rectangle, options, hotkey, tab names and kinds, list font.
#pragma once

#include "core/Types.h"

#include <string>
#include <string_view>

// Overwrites the fields of settings (already set to the defaults by the caller) with the
// values found in settings.ini. Returns false when the file cannot be opened.
bool LoadSettings(AppSettings& settings);

// Reads settings.ini text that is already decoded; the line parser of LoadSettings.
void ParseSettingsText(std::wstring_view text, AppSettings& settings);

// Reads a number the way the C runtime's _wtoi does (leading blanks, sign, digits; 0 when
// there are none), saturating instead of overflowing.
int ParseLeadingInt(std::wstring_view text);

namespace AppLogic {

// The whole settings.ini for the record; the [Tabs] lines come from the live tabs.
std::string SettingsFileContent(const AppSettings& settings, const TabSlots& tabs);

// Rewrites settings.ini. Failures are silent: the previous file stays.
void SaveSettings(const AppSettings& settings, const TabSlots& tabs);

} // namespace AppLogic
