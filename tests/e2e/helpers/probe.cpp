// probe: looks at the windows of the desktop from outside, for the end-to-end tests, and
// prints one JSON object (ASCII only; other characters as \u escapes) on standard output.
//
//   probe state                      the tool window, its list (rows: column 0, column 1,
//                                    screen rectangle; column headers), toolbar, focus and
//                                    child controls (id, text, visibility); the
//                                    foreground window; open message boxes; notepad's text
//   probe clipboard                  clipboard formats and the Unicode text (UTF-16LE hex)
//   probe windows                    every top-level window with its children
//   probe post TARGET MSG WP LP      PostMessageW; TARGET is "main" (the tool window) or a
//                                    window handle; numbers in decimal or 0x hex
//   probe send TARGET MSG WP LP      the same sent, waiting for the answer
//   probe hold-hotkey MOD VK         registers a global hotkey and keeps it until ended
//   probe hotkey-free MOD VK         whether a global hotkey can be registered now (it is
//                                    released again at once): false while a program holds it
//   probe stand-in CLASS [X Y]       a program as most are: a frame of window class CLASS with
//                                    an edit child; prints one JSON line per key it receives;
//                                    WM_APP+50 (wParam ms) makes it hang, WM_APP+51 copies its text
//   probe ping-main MS               how long the tool window takes to answer, for MS ms
//   probe hold-clipboard-on-enter MS holds the clipboard open for MS ms from the next Enter
//   probe sync-keys HWND             the window's thread sees the modifier keys as they are now
//   probe thread-priorities          the priorities of the tool window's process's threads
//   probe copy-many N MS PREFIX      copies "PREFIX 1" ... "PREFIX N", one every MS ms
//   probe copy-texts MS TEXT...      copies each TEXT, one every MS ms
//   probe monitor [quiet]            reads every clipboard change at once, as clipboard history
//                                    tools do, and logs the texts it read, until ended; quiet:
//                                    logs only when each change came (GetTickCount64), unread
//   probe clipboard-owner            the clipboard's owner and formats, no data asked for
//   probe late-owner MS TEXT         copies TEXT delay-rendered, and renders it MS ms after asked
//   probe access                     what a screen reader finds in the tool window: each child
//                                    control's name (its text, or the static label before it),
//                                    the tab strip's tabs (TCM_*), the toolbar's buttons with
//                                    their kind, checked state and tooltip (TB_*, TTM_GETTEXTW)
//   probe tab-select N               selects tab N of the strip as UI Automation does
//                                    (TCM_SETCURFOCUS)
//
// Lists and toolbars of another process hold their texts in that process, so their
// structures are passed through memory allocated there (VirtualAllocEx).
#include "ui/Keys.h" // the same modifier keys the program knows

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <algorithm>
#include <utility>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"NomaclipWnd";
constexpr int kListId = 1004;
constexpr int kToolbarId = 100;
constexpr UINT kTimeoutMs = 3000;

// ---- JSON output -------------------------------------------------------------------

std::string Quote(const std::wstring& s) {
    std::string out = "\"";
    char buf[8];
    for (wchar_t c : s) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + "\"";
}

std::string Num(long long v) {
    return std::to_string(v);
}

std::string Bool(bool v) {
    return v ? "true" : "false";
}

std::string Handle(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%llx\"", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)));
    return buf;
}

std::string RectJson(const RECT& r) {
    return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right) + "," + Num(r.bottom) + "]";
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out = "[";
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "," : "") + parts[i];
    return out + "]";
}

// ---- window helpers ----------------------------------------------------------------

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

// WM_GETTEXT is marshalled between processes by the system; a timeout keeps a hung
// target from hanging the probe.
std::wstring TextOf(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &len))
        return {};
    std::wstring buf(len + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG, kTimeoutMs,
                             &got))
        return {};
    buf.resize(got);
    return buf;
}

DWORD PidOf(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

std::string WindowBasics(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return "\"hwnd\":" + Handle(h) + ",\"class\":" + Quote(ClassOf(h)) + ",\"title\":" + Quote(TextOf(h)) +
           ",\"pid\":" + Num(PidOf(h)) + ",\"visible\":" + Bool(IsWindowVisible(h) != FALSE) +
           ",\"rect\":" + RectJson(r);
}

// Memory in another process, freed on scope exit.
struct RemoteBuffer {
    HANDLE process = nullptr;
    void* base = nullptr;
    explicit RemoteBuffer(HWND owner, SIZE_T size) {
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, PidOf(owner));
        if (process)
            base = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (base)
            VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process)
            CloseHandle(process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    bool ok() const { return base != nullptr; }
    char* at(size_t offset) const { return static_cast<char*>(base) + offset; }
    bool write(size_t offset, const void* data, size_t size) const {
        return WriteProcessMemory(process, at(offset), data, size, nullptr) != FALSE;
    }
    bool read(size_t offset, void* data, size_t size) const {
        return ReadProcessMemory(process, at(offset), data, size, nullptr) != FALSE;
    }
    // Sends `message` (index, a RECT that starts as `rect`) and gives the rectangle the window
    // filled in, or an empty one when it did not answer or refused.
    RECT RectThrough(HWND window, UINT message, WPARAM index, RECT rect = RECT{}) const {
        DWORD_PTR ok = 0;
        write(0, &rect, sizeof rect);
        if (!SendMessageTimeoutW(window, message, index, reinterpret_cast<LPARAM>(base), SMTO_ABORTIFHUNG, kTimeoutMs,
                                 &ok) ||
            !ok || !read(0, &rect, sizeof rect))
            return RECT{};
        return rect;
    }
    // Sends `message` (index, item) with `item` copied to offset 0 and its text buffer of `chars`
    // characters at `textOffset`, and gives the text the window filled in: "" when it filled in
    // none or did not answer. Item is any structure with pszText and cchTextMax.
    template <typename Item>
    std::wstring TextThrough(HWND window, UINT message, WPARAM index, Item item, size_t textOffset,
                             size_t chars) const {
        item.pszText = reinterpret_cast<LPWSTR>(at(textOffset));
        item.cchTextMax = static_cast<int>(chars);
        std::vector<wchar_t> text(chars, L'\0');
        write(textOffset, text.data(), sizeof(wchar_t)); // empty text if nothing is written
        write(0, &item, sizeof item);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, index, reinterpret_cast<LPARAM>(base), SMTO_ABORTIFHUNG, kTimeoutMs,
                                 &result) ||
            !read(textOffset, text.data(), chars * sizeof(wchar_t)))
            return std::wstring();
        text[chars - 1] = L'\0';
        return text.data();
    }
};

