// Window-free rules of the tool window: clipboard line ends, hook keys,
// privacy marks, reachable placement and the toolbar; and the keys typed before a menu of
// ours opens, which reach their window first.
#include "app/Activation.h"
#include "app/ClipboardCapture.h"
#include "app/FolderWatch.h"
#include "app/InputHooks.h"
#include "app/Layout.h"
#include "app/MainWindow.h"
#include "app/MessageLoop.h"
#include "ui/WindowPlacement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <algorithm>
#include <vector>

namespace {

TEST(ClipboardLineEnds, LoneLfAndLoneCrBecomeCrLf) {
    EXPECT_EQ(ToClipboardLineEnds(L"a\nb"), L"a\r\nb");
    EXPECT_EQ(ToClipboardLineEnds(L"a\r"), L"a\r\n");
    EXPECT_EQ(ToClipboardLineEnds(L"a\r\nb\r\r\n\n"), L"a\r\nb\r\n\r\n\r\n");
    EXPECT_EQ(ToClipboardLineEnds(L""), L"");
}

// The keys the hook takes while the window is shown; with Ctrl, Alt or Win held an F-key is a
// hotkey's or the other program's (the hotkey may well be Ctrl+Shift+F9).
TEST(HookKeys, PlainFKeysAreCommandsChordsAreNot) {
    const struct {
        DWORD key;
        bool chordHeld;
        HookKey kind;
        int command;
    } cases[] = {
        {VK_F1, false, HookKey::PostCommand, CMD_ALWAYS_ON_TOP},
        {VK_F5, false, HookKey::PostCommand, CMD_AUTO_PASTE},
        {VK_F9, false, HookKey::PostCommand, CMD_PASTE_QUEUE},
        {VK_F12, false, HookKey::PostCommand, CMD_SETTINGS},
        {VK_F7, false, HookKey::TabKey, 0},
        {VK_F9, true, HookKey::PassOn, 0},
        {VK_F6, true, HookKey::PassOn, 0},
        {VK_ESCAPE, false, HookKey::Escape, 0},
        {VK_ESCAPE, true, HookKey::Escape, 0},
        {VK_F10, false, HookKey::PassOn, 0},
        {'V', false, HookKey::PassOn, 0},
    };
    for (const auto& c : cases) {
        int command = -1;
        EXPECT_EQ(ClassifyHookKey(c.key, c.chordHeld, command), c.kind) << c.key << " " << c.chordHeld;
        EXPECT_EQ(command, c.command) << c.key;
    }
}

TEST(PrivacyMarks, PasswordManagersKeepTheirCopiesOut) {
    ClipboardPrivacyMarks plain;
    EXPECT_FALSE(ClipboardAsksToBeSkipped(plain));

    ClipboardPrivacyMarks excluded;
    excluded.excludeFromMonitoring = true;
    EXPECT_TRUE(ClipboardAsksToBeSkipped(excluded));
    ClipboardPrivacyMarks ignored;
    ignored.viewerIgnore = true;
    EXPECT_TRUE(ClipboardAsksToBeSkipped(ignored));

    ClipboardPrivacyMarks permission;
    permission.hasHistoryPermission = true;
    permission.historyPermission = {1, 0, 0, 0};
    EXPECT_FALSE(ClipboardAsksToBeSkipped(permission));
    permission.historyPermission = {0, 0, 0, 0};
    EXPECT_TRUE(ClipboardAsksToBeSkipped(permission));
    for (const std::vector<uint8_t>& malformed :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{1}, std::vector<uint8_t>{1, 0, 0, 0, 0}}) {
        permission.historyPermission = malformed;
        EXPECT_TRUE(ClipboardAsksToBeSkipped(permission));
    }
}

TEST(Placement, RectangleOnNoMonitorMovesIntoTheWorkArea) {
    const RECT work = {0, 0, 1280, 760};
    EXPECT_EQ(ReachableRect({100, 100, 350, 480}, work, true), (WindowRect{100, 100, 350, 480}));
    EXPECT_EQ(ReachableRect({5000, -3000, 350, 480}, work, false), (WindowRect{930, 0, 350, 480}));
    EXPECT_EQ(ReachableRect({-400, 900, 350, 480}, work, false), (WindowRect{0, 280, 350, 480}));
    // Absurd sizes come back into range: never below the minimum, never beyond the screen.
    EXPECT_EQ(ReachableRect({10, 10, -50, 0}, work, true), (WindowRect{10, 10, kMinWindowWidth, kMinWindowHeight}));
    EXPECT_EQ(ReachableRect({INT_MAX, INT_MIN, INT_MAX, INT_MAX}, work, false), (WindowRect{0, 0, 1280, 760}));
}

