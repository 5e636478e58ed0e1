// The capture path against the real clipboard: a change read at once, a busy clipboard read
// again a moment later, and the changes that must not be recorded.
#include "app/Activation.h"
#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/InputHooks.h"
#include "app/MainWindow.h"
#include "app/Programs.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"
#include "tabs/TabsHost.h"
#include "ui/Windowing.h"
#include "ui/Ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <utility>

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == TIMER_CAPTURE_RETRY) {
        OnCaptureRetryTimer(window);
        return 0;
    }
    if (message == WM_APP_CLIPBOARD_READ) {
        OnClipboardRead(window, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
    static const ATOM atom = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.lpszClassName = L"CaptureTestWindow";
        return RegisterClassW(&windowClass);
    }();
    return CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

void PutBytes(UINT format, const void* data, size_t bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), data, bytes);
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
}

void EmptyClipboardOf(HWND owner) {
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// Puts text on the clipboard for owner, with the marker format `mark` when given.
bool PutText(HWND owner, const wchar_t* text, bool keepOpen = false, const wchar_t* mark = nullptr) {
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    PutBytes(CF_UNICODETEXT, text, (wcslen(text) + 1) * sizeof(wchar_t));
    if (mark) {
        const DWORD zero = 0;
        PutBytes(RegisterClipboardFormatW(mark), &zero, sizeof(zero));
    }
    CloseClipboard();
    return !keepOpen || OpenClipboard(owner);
}

void PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    MSG message;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(5);
    }
}

struct ClipboardCaptureTest : testing::Test {
    HWND main = MakeWindow();
    HWND other = MakeWindow();
    void SetUp() override {
        // Each test starts without data files: one left by another would be taken in as changed elsewhere.
        for (const wchar_t* name : {L"history.ini", L"templates.txt", L"settings.ini"})
            DeleteFileW(name);
        AppData() = AppState();
        AppView() = ViewState();
        SetMainWindows(main, nullptr);
        TabsHost tabs;
        tabs.main = main;
        tabs.state = &AppData();
        tabs.view = &AppView();
        InitTabs(tabs);
        ResetClipboardCapture();
        NoteForegroundChange(0);
    }
    void TearDown() override {
        DestroyWindow(main);
        DestroyWindow(other);
        DeleteFileW(L"history.ini");
    }
    const std::vector<HistoryItem>& History() { return AppData().tabs[0].items; }
};

TEST_F(ClipboardCaptureTest, AChangeIsCapturedAtOnce) {
    ASSERT_TRUE(PutText(other, L"first copy"));
    OnClipboardUpdate(main);
    PumpFor(100);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"first copy");
}

TEST_F(ClipboardCaptureTest, ABusyClipboardIsReadAgainOnceItIsFree) {
    ASSERT_TRUE(PutText(other, L"held copy", true)); // another program still has it open
    OnClipboardUpdate(main);
    PumpFor(10);
    EXPECT_TRUE(History().empty());
    PumpFor(60);
    CloseClipboard();
    PumpFor(150);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"held copy");
}

TEST_F(ClipboardCaptureTest, OwnCopiesPausesAndCopiesRightAfterAWindowSwitchAreNotRecorded) {
    ASSERT_TRUE(PutText(other, L"own"));
    NoteOwnClipboardWrite(GetClipboardSequenceNumber());
    OnClipboardUpdate(main);

    ASSERT_TRUE(PutText(other, L"paused"));
    AppData().PauseHistory = true;
    OnClipboardUpdate(main);
    AppData().PauseHistory = false;

    ASSERT_TRUE(PutText(other, L"after a switch"));
    NoteForegroundChange(GetTickCount64());
    OnClipboardUpdate(main);
    PumpFor(100);
    EXPECT_TRUE(History().empty());

    // The same text copied again later is recorded.
    ASSERT_TRUE(PutText(other, L"after a switch"));
    NoteForegroundChange(GetTickCount64() - 600);
    OnClipboardUpdate(main);
    PumpFor(100);
    ASSERT_EQ(History().size(), 1u);
}