std::string ListJson(HWND list) {
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count);
    DWORD_PTR selected = static_cast<DWORD_PTR>(-1), focused = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, SMTO_ABORTIFHUNG, kTimeoutMs,
                        &selected);
    SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED, SMTO_ABORTIFHUNG, kTimeoutMs,
                        &focused);

    constexpr size_t kChars = 4096;
    const size_t textOffset = (sizeof(LVITEMW) + 15) & ~size_t(15);
    RemoteBuffer remote(list, textOffset + kChars * sizeof(wchar_t));
    std::vector<std::string> rows;
    for (int row = 0; remote.ok() && row < static_cast<int>(count) && row < 500; ++row) {
        std::vector<std::string> cells;
        for (int col = 0; col < 2; ++col) {
            LVITEMW item{};
            item.iSubItem = col;
            cells.push_back(
                Quote(remote.TextThrough(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), item, textOffset, kChars)));
        }
        // The row's rectangle on the screen, for clicking it.
        RECT r = remote.RectThrough(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), RECT{LVIR_BOUNDS, 0, 0, 0});
        if (!IsRectEmpty(&r))
            MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
        cells.push_back(RectJson(r));
        rows.push_back(Join(cells));
    }
    // Header texts of columns 0 and 1 (column 1 carries the tab's lock mark and name).
    std::vector<std::string> columns;
    for (int col = 0; remote.ok() && col < 2; ++col) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        columns.push_back(
            Quote(remote.TextThrough(list, LVM_GETCOLUMNW, static_cast<WPARAM>(col), column, textOffset, kChars)));
    }
    RECT listRect{};
    GetWindowRect(list, &listRect);
    return "{\"hwnd\":" + Handle(list) + ",\"visible\":" + Bool(IsWindowVisible(list) != FALSE) +
           ",\"enabled\":" + Bool(IsWindowEnabled(list) != FALSE) + ",\"rect\":" + RectJson(listRect) +
           ",\"columns\":" + Join(columns) + ",\"count\":" + Num(static_cast<int>(count)) +
           ",\"selected\":" + Num(static_cast<int>(selected)) + ",\"focused\":" + Num(static_cast<int>(focused)) +
           ",\"rows\":" + Join(rows) + "}";
}

// The toolbar's buttons as TB_GETBUTTON gives them, each with its index (at most 64).
std::vector<std::pair<int, TBBUTTON>> ButtonsOf(HWND toolbar) {
    DWORD_PTR count = 0;
    SendMessageTimeoutW(toolbar, TB_BUTTONCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count);
    RemoteBuffer remote(toolbar, sizeof(TBBUTTON));
    std::vector<std::pair<int, TBBUTTON>> buttons;
    for (int i = 0; remote.ok() && i < static_cast<int>(count) && i < 64; ++i) {
        TBBUTTON b{};
        DWORD_PTR ok = 0;
        SendMessageTimeoutW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.base),
                            SMTO_ABORTIFHUNG, kTimeoutMs, &ok);
        if (ok && remote.read(0, &b, sizeof b))
            buttons.emplace_back(i, b);
    }
    return buttons;
}

std::string ToolbarJson(HWND toolbar) {
    std::vector<std::string> buttons;
    for (const auto& [i, b] : ButtonsOf(toolbar)) {
        buttons.push_back("{\"id\":" + Num(b.idCommand) + ",\"image\":" + Num(b.iBitmap) +
                          ",\"state\":" + Num(b.fsState) + ",\"style\":" + Num(b.fsStyle) + "}");
    }
    RECT r{};
    GetWindowRect(toolbar, &r);
    return "{\"rect\":" + RectJson(r) + ",\"buttons\":" + Join(buttons) + "}";
}

std::string ChildrenJson(HWND h);

std::string MainJson() {
    HWND main = FindWindowW(kMainClass, nullptr);
    if (!main)
        return "null";
    std::string out = "{" + WindowBasics(main);
    const LONG_PTR ex = GetWindowLongPtrW(main, GWL_EXSTYLE);
    out += ",\"topmost\":" + Bool((ex & WS_EX_TOPMOST) != 0) + ",\"toolwindow\":" + Bool((ex & WS_EX_TOOLWINDOW) != 0) +
           ",\"enabled\":" + Bool(IsWindowEnabled(main) != FALSE);
    // A window answers a sent message only once its thread waits in its message loop: before
    // that (still inside its creation) its hotkey and input hooks may not exist yet.
    DWORD_PTR ignored = 0;
    out += ",\"responsive\":" +
           Bool(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored) != 0);

    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus) {
        out += ",\"focus\":{\"hwnd\":" + Handle(gui.hwndFocus) + ",\"class\":" + Quote(ClassOf(gui.hwndFocus)) +
               ",\"id\":" + Num(GetDlgCtrlID(gui.hwndFocus)) + "}";
    } else {
        out += ",\"focus\":null";
    }
    out += ",\"active\":" + Handle(gui.hwndActive);
    // In the modal loop of a move or resize by the mouse.
    out += ",\"moving\":" + Bool((gui.flags & GUI_INMOVESIZE) != 0);

    HWND list = GetDlgItem(main, kListId);
    out += ",\"list\":" + (list ? ListJson(list) : std::string("null"));
    HWND toolbar = GetDlgItem(main, kToolbarId);
    out += ",\"toolbar\":" + (toolbar ? ToolbarJson(toolbar) : std::string("null"));
    // Every child control (memo pad, password panel, tab strip) with its text and state.
    out += ",\"controls\":" + ChildrenJson(main);
    return out + "}";
}

