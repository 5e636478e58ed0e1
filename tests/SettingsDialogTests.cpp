// What the settings dialog decides without a window: the hotkey text and key capture, the
// counts, the history cut and the click-area list.
#include "ui/SettingsDialog.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

namespace {

std::wstring FakeKeyName(UINT virtualKey) {
    static const std::map<UINT, std::wstring> names = {{VK_F9, L"F9"}, {'A', L"A"}, {VK_HOME, L"Home"}};
    const auto found = names.find(virtualKey);
    return found == names.end() ? std::wstring() : found->second;
}

TEST(HotkeyText, ModifiersComeInTheirFixedOrderBeforeTheName) {
    EXPECT_EQ(HotkeyText(kHotkeyCtrl | kHotkeyShift, VK_F9, FakeKeyName, NamelessKey::Hex), L"Ctrl + Shift + F9");
    EXPECT_EQ(HotkeyText(kHotkeyWin | kHotkeyAlt | kHotkeyShift | kHotkeyCtrl, 'A', FakeKeyName, NamelessKey::Hex),
              L"Ctrl + Shift + Alt + Win + A");
    EXPECT_EQ(HotkeyText(kHotkeyAlt, VK_HOME, FakeKeyName, NamelessKey::Omit), L"Alt + Home");
    EXPECT_EQ(HotkeyText(0x10 | 0x4000, 'A', FakeKeyName, NamelessKey::Hex), L"A"); // bits beyond the four: no text
}

TEST(HotkeyText, NamelessKeyIsHexWhenPressedAndLeftOutWhenTheDialogOpens) {
    EXPECT_EQ(HotkeyText(kHotkeyCtrl, 0xE8, FakeKeyName, NamelessKey::Hex), L"Ctrl + 0xE8");
    EXPECT_EQ(HotkeyText(kHotkeyCtrl, 0x07, FakeKeyName, NamelessKey::Hex), L"Ctrl + 0x07");
    EXPECT_EQ(HotkeyText(kHotkeyCtrl, 0xE8, FakeKeyName, NamelessKey::Omit), L"Ctrl + ");
}

TEST(HotkeyText, SystemNamesNeedTheExtendedFlagForTheNavigationKeys) {
    EXPECT_TRUE(IsExtendedNameKey(VK_PRIOR) && IsExtendedNameKey(VK_HOME) && IsExtendedNameKey(VK_DELETE) &&
                IsExtendedNameKey(VK_HELP) && IsExtendedNameKey(VK_LWIN) && IsExtendedNameKey(VK_APPS) &&
                IsExtendedNameKey(VK_DIVIDE) && IsExtendedNameKey(VK_NUMLOCK));
    EXPECT_FALSE(IsExtendedNameKey(VK_SPACE) || IsExtendedNameKey('0') || IsExtendedNameKey(VK_SLEEP) ||
                 IsExtendedNameKey(VK_NUMPAD7) || IsExtendedNameKey(VK_F9) || IsExtendedNameKey(VK_MULTIPLY));
    EXPECT_EQ(KeyNameParam(VK_HOME, 0x47), 0x01470000);
    EXPECT_EQ(KeyNameParam(VK_NUMPAD7, 0x47), 0x00470000);

    // The keyboard layout's own names, as the hotkey box shows them.
    EXPECT_EQ(HotkeyText(kHotkeyCtrl | kHotkeyShift, VK_F9, SystemKeyName, NamelessKey::Hex), L"Ctrl + Shift + F9");
    EXPECT_NE(SystemKeyName(VK_HOME), SystemKeyName(VK_NUMPAD7));
}

TEST(HotkeyCapture, DeleteAloneClearsModifiersAloneWaitAndPlainKeysAreRefused) {
    EXPECT_EQ(DecideHotkeyKey(VK_DELETE, 0), HotkeyKeyAction::Clear);
    EXPECT_EQ(DecideHotkeyKey(VK_DELETE, kHotkeyCtrl), HotkeyKeyAction::Record);
    for (UINT modifier : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN, VK_LSHIFT, VK_RMENU}) {
        EXPECT_EQ(DecideHotkeyKey(modifier, 0), HotkeyKeyAction::Ignore) << modifier;
        EXPECT_EQ(DecideHotkeyKey(modifier, kHotkeyCtrl | kHotkeyShift), HotkeyKeyAction::Ignore) << modifier;
    }
    for (UINT key : {UINT{VK_F9}, UINT{'A'}, UINT{VK_RETURN}, UINT{VK_ESCAPE}, UINT{VK_TAB}})
        EXPECT_EQ(DecideHotkeyKey(key, 0), HotkeyKeyAction::Refuse) << key;
    EXPECT_EQ(DecideHotkeyKey(VK_F9, kHotkeyCtrl | kHotkeyShift), HotkeyKeyAction::Record);
    EXPECT_EQ(DecideHotkeyKey(VK_ESCAPE, kHotkeyCtrl), HotkeyKeyAction::Record);
    EXPECT_EQ(DecideHotkeyKey('V', kHotkeyWin), HotkeyKeyAction::Record);
}

