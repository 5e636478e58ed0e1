#include "ui/FilterBox.h"

#include "ui/Colours.h"
#include "ui/Ids.h"
#include "ui/WinHandles.h"
#include "ui/Windowing.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kBarClass[] = L"NomaclipFilterBar";
constexpr UINT_PTR kBoxSubclass = 1;

struct FilterBar {
    HWND bar = nullptr;
    HWND box = nullptr;
    HWND count = nullptr;
    FilterBoxHost host;
};
FilterBar g_filter;

int Margin() {
    return ScaleToLayout(4);
}

int CountWidth() {
    return ScaleToLayout(64);
}

void HandOn(const std::function<void()>& what) {
    if (what)
        what();
}

// Ctrl+Backspace: the word before the caret goes, as in the shell's boxes (a plain edit box
// would insert a box character).
void DeleteWordBeforeCaret(HWND box) {
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != end) {
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
        return;
    }
    const std::wstring text = WindowText(box);
    size_t from = std::min(static_cast<size_t>(start), text.size());
    while (from > 0 && (text[from - 1] == L' ' || text[from - 1] == L'\x3000'))
        --from;
    while (from > 0 && text[from - 1] != L' ' && text[from - 1] != L'\x3000')
        --from;
    SendMessageW(box, EM_SETSEL, from, start);
    SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
}

LRESULT CALLBACK BoxProc(HWND box, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_NCDESTROY:
        return EndSubclass(box, BoxProc, kBoxSubclass, msg, wParam, lParam);
    case WM_GETDLGCODE: {
        // Enter is the box's own (it chooses the first match); Tab still moves the focus on.
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = DefSubclassProc(box, msg, wParam, lParam);
        return message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN ? code | DLGC_WANTALLKEYS
                                                                                         : code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            HandOn(g_filter.host.enter);
            return 0;
        }
        if (wParam == VK_DOWN || wParam == VK_NEXT) {
            HandOn(g_filter.host.down);
            return 0;
        }
        break;
    case WM_CHAR:
        switch (wParam) {
        case L'\r':
        case L'\n':
        case 0x1B:    // Esc reaches the window as WM_APP_ESCAPE
            return 0; // no beep
        case 0x01:    // Ctrl+A
            SendMessageW(box, EM_SETSEL, 0, -1);
            return 0;
        case 0x7F: // Ctrl+Backspace
            DeleteWordBeforeCaret(box);
            return 0;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(box, msg, wParam, lParam);
}

void LayOutBar() {
    const FilterBar& f = g_filter;
    RECT client{};
    GetClientRect(f.bar, &client);
    const int margin = Margin();
    const int height = client.bottom - 2 * margin;
    const int countWidth = CountWidth();
    const int boxWidth = std::max(0, static_cast<int>(client.right) - 3 * margin - countWidth);
    SetWindowPos(f.box, nullptr, margin, margin, boxWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(f.count, nullptr, margin * 2 + boxWidth, margin, countWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK BarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == CTL_FILTER && HIWORD(wParam) == EN_CHANGE && g_filter.host.changed)
            g_filter.host.changed(WindowText(g_filter.box));
        return 0;
    case WM_SIZE:
        LayOutBar();
        return 0;
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(bar, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, ContentBackgroundBrush());
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        const ContentColours colours = ContentColoursFor(CurrentColourScheme());
        SetTextColor(dc, colours.quietText);
        SetBkColor(dc, colours.background);
        return reinterpret_cast<LRESULT>(ContentBackgroundBrush());
    }
    default:
        return DefWindowProcW(bar, msg, wParam, lParam);
    }
}

bool RegisterBarClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BarProc;
    windowClass.hInstance = ProgramInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kBarClass;
    return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Child(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, int id) {
    return CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramInstance(), nullptr);
}

// The count beside the box: "3 件", nothing while no filter narrows the rows.
std::wstring FilterCountText(int count, bool filtering) {
    return filtering ? std::to_wstring(count) + L" 件" : std::wstring();
}

} // namespace

HWND CreateFilterBox(HWND parent, HFONT font, const FilterBoxHost& host) {
    FilterBar& f = g_filter;
    if (!RegisterBarClass())
        return nullptr;
    f.host = host;
    f.bar = CreateWindowExW(0, kBarClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTL_FILTER_BAR)), ProgramInstance(), nullptr);
    if (!f.bar)
        return nullptr;
    CreateAccessibleLabel(f.bar, L"絞り込み"); // the cue in the box is no name
    f.box = Child(f.bar, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, CTL_FILTER);
    f.count = Child(f.bar, L"STATIC", SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX, 0, CTL_FILTER_COUNT);
    SendMessageW(f.box, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kFilterCue));
    Subclass(f.box, BoxProc, kBoxSubclass);
    SetFilterBoxFont(font);
    return f.bar;
}

bool FilterBoxOpen() {
    return g_filter.bar && IsWindowVisible(g_filter.bar);
}

void OpenFilterBox() {
    if (!g_filter.bar)
        return;
    ShowWindow(g_filter.bar, SW_SHOW);
    FocusFilterBox();
    SendMessageW(g_filter.box, EM_SETSEL, 0, -1);
}

void CloseFilterBox() {
    if (!g_filter.bar)
        return;
    if (GetWindowTextLengthW(g_filter.box) > 0)
        SetWindowTextW(g_filter.box, L""); // handed on as a change
    ShowWindow(g_filter.bar, SW_HIDE);
}

std::wstring FilterBoxText() {
    return g_filter.box ? WindowText(g_filter.box) : std::wstring();
}

void SetFilterBoxText(const std::wstring& text) {
    if (g_filter.box)
        SetWindowTextW(g_filter.box, text.c_str());
}

void FocusFilterBox() {
    if (g_filter.box)
        SetFocus(g_filter.box);
}

bool FilterBoxHasFocus() {
    return g_filter.box && GetFocus() == g_filter.box;
}

void ShowFilterMatchCount(int count, bool filtering) {
    if (g_filter.count)
        SetWindowTextW(g_filter.count, FilterCountText(count, filtering).c_str());
}

int FilterBarHeight() {
    HFONT font = g_filter.box ? reinterpret_cast<HFONT>(SendMessageW(g_filter.box, WM_GETFONT, 0, 0)) : nullptr;
    TEXTMETRICW metrics{};
    UniqueWindowDC dc(g_filter.box);
    int textHeight = ScaleToLayout(16);
    if (dc && font) {
        UniqueSelectObject selected(dc.get(), font);
        if (GetTextMetricsW(dc.get(), &metrics))
            textHeight = metrics.tmHeight;
    }
    // The box's frame and a little air inside it, and the margin around it.
    return textHeight + ScaleToLayout(8) + 2 * Margin();
}

void PlaceFilterBar(int x, int y, int width, int height) {
    if (g_filter.bar)
        SetWindowPos(g_filter.bar, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFilterBoxFont(HFONT font) {
    for (HWND window : {g_filter.box, g_filter.count})
        if (window && font)
            SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}