std::string ForegroundJson() {
    HWND fg = GetForegroundWindow();
    if (!fg)
        return "null";
    return "{" + WindowBasics(fg) + "}";
}

BOOL CALLBACK CollectChild(HWND h, LPARAM param) {
    auto* out = reinterpret_cast<std::vector<std::string>*>(param);
    RECT r{};
    GetWindowRect(h, &r);
    // Check boxes and radio buttons: their check state (0 for push buttons).
    std::string checked;
    if (ClassOf(h) == L"Button") {
        DWORD_PTR state = 0;
        SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &state);
        checked = ",\"checked\":" + Num(static_cast<long long>(state));
    }
    out->push_back("{\"hwnd\":" + Handle(h) + ",\"class\":" + Quote(ClassOf(h)) + ",\"id\":" + Num(GetDlgCtrlID(h)) +
                   ",\"text\":" + Quote(TextOf(h)) + ",\"visible\":" + Bool(IsWindowVisible(h) != FALSE) +
                   ",\"enabled\":" + Bool(IsWindowEnabled(h) != FALSE) + checked + ",\"rect\":" + RectJson(r) + "}");
    return TRUE;
}

std::string ChildrenJson(HWND h) {
    std::vector<std::string> children;
    EnumChildWindows(h, CollectChild, reinterpret_cast<LPARAM>(&children));
    return Join(children);
}

struct TopLevelQuery {
    bool dialogsOnly;
    std::vector<std::string> out;
};

BOOL CALLBACK CollectTopLevel(HWND h, LPARAM param) {
    auto* q = reinterpret_cast<TopLevelQuery*>(param);
    if (q->dialogsOnly && (ClassOf(h) != L"#32770" || !IsWindowVisible(h)))
        return TRUE;
    HWND owner = GetWindow(h, GW_OWNER);
    q->out.push_back("{" + WindowBasics(h) + ",\"owner\":" + Handle(owner) + ",\"children\":" + ChildrenJson(h) + "}");
    return TRUE;
}

std::string TopLevelJson(bool dialogsOnly) {
    TopLevelQuery q{dialogsOnly, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&q));
    return Join(q.out);
}

std::string NotepadJson() {
    HWND np = FindWindowW(L"Notepad", nullptr);
    if (!np)
        return "null";
    HWND edit = FindWindowExW(np, nullptr, L"Edit", nullptr);
    return "{" + WindowBasics(np) + ",\"text\":" + Quote(edit ? TextOf(edit) : std::wstring()) + "}";
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

int State() {
    std::printf("{\"main\":%s,\"foreground\":%s,\"msgboxes\":%s,\"notepad\":%s,\"dpi\":%d}\n", MainJson().c_str(),
                ForegroundJson().c_str(), TopLevelJson(true).c_str(), NotepadJson().c_str(), ScreenDpi());
    return 0;
}

int Windows() {
    std::printf("{\"windows\":%s,\"foreground\":%s}\n", TopLevelJson(false).c_str(), ForegroundJson().c_str());
    return 0;
}

// Opens the clipboard for a window of the probe's, trying for a second. For a window: Wine 8 lets
// a second OpenClipboard(NULL) succeed while another program holds the clipboard open with NULL,
// so a held clipboard would go unnoticed.
bool OpenClipboardForProbe() {
    HWND opener = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(opener))
            return true;
        Sleep(10);
    }
    return false;
}

// A clipboard format's registered name, or "#<number>" for a standard one.
std::wstring FormatName(UINT format) {
    wchar_t name[256] = {};
    if (!GetClipboardFormatNameW(format, name, 256))
        std::swprintf(name, 256, L"#%u", format);
    return name;
}

int Clipboard() {
    if (!OpenClipboardForProbe()) {
        std::printf("{\"error\":\"OpenClipboard failed\"}\n");
        return 3;
    }
    std::vector<std::string> formats;
    std::vector<std::string> small; // "name":"hex" of registered formats of at most 16 bytes
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
        const std::wstring name = FormatName(f);
        formats.push_back(Quote(name));
        if (f < 0xC000)
            continue; // a standard format, not a registered one
        HANDLE h = GetClipboardData(f);
        const SIZE_T size = h ? GlobalSize(h) : 0;
        const auto* p = size && size <= 16 ? static_cast<const unsigned char*>(GlobalLock(h)) : nullptr;
        if (!p)
            continue;
        std::string hex;
        char buf[4];
        for (SIZE_T i = 0; i < size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", p[i]);
            hex += buf;
        }
        GlobalUnlock(h);
        small.push_back(Quote(name) + ":\"" + hex + "\"");
    }
    std::string hex = "null";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        const SIZE_T size = GlobalSize(h);
        if (const auto* p = static_cast<const unsigned char*>(GlobalLock(h))) {
            hex = "\"";
            char buf[4];
            // Up to the terminating NUL, as readers of CF_UNICODETEXT see it.
            for (SIZE_T i = 0; i + 1 < size; i += 2) {
                if (p[i] == 0 && p[i + 1] == 0)
                    break;
                std::snprintf(buf, sizeof buf, "%02x", p[i]);
                hex += buf;
                std::snprintf(buf, sizeof buf, "%02x", p[i + 1]);
                hex += buf;
            }
            hex += "\"";
            GlobalUnlock(h);
        }
    }
    const HWND owner = GetClipboardOwner();
    CloseClipboard();
    std::string data = "{";
    for (size_t i = 0; i < small.size(); ++i)
        data += (i ? "," : "") + small[i];
    data += "}";
    const std::string ownerJson =
        owner ? "{\"class\":" + Quote(ClassOf(owner)) + ",\"pid\":" + Num(PidOf(owner)) + "}" : std::string("null");
    std::printf("{\"formats\":%s,\"data\":%s,\"utf16le\":%s,\"owner\":%s,\"sequence\":%lu}\n", Join(formats).c_str(),
                data.c_str(), hex.c_str(), ownerJson.c_str(), static_cast<unsigned long>(GetClipboardSequenceNumber()));
    return 0;
}

