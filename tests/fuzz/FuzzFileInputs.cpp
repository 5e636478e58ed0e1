#include "fuzz/FuzzInputs.h"

#include <algorithm>
#include <cwchar>

namespace {

// Lines the item format gives a meaning to, alone or escaped, and texts that look like them.
const std::wstring kItemLines[] = {L"---",
                                   L"---",
                                   L"\\---",
                                   L"\\\\---",
                                   L"----",
                                   L"--- ",
                                   L" ---",
                                   L"-",
                                   L"[LABEL]",
                                   L"[LABEL]name",
                                   L"[LABEL] name",
                                   L"[LABEL]  spaced",
                                   L"[LABEL]\\---",
                                   L"[LABEL][L]x",
                                   L"[L]",
                                   L"[C]",
                                   L"[L][C]",
                                   L"[C][L][C]",
                                   L"[L]text",
                                   L"[C]---",
                                   L"[L][LABEL]x",
                                   L"\\[L]x",
                                   L"\\\\[C]x",
                                   L"\\[LABEL]x",
                                   L"NMCENC_V2:",
                                   L"\\NMCENC_V2:x",
                                   L"\\\\NMCENC_V2:",
                                   L"NMCENC_V2:AAAA:AAAA:AAAA:AAAA",
                                   L"",
                                   L"",
                                   L"\\",
                                   L"\\\\",
                                   L" ",
                                   L"\t",
                                   L"__EMPTY_ENCRYPTED_TAB__",
                                   L"[LABEL]__EMPTY_ENCRYPTED_TAB__",
                                   L"[L]__EMPTY_ENCRYPTED_TAB__",
                                   L"履歴",
                                   L"ﾊﾝｶｸ",
                                   L"a=b",
                                   L"[Tabs]",
                                   L"x"};

// What may stand at the start of a line and change how it is read.
const std::wstring kItemPrefixes[] = {L"[L]", L"[C]", L"\\", L"\\\\", L"[LABEL]", L"NMCENC_V2:", L"---", L" ", L"["};

} // namespace

std::string ItemFileBytes(Rng& rng, const Seeds& seeds) {
    Document doc = Lines(SeedText(rng.Pick(seeds)));
    for (size_t n = 1 + rng.Below(6); n > 0; --n) {
        const size_t at = rng.Below(doc.size() + 1);
        switch (rng.Below(5)) {
        case 0:
        case 1:
            doc.insert(doc.begin() + static_cast<ptrdiff_t>(at), Line{rng.Pick(kItemLines), LineEnd(rng)});
            break;
        case 2:
            if (at < doc.size())
                doc[at].text.insert(0, rng.Pick(kItemPrefixes));
            break;
        case 3:
            if (rng.OneIn(30)) { // many entries, for the history's cut
                for (size_t i = 0, count = 100 + rng.Below(3000); i < count; ++i)
                    doc.push_back({L"entry " + std::to_wstring(i) + L"\r\n---", L"\r\n"});
            }
            break;
        default:
            MutateLines(doc, rng, seeds);
            break;
        }
    }
    std::string bytes = Encoded(Joined(doc), rng);
    if (rng.OneIn(4))
        MutateBytes(bytes, rng);
    return bytes;
}

