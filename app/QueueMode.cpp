#include "app/QueueMode.h"

#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/ClipboardWrite.h"
#include "app/InputHooks.h"
#include "app/Layout.h"
#include "app/MainWindow.h"
#include "app/PasteQueue.h"
#include "app/PasteRules.h"
#include "app/Programs.h"
#include "ui/Ids.h"

namespace {

// After a copy the first text goes back on the clipboard once the copies have stopped coming (a
// write of ours between two copies made in quick succession could replace the second before it
// is read); after a paste, once its reader has closed the clipboard.
constexpr UINT kPutAfterCopyMs = 150;
constexpr UINT kPutAfterPasteMs = 30;
constexpr UINT kPutRetryMs = 50;
constexpr UINT kPauseTickMs = 50;

PasteQueue g_queue;
WORD g_pasteKey = 0; // the key of the paste chord that went down (V, Insert), 0 while none is down

void ShowMode() {
    UpdateToggleImage(CMD_PASTE_QUEUE, g_queue.On());
    ShareQueueMode(g_queue.On());
    SetTrayTip(g_queue.On() ? QueueStatusText() : std::wstring());
}

void PutSoon(UINT milliseconds) {
    SetTimer(MainWindowHandle(), TIMER_QUEUE_PUT, milliseconds, nullptr);
}

void Do(QueueStep step) {
    switch (step) {
    case QueueStep::Nothing:
        break;
    case QueueStep::PutFirst:
        PutSoon(kPutAfterPasteMs);
        break;
    case QueueStep::Finished:
        KillTimer(MainWindowHandle(), TIMER_QUEUE_PUT);
        KillTimer(MainWindowHandle(), TIMER_QUEUE_PAUSE);
        ShowMode();
        ShowTrayBalloon(MainWindowHandle(), L"Nomaclip",
                        (L"連続貼り付けが終わりました（" + std::to_wstring(g_queue.Pasted()) + L" 件）").c_str());
        // The clipboard keeps the last one: a secret goes after ClearSecretSeconds, as when chosen.
        KeepSecretForAWhile(g_queue.LastPasted().secret);
        return;
    }
    ShowMode();
    if (g_queue.AwaitingPause())
        SetTimer(MainWindowHandle(), TIMER_QUEUE_PAUSE, kPauseTickMs, nullptr);
}

// The first text onto the clipboard: announced, rendered when read (the read tells the paste),
// marked so that monitors and Windows' clipboard history leave it to the paste.
void PutFirst() {
    KillTimer(MainWindowHandle(), TIMER_QUEUE_PUT);
    const QueuedText* first = g_queue.First();
    if (!g_queue.On() || !first)
        return;
    if (!ClipboardChangesAllRead()) {
        PutSoon(kPutRetryMs); // a copy is still being read: it must join first
        return;
    }
    ClipboardText text;
    text.text = ToClipboardLineEnds(first->text);
    text.markPrivate = true;
    text.onRequest = true;
    if (!WriteClipboardText(text)) {
        PutSoon(kPutRetryMs); // held by another program for now
        return;
    }
    g_queue.FirstPut();
    KeepSecretForAWhile(false); // a secret waiting on the clipboard is the queue's until it is done with it
}

void OnRead() {
    if (!g_queue.On())
        return;
    // The hook's word of the paste key was posted before the key reached the reader, but a read
    // is a sent message, handled before anything posted: the keys come first.
    HWND main = MainWindowHandle();
    MSG key;
    while (PeekMessageW(&key, main, WM_APP_PASTE_KEY, WM_APP_PASTE_KEY, PM_REMOVE))
        OnQueuePasteKey(key.wParam, key.lParam);
    Do(g_queue.Read(GetTickCount64()));
}

// The paste key of the program in front (PasteKeys), or Ctrl+V, which every other program takes.
bool IsPasteChord(LPARAM bits) {
    const KeyChord chord = ChordFor(PasteKeyFor(PasteKeysInForce(AppData()), WindowProgram(GetForegroundWindow())));
    return bits == PasteChordBits(chord.key, chord.ctrl, chord.shift, chord.alt) ||
           bits == PasteChordBits(kCtrlV.key, kCtrlV.ctrl, kCtrlV.shift, kCtrlV.alt);
}

void Begin() {
    g_queue.Begin();
    SetClipboardReadCall(OnRead);
    ShowMode();
}

} // namespace

bool QueueModeOn() {
    return g_queue.On();
}

void ToggleQueueMode() {
    if (!EndQueueMode())
        Begin();
}

bool EndQueueMode() {
    if (!g_queue.On())
        return false;
    const bool secretOnClipboard = g_queue.First() && g_queue.First()->secret;
    g_queue.End();
    KillTimer(MainWindowHandle(), TIMER_QUEUE_PUT);
    KillTimer(MainWindowHandle(), TIMER_QUEUE_PAUSE);
    ShowMode();
    // The clipboard keeps what it holds; a secret of the queue goes as a chosen one would.
    if (secretOnClipboard)
        KeepSecretForAWhile(true);
    return true;
}

void QueueCopiedText(const std::wstring& text) {
    if (!g_queue.On())
        return;
    QueuedText copied;
    copied.text = text;
    if (g_queue.Add(std::move(copied)) == QueueStep::PutFirst)
        PutSoon(kPutAfterCopyMs); // again after each copy: the last one decides
    ShowMode();
}

bool QueueEntry(EntryId entry) {
    if (!g_queue.On())
        return false;
    const std::vector<HistoryItem>& items = EntriesInView();
    const int index = FindEntry(items, entry);
    if (index < 0)
        return true; // gone meanwhile: nothing to queue, and nothing chosen either
    QueuedText chosen;
    chosen.text = items[static_cast<size_t>(index)].text;
    chosen.secret = AppData().tabs[TabInView(AppView())].tempUnlocked;
    if (g_queue.Add(std::move(chosen)) == QueueStep::PutFirst)
        PutSoon(kPutAfterPasteMs);
    ShowMode();
    return true;
}

void QueueClipboardChanged() {
    g_queue.ClipboardTaken();
}

void OnQueuePasteKey(WPARAM wParam, LPARAM lParam) {
    if (!g_queue.On())
        return;
    // The chord is told by its modifiers as the key goes down; the key's release is its release,
    // whichever modifier went up first.
    const WORD key = static_cast<WORD>(lParam & 0xFFFF);
    if (wParam && IsPasteChord(lParam)) {
        g_pasteKey = key;
        g_queue.KeyDown(GetTickCount64());
    } else if (!wParam && key == g_pasteKey) {
        g_pasteKey = 0;
        Do(g_queue.KeyUp(GetTickCount64()));
    }
}

void OnQueueTimer(UINT_PTR timer) {
    if (timer == TIMER_QUEUE_PUT) {
        PutFirst();
        return;
    }
    const QueueStep step = g_queue.Tick(GetTickCount64());
    if (!g_queue.AwaitingPause())
        KillTimer(MainWindowHandle(), TIMER_QUEUE_PAUSE);
    Do(step);
}

std::wstring QueueStatusText() {
    if (!g_queue.On())
        return std::wstring();
    return L"連続貼り付け：残り " + std::to_wstring(g_queue.Waiting()) + L" 件";
}