unsigned long long ParseNumber(const char* s) {
    return std::strtoull(s, nullptr, 0);
}

// Posts a message to a window ("main" for the tool window), or sends it and waits for the answer
// (as Windows sends WM_QUERYENDSESSION and WM_ENDSESSION).
int Post(const char* target, const char* msg, const char* wp, const char* lp, bool send = false) {
    HWND h = std::string(target) == "main" ? FindWindowW(kMainClass, nullptr)
                                           : reinterpret_cast<HWND>(static_cast<UINT_PTR>(ParseNumber(target)));
    const char* done = send ? "sent" : "posted";
    if (!h || !IsWindow(h)) {
        std::printf("{\"%s\":false,\"error\":\"no such window\"}\n", done);
        return 1;
    }
    const UINT message = static_cast<UINT>(ParseNumber(msg));
    const WPARAM wParam = static_cast<WPARAM>(ParseNumber(wp));
    const LPARAM lParam = static_cast<LPARAM>(ParseNumber(lp));
    DWORD_PTR answer = 0;
    const BOOL ok = send ? SendMessageTimeoutW(h, message, wParam, lParam, SMTO_NORMAL, 30000, &answer) != 0
                         : PostMessageW(h, message, wParam, lParam);
    std::printf("{\"%s\":%s,\"answer\":%lld}\n", done, Bool(ok != FALSE).c_str(), static_cast<long long>(answer));
    return ok ? 0 : 1;
}

// Tells the tool window its monitor now has `dpi` dots per inch, as Windows does when the
// window moves to a monitor of another scale: WM_DPICHANGED with the rectangle it suggests
// (the same top-left corner, the size scaled), placed in the window's own process.
int DpiChanged(const char* dpiText) {
    HWND main = FindWindowW(kMainClass, nullptr);
    const int dpi = static_cast<int>(ParseNumber(dpiText));
    RECT rect{};
    if (!main || dpi <= 0 || !GetWindowRect(main, &rect)) {
        std::printf("{\"sent\":false}\n");
        return 1;
    }
    const int current = static_cast<int>(GetDpiForWindow(main));
    const int from = current > 0 ? current : 96;
    const RECT suggested{rect.left, rect.top, rect.left + MulDiv(rect.right - rect.left, dpi, from),
                         rect.top + MulDiv(rect.bottom - rect.top, dpi, from)};
    RemoteBuffer remote(main, sizeof(RECT));
    if (!remote.ok() || !remote.write(0, &suggested, sizeof(suggested))) {
        std::printf("{\"sent\":false}\n");
        return 1;
    }
    DWORD_PTR result = 0;
    const bool sent = SendMessageTimeoutW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                          reinterpret_cast<LPARAM>(remote.base), SMTO_ABORTIFHUNG, 10000, &result) != 0;
    std::printf("{\"sent\":%s,\"rect\":%s}\n", Bool(sent).c_str(), RectJson(suggested).c_str());
    return sent ? 0 : 1;
}

// ---- what a screen reader finds ------------------------------------------------------

constexpr int kStripId = 6001;

// The static label that names a control whose text is its content (an edit): the nearest
// static before it in the z-order, as Windows' accessibility proxies look for it. Hidden
// statics count (the usual way to name a control without showing a label); the search stops
// at a visible window that is a tab stop or starts a group.
std::wstring LabelOf(HWND h) {
    for (HWND prev = GetWindow(h, GW_HWNDPREV); prev; prev = GetWindow(prev, GW_HWNDPREV)) {
        DWORD_PTR code = 0;
        SendMessageTimeoutW(prev, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &code);
        if (code & DLGC_STATIC)
            return TextOf(prev);
        const LONG_PTR style = GetWindowLongPtrW(prev, GWL_STYLE);
        if (!(style & WS_VISIBLE))
            continue;
        if (style & (WS_GROUP | WS_TABSTOP))
            break;
    }
    return {};
}

BOOL CALLBACK CollectNamed(HWND h, LPARAM param) {
    auto* out = reinterpret_cast<std::vector<std::string>*>(param);
    if (GetParent(h) == nullptr)
        return TRUE;
    out->push_back("{\"hwnd\":" + Handle(h) + ",\"class\":" + Quote(ClassOf(h)) + ",\"id\":" + Num(GetDlgCtrlID(h)) +
                   ",\"visible\":" + Bool(IsWindowVisible(h) != FALSE) + ",\"text\":" + Quote(TextOf(h)) +
                   ",\"label\":" + Quote(LabelOf(h)) + "}");
    return TRUE;
}

std::string ScreenRect(HWND h, RECT r) {
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return RectJson(r);
}

// The strip as a tab control: its tabs' texts and places, which one is selected.
std::string StripJson(HWND strip) {
    DWORD_PTR count = 0, selected = static_cast<DWORD_PTR>(-1), focused = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(strip, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &count);
    SendMessageTimeoutW(strip, TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &selected);
    SendMessageTimeoutW(strip, TCM_GETCURFOCUS, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &focused);
    constexpr size_t kChars = 512;
    const size_t textOffset = (sizeof(TCITEMW) + 15) & ~size_t(15);
    RemoteBuffer remote(strip, textOffset + kChars * sizeof(wchar_t));
    std::vector<std::string> tabs;
    for (int i = 0; remote.ok() && i < static_cast<int>(count) && i < 16; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        const std::wstring text =
            remote.TextThrough(strip, TCM_GETITEMW, static_cast<WPARAM>(i), item, textOffset, kChars);
        const RECT r = remote.RectThrough(strip, TCM_GETITEMRECT, static_cast<WPARAM>(i));
        tabs.push_back("{\"text\":" + Quote(text) + ",\"rect\":" + ScreenRect(strip, r) + "}");
    }
    return "{\"hwnd\":" + Handle(strip) + ",\"class\":" + Quote(ClassOf(strip)) +
           ",\"count\":" + Num(static_cast<long long>(count)) + ",\"selected\":" + Num(static_cast<int>(selected)) +
           ",\"focused\":" + Num(static_cast<int>(focused)) + ",\"tabs\":" + Join(tabs) + "}";
}

