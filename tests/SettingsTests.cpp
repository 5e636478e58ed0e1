// settings.ini: the exact layout written, and how hand-edited files are read.
#include "storage/Settings.h"

#include "storage/TextFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <windows.h>
#include <fstream>

namespace {

AppSettings Parse(const wchar_t* text) {
    AppSettings s;
    ParseSettingsText(text, s);
    return s;
}

TEST(SettingsFile, WritesTheDocumentedLayout) {
    AppSettings s;
    s.Rect = {-10, 20, 350, 480};
    s.AutoPaste = true;
    s.HotkeyMod = 3;
    s.HotkeyKey = 86;
    TabSlots tabs = MakeDefaultTabs();
    tabs[1].name.clear();
    tabs[2].type = TabType::MemoPad;
    tabs[3].type = static_cast<TabType>(7);
    EXPECT_EQ(AppLogic::SettingsFileContent(s, tabs),
              "\xEF\xBB\xBF[Window]\r\nRect=-10,20,350,480\r\n\r\n[Options]\r\nAlwaysOnTop=0\r\nStayVisible=0\r\n"
              "PauseHistory=0\r\nHistoryLimit=20\r\nMaxHistory=100\r\nEnabledArea=-1\r\nRemoveDuplicateHistory=0\r\n"
              "MoveToTopOnCopy=1\r\nAutoPaste=1\r\nHotkeyMod=3\r\nHotkeyKey=86\r\n\r\n[Tabs]\r\n"
              "Tab0=\xE5\xB1\xA5\xE6\xAD\xB4\r\nTabType0=0\r\nTab1=\r\nTabType1=0\r\n"
              "Tab2=\xE5\xAE\x9A\xE5\x9E\x8B\xE6\x96\x87 2\r\nTabType2=2\r\n"
              "Tab3=\xE5\xAE\x9A\xE5\x9E\x8B\xE6\x96\x87 3\r\nTabType3=0\r\n\r\n");

    s.FontName = L"メイリオ";
    s.FontSize = 11;
    const std::string withFont = AppLogic::SettingsFileContent(s, tabs);
    EXPECT_EQ(withFont.substr(withFont.size() - 46),
              "\r\n[Font]\r\nFontName=\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xAA\r\nFontSize=11\r\n");
}

TEST(SettingsFile, SaveAndLoadRoundTrip) {
    DeleteFileW(DataFilePath(L"settings.ini").c_str());
    AppSettings missing;
    EXPECT_FALSE(LoadSettings(missing));

    AppSettings s;
    s.Rect = {100, -200, 400, 500};
    s.AlwaysOnTop = s.StayVisible = s.PauseHistory = s.RemoveDuplicateHistory = true;
    s.MoveToTopOnCopy = false;
    s.HistoryLimit = 30;
    s.MaxHistory = 0;
    s.EnabledArea = 4;
    s.HotkeyMod = 2;
    s.HotkeyKey = 0x56;
    s.FontName = L"ＭＳ ゴシック";
    s.FontSize = 12;
    TabSlots tabs = MakeDefaultTabs();
    tabs[0].name = L"クリップ";
    tabs[1].name = L"名前 = 値";
    tabs[1].type = TabType::MemoList;
    tabs[3].type = TabType::MemoPad;
    AppLogic::SaveSettings(s, tabs);

    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(loaded));
    EXPECT_EQ(loaded.Rect, s.Rect);
    EXPECT_TRUE(loaded.AlwaysOnTop && loaded.StayVisible && loaded.PauseHistory && loaded.RemoveDuplicateHistory);
    EXPECT_FALSE(loaded.MoveToTopOnCopy || loaded.AutoPaste);
    EXPECT_EQ(loaded.HistoryLimit, 30);
    EXPECT_EQ(loaded.MaxHistory, 0);
    EXPECT_EQ(loaded.EnabledArea, 4);
    EXPECT_EQ(loaded.HotkeyMod, 2u);
    EXPECT_EQ(loaded.HotkeyKey, 0x56u);
    EXPECT_EQ(loaded.FontName, s.FontName);
    EXPECT_EQ(loaded.FontSize, 12);
    EXPECT_EQ(loaded.TabNames, (std::array<std::wstring, 4>{L"クリップ", L"名前 = 値", L"定型文 2", L"定型文 3"}));
    EXPECT_EQ(loaded.TabTypes, (std::array<int32_t, 4>{0, 1, 0, 2}));
    DeleteFileW(DataFilePath(L"settings.ini").c_str());
}