// Another program's change is still unread when our own write replaces it: both notifications
// come after our write, and the reader finds our text for either. Neither records it, and the
// change after ours is recorded.
TEST_F(ClipboardCaptureTest, OurOwnWriteIsKnownByItsChangeNotByTheNextNotification) {
    HistoryItem entry;
    entry.text = L"ours";
    AppData().tabs[1].items = {entry};
    AppView().currentTab = 1;
    AppView().historyShown = false;
    ASSERT_TRUE(PutText(other, L"theirs"));
    ASSERT_TRUE(CopyEntryToClipboard(entry.id));
    OnClipboardUpdate(main); // "theirs", read after "ours" replaced it
    PumpFor(100);
    OnClipboardUpdate(main); // "ours"
    PumpFor(100);
    EXPECT_TRUE(History().empty()) << "our own text was recorded";
    ASSERT_TRUE(PutText(other, L"next"));
    OnClipboardUpdate(main);
    PumpFor(100);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"next");
}

// A clipboard block as another program may leave it: the bytes exactly, no NUL added.
bool PutBlock(HWND owner, const std::string& bytes) {
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return put;
}

std::string Utf16(std::wstring_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST_F(ClipboardCaptureTest, ATextWithoutItsNulAndOfAnOddSizeIsCapturedWhole) {
    ASSERT_TRUE(PutBlock(other, Utf16(L"no terminator") + "\x01"));
    OnClipboardUpdate(main);
    PumpFor(100);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"no terminator");
}

TEST(ClipboardBlock, TheTextEndsAtTheFirstNulOrWithTheBlock) {
    const struct {
        std::string block;
        std::wstring text;
    } cases[] = {
        {Utf16(std::wstring(L"text\0", 5)), L"text"},
        {Utf16(L"text"), L"text"},                    // no NUL at all
        {Utf16(L"text") + "x", L"text"},              // an odd last byte is no unit
        {Utf16(std::wstring(L"ab\0cd\0", 6)), L"ab"}, // a NUL inside ends it
        {Utf16(L"a"), L"a"},                          // a single unit, without its NUL
        {"x", L""},                                   // less than one unit
        {Utf16(L"a") + "x", L"a"},
        {std::string(), L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.block));
        EXPECT_EQ(ClipboardTextFromBlock(c.block.data(), c.block.size()), c.text);
        // At an odd address too: the units are copied out, not read in place.
        const std::string shifted = "?" + c.block;
        EXPECT_EQ(ClipboardTextFromBlock(shifted.data() + 1, c.block.size()), c.text);
    }
    EXPECT_EQ(ClipboardTextFromBlock(nullptr, 8), L"");
}

// Windows calls an owner hung after five seconds without an answer, which a test under Wine cannot
// wait for on every run: the step after each kind of read, as data.
TEST(ClipboardRead, EachReadLeadsToOneStep) {
    const auto read = [](bool opened, bool ownerHung, DWORD sequence) {
        ClipboardRead r;
        r.opened = opened;
        r.ownerHung = ownerHung;
        r.sequence = sequence;
        return r;
    };
    CaptureProgress progress;
    progress.handled = 41;
    progress.own = 43;
    progress.attemptsLeft = 10;
    progress.ownerWaitsLeft = 30;
    // Opened: a new change is captured, the one already handled and our own write are not; 0 is
    // always new.
    EXPECT_EQ(NextStepAfterRead(read(true, false, 42), progress), AfterRead::Capture);
    EXPECT_EQ(NextStepAfterRead(read(true, false, 41), progress), AfterRead::AlreadyHandled);
    EXPECT_EQ(NextStepAfterRead(read(true, false, 43), progress), AfterRead::OwnWrite);
    EXPECT_EQ(NextStepAfterRead(read(true, true, 43), progress), AfterRead::OwnWrite);
    EXPECT_EQ(NextStepAfterRead(read(true, false, 0), CaptureProgress{}), AfterRead::Capture);
    // How often `step` follows the same read, each time using up one of `left`.
    const auto repeats = [&](const ClipboardRead& r, AfterRead step, int& left) {
        int count = 0;
        while (count < 100 && NextStepAfterRead(r, progress) == step) {
            --left;
            ++count;
        }
        return count;
    };
    // An owner that does not answer: waited for a second at a time, then the loss is told.
    EXPECT_EQ(repeats(read(true, true, 42), AfterRead::WaitForOwner, progress.ownerWaitsLeft), 30);
    EXPECT_EQ(NextStepAfterRead(read(true, true, 42), progress), AfterRead::OwnerNeverAnswered);
    // Held by another program: tried again while attempts are left.
    EXPECT_EQ(repeats(read(false, false, 42), AfterRead::RetrySoon, progress.attemptsLeft), 10);
    EXPECT_EQ(NextStepAfterRead(read(false, false, 42), progress), AfterRead::GiveUp);
}

