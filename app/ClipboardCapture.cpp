#include "app/ClipboardCapture.h"

#include "app/Activation.h"
#include "app/App.h"
#include "app/MainWindow.h"
#include "app/Programs.h"
#include "app/QueueMode.h"
#include "core/Capture.h"
#include "tabs/TabFiles.h"
#include "ui/Ids.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr UINT kRetryIntervalMs = 25;
constexpr int kRetryAttempts = 10;
// A program busy for a while answers again within seconds; Windows itself gives up on one after
// about half a minute.
constexpr UINT kOwnerWaitMs = 1000;
constexpr int kOwnerWaits = 30;

// The main window's side: the change being read and how often it may still be tried.
struct PendingCapture {
    bool reading = false;  // a read is with the reader thread
    bool again = false;    // another change came while it read
    bool retrying = false; // TIMER_CAPTURE_RETRY runs
    CaptureProgress progress;
    DWORD sequence = 0;   // clipboard sequence number of the change being read
    uint64_t arrival = 0; // when its notification came
};

PendingCapture g_pending;
DWORD g_lastNotified = 0; // the change the last notification came for (at the start: what the clipboard held)
bool g_toldTooLong = false;     // a copy over MaxEntryChars is told once per run
bool g_toldOwnerSilent = false; // so is a copy lost to an owner that never answered

// ---- the reader thread --------------------------------------------------------------------

constexpr UINT kReadNow = WM_APP + 1; // thread message; wParam: MaxEntryChars, lParam: who copied

struct Reader {
    HANDLE thread = nullptr;
    DWORD id = 0;
    HWND main = nullptr;
};
Reader g_reader;
std::atomic<ClipboardReader> g_readClipboard{ReadSystemClipboard};

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

// Reads the text of the open clipboard into `read`; a text over the cap is only measured.
void ReadOpenClipboardText(ClipboardRead& read, int32_t maxEntryChars) {
    HANDLE data = GetClipboardData(CF_UNICODETEXT); // a late owner renders it now, on this thread
    if (!data)
        return;
    const SIZE_T size = GlobalSize(data);
    const void* block = GlobalLock(data);
    if (!block)
        return;
    read.length = ClipboardTextLength(block, size);
    read.tooLong = TooLongToRecord(read.length, maxEntryChars);
    if (!read.tooLong)
        read.text = ClipboardTextFromBlock(block, size);
    GlobalUnlock(data);
}

DWORD ForegroundProcess() {
    DWORD process = 0;
    if (const HWND front = GetForegroundWindow())
        GetWindowThreadProcessId(front, &process);
    return process;
}

} // namespace

ClipboardRead ReadSystemClipboard(const ReadRequest& request) {
    ClipboardRead read;
    if (!OpenClipboard(nullptr))
        return read;
    read.opened = true;
    read.sequence = GetClipboardSequenceNumber();
    const HWND owner = GetClipboardOwner();
    if (owner)
        GetWindowThreadProcessId(owner, &read.ownerProcess); // while the clipboard still holds the copy
    // Who copied is looked up while the copy is still there: once it is closed, the owner may end.
    if (request.program)
        read.program =
            CopyingProgram(SystemProcessNames(), owner != nullptr, read.ownerProcess, owner ? 0 : ForegroundProcess());
    // A rendered text is there whatever its owner is doing. One its owner renders late is asked of
    // the owner by Windows, which gives up at once on an owner that does not answer (as it asks with
    // SMTO_ABORTIFHUNG): then nothing comes, and the change is read again once the owner answers.
    const bool ownerHung = owner && IsHungAppWindow(owner);
    read.skipped = ClipboardAsksToBeSkipped(ReadPrivacyMarks());
    if (!read.skipped)
        ReadOpenClipboardText(read, request.maxEntryChars);
    read.ownerHung = ownerHung && !read.skipped && !read.tooLong && read.length == 0;
    CloseClipboard();
    return read;
}

namespace {

DWORD WINAPI ReaderThread(void* ready) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue the requests come to
    SetEvent(static_cast<HANDLE>(ready));
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != kReadNow)
            continue;
        ReadRequest request;
        request.maxEntryChars = static_cast<int32_t>(message.wParam);
        request.program = message.lParam != 0;
        auto read = std::make_unique<ClipboardRead>(g_readClipboard.load()(request));
        if (PostMessageW(g_reader.main, WM_APP_CLIPBOARD_READ, 0, reinterpret_cast<LPARAM>(read.get())))
            read.release(); // the main window owns it now
    }
    return 0;
}

