#include "app/ClipboardCapture.h"

#include "app/Activation.h"
#include "app/App.h"
#include "app/Programs.h"
#include "core/Capture.h"
#include "tabs/TabFiles.h"
#include "ui/Ids.h"

#include <cstring>
#include <string>

namespace {

constexpr UINT kRetryIntervalMs = 25;
constexpr int kRetryAttempts = 10;

struct PendingCapture {
    bool active = false;
    int attemptsLeft = 0;
    DWORD sequence = 0;   // clipboard sequence number of the change being read
    uint64_t arrival = 0; // when its notification came
};

PendingCapture g_pending;
bool g_selfCopyPending = false; // the next clipboard change is the program's own write
DWORD g_handledSequence = 0;

ClipboardPrivacyMarks ReadPrivacyMarks() {
    static const UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    static const UINT ignore = RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
    static const UINT permission = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
    ClipboardPrivacyMarks marks;
    marks.excludeFromMonitoring = exclude && IsClipboardFormatAvailable(exclude);
    marks.viewerIgnore = ignore && IsClipboardFormatAvailable(ignore);
    marks.hasHistoryPermission = permission && IsClipboardFormatAvailable(permission);
    if (marks.hasHistoryPermission) {
        if (HANDLE data = GetClipboardData(permission)) {
            const SIZE_T size = GlobalSize(data);
            if (const void* bytes = GlobalLock(data)) {
                const size_t kept = size < 16 ? size : 16; // enough to tell a DWORD from anything else
                marks.historyPermission.assign(static_cast<const uint8_t*>(bytes),
                                               static_cast<const uint8_t*>(bytes) + kept);
                if (size > kept)
                    marks.historyPermission.push_back(0xFF); // still malformed, whatever it held
                GlobalUnlock(data);
            }
        }
    }
    return marks;
}

// Reads the text of an open clipboard: up to the first NUL, "" when there is none.
std::wstring ReadOpenClipboardText() {
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data)
        return std::wstring();
    const SIZE_T size = GlobalSize(data);
    if (size <= sizeof(wchar_t))
        return std::wstring();
    std::wstring text;
    if (const void* block = GlobalLock(data)) {
        text = ClipboardTextFromBlock(block, size);
        GlobalUnlock(data);
    }
    return text;
}

void StopRetrying(HWND mainWindow) {
    if (g_pending.active)
        KillTimer(mainWindow, TIMER_CAPTURE_RETRY);
    g_pending.active = false;
}

// The program that made a copy: the clipboard owner's, or, for a copy without an owner (or one
// whose window is gone already), the program in front.
std::wstring CopyingProgram(DWORD ownerProcess) {
    if (ownerProcess)
        return ProcessFileName(ownerProcess);
    return WindowProgram(GetForegroundWindow());
}

// One attempt at the pending change; false when the clipboard could not be opened.
bool TryCapture(HWND mainWindow) {
    if (!OpenClipboard(mainWindow))
        return false;
    const ClipboardPrivacyMarks marks = ReadPrivacyMarks();
    const std::wstring text = ClipboardAsksToBeSkipped(marks) ? std::wstring() : ReadOpenClipboardText();
    const HWND owner = GetClipboardOwner();
    DWORD ownerProcess = 0;
    if (owner)
        GetWindowThreadProcessId(owner, &ownerProcess); // while the clipboard still holds the copy
    const bool ownCopy = ownerProcess != 0 && ownerProcess == GetCurrentProcessId();
    CloseClipboard();
    g_handledSequence = g_pending.sequence;

    AppState& data = AppData();
    if (text.empty() || ContentUnavailable(data.tabs[kHistoryTab]))
        return true;
    if (!data.IgnorePrograms.empty() && IsListedProgram(data.IgnorePrograms, CopyingProgram(ownerProcess)))
        return true;
    // Ctrl+C in the memo pad or the edit dialog of a tab open for the run copies a sealed
    // text; none of our own windows' copies is recorded while any tab is open, so no such
    // text reaches a history file that may be plain.
    if (ownCopy && AnyTabOpenForRun(data.tabs))
        return true;
    if (TooSoonAfterWindowSwitch(g_pending.arrival, LastForegroundChange()))
        return true;
    CaptureClipboardText(data, text);
    if (AppView().historyShown)
        RefillList();
    SaveSlot(kHistoryTab);
    return true;
}

} // namespace

void ResetClipboardCapture() {
    g_pending = PendingCapture{};
    g_handledSequence = 0;
    g_selfCopyPending = false;
}

void NoteSelfCopy() {
    g_selfCopyPending = true;
}

bool SelfCopyPending() {
    return g_selfCopyPending;
}

bool TooSoonAfterWindowSwitch(uint64_t arrival, uint64_t lastForegroundChange) {
    return arrival - lastForegroundChange < kAfterWindowSwitchMs;
}

std::wstring ClipboardTextFromBlock(const void* block, size_t size) {
    if (!block || size <= sizeof(wchar_t))
        return std::wstring();
    // Units are copied out rather than read in place, so a block at any address will do.
    const char* bytes = static_cast<const char*>(block);
    const size_t units = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < units) {
        wchar_t unit;
        std::memcpy(&unit, bytes + length * sizeof(wchar_t), sizeof(wchar_t));
        if (unit == L'\0')
            break;
        ++length;
    }
    std::wstring text(length, L'\0');
    if (length > 0)
        std::memcpy(&text[0], bytes, length * sizeof(wchar_t));
    return text;
}

bool ClipboardAsksToBeSkipped(const ClipboardPrivacyMarks& marks) {
    if (marks.excludeFromMonitoring || marks.viewerIgnore)
        return true;
    if (!marks.hasHistoryPermission)
        return false;
    if (marks.historyPermission.size() != sizeof(DWORD))
        return true;
    DWORD allowed = 0;
    std::memcpy(&allowed, marks.historyPermission.data(), sizeof(DWORD));
    return allowed == 0;
}

void OnClipboardUpdate(HWND mainWindow) {
    if (g_selfCopyPending) {
        g_selfCopyPending = false;
        return;
    }
    if (AppData().PauseHistory)
        return;
    const DWORD sequence = GetClipboardSequenceNumber();
    if (sequence != 0 && sequence == g_handledSequence)
        return; // already read, by a retry
    StopRetrying(mainWindow);
    g_pending.sequence = sequence;
    g_pending.arrival = GetTickCount64();
    g_pending.attemptsLeft = kRetryAttempts;
    if (!TryCapture(mainWindow)) {
        g_pending.active = true;
        SetTimer(mainWindow, TIMER_CAPTURE_RETRY, kRetryIntervalMs, nullptr);
    }
}

void OnCaptureRetryTimer(HWND mainWindow) {
    const DWORD sequence = GetClipboardSequenceNumber();
    // A newer change brings its own notification; this one is stale.
    const bool stale = sequence != 0 && g_pending.sequence != 0 && sequence != g_pending.sequence;
    if (!g_pending.active || stale || --g_pending.attemptsLeft < 0 || TryCapture(mainWindow))
        StopRetrying(mainWindow);
}
