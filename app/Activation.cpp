#include "app/Activation.h"

#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/MainWindow.h"
#include "app/Paste.h"
#include "app/Visibility.h"
#include "core/Capture.h"
#include "tabs/TabFiles.h"
#include "ui/Ids.h"
#include "ui/ItemList.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint64_t kClipboardRetryMs = 250;
constexpr UINT kSecretRetryMs = 1000;

HWND g_previousWindow = nullptr;     // the paste target
uint64_t g_lastForegroundChange = 0; // GetTickCount64 milliseconds
PasteRun g_paste;                    // the last paste
bool g_pasteRunning = false;         // ... is under way, moved on by TIMER_PASTE
int g_pasteRow = -1;                 // the row "stay visible" selects when it ends
DWORD g_secretOnClipboard = 0;       // the clipboard's sequence number just after a secret went on it

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

HookKey ClassifyHookKey(DWORD virtualKey, int& command) {
    command = 0;
    switch (virtualKey) {
    case VK_ESCAPE:
        return HookKey::Escape;
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
    case VK_F7:
    case VK_F8:
        return HookKey::TabKey;
    default:
        return HookKey::PassOn; // F9, F10 and everything else
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
    if (!CopyEntryToClipboard(entry))
        return; // not on the clipboard: the window stays as it was
    if (AppData().AutoPaste) {
        const int row = ItemListRowOf(entry);
        PostMessageW(MainWindowHandle(), WM_APP_PASTE, static_cast<WPARAM>(static_cast<INT_PTR>(row)), 0);
    } else if (!AppData().StayVisible) {
        PostMessageW(MainWindowHandle(), WM_CLOSE, 0, 0);
    }
}

namespace {

// Puts bytes on the open clipboard in the given format; true when the clipboard took them.
bool SetClipboardBytes(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return false;
    bool written = false;
    if (void* target = GlobalLock(memory)) {
        memcpy(target, data, size);
        GlobalUnlock(memory);
        written = SetClipboardData(format, memory) != nullptr;
    }
    if (!written)
        GlobalFree(memory); // the clipboard owns it only after a successful SetClipboardData
    return written;
}

// A text from a tab open for the run is sealed on disk: it asks Windows' clipboard history,
// cloud clipboard and other clipboard keepers to leave it alone.
void MarkClipboardPrivate() {
    const DWORD no = 0;
    for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
                                L"CanUploadToCloudClipboard"})
        if (const UINT format = RegisterClipboardFormatW(name))
            SetClipboardBytes(format, &no, sizeof(no)); // a keeper that ignores the marks is beyond our reach
}

// The clipboard history service, Office or a remote desktop hold the clipboard open for a
// moment after each change: a few more tries, as the capture makes. The wait is short and
// bounded; the input hooks live on their own thread, so the desktop's input never waits on it.
bool OpenClipboardPatiently(HWND owner) {
    const uint64_t until = GetTickCount64() + kClipboardRetryMs;
    while (!OpenClipboard(owner)) {
        if (GetTickCount64() >= until)
            return false;
        Sleep(10);
    }
    return true;
}

// True when our text is on the clipboard. The change it made is noted as our own, so that the
// capture never records it, however its notification and the reads of other changes fall.
bool WriteClipboardText(const std::wstring& text, bool sealedSource) {
    if (text.empty() || !OpenClipboardPatiently(MainWindowHandle()))
        return false;
    EmptyClipboard();
    const bool written = SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (written && sealedSource)
        MarkClipboardPrivate();
    CloseClipboard();
    if (written)
        NoteOwnClipboardWrite(GetClipboardSequenceNumber());
    return written;
}

// What the clipboard now holds goes again after ClearSecretSeconds when it came from a tab open
// for the run; another write starts the time again, and a plain one ends it.
void KeepSecretForAWhile(bool sealedSource) {
    HWND main = MainWindowHandle();
    const int seconds = AppData().ClearSecretSeconds;
    g_secretOnClipboard = SecretToClear(sealedSource, seconds, GetClipboardSequenceNumber());
    if (g_secretOnClipboard)
        SetTimer(main, TIMER_CLEAR_SECRET, static_cast<UINT>(seconds) * 1000u, nullptr);
    else
        KillTimer(main, TIMER_CLEAR_SECRET);
}

ClipboardCalls SystemClipboardCalls() {
    ClipboardCalls calls;
    calls.sequence = [] { return GetClipboardSequenceNumber(); };
    calls.open = [] { return OpenClipboardPatiently(MainWindowHandle()); };
    calls.empty = [] { EmptyClipboard(); };
    calls.close = [] { CloseClipboard(); };
    return calls;
}

} // namespace

DWORD SecretToClear(bool sealedSource, int clearSecretSeconds, DWORD sequence) {
    return sealedSource && clearSecretSeconds > 0 ? sequence : 0;
}

SecretClearing ClearSecret(const ClipboardCalls& calls, DWORD ours) {
    if (!ours || calls.sequence() != ours)
        return SecretClearing::Done; // nothing of ours, or another copy came since: not ours to take away
    if (!calls.open())
        return SecretClearing::TryAgain;
    if (calls.sequence() == ours)
        calls.empty();
    calls.close();
    return SecretClearing::Done;
}

DWORD SecretOnClipboard() {
    return g_secretOnClipboard;
}

void ClearSecretFromClipboard() {
    HWND main = MainWindowHandle();
    KillTimer(main, TIMER_CLEAR_SECRET);
    if (ClearSecret(SystemClipboardCalls(), g_secretOnClipboard) == SecretClearing::TryAgain) {
        // Held by another program for now (the clipboard history service, a remote desktop).
        SetTimer(main, TIMER_CLEAR_SECRET, kSecretRetryMs, nullptr);
        return;
    }
    g_secretOnClipboard = 0;
}

bool CopySecretText(const std::wstring& text) {
    if (!WriteClipboardText(ToClipboardLineEnds(text), true))
        return false;
    KeepSecretForAWhile(true);
    return true;
}

bool CopyEntryToClipboard(EntryId entry) {
    const std::vector<HistoryItem>& source = EntriesInView();
    const int index = FindEntry(source, entry);
    if (index < 0)
        return false;
    const bool sealedSource = AppData().tabs[TabInView(AppView())].tempUnlocked;
    if (!WriteClipboardText(ToClipboardLineEnds(source[static_cast<size_t>(index)].text), sealedSource)) {
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
    g_paste = StartPaste(WindowsDesktop(), g_previousWindow, PasteKeysInForce(AppData()));
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