// The text the toolbar's tooltip gives a button: what a screen reader names a button without
// text by.
std::wstring TipOf(HWND toolbar, HWND tips, int command) {
    if (!tips)
        return {};
    constexpr size_t kChars = 256;
    const size_t textOffset = (sizeof(TOOLINFOW) + 15) & ~size_t(15);
    RemoteBuffer remote(tips, textOffset + kChars * sizeof(wchar_t));
    if (!remote.ok())
        return {};
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = toolbar;
    info.uId = static_cast<UINT_PTR>(command);
    info.lpszText = reinterpret_cast<LPWSTR>(remote.at(textOffset));
    std::vector<wchar_t> text(kChars, L'\0');
    remote.write(textOffset, text.data(), sizeof(wchar_t));
    remote.write(0, &info, sizeof info);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(tips, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote.base), SMTO_ABORTIFHUNG, kTimeoutMs,
                        &ignored);
    remote.read(textOffset, text.data(), kChars * sizeof(wchar_t));
    text[kChars - 1] = L'\0';
    return text.data();
}

std::string ToolbarAccessJson(HWND toolbar) {
    DWORD_PTR tipsHandle = 0;
    SendMessageTimeoutW(toolbar, TB_GETTOOLTIPS, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &tipsHandle);
    HWND tips = reinterpret_cast<HWND>(tipsHandle);
    RemoteBuffer remote(toolbar, sizeof(RECT));
    std::vector<std::string> buttons;
    for (const auto& [i, b] : ButtonsOf(toolbar)) {
        if (!remote.ok())
            break;
        DWORD_PTR state = 0;
        SendMessageTimeoutW(toolbar, TB_GETSTATE, static_cast<WPARAM>(b.idCommand), 0, SMTO_ABORTIFHUNG, kTimeoutMs,
                            &state);
        const RECT r = remote.RectThrough(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i));
        buttons.push_back("{\"id\":" + Num(b.idCommand) + ",\"check\":" + Bool((b.fsStyle & BTNS_CHECK) != 0) +
                          ",\"rect\":" + ScreenRect(toolbar, r) + ",\"separator\":" +
                          Bool((b.fsStyle & BTNS_SEP) != 0) + ",\"checked\":" + Bool((state & TBSTATE_CHECKED) != 0) +
                          ",\"tip\":" + Quote(b.fsStyle & BTNS_SEP ? L"" : TipOf(toolbar, tips, b.idCommand)) + "}");
    }
    return "{\"hwnd\":" + Handle(toolbar) + ",\"buttons\":" + Join(buttons) + "}";
}

int Access() {
    HWND main = FindWindowW(kMainClass, nullptr);
    if (!main) {
        std::printf("{\"main\":null}\n");
        return 1;
    }
    std::vector<std::string> controls;
    EnumChildWindows(main, CollectNamed, reinterpret_cast<LPARAM>(&controls));
    HWND strip = GetDlgItem(main, kStripId);
    HWND toolbar = GetDlgItem(main, kToolbarId);
    std::printf("{\"main\":%s,\"controls\":%s,\"strip\":%s,\"toolbar\":%s}\n", Handle(main).c_str(),
                Join(controls).c_str(), strip ? StripJson(strip).c_str() : "null",
                toolbar ? ToolbarAccessJson(toolbar).c_str() : "null");
    return 0;
}

// Selects a tab of the strip from outside, as UI Automation's SelectionItem.Select does with a
// tab control.
int TabSelect(const char* index) {
    HWND main = FindWindowW(kMainClass, nullptr);
    HWND strip = main ? GetDlgItem(main, kStripId) : nullptr;
    DWORD_PTR result = 0;
    const bool sent = strip && SendMessageTimeoutW(strip, TCM_SETCURFOCUS, static_cast<WPARAM>(ParseNumber(index)), 0,
                                                   SMTO_ABORTIFHUNG, 10000, &result) != 0;
    std::printf("{\"sent\":%s}\n", Bool(sent).c_str());
    return sent ? 0 : 1;
}

// ---- a stand-in for an ordinary program -----------------------------------------------

constexpr UINT WM_STAND_IN_HANG = WM_APP + 50; // wParam: stop answering for this many ms
constexpr UINT WM_STAND_IN_COPY = WM_APP + 51; // copy the edit's whole text, as a program does in the background
// Busy for wParam ms, copying after lParam ms of it: a program that copies from inside long work.
constexpr UINT WM_STAND_IN_BUSY_COPY = WM_APP + 52;

struct StandIn {
    HWND frame = nullptr;
    HWND edit = nullptr;
    WNDPROC editProc = nullptr;
};
StandIn g_standIn;

std::string Chord(UINT vk) {
    std::string chord;
    if (GetKeyState(VK_CONTROL) < 0)
        chord += "Ctrl+";
    if (GetKeyState(VK_SHIFT) < 0)
        chord += "Shift+";
    if (GetKeyState(VK_MENU) < 0)
        chord += "Alt+";
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0)
        chord += "Win+";
    char name[16];
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        std::snprintf(name, sizeof name, "%c", static_cast<char>(vk));
    else if (vk == VK_INSERT)
        std::snprintf(name, sizeof name, "Insert");
    else if (vk == VK_RETURN)
        std::snprintf(name, sizeof name, "Enter");
    else
        std::snprintf(name, sizeof name, "0x%02X", vk);
    return chord + name;
}