TEST(HotkeyCapture, OnlyTabAndEscapeWithoutModifiersGoToTheDialog) {
    EXPECT_TRUE(DialogTakesKey(WM_KEYDOWN, VK_ESCAPE, false));
    EXPECT_TRUE(DialogTakesKey(WM_KEYDOWN, VK_TAB, false));
    EXPECT_TRUE(DialogTakesKey(WM_SYSKEYDOWN, VK_TAB, false));
    EXPECT_FALSE(DialogTakesKey(WM_KEYDOWN, VK_ESCAPE, true)); // Ctrl+Escape becomes a hotkey
    EXPECT_FALSE(DialogTakesKey(WM_KEYDOWN, VK_TAB, true));
    EXPECT_FALSE(DialogTakesKey(WM_KEYDOWN, VK_RETURN, false));
    EXPECT_FALSE(DialogTakesKey(WM_CHAR, VK_ESCAPE, false));
}

TEST(HistoryCounts, ReadLikeWtoiOnFifteenCharactersWithoutOverflow) {
    EXPECT_EQ(CountFromText(L"250"), 250);
    EXPECT_EQ(CountFromText(L""), 0);
    EXPECT_EQ(CountFromText(L"abc"), 0);
    EXPECT_EQ(CountFromText(L"  42x7"), 42);
    EXPECT_EQ(CountFromText(L"-5"), -5);                         // pasted past the digits-only style
    EXPECT_EQ(CountFromText(std::wstring(14, L'0') + L"56"), 5); // the 16th character is not read
    EXPECT_EQ(CountFromText(L"999999999999999"), INT_MAX);
    EXPECT_EQ(CountFromText(L"2147483648"), INT_MAX);
    EXPECT_EQ(CountFromText(L"-99999999999999"), INT_MIN);
}

TEST(HistoryCounts, ShownIsAtLeastOneAndKeptAtLeastShown) {
    const auto settled = [](int limit, int max) {
        const HistoryCounts c = SettleHistoryCounts(limit, max);
        return std::make_pair(c.historyLimit, c.maxHistory);
    };
    EXPECT_EQ(settled(0, 0), std::make_pair(1, 1));
    EXPECT_EQ(settled(50, 30), std::make_pair(50, 50));
    EXPECT_EQ(settled(20, 100), std::make_pair(20, 100));
    EXPECT_EQ(settled(-7, 0), std::make_pair(1, 1));
    EXPECT_EQ(settled(5, INT_MIN), std::make_pair(5, 5));
    EXPECT_EQ(settled(INT_MAX, 3), std::make_pair(INT_MAX, INT_MAX));
}

TEST(AreaChoices, PositionsAndAreasMapBothWays) {
    ASSERT_EQ(kAreaChoiceCount, 7);
    EXPECT_STREQ(kAreaChoices[0], L"なし");
    EXPECT_STREQ(kAreaChoices[6], L"画面右端下側");
    for (int area = -1; area <= 5; ++area)
        EXPECT_EQ(EnabledAreaFromComboPosition(AreaComboPosition(area)), area);
    EXPECT_EQ(AreaComboPosition(-1), 0);
    EXPECT_EQ(AreaComboPosition(0), 1);
    EXPECT_EQ(AreaComboPosition(5), 6);
    // Values no click ever matches, from a hand-edited settings.ini, show as none.
    EXPECT_EQ(AreaComboPosition(-9), 0);
    EXPECT_EQ(AreaComboPosition(6), 0);
    EXPECT_EQ(AreaComboPosition(INT_MAX), 0);
    EXPECT_EQ(EnabledAreaFromComboPosition(CB_ERR), -1);
    EXPECT_EQ(EnabledAreaFromComboPosition(7), -1);
}

} // namespace

namespace {

TEST(SettingsDialogPasteKeys, TheBuiltInListLeftAsItWasAddsNoSetting) {
    EXPECT_FALSE(PasteKeysFromDialog(BuiltInPasteKeys(), false).given);
    EXPECT_TRUE(PasteKeysFromDialog(BuiltInPasteKeys(), true).given) << "given before: stays given";
    const PasteKeysChoice none = PasteKeysFromDialog({}, false);
    EXPECT_TRUE(none.given) << "an emptied box: Ctrl+V everywhere";
    EXPECT_TRUE(none.rules.empty());
    const std::vector<PasteKeyRule> own = {{L"editor.exe", PasteKey::CtrlShiftV}};
    EXPECT_EQ(PasteKeysFromDialog(own, false).rules, own);

    EXPECT_EQ(PasteKeysRefusalText({}), L"");
    const std::wstring refusal = PasteKeysRefusalText({L"a.exe=Ctrl+X", L"b.exe"});
    EXPECT_NE(refusal.find(L"  a.exe=Ctrl+X\n  b.exe\n"), std::wstring::npos);
    EXPECT_NE(refusal.find(L"Shift+Insert"), std::wstring::npos);
}

} // namespace
