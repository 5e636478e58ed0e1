// settings.ini's merge: key by key, written in ours' layout.
#include "core/Merge.h"

#include "core/Text.h"

#include <map>
#include <utility>

namespace {

using KeyName = std::pair<std::wstring_view, std::wstring_view>; // section, key

struct IniLine {
    std::wstring_view text; // as the file has it, without its line end
    std::wstring_view section;
    std::wstring_view key;
    std::wstring_view value; // blanks around it trimmed, as the reader takes it
    bool isKey = false;
    bool isSection = false;

    KeyName Name() const { return {section, key}; }
};

struct IniText {
    std::vector<IniLine> lines;
    std::map<KeyName, size_t> keys; // the last line of each key: the one the reader keeps

    const IniLine* Find(const KeyName& name) const {
        const auto found = keys.find(name);
        return found == keys.end() ? nullptr : &lines[found->second];
    }
    bool IsLastOfItsKey(size_t i) const { return lines[i].isKey && keys.at(lines[i].Name()) == i; }
};

using IniValues = std::map<KeyName, std::wstring_view>;

// Lines as the settings reader splits them: at LF (with a CR before it); "[" begins a section
// line, anything else with "=" is a key.
IniText ParseIni(std::wstring_view text) {
    IniText ini;
    std::wstring_view section;
    ForEachLine(text, LineBreaks::Lf, false, [&](std::wstring_view line) {
        IniLine parsed;
        parsed.text = line;
        if (!line.empty() && line.front() == L'[') {
            section = line.substr(1, line.find(L']') - 1);
            parsed.isSection = true;
        } else if (const size_t equals = line.find(L'='); equals != std::wstring_view::npos) {
            parsed.isKey = true;
            parsed.key = line.substr(0, equals);
            parsed.value = TrimBlanks(line.substr(equals + 1));
            ini.keys[{section, parsed.key}] = ini.lines.size();
        }
        parsed.section = section;
        ini.lines.push_back(parsed);
    });
    return ini;
}

IniValues ValuesOf(const IniText& ini) {
    IniValues values;
    for (const auto& [name, line] : ini.keys)
        values.emplace(name, ini.lines[line].value);
    return values;
}

// The line that stands for a key in the merge, or null when it goes: ours' unless ours left it as
// base had it, then theirs'. The window rectangle is this PC's own.
const IniLine* MergedKey(const KeyName& name, const IniValues& base, const IniLine* ours, const IniLine* theirs) {
    if (name == KeyName(L"Window", L"Rect"))
        return ours;
    const auto inBase = base.find(name);
    const bool oursChanged = ours ? inBase == base.end() || inBase->second != ours->value : inBase != base.end();
    return oursChanged ? ours : theirs;
}

// Where theirs' new keys of a section go in ours: after its last key, or after its heading when it
// has none; absent when ours lacks the section.
std::map<std::wstring_view, size_t> SectionEnds(const IniText& ours) {
    std::map<std::wstring_view, size_t> ends;
    std::map<std::wstring_view, bool> hasKey;
    for (size_t i = 0; i < ours.lines.size(); ++i) {
        const IniLine& line = ours.lines[i];
        if (line.isKey || (line.isSection && !hasKey[line.section]))
            ends[line.section] = i;
        hasKey[line.section] = hasKey[line.section] || line.isKey;
    }
    return ends;
}

void AddLine(std::wstring& out, std::wstring_view line) {
    out += line;
    out += L"\r\n";
}

bool EndsWithEmptyLine(const std::wstring& out) {
    return out == L"\r\n" || (out.size() >= 4 && out.compare(out.size() - 4, 4, L"\r\n\r\n") == 0);
}

std::wstring MergeIni(const IniValues& base, const IniText& ours, const IniText& theirs) {
    // Theirs' keys that ours has not, and that stay: by where they go in ours' lines.
    const std::map<std::wstring_view, size_t> sectionEnds = SectionEnds(ours);
    std::map<size_t, std::vector<const IniLine*>> after;
    std::vector<const IniLine*> atStart;        // keys above every section, where ours has none
    std::vector<std::wstring_view> newSections; // in theirs' order
    std::map<std::wstring_view, std::vector<const IniLine*>> newSectionKeys;
    for (size_t i = 0; i < theirs.lines.size(); ++i) {
        const IniLine& line = theirs.lines[i];
        if (!theirs.IsLastOfItsKey(i) || ours.Find(line.Name()) || !MergedKey(line.Name(), base, nullptr, &line))
            continue;
        const auto end = sectionEnds.find(line.section);
        if (end != sectionEnds.end()) {
            after[end->second].push_back(&line);
        } else if (line.section.empty()) {
            atStart.push_back(&line);
        } else {
            std::vector<const IniLine*>& keys = newSectionKeys[line.section];
            if (keys.empty())
                newSections.push_back(line.section);
            keys.push_back(&line);
        }
    }

    std::wstring out;
    for (const IniLine* line : atStart)
        AddLine(out, line->text);
    for (size_t i = 0; i < ours.lines.size(); ++i) {
        const IniLine& line = ours.lines[i];
        if (!line.isKey) {
            AddLine(out, line.text);
        } else if (ours.IsLastOfItsKey(i)) { // the earlier lines of a key never counted
            if (const IniLine* merged = MergedKey(line.Name(), base, &line, theirs.Find(line.Name())))
                AddLine(out, merged->text);
        }
        if (const auto added = after.find(i); added != after.end())
            for (const IniLine* key : added->second)
                AddLine(out, key->text);
    }
    for (std::wstring_view section : newSections) {
        if (!out.empty() && !EndsWithEmptyLine(out))
            out += L"\r\n"; // sections stand apart, as the program writes them
        AddLine(out, L"[" + std::wstring(section) + L"]");
        for (const IniLine* key : newSectionKeys[section])
            AddLine(out, key->text);
    }
    return out;
}

} // namespace

std::wstring MergeSettingsText(std::wstring_view base, std::wstring_view ours, std::wstring_view theirs) {
    return MergeIni(ValuesOf(ParseIni(base)), ParseIni(ours), ParseIni(theirs));
}

std::wstring MergeSettingsTwoWay(std::wstring_view ours, std::wstring_view copy) {
    // The base is the keys both hold with the same value: ours' other values are ours' changes,
    // and the keys only the copy holds are the copy's additions.
    const IniText oursIni = ParseIni(ours);
    const IniText copyIni = ParseIni(copy);
    IniValues shared;
    for (const auto& [name, value] : ValuesOf(oursIni)) {
        const IniLine* other = copyIni.Find(name);
        if (other && other->value == value)
            shared.emplace(name, value);
    }
    return MergeIni(shared, oursIni, copyIni);
}