TEST(Toolbar, GapPutsTheLastTwoButtonsAtTheRightEdge) {
    const RECT before = {200, 0, 240, 40}, first = {250, 0, 290, 40}, last = {290, 0, 330, 40};
    // gap = width + left(first) - right(before) - right(last)
    EXPECT_EQ(ToolbarGapWidth(400, before, first, last), 80);
    EXPECT_EQ(ToolbarGapWidth(321, before, first, last), 0); // 1 pixel is no gap
    EXPECT_EQ(ToolbarGapWidth(322, before, first, last), 2);
}

// The notification-area callback is handled before keys still queued ahead of it: they are
// handed to their window before the tray menu takes the keyboard, and nothing else is.
TEST(QueuedKeys, ReachTheirWindowBeforeAMenuAndNothingElseIsHandled) {
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    PostMessageW(edit, WM_KEYDOWN, 'A', 0x001E0001); // as typed: TranslateMessage makes the WM_CHARs
    PostMessageW(edit, WM_KEYDOWN, 'B', 0x00300001);
    PostMessageW(edit, WM_APP + 7, 0, 0);
    DeliverQueuedKeys();
    wchar_t text[8] = {};
    GetWindowTextW(edit, text, 8);
    EXPECT_STREQ(text, L"ab");
    MSG left;
    EXPECT_TRUE(PeekMessageW(&left, edit, 0, 0, PM_REMOVE));
    EXPECT_EQ(left.message, static_cast<UINT>(WM_APP + 7)) << "only key messages are taken";
    DestroyWindow(edit);
}

// An elevated run hears a second start and a restarted Explorer only for the messages it lets
// through the UIPI filter.
std::vector<UINT> g_letThrough;
BOOL WINAPI RecordFilter(HWND, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
    if (action == MSGFLT_ALLOW)
        g_letThrough.push_back(message);
    return TRUE;
}

TEST(ElevatedRun, TheShowRequestAndTaskbarCreatedGetThroughTheFilter) {
    g_letThrough.clear();
    LetThroughFromLowerIntegrity(nullptr, RecordFilter);
    for (UINT message : {RegisterWindowMessageW(kShowWindowMessage), RegisterWindowMessageW(L"TaskbarCreated")})
        EXPECT_NE(std::find(g_letThrough.begin(), g_letThrough.end(), message), g_letThrough.end()) << message;
}

// The session's notifications fail early at log-on: asked again while tries are left.
TEST(SessionWatch, AFailedRequestIsMadeAgainAFewTimes) {
    EXPECT_EQ(AfterSessionWatchTry(true, 12), SessionWatch::Done);
    EXPECT_EQ(AfterSessionWatchTry(true, 0), SessionWatch::Done);
    EXPECT_EQ(AfterSessionWatchTry(false, 12), SessionWatch::TryLater);
    EXPECT_EQ(AfterSessionWatchTry(false, 1), SessionWatch::TryLater);
    EXPECT_EQ(AfterSessionWatchTry(false, 0), SessionWatch::GiveUp);
}

// What the folder watch reads from ReadDirectoryChangesW, and which names are the program's.
TEST(FolderWatch, ReadsTheNamesOfAChangeBufferAndKnowsItsOwnFiles) {
    // Two records as Windows lays them out (DWORD-aligned), the second one cut short after the first.
    std::vector<char> buffer(256, 0);
    const auto put = [&](size_t at, DWORD next, const std::wstring& name) {
        FILE_NOTIFY_INFORMATION record = {};
        record.NextEntryOffset = next;
        record.Action = FILE_ACTION_RENAMED_NEW_NAME;
        record.FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        std::memcpy(&buffer[at], &record, offsetof(FILE_NOTIFY_INFORMATION, FileName));
        std::memcpy(&buffer[at + offsetof(FILE_NOTIFY_INFORMATION, FileName)], name.data(), record.FileNameLength);
    };
    put(0, 48, L"history.ini");
    put(48, 0, L"templates2.txt");
    EXPECT_EQ(NamesInNotification(buffer.data(), buffer.size()),
              (std::vector<std::wstring>{L"history.ini", L"templates2.txt"}));
    EXPECT_EQ(NamesInNotification(buffer.data(), 60), std::vector<std::wstring>{L"history.ini"});
    EXPECT_TRUE(NamesInNotification(buffer.data(), 5).empty());

    for (const wchar_t* ours : {L"History.INI", L"settings.ini", L"templates3.txt",
                                L"history.sync-conflict-20261209-101010-ABCDEF7.ini"})
        EXPECT_TRUE(WatchedName(ours)) << ours;
    for (const wchar_t* other : {L"history.ini.tmp", L"history-PC.ini", L"notes.txt", L"backup"})
        EXPECT_FALSE(WatchedName(other)) << other;
}

} // namespace