TEST(ClipboardRead, ANotificationIsReadUnlessItsChangeWasReadOrIsOurOwn) {
    EXPECT_TRUE(IsNewChange(42, 41, 40));
    EXPECT_FALSE(IsNewChange(41, 41, 40));
    EXPECT_FALSE(IsNewChange(40, 41, 40));
    EXPECT_TRUE(IsNewChange(0, 0, 0));
}

// The reader's stand-in: the clipboard is held by another program for the first `held` reads, and
// its owner does not answer for the `hung` reads after them.
struct StandInReader {
    static inline std::atomic<int> calls{0};
    static inline int held = 0;
    static inline int hung = 0;
    static ClipboardRead Read(const ReadRequest&) {
        const int call = calls++;
        ClipboardRead read;
        read.opened = call >= held;
        read.sequence = 0x70000 + static_cast<DWORD>(call);
        read.ownerHung = read.opened && call < held + hung;
        if (read.opened && !read.ownerHung)
            read.text = L"read at last";
        return read;
    }
};

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done() && GetTickCount64() < end)
        PumpFor(10);
    return done();
}

// Office and the clipboard history service hold the clipboard for a while after each change; an
// owner busy for a few seconds answers again. Neither loses the copy.
TEST_F(ClipboardCaptureTest, AClipboardHeldForNineRetriesOrAnOwnerBusyForTwoSecondsIsStillRead) {
    for (const auto& [held, hung] : std::initializer_list<std::pair<int, int>>{{10, 0}, {0, 2}}) {
        AppData().tabs[0].items.clear();
        StandInReader::calls = 0;
        StandInReader::held = held;
        StandInReader::hung = hung;
        UseClipboardReader(StandInReader::Read);
        ASSERT_TRUE(PutText(other, L"the change"));
        OnClipboardUpdate(main);
        EXPECT_TRUE(PumpUntil([&] { return !History().empty(); }, 4000)) << held << " " << hung;
        EXPECT_EQ(StandInReader::calls, held + hung + 1);
        UseClipboardReader(nullptr);
    }
}

// IgnorePrograms: who copied is known by the clipboard owner's process, from its image or, when it
// cannot be opened, from a snapshot; without an owner, by the program in front. A copy whose
// program cannot be told is left out while the list names any program.
std::wstring ImageOf(DWORD process) {
    return process == 10 ? L"notepad.exe" : process == 12 ? L"KeePass.exe" : L""; // 11 cannot be opened
}
std::wstring SnapshotOf(DWORD process) {
    return process == 11 ? L"keepass.exe" : L""; // 13 has ended
}

TEST(IgnorePrograms, TheCopyingProgramDecidesAndAnUnknownOneIsLeftOut) {
    const ProcessNameSources names{ImageOf, SnapshotOf};
    const std::vector<std::wstring> keepass = {L"keepass.exe"};
    const struct {
        bool hasOwner;
        DWORD owner;
        DWORD front;
        std::vector<std::wstring> ignore;
        bool ignored;
    } cases[] = {
        {true, 10, 12, keepass, false},                                // the owner counts, not the program in front
        {true, 12, 10, keepass, true},  {true, 11, 10, keepass, true}, // cannot be opened: the snapshot knows it
        {true, 13, 10, keepass, true},                                 // has ended: unknown
        {true, 13, 10, {}, false},                                     // no list: recorded
        {true, 0, 10, keepass, true},                                  // the owner's window is gone: unknown
        {false, 0, 12, keepass, true},                                // no owner (a console tool): the program in front
        {false, 0, 10, keepass, false}, {false, 0, 0, keepass, true}, // nothing in front either
    };
    for (const auto& c : cases)
        EXPECT_EQ(IgnoredCopy(c.ignore, CopyingProgram(names, c.hasOwner, c.owner, c.front)), c.ignored)
            << c.hasOwner << " " << c.owner << " " << c.front << " " << c.ignore.size();
}

