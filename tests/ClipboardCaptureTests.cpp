// The capture path against the real clipboard: a change read at once, a busy clipboard read
// again a moment later, and the changes that must not be recorded.
#include "app/Activation.h"
#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "app/MainWindow.h"
#include "tabs/TabsHost.h"
#include "ui/Ids.h"

#include <gtest/gtest.h>

#include <atomic>

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
    NoteSelfCopy();
    OnClipboardUpdate(main);
    EXPECT_FALSE(SelfCopyPending());

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
    const DWORD handled = 41;
    // Opened: a new change is captured, the one already handled is not; 0 is always new.
    EXPECT_EQ(NextStepAfterRead(true, false, 42, handled, false, 10), AfterRead::Capture);
    EXPECT_EQ(NextStepAfterRead(true, false, 41, handled, false, 10), AfterRead::AlreadyHandled);
    EXPECT_EQ(NextStepAfterRead(true, false, 0, 0, false, 10), AfterRead::Capture);
    // A hung owner: one more try after a second, not the quick retries, then no more.
    EXPECT_EQ(NextStepAfterRead(false, true, 42, handled, false, 10), AfterRead::RetryAfterHungOwner);
    EXPECT_EQ(NextStepAfterRead(false, true, 42, handled, true, 10), AfterRead::GiveUp);
    // Held by another program: tried again while attempts are left.
    int attemptsLeft = 10, retries = 0;
    while (NextStepAfterRead(false, false, 42, handled, false, attemptsLeft) == AfterRead::RetrySoon) {
        --attemptsLeft;
        ASSERT_LT(++retries, 100);
    }
    EXPECT_EQ(retries, 10);
    EXPECT_EQ(NextStepAfterRead(false, false, 42, handled, true, 0), AfterRead::GiveUp);
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
    EXPECT_FALSE(SelfCopyPending()) << "a failed write must not hide the user's next copy";
    MSG posted;
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_APP_PASTE, WM_APP_PASTE, PM_REMOVE))
        << "whatever the clipboard held before must not be pasted";
    EXPECT_FALSE(PeekMessageW(&posted, main, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "the window stays as it was";
    EXPECT_FALSE(AppData().tabs[0].items[0].used);

    EXPECT_TRUE(CopyEntryToClipboard(entry.id));
    EXPECT_TRUE(SelfCopyPending());
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

} // namespace
