// What the program itself puts on the clipboard: a text written at once, or announced and
// rendered only when a program reads it (WM_RENDERFORMAT), which tells that the text was read;
// marked private when it is a secret; and a secret taken off again after a while.
#pragma once

#include "core/Text.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// A text's line ends as the clipboard gets them: every lone LF and lone CR becomes CR LF.
inline std::wstring ToClipboardLineEnds(std::wstring_view text) {
    return ToCrLf(text, LoneCr::Break);
}

// How a text goes onto the clipboard.
struct ClipboardText {
    std::wstring text;
    // Marked for clipboard monitors, Windows' clipboard history and cloud clipboard to leave it
    // alone: a secret (from a tab open for the run), or a queued entry no monitor may read first.
    bool markPrivate = false;
    bool onRequest = false; // announced now, rendered when read: ReadsOfOurText counts the reads
};

// Puts the text on the clipboard, retried for about a quarter of a second while another program
// holds it. True when it is there; the change it made is noted as our own, so that the capture
// never records it, however its notification and the reads of other changes fall.
bool WriteClipboardText(const ClipboardText& text);

// How many times a program has read our text written on request, since the program started: the
// reader asked Windows for it, and Windows asked us (WM_RENDERFORMAT). Later readers of the same
// change find it rendered and are not counted.
uint64_t ReadsOfOurText();

// WM_RENDERFORMAT: a program reads our text written on request; it is rendered now. Tells
// `onRead` (when set) after each such read.
void OnRenderFormat(UINT format);
void SetClipboardReadCall(void (*onRead)());
// WM_RENDERALLFORMATS: the program ends while the clipboard holds a text it has not rendered.
void OnRenderAllFormats(HWND mainWindow);
// WM_DESTROYCLIPBOARD: another write replaced ours; the text kept for rendering goes.
void OnDestroyClipboard();

// What the clipboard now holds goes again after ClearSecretSeconds when it came from a tab open
// for the run; another write starts the time again, and a plain one ends it.
void KeepSecretForAWhile(bool secret);

// Puts text from a tab open for the run on the clipboard as choosing one of its entries does:
// marked private, and taken off again after ClearSecretSeconds. Ctrl+C and Ctrl+X in the memo
// pad and in the edit dialog of such a tab copy through here. False when nothing was written.
bool CopySecretText(const std::wstring& text);

// An entry of a tab open for the run that went onto the clipboard is taken off again after
// ClearSecretSeconds (TIMER_CLEAR_SECRET), at the quit and at the end of the session, but only
// while the clipboard still holds it: a copy made since by any program is never touched. A
// clipboard held by another program is tried again a second later, for as long as it is ours.
void ClearSecretFromClipboard();

// The change on the clipboard that is to be cleared (0: none): the one a write made (`sequence`)
// when it came from a tab open for the run and ClearSecretSeconds is set. Never a plain tab's.
DWORD SecretToClear(bool sealedSource, int clearSecretSeconds, DWORD sequence);
// The change now waiting to be cleared; 0 for none.
DWORD SecretOnClipboard();

// The clipboard calls the clearing makes, as plain function pointers so that a test can stand in
// for another program's copy or a clipboard held open.
struct ClipboardCalls {
    DWORD (*sequence)() = nullptr;
    bool (*open)() = nullptr; // for the main window, retried for a moment
    void (*empty)() = nullptr;
    void (*close)() = nullptr;
};
// Takes the change `ours` off the clipboard while the clipboard still holds it. TryAgain when the
// clipboard could not be opened; Done when it was taken off, or is no longer ours (or never was).
enum class SecretClearing { Done, TryAgain };
SecretClearing ClearSecret(const ClipboardCalls& calls, DWORD ours);

