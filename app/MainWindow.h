// The tool window: its window procedure, its making (which hands the parts below what they
// work on), its commands and notifications, the notification-area icon and quitting.
#pragma once

#include <windows.h>

inline constexpr wchar_t kMainWindowClass[] = L"NomaclipWnd";
// The registered message by which a second start asks the running program to show its window.
inline constexpr wchar_t kShowWindowMessage[] = L"Nomaclip_ShowWindow";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The notification-area icon.
void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
// A balloon at the icon: for what the user must know although no window of ours is in view.
void ShowTrayBalloon(HWND mainWindow, const wchar_t* title, const wchar_t* text);
