#include "ui/WindowPlacement.h"

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

POINT DialogPosition(const RECT& owner, int width, int height, const RECT& workArea) {
    const long long x = (static_cast<long long>(owner.left) + owner.right - width) / 2;
    const long long y = (static_cast<long long>(owner.top) + owner.bottom - height) / 2;
    const auto fit = [](long long v, LONG low, LONG high, int size) {
        return static_cast<LONG>(std::max<long long>(low, std::min<long long>(v, static_cast<long long>(high) - size)));
    };
    return {fit(x, workArea.left, workArea.right, width), fit(y, workArea.top, workArea.bottom, height)};
}

void PlaceDialogOverOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    const HMONITOR monitor = owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                                   : MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &info))
        return;
    RECT around = info.rcWork;
    if (owner && IsWindowVisible(owner))
        GetWindowRect(owner, &around);
    RECT self{};
    GetWindowRect(dialog, &self);
    const POINT at = DialogPosition(around, self.right - self.left, self.bottom - self.top, info.rcWork);
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
