#include "fuzz/FuzzTargets.h"

#include "crypto/Envelope.h"
#include "fuzz/FuzzChecks.h"
#include "storage/ItemFormat.h"
#include "storage/Settings.h"
#include "storage/SlotFile.h"
#include "storage/TextFile.h"

#include "TestSupport.h"

#include <algorithm>

namespace {

// The first entry where two lists differ, for a report.
std::string FirstDifference(const std::vector<HistoryItem>& expected, const std::vector<HistoryItem>& got) {
    for (size_t i = 0; i < expected.size() || i < got.size(); ++i) {
        if (i >= expected.size())
            return "entry " + std::to_string(i) + " is extra: " + Shown(got[i]);
        if (i >= got.size())
            return "entry " + std::to_string(i) + " is missing: " + Shown(expected[i]);
        if (expected[i] != got[i])
            return "entry " + std::to_string(i) + " expected " + Shown(expected[i]) + ", got " + Shown(got[i]);
    }
    return "no difference";
}

// What a plain save keeps of entries, and how they read back: every line end alike (CR LF, a
// lone LF and a lone CR each end a line), a label on one line (its line breaks as spaces),
// and, where the writer drops them, no placeholder of an empty sealed tab.
std::vector<HistoryItem> Normalised(const std::vector<HistoryItem>& items, bool dropPlaceholders) {
    std::vector<HistoryItem> out;
    for (const HistoryItem& item : items) {
        if (dropPlaceholders && item.text == kEmptyEncryptedTab)
            continue;
        HistoryItem e = item;
        e.text = LfOnly(item.text);
        std::replace(e.label.begin(), e.label.end(), L'\r', L' ');
        std::replace(e.label.begin(), e.label.end(), L'\n', L' ');
        out.push_back(e);
    }
    return out;
}

std::string CheckReadEntries(const std::vector<HistoryItem>& items) {
    for (const HistoryItem& item : items) {
        if (item.text.empty() && item.label.empty())
            return "an entry without text or label was read: " + Shown(item);
        if (item.label.find(L'\n') != std::wstring::npos)
            return "a label holds a line feed: " + Shown(item);
    }
    return "";
}

// The item format alone, in memory: what TextToItems reads, ItemsToText writes so that it
// reads back the same, trimmed like a file or not (a sealed body is not trimmed), and the
// UTF-8 writer writes the same text.
std::string CheckItemFormat(const std::wstring& text) {
    if (IsEnvelope(text))
        return "";
    const std::vector<HistoryItem> items = TextToItems(text);
    std::string problem = CheckReadEntries(items);
    if (!problem.empty())
        return problem;
    const std::wstring written = ItemsToText(items);
    Utf8Buffer utf8;
    ItemsToUtf8(RefsTo(items), utf8);
    if (utf8.View() != ToUtf8(written))
        return "the UTF-8 writer and the text writer disagree";
    const std::vector<HistoryItem> expected = Normalised(items, false);
    const std::vector<HistoryItem> unTrimmed = TextToItems(written);
    if (unTrimmed != expected)
        return "item format, written and read again: " + FirstDifference(expected, unTrimmed);
    const std::vector<HistoryItem> fromFile = TextToItems(DecodeDataBytes(kUtf8Bom + ToUtf8(written), true));
    if (fromFile != expected)
        return "item format, written as a file and read again: " + FirstDifference(expected, fromFile);
    return "";
}

TabSlot SlotFor(ItemFileKind kind) {
    TabSlot slot = MakeDefaultTabs()[kind == ItemFileKind::History ? kHistoryTab : 1];
    slot.type = kind == ItemFileKind::MemoList  ? TabType::MemoList
                : kind == ItemFileKind::MemoPad ? TabType::MemoPad
                                                : TabType::Template;
    return slot;
}

// The file as the program reads and writes it: loading never touches it; a sealed file is never
// written; anything else is saved so that loading it again gives the same entries, and saving
// those writes the same bytes again.
std::string CheckItemFile(const ItemsOptions& options, const std::string& bytes) {
    const std::wstring path = DataFilePath(SlotFor(options.kind).fileName);
    PutFile(path, bytes);
    if (FileBytes(path) != bytes)
        return "(the fuzzer could not write its input file)";
    TabSlot slot = SlotFor(options.kind);
    if (options.kind == ItemFileKind::History)
        slot.password = kFuzzPassword; // a sealed history opens with the password the tab holds
    LoadSlot(slot, options.maxHistory);
    if (FileBytes(path) != bytes)
        return "loading changed the file";
    if (slot.unreadable)
        return "a readable file was taken for an unreadable one";
    if (options.kind == ItemFileKind::History && options.maxHistory >= 1 &&
        slot.items.size() > static_cast<size_t>(options.maxHistory))
        return "the history holds " + std::to_string(slot.items.size()) + " entries, more than MaxHistory";
    SlotSaveOptions overwrite;
    overwrite.fileJustRead = true;
    if (slot.encrypted) {
        if (SaveSlotFile(slot, options.maxHistory, overwrite) != SlotSave::Refused)
            return "a sealed tab was not refused a save";
        if (FileBytes(path) != bytes)
            return "saving a sealed tab changed its file";
        return CheckReadEntries(slot.items); // what the history's password opened, if anything
    }
    if (options.kind == ItemFileKind::MemoPad) {
        if (slot.items.size() > 1)
            return "a memo pad was read as several entries";
    } else if (std::string problem = CheckReadEntries(slot.items); !problem.empty()) {
        return problem;
    }

    const std::vector<HistoryItem> first = slot.items;
    if (SaveSlotFile(slot, options.maxHistory, overwrite) != SlotSave::Saved)
        return "the entries read could not be saved";
    const std::string written = FileBytes(path);
    TabSlot again = SlotFor(options.kind);
    LoadSlot(again, options.maxHistory);
    const std::vector<HistoryItem> expected = Normalised(first, true);
    const std::vector<HistoryItem> got = Normalised(again.items, true);
    if (got != expected)
        return "saved and loaded again: " + FirstDifference(expected, got) + "; the file: " + Escaped(written);
    if (SaveSlotFile(again, options.maxHistory, overwrite) != SlotSave::Saved)
        return "the entries read back could not be saved";
    const std::string rewritten = FileBytes(path);
    if (rewritten != written)
        return "saving what was read back wrote other bytes: " + Escaped(written) + " then " + Escaped(rewritten);
    if (options.kind != ItemFileKind::MemoPad) {
        // The input arriving from another PC while an entry waits here (a capture, first of the
        // unlocked entries): the merge keeps the entry, unless the history's cut leaves it out
        // (the locked entries, gathered on top, count against MaxHistory in the file).
        TabSlot merging = again;
        HistoryItem waiting;
        waiting.text = L"waiting here";
        merging.items.insert(merging.items.begin(), waiting);

        PutFile(path, bytes);
        merging.diskStamp = FileStamp{}; // whatever its time, the file changed since
        TakeIn in;
        SlotSaveOptions told;
        told.takenIn = &in;
        const SlotSave result = SaveSlotFile(merging, options.maxHistory, told);
        if (result == SlotSave::Failed)
            return "a merge with the file could not be saved";
        if (result == SlotSave::Refused) { // sealed there: the entry waits in a file of its own
            if (in.keptAside.empty() || !DeleteFileW(DataFilePath(in.keptAside).c_str()))
                return "the file was sealed elsewhere and the entry waiting here was not kept aside";
            PutFile(path, written);
            return "";
        }
        const size_t locked = static_cast<size_t>(std::count_if(
            merging.items.begin(), merging.items.end(), [](const HistoryItem& item) { return item.locked; }));
        const bool kept = options.kind != ItemFileKind::History || options.maxHistory <= 0 ||
                          locked < static_cast<size_t>(options.maxHistory);
        TabSlot merged = SlotFor(options.kind);
        LoadSlot(merged, options.maxHistory);
        if (kept && std::none_of(merged.items.begin(), merged.items.end(),
                                 [](const HistoryItem& item) { return item.text == L"waiting here"; }))
            return "merged with the file, the entry waiting here was lost: " + Escaped(FileBytes(path));
        PutFile(path, written);
    }
    if (options.kind != ItemFileKind::History)
        return "";

    // Open for the run, the history is saved sealed with its password and opens to the same
    // entries (a sealed body is not trimmed like a file).
    again.tempUnlocked = true;
    again.password = kFuzzPassword;
    if (SaveSlotFile(again, options.maxHistory, overwrite) != SlotSave::Saved)
        return "the history open for the run could not be saved";
    const std::string sealed = FileBytes(path);
    if (sealed.rfind("NMCENC_V2:", 0) != 0)
        return "the history open for the run was not saved sealed: " + Escaped(sealed);
    TabSlot opened = SlotFor(options.kind);
    opened.password = kFuzzPassword;
    LoadSlot(opened, options.maxHistory);
    const std::vector<HistoryItem> unsealed = Normalised(opened.items, true);
    if (unsealed != got)
        return "sealed and opened again: " + FirstDifference(got, unsealed);
    return "";
}

} // namespace

