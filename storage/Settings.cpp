#include "storage/Settings.h"

#include "core/Text.h"
#include "storage/TextFile.h"

#include <windows.h>

#include <climits>
#include <cwctype>

namespace {

bool StartsWith(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Reads one number as scanf's %d does; returns false (value untouched) when none is there.
bool ScanInt(std::wstring_view& text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    size_t digits = i;
    if (digits < text.size() && (text[digits] == L'+' || text[digits] == L'-'))
        ++digits;
    if (digits >= text.size() || text[digits] < L'0' || text[digits] > L'9')
        return false;
    size_t end = digits;
    while (end < text.size() && text[end] >= L'0' && text[end] <= L'9')
        ++end;
    value = ParseLeadingInt(text.substr(i, end - i));
    text.remove_prefix(end);
    return true;
}

void ScanRect(std::wstring_view value, WindowRect& rect) {
    int32_t* fields[] = {&rect.x, &rect.y, &rect.width, &rect.height};
    for (size_t f = 0; f < 4; ++f) {
        if (f > 0) {
            if (value.empty() || value.front() != L',')
                return;
            value.remove_prefix(1);
        }
        if (!ScanInt(value, *fields[f]))
            return;
    }
}

std::wstring_view TrimValue(std::wstring_view value) {
    // Line breaks at the end are never part of a value, not even of one that is only blanks: the
    // writer ends the value's line with one, and a value that ended in another would lose it.
    while (!value.empty() && (value.back() == L'\r' || value.back() == L'\n'))
        value.remove_suffix(1);
    const std::wstring_view trimmed = TrimBlanks(value);
    return trimmed.empty() ? value : trimmed; // only blanks: kept as they are
}

// The [Options] keys in the order the file holds them; the reader and the writer both go by it.
struct OptionKey {
    const wchar_t* name;
    bool AppOptions::*flag;      // written 0 or 1, true only for "1"
    int32_t AppOptions::*number; // signed decimal
    uint32_t AppOptions::*code;  // unsigned decimal
};

constexpr OptionKey kOptionKeys[] = {
    {L"AlwaysOnTop", &AppOptions::AlwaysOnTop, nullptr, nullptr},
    {L"StayVisible", &AppOptions::StayVisible, nullptr, nullptr},
    {L"PauseHistory", &AppOptions::PauseHistory, nullptr, nullptr},
    {L"HistoryLimit", nullptr, &AppOptions::HistoryLimit, nullptr},
    {L"MaxHistory", nullptr, &AppOptions::MaxHistory, nullptr},
    {L"EnabledArea", nullptr, &AppOptions::EnabledArea, nullptr},
    {L"RemoveDuplicateHistory", &AppOptions::RemoveDuplicateHistory, nullptr, nullptr},
    {L"MoveToTopOnCopy", &AppOptions::MoveToTopOnCopy, nullptr, nullptr},
    {L"AutoPaste", &AppOptions::AutoPaste, nullptr, nullptr},
    {L"HotkeyMod", nullptr, nullptr, &AppOptions::HotkeyMod},
    {L"HotkeyKey", nullptr, nullptr, &AppOptions::HotkeyKey},
};

const OptionKey* FindOptionKey(std::wstring_view key) {
    for (const OptionKey& option : kOptionKeys)
        if (key == option.name)
            return &option;
    return nullptr;
}

void ApplySetting(AppSettings& s, std::wstring_view key, std::wstring_view value) {
    if (key == L"Rect") {
        ScanRect(value, s.Rect);
    } else if (const OptionKey* option = FindOptionKey(key)) {
        if (option->flag)
            s.*(option->flag) = value == L"1";
        else if (option->number)
            s.*(option->number) = ParseLeadingInt(value);
        else
            s.*(option->code) = ParseLeadingCode(value);
    } else if (key == L"IgnorePrograms") {
        s.IgnorePrograms = ParseProgramList(value);
    } else if (key == L"PasteKeys") {
        s.PasteKeysGiven = true;
        s.PasteKeys = ParsePasteKeys(value).rules; // a key that is none of the four is skipped
    } else if (key == L"ClearSecretSeconds") {
        s.ClearSecretSeconds = ParseClearSecretSeconds(value);
    } else if (key == L"MaxEntryChars") {
        s.MaxEntryChars = ParseMaxEntryChars(value);
    } else if (key == L"FontSize") {
        s.FontSize = ParseLeadingInt(value);
    } else if (key == L"FontName") {
        s.FontName.assign(value);
    } else if (StartsWith(key, L"TabType")) {
        const int n = ParseLeadingInt(key.substr(7));
        if (n >= 0 && n < kTabCount)
            s.TabTypes[n] = static_cast<int32_t>(TabTypeFromInt(ParseLeadingInt(value)));
    } else if (StartsWith(key, L"Tab")) {
        const int n = ParseLeadingInt(key.substr(3));
        if (n >= 0 && n < kTabCount)
            s.TabNames[n].assign(value);
    }
}

// The system's INI reader understands files the line parser cannot decode (UTF-16 written
// by hand); its tab names and kinds stand unless the parser finds the same keys.
void ReadTabsWithProfileApi(const std::wstring& path, AppSettings& s) {
    for (int n = 0; n < kTabCount; ++n) {
        const std::wstring nameKey = L"Tab" + std::to_wstring(n);
        const std::wstring typeKey = L"TabType" + std::to_wstring(n);
        wchar_t buffer[256] = {};
        GetPrivateProfileStringW(L"Tabs", nameKey.c_str(), L"", buffer, 256, path.c_str());
        s.TabNames[n] = buffer;
        const UINT type = GetPrivateProfileIntW(L"Tabs", typeKey.c_str(), 0, path.c_str());
        s.TabTypes[n] = (type == 1 || type == 2) ? static_cast<int32_t>(type) : 0;
    }
}

} // namespace

namespace {

// Leading blanks, a sign and digits, as _wtoi reads them (0 when there are none), held to
// [least, most] instead of overflowing.
long long ParseLeadingNumber(std::wstring_view text, long long least, long long most) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const long long limit = negative ? -least : most;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit)
            value = limit; // saturate; keep reading digits
    }
    return negative ? -value : value;
}

} // namespace