void StartReader(HWND mainWindow) {
    g_reader.main = mainWindow;
    if (g_reader.thread)
        return;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready)
        return;
    g_reader.thread = CreateThread(nullptr, 0, ReaderThread, ready, 0, &g_reader.id);
    if (g_reader.thread)
        WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

// ---- the main window's side --------------------------------------------------------------------

void StopRetrying(HWND mainWindow) {
    if (g_pending.retrying)
        KillTimer(mainWindow, TIMER_CAPTURE_RETRY);
    g_pending.retrying = false;
}

void RetryAfter(HWND mainWindow, UINT milliseconds) {
    g_pending.retrying = true;
    SetTimer(mainWindow, TIMER_CAPTURE_RETRY, milliseconds, nullptr);
}

// Asks the reader for the clipboard; without a reader thread it is read here.
void RequestRead(HWND mainWindow) {
    if (g_pending.reading) {
        g_pending.again = true;
        return;
    }
    ReadRequest request;
    request.maxEntryChars = AppData().MaxEntryChars;
    request.program = !AppData().IgnorePrograms.empty();
    if (g_reader.thread && PostThreadMessageW(g_reader.id, kReadNow, static_cast<WPARAM>(request.maxEntryChars),
                                              request.program ? 1 : 0)) {
        g_pending.reading = true;
        return;
    }
    OnClipboardRead(mainWindow, reinterpret_cast<LPARAM>(new ClipboardRead(g_readClipboard.load()(request))));
}

void TellTooLong(HWND mainWindow, size_t length) {
    if (g_toldTooLong)
        return;
    g_toldTooLong = true;
    const std::wstring text =
        L"コピーされたテキストが長すぎるため（" + std::to_wstring(length) +
        L" 文字）、履歴に記録しませんでした。上限は settings.ini の MaxEntryChars で変えられます。";
    ShowTrayBalloon(mainWindow, L"Nomaclip", text.c_str());
}

void TellOwnerNeverAnswered(HWND mainWindow) {
    if (g_toldOwnerSilent)
        return;
    g_toldOwnerSilent = true;
    ShowTrayBalloon(mainWindow, L"Nomaclip",
                    L"コピー元のプログラムが応答しないため、コピーされたテキストを履歴に記録できませんでした。");
}

// The capture rules on what was read.
void Capture(HWND mainWindow, const ClipboardRead& read) {
    AppState& data = AppData();
    if (read.skipped || ContentUnavailable(data.tabs[kHistoryTab]))
        return;
    // Ctrl+C in the memo pad or the edit dialog of a tab open for the run copies a sealed
    // text; none of our own windows' copies is recorded while any tab is open, so no such
    // text reaches a history file that may be plain.
    const bool ownCopy = read.ownerProcess != 0 && read.ownerProcess == GetCurrentProcessId();
    if (ownCopy && AnyTabOpenForRun(data.tabs))
        return;
    if (TooSoonAfterWindowSwitch(g_pending.arrival, LastForegroundChange()))
        return;
    if (IgnoredCopy(data.IgnorePrograms, read.program))
        return;
    if (read.tooLong) {
        TellTooLong(mainWindow, read.length);
        return;
    }
    if (read.text.empty())
        return;
    CaptureClipboardText(data, read.text);
    QueueCopiedText(read.text); // 連続貼り付け: every copy the history takes, promoted or not
    if (AppView().historyShown)
        RefillList();
    SaveSlot(kHistoryTab);
}

} // namespace

void ResetClipboardCapture() {
    g_pending = PendingCapture{};
    g_lastNotified = GetClipboardSequenceNumber();
    StartReader(MainWindowHandle());
}

void UseClipboardReader(ClipboardReader reader) {
    g_readClipboard = reader ? reader : ReadSystemClipboard;
}

void StopClipboardCapture() {
    if (!g_reader.thread)
        return;
    PostThreadMessageW(g_reader.id, WM_QUIT, 0, 0);
    // A reader waiting on an owner that renders late is not waited for: the process ends anyway.
    WaitForSingleObject(g_reader.thread, 500);
    CloseHandle(g_reader.thread);
    g_reader = Reader{};
}

void NoteOwnClipboardWrite(DWORD sequence) {
    g_pending.progress.own = sequence;
}

DWORD OwnClipboardWrite() {
    return g_pending.progress.own;
}

std::wstring CopyingProgram(const ProcessNameSources& names, bool hasOwner, DWORD ownerProcess,
                            DWORD foregroundProcess) {
    return ProcessFileName(names, hasOwner ? ownerProcess : foregroundProcess);
}

bool IgnoredCopy(const std::vector<std::wstring>& ignorePrograms, const std::wstring& program) {
    return !ignorePrograms.empty() && (program.empty() || IsListedProgram(ignorePrograms, program));
}