// One line per key press that is not a modifier: which window got it and with what held.
// Its kind too: "down", "repeat" (a key held past the repeat delay) or "up", and when it came
// (GetTickCount64, one clock for every program of the desktop).
void LogKey(const char* window, UINT message, WPARAM vk, LPARAM lParam) {
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if ((!down && message != WM_KEYUP && message != WM_SYSKEYUP) || IsModifierKey(static_cast<UINT>(vk)))
        return;
    const char* kind = !down ? "up" : (lParam & (1 << 30)) ? "repeat" : "down";
    std::printf("{\"window\":\"%s\",\"key\":\"%s\",\"kind\":\"%s\",\"t\":%llu}\n", window,
                Chord(static_cast<UINT>(vk)).c_str(), kind, static_cast<unsigned long long>(GetTickCount64()));
    std::fflush(stdout);
}

LRESULT CALLBACK StandInEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    LogKey("edit", message, wParam, lParam);
    return CallWindowProcW(g_standIn.editProc, edit, message, wParam, lParam);
}

// The frame hands the focus to its edit when it is activated, as most programs do, and does
// not forward WM_SETFOCUS: a focus set on the frame itself stays on the frame.
LRESULT CALLBACK StandInFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && g_standIn.edit)
            SetFocus(g_standIn.edit);
        return 0;
    case WM_SIZE:
        if (g_standIn.edit)
            MoveWindow(g_standIn.edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        LogKey("frame", message, wParam, lParam);
        break;
    case WM_STAND_IN_HANG:
        Sleep(static_cast<DWORD>(wParam)); // a program busy on its window's thread
        return 0;
    case WM_STAND_IN_COPY: // the edit owns the clipboard afterwards, as after Ctrl+C in it
        SendMessageW(g_standIn.edit, EM_SETSEL, 0, -1);
        SendMessageW(g_standIn.edit, WM_COPY, 0, 0);
        return 0;
    case WM_STAND_IN_BUSY_COPY:
        Sleep(static_cast<DWORD>(lParam));
        SendMessageW(g_standIn.edit, EM_SETSEL, 0, -1);
        SendMessageW(g_standIn.edit, WM_COPY, 0, 0); // a rendered text, its owner still busy
        std::printf("{\"copied_while_busy\":true}\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(wParam - static_cast<WPARAM>(lParam)));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(frame, message, wParam, lParam);
}

int StandInProgram(const char* className, int x, int y) {
    std::wstring name(className, className + std::strlen(className));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = StandInFrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name.c_str();
    if (!RegisterClassW(&wc))
        return 1;
    g_standIn.frame = CreateWindowExW(0, name.c_str(), L"Stand-in", WS_OVERLAPPEDWINDOW, x, y, 520, 300, nullptr,
                                      nullptr, wc.hInstance, nullptr);
    g_standIn.edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 0, 0,
                                     g_standIn.frame, nullptr, wc.hInstance, nullptr);
    if (!g_standIn.frame || !g_standIn.edit)
        return 1;
    g_standIn.editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_standIn.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StandInEditProc)));
    ShowWindow(g_standIn.frame, SW_SHOW);
    SetForegroundWindow(g_standIn.frame);
    std::printf("{\"ready\":true,\"hwnd\":%s,\"edit\":%s}\n", Handle(g_standIn.frame).c_str(),
                Handle(g_standIn.edit).c_str());
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// Sends the tool window WM_NULL again and again for `ms` milliseconds and prints the longest
// it took to answer: a window whose thread waits on another program answers late.
int PingMain(const char* msText) {
    HWND main = FindWindowW(kMainClass, nullptr);
    if (!main)
        return 1;
    const ULONGLONG end = GetTickCount64() + ParseNumber(msText);
    ULONGLONG longest = 0;
    int answered = 0, asked = 0;
    while (GetTickCount64() < end) {
        const ULONGLONG start = GetTickCount64();
        DWORD_PTR ignored = 0;
        ++asked;
        if (SendMessageTimeoutW(main, WM_NULL, 0, 0, 0, 5000, &ignored))
            ++answered;
        longest = std::max(longest, GetTickCount64() - start);
        Sleep(20);
    }
    std::printf("{\"longest_ms\":%llu,\"answered\":%d,\"asked\":%d}\n", longest, answered, asked);
    return 0;
}

// Holds the clipboard open for `ms` milliseconds from the moment Enter is pressed, as the
// clipboard history service or a remote desktop does for a moment after each change: the
// program that reacts to that Enter finds the clipboard taken.
bool g_enterSeen = false;
bool g_heldOnEnter = false;
ULONGLONG g_heldSince = 0;

