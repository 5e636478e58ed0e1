// The automatic paste as a Windows desktop decides it: which window may take a paste (shell
// surfaces, cloaked and tool windows), whether the remembered one can take it now (gone, hung,
// on another virtual desktop, elevated), the keys sent with modifiers still held, the run
// itself through a stand-in desktop, the screen-edge strips on several monitors and the hotkey's
// registration.
#include "app/EdgeStrip.h"
#include "app/Paste.h"
#include "app/PasteQueue.h"
#include "app/PasteRules.h"
#include "storage/Settings.h"
#include "ui/Keys.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

WindowFacts OrdinaryWindow(std::wstring className = L"Notepad", std::wstring process = L"notepad.exe") {
    WindowFacts w;
    w.className = std::move(className);
    w.processName = std::move(process);
    w.topLevel = w.visible = w.enabled = true;
    w.exStyle = WS_EX_WINDOWEDGE;
    return w;
}

TEST(PasteTarget, ShellSurfacesNeverTakeThePaste) {
    for (const wchar_t* shell :
         {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd", L"Progman", L"WorkerW", L"NotifyIconOverflowWindow",
          L"TopLevelWindowForOverflowXamlIsland", L"MultitaskingViewFrame", L"XamlExplorerHostIslandWindow"}) {
        EXPECT_TRUE(IsShellSurface(shell, L"explorer.exe")) << shell;
        EXPECT_FALSE(CanBePasteTarget(OrdinaryWindow(shell, L"explorer.exe"))) << shell;
    }
    // Class names compare whole and with their case.
    EXPECT_FALSE(IsShellSurface(L"shell_traywnd", L"explorer.exe"));
    EXPECT_FALSE(IsShellSurface(L"Shell_TrayWndX", L"explorer.exe"));
    EXPECT_TRUE(CanBePasteTarget(OrdinaryWindow(L"CabinetWClass", L"explorer.exe"))); // a folder window

    // Start, Search and Win+V are CoreWindows of the shell's hosts; a store app's are its own.
    for (const wchar_t* host : {L"StartMenuExperienceHost.exe", L"SearchHost.exe", L"searchapp.exe",
                                L"TextInputHost.exe", L"ShellExperienceHost.exe", L"explorer.exe", L""})
        EXPECT_TRUE(IsShellSurface(L"Windows.UI.Core.CoreWindow", host)) << host;
    EXPECT_FALSE(IsShellSurface(L"Windows.UI.Core.CoreWindow", L"CalculatorApp.exe"));
}

TEST(PasteTarget, OnlyAVisibleEnabledUncloakedTopLevelWindowOfAnotherProgram) {
    EXPECT_TRUE(CanBePasteTarget(OrdinaryWindow()));
    WindowFacts w = OrdinaryWindow();
    w.ownProcess = true;
    EXPECT_FALSE(CanBePasteTarget(w));
    w = OrdinaryWindow();
    w.topLevel = false;
    EXPECT_FALSE(CanBePasteTarget(w));
    w = OrdinaryWindow();
    w.visible = false;
    EXPECT_FALSE(CanBePasteTarget(w));
    w = OrdinaryWindow();
    w.enabled = false; // a modal dialog of its own is in front
    EXPECT_FALSE(CanBePasteTarget(w));
    w = OrdinaryWindow();
    w.cloaked = true;
    EXPECT_FALSE(CanBePasteTarget(w));
    // A tool window (a palette, a flyout) only when it also asks for a taskbar button.
    w = OrdinaryWindow();
    w.exStyle |= WS_EX_TOOLWINDOW;
    EXPECT_FALSE(CanBePasteTarget(w));
    w.exStyle |= WS_EX_APPWINDOW;
    EXPECT_TRUE(CanBePasteTarget(w));
}