TEST(WindowSwitch, CopiesWithinHalfASecondAfterASwitchAreTooSoon) {
    const uint64_t now = 1000000;
    EXPECT_TRUE(TooSoonAfterWindowSwitch(now, now));
    EXPECT_TRUE(TooSoonAfterWindowSwitch(now, now - 200));
    EXPECT_TRUE(TooSoonAfterWindowSwitch(now, now - 499));
    EXPECT_FALSE(TooSoonAfterWindowSwitch(now, now - 500));
    EXPECT_FALSE(TooSoonAfterWindowSwitch(now, now - 600));
    EXPECT_FALSE(TooSoonAfterWindowSwitch(now, 0)); // no switch yet
}

TEST_F(ClipboardCaptureTest, NothingIsRecordedWhileTheHistoryIsSealed) {
    AppData().tabs[0].encrypted = true;
    ASSERT_TRUE(PutText(other, L"secret"));
    OnClipboardUpdate(main);
    PumpFor(100);
    EXPECT_TRUE(History().empty());
    EXPECT_EQ(GetFileAttributesW(L"history.ini"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ClipboardCaptureTest, OnlyAWriteThatHappenedSwallowsTheNextChange) {
    HistoryItem entry;
    entry.text = L"a\nb";
    AppData().tabs[0].items = {entry};
    ASSERT_TRUE(OpenClipboard(other)); // another program holds the clipboard
    AppData().AutoPaste = true;
    ChooseEntry(entry.id);
    AppData().AutoPaste = false;
    ChooseEntry(entry.id);
    CloseClipboard();
    EXPECT_EQ(OwnClipboardWrite(), 0u) << "a failed write must not hide the user's next copy";
    MSG posted;
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_APP_PASTE, WM_APP_PASTE, PM_REMOVE))
        << "whatever the clipboard held before must not be pasted";
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "the window stays as it was";
    EXPECT_FALSE(AppData().tabs[0].items[0].used);

    EXPECT_TRUE(CopyEntryToClipboard(entry.id));
    EXPECT_EQ(OwnClipboardWrite(), GetClipboardSequenceNumber());
    ASSERT_TRUE(OpenClipboard(other));
    const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"a\r\nb");
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
}