TEST(SettingsFile, TabsOfAHandWrittenUtf16FileAreRead) {
    // Notepad's "Unicode": UTF-16LE with byte order mark; the UTF-8 line parser cannot read it.
    const std::wstring text = L"[Window]\r\nRect=1,2,3,4\r\n\r\n[Tabs]\r\nTab0=履歴\r\nTabType0=0\r\n"
                              L"Tab1=定型文\r\nTabType1=1\r\nTab2=メモ\r\nTabType2=2\r\n"
                              L"Tab3=下書き\r\nTabType3=7\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    const std::wstring path = DataFilePath(L"settings.ini");
    PutFile(path, bytes);

    AppSettings loaded;
    EXPECT_TRUE(LoadSettings(loaded));
    DeleteFileW(path.c_str());
    EXPECT_EQ(loaded.TabNames, (std::array<std::wstring, 4>{L"履歴", L"定型文", L"メモ", L"下書き"}));
    EXPECT_EQ(loaded.TabTypes, (std::array<int32_t, 4>{0, 1, 2, 0}));
}

TEST(SettingsFile, BooleansAreTrueOnlyForASingleOne) {
    EXPECT_FALSE(Parse(L"AlwaysOnTop=true").AlwaysOnTop);
    EXPECT_FALSE(Parse(L"AlwaysOnTop=01").AlwaysOnTop);
    EXPECT_TRUE(Parse(L"AlwaysOnTop= 1 \t").AlwaysOnTop);
    EXPECT_FALSE(Parse(L"MoveToTopOnCopy=0").MoveToTopOnCopy);
    EXPECT_FALSE(Parse(L"MoveToTopOnCopy=").MoveToTopOnCopy);
}

TEST(SettingsFile, KeysAreExactAndFoundUnderAnySection) {
    EXPECT_FALSE(Parse(L"AlwaysOnTop =1").AlwaysOnTop);
    EXPECT_FALSE(Parse(L"alwaysontop=1").AlwaysOnTop);
    const AppSettings s = Parse(L"HistoryLimit=5\r\n[Whatever]\r\nMaxHistory=7\r\n[Font]\nAutoPaste=1\nHistoryLimit=9");
    EXPECT_EQ(s.HistoryLimit, 9); // a later line wins
    EXPECT_EQ(s.MaxHistory, 7);
    EXPECT_TRUE(s.AutoPaste);
}

// Found by the fuzzer: "Tab0=" with CR CR before the line's CR LF read as a name of one CR,
// which the next save wrote as "Tab0=" CR CR LF, read back as no name at all.
TEST(SettingsFile, AValueOfBlanksKeepsThemButNoLineBreakAtItsEnd) {
    const AppSettings s = Parse(L"Tab0=\r\r\r\nTab1= \t\r\r\nTab2=\r \r\nFontName=  ");
    EXPECT_EQ(s.TabNames[0], L"");
    EXPECT_EQ(s.TabNames[1], L" \t");
    EXPECT_EQ(s.TabNames[2], L"\r ");
    EXPECT_EQ(s.FontName, L"  ");
    TabSlots tabs = MakeDefaultTabs();
    for (int n = 1; n <= 2; ++n)
        tabs[n].name = s.TabNames[n];
    AppSettings back;
    ParseSettingsText(FromUtf8(AppLogic::SettingsFileContent(s, tabs)), back);
    EXPECT_EQ(back.TabNames[1], s.TabNames[1]);
    EXPECT_EQ(back.TabNames[2], s.TabNames[2]);
    EXPECT_EQ(back.FontName, s.FontName);
}

TEST(SettingsFile, RectKeepsFieldsThatDoNotScan) {
    EXPECT_EQ(Parse(L"Rect=10,20").Rect, (WindowRect{10, 20, 350, 480}));
    EXPECT_EQ(Parse(L"Rect=1, 2,3,x").Rect, (WindowRect{1, 2, 3, 480}));
    EXPECT_EQ(Parse(L"Rect=garbage").Rect, WindowRect{});
    EXPECT_EQ(Parse(L"Rect=99999999999,-99999999999,0,0").Rect, (WindowRect{INT_MAX, INT_MIN, 0, 0}));
}

TEST(SettingsFile, TabKeys) {
    EXPECT_EQ(Parse(L"TabType2=7").TabTypes[2], 0);
    EXPECT_EQ(Parse(L"TabType2=2").TabTypes[2], 2);
    EXPECT_EQ(Parse(L"TabType5=2").TabTypes, (std::array<int32_t, 4>{}));
    EXPECT_EQ(Parse(L"Tab=名前").TabNames[0], L"名前"); // no number reads as 0
    EXPECT_EQ(Parse(L"Tab3=  x y  ").TabNames[3], L"x y");
    EXPECT_EQ(Parse(L"Tab9=x").TabNames, (std::array<std::wstring, 4>{}));
}