TEST(PasteTarget, JudgedAgainAtPasteTime) {
    TargetFacts target;
    EXPECT_EQ(JudgePasteTarget(target), PasteOutcome::NoTarget); // never set, or gone
    target.exists = true;
    target.window = OrdinaryWindow();
    EXPECT_EQ(JudgePasteTarget(target), PasteOutcome::Pasted);

    TargetFacts hidden = target;
    hidden.window.visible = false;
    EXPECT_EQ(JudgePasteTarget(hidden), PasteOutcome::NoTarget);
    TargetFacts hung = target;
    hung.hung = true;
    EXPECT_EQ(JudgePasteTarget(hung), PasteOutcome::Hung);
    TargetFacts elevated = target;
    elevated.aboveOurIntegrity = true;
    EXPECT_EQ(JudgePasteTarget(elevated), PasteOutcome::Elevated);
    // On another virtual desktop a window is also cloaked: it is said as what it is.
    TargetFacts elsewhere = target;
    elsewhere.onCurrentDesktop = false;
    elsewhere.window.cloaked = true;
    EXPECT_EQ(JudgePasteTarget(elsewhere), PasteOutcome::OtherDesktop);

    for (PasteOutcome refused : {PasteOutcome::NoTarget, PasteOutcome::Hung, PasteOutcome::OtherDesktop,
                                 PasteOutcome::Elevated, PasteOutcome::NotInFront, PasteOutcome::KeysRefused}) {
        const std::wstring text = PasteRefusalText(refused);
        EXPECT_NE(text.find(L"Ctrl+V"), std::wstring::npos) << static_cast<int>(refused);
        EXPECT_LE(text.size(), 255u) << "a balloon holds 255 characters";
    }
}

// ---- the keys ---------------------------------------------------------------------------------

KeyStroke Down(WORD vk) {
    return {vk, false};
}
KeyStroke Up(WORD vk) {
    return {vk, true};
}

TEST(PasteKeys, CtrlVWithEveryHeldModifierLetGoFirst) {
    const KeyPlan plain = {Down(VK_CONTROL), Down('V'), Up('V'), Up(VK_CONTROL)};
    EXPECT_EQ(PasteKeys(kCtrlV, {}), plain);
    // Shift+Enter chose the entry: Shift comes up first, or the target sees Ctrl+Shift+V.
    KeyPlan shifted = {Up(VK_LSHIFT)};
    shifted.insert(shifted.end(), plain.begin(), plain.end());
    EXPECT_EQ(PasteKeys(kCtrlV, {VK_LSHIFT}), shifted);
    // Ctrl still down from the hotkey: pressed and released all the same.
    EXPECT_EQ(PasteKeys(kCtrlV, {VK_RCONTROL}), plain);
    // Alt and Win: the mask key first, so that their release opens no menu bar and no Start.
    EXPECT_EQ(PasteKeys(kCtrlV, {VK_LCONTROL, VK_LMENU, VK_RWIN}),
              (KeyPlan{Down(kMaskKey), Up(kMaskKey), Up(VK_LMENU), Up(VK_RWIN), Down(VK_CONTROL), Down('V'), Up('V'),
                       Up(VK_CONTROL)}));
    EXPECT_EQ(PasteKeys(kCtrlV, {VK_LSHIFT, VK_LSHIFT}).front(), Up(VK_LSHIFT));
    EXPECT_EQ(PasteKeys(kCtrlV, {VK_LSHIFT, VK_LSHIFT}).size(), plain.size() + 1);
}

TEST(PasteKeys, OtherChordsKeepTheModifiersTheyUse) {
    const KeyChord shiftInsert = {false, true, false, VK_INSERT};
    EXPECT_EQ(PasteKeys(shiftInsert, {VK_LCONTROL, VK_RSHIFT}),
              (KeyPlan{Up(VK_LCONTROL), Down(VK_SHIFT), Down(VK_INSERT), Up(VK_INSERT), Up(VK_SHIFT)}));
    const KeyChord altV = {false, false, true, 'V'};
    EXPECT_EQ(PasteKeys(altV, {VK_LMENU}), (KeyPlan{Down(VK_MENU), Down('V'), Up('V'), Up(VK_MENU)}));
    const KeyChord ctrlShiftV = {true, true, false, 'V'};
    EXPECT_EQ(PasteKeys(ctrlShiftV, {}),
              (KeyPlan{Down(VK_CONTROL), Down(VK_SHIFT), Down('V'), Up('V'), Up(VK_SHIFT), Up(VK_CONTROL)}));
    EXPECT_TRUE(IsExtendedKey(VK_INSERT));
    EXPECT_TRUE(IsExtendedKey(VK_RCONTROL));
    EXPECT_FALSE(IsExtendedKey(VK_LCONTROL));
    EXPECT_FALSE(IsExtendedKey('V'));
}