// Choosing: with "stay visible" the window stays; without, it is asked to close; with automatic
// paste, the paste is asked for instead.
TEST_F(ClipboardCaptureTest, ChoosingHidesTheWindowUnlessItStaysVisible) {
    HistoryItem entry;
    entry.text = L"chosen";
    AppData().tabs[0].items = {entry};
    MSG posted;
    AppData().StayVisible = true;
    ChooseEntry(entry.id);
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    AppData().StayVisible = false;
    ChooseEntry(entry.id);
    EXPECT_TRUE(PeekMessageW(&posted, main, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    AppData().AutoPaste = true;
    ChooseEntry(entry.id);
    EXPECT_TRUE(PeekMessageW(&posted, main, WM_APP_PASTE, WM_APP_PASTE, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}

// An entry of a tab open for the run goes onto the clipboard with the marks that keep Windows'
// clipboard history, its cloud and other keepers away; a plain one without them.
TEST_F(ClipboardCaptureTest, EntriesOfAnOpenedTabCarryThePrivacyMarks) {
    HistoryItem entry;
    entry.text = L"secret";
    AppData().tabs[0].items = {entry};
    const wchar_t* marks[] = {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
                              L"CanUploadToCloudClipboard"};
    for (bool opened : {true, false}) {
        AppData().tabs[0].tempUnlocked = opened;
        ASSERT_TRUE(CopyEntryToClipboard(entry.id));
        ASSERT_TRUE(OpenClipboard(other));
        for (const wchar_t* mark : marks) {
            HANDLE data = GetClipboardData(RegisterClipboardFormatW(mark));
            EXPECT_EQ(data != nullptr, opened) << (opened ? "opened" : "plain") << " tab";
            if (data) {
                ASSERT_EQ(GlobalSize(data), sizeof(DWORD));
                EXPECT_EQ(*static_cast<const DWORD*>(GlobalLock(data)), 0u);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        PumpFor(50);
    }
    AppData().tabs[0].tempUnlocked = false;
}

// The clipboard as the secret clearing meets it: another program's copy may come, and the
// clipboard may be held.
struct StandInClipboard {
    DWORD sequence = 0;
    DWORD sequenceOnceOpen = 0;
    bool opens = true;
    int opened = 0;
    int emptied = 0;
    int closed = 0;
} g_clipboard;

ClipboardCalls StandInClipboardCalls() {
    ClipboardCalls calls;
    calls.sequence = [] { return g_clipboard.opened ? g_clipboard.sequenceOnceOpen : g_clipboard.sequence; };
    calls.open = [] { return g_clipboard.opens && ++g_clipboard.opened; };
    calls.empty = [] { ++g_clipboard.emptied; };
    calls.close = [] { ++g_clipboard.closed; };
    return calls;
}

TEST(SecretClearing, OnlyOurSecretIsTakenOffAndAHeldClipboardIsTriedAgain) {
    const struct {
        DWORD ours;
        DWORD sequence;
        DWORD sequenceOnceOpen;
        bool opens;
        SecretClearing result;
        int emptied;
    } cases[] = {
        {0, 5, 5, true, SecretClearing::Done, 0},      // nothing of ours
        {5, 5, 5, true, SecretClearing::Done, 1},      // still ours
        {5, 6, 6, true, SecretClearing::Done, 0},      // another program copied since
        {5, 5, 6, true, SecretClearing::Done, 0},      // ... just before we opened it
        {5, 5, 5, false, SecretClearing::TryAgain, 0}, // held by another program
    };
    for (const auto& c : cases) {
        g_clipboard = StandInClipboard{c.sequence, c.sequenceOnceOpen, c.opens};
        EXPECT_EQ(ClearSecret(StandInClipboardCalls(), c.ours), c.result) << c.ours << " " << c.sequence;
        EXPECT_EQ(g_clipboard.emptied, c.emptied) << c.ours << " " << c.sequence;
        EXPECT_EQ(g_clipboard.closed, g_clipboard.opened);
    }
    EXPECT_EQ(SecretToClear(true, 30, 7), 7u);
    EXPECT_EQ(SecretToClear(false, 30, 7), 0u) << "a plain tab's entry is no secret";
    EXPECT_EQ(SecretToClear(true, 0, 7), 0u) << "ClearSecretSeconds=0 keeps it";
}

// Choosing an entry of a tab open for the run, then another program copies: the clearing leaves
// that copy alone. A plain tab's entry is never cleared.
TEST_F(ClipboardCaptureTest, TheClearingTakesOffOurSecretAndNothingElse) {
    HistoryItem entry;
    entry.text = L"secret";
    AppData().tabs[0].items = {entry};
    AppData().tabs[0].tempUnlocked = false;
    ASSERT_TRUE(CopyEntryToClipboard(entry.id));
    EXPECT_EQ(SecretOnClipboard(), 0u) << "a plain tab's entry is cleared";

    AppData().tabs[0].tempUnlocked = true;
    ASSERT_TRUE(CopyEntryToClipboard(entry.id));
    EXPECT_NE(SecretOnClipboard(), 0u);
    ASSERT_TRUE(PutText(other, L"theirs"));
    ClearSecretFromClipboard();
    ASSERT_TRUE(OpenClipboard(other));
    const auto* text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    EXPECT_TRUE(text && std::wstring(text) == L"theirs") << "another program's copy was wiped";
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();

    ASSERT_TRUE(CopyEntryToClipboard(entry.id));
    ClearSecretFromClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT)) << "our secret stayed";
    AppData().tabs[0].tempUnlocked = false;
}

// The end of the session writes what waits, as the quit does.
TEST_F(ClipboardCaptureTest, TheEndOfTheSessionWritesWhatWaits) {
    HistoryItem entry;
    entry.text = L"not saved yet";
    AppData().tabs[0].items = {entry};
    AppData().tabs[0].dirty = true;
    MainWindowProc(main, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(AppData().tabs[0].dirty);
    EXPECT_NE(GetFileAttributesW(L"history.ini"), INVALID_FILE_ATTRIBUTES);
}

// What password managers and our own sealed tabs ask of a clipboard keeper, and the cap.
TEST_F(ClipboardCaptureTest, PrivateMarksOwnCopiesOfOpenTabsAndTooLongTextsAreNotRecorded) {
    for (const wchar_t* mark : {L"Clipboard Viewer Ignore", L"ExcludeClipboardContentFromMonitorProcessing",
                                L"CanIncludeInClipboardHistory"}) {
        ASSERT_TRUE(PutText(other, L"marked", false, mark));
        OnClipboardUpdate(main);
        PumpFor(100);
        EXPECT_TRUE(History().empty()) << "marked with " << static_cast<const void*>(mark);
    }
    // `other` is a window of this process, as the memo pad and the edit dialog are.
    AppData().tabs[1].tempUnlocked = true;
    ASSERT_TRUE(PutText(other, L"from an opened tab"));
    OnClipboardUpdate(main);
    PumpFor(100);
    EXPECT_TRUE(History().empty());
    AppData().tabs[1].tempUnlocked = false;

    AppData().MaxEntryChars = 5;
    ASSERT_TRUE(PutText(other, L"123456"));
    OnClipboardUpdate(main);
    PumpFor(100);
    EXPECT_TRUE(History().empty());
    ASSERT_TRUE(PutText(other, L"12345"));
    OnClipboardUpdate(main);
    PumpFor(100);
    ASSERT_EQ(History().size(), 1u);
    AppData().MaxEntryChars = 0; // no cap
    ASSERT_TRUE(PutText(other, L"1234567890"));
    OnClipboardUpdate(main);
    PumpFor(100);
    EXPECT_EQ(History().size(), 2u);
}

// An owner that renders its text late, on a thread of its own.
struct LateOwner {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
            Sleep(700);
            PutBytes(CF_UNICODETEXT, L"rendered late", sizeof(L"rendered late"));
            rendered = true;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static DWORD WINAPI Thread(void* ready) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.lpszClassName = L"LateOwner";
        RegisterClassW(&windowClass);
        HWND owner = CreateWindowExW(0, L"LateOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (OpenClipboard(owner)) {
            EmptyClipboard();
            SetClipboardData(CF_UNICODETEXT, nullptr); // rendered when asked for
            CloseClipboard();
        }
        SetEvent(static_cast<HANDLE>(ready));
        MSG message;
        const ULONGLONG end = GetTickCount64() + 3000;
        while (GetTickCount64() < end) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            Sleep(5);
        }
        DestroyWindow(owner);
        return 0;
    }
    static std::atomic<bool> rendered;
};
std::atomic<bool> LateOwner::rendered{false};

// An owner that renders its text late holds up the reader, never the window: the change is
// recorded once the text is there.
TEST_F(ClipboardCaptureTest, AnOwnerThatRendersLateNeverHoldsUpTheWindow) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, LateOwner::Thread, ready, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    OnClipboardUpdate(main);
    EXPECT_FALSE(LateOwner::rendered) << "the window waited for the owner";
    PumpFor(1500);
    EXPECT_TRUE(LateOwner::rendered);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"rendered late");
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(ready);
}

// The tool window as the program makes it, on screen, with its strip, its memo pad and its hooks.
struct ToolWindowTest : ClipboardCaptureTest {
    HWND tool = nullptr;
    void SetUp() override {
        ClipboardCaptureTest::SetUp();
        static const ATOM atom = [] {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = MainWindowProc;
            windowClass.lpszClassName = kMainWindowClass;
            return RegisterClassW(&windowClass);
        }();
        AppData().tabs[1].type = TabType::MemoPad;
        AppSettings settings;
        settings.Rect = {40, 40, 360, 420};
        tool = CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(atom), L"Nomaclip", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                               40, 40, 360, 420, nullptr, nullptr, nullptr, &settings);
        ASSERT_NE(tool, nullptr);
    }
    void TearDown() override {
        DestroyWindow(tool);
        MSG quit; // the window's end ends the program's loop
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        DeleteFileW(L"templates.txt");
        DeleteFileW(L"settings.ini");
        ClipboardCaptureTest::TearDown();
    }
    // Shows the window on its memo pad tab, typed into and focused.
    HWND MemoPadWithText(const wchar_t* text) {
        ShowWindow(tool, SW_SHOW);
        SetForegroundWindow(tool);
        SwitchToTab(1);
        HWND memo = ViewWindows().memoPad;
        SetFocus(memo);
        for (const wchar_t* c = text; *c; ++c)
            SendMessageW(memo, WM_CHAR, *c, 1); // as typed: EN_CHANGE each time
        return memo;
    }
};

