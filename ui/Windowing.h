// Small things every window of the program uses: a window's text, the dots per inch the tool
// window is laid out for, subclassing, the program's own pop-up menus.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

// The program's module, for creating windows and dialogs from its resources.
HINSTANCE ProgramInstance();

// The whole text of a window or control; empty for none.
std::wstring WindowText(HWND window);

// The dots per inch of a window's monitor (GetDpiForWindow where Windows has it), else the
// screen's.
int WindowDpi(HWND window);

// The dots per inch the tool window is laid out for: its monitor's when it was created, then
// whatever WM_DPICHANGED said. The main window sets it; its children follow it.
int LayoutDpi();
void SetLayoutDpi(int dpi);

// A design size given at 96 dots per inch, at LayoutDpi.
int ScaleToLayout(int size96);

// A secret's text written to the clipboard some other way than an edit control's own copy; false
// when nothing was written.
using SecretCopy = std::function<bool(const std::wstring& text)>;

// WM_COPY (`cut` false) or WM_CUT of an edit whose text is a secret: the selection goes through
// `copy` instead of the control's own copy, which would leave it on the clipboard unmarked and for
// good; a cut removes it once it is there (undoably, as the control's own cut does).
void CopyEditSelectionAsSecret(HWND edit, bool cut, const SecretCopy& copy);

// Subclasses a control with SetWindowSubclass (one id per procedure) and takes the subclass
// away again when the control is destroyed.
bool Subclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data = 0);

// What a subclass procedure does with WM_NCDESTROY: removes itself and passes the message on.
LRESULT EndSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, UINT message, WPARAM wParam, LPARAM lParam);

// A hidden static whose text names the control created next, for screen readers: Windows'
// accessibility names a control whose own text is no name (an edit, a list, a tab control)
// after the static just before it in the z-order, shown or not. Create it right before that
// control.
HWND CreateAccessibleLabel(HWND parent, const wchar_t* name);

// True for a dialog or message box (class "#32770") on screen.
bool IsDialogOnScreen(HWND window);

// TrackPopupMenu for the program's own pop-up menus (TPM_RETURNCMD): while one is open the
// keyboard hook leaves Esc to the menu, which closes only itself.
UINT TrackOwnPopupMenu(HMENU menu, POINT at, HWND owner);
// True while such a menu is open. Safe on any thread.
bool OwnPopupMenuOpen();
