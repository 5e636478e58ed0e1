// 連続貼り付け for the running program: the queue of app/PasteQueue.h fed from the capture, the
// list (Shift+Enter, Shift+click), the keyboard hook (the paste key) and the reads of the text it
// put on the clipboard; and the mode shown on the toolbar button, in the tray icon's tip and menu.
#pragma once

#include "core/Types.h"

#include <windows.h>

#include <string>

bool QueueModeOn();
// F9, the toolbar button, the tray item: on, or off at once.
void ToggleQueueMode();
// Esc: off at once; false when it was not on.
bool EndQueueMode();

// A copy the history recorded (promoted or not): it joins the end.
void QueueCopiedText(const std::wstring& text);
// Shift+Enter or Shift+click on an entry of the tab in view: it joins the end. False when the
// mode is off (the entry is then chosen as ever).
bool QueueEntry(EntryId entry);
// Another program changed the clipboard: the first text is off it.
void QueueClipboardChanged();

// WM_APP_PASTE_KEY from the keyboard hook: a paste chord went down (wParam 1) or up (0); lParam
// holds the chord (PasteChordBits).
void OnQueuePasteKey(WPARAM wParam, LPARAM lParam);
// TIMER_QUEUE_PUT, TIMER_QUEUE_PAUSE.
void OnQueueTimer(UINT_PTR timer);

// "連続貼り付け：残り 3 件" while the mode is on, else empty.
std::wstring QueueStatusText();

// The chord of a key press as the hook sends it: the key and Ctrl, Shift and Alt held.
inline LPARAM PasteChordBits(WORD key, bool ctrl, bool shift, bool alt) {
    return static_cast<LPARAM>(key) | (ctrl ? 0x10000 : 0) | (shift ? 0x20000 : 0) | (alt ? 0x40000 : 0);
}