TEST(PasteKeys, APartialSendLetsGoOfWhatItPressed) {
    const KeyPlan plan = PasteKeys(kCtrlV, {VK_LSHIFT}); // Shift up, Ctrl down, V down, V up, Ctrl up
    EXPECT_EQ(ReleasesAfterPartialSend(plan, 0), KeyPlan{});
    EXPECT_EQ(ReleasesAfterPartialSend(plan, 1), KeyPlan{});
    EXPECT_EQ(ReleasesAfterPartialSend(plan, 2), KeyPlan{Up(VK_CONTROL)});
    EXPECT_EQ(ReleasesAfterPartialSend(plan, 3), (KeyPlan{Up('V'), Up(VK_CONTROL)}));
    EXPECT_EQ(ReleasesAfterPartialSend(plan, 4), KeyPlan{Up(VK_CONTROL)});
    EXPECT_EQ(ReleasesAfterPartialSend(plan, plan.size()), KeyPlan{});
}

// ---- the run, through a stand-in desktop -------------------------------------------------------

const HWND kTarget = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
const HWND kToolWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x5678));

// A desktop on which the target comes to the front `frontAfterMs` after it was asked to (never
// when that is UINT64_MAX), and SendInput takes at most `accepts` keys.
class StandInDesktop final : public PasteDesktop {
public:
    TargetFacts target;
    uint64_t frontAfterMs = 0;
    std::vector<WORD> held;
    uint64_t heldUntil = UINT64_MAX; // the user lets go of the modifiers then
    size_t accepts = SIZE_MAX;
    HWND takenBy = nullptr; // another window comes to the front `takenAfterMs` after the ask
    uint64_t takenAfterMs = UINT64_MAX;
    uint64_t now = 1000;
    int broughtForward = 0;
    uint64_t askedAt = 0;
    std::vector<KeyPlan> sent;
    std::vector<uint64_t> sentAt;

    StandInDesktop() {
        target.exists = true;
        target.window = OrdinaryWindow();
    }
    TargetFacts Target(HWND window) override { return window == kTarget ? target : TargetFacts{}; }
    void BringForward(HWND) override {
        ++broughtForward;
        askedAt = now;
    }
    HWND Foreground() override {
        if (broughtForward && takenAfterMs != UINT64_MAX && now >= askedAt + takenAfterMs)
            return takenBy;
        if (broughtForward && frontAfterMs != UINT64_MAX && now >= askedAt + frontAfterMs)
            return kTarget;
        return kToolWindow;
    }
    std::vector<WORD> HeldModifiers() override { return now < heldUntil ? held : std::vector<WORD>{}; }
    uint64_t clipboardHeldUntil = 0; // another program holds the clipboard open until then
    bool ClipboardFree() override { return now >= clipboardHeldUntil; }
    uint64_t chooserUpAt = 0; // the key that chose is let go then
    bool ChoosingInputDown() override { return now < chooserUpAt; }
    uint64_t reads = 0;                // reads of our text so far
    uint64_t readAfterKeysMs = UINT64_MAX; // the target reads it that long after the keys
    uint64_t ReadsOfOurText() override {
        return reads + (!sentAt.empty() && now >= sentAt.back() + readAfterKeysMs ? 1 : 0);
    }
    size_t Send(const KeyPlan& keys) override {
        sent.push_back(keys);
        sentAt.push_back(now);
        return std::min(keys.size(), accepts);
    }
    uint64_t NowMs() override { return now; }

    PasteRun Run(HWND window = kTarget, const std::vector<PasteKeyRule>& pasteKeys = {}, bool awaitRead = false) {
        PasteRun run = StartPaste(*this, window, pasteKeys, awaitRead);
        for (int tick = 0; run.phase != PastePhase::Finished && tick < 1000; ++tick) {
            now += kPasteTickMs;
            AdvancePaste(*this, run);
        }
        return run;
    }
};

