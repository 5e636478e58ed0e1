// Bringing the window up over the user's work and putting the chosen text back there:
// the paste target, the low-level hooks, writing the clipboard and the synthetic paste.
#pragma once

#include "core/Text.h"
#include "ui/Ids.h"

#include "core/Types.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// A text's line ends as the clipboard gets them: every lone LF and lone CR becomes CR LF.
inline std::wstring ToClipboardLineEnds(std::wstring_view text) {
    return ToCrLf(text, LoneCr::Break);
}

// What the keyboard hook does with a key press while the tool window is visible.
enum class HookKey { PassOn, Escape, PostCommand, TabKey };
HookKey ClassifyHookKey(DWORD virtualKey, int& command);

// When the foreground window last changed (GetTickCount64 milliseconds); the foreground
// callback notes it.
uint64_t LastForegroundChange();
void NoteForegroundChange(uint64_t when);

// Offers a window as the paste target: taken when it can be one (CanBePasteTarget), else the
// window remembered before stays the target.
void RememberPreviousWindow(HWND window);

void CALLBACK ForegroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                                DWORD time);

// A visible dialog or message box of ours is open over the main window. Safe on any thread.
bool OwnDialogOpen(HWND mainWindow);
// The window belongs to a process other than this one. Safe on any thread.
bool BelongsToOtherProcess(HWND window);

// Choosing an entry of a template or history list: copy it, then paste or hide.
void ChooseEntry(EntryId entry);

// Writes the entry's text to the clipboard, promotes a history entry, refills and selects it.
// A clipboard that another program holds is tried again for about a quarter of a second.
// False when nothing went onto the clipboard (still held, or the entry has no text): then it
// only beeps and changes nothing.
bool CopyEntryToClipboard(EntryId entry);

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

// Starts the paste into the remembered window (WM_APP_PASTE). When it ends, with "stay
// visible" the window comes back with `row` selected (-1: none), else it hides; a paste that
// could not be made is told in a notification-area balloon.
void PasteToPreviousWindow(int row);
// TIMER_PASTE: moves the running paste on.
void OnPasteTimer();
// The window is called up again: a paste still waiting for its target sends nothing.
void CancelPaste();
// A paste is bringing its target forward or sending it keys.
bool PasteUnderWay();