TEST(SettingsFile, NumbersReadLikeTheRuntime) {
    EXPECT_EQ(ParseLeadingInt(L"42abc"), 42);
    EXPECT_EQ(ParseLeadingInt(L" -7"), -7);
    EXPECT_EQ(ParseLeadingInt(L"x1"), 0);
    EXPECT_EQ(ParseLeadingInt(L""), 0);
    EXPECT_EQ(ParseLeadingInt(L"2147483647"), INT_MAX);
    EXPECT_EQ(ParseLeadingInt(L"99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseLeadingInt(L"-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(Parse(L"HotkeyKey=-1").HotkeyKey, 0xFFFFFFFFu);
}

// Found by the fuzzer: the codes are written unsigned, and 4294967295 came back as 2147483647.
TEST(SettingsFile, HotkeyCodesReadBackAsWritten) {
    AppSettings s;
    s.HotkeyMod = 0x80000000u;
    s.HotkeyKey = 0xFFFFFFFFu;
    const std::string written = AppLogic::SettingsFileContent(s, MakeDefaultTabs());
    AppSettings back;
    ParseSettingsText(FromUtf8(written), back);
    EXPECT_EQ(back.HotkeyMod, 0x80000000u);
    EXPECT_EQ(back.HotkeyKey, 0xFFFFFFFFu);
    // Beyond 32 bits they stay at the largest; below, they wrap as before.
    EXPECT_EQ(Parse(L"HotkeyKey=99999999999").HotkeyKey, 0xFFFFFFFFu);
    EXPECT_EQ(Parse(L"HotkeyMod=-99999999999").HotkeyMod, 0x80000000u);
    EXPECT_EQ(Parse(L"HotkeyMod= +6x").HotkeyMod, 6u);
}

// MaxEntryChars: a count (0 lifts the cap), held to the largest int; a typo keeps the default cap.
TEST(SettingsFile, MaxEntryCharsIsACountAndATypoKeepsTheCap) {
    const int32_t cap = AppOptions().MaxEntryChars;
    EXPECT_EQ(Parse(L"MaxEntryChars=1000").MaxEntryChars, 1000);
    EXPECT_EQ(Parse(L"MaxEntryChars= 0 ").MaxEntryChars, 0);
    EXPECT_EQ(Parse(L"MaxEntryChars=99999999999").MaxEntryChars, INT_MAX);
    for (const wchar_t* typo : {L"MaxEntryChars=-1", L"MaxEntryChars=", L"MaxEntryChars=5M", L"MaxEntryChars=+7"})
        EXPECT_EQ(Parse(typo).MaxEntryChars, cap) << typo;
}

} // namespace

namespace {

// The rules by program and for secrets: read from any section, written only when set, so that
// a file without them stays what it was.
TEST(SettingsFile, ProgramRulesAndSecretsAreWrittenOnlyWhenSet) {
    const TabSlots tabs = MakeDefaultTabs();
    const AppSettings plain;
    const std::string without = AppLogic::SettingsFileContent(plain, tabs);
    EXPECT_EQ(without.find("Programs"), std::string::npos);
    EXPECT_EQ(without.find("ClearSecretSeconds"), std::string::npos);

    AppSettings read = Parse(L"[Options]\r\nIgnorePrograms= C:\\x\\KeePass.exe;;editor.exe \r\n"
                             L"[Whatever]\r\nPasteKeys=putty.exe=Ctrl+V;bad.exe=Ctrl+Q;ttermpro.exe=Alt+V\r\n"
                             L"ClearSecretSeconds=abc\r\n");
    EXPECT_EQ(read.IgnorePrograms, (std::vector<std::wstring>{L"KeePass.exe", L"editor.exe"}));
    EXPECT_TRUE(read.PasteKeysGiven);
    EXPECT_EQ(PasteKeysText(read.PasteKeys), L"putty.exe=Ctrl+V;ttermpro.exe=Alt+V") << "the unknown key skipped";
    EXPECT_EQ(read.ClearSecretSeconds, kDefaultClearSecretSeconds);

    read.ClearSecretSeconds = 5;
    const std::string with = AppLogic::SettingsFileContent(read, tabs);
    EXPECT_EQ(with.substr(0, without.size()), without) << "the new keys come after everything else";
    EXPECT_EQ(with.substr(without.size()),
              "\r\n[Programs]\r\nIgnorePrograms=KeePass.exe;editor.exe\r\nPasteKeys=putty.exe=Ctrl+V;ttermpro.exe=Alt+V"
              "\r\n\r\n[Clipboard]\r\nClearSecretSeconds=5\r\n");
    std::wstring text(with.begin(), with.end()); // ASCII here
    AppSettings again;
    ParseSettingsText(text, again);
    EXPECT_EQ(again.IgnorePrograms, read.IgnorePrograms);
    EXPECT_EQ(again.PasteKeys, read.PasteKeys);
    EXPECT_EQ(again.ClearSecretSeconds, 5);

    // An empty PasteKeys is a value: Ctrl+V everywhere, kept as such.
    const AppSettings empty = Parse(L"PasteKeys=\r\n");
    EXPECT_TRUE(empty.PasteKeysGiven);
    EXPECT_TRUE(empty.PasteKeys.empty());
    EXPECT_NE(AppLogic::SettingsFileContent(empty, tabs).find("\r\nPasteKeys=\r\n"), std::string::npos);
}

} // namespace