std::string CheckItems(const FuzzCase& input) {
    const ItemsOptions options = ItemsOptionsOf(input.Part(0));
    const std::string& bytes = input.Part(1);
    std::string problem = CheckItemFormat(DecodeDataBytes(bytes, true));
    if (problem.empty() && options.throughFiles)
        problem = CheckItemFile(options, bytes);
    return problem;
}

namespace {

// The tabs as the program has them after reading the settings: a name given replaces the
// default one, a kind is one of the three.
TabSlots TabsFor(const AppSettings& settings) {
    TabSlots tabs = MakeDefaultTabs();
    for (int n = 0; n < kTabCount; ++n) {
        if (!settings.TabNames[n].empty())
            tabs[n].name = settings.TabNames[n];
        tabs[n].type = TabTypeFromInt(settings.TabTypes[n]);
    }
    return tabs;
}

// What reading the written file must give: the tabs' names and kinds, and a font size only
// with a font name (without one the system's font is used and nothing is written).
AppSettings ExpectedAfterSave(const AppSettings& read, const TabSlots& tabs) {
    AppSettings expected = read;
    for (int n = 0; n < kTabCount; ++n) {
        expected.TabNames[n] = tabs[n].name;
        expected.TabTypes[n] = static_cast<int32_t>(tabs[n].type);
    }
    if (expected.FontName.empty())
        expected.FontSize = 0;
    return expected;
}

std::string SettingsDifference(const AppSettings& e, const AppSettings& g) {
    auto differs = [](const char* key, const std::string& a, const std::string& b) {
        return std::string(key) + " expected " + a + ", got " + b;
    };
    if (!(e.Rect == g.Rect))
        return differs(
            "Rect",
            Number(e.Rect.x) + "," + Number(e.Rect.y) + "," + Number(e.Rect.width) + "," + Number(e.Rect.height),
            Number(g.Rect.x) + "," + Number(g.Rect.y) + "," + Number(g.Rect.width) + "," + Number(g.Rect.height));
    const struct {
        const char* key;
        long long expected, got;
    } numbers[] = {
        {"AlwaysOnTop", e.AlwaysOnTop, g.AlwaysOnTop},
        {"StayVisible", e.StayVisible, g.StayVisible},
        {"PauseHistory", e.PauseHistory, g.PauseHistory},
        {"HistoryLimit", e.HistoryLimit, g.HistoryLimit},
        {"MaxHistory", e.MaxHistory, g.MaxHistory},
        {"EnabledArea", e.EnabledArea, g.EnabledArea},
        {"RemoveDuplicateHistory", e.RemoveDuplicateHistory, g.RemoveDuplicateHistory},
        {"MoveToTopOnCopy", e.MoveToTopOnCopy, g.MoveToTopOnCopy},
        {"AutoPaste", e.AutoPaste, g.AutoPaste},
        {"HotkeyMod", e.HotkeyMod, g.HotkeyMod},
        {"HotkeyKey", e.HotkeyKey, g.HotkeyKey},
        {"PasteKeysGiven", e.PasteKeysGiven, g.PasteKeysGiven},
        {"ClearSecretSeconds", e.ClearSecretSeconds, g.ClearSecretSeconds},
        {"FontSize", e.FontSize, g.FontSize},
    };
    for (const auto& n : numbers)
        if (n.expected != n.got)
            return differs(n.key, Number(n.expected), Number(n.got));
    for (int t = 0; t < kTabCount; ++t) {
        if (e.TabNames[t] != g.TabNames[t])
            return differs("a tab name", Shown(e.TabNames[t]), Shown(g.TabNames[t]));
        if (e.TabTypes[t] != g.TabTypes[t])
            return differs("a tab kind", Number(e.TabTypes[t]), Number(g.TabTypes[t]));
    }
    if (e.FontName != g.FontName)
        return differs("FontName", Shown(e.FontName), Shown(g.FontName));
    if (e.IgnorePrograms != g.IgnorePrograms)
        return differs("IgnorePrograms", Shown(ProgramListText(e.IgnorePrograms)),
                       Shown(ProgramListText(g.IgnorePrograms)));
    if (e.PasteKeys != g.PasteKeys)
        return differs("PasteKeys", Shown(PasteKeysText(e.PasteKeys)), Shown(PasteKeysText(g.PasteKeys)));
    return "";
}

std::string CheckSettingsRead(const AppSettings& s) {
    for (int32_t type : s.TabTypes)
        if (type < 0 || type > 2)
            return "a tab kind outside 0..2 was read: " + Number(type);
    if (s.ClearSecretSeconds < 0 || s.ClearSecretSeconds > kMaxClearSecretSeconds)
        return "ClearSecretSeconds outside 0..3600 was read: " + Number(s.ClearSecretSeconds);
    for (const std::wstring& program : s.IgnorePrograms)
        if (program.empty() || program.find(L';') != std::wstring::npos)
            return "IgnorePrograms holds a name it cannot write: " + Shown(program);
    for (const PasteKeyRule& rule : s.PasteKeys)
        if (rule.program.empty() || rule.program.find(L';') != std::wstring::npos)
            return "PasteKeys holds a program it cannot write: " + Shown(rule.program);
    return "";
}

} // namespace

