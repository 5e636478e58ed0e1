// The program's message loop: what each message meets before it is dispatched (Left and Right
// switch tabs, Ctrl+F opens the filter, Tab moves the focus), and the keys already typed that
// must reach their window before a menu of ours takes the keyboard.
#pragma once

#include <windows.h>

// Runs the loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Hands every key message already in this thread's queue to its window, as the loop would.
// Windows delivers posted and sent messages (a notification-area callback among them) before
// the input queued ahead of them: a menu opened from such a message would otherwise take the
// keys the user typed before the click, and they would be lost to the window they were typed in.
void DeliverQueuedKeys();

// The main window's messages that stand for input the user gave after whatever is still queued:
// the hotkey, the notification-area icon, the screen-edge click, the keys the keyboard hook
// takes (Esc, F-keys), a second start. Posted, they overtake that input, so the keys queued
// before them are delivered first (DeliverQueuedKeys).
bool StandsForLaterInput(UINT message, UINT showRequest);
