// The filter line between the tab strip and the list: a one-line box whose words narrow the
// list's rows, and beside it how many entries match. Hidden until Ctrl+F opens it. The box
// knows nothing of entries: what its text and keys mean is the list's to say (ListActions).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// What the box hands on.
struct FilterBoxHost {
    std::function<void(const std::wstring& text)> changed; // every change of the text
    std::function<void()> enter;                           // Enter in the box
    std::function<void()> down;                            // Down (or Page Down) in the box
};

// Creates the filter line (hidden) in the tool window.
HWND CreateFilterBox(HWND parent, HFONT font, const FilterBoxHost& host);

// True while the filter line is on screen.
bool FilterBoxOpen();

// Shows the line and puts the focus in its box, the text selected.
void OpenFilterBox();
// Empties the box (the change is handed on) and hides the line.
void CloseFilterBox();

std::wstring FilterBoxText();
// Sets the box's text; the change is handed on.
void SetFilterBoxText(const std::wstring& text);
void FocusFilterBox();
bool FilterBoxHasFocus();

// "N 件" beside the box while a filter narrows the rows; nothing otherwise.
void ShowFilterMatchCount(int count, bool filtering);

// The line's height for the list font at the layout's dots per inch.
int FilterBarHeight();
// Places the line; its box and count follow.
void PlaceFilterBar(int x, int y, int width, int height);
void SetFilterBoxFont(HFONT font);

// The text shown in the empty box.
inline constexpr wchar_t kFilterCue[] = L"検索 (Ctrl+F)";
