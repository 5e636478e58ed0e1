// Rules by program as settings.ini and the settings dialog give them, with the input people
// actually type: blanks, folders, empty items, unknown keys, values too long, numbers that are
// not numbers.
#include "core/ProgramRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Programs = std::vector<std::wstring>;

TEST(IgnorePrograms, ItemsAreReducedToTheirFileNames) {
    EXPECT_EQ(ParseProgramList(L" KeePass.exe ; C:\\Program Files\\1Password\\1Password.exe;;  ;d:/tools/x.exe; "),
              (Programs{L"KeePass.exe", L"1Password.exe", L"x.exe"}));
    EXPECT_EQ(ParseProgramList(L"keepass.exe;KEEPASS.EXE;C:\\other\\KeePass.exe"), (Programs{L"keepass.exe"}));
    EXPECT_EQ(ParseProgramList(L""), Programs{});
    EXPECT_EQ(ParseProgramList(L";;;"), Programs{});
    EXPECT_EQ(ParseProgramList(L"C:\\folder\\"), Programs{}) << "a folder names no program";
    EXPECT_EQ(ProgramListText(ParseProgramList(L" a.exe ;; b.exe")), L"a.exe;b.exe");

    const Programs listed = {L"KeePass.exe", L"editor.exe"};
    EXPECT_TRUE(IsListedProgram(listed, L"keepass.EXE"));
    EXPECT_FALSE(IsListedProgram(listed, L"keepass"));
    EXPECT_FALSE(IsListedProgram(listed, L"")) << "a program that could not be told is none of them";
}

TEST(IgnorePrograms, AValueTooLongIsCutAfterItsLastWholeItem) {
    std::wstring value;
    int count = 0;
    while (value.size() < kProgramSettingMaxChars - 20)
        value += L"program" + std::to_wstring(count++) + L".exe;";
    value += L"the-last-one-that-does-not-fit.exe;after.exe";
    ASSERT_GT(value.size(), kProgramSettingMaxChars);
    const Programs programs = ParseProgramList(value);
    EXPECT_EQ(programs.size(), static_cast<size_t>(count));
    EXPECT_EQ(programs.back(), L"program" + std::to_wstring(count - 1) + L".exe");
    EXPECT_EQ(ParseProgramList(std::wstring(5000, L'x')), Programs{}) << "one item longer than the limit";
}

TEST(PasteKeys, RulesNameAProgramAndOneOfFourKeys) {
    PasteKeysParse parse = ParsePasteKeys(
        L" putty.exe = Shift+Insert ;C:\\Tools\\ttermpro.exe=alt + v;;editor.exe=CTRL+shift+V;PUTTY.EXE=Ctrl+V");
    EXPECT_EQ(parse.rules, (std::vector<PasteKeyRule>{{L"putty.exe", PasteKey::ShiftInsert},
                                                      {L"ttermpro.exe", PasteKey::AltV},
                                                      {L"editor.exe", PasteKey::CtrlShiftV}}))
        << "a program named twice keeps its first key";
    EXPECT_TRUE(parse.refused.empty());
    EXPECT_EQ(PasteKeysText(parse.rules), L"putty.exe=Shift+Insert;ttermpro.exe=Alt+V;editor.exe=Ctrl+Shift+V");

    parse = ParsePasteKeys(L"a.exe=Ctrl+X;b.exe;=Ctrl+V;c.exe=;d.exe=Ctrl+V;e.exe=Shift+Insert+V");
    EXPECT_EQ(parse.rules, (std::vector<PasteKeyRule>{{L"d.exe", PasteKey::CtrlV}})) << "the rest is kept";
    EXPECT_EQ(parse.refused,
              (std::vector<std::wstring>{L"a.exe=Ctrl+X", L"b.exe", L"=Ctrl+V", L"c.exe=", L"e.exe=Shift+Insert+V"}));
    EXPECT_TRUE(ParsePasteKeys(L"").rules.empty());
    EXPECT_TRUE(ParsePasteKeys(L"").refused.empty());
}

TEST(PasteKeys, TheProgramsRuleElseCtrlV) {
    const std::vector<PasteKeyRule>& builtIn = BuiltInPasteKeys();
    EXPECT_EQ(PasteKeyFor(builtIn, L"PuTTY.exe"), PasteKey::ShiftInsert);
    EXPECT_EQ(PasteKeyFor(builtIn, L"kitty.exe"), PasteKey::ShiftInsert);
    EXPECT_EQ(PasteKeyFor(builtIn, L"mintty.exe"), PasteKey::ShiftInsert);
    EXPECT_EQ(PasteKeyFor(builtIn, L"ttermpro.exe"), PasteKey::AltV);
    EXPECT_EQ(PasteKeyFor(builtIn, L"notepad.exe"), PasteKey::CtrlV);
    EXPECT_EQ(PasteKeyFor(builtIn, L""), PasteKey::CtrlV);
    EXPECT_EQ(PasteKeyFor({}, L"putty.exe"), PasteKey::CtrlV) << "an empty PasteKeys: Ctrl+V everywhere";
}

TEST(ClearSecretSeconds, WholeSecondsUpToAnHourAndTheDefaultForAnythingElse) {
    EXPECT_EQ(ParseClearSecretSeconds(L"0"), 0);
    EXPECT_EQ(ParseClearSecretSeconds(L" 2 "), 2);
    EXPECT_EQ(ParseClearSecretSeconds(L"0007"), 7);
    EXPECT_EQ(ParseClearSecretSeconds(L"3600"), 3600);
    EXPECT_EQ(ParseClearSecretSeconds(L"3601"), 3600);
    EXPECT_EQ(ParseClearSecretSeconds(L"99999999999999999999"), 3600);
    for (const wchar_t* typo : {L"", L"-5", L"+5", L"abc", L"5s", L"1.5", L"３０"})
        EXPECT_EQ(ParseClearSecretSeconds(typo), kDefaultClearSecretSeconds) << typo;
}

} // namespace
