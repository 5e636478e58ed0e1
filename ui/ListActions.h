// What the user does with the item list: choosing by click, Enter and digits, the keyboard
// shortcuts, the context menu, deleting, locking, editing, creating and dragging rows. The
// list's subclass procedure and the main window's notifications hand their messages here;
// every change to entries is written to disk at once.
#pragma once

#include "core/Types.h"
#include "ui/Windowing.h"

#include <windows.h>

#include <functional>

// What the list works on and what it asks of the window it lives in, handed over once when
// the window is made.
struct ListHost {
    HWND list = nullptr;
    HWND main = nullptr; // owner of the edit dialog opened from a memo list
    AppState* state = nullptr;
    ViewState* view = nullptr;
    std::function<void(int tab)> showTab;           // puts a tab on screen anew
    std::function<void(int tab)> switchToTab;       // Alt+Left / Alt+Right
    std::function<bool(int tab)> saveTab;           // writes a tab's file (told when it fails)
    std::function<void(EntryId entry)> chooseEntry; // click, Enter, digits: copy, then paste or hide
    std::function<bool(EntryId entry)> copyEntry;   // "コピー": the clipboard only
    // Shift+Enter or Shift+click: the entry joins 連続貼り付け's queue instead of being chosen
    // (false while the mode is off: it is chosen as ever).
    std::function<bool(EntryId entry)> queueEntry;
    SecretCopy copySecret;                          // Ctrl+C in the edit dialog of a tab open for the run
    std::function<void()> showPasswordPanel;        // "パスワードを入力して復号..."
    std::function<HFONT()> font;                    // the list font, for the edit dialog
    std::function<void()> layout;                   // the filter line came or went
};

void InitListActions(const ListHost& host);

// ---- Saving ------------------------------------------------------------------------------

// The tab 1..3 whose list is in view, or -1 (the history is in view).
int CurrentTemplateTab();
// Writes the entries of the current template tab; a sealed tab is never written.
void SaveTabItems();

// ---- Notifications reaching the main window ------------------------------------------------

// A click (NM_CLICK) or Enter (LVN_KEYDOWN) on `row`: memo lists open the entry in the item
// edit dialog, every other list chooses it. -1 does nothing.
void ChooseRow(int row);
// The row under the pointer of the message being handled, else the selected row.
int RowUnderPointer(HWND list);
// LVN_BEGINDRAG: the row starts being dragged to a new place.
void BeginRowDrag(HWND list, int row);

// ---- The filter line -------------------------------------------------------------------------

// True when the tab's entries can be filtered: a list of entries in memory (the history, a
// template or memo list; not a memo pad, a sealed tab or one whose password is being set).
bool FilterAllowed(int tab);
// Ctrl+F: opens the filter line over the list in view, the focus in its box; when it is open
// already, the box takes the focus with its text selected. Nothing where no filter is allowed.
void OpenFilter();
// Closes the filter line: the list shows every row again. Hiding the window and switching tabs
// do this.
void CloseFilter();
// Esc while the filter line is open: a filter is cleared, an empty one closed. False when the
// line is not open (Esc then goes on to hide the window).
bool OnFilterEscape();
// What the filter box hands on: a change of its text, Enter (the first match is chosen as a
// row is) and Down (the focus goes to the first row).
void OnFilterChanged(const std::wstring& text);
void ChooseFirstMatch();
void EnterListFromFilter();

// ---- The list's own messages; true when consumed ----------------------------------------------

bool OnListKeyDown(HWND list, WPARAM key);
bool OnListKeyUp(HWND list, WPARAM key);
bool OnListContextMenu(HWND list, LPARAM screenPoint);
// "パスワードを入力して復号...": leads the user to the password panel.
void OnListUnlockCommand();
// Drag feedback while a row is dragged; false when no drag runs.
bool OnListDragMove(HWND list, POINT point);
// The drop; false when no drag runs.
bool OnListDrop(HWND list);
// The mouse capture went elsewhere: the drag ends without a move.
void CancelRowDrag(HWND list);
// The pointer left the list: the insertion mark goes while a drag runs.
void ClearDropMark(HWND list);
// Middle button on the history: deletes the entry under the pointer unless it is locked.
void OnListMiddleButton(HWND list, POINT point);