std::string CheckSettings(const FuzzCase& input) {
    const std::string& bytes = input.Part(0);
    const bool throughFiles = !input.Part(1).empty() && (input.Part(1)[0] & 1);

    AppSettings first;
    ParseSettingsText(DecodeDataBytes(bytes, false), first);
    std::string problem = CheckSettingsRead(first);
    if (!problem.empty())
        return problem;
    const TabSlots tabs = TabsFor(first);
    const std::string content = AppLogic::SettingsFileContent(first, tabs);
    AppSettings second;
    ParseSettingsText(DecodeDataBytes(content, false), second);
    problem = SettingsDifference(ExpectedAfterSave(first, tabs), second);
    if (!problem.empty())
        return "written and read again: " + problem + "; written: " + Escaped(content);
    if (!throughFiles)
        return "";

    // The same through the file, where the system's INI reader takes part too.
    const std::wstring path = DataFilePath(kSettingsFileName);
    PutFile(path, bytes);
    AppSettings loaded;
    FileRead read = FileRead::Missing;
    if (!LoadSettings(loaded, &read) || read != FileRead::Read)
        return "settings.ini was there but did not load";
    if (FileBytes(path) != bytes)
        return "loading changed settings.ini";
    problem = CheckSettingsRead(loaded);
    if (!problem.empty())
        return problem;
    const TabSlots loadedTabs = TabsFor(loaded);
    if (!AppLogic::SaveSettings(loaded, loadedTabs))
        return "settings.ini could not be saved";
    AppSettings reloaded;
    LoadSettings(reloaded);
    problem = SettingsDifference(ExpectedAfterSave(loaded, loadedTabs), reloaded);
    if (!problem.empty())
        return "saved and loaded again: " + problem + "; the file: " + Escaped(FileBytes(path));
    return "";
}
