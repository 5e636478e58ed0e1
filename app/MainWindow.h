// The tool window: its window procedure, its making (which hands the parts below what they
// work on), its commands and notifications, the notification-area icon and quitting.
#pragma once

#include <windows.h>

inline constexpr wchar_t kMainWindowClass[] = L"NomaclipWnd";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The notification-area icon.
void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
