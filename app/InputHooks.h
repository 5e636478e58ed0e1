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
