// The screen-edge strips that bring up the tool window on a left press (EnabledArea).
#pragma once

#include <windows.h>

#include <vector>

// True when a left press at `point` lies in strip `area` (0 top edge, left half; 1 top edge,
// right half; 2 left edge, upper half; 3 left edge, lower half; 4 right edge, upper half;
// 5 right edge, lower half; anything else never matches), given the monitors' rectangles in
// screen pixels. The strip is the 5 pixels along that edge of the monitor that holds the point,
// and only where no other monitor continues beyond the edge: there the edge stops the pointer,
// and elsewhere the pointer just passes over onto the next monitor. Halves are that monitor's.
bool InEdgeStrip(int area, POINT point, const std::vector<RECT>& monitors);
