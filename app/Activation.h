// Bringing the window up over the user's work and putting the chosen text back there:
// the paste target, the low-level hooks, writing the clipboard and the synthetic paste.
#pragma once

#include "app/ClipboardWrite.h" // our writes, which choosing and pasting make
#include "core/Text.h"
#include "ui/Ids.h"

#include "core/Types.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// What the keyboard hook does with a key press while the tool window is visible. An F-key with
// Ctrl, Alt or a Windows key held (`chordHeld`) is another's: a hotkey (the program's own may be
// Ctrl+Shift+F9) or a key of the program in front.
enum class HookKey { PassOn, Escape, PostCommand, TabKey };
HookKey ClassifyHookKey(DWORD virtualKey, bool chordHeld, int& command);

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
// only beeps and changes nothing. `forPaste`: written on request, so that the paste learns when
// its target has read it.
bool CopyEntryToClipboard(EntryId entry, bool forPaste = false);

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
