// The state of the run and the tool window's handles, owned here. The parts below (ui, tabs)
// never reach for them: the main window hands each what it needs when it is made.
#pragma once

#include "core/Types.h"

#include <windows.h>

// The options and the four tabs.
AppState& AppData();
// What the tool window shows: the current tab, the history or not, the tab being sealed.
ViewState& AppView();

// The main window and the list it holds; null before they exist.
HWND MainWindowHandle();
HWND ListWindow();
void SetMainWindows(HWND main, HWND list);

// The entries the list shows.
std::vector<HistoryItem>& EntriesInView();

// The list shows the entries in view again (the history up to HistoryLimit).
void RefillList();

// The font of the list, the tab strip, the memo pad and the password panel; the system's
// default GUI font until one is made.
HFONT ListFont();
// Makes font the list font everywhere it is used; the previous one is deleted unless it is
// the system's.
void ReplaceListFont(HFONT font);
// Deletes the list font the program made (the end of the window).
void ReleaseListFont();

// "lock-1.png" and "lock-2.png" as GDI+ images, kept as opaque pointers so that this header
// needs no GDI+ headers; loaded at start-up, null when missing.
struct LockPictures {
    void* setup = nullptr;
    void* unlock = nullptr;
};
LockPictures& Pictures();