// The clipboard is taken inside the hook: Windows passes the key on to its window only once every
// low-level hook has returned, so the program that gets the Enter finds the clipboard held.
LRESULT CALLBACK EnterHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == WM_KEYDOWN && reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode == VK_RETURN &&
        !g_enterSeen) {
        g_enterSeen = true;
        g_heldOnEnter = OpenClipboard(nullptr) != FALSE;
        g_heldSince = GetTickCount64();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int HoldClipboardOnEnter(const char* msText) {
    const ULONGLONG ms = ParseNumber(msText);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, EnterHook, nullptr, 0);
    std::printf("{\"armed\":%s}\n", hook ? "true" : "false");
    std::fflush(stdout);
    if (!hook)
        return 1;
    // The hook is called while this thread waits for messages; the clipboard is let go by the
    // thread that opened it, ms milliseconds after the Enter.
    for (;;) {
        DWORD wait = INFINITE;
        if (g_enterSeen) {
            const ULONGLONG held = GetTickCount64() - g_heldSince;
            if (held >= ms)
                break;
            wait = static_cast<DWORD>(ms - held);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    const ULONGLONG held = GetTickCount64() - g_heldSince;
    if (g_heldOnEnter)
        CloseClipboard();
    UnhookWindowsHookEx(hook);
    std::printf("{\"held\":%s,\"ms\":%llu}\n", g_heldOnEnter ? "true" : "false", held);
    std::fflush(stdout);
    return 0;
}

// Windows brings a thread's key state up to date when its window comes to the front again, so
// that keys let go while another window was in front (a hotkey's Ctrl and Alt, released after
// the tool window came up) are up for it. Wine 8 does not: the thread still sees them down, and
// an edit ignores a Ctrl+V with Alt seemingly held. This does it for the thread of `window` now,
// through the key state that attached threads share: every modifier as the keyboard has it.
int SyncKeys(const char* windowText) {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(ParseNumber(windowText)));
    const DWORD thread = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (!thread)
        return 1;
    // The keys just pressed are let go first (a key still held on purpose stays down).
    const ULONGLONG until = GetTickCount64() + 2000;
    while (GetTickCount64() < until &&
           (GetAsyncKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_MENU) < 0 || GetAsyncKeyState(VK_SHIFT) < 0 ||
            GetAsyncKeyState(VK_LWIN) < 0 || GetAsyncKeyState(VK_RWIN) < 0))
        Sleep(10);
    if (!AttachThreadInput(GetCurrentThreadId(), thread, TRUE))
        return 1;
    BYTE keys[256];
    const bool read = GetKeyboardState(keys) != FALSE;
    if (read) {
        for (int vk : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL, VK_RCONTROL, VK_MENU, VK_LMENU,
                       VK_RMENU, VK_LWIN, VK_RWIN})
            keys[vk] =
                GetAsyncKeyState(vk) < 0 ? static_cast<BYTE>(keys[vk] | 0x80) : static_cast<BYTE>(keys[vk] & 0x7F);
        SetKeyboardState(keys);
    }
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    std::printf("{\"synced\":%s}\n", read ? "true" : "false");
    return read ? 0 : 1;
}

// The scheduling priorities of every thread of the tool window's process.
int ThreadPriorities() {
    HWND main = FindWindowW(kMainClass, nullptr);
    const DWORD process = main ? PidOf(main) : 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (!process || snapshot == INVALID_HANDLE_VALUE)
        return 1;
    std::vector<std::string> priorities;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process)
            continue;
        if (HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            priorities.push_back(Num(GetThreadPriority(thread)));
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    std::printf("{\"priorities\":%s}\n", Join(priorities).c_str());
    return 0;
}

// Copies texts one after the other, as a busy user does: "PREFIX 1", "PREFIX 2", ...
// Copies texts one after the other, `ms` apart, as a busy user or a script does.
int CopyTexts(const std::vector<std::wstring>& texts, const char* msText) {
    int copied = 0;
    for (const std::wstring& wide : texts) {
        // A window of its own for each copy: Wine tells the listeners of a change when the
        // clipboard passes to another owner.
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        bool open = false;
        for (int attempt = 0; attempt < 100 && !open; ++attempt) {
            open = OpenClipboard(owner) != FALSE;
            if (!open)
                Sleep(5);
        }
        if (open) {
            EmptyClipboard();
            const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
            if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
                std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
                GlobalUnlock(memory);
                if (SetClipboardData(CF_UNICODETEXT, memory))
                    ++copied;
                else
                    GlobalFree(memory);
            }
            CloseClipboard();
        }
        DestroyWindow(owner);
        Sleep(static_cast<DWORD>(ParseNumber(msText)));
    }
    std::printf("{\"copied\":%d}\n", copied);
    return 0;
}

// "PREFIX 1" ... "PREFIX N".
int CopyMany(const char* countText, const char* msText, const char* prefix) {
    std::vector<std::wstring> texts;
    for (int i = 1; i <= static_cast<int>(ParseNumber(countText)); ++i) {
        char text[256];
        std::snprintf(text, sizeof text, "%s %d", prefix, i);
        texts.emplace_back(text, text + std::strlen(text));
    }
    return CopyTexts(texts, msText);
}

// A clipboard reader that reads every change at once, as clipboard history tools do, marks or
// not: it logs each text it read ({"read":"..."}), until it is ended. A quiet one reads nothing
// and logs when each change came ({"change":t}).
bool g_monitorQuiet = false;

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CLIPBOARDUPDATE)
        return DefWindowProcW(window, message, wParam, lParam);
    if (g_monitorQuiet) {
        std::printf("{\"change\":%llu}\n", static_cast<unsigned long long>(GetTickCount64()));
        std::fflush(stdout);
        return 0;
    }
    for (int attempt = 0; attempt < 50 && !OpenClipboard(window); ++attempt)
        Sleep(5);
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    std::printf("{\"read\":%s}\n", Quote(text).c_str());
    std::fflush(stdout);
    return 0;
}

int Monitor() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MonitorProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ProbeClipboardMonitor";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window || !AddClipboardFormatListener(window))
        return 1;
    std::printf("{\"listening\":true}\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// Who holds the clipboard's content and in which formats, read without asking for any data (a
// text announced to be rendered when read stays unread).
int ClipboardOwner() {
    if (!OpenClipboardForProbe()) {
        std::printf("{\"error\":\"OpenClipboard failed\"}\n");
        return 3;
    }
    std::vector<std::string> formats;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f))
        formats.push_back(Quote(FormatName(f)));
    const HWND owner = GetClipboardOwner();
    CloseClipboard();
    std::printf("{\"owner\":%s,\"formats\":%s,\"sequence\":%lu}\n", Quote(owner ? ClassOf(owner) : L"").c_str(),
                Join(formats).c_str(), static_cast<unsigned long>(GetClipboardSequenceNumber()));
    return 0;
}

// A clipboard owner that renders its text late: it promises CF_UNICODETEXT and, asked for it
// (WM_RENDERFORMAT), takes `g_lateMs` before it hands it over.
DWORD g_lateMs = 0;
std::wstring g_lateText;

