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

struct ProcessNameSources;

// The program that made a copy: the clipboard owner's process, or, for a copy without an owner
// (OpenClipboard(NULL), as console tools copy), the process in front. Empty when it cannot be
// told: the owner's process has ended, or neither source knows it.
std::wstring CopyingProgram(const ProcessNameSources& names, bool hasOwner, DWORD ownerProcess,
                            DWORD foregroundProcess);

// IgnorePrograms: whether a copy by `program` stays out of the history. While the list names any
// program, a copy whose program cannot be told stays out too: it may be the password manager's,
// and a secret in a plain history file cannot be taken back, while a copy left out costs a copy.
bool IgnoredCopy(const std::vector<std::wstring>& ignorePrograms, const std::wstring& program);

// What the reader found on the clipboard for one change.
struct ClipboardRead {
    DWORD sequence = 0;     // the change it read (GetClipboardSequenceNumber with the clipboard open)
    bool opened = false;    // the clipboard could be opened (another program may hold it)
    bool ownerHung = false; // opened, but no text came: its owner does not answer (IsHungAppWindow)
    bool skipped = false;   // the change asks to be left alone (privacy marks)
    bool tooLong = false;   // longer than MaxEntryChars: not read
    size_t length = 0;      // characters of the text
    std::wstring text;
    DWORD ownerProcess = 0; // the process of the clipboard owner's window; 0 for none
    std::wstring program;   // who copied (CopyingProgram), when asked for; empty when unknown
};

// What a read is asked for.
struct ReadRequest {
    int32_t maxEntryChars = 0;
    bool program = false; // look up who copied (IgnorePrograms is set)
};

// Reads the clipboard on the reader thread. The system's opens the clipboard and asks for the text
// whatever its owner is doing: a rendered text comes at once. A text its owner renders late is
// asked of the owner by Windows, which gives up at once on an owner that does not answer; such a
// change is read again once the owner answers (AfterRead::WaitForOwner), and the user is told
// when it never does.
using ClipboardReader = ClipboardRead (*)(const ReadRequest& request);
ClipboardRead ReadSystemClipboard(const ReadRequest& request);
// The reader the capture uses from now on: a test's stand-in, or null for the system's.
void UseClipboardReader(ClipboardReader reader);

// A change whose notification comes: read unless it was read already (`handled`) or is the
// program's own write (`own`). A sequence of 0, which Windows gives without the right to know,
// is always read.
bool IsNewChange(DWORD sequence, DWORD handled, DWORD own);

// How far the capture of one change has come.
struct CaptureProgress {
    DWORD handled = 0;      // the last change captured
    DWORD own = 0;          // the change the program's own last write made
    int attemptsLeft = 0;   // quick tries while another program holds the clipboard
    int ownerWaitsLeft = 0; // tries a second apart while the owner does not answer
};

// What follows a read. Not opened: tried again soon while attempts are left. Opened: the
// program's own write and a change handled already are left alone; a change whose owner does not
// answer is tried again a second later while waits are left, and then said to be lost; any other
// is captured.
enum class AfterRead { Capture, AlreadyHandled, OwnWrite, RetrySoon, WaitForOwner, OwnerNeverAnswered, GiveUp };
AfterRead NextStepAfterRead(const ClipboardRead& read, const CaptureProgress& progress);

// A new window starts with no change pending and none of its own writes outstanding; the reader
// thread is started. StopClipboardCapture ends it (the window's end).
void ResetClipboardCapture();
void StopClipboardCapture();

// The program wrote the clipboard itself: `sequence` is the change it made, read after its
// CloseClipboard. That change is never recorded, however late its notification or its read.
void NoteOwnClipboardWrite(DWORD sequence);
DWORD OwnClipboardWrite();

// No change of the clipboard waits to be read or captured: what it holds is what was captured
// last, or our own write.
bool ClipboardChangesAllRead();

// WM_CLIPBOARDUPDATE of the main window.
void OnClipboardUpdate(HWND mainWindow);

// WM_APP_CLIPBOARD_READ: what the reader thread found (lParam, owned by the handler).
void OnClipboardRead(HWND mainWindow, LPARAM read);

// The retry timer (TIMER_CAPTURE_RETRY): a clipboard that another program still held open is read
// again, for about a quarter of a second; one whose owner did not answer, each second for half a
// minute.
void OnCaptureRetryTimer(HWND mainWindow);
