// Turns clipboard changes made by other programs into history. The clipboard is read on a
// thread of its own: a program that renders its text late (WM_RENDERFORMAT), or not at all,
// holds up that thread, never the window. What was read comes back to the main window as
// WM_APP_CLIPBOARD_READ, where the capture rules are applied.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
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

// The text of a CF_UNICODETEXT block of `size` bytes: its UTF-16 units up to the first NUL, or
// all of them when another program left out the terminating NUL; an odd last byte is no unit.
// Reads nothing beyond `size` bytes, at any alignment. ClipboardTextLength counts those units
// without copying them.
size_t ClipboardTextLength(const void* block, size_t size);
std::wstring ClipboardTextFromBlock(const void* block, size_t size);

// A copy that follows a change of the foreground window within half a second is most often
// the switch's side effect and is not recorded. Times are GetTickCount64 milliseconds; the
// difference is taken unsigned.
inline constexpr uint64_t kAfterWindowSwitchMs = 500;
bool TooSoonAfterWindowSwitch(uint64_t arrival, uint64_t lastForegroundChange);

// A copy longer than MaxEntryChars is not recorded; 0 means no cap.
inline bool TooLongToRecord(size_t characters, int32_t maxEntryChars) {
    return maxEntryChars > 0 && characters > static_cast<size_t>(maxEntryChars);
}

// What follows a read of the clipboard for a change. The read could not open a clipboard that
// another program holds: tried again soon while `attemptsLeft` > 0. It did not even try, as the
// owner did not answer (IsHungAppWindow): tried once more after a second, then given up. It
// opened the clipboard: the change is captured unless it was handled already (`sequence` equal
// to `handledSequence`; a sequence of 0, which Windows gives without the right to know, never is).
enum class AfterRead { Capture, AlreadyHandled, RetrySoon, RetryAfterHungOwner, GiveUp };
AfterRead NextStepAfterRead(bool opened, bool ownerHung, DWORD sequence, DWORD handledSequence, bool hungRetried,
                            int attemptsLeft);

// A new window starts with no change pending and none of its own writes outstanding; the reader
// thread is started. StopClipboardCapture ends it (the window's end).
void ResetClipboardCapture();
void StopClipboardCapture();

// The program writes the clipboard itself: the next change it hears of is its own and is not
// recorded (cleared by that change).
void NoteSelfCopy();
bool SelfCopyPending();

// WM_CLIPBOARDUPDATE of the main window.
void OnClipboardUpdate(HWND mainWindow);

// WM_APP_CLIPBOARD_READ: what the reader thread found (lParam, owned by the handler).
void OnClipboardRead(HWND mainWindow, LPARAM read);

// The retry timer (TIMER_CAPTURE_RETRY): a clipboard that another program still held open is read
// again, for about a quarter of a second; one whose owner did not answer, once more after a second.
void OnCaptureRetryTimer(HWND mainWindow);
