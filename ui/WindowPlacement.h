// Keeps the tool window where the user can reach it.
#pragma once

#include "core/Types.h"

#include <windows.h>

inline constexpr int kMinWindowWidth = 320;
inline constexpr int kMinWindowHeight = 440;

// The rectangle to use for a saved one: sizes below the minimum or beyond the work area are
// brought into range, and a rectangle that lies on no monitor (onSomeMonitor false) is moved
// inside workArea, the work area of the nearest monitor.
WindowRect ReachableRect(const WindowRect& saved, const RECT& workArea, bool onSomeMonitor);

// ReachableRect for the monitors this machine has now.
WindowRect ReachableRectOnThisDesktop(const WindowRect& saved);

// Where a dialog of `width` × `height` opens: centred over `owner`, moved into `workArea` as
// far as it fits (its top-left corner stays inside when it is larger).
POINT DialogPosition(const RECT& owner, int width, int height, const RECT& workArea);

// Moves `dialog` to DialogPosition over its owner (or the screen's centre when the owner is
// hidden) on the owner's monitor.
void PlaceDialogOverOwner(HWND dialog);