TEST(PasteRun, KeysGoOnlyOnceTheTargetIsInFrontAndHasSettled) {
    StandInDesktop desktop;
    desktop.frontAfterMs = 120;
    const PasteRun run = desktop.Run();
    EXPECT_EQ(run.outcome, PasteOutcome::Pasted);
    EXPECT_EQ(desktop.broughtForward, 1);
    ASSERT_EQ(desktop.sent.size(), 1u);
    EXPECT_EQ(desktop.sent[0], PasteKeys(kCtrlV, {}));
    EXPECT_GE(desktop.sentAt[0], desktop.askedAt + 120 + kSettleMs);
}

// The target's program picks the key from the facts the run reads anyway.
TEST(PasteRun, TheTargetsProgramPicksThePasteKey) {
    const struct {
        const wchar_t* program;
        PasteKey key;
    } cases[] = {
        {L"putty.exe", PasteKey::ShiftInsert},
        {L"ttermpro.exe", PasteKey::AltV},
        {L"notepad.exe", PasteKey::CtrlV},
        {L"", PasteKey::CtrlV}, // a process that could not be read
    };
    for (const auto& c : cases) {
        StandInDesktop desktop;
        desktop.target.window.processName = c.program;
        EXPECT_EQ(desktop.Run(kTarget, BuiltInPasteKeys()).outcome, PasteOutcome::Pasted);
        ASSERT_EQ(desktop.sent.size(), 1u);
        EXPECT_EQ(desktop.sent[0], PasteKeys(ChordFor(c.key), {})) << c.program;
    }
    StandInDesktop noRules;
    noRules.target.window.processName = L"putty.exe";
    noRules.Run(kTarget, {});
    ASSERT_EQ(noRules.sent.size(), 1u);
    EXPECT_EQ(noRules.sent[0], PasteKeys(kCtrlV, {})) << "an empty PasteKeys means Ctrl+V everywhere";
}

// A settings.ini without PasteKeys leaves the terminals their own keys; one that gives PasteKeys,
// even empty, replaces the built-in list.
TEST(PasteRun, WithoutPasteKeysInSettingsTheTerminalsKeepTheirKeys) {
    const struct {
        const wchar_t* settings;
        const wchar_t* program;
        PasteKey key;
    } cases[] = {
        {L"[Options]\r\nAutoPaste=1\r\n", L"PuTTY.exe", PasteKey::ShiftInsert},
        {L"[Options]\r\nAutoPaste=1\r\n", L"kitty.exe", PasteKey::ShiftInsert},
        {L"[Options]\r\nAutoPaste=1\r\n", L"mintty.exe", PasteKey::ShiftInsert},
        {L"[Options]\r\nAutoPaste=1\r\n", L"ttermpro.exe", PasteKey::AltV},
        {L"[Programs]\r\nPasteKeys=\r\n", L"putty.exe", PasteKey::CtrlV},
        {L"[Programs]\r\nPasteKeys=editor.exe=Alt+V\r\n", L"putty.exe", PasteKey::CtrlV},
        {L"[Programs]\r\nPasteKeys=editor.exe=Alt+V\r\n", L"editor.exe", PasteKey::AltV},
    };
    for (const auto& c : cases) {
        AppSettings settings;
        ParseSettingsText(c.settings, settings);
        EXPECT_EQ(PasteKeyFor(PasteKeysInForce(settings), c.program), c.key) << c.settings << c.program;
    }
}

TEST(PasteRun, ATargetThatCannotTakeAPasteGetsNoKeys) {
    for (PasteOutcome expected :
         {PasteOutcome::NoTarget, PasteOutcome::Hung, PasteOutcome::OtherDesktop, PasteOutcome::Elevated}) {
        StandInDesktop desktop;
        desktop.target.exists = expected != PasteOutcome::NoTarget;
        desktop.target.hung = expected == PasteOutcome::Hung;
        desktop.target.onCurrentDesktop = expected != PasteOutcome::OtherDesktop;
        desktop.target.aboveOurIntegrity = expected == PasteOutcome::Elevated;
        const PasteRun run = desktop.Run();
        EXPECT_EQ(run.outcome, expected);
        EXPECT_EQ(desktop.broughtForward, 0) << "a hung target is not even asked to come forward";
        EXPECT_TRUE(desktop.sent.empty());
    }
    StandInDesktop none;
    EXPECT_EQ(none.Run(nullptr).outcome, PasteOutcome::NoTarget);
    EXPECT_TRUE(none.sent.empty());
}

