// The tool window: its window procedure, its making (which hands the parts below what they
// work on), its commands and notifications, the notification-area icon and quitting.
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kMainWindowClass[] = L"NomaclipWnd";
// The registered message by which a second start asks the running program to show its window.
inline constexpr wchar_t kShowWindowMessage[] = L"Nomaclip_ShowWindow";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The notification-area icon.
void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
// A balloon at the icon: for what the user must know although no window of ours is in view.
void ShowTrayBalloon(HWND mainWindow, const wchar_t* title, const wchar_t* text);
// The icon's tip: `text`, or the program's name when it is empty.
void SetTrayTip(const std::wstring& text);

// The registered messages the window answers: a second start's request to show it, and
// Explorer's "TaskbarCreated" after a restart (the icon is added again).
UINT ShowRequestMessage();
UINT TaskbarCreatedMessage();

// A second start without administrator rights and a restarted Explorer must reach an elevated
// run, whose window UIPI shields from lower integrity levels: their messages are let through
// (ChangeWindowMessageFilterEx; a test records the calls instead).
using MessageFilterCall = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
void LetThroughFromLowerIntegrity(HWND window, MessageFilterCall allow);
