#include "app/EdgeStrip.h"

namespace {

constexpr int kStripWidth = 5;

bool Contains(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// A monitor holds the pixel (x, y).
bool OnSomeMonitor(const std::vector<RECT>& monitors, LONG x, LONG y) {
    for (const RECT& m : monitors)
        if (Contains(m, x, y))
            return true;
    return false;
}

} // namespace

bool InEdgeStrip(int area, POINT point, const std::vector<RECT>& monitors) {
    const RECT* monitor = nullptr;
    for (const RECT& m : monitors)
        if (Contains(m, point.x, point.y)) {
            monitor = &m;
            break;
        }
    if (!monitor || area < 0 || area > 5)
        return false;
    const RECT& m = *monitor;
    const LONG x = point.x, y = point.y;
    const bool leftHalf = x < m.left + (m.right - m.left) / 2;
    const bool upperHalf = y < m.top + (m.bottom - m.top) / 2;
    switch (area) {
    case 0:
    case 1:
        return y < m.top + kStripWidth && !OnSomeMonitor(monitors, x, m.top - 1) && leftHalf == (area == 0);
    case 2:
    case 3:
        return x < m.left + kStripWidth && !OnSomeMonitor(monitors, m.left - 1, y) && upperHalf == (area == 2);
    default:
        return x >= m.right - kStripWidth && !OnSomeMonitor(monitors, m.right, y) && upperHalf == (area == 4);
    }
}
