// Bringing the window up over the user's work and putting the chosen text back there:
// the paste target, the low-level hooks, writing the clipboard and the synthetic paste.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Posted by the hooks, which only decide and return at once (a slow hook is removed by
// the system): the main window does the work.
inline constexpr UINT WM_APP_HIDE = WM_APP + 5;         // save the rectangle and hide (Esc, outside click)
inline constexpr UINT WM_APP_TAB_KEY = WM_APP + 6;      // F7 or F8 (wParam = the virtual key)
inline constexpr UINT WM_APP_MEMO_ESCAPE = WM_APP + 10; // Esc in the memo pad: the focus goes to the strip

// True when a left press at (x, y) lies in screen-edge area `area` (0..5) of a primary
// screen of width x height pixels; -1 and any other value never match.
bool InEdgeArea(int area, int x, int y, int screenWidth, int screenHeight);

// A text's line ends as the clipboard gets them: every lone LF and lone CR becomes CR LF.
std::wstring ToClipboardLineEnds(std::wstring_view text);

// What the keyboard hook does with a key press while the tool window is visible.
enum class HookKey { PassOn, Escape, PostCommand, TabKey };
HookKey ClassifyHookKey(DWORD virtualKey, int& command);

// TrackPopupMenu for the program's own pop-up menus (TPM_RETURNCMD): while one is open the
// keyboard hook leaves Esc to the menu, which closes only itself.
UINT TrackOwnPopupMenu(HMENU menu, POINT at, HWND owner);
bool OwnPopupMenuOpen();

// Offers a window as the paste target (ignores our own, the desktop shell and nulls).
void RememberPreviousWindow(HWND window);

void CALLBACK ForegroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                                DWORD time);

// A visible dialog or message box of ours is open over the main window. Safe on any thread.
bool OwnDialogOpen(HWND mainWindow);
// The window belongs to a process other than this one. Safe on any thread.
bool BelongsToOtherProcess(HWND window);

// Choosing a row of a template or history list: copy it, then paste or hide.
void ChooseEntry(int row);

// Writes the row's text to the clipboard, promotes a history entry, refills and selects.
// Returns the entry's row afterwards, or -1 when nothing went onto the clipboard (another
// program holds it, or the entry has no text): then it only beeps and changes nothing.
int CopyEntryToClipboard(int row);

// Brings the remembered window to the front and sends it Ctrl+V (WM_APP_PASTE).
void PasteToPreviousWindow(int row);

void SendPasteKeys();