TEST(PasteRun, ATargetThatDoesNotComeForwardOrLosesTheFrontGetsNoKeys) {
    StandInDesktop refused;
    refused.frontAfterMs = UINT64_MAX;
    const uint64_t start = refused.now;
    EXPECT_EQ(refused.Run().outcome, PasteOutcome::NotInFront);
    EXPECT_TRUE(refused.sent.empty());
    EXPECT_LE(refused.now - start, kForegroundWaitMs + kPasteTickMs);

    StandInDesktop late;
    late.frontAfterMs = kForegroundWaitMs + 50;
    EXPECT_EQ(late.Run().outcome, PasteOutcome::NotInFront);
    EXPECT_TRUE(late.sent.empty());

    StandInDesktop clickedAway; // the user clicked another window while the target settled
    clickedAway.takenBy = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x9999));
    clickedAway.takenAfterMs = kSettleMs / 2;
    EXPECT_EQ(clickedAway.Run().outcome, PasteOutcome::NotInFront);
    EXPECT_TRUE(clickedAway.sent.empty());
}

TEST(PasteRun, HeldModifiersAreWaitedForThenReleased) {
    StandInDesktop letGo; // Shift let go 80 ms in: plain Ctrl+V, sent then
    letGo.held = {VK_LSHIFT};
    letGo.heldUntil = letGo.now + 80;
    EXPECT_EQ(letGo.Run().outcome, PasteOutcome::Pasted);
    ASSERT_EQ(letGo.sent.size(), 1u);
    EXPECT_EQ(letGo.sent[0], PasteKeys(kCtrlV, {}));
    EXPECT_GE(letGo.sentAt[0], letGo.askedAt + 80);

    StandInDesktop stillDown; // never let go: released by the keys themselves, after the wait
    stillDown.held = {VK_LSHIFT};
    EXPECT_EQ(stillDown.Run().outcome, PasteOutcome::Pasted);
    ASSERT_EQ(stillDown.sent.size(), 1u);
    EXPECT_EQ(stillDown.sent[0], PasteKeys(kCtrlV, {VK_LSHIFT}));
    EXPECT_GE(stillDown.sentAt[0], stillDown.askedAt + kSettleMs + kModifierWaitMs);
}

// Brought forward while the Enter that chose is down, the target would get its release and its
// repeats after the paste keys: it comes forward once the key is up, or after a second all the same.
TEST(PasteRun, TheTargetComesForwardOnlyOnceTheChoosingKeyIsUp) {
    StandInDesktop held;
    held.chooserUpAt = held.now + 400;
    const uint64_t start = held.now;
    EXPECT_EQ(held.Run().outcome, PasteOutcome::Pasted);
    EXPECT_EQ(held.broughtForward, 1);
    EXPECT_GE(held.askedAt, start + 400);
    EXPECT_LT(held.askedAt, start + 400 + 2 * kPasteTickMs);

    StandInDesktop stuck; // a key held on: the paste goes on after the wait
    stuck.chooserUpAt = UINT64_MAX;
    EXPECT_EQ(stuck.Run().outcome, PasteOutcome::Pasted);
    EXPECT_GE(stuck.askedAt - 1000, kReleaseWaitMs - kPasteTickMs);
    EXPECT_LE(stuck.askedAt - 1000, kReleaseWaitMs + kPasteTickMs);
}