namespace {

enum class ValueKind { Flag, Number, Rect, Name, TabType, Programs, PasteKeys, Seconds };

struct SettingKey {
    const wchar_t* name;
    ValueKind kind;
};

// Every key the reader knows, and keys that look like them.
const SettingKey kSettingKeys[] = {
    {L"Rect", ValueKind::Rect},
    {L"AlwaysOnTop", ValueKind::Flag},
    {L"StayVisible", ValueKind::Flag},
    {L"PauseHistory", ValueKind::Flag},
    {L"HistoryLimit", ValueKind::Number},
    {L"MaxHistory", ValueKind::Number},
    {L"EnabledArea", ValueKind::Number},
    {L"RemoveDuplicateHistory", ValueKind::Flag},
    {L"MoveToTopOnCopy", ValueKind::Flag},
    {L"AutoPaste", ValueKind::Flag},
    {L"HotkeyMod", ValueKind::Number},
    {L"HotkeyKey", ValueKind::Number},
    {L"Tab0", ValueKind::Name},
    {L"Tab1", ValueKind::Name},
    {L"Tab2", ValueKind::Name},
    {L"Tab3", ValueKind::Name},
    {L"TabType0", ValueKind::TabType},
    {L"TabType1", ValueKind::TabType},
    {L"TabType2", ValueKind::TabType},
    {L"TabType3", ValueKind::TabType},
    {L"FontName", ValueKind::Name},
    {L"FontSize", ValueKind::Number},
    {L"IgnorePrograms", ValueKind::Programs},
    {L"PasteKeys", ValueKind::PasteKeys},
    {L"ClearSecretSeconds", ValueKind::Seconds},
    // Keys that look like the ones above.
    {L"Tab", ValueKind::Name},
    {L"Tab4", ValueKind::Name},
    {L"Tab-1", ValueKind::Name},
    {L"Tab-0", ValueKind::Name},
    {L"Tab 1", ValueKind::Name},
    {L"Tab+2", ValueKind::Name},
    {L"Tab99999999999", ValueKind::Name},
    {L"TabType", ValueKind::TabType},
    {L"TabType-1", ValueKind::TabType},
    {L"TabType4294967297", ValueKind::TabType},
    {L"alwaysontop", ValueKind::Flag},
    {L" AlwaysOnTop", ValueKind::Flag},
    {L"Rect ", ValueKind::Rect},
    {L"", ValueKind::Name},
};

// Numbers at and past the limits of 32 bits, with signs and blanks, and what is almost a number.
const std::wstring kNumbers[] = {L"0",
                                 L"1",
                                 L"-1",
                                 L"2",
                                 L"7",
                                 L"01",
                                 L" 1 ",
                                 L"1\t",
                                 L"+1",
                                 L"2147483647",
                                 L"2147483648",
                                 L"-2147483648",
                                 L"-2147483649",
                                 L"4294967295",
                                 L"4294967296",
                                 L"99999999999999999999",
                                 L"-99999999999999999999",
                                 L"0x10",
                                 L"１",
                                 L"1e3",
                                 L"",
                                 L" ",
                                 L"abc",
                                 L"-",
                                 L"+",
                                 L"--1",
                                 L"120",
                                 L"100",
                                 L"20",
                                 L"12"};

// Rectangles whole, short, too long, overflowing, with blanks and letters.
const std::wstring kRects[] = {L"1,2,3,4",
                               L"1,2",
                               L"-5,-6,100000,100000",
                               L"1, 2,3,x",
                               L",,,",
                               L"0,0,350,480",
                               L"99999999999,-99999999999,0,0",
                               L"1,2,3,4,5",
                               L" 1 , 2 , 3 , 4 ",
                               L"1;2;3;4",
                               L"-2147483648,-2147483648,-2147483648,-2147483648",
                               L"4294967295,1,1,1"};

// Tab and font names: empty, blanks, signs the file uses, the placeholder of a sealed tab.
const std::wstring kNames[] = {L"",   L" ",      L"履歴",       L"a=b",           L"[x]",
                               L"\t", L"  x  ",  L"メイリオ",   L"ＭＳ ゴシック", L"\\",
                               L";",  L"name\r", L"Tab0=other", L"x\ty",          L"__EMPTY_ENCRYPTED_TAB__"};

// ClearSecretSeconds around its limits, with zeros in front, and what is no number of seconds.
const std::wstring kSeconds[] = {L"0",  L"0005", L"3600", L"3601", L"99999", L"-1",
                                 L"",   L"abc",  L" 12 ", L"１２", L"30",    L"00000000000000000001",
                                 L"1 2"};

// Program names as people write them: paths, case, blanks, empty items.
const std::wstring kPrograms[] = {L"keepass.exe",
                                  L"KeePass.EXE",
                                  L" C:\\x\\KeePass.exe ",
                                  L"/",
                                  L"\\",
                                  L"a/",
                                  L"putty.exe",
                                  L"x=y",
                                  L"プログラム.exe",
                                  L"a.exe ",
                                  L"",
                                  L" ",
                                  L"c:/tools/",
                                  L"1password.exe",
                                  L"\t",
                                  L"a\\b\\c.exe"};

// The four paste keys spelled in other ways, and keys that are none of them.
const std::wstring kPasteKeyNames[] = {L"Ctrl+V",         L"Shift+Insert", L"Ctrl+Shift+V", L"Alt+V",
                                       L"ctrl + shift+v", L"CTRL+V",       L"Ctrl+Q",       L"",
                                       L"Alt + v  ",      L"Shift+Ins"};

std::wstring ProgramList(Rng& rng) {
    std::wstring value;
    for (size_t n = rng.OneIn(20) ? 300 + rng.Below(400) : rng.Below(6); n > 0; --n)
        value += rng.Pick(kPrograms) + (rng.OneIn(8) ? L";;" : L";");
    return value;
}

std::wstring PasteKeyList(Rng& rng) {
    std::wstring value;
    for (size_t n = rng.OneIn(20) ? 300 + rng.Below(300) : rng.Below(5); n > 0; --n) {
        value += rng.Pick(kPrograms);
        value += rng.OneIn(10) ? L"" : (rng.OneIn(10) ? L"==" : L"=");
        value += rng.Pick(kPasteKeyNames) + L";";
    }
    return value;
}

std::wstring SettingValue(ValueKind kind, Rng& rng) {
    if (rng.OneIn(10))
        return OddPiece(rng);
    switch (kind) {
    case ValueKind::Flag:
        return rng.Pick({std::wstring(L"0"), std::wstring(L"1"), std::wstring(L" 1 "), std::wstring(L"true"),
                         std::wstring(L"01"), std::wstring(L"")});
    case ValueKind::Number:
    case ValueKind::TabType:
        return rng.Pick(kNumbers);
    case ValueKind::Rect:
        return rng.Pick(kRects);
    case ValueKind::Name:
        return rng.OneIn(20) ? std::wstring(300 + rng.Below(2000), L'名') : rng.Pick(kNames);
    case ValueKind::Programs:
        return ProgramList(rng);
    case ValueKind::PasteKeys:
        return PasteKeyList(rng);
    case ValueKind::Seconds:
        return rng.Pick(kSeconds);
    }
    return std::wstring();
}

// Section lines, broken ones, and comments the reader has no notion of.
const std::wstring kSections[] = {L"[Window]", L"[Options]", L"[Tabs]", L"[Font]",  L"[Programs]", L"[Clipboard]",
                                  L"[",        L"[]",        L"[Tabs",  L" [Tabs]", L";comment",   L"#comment"};

} // namespace

