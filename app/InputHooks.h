// The low-level mouse and keyboard hooks, on a thread of their own. Windows holds every key
// press and mouse event on the desktop until each low-level hook has answered, and quietly
// removes a hook that answers too late: so the hooks only classify the event and post what
// it means to the main window, and their thread does nothing else. However long the main
// window's thread is busy (a paste waiting for its target, a tab being sealed), input flows.
#pragma once

#include <windows.h>

// Starts the thread and installs both hooks on it; false when that failed.
bool StartInputHooks(HWND mainWindow);
// Removes the hooks and ends the thread.
void StopInputHooks();

// The options the hooks act on, handed to their thread whenever they may have changed.
void ShareHookOptions(int enabledArea, bool stayVisible);
// 連続貼り付け is on: the paste key is watched and told (WM_APP_PASTE_KEY).
void ShareQueueMode(bool on);

// Windows removes a low-level hook that answers too late, without telling, at any time (after a
// resume, when the hook's memory was paged out, for instance). The hooks are installed anew each
// time the window is shown, on resume and on unlocking the session (WM_POWERBROADCAST,
// WM_WTSSESSION_CHANGE of the main window). The old ones go before the new ones come, on the
// hooks' own thread, between two of their calls: one press never reaches two hooks of ours.
void ReinstallInputHooks();
// How often the hooks have been installed in this run (the first time included).
int InputHookInstalls();

// Asks for the main window's WM_WTSSESSION_CHANGE, and stops asking (at its end). Early in a
// session, before the terminal service is up, the request fails: it is made again every few
// seconds (TIMER_SESSION_WATCH, OnSessionWatchTimer) a few times.
void WatchSessionForHooks(HWND mainWindow);
void OnSessionWatchTimer(HWND mainWindow);
void StopWatchingSession(HWND mainWindow);

// The step after a request for the session's notifications: done once one was taken, another try
// later while tries are left, else no more.
enum class SessionWatch { Done, TryLater, GiveUp };
SessionWatch AfterSessionWatchTry(bool registered, int triesLeft);
