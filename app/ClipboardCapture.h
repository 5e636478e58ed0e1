// Turns clipboard changes made by other programs into history.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Formats by which password managers and Windows' own clipboard history ask monitors to
// leave a clipboard change alone.
struct ClipboardPrivacyMarks {
    bool excludeFromMonitoring = false;     // "ExcludeClipboardContentFromMonitorProcessing"
    bool viewerIgnore = false;              // "Clipboard Viewer Ignore"
    bool hasHistoryPermission = false;      // "CanIncludeInClipboardHistory" present
    std::vector<uint8_t> historyPermission; // its bytes: a DWORD, 0 forbids
};

// True when the change must not be recorded: either marker is present, or the history
// permission is present and is not a DWORD other than 0.
bool ClipboardAsksToBeSkipped(const ClipboardPrivacyMarks& marks);

// A copy that follows a change of the foreground window within half a second is most often
// the switch's side effect and is not recorded. Times are GetTickCount64 milliseconds; the
// difference is taken unsigned.
inline constexpr uint64_t kAfterWindowSwitchMs = 500;
bool TooSoonAfterWindowSwitch(uint64_t arrival, uint64_t lastForegroundChange);

// A new window starts with no change pending and none of its own writes outstanding.
void ResetClipboardCapture();

// The program writes the clipboard itself: the next change it hears of is its own and is not
// recorded (cleared by that change).
void NoteSelfCopy();
bool SelfCopyPending();

// WM_CLIPBOARDUPDATE of the main window.
void OnClipboardUpdate(HWND mainWindow);

// The retry timer (TIMER_CAPTURE_RETRY): a clipboard that another program still held open is read again, for
// about a quarter of a second, without ever blocking the window.
void OnCaptureRetryTimer(HWND mainWindow);
