// The capture path against the real clipboard: a change read at once, a busy clipboard read
// again a moment later, and the changes that must not be recorded.
#include "app/Activation.h"
#include "app/App.h"
#include "app/ClipboardCapture.h"
#include "tabs/TabsHost.h"
#include "ui/Ids.h"

#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == TIMER_CAPTURE_RETRY) {
        OnCaptureRetryTimer(window);
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

bool PutText(HWND owner, const wchar_t* text, bool keepOpen = false) {
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
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
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].text, L"first copy");
}

TEST_F(ClipboardCaptureTest, ABusyClipboardIsReadAgainOnceItIsFree) {
    ASSERT_TRUE(PutText(other, L"held copy", true)); // another program still has it open
    OnClipboardUpdate(main);
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
    EXPECT_TRUE(History().empty());

    // The same text copied again later is recorded.
    ASSERT_TRUE(PutText(other, L"after a switch"));
    NoteForegroundChange(GetTickCount64() - 600);
    OnClipboardUpdate(main);
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
        {Utf16(L"a"), L""},                           // one unit or less holds no text
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

} // namespace
