// The settings dialog ("設定"): counts, duplicate blocking, the screen-edge area, the hotkey,
// the list font and the start-up shortcut.
#pragma once

#include <windows.h>

// Runs the modal dialog owned by `owner` (the main window); everything is applied inside it.
INT_PTR OpenSettingsDialog(HWND owner);