// A text written on request is handed over when a program reads it, and each such read is told
// (the automatic paste and 連続貼り付け learn from it that their target has read); a later read
// finds it rendered. A copy by another program or our own next write never counts.
TEST_F(ToolWindowTest, ATextWrittenOnRequestIsRenderedWhenReadAndTheReadIsCounted) {
    ClipboardText text;
    text.text = L"on request";
    text.onRequest = true;
    ASSERT_TRUE(WriteClipboardText(text));
    const uint64_t before = ReadsOfOurText();
    const auto read = [&] {
        EXPECT_TRUE(OpenClipboard(other));
        HANDLE data = GetClipboardData(CF_UNICODETEXT); // asks the tool window (WM_RENDERFORMAT)
        const std::wstring got = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
        if (data)
            GlobalUnlock(data);
        CloseClipboard();
        return got;
    };
    EXPECT_EQ(read(), L"on request");
    EXPECT_EQ(ReadsOfOurText(), before + 1);
    EXPECT_EQ(read(), L"on request");
    EXPECT_EQ(ReadsOfOurText(), before + 1) << "rendered once, read again without asking";
    ASSERT_TRUE(PutText(other, L"another copy"));
    EXPECT_EQ(ReadsOfOurText(), before + 1);
}

TEST_F(ToolWindowTest, ASecondStartsRequestShowsTheWindow) {
    ASSERT_FALSE(IsWindowVisible(tool));
    SendMessageW(tool, RegisterWindowMessageW(kShowWindowMessage), 0, 0);
    EXPECT_TRUE(IsWindowVisible(tool));
}

