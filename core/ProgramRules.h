// Rules by program, as settings.ini names them: the programs whose copies are never recorded
// (IgnorePrograms) and the key that pastes into a program (PasteKeys). Programs are exe file
// names ("putty.exe"), compared without case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A value longer than this is cut after its last whole item.
inline constexpr size_t kProgramSettingMaxChars = 4096;

// Two exe file names name the same program when they differ only in case.
bool SameProgram(std::wstring_view a, std::wstring_view b);

// The exe file name an item stands for: blanks around it and any folder dropped
// ("  C:\Tools\KeePass.exe " is "KeePass.exe").
std::wstring ProgramFileName(std::wstring_view item);

// IgnorePrograms: exe names separated by ';'. Empty items are skipped, and so is a name given
// twice.
std::vector<std::wstring> ParseProgramList(std::wstring_view value);
// The list as settings.ini and the settings dialog show it ("keepass.exe;editor.exe").
std::wstring ProgramListText(const std::vector<std::wstring>& programs);
bool IsListedProgram(const std::vector<std::wstring>& programs, std::wstring_view program);

// The keys a program may paste with.
enum class PasteKey { CtrlV, ShiftInsert, CtrlShiftV, AltV };
// "Ctrl+V", "Shift+Insert", "Ctrl+Shift+V", "Alt+V".
const wchar_t* PasteKeyName(PasteKey key);

struct PasteKeyRule {
    std::wstring program;
    PasteKey key = PasteKey::CtrlV;
    bool operator==(const PasteKeyRule& other) const;
};

// PasteKeys: "exe=Key;exe=Key". Key names are compared without case and without blanks; an
// item whose key is none of the four, or that has no program, lands in `refused` as written.
// Empty items are skipped; a program named twice keeps its first key.
struct PasteKeysParse {
    std::vector<PasteKeyRule> rules;
    std::vector<std::wstring> refused;
};
PasteKeysParse ParsePasteKeys(std::wstring_view value);
std::wstring PasteKeysText(const std::vector<PasteKeyRule>& rules);

// The rules in force without a PasteKeys value: terminals that paste with Shift+Insert or Alt+V.
const std::vector<PasteKeyRule>& BuiltInPasteKeys();

// The key for `program`: its rule, else Ctrl+V.
PasteKey PasteKeyFor(const std::vector<PasteKeyRule>& rules, std::wstring_view program);

// ClearSecretSeconds: whole seconds from 0 (never) to 3600; a larger number is 3600, and anything
// that is not a number of seconds (a sign, letters, nothing) keeps the default of 30, so that a
// typo never turns clearing off.
inline constexpr int kDefaultClearSecretSeconds = 30;
inline constexpr int kMaxClearSecretSeconds = 3600;
int ParseClearSecretSeconds(std::wstring_view value);
