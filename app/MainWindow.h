// The tool window: its window procedure and the show, hide and save rules.
#pragma once

#include "core/Types.h"

#include <windows.h>

inline constexpr wchar_t kMainWindowClass[] = L"NomaclipWnd";

// The id of the global hotkey on the main window (WM_HOTKEY); the settings dialog registers it again.
inline constexpr int kHotkeyId = 1;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Reads settings.ini and applies it; without one, the defaults with the window size scaled
// to the screen's dots per inch.
AppSettings LoadStartupSettings();

// Copies a loaded settings record into the live state (options, tab names and kinds, list font).
void ApplyLoadedSettings(const AppSettings& settings);

// Saves every setting with this window rectangle; a component of -1 keeps the last saved one.
void SaveSettingsWithRect(int x, int y, int width, int height);

// Saves the settings with the main window's current rectangle.
void SaveSettingsWithWindowRect();

// The record that describes the live state, with the given window rectangle.
AppSettings CollectSettings(const WindowRect& rect);

// Shows and focuses the window from the tray icon or its menu.
void ShowToolWindow();

// The notification-area icon.
void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
