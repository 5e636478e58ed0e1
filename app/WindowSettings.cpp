#include "app/WindowSettings.h"

#include "app/App.h"
#include "core/Merge.h"
#include "storage/Settings.h"
#include "storage/TextFile.h"
#include "tabs/TabFiles.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <string>
#include <utility>

namespace {

WindowRect g_savedRect{-1, -1, -1, -1}; // the rectangle settings.ini gets
std::string g_lastWritten;              // settings.ini as last written, or as the run found it, in our own words
std::string g_fileBytes;                // ... and its bytes as last read or written: a change elsewhere differs
// The rectangle as it was when settings.ini was last written or taken in: while the window has
// not moved since, a file that differs only in another PC's rectangle is not written again (each
// PC keeps its own rectangle, and the two would otherwise take turns writing theirs).
WindowRect g_settledRect{-1, -1, -1, -1};
bool g_writeAfterTakeIn = false;
bool g_settingsLoaded = false;          // settings.ini was there and read at start-up
bool g_settingsMissing = false;         // ... was not there at all: the first run in this folder

HFONT MakeListFont(const std::wstring& faceName, int pointSize) {
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(pointSize, ScreenDpi(), 72);
    font.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy_s(font.lfFaceName, LF_FACESIZE, faceName.c_str(), _TRUNCATE);
    return CreateFontIndirectW(&font);
}

} // namespace

bool FirstRunInThisFolder() {
    return g_settingsMissing;
}

