// When the tool window shows and hides, and where the keyboard goes when it shows: the
// hotkey, the tray icon, the screen-edge click, activation, and the open dialog of ours that
// the hotkey and the tray icon bring forward instead.
#pragma once

#include <windows.h>

// The focus rule of every show and of every return from a dialog.
void FocusContent();

// Shows the window, first moving it back onto a monitor when its rectangle lies on none.
void ShowMainWindow(int showCommand);

// Writes what waits (a memo pad's seal, the settings) and hides the window.
void HideMainWindow();

// Shows and focuses the window from the tray icon or its menu; with "stay visible" it comes
// up beside the user's work without taking the keyboard.
void ShowToolWindow();

// While a dialog of ours is open, brings it to the front (and the window under it back into
// view); false when none is open.
bool BringOwnDialogForward(HWND window);

// Esc in the tool window: out of the memo pad onto the tab strip; else the filter is cleared or
// closed; else the window hides.
void OnEscape(HWND window);

void OnHotkey(HWND window);
void OnEdgeShow(HWND window, HWND foreground);
LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam);
// Shown: the first row selected. Hidden: the filter closed.
void OnShowWindow(BOOL shown);
void OnTrayClick(HWND window);
// The program was started again, or its icon chosen from the keyboard: the window (or the open
// dialog of ours) comes to the front; it never hides.
void OnShowRequest(HWND window);