// Leaving the memo pad writes it at once: a hard stop before the pause timer loses nothing.
TEST_F(ToolWindowTest, TheMemoPadIsWrittenWhenItLosesTheKeyboard) {
    HWND memo = MemoPadWithText(L"typed just now");
    ASSERT_EQ(GetFocus(), memo);
    EXPECT_TRUE(AppData().tabs[1].dirty) << "written per key";
    SetFocus(TabStripWindow());
    EXPECT_FALSE(AppData().tabs[1].dirty);
    EXPECT_NE(GetFileAttributesW(L"templates.txt"), INVALID_FILE_ATTRIBUTES);
}

// What the tool window is asked to change of its focus marks. Wine shows them always (as Windows
// does with keyboard cues on), so the request itself is what is seen.
LRESULT CALLBACK RecordUiState(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR record) {
    if (message == WM_CHANGEUISTATE)
        reinterpret_cast<std::vector<WPARAM>*>(record)->push_back(wParam);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Esc takes the keyboard out of the memo pad onto the strip, which then shows where it is.
TEST_F(ToolWindowTest, EscFromTheMemoPadShowsTheFocusOnTheStrip) {
    MemoPadWithText(L"memo");
    std::vector<WPARAM> changes;
    SetWindowSubclass(tool, RecordUiState, 1, reinterpret_cast<DWORD_PTR>(&changes));
    SendMessageW(tool, WM_APP_ESCAPE, 0, 0);
    RemoveWindowSubclass(tool, RecordUiState, 1);
    ASSERT_EQ(GetFocus(), TabStripWindow());
    EXPECT_NE(std::find(changes.begin(), changes.end(), MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS)), changes.end());
}

// Ctrl+C and Ctrl+X in the memo pad of a tab open for the run copy as choosing its entries does:
// marked private and cleared later; the cut text leaves the memo pad.
TEST_F(ToolWindowTest, CopiesFromTheMemoPadOfAnOpenedTabAreSecrets) {
    AppData().tabs[1].tempUnlocked = true;
    AppData().tabs[1].password = L"pw";
    HWND memo = MemoPadWithText(L"pin 1234");
    SendMessageW(memo, EM_SETSEL, 4, 8);
    for (UINT message : {WM_COPY, WM_CUT}) {
        EmptyClipboardOf(other);
        SendMessageW(memo, message, 0, 0);
        EXPECT_TRUE(
            IsClipboardFormatAvailable(RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing")));
        EXPECT_EQ(SecretOnClipboard(), GetClipboardSequenceNumber());
        EXPECT_EQ(OwnClipboardWrite(), GetClipboardSequenceNumber());
    }
    EXPECT_EQ(WindowText(memo), L"pin ");
    ClearSecretFromClipboard();
    AppData().tabs[1].tempUnlocked = false;
}

// Windows drops a hook that answered late without a word: every show installs them afresh.
TEST_F(ToolWindowTest, EachShowInstallsTheHooksAfresh) {
    ASSERT_TRUE(StartInputHooks(tool));
    const int before = InputHookInstalls();
    ShowWindow(tool, SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return InputHookInstalls() > before; }, 2000));
    StopInputHooks();
}

} // namespace
