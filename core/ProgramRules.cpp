#include "core/ProgramRules.h"

#include "core/Text.h"

#include <algorithm>
#include <cwctype>

namespace {

// A value beyond the limit loses its last, cut item, never a part of one.
std::wstring_view WithinLimit(std::wstring_view value) {
    if (value.size() <= kProgramSettingMaxChars)
        return value;
    const size_t lastSeparator = value.substr(0, kProgramSettingMaxChars + 1).rfind(L';');
    return lastSeparator == std::wstring_view::npos ? std::wstring_view() : value.substr(0, lastSeparator);
}

template <typename Visit> void ForEachItem(std::wstring_view value, Visit visit) {
    value = WithinLimit(value);
    while (!value.empty()) {
        const size_t separator = value.find(L';');
        const std::wstring_view item = TrimBlanks(value.substr(0, separator));
        if (!item.empty())
            visit(item);
        if (separator == std::wstring_view::npos)
            break;
        value.remove_prefix(separator + 1);
    }
}

// "ctrl + shift+V" is "CTRL+SHIFT+V": no blanks, upper case.
std::wstring KeyNameForm(std::wstring_view name) {
    std::wstring form;
    for (wchar_t c : name)
        if (!std::iswspace(c))
            form += static_cast<wchar_t>(std::towupper(c));
    return form;
}

constexpr PasteKey kPasteKeys[] = {PasteKey::CtrlV, PasteKey::ShiftInsert, PasteKey::CtrlShiftV, PasteKey::AltV};

bool PasteKeyFromName(std::wstring_view name, PasteKey& key) {
    const std::wstring wanted = KeyNameForm(name);
    for (PasteKey candidate : kPasteKeys)
        if (KeyNameForm(PasteKeyName(candidate)) == wanted) {
            key = candidate;
            return true;
        }
    return false;
}

} // namespace

bool SameProgram(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

std::wstring ProgramFileName(std::wstring_view item) {
    item = TrimBlanks(item);
    const size_t folder = item.find_last_of(L"\\/");
    if (folder != std::wstring_view::npos)
        item = TrimBlanks(item.substr(folder + 1));
    return std::wstring(item);
}

std::vector<std::wstring> ParseProgramList(std::wstring_view value) {
    std::vector<std::wstring> programs;
    ForEachItem(value, [&](std::wstring_view item) {
        std::wstring program = ProgramFileName(item);
        if (!program.empty() && !IsListedProgram(programs, program))
            programs.push_back(std::move(program));
    });
    return programs;
}

std::wstring ProgramListText(const std::vector<std::wstring>& programs) {
    std::wstring text;
    for (const std::wstring& program : programs)
        text += (text.empty() ? L"" : L";") + program;
    return text;
}

bool IsListedProgram(const std::vector<std::wstring>& programs, std::wstring_view program) {
    return !program.empty() && std::any_of(programs.begin(), programs.end(),
                                           [&](const std::wstring& listed) { return SameProgram(listed, program); });
}

const wchar_t* PasteKeyName(PasteKey key) {
    switch (key) {
    case PasteKey::CtrlV:
        return L"Ctrl+V";
    case PasteKey::ShiftInsert:
        return L"Shift+Insert";
    case PasteKey::CtrlShiftV:
        return L"Ctrl+Shift+V";
    case PasteKey::AltV:
        return L"Alt+V";
    }
    return L"Ctrl+V";
}

bool PasteKeyRule::operator==(const PasteKeyRule& other) const {
    return program == other.program && key == other.key;
}

PasteKeysParse ParsePasteKeys(std::wstring_view value) {
    PasteKeysParse parse;
    ForEachItem(value, [&](std::wstring_view item) {
        const size_t equals = item.rfind(L'=');
        PasteKeyRule rule;
        if (equals != std::wstring_view::npos)
            rule.program = ProgramFileName(item.substr(0, equals));
        if (equals == std::wstring_view::npos || rule.program.empty() ||
            !PasteKeyFromName(item.substr(equals + 1), rule.key)) {
            parse.refused.emplace_back(item);
            return;
        }
        const bool named = std::any_of(parse.rules.begin(), parse.rules.end(),
                                       [&](const PasteKeyRule& r) { return SameProgram(r.program, rule.program); });
        if (!named)
            parse.rules.push_back(std::move(rule));
    });
    return parse;
}

std::wstring PasteKeysText(const std::vector<PasteKeyRule>& rules) {
    std::wstring text;
    for (const PasteKeyRule& rule : rules)
        text += (text.empty() ? L"" : L";") + rule.program + L"=" + PasteKeyName(rule.key);
    return text;
}

const std::vector<PasteKeyRule>& BuiltInPasteKeys() {
    static const std::vector<PasteKeyRule> rules = {{L"putty.exe", PasteKey::ShiftInsert},
                                                    {L"kitty.exe", PasteKey::ShiftInsert},
                                                    {L"mintty.exe", PasteKey::ShiftInsert},
                                                    {L"ttermpro.exe", PasteKey::AltV}};
    return rules;
}

PasteKey PasteKeyFor(const std::vector<PasteKeyRule>& rules, std::wstring_view program) {
    for (const PasteKeyRule& rule : rules)
        if (SameProgram(rule.program, program))
            return rule.key;
    return PasteKey::CtrlV;
}

int ParseClearSecretSeconds(std::wstring_view value) {
    return ParseCount(value, kDefaultClearSecretSeconds, kMaxClearSecretSeconds);
}