int ScreenDpi() {
    UniqueWindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

AppSettings LoadStartupSettings() {
    AppSettings settings;
    FileRead read = FileRead::Missing;
    const bool loaded = LoadSettings(settings, &read);
    NoteSettingsRead(read);
    g_settingsLoaded = loaded;
    g_settingsMissing = read == FileRead::Missing;
    if (loaded) {
        ApplyLoadedSettings(settings);
        return settings;
    }
    // First start: the default size is meant at 96 dots per inch.
    const int dpi = ScreenDpi();
    settings.Rect.width = MulDiv(settings.Rect.width, dpi, 96);
    settings.Rect.height = MulDiv(settings.Rect.height, dpi, 96);
    return settings;
}

void ApplyLoadedSettings(const AppSettings& s) {
    AppState& data = AppData();
    static_cast<AppOptions&>(data) = s;
    for (int t = 0; t < kTabCount; ++t) {
        if (!s.TabNames[t].empty())
            data.tabs[t].name = s.TabNames[t];
        data.tabs[t].type = TabTypeFromInt(s.TabTypes[t]);
    }
    // The history tab is always the list of captured texts.
    data.tabs[kHistoryTab].type = TabType::Template;
    if (!s.FontName.empty() && s.FontSize != 0)
        ReplaceListFont(MakeListFont(s.FontName, s.FontSize));
}

AppSettings CollectSettings(const WindowRect& rect) {
    const AppState& data = AppData();
    AppSettings s;
    static_cast<AppOptions&>(s) = data;
    s.Rect = rect;
    for (int t = 0; t < kTabCount; ++t) {
        s.TabNames[t] = data.tabs[t].name;
        s.TabTypes[t] = static_cast<int32_t>(data.tabs[t].type);
    }
    LOGFONTW font = {};
    if (GetObjectW(ListFont(), sizeof(font), &font)) {
        s.FontName = font.lfFaceName;
        // Points at the dots per inch the font was made for.
        s.FontSize = -MulDiv(font.lfHeight, 72, MainWindowHandle() ? LayoutDpi() : ScreenDpi());
    }
    return s;
}

void NoteWindowRect(int x, int y, int width, int height) {
    WindowRect& saved = g_savedRect;
    if (x != -1)
        saved.x = x;
    if (y != -1)
        saved.y = y;
    if (width != -1)
        saved.width = width;
    if (height != -1)
        saved.height = height;
}

void NoteSettingsInForce(const WindowRect& loadedRect) {
    // Written out now, the live state would say what the file says, in the program's own words
    // (keys the file left out, the font's name): nothing to write until a setting changes.
    if (g_settingsLoaded) {
        g_lastWritten = AppLogic::SettingsFileContent(CollectSettings(loadedRect), AppData().tabs);
        g_settledRect = loadedRect;
        ReadFileBytes(DataFilePath(kSettingsFileName), g_fileBytes); // gone or unreadable meanwhile: read anew
    }
}

namespace {

// The file's text as the program writes it, for a record read from one.
std::string Rendered(const AppSettings& settings) {
    TabSlots tabs = MakeDefaultTabs();
    for (int t = 0; t < kTabCount; ++t) {
        if (!settings.TabNames[t].empty())
            tabs[t].name = settings.TabNames[t];
        tabs[t].type = TabTypeFromInt(settings.TabTypes[t]);
    }
    return AppLogic::SettingsFileContent(settings, tabs);
}

AppSettings ParsedSettings(std::wstring_view text) {
    AppSettings settings;
    ParseSettingsText(text, settings);
    return settings;
}

// Writes settings.ini (`content`: what `settings` render to) and notes what the file holds now.
void WriteSettings(const AppSettings& settings, const std::string& content) {
    const bool saved = AppLogic::SaveSettings(settings, AppData().tabs);
    if (saved) {
        g_lastWritten = content;
        g_fileBytes = content;
        g_settledRect = g_savedRect;
    }
    NoteSettingsSaved(saved);
}

} // namespace

void SaveSettingsIfChanged() {
    if (!SettingsMayBeWritten())
        return;
    AppSettings settings = CollectSettings(g_savedRect);
    const std::string content = AppLogic::SettingsFileContent(settings, AppData().tabs);
    if (content == g_lastWritten)
        return;
    if (g_savedRect == g_settledRect && !g_lastWritten.empty()) {
        // Only another PC's rectangle in the file, and this window has not moved since: nothing to write.
        settings.Rect = ParsedSettings(DecodeDataBytes(g_lastWritten, false)).Rect;
        if (AppLogic::SettingsFileContent(settings, AppData().tabs) == g_lastWritten)
            return;
        settings.Rect = g_savedRect;
    }
    WriteSettings(settings, content);
}

namespace {

// Merges `theirs` (a file's text) with the live settings against `base`; the record to apply.
AppSettings MergedWithLive(const std::wstring& base, const std::wstring& theirs, bool twoWay) {
    const std::wstring ours =
        DecodeDataBytes(AppLogic::SettingsFileContent(CollectSettings(g_savedRect), AppData().tabs), false);
    AppSettings merged = ParsedSettings(twoWay ? MergeSettingsTwoWay(ours, theirs) : MergeSettingsText(base, ours, theirs));
    merged.Rect = g_savedRect;
    return merged;
}

// Whether the merge holds what `fileText` lacks, this PC's rectangle aside.
bool HoldsMoreThan(AppSettings merged, const std::wstring& fileText) {
    const AppSettings file = ParsedSettings(fileText);
    merged.Rect = file.Rect;
    return Rendered(merged) != Rendered(file);
}

} // namespace

SettingsTakeIn TakeInSettingsFile(AppSettings& merged) {
    std::string bytes;
    switch (ReadFileBytes(DataFilePath(kSettingsFileName), bytes)) {
    case FileRead::Missing:
        return SettingsTakeIn::Unchanged; // written again with the next change
    case FileRead::Unreadable:
        return SettingsTakeIn::NotNow;
    case FileRead::Read:
        break;
    }
    if (bytes == g_fileBytes)
        return SettingsTakeIn::Unchanged; // our own write, or the file as it was read
    const std::wstring theirs = DecodeDataBytes(bytes, false);
    merged = MergedWithLive(DecodeDataBytes(g_fileBytes, false), theirs, false);
    g_writeAfterTakeIn = HoldsMoreThan(merged, theirs);
    // What the file holds now counts as written, in our own words (its rectangle another PC's).
    g_lastWritten = Rendered(ParsedSettings(theirs));
    g_fileBytes = std::move(bytes);
    g_settledRect = g_savedRect;
    return SettingsTakeIn::TakenIn;
}

SettingsTakeIn AbsorbSettingsCopy(const std::wstring& copyName, AppSettings& merged) {
    std::string bytes;
    const FileRead read = ReadFileBytes(DataFilePath(copyName), bytes);
    if (read != FileRead::Read)
        return read == FileRead::Missing ? SettingsTakeIn::Unchanged : SettingsTakeIn::NotNow;
    merged = MergedWithLive(std::wstring(), DecodeDataBytes(bytes, false), true);
    g_writeAfterTakeIn = HoldsMoreThan(merged, DecodeDataBytes(g_lastWritten, false));
    return SettingsTakeIn::TakenIn;
}

void SaveSettingsAfterTakeIn() {
    if (!std::exchange(g_writeAfterTakeIn, false) || !SettingsMayBeWritten())
        return;
    const AppSettings settings = CollectSettings(g_savedRect);
    WriteSettings(settings, AppLogic::SettingsFileContent(settings, AppData().tabs));
}

void SaveSettingsWithWindowRect() {
    RECT rect;
    HWND main = MainWindowHandle();
    if (main && GetWindowRect(main, &rect))
        NoteWindowRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    SaveSettingsIfChanged();
}

void RescaleListFont(int from, int to) {
    LOGFONTW font = {};
    if (from == to || !GetObjectW(ListFont(), sizeof(font), &font))
        return;
    font.lfHeight = MulDiv(font.lfHeight, to, from);
    font.lfWidth = MulDiv(font.lfWidth, to, from);
    ReplaceListFont(CreateFontIndirectW(&font));
}