// With "stay visible" the front is taken back when the run ends: only once the target has read
// the text (a read before the keys is another program's, a monitor's), or after a second.
TEST(PasteRun, TheFrontIsTakenBackOnlyOnceTheTargetHasReadTheText) {
    const struct {
        uint64_t readsBefore;
        uint64_t readAfterKeysMs;
        bool awaitRead;
        uint64_t endsAfterKeysMs;
    } cases[] = {
        {0, 300, true, 300},                // a busy target reads late: waited for
        {1, 300, true, 300},                // a monitor read it first: that read does not count
        {0, UINT64_MAX, true, kReadWaitMs}, // never read: not waited for longer than a second
        {0, 300, false, kAfterKeysMs},      // the window hides and leaves the front alone: no wait
    };
    for (const auto& c : cases) {
        StandInDesktop desktop;
        desktop.reads = c.readsBefore;
        desktop.readAfterKeysMs = c.readAfterKeysMs;
        EXPECT_EQ(desktop.Run(kTarget, {}, c.awaitRead).outcome, PasteOutcome::Pasted);
        ASSERT_EQ(desktop.sentAt.size(), 1u);
        EXPECT_GE(desktop.now - desktop.sentAt[0], c.endsAfterKeysMs) << c.readAfterKeysMs;
        EXPECT_LT(desktop.now - desktop.sentAt[0], c.endsAfterKeysMs + 2 * kPasteTickMs) << c.readAfterKeysMs;
    }
}

// A target that reads the clipboard while another program holds it open pastes nothing.
TEST(PasteRun, KeysWaitForAClipboardHeldByAnotherProgram) {
    StandInDesktop held;
    held.clipboardHeldUntil = held.now + 400;
    EXPECT_EQ(held.Run().outcome, PasteOutcome::Pasted);
    ASSERT_EQ(held.sent.size(), 1u);
    EXPECT_GE(held.sentAt[0], held.clipboardHeldUntil);

    StandInDesktop neverFree; // the keys go all the same once the wait is over
    neverFree.clipboardHeldUntil = UINT64_MAX;
    EXPECT_EQ(neverFree.Run().outcome, PasteOutcome::Pasted);
    ASSERT_EQ(neverFree.sent.size(), 1u);
    EXPECT_GE(neverFree.sentAt[0], neverFree.askedAt + kSettleMs + kClipboardWaitMs);
}

TEST(PasteRun, KeysTheSystemRefusedAreLetGoAndSaid) {
    StandInDesktop desktop;
    desktop.accepts = 2; // Ctrl down and V down went in
    EXPECT_EQ(desktop.Run().outcome, PasteOutcome::KeysRefused);
    ASSERT_EQ(desktop.sent.size(), 2u);
    EXPECT_EQ(desktop.sent[1], (KeyPlan{Up('V'), Up(VK_CONTROL)}));
}

// ---- the screen-edge strips on several monitors --------------------------------------------------

