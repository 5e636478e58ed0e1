#include "app/ClipboardWrite.h"

#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "storage/SlotFile.h"
#include "ui/Ids.h"

#include <cstring>

namespace {

constexpr uint64_t kClipboardRetryMs = 250;
constexpr UINT kSecretRetryMs = 1000;

DWORD g_secretOnClipboard = 0; // the clipboard's sequence number just after a secret went on it

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

// The text written on request, kept until it is rendered for good or replaced.
struct OnRequest {
    std::wstring text;
    bool pending = false;
    DWORD sequence = 0; // the change that announced it
};
OnRequest g_onRequest;
uint64_t g_reads = 0;
void (*g_onRead)() = nullptr;

void ForgetOnRequest() {
    WipeString(g_onRequest.text); // a secret's, perhaps
    g_onRequest.pending = false;
}

bool PutText(const std::wstring& text) {
    return SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
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

bool CopySecretText(const std::wstring& text) {
    ClipboardText secret;
    secret.text = ToClipboardLineEnds(text);
    secret.markPrivate = true;
    if (!WriteClipboardText(secret))
        return false;
    KeepSecretForAWhile(true);
    return true;
}

bool WriteClipboardText(const ClipboardText& text) {
    if (text.text.empty() || !OpenClipboardPatiently(MainWindowHandle()))
        return false;
    EmptyClipboard(); // sends our own WM_DESTROYCLIPBOARD first: a text still waiting goes
    // Announced without its data, the text is asked of us when a program reads it.
    bool written = false;
    if (text.onRequest) {
        SetClipboardData(CF_UNICODETEXT, nullptr); // no data, no handle back: the format tells
        written = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
    } else {
        written = PutText(text.text);
    }
    if (written && text.markPrivate)
        MarkClipboardPrivate();
    CloseClipboard();
    if (!written)
        return false;
    const DWORD sequence = GetClipboardSequenceNumber();
    if (text.onRequest) {
        g_onRequest.text = text.text;
        g_onRequest.pending = true;
        g_onRequest.sequence = sequence;
    }
    NoteOwnClipboardWrite(sequence);
    return true;
}

uint64_t ReadsOfOurText() {
    return g_reads;
}

void SetClipboardReadCall(void (*onRead)()) {
    g_onRead = onRead;
}

void OnRenderFormat(UINT format) {
    // The reader holds the clipboard open: the data is only handed over, as Windows asks.
    if (format != CF_UNICODETEXT || !g_onRequest.pending || !PutText(g_onRequest.text))
        return;
    // Where rendering counts as a change of its own, that change is ours too, and so is the secret.
    const DWORD now = GetClipboardSequenceNumber();
    if (now != g_onRequest.sequence) {
        NoteOwnClipboardWrite(now);
        if (g_secretOnClipboard == g_onRequest.sequence)
            g_secretOnClipboard = now;
    }
    ForgetOnRequest(); // rendered for good: later readers find it there
    ++g_reads;
    if (g_onRead)
        g_onRead();
}

void OnRenderAllFormats(HWND mainWindow) {
    if (!g_onRequest.pending || !OpenClipboard(mainWindow))
        return;
    // Still ours: the text stays on the clipboard after the program has gone.
    if (GetClipboardOwner() == mainWindow)
        PutText(g_onRequest.text);
    CloseClipboard();
    ForgetOnRequest();
}

void OnDestroyClipboard() {
    ForgetOnRequest();
}