int ParseLeadingInt(std::wstring_view text) {
    return static_cast<int>(ParseLeadingNumber(text, INT_MIN, INT_MAX));
}

uint32_t ParseLeadingCode(std::wstring_view text) {
    // Negative numbers wrap as a cast of the C runtime's result would ("-1" is 0xFFFFFFFF).
    return static_cast<uint32_t>(ParseLeadingNumber(text, INT_MIN, UINT32_MAX));
}

int32_t ParseMaxEntryChars(std::wstring_view value) {
    return ParseCount(value, AppOptions().MaxEntryChars, INT_MAX); // a typo never lifts the cap
}

void ParseSettingsText(std::wstring_view text, AppSettings& settings) {
    ForEachLine(text, LineBreaks::Lf, false, [&](std::wstring_view line) {
        if (line.empty() || line.front() == L'[')
            return; // sections are only for the eye
        const size_t equals = line.find(L'=');
        if (equals != std::wstring_view::npos)
            ApplySetting(settings, line.substr(0, equals), TrimValue(line.substr(equals + 1)));
    });
}

bool LoadSettings(AppSettings& settings, FileRead* read) {
    const std::wstring path = DataFilePath(kSettingsFileName);
    ReadTabsWithProfileApi(path, settings);
    const TextFileContent file = ReadTextFile(path, false);
    if (read)
        *read = file.status;
    if (!file.opened)
        return false;
    ParseSettingsText(file.text, settings);
    return true;
}

namespace AppLogic {

std::string SettingsFileContent(const AppSettings& s, const TabSlots& tabs) {
    auto flag = [](bool b) { return b ? "1" : "0"; };
    auto number = [](long long n) { return std::to_string(n); };
    std::string out = kUtf8Bom;
    out += "[Window]\r\nRect=" + number(s.Rect.x) + "," + number(s.Rect.y) + "," + number(s.Rect.width) + "," +
           number(s.Rect.height) + "\r\n\r\n";
    out += "[Options]\r\n";
    for (const OptionKey& option : kOptionKeys) {
        out += ToUtf8(option.name) + "=";
        if (option.flag)
            out += flag(s.*(option.flag));
        else if (option.number)
            out += number(s.*(option.number));
        else
            out += number(s.*(option.code));
        out += "\r\n";
    }
    out += "\r\n";
    out += "[Tabs]\r\n";
    for (int n = 0; n < kTabCount; ++n) {
        out += "Tab" + number(n) + "=" + ToUtf8(tabs[n].name) + "\r\n";
        out += "TabType" + number(n) + "=" + number(static_cast<int>(TabTypeFromInt(static_cast<int>(tabs[n].type)))) +
               "\r\n";
    }
    out += "\r\n";
    if (!s.FontName.empty())
        out += "[Font]\r\nFontName=" + ToUtf8(s.FontName) + "\r\nFontSize=" + number(s.FontSize) + "\r\n";
    // The rules by program and for secrets only when they are set: without them the file is
    // what it always was.
    if (!s.IgnorePrograms.empty() || s.PasteKeysGiven) {
        out += "\r\n[Programs]\r\n";
        if (!s.IgnorePrograms.empty())
            out += "IgnorePrograms=" + ToUtf8(ProgramListText(s.IgnorePrograms)) + "\r\n";
        if (s.PasteKeysGiven)
            out += "PasteKeys=" + ToUtf8(PasteKeysText(s.PasteKeys)) + "\r\n";
    }
    const bool clearChanged = s.ClearSecretSeconds != kDefaultClearSecretSeconds;
    const bool capChanged = s.MaxEntryChars != AppOptions().MaxEntryChars;
    if (clearChanged || capChanged) {
        out += "\r\n[Clipboard]\r\n";
        if (clearChanged)
            out += "ClearSecretSeconds=" + number(s.ClearSecretSeconds) + "\r\n";
        if (capChanged)
            out += "MaxEntryChars=" + number(s.MaxEntryChars) + "\r\n";
    }
    return out;
}

bool SaveSettings(const AppSettings& settings, const TabSlots& tabs) {
    const std::string content = SettingsFileContent(settings, tabs);
    return SafeWriteFile(DataFilePath(kSettingsFileName), [&](std::ostream& out) {
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        return true;
    });
}

} // namespace AppLogic