RECT Monitor(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

bool In(int area, LONG x, LONG y, const std::vector<RECT>& monitors) {
    return InEdgeStrip(area, POINT{x, y}, monitors);
}

TEST(EdgeStrip, OneMonitorHasFiveStripsSplitAtHalfTheScreen) {
    const std::vector<RECT> one = {Monitor(0, 0, 1920, 1080)};
    EXPECT_TRUE(In(0, 959, 4, one));
    EXPECT_FALSE(In(0, 960, 4, one));
    EXPECT_FALSE(In(0, 100, 5, one));
    EXPECT_TRUE(In(1, 960, 0, one));
    EXPECT_TRUE(In(2, 4, 539, one));
    EXPECT_FALSE(In(2, 4, 540, one));
    EXPECT_TRUE(In(3, 0, 540, one));
    EXPECT_TRUE(In(4, 1915, 0, one));
    EXPECT_FALSE(In(4, 1914, 0, one));
    EXPECT_TRUE(In(5, 1919, 1079, one));
    for (int area : {-1, 6, 100, INT_MIN})
        EXPECT_FALSE(In(area, 0, 0, one));
    EXPECT_FALSE(In(0, 5000, 0, one)); // on no monitor
}

TEST(EdgeStrip, AnEdgeCountsOnlyWhereItStopsThePointer) {
    // A second monitor on the right: the shared edge is no strip, and the far edge is the
    // right monitor's, with its own halves.
    const std::vector<RECT> right = {Monitor(0, 0, 1920, 1080), Monitor(1920, 0, 3840, 1080)};
    EXPECT_FALSE(In(4, 1919, 10, right));
    EXPECT_FALSE(In(2, 1920, 10, right));
    EXPECT_FALSE(In(4, 2500, 10, right)) << "anywhere on the second monitor";
    EXPECT_TRUE(In(4, 3839, 10, right));
    EXPECT_TRUE(In(2, 0, 10, right));
    EXPECT_TRUE(In(1, 2880, 0, right));
    EXPECT_FALSE(In(1, 2879, 0, right));
    EXPECT_TRUE(In(0, 2879, 0, right)) << "the second monitor's left half";

    // On the left, at negative x.
    const std::vector<RECT> left = {Monitor(0, 0, 1920, 1080), Monitor(-1280, 0, 0, 1024)};
    EXPECT_FALSE(In(2, -600, 10, left)) << "anywhere on the left monitor";
    EXPECT_FALSE(In(2, 0, 10, left));
    EXPECT_TRUE(In(2, -1280, 10, left));
    EXPECT_TRUE(In(3, -1276, 600, left));
    EXPECT_FALSE(In(4, -1, 10, left));
    EXPECT_TRUE(In(4, 1919, 10, left));

    // Above, at negative y: the primary's top edge leads onto it.
    const std::vector<RECT> above = {Monitor(0, 0, 1920, 1080), Monitor(0, -1080, 1920, 0)};
    EXPECT_FALSE(In(0, 10, 0, above));
    EXPECT_TRUE(In(0, 10, -1080, above));
    EXPECT_TRUE(In(2, 0, -1000, above)) << "the upper monitor's upper half";
    EXPECT_TRUE(In(2, 0, 10, above));
    EXPECT_FALSE(In(3, 0, 10, above)) << "the primary's own halves";
    EXPECT_TRUE(In(3, 0, 1000, above));
}

TEST(EdgeStrip, MonitorsOfAnotherHeightShareOnlyPartOfAnEdge) {
    // A 1280 x 720 monitor beside the top of a 1920 x 1080 one: below 720 the primary's right
    // edge stops the pointer again.
    const std::vector<RECT> monitors = {Monitor(0, 0, 1920, 1080), Monitor(1920, 0, 3200, 720)};
    EXPECT_FALSE(In(4, 1919, 100, monitors));
    EXPECT_FALSE(In(5, 1919, 719, monitors));
    EXPECT_TRUE(In(5, 1919, 720, monitors));
    EXPECT_TRUE(In(5, 1917, 1079, monitors));
    EXPECT_FALSE(In(3, 1920, 700, monitors)) << "the small monitor's left edge leads onto the primary";
    EXPECT_TRUE(In(5, 3199, 360, monitors));
    EXPECT_FALSE(In(4, 3199, 360, monitors)) << "halves are the small monitor's own";
}

// ---- the hotkey -------------------------------------------------------------------------------------

TEST(Hotkey, RegisteredWithoutRepeatAndNeverWithoutAModifier) {
    EXPECT_EQ(HotkeyRegistrationModifiers(MOD_CONTROL | MOD_ALT),
              static_cast<UINT>(MOD_CONTROL | MOD_ALT | MOD_NOREPEAT));
    EXPECT_EQ(HotkeyRegistrationModifiers(MOD_WIN | MOD_SHIFT), static_cast<UINT>(MOD_WIN | MOD_SHIFT | MOD_NOREPEAT));
    EXPECT_EQ(HotkeyRegistrationModifiers(MOD_CONTROL | 0x10 | 0x8000), static_cast<UINT>(MOD_CONTROL | MOD_NOREPEAT));
    // A hand-edited settings.ini with only unknown bits would otherwise take a bare key from
    // every program.
    EXPECT_EQ(HotkeyRegistrationModifiers(0x10), 0u);
    EXPECT_EQ(HotkeyRegistrationModifiers(MOD_NOREPEAT), 0u);
    EXPECT_FALSE(RegisterToolHotkey(nullptr, 0x10, 'V'));
    EXPECT_FALSE(RegisterToolHotkey(nullptr, MOD_CONTROL, 0));
}

// ---- 連続貼り付け, the queue as plain state -------------------------------------------------------

QueuedText Text(const wchar_t* text, bool secret = false) {
    return QueuedText{text, secret};
}

// Copies joined while the mode was on: A on the clipboard, B and C waiting.
PasteQueue QueueOfThree() {
    PasteQueue queue;
    queue.Begin();
    for (const wchar_t* text : {L"A", L"B", L"C"}) {
        queue.ClipboardTaken(); // the copy replaced what the clipboard held
        EXPECT_EQ(queue.Add(Text(text)), QueueStep::PutFirst) << text;
    }
    queue.FirstPut();
    return queue;
}

TEST(PasteQueue, EachPasteTheTargetMakesTakesTheNextAndTheLastEndsTheMode) {
    PasteQueue queue = QueueOfThree();
    EXPECT_EQ(queue.Add(Text(L"D")), QueueStep::Nothing) << "Shift+Enter while A is on the clipboard";
    EXPECT_EQ(queue.Waiting(), 4u);
    for (const wchar_t* text : {L"A", L"B", L"C"}) {
        EXPECT_EQ(queue.First()->text, text);
        queue.KeyDown(100);
        EXPECT_EQ(queue.Read(110), QueueStep::PutFirst) << text;
        queue.KeyUp(150);
        queue.FirstPut();
    }
    queue.KeyDown(200);
    EXPECT_EQ(queue.Read(210), QueueStep::Finished);
    EXPECT_FALSE(queue.On());
    EXPECT_EQ(queue.Pasted(), 4u);
    EXPECT_EQ(queue.LastPasted().text, L"D");
    PasteQueue off;
    EXPECT_EQ(off.Add(Text(L"x")), QueueStep::Nothing) << "nothing joins while the mode is off";
}

// What cannot be a paste never moves the queue; what stands for one does.
TEST(PasteQueue, OnlyAPasteThatHappenedMovesItOn) {
    // A monitor reads the first text at once: no key, no move. Its paste then cannot be seen, and
    // the key's release with a pause stands for it.
    PasteQueue monitored = QueueOfThree();
    EXPECT_EQ(monitored.Read(100), QueueStep::Nothing);
    EXPECT_EQ(monitored.Waiting(), 3u);
    monitored.KeyDown(200);
    EXPECT_EQ(monitored.KeyUp(250), QueueStep::Nothing);
    EXPECT_TRUE(monitored.AwaitingPause());
    EXPECT_EQ(monitored.Tick(250 + PasteQueue::kPauseAfterKeyMs - 1), QueueStep::Nothing);
    EXPECT_EQ(monitored.Tick(250 + PasteQueue::kPauseAfterKeyMs), QueueStep::PutFirst);
    EXPECT_EQ(monitored.First()->text, L"B");

    // A paste key that no program read for pasted nothing.
    PasteQueue unread = QueueOfThree();
    unread.KeyDown(100);
    unread.KeyUp(150);
    EXPECT_EQ(unread.Tick(150 + PasteQueue::kPauseAfterKeyMs), QueueStep::Nothing);
    EXPECT_EQ(unread.Waiting(), 3u);

    // A busy target reads after the key is up: still the key's paste.
    PasteQueue late = QueueOfThree();
    late.KeyDown(100);
    late.KeyUp(150);
    EXPECT_EQ(late.Read(300), QueueStep::PutFirst);

    // A copy took the first text off the clipboard: a read is of something else.
    PasteQueue taken = QueueOfThree();
    taken.ClipboardTaken();
    taken.KeyDown(100);
    EXPECT_EQ(taken.Read(110), QueueStep::Nothing);
}

// Ctrl+V held down pastes one text per repeat: a read counts for the key only once it has
// repeated for the text now on the clipboard (a monitor's read right after the put does not).
TEST(PasteQueue, HeldRepeatsPasteOneTextEachAndEscEndsAtOnce) {
    PasteQueue queue = QueueOfThree();
    queue.KeyDown(100);
    EXPECT_EQ(queue.Read(110), QueueStep::PutFirst);
    queue.FirstPut();
    EXPECT_EQ(queue.Read(120), QueueStep::Nothing) << "read before the key repeated for B";
    PasteQueue repeated = QueueOfThree();
    repeated.KeyDown(100);
    EXPECT_EQ(repeated.Read(110), QueueStep::PutFirst);
    repeated.FirstPut();
    repeated.KeyDown(600); // the first repeat
    EXPECT_EQ(repeated.Read(610), QueueStep::PutFirst);
    EXPECT_EQ(repeated.First()->text, L"C");

    repeated.End();
    EXPECT_FALSE(repeated.On());
    EXPECT_EQ(repeated.Waiting(), 0u);
}

} // namespace