std::string SettingsBytes(Rng& rng, const Seeds& seeds) {
    Document doc = Lines(SeedText(rng.Pick(seeds)));
    for (size_t n = 1 + rng.Below(6); n > 0; --n) {
        const size_t at = rng.Below(doc.size() + 1);
        const SettingKey& key = rng.Pick(kSettingKeys);
        switch (rng.Below(6)) {
        case 0:
        case 1: { // a key's value
            const std::wstring line = key.name + std::wstring(L"=") + SettingValue(key.kind, rng);
            auto found = std::find_if(doc.begin(), doc.end(), [&](const Line& l) {
                return l.text.compare(0, wcslen(key.name) + 1, key.name + std::wstring(L"=")) == 0;
            });
            if (found != doc.end() && !rng.OneIn(4))
                found->text = line;
            else
                doc.insert(doc.begin() + static_cast<ptrdiff_t>(at), Line{line, LineEnd(rng)});
            break;
        }
        case 2:
            doc.insert(doc.begin() + static_cast<ptrdiff_t>(at), Line{rng.Pick(kSections), LineEnd(rng)});
            break;
        case 3: // the equals sign
            if (at < doc.size()) {
                std::wstring& text = doc[at].text;
                const size_t equals = text.find(L'=');
                if (equals == std::wstring::npos)
                    text += L"=";
                else if (rng.OneIn(2))
                    text.erase(equals, 1);
                else
                    text.insert(equals, rng.Pick({std::wstring(L"="), std::wstring(L" "), std::wstring(L" = ")}));
            }
            break;
        default:
            MutateLines(doc, rng, seeds);
            break;
        }
    }
    std::string bytes = Encoded(Joined(doc), rng);
    if (rng.OneIn(5))
        MutateBytes(bytes, rng);
    return bytes;
}
