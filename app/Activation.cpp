#include "app/Activation.h"

#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/MainWindow.h"
#include "app/Paste.h"
#include "app/QueueMode.h"
#include "app/Visibility.h"
#include "core/Capture.h"
#include "tabs/TabFiles.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"

#include <algorithm>
#include <utility>

namespace {

HWND g_previousWindow = nullptr;     // the paste target
uint64_t g_lastForegroundChange = 0; // GetTickCount64 milliseconds
PasteRun g_paste;                    // the last paste
bool g_pasteRunning = false;         // ... is under way, moved on by TIMER_PASTE
int g_pasteRow = -1;                 // the row "stay visible" selects when it ends

} // namespace

bool BelongsToOtherProcess(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process != 0 && process != GetCurrentProcessId();
}

bool OwnDialogOpen(HWND mainWindow) {
    // A modal dialog or message box disables its owner, which also tells it where
    // GW_ENABLEDPOPUP finds nothing (Wine).
    if (!IsWindowEnabled(mainWindow))
        return true;
    HWND popup = GetWindow(mainWindow, GW_ENABLEDPOPUP);
    return popup && popup != mainWindow && IsWindowVisible(popup);
}

HookKey ClassifyHookKey(DWORD virtualKey, bool chordHeld, int& command) {
    command = 0;
    if (virtualKey == VK_ESCAPE)
        return HookKey::Escape;
    if (chordHeld)
        return HookKey::PassOn;
    switch (virtualKey) {
    case VK_F1:
        command = CMD_ALWAYS_ON_TOP;
        return HookKey::PostCommand;
    case VK_F2:
        command = CMD_STAY_VISIBLE;
        return HookKey::PostCommand;
    case VK_F3:
        command = CMD_PAUSE_HISTORY;
        return HookKey::PostCommand;
    case VK_F4:
        command = CMD_MOVE_TO_TOP;
        return HookKey::PostCommand;
    case VK_F5:
        command = CMD_AUTO_PASTE;
        return HookKey::PostCommand;
    case VK_F6:
        command = CMD_CLEAR_HISTORY;
        return HookKey::PostCommand;
    case VK_F11:
        command = CMD_BACKUP;
        return HookKey::PostCommand;
    case VK_F12:
        command = CMD_SETTINGS;
        return HookKey::PostCommand;
    case VK_F9:
        command = CMD_PASTE_QUEUE;
        return HookKey::PostCommand;
    case VK_F7:
    case VK_F8:
        return HookKey::TabKey;
    default:
        return HookKey::PassOn; // F10 and everything else
    }
}

uint64_t LastForegroundChange() {
    return g_lastForegroundChange;
}

void NoteForegroundChange(uint64_t when) {
    g_lastForegroundChange = when;
}

void RememberPreviousWindow(HWND window) {
    if (window && CanBePasteTarget(ReadWindowFacts(window)))
        g_previousWindow = window;
}

void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (event != EVENT_SYSTEM_FOREGROUND || !window)
        return;
    NoteForegroundChange(GetTickCount64());
    RememberPreviousWindow(window);
}

void ChooseEntry(EntryId entry) {
    if (!CopyEntryToClipboard(entry, AppData().AutoPaste))
        return; // not on the clipboard: the window stays as it was
    if (AppData().AutoPaste) {
        const int row = ItemListRowOf(entry);
        PostMessageW(MainWindowHandle(), WM_APP_PASTE, static_cast<WPARAM>(static_cast<INT_PTR>(row)), 0);
    } else if (!AppData().StayVisible) {
        PostMessageW(MainWindowHandle(), WM_CLOSE, 0, 0);
    }
}

bool CopyEntryToClipboard(EntryId entry, bool forPaste) {
    const std::vector<HistoryItem>& source = EntriesInView();
    const int index = FindEntry(source, entry);
    if (index < 0)
        return false;
    const bool sealedSource = AppData().tabs[TabInView(AppView())].tempUnlocked;
    if (QueueModeOn())
        QueueClipboardChanged(); // the queue's first text goes back with the next copy or Shift+Enter
    ClipboardText text;
    text.text = ToClipboardLineEnds(source[static_cast<size_t>(index)].text);
    text.markPrivate = sealedSource;
    text.onRequest = forPaste; // the paste learns when its target has read it
    if (!WriteClipboardText(text)) {
        // The clipboard still holds whatever was there before (a password, perhaps): nothing
        // may be pasted now, and the entry was not used.
        MessageBeep(MB_ICONWARNING);
        return false;
    }
    KeepSecretForAWhile(sealedSource);

    if (AppView().historyShown) {
        PromoteEntry(AppData().tabs[kHistoryTab].items, index, AppData().MoveToTopOnCopy);
        SaveSlot(kHistoryTab);
    }
    RefillList();
    SelectListRow(ListWindow(), ItemListRowOf(entry));
    return true;
}

namespace {

// The paste has ended: a refusal is told, and the window comes back ("stay visible") or hides.
void FinishPaste(PasteOutcome outcome, int row) {
    HWND main = MainWindowHandle();
    KillTimer(main, TIMER_PASTE);
    if (outcome != PasteOutcome::Pasted)
        ShowTrayBalloon(main, kPasteRefusedTitle, PasteRefusalText(outcome).c_str());
    if (!AppData().StayVisible) {
        HideMainWindow();
        return;
    }
    SetForegroundWindow(main);
    SetFocus(ListWindow());
    row = std::min(row, ListRowCount(ListWindow()) - 1);
    if (row >= 0)
        SelectListRow(ListWindow(), row);
}

void EndPasteIfFinished() {
    if (g_paste.phase != PastePhase::Finished)
        return;
    g_pasteRunning = false;
    FinishPaste(g_paste.outcome, g_pasteRow);
}

} // namespace

void PasteToPreviousWindow(int row) {
    CancelPaste(); // a newer choice replaces one still waiting
    g_pasteRow = row;
    g_pasteRunning = true; // before the target is asked forward: the window's deactivation reads it
    // With "stay visible" the front comes back to the window: not before the target has read.
    g_paste = StartPaste(WindowsDesktop(), g_previousWindow, PasteKeysInForce(AppData()), AppData().StayVisible);
    if (g_paste.phase != PastePhase::Finished)
        SetTimer(MainWindowHandle(), TIMER_PASTE, kPasteTickMs, nullptr);
    EndPasteIfFinished();
}

void OnPasteTimer() {
    if (!g_pasteRunning)
        return; // a tick already queued when the paste ended
    AdvancePaste(WindowsDesktop(), g_paste);
    EndPasteIfFinished();
}

bool PasteUnderWay() {
    return g_pasteRunning;
}

void CancelPaste() {
    if (g_pasteRunning)
        KillTimer(MainWindowHandle(), TIMER_PASTE);
    g_pasteRunning = false;
}