LRESULT CALLBACK LateOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
        std::printf("{\"asked\":true}\n");
        std::fflush(stdout);
        Sleep(g_lateMs);
        const size_t bytes = (g_lateText.size() + 1) * sizeof(wchar_t);
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            std::memcpy(GlobalLock(memory), g_lateText.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory))
                GlobalFree(memory);
        }
        std::printf("{\"rendered\":true}\n");
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int LateOwner(const char* msText, const char* text) {
    g_lateMs = static_cast<DWORD>(ParseNumber(msText));
    g_lateText.assign(text, text + std::strlen(text));
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = LateOwnerProc;
    windowClass.lpszClassName = L"LateClipboardOwner";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowExW(0, L"LateClipboardOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!owner || !OpenClipboard(owner))
        return 1;
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, nullptr); // rendered when asked for
    CloseClipboard();
    std::printf("{\"promised\":true}\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
} // namespace

// Opens a file without sharing and keeps it so until the process is ended, as a program that
// locks its files would: nobody else can read, write, replace or delete it meanwhile.
// Keeps the Wine virtual desktop up for the whole session: Wine closes it a moment after the last
// program on it ends and makes a new one for the next, which the X keyboard focus does not follow
// (the window in front then stays inactive, and a program started during the close fails). A
// hidden window that answers its messages (a broadcast must never wait on it) until it is ended.
int KeepDesktop() {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

int HoldFile(const char* path) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), n);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::printf("{\"held\":%s}\n", file != INVALID_HANDLE_VALUE ? "true" : "false");
    std::fflush(stdout);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    Sleep(INFINITE);
    return 0;
}

// Opens the clipboard and keeps it open for `ms` milliseconds, as a program that is slow to
// let go of it would: nobody else can write it meanwhile. (Ended from outside instead, the
// process would leave Wine's clipboard in a state that takes no new data.)
int HoldClipboard(const char* ms) {
    const bool held = OpenClipboard(nullptr) != FALSE;
    std::printf("{\"held\":%s}\n", held ? "true" : "false");
    std::fflush(stdout);
    if (!held)
        return 1;
    Sleep(static_cast<DWORD>(ParseNumber(ms)));
    CloseClipboard();
    return 0;
}

// Registers a global hotkey and keeps it until the process is ended, as another program
// holding the same key would.
int HoldHotkey(const char* mod, const char* vk) {
    if (!RegisterHotKey(nullptr, 1, static_cast<UINT>(ParseNumber(mod)), static_cast<UINT>(ParseNumber(vk)))) {
        std::printf("{\"held\":false}\n");
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    return 0;
}

// Whether nobody holds a global hotkey: registering it succeeds (and is undone at once).
int HotkeyFree(const char* mod, const char* vk) {
    const bool free =
        RegisterHotKey(nullptr, 2, static_cast<UINT>(ParseNumber(mod)), static_cast<UINT>(ParseNumber(vk)));
    if (free)
        UnregisterHotKey(nullptr, 2);
    std::printf("{\"free\":%s}\n", free ? "true" : "false");
    return 0;
}

int main(int argc, char** argv) {
    // Rectangles in physical pixels, as xdotool and the screenshots see them, also at 144 dpi.
    SetProcessDPIAware();
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "state")
        return State();
    if (cmd == "windows")
        return Windows();
    if (cmd == "clipboard")
        return Clipboard();
    if (cmd == "hold-hotkey" && argc == 4)
        return HoldHotkey(argv[2], argv[3]);
    if (cmd == "hotkey-free" && argc == 4)
        return HotkeyFree(argv[2], argv[3]);
    if (cmd == "hold-clipboard" && argc == 3)
        return HoldClipboard(argv[2]);
    if (cmd == "dpi-changed" && argc == 3)
        return DpiChanged(argv[2]);
    if (cmd == "keep-desktop")
        return KeepDesktop();
    if (cmd == "hold-file" && argc == 3)
        return HoldFile(argv[2]);
    if (cmd == "stand-in" && argc == 3)
        return StandInProgram(argv[2], 420, 120);
    if (cmd == "stand-in" && argc == 5)
        return StandInProgram(argv[2], static_cast<int>(ParseNumber(argv[3])), static_cast<int>(ParseNumber(argv[4])));
    if (cmd == "ping-main" && argc == 3)
        return PingMain(argv[2]);
    if (cmd == "sync-keys" && argc == 3)
        return SyncKeys(argv[2]);
    if (cmd == "hold-clipboard-on-enter" && argc == 3)
        return HoldClipboardOnEnter(argv[2]);
    if (cmd == "late-owner" && argc == 4)
        return LateOwner(argv[2], argv[3]);
    if (cmd == "copy-many" && argc == 5)
        return CopyMany(argv[2], argv[3], argv[4]);
    if (cmd == "copy-texts" && argc >= 4) {
        std::vector<std::wstring> texts;
        for (int i = 3; i < argc; ++i) {
            const int size = MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, nullptr, 0);
            std::wstring text(size > 0 ? size - 1 : 0, L'\0');
            if (size > 1)
                MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, &text[0], size);
            texts.push_back(text);
        }
        return CopyTexts(texts, argv[2]);
    }
    if (cmd == "monitor") {
        g_monitorQuiet = argc > 2 && std::string(argv[2]) == "quiet";
        return Monitor();
    }
    if (cmd == "clipboard-owner")
        return ClipboardOwner();
    if (cmd == "thread-priorities")
        return ThreadPriorities();
    if (cmd == "access")
        return Access();
    if (cmd == "tab-select" && argc == 3)
        return TabSelect(argv[2]);
    if ((cmd == "post" || cmd == "send") && argc == 6)
        return Post(argv[2], argv[3], argv[4], argv[5], cmd == "send");
    std::fprintf(
        stderr,
        "usage: probe state | windows | clipboard | post|send TARGET MSG WPARAM LPARAM | hold-hotkey MOD "
        "VK | hotkey-free MOD VK | hold-file PATH | hold-clipboard MS | dpi-changed DPI | stand-in CLASS | "
        "ping-main MS | hold-clipboard-on-enter MS | sync-keys HWND | thread-priorities | copy-many N MS PREFIX | "
        "late-owner MS TEXT | access | tab-select N | copy-texts MS TEXT... | monitor [quiet] | clipboard-owner | "
        "keep-desktop\n");
    return 2;
}
