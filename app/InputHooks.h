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

// Windows removes a low-level hook that answers too late, without telling (after a resume, when
// the hook's memory was paged out, for instance). The hooks are installed anew on resume and
// on unlocking the session (WM_POWERBROADCAST, WM_WTSSESSION_CHANGE of the main window).
void ReinstallInputHooks();
// Asks for the main window's WM_WTSSESSION_CHANGE, and stops asking (at its end).
void WatchSessionForHooks(HWND mainWindow);
void StopWatchingSession(HWND mainWindow);
