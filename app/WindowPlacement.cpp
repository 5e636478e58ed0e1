#include "app/WindowPlacement.h"

#include <algorithm>

WindowRect ReachableRect(const WindowRect& saved, const RECT& workArea, bool onSomeMonitor) {
    const long long areaWidth = std::max<long long>(workArea.right - workArea.left, kMinWindowWidth);
    const long long areaHeight = std::max<long long>(workArea.bottom - workArea.top, kMinWindowHeight);
    WindowRect r = saved;
    r.width = static_cast<int32_t>(std::clamp<long long>(saved.width, kMinWindowWidth, areaWidth));
    r.height = static_cast<int32_t>(std::clamp<long long>(saved.height, kMinWindowHeight, areaHeight));
    if (!onSomeMonitor) {
        r.x = static_cast<int32_t>(std::clamp<long long>(saved.x, workArea.left,
                                                         std::max<long long>(workArea.left, workArea.right - r.width)));
        r.y = static_cast<int32_t>(std::clamp<long long>(
            saved.y, workArea.top, std::max<long long>(workArea.top, workArea.bottom - r.height)));
    }
    return r;
}

WindowRect ReachableRectOnThisDesktop(const WindowRect& saved) {
    // Wide arithmetic: a hand-edited file may hold values near the int limits.
    const auto clampToLong = [](long long v) {
        return static_cast<LONG>(std::clamp<long long>(v, -1000000000LL, 1000000000LL));
    };
    const long long width = std::max<long long>(saved.width, kMinWindowWidth);
    const long long height = std::max<long long>(saved.height, kMinWindowHeight);
    RECT rect = {clampToLong(saved.x), clampToLong(saved.y), clampToLong(saved.x + width),
                 clampToLong(saved.y + height)};
    // A window counts as reachable when its title bar area can be grabbed on some monitor.
    RECT titleBar = rect;
    titleBar.bottom = titleBar.top + 30;
    const bool onSomeMonitor = MonitorFromRect(&titleBar, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info);
    return ReachableRect(saved, info.rcWork, onSomeMonitor);
}