bool TooSoonAfterWindowSwitch(uint64_t arrival, uint64_t lastForegroundChange) {
    return arrival - lastForegroundChange < kAfterWindowSwitchMs;
}

size_t ClipboardTextLength(const void* block, size_t size) {
    if (!block)
        return 0;
    // Units are copied out rather than read in place, so a block at any address will do.
    const char* bytes = static_cast<const char*>(block);
    const size_t units = size / sizeof(wchar_t);
    size_t length = 0;
    for (; length < units; ++length) {
        wchar_t unit;
        std::memcpy(&unit, bytes + length * sizeof(wchar_t), sizeof(wchar_t));
        if (unit == L'\0')
            break;
    }
    return length;
}

std::wstring ClipboardTextFromBlock(const void* block, size_t size) {
    std::wstring text(ClipboardTextLength(block, size), L'\0');
    if (!text.empty())
        std::memcpy(&text[0], block, text.size() * sizeof(wchar_t));
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

bool IsNewChange(DWORD sequence, DWORD handled, DWORD own) {
    return sequence == 0 || (sequence != handled && sequence != own);
}

AfterRead NextStepAfterRead(const ClipboardRead& read, const CaptureProgress& progress) {
    if (!read.opened)
        return progress.attemptsLeft > 0 ? AfterRead::RetrySoon : AfterRead::GiveUp;
    if (read.sequence != 0 && read.sequence == progress.own)
        return AfterRead::OwnWrite;
    if (read.sequence != 0 && read.sequence == progress.handled)
        return AfterRead::AlreadyHandled;
    if (read.ownerHung)
        return progress.ownerWaitsLeft > 0 ? AfterRead::WaitForOwner : AfterRead::OwnerNeverAnswered;
    return AfterRead::Capture;
}

void OnClipboardUpdate(HWND mainWindow) {
    const DWORD sequence = GetClipboardSequenceNumber();
    g_lastNotified = sequence;
    // Still our window's content: a text of ours rendered for a reader (Wine counts that as a
    // change of its own), never another program's copy.
    if (GetClipboardOwner() == mainWindow && sequence != 0) {
        NoteOwnClipboardWrite(sequence);
        return;
    }
    if (sequence != g_pending.progress.own)
        QueueClipboardChanged(); // another program's: the queue's first text is off the clipboard
    if (AppData().PauseHistory)
        return;
    if (!IsNewChange(sequence, g_pending.progress.handled, g_pending.progress.own))
        return; // read already (by a retry), or our own write
    StopRetrying(mainWindow);
    g_pending.sequence = sequence;
    g_pending.arrival = GetTickCount64();
    g_pending.progress.attemptsLeft = kRetryAttempts;
    g_pending.progress.ownerWaitsLeft = kOwnerWaits;
    RequestRead(mainWindow);
}

void OnClipboardRead(HWND mainWindow, LPARAM readParam) {
    const std::unique_ptr<ClipboardRead> read(reinterpret_cast<ClipboardRead*>(readParam));
    g_pending.reading = false;
    switch (NextStepAfterRead(*read, g_pending.progress)) {
    case AfterRead::Capture:
        g_pending.progress.handled = read->sequence;
        Capture(mainWindow, *read);
        break;
    case AfterRead::RetrySoon:
        --g_pending.progress.attemptsLeft;
        RetryAfter(mainWindow, kRetryIntervalMs);
        break;
    case AfterRead::WaitForOwner:
        --g_pending.progress.ownerWaitsLeft;
        RetryAfter(mainWindow, kOwnerWaitMs);
        break;
    case AfterRead::OwnerNeverAnswered:
        TellOwnerNeverAnswered(mainWindow);
        break;
    case AfterRead::OwnWrite:
    case AfterRead::AlreadyHandled:
    case AfterRead::GiveUp:
        break;
    }
    if (g_pending.again) {
        g_pending.again = false;
        RequestRead(mainWindow);
    }
}

bool ClipboardChangesAllRead() {
    // A change whose notification has not come yet, a read under way or to be tried again.
    const DWORD sequence = GetClipboardSequenceNumber();
    return !g_pending.reading && !g_pending.again && !g_pending.retrying &&
           (sequence == g_lastNotified || sequence == g_pending.progress.own);
}

void OnCaptureRetryTimer(HWND mainWindow) {
    StopRetrying(mainWindow);
    const DWORD sequence = GetClipboardSequenceNumber();
    // A newer change brings its own notification; this one is stale.
    const bool stale = sequence != 0 && g_pending.sequence != 0 && sequence != g_pending.sequence;
    if (!stale)
        RequestRead(mainWindow);
}
