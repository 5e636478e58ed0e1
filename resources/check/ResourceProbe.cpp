// Loads the program's pictures and resources the way the program does and reports what Windows
// made of them. Linked with nomaclip.rc, started from a folder that holds img\ beside it.
//
//   resource_probe.exe [DUMP_DIR]       checks everything; with DUMP_DIR it also writes the
//                                       pixels of every loaded icon as raw top-down BGRA files
//                                       (<name>-<size>.bgra, "app" for icon 201) for comparison
//                                       with the files, what the image list drew
//                                       (<name>-drawn-<size>.bgra) and the program icon on a
//                                       light and a dark taskbar (tray-icon.bmp)
//   resource_probe.exe --show ID MS     shows dialog ID modally for MS milliseconds
//
// Prints one line per check ("ok ..." or "FAIL ...") and exits with the number of failures.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ProbeSupport.h"
#include "ProgramIconProbe.h"
#include "resource.h"

namespace {

// The toolbar's icon files in image-list order.
const wchar_t* const kToolbarIcons[] = {L"top_on",    L"top_off",      L"pin_on",        L"pin_off",  L"pause_on",
                                        L"pause_off", L"move_top_on",  L"move_top_off",  L"clearall", L"template",
                                        L"settings",  L"autopaste_on", L"autopaste_off", L"queue_on", L"queue_off"};

void CheckToolbarIcons(const std::wstring& dumpDir) {
    const std::wstring dir = ExeDirectory() + L"\\img\\";
    for (const wchar_t* name : kToolbarIcons) {
        for (int size : {16, 24, 32, 48, 64}) {
            std::wstring path = dir + name + L".ico";
            HICON icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
            CheckIcon(icon, L"img\\" + std::wstring(name) + L".ico at " + std::to_wstring(size), size, dumpDir, name);
        }
    }
}

// The toolbar's way: the icons of size S go into a 32-bit masked image list and are drawn with
// ImageList_Draw onto the toolbar colour RGB(43, 43, 43). Each drawn pixel must be the icon's
// colour blended over that background by its alpha (within rounding), with no dark fringe.
void CheckImageListDrawing(int size, const std::wstring& dumpDir) {
    const std::wstring dir = ExeDirectory() + L"\\img\\";
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 0);
    std::vector<IconPixels> sources;
    for (const wchar_t* name : kToolbarIcons) {
        std::wstring path = dir + name + L".ico";
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        sources.push_back(icon ? ReadIcon(icon) : IconPixels());
        ImageList_ReplaceIcon(list, -1, icon ? icon : LoadIconW(nullptr, IDI_APPLICATION));
        if (icon) {
            DestroyIcon(icon);
        }
    }
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = MakeDib(dc, size, size, bits);
    HGDIOBJ old = SelectObject(dc, dib);
    HBRUSH toolbar = CreateSolidBrush(RGB(43, 43, 43));
    const RECT all = {0, 0, size, size};
    for (int i = 0; i < static_cast<int>(sources.size()); ++i) {
        FillRect(dc, &all, toolbar);
        ImageList_Draw(list, i, dc, 0, 0, ILD_NORMAL);
        GdiFlush();
        const unsigned char* drawn = static_cast<const unsigned char*>(bits);
        const IconPixels& src = sources[i];
        int worst = src.bgra.size() == static_cast<size_t>(size) * size * 4 ? 0 : 255;
        for (size_t p = 0; worst < 255 && p < src.bgra.size(); p += 4) {
            const int a = src.bgra[p + 3];
            for (int c = 0; c < 3; ++c) {
                const int want = (src.bgra[p + c] * a + 43 * (255 - a) + 127) / 255;
                const int diff = std::abs(want - static_cast<int>(drawn[p + c]));
                worst = diff > worst ? diff : worst;
            }
        }
        Report(worst <= 3,
               (L"image list draws " + std::wstring(kToolbarIcons[i]) + L" at " + std::to_wstring(size)).c_str(),
               L"largest difference " + std::to_wstring(worst));
        IconPixels out;
        out.bgra.assign(drawn, drawn + static_cast<size_t>(size) * size * 4);
        Dump(dumpDir, std::wstring(kToolbarIcons[i]) + L"-drawn", size, out);
    }
    DeleteObject(toolbar);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    ImageList_Destroy(list);
}

// Lock pictures through GDI+, as the password panel loads them.
void CheckLockPictures() {
    using namespace Gdiplus;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        Report(false, L"GDI+ start");
        return;
    }
    for (const wchar_t* name : {L"lock-1.png", L"lock-2.png"}) {
        std::wstring path = ExeDirectory() + L"\\img\\" + name;
        GpImage* image = nullptr;
        GpStatus st = DllExports::GdipLoadImageFromFile(path.c_str(), &image);
        UINT w = 0, h = 0;
        PixelFormat format = 0;
        ARGB corner = 0xffffffff, middle = 0;
        if (st == Ok) {
            DllExports::GdipGetImageWidth(image, &w);
            DllExports::GdipGetImageHeight(image, &h);
            DllExports::GdipGetImagePixelFormat(image, &format);
            DllExports::GdipBitmapGetPixel(static_cast<GpBitmap*>(image), 0, 0, &corner);
            DllExports::GdipBitmapGetPixel(static_cast<GpBitmap*>(image), 40, 100, &middle);
            DllExports::GdipDisposeImage(image);
        }
        wchar_t detail[160];
        swprintf(detail, 160, L"status %d, %ux%u, format 0x%x, corner 0x%08x, body 0x%08x", static_cast<int>(st), w, h,
                 static_cast<unsigned>(format), static_cast<unsigned>(corner), static_cast<unsigned>(middle));
        bool ok = st == Ok && w == 128 && h == 128 && (format & PixelFormatAlpha) != 0 && (corner >> 24) == 0 &&
                  (middle >> 24) == 0xff;
        Report(ok, (std::wstring(L"img\\") + name).c_str(), detail);
    }
    GdiplusShutdown(token);
}

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style; // exactly
    int x, y, cx, cy;
};

struct ExpectedDialog {
    int id;
    const wchar_t* caption;
    DWORD style;
    int cx, cy;
    WORD points;
    std::vector<ExpectedControl> controls;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;

std::vector<ExpectedDialog> ExpectedDialogs() {
    return {
        {IDD_SETTINGS,
         L"設定",
         WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
         240,
         296,
         8,
         {
             {IDC_MAX_HISTORY_LABEL, L"Static", L"最大保存件数:", kChild, 10, 12, 80, 16},
             {IDC_MAX_HISTORY_EDIT, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER, 100, 10, 50, 20},
             {IDC_HISTORY_LIMIT_LABEL, L"Static", L"最大表示件数:", kChild, 10, 38, 80, 16},
             {IDC_HISTORY_LIMIT_EDIT, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_NUMBER, 100, 36, 50, 20},
             {IDC_DUPLICATE_LABEL, L"Static", L"重複ブロック:", kChild, 10, 64, 80, 16},
             {IDC_DUPLICATE_CHECK, L"Button", L"", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 100, 64, 20, 16},
             {IDC_AREA_LABEL, L"Static", L"クリック表示:", kChild, 10, 90, 80, 16},
             {IDC_AREA_COMBO, L"ComboBox", L"", kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 100, 88, 85, 100},
             {IDC_HOTKEY_LABEL, L"Static", L"ホットキー:", kChild, 10, 116, 80, 16},
             {IDC_HOTKEY_EDIT, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 100, 114, 130, 20},
             {IDC_FONT_LABEL, L"Static", L"リストフォント:", kChild, 10, 142, 80, 16},
             {IDC_FONT_BUTTON, L"Button", L"変更", kChild | WS_TABSTOP, 100, 138, 50, 22},
             {IDC_AUTOSTART_LABEL, L"Static", L"自動起動登録:", kChild, 10, 168, 80, 16},
             {IDC_AUTOSTART_CHECK, L"Button", L"", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 100, 168, 20, 16},
             {IDC_IGNORE_PROGRAMS_LABEL, L"Static", L"記録しないプログラム", kChild, 10, 194, 220, 10},
             {IDC_IGNORE_PROGRAMS_EDIT, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 205, 220,
              14},
             {IDC_PASTE_KEYS_LABEL, L"Static", L"貼り付けキー", kChild, 10, 226, 220, 10},
             {IDC_PASTE_KEYS_EDIT, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 237, 220, 14},
             {IDOK, L"Button", L"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 60, 266, 60, 22},
             {IDCANCEL, L"Button", L"キャンセル", kChild | WS_TABSTOP, 130, 266, 60, 22},
         }},
        {IDD_ITEM_EDIT,
         L"履歴編集",
         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT,
         300,
         300,
         9,
         {
             {IDC_ITEM_TEXT, L"Edit", L"",
              kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 10, 10, 280,
              250},
             {IDOK, L"Button", L"OK", kChild | WS_TABSTOP, 164, 270, 60, 20},
             {IDCANCEL, L"Button", L"キャンセル", kChild | WS_TABSTOP, 230, 270, 60, 20},
         }},
        {IDD_TAB_SETTINGS,
         L"タブの設定",
         WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
         200,
         130,
         10,
         {
             {IDC_TAB_NAME_LABEL, L"Static", L"タブ名:", kChild | WS_GROUP, 10, 12, 40, 10},
             {IDC_TAB_NAME, L"Edit", L"", kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 45, 10, 100, 14},
             {IDC_TAB_KIND_GROUP, L"Button", L"タブの種類", kChild | BS_GROUPBOX, 10, 32, 180, 65},
             {IDC_TAB_KIND_TEMPLATE, L"Button", L"定型文（登録テキストのコピー）",
              kChild | BS_AUTORADIOBUTTON | WS_GROUP, 20, 47, 150, 10},
             {IDC_TAB_KIND_MEMOLIST, L"Button", L"メモリスト（登録内容の編集画面表示）", kChild | BS_AUTORADIOBUTTON,
              20, 62, 150, 10},
             {IDC_TAB_KIND_MEMOPAD, L"Button", L"メモパッド（テキストの直接入力）", kChild | BS_AUTORADIOBUTTON, 20, 77,
              150, 10},
             {IDOK, L"Button", L"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 105, 50, 14},
             {IDCANCEL, L"Button", L"キャンセル", kChild | WS_TABSTOP, 110, 105, 50, 14},
         }},
    };
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CALLBACK TimedDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetTimer(dlg, 1, static_cast<UINT>(lp), nullptr);
        return TRUE;
    }
    if (msg == WM_TIMER || (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL))) {
        KillTimer(dlg, 1);
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}

std::wstring WindowText(HWND w) {
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    return buf;
}

// Reads a DLGTEMPLATEEX as stored in the executable.
class TemplateReader {
public:
    explicit TemplateReader(const unsigned char* p) : p_(p) {}
    WORD Word() {
        WORD v;
        std::memcpy(&v, p_, 2);
        p_ += 2;
        return v;
    }
    DWORD Dword() {
        DWORD v;
        std::memcpy(&v, p_, 4);
        p_ += 4;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *p_++; }
    std::wstring String() {
        std::wstring s;
        for (WORD c = Word(); c; c = Word()) {
            s += static_cast<wchar_t>(c);
        }
        return s;
    }
    // A string or, after 0xFFFF, an ordinal; ordinals of the system control classes become names.
    std::wstring StringOrOrdinal() {
        WORD first;
        std::memcpy(&first, p_, 2);
        if (first != 0xFFFF) {
            return String();
        }
        p_ += 2;
        switch (WORD ordinal = Word()) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
        default:
            return L"#" + std::to_wstring(ordinal);
        }
    }
    void AlignDword() {
        while (reinterpret_cast<uintptr_t>(p_) % 4) {
            ++p_;
        }
    }
    void Skip(size_t n) { p_ += n; }

private:
    const unsigned char* p_;
};

struct TemplateItem {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className, text;
};

// The template must hold exactly the expected styles, geometry, ids, classes and texts, in order.
void CheckTemplate(const ExpectedDialog& d) {
    const std::wstring name = L"dialog " + std::to_wstring(d.id) + L" template";
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(d.id), MAKEINTRESOURCEW(5));
    if (!res) {
        Report(false, name.c_str(), L"missing");
        return;
    }
    TemplateReader r(static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, res))));
    const WORD version = r.Word(), signature = r.Word();
    r.Dword(); // help id
    const DWORD exStyle = r.Dword(), style = r.Dword();
    const WORD count = r.Word();
    const short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
    const std::wstring menu = r.StringOrOrdinal(), cls = r.StringOrOrdinal(), caption = r.String();
    WORD points = 0;
    std::wstring face;
    if (style & DS_SETFONT) {
        points = r.Word();
        r.Word(); // weight
        r.Byte(); // italic
        r.Byte(); // character set
        face = r.String();
    }
    wchar_t detail[300];
    swprintf(detail, 300, L"\"%ls\" style 0x%08x ex 0x%x at %d,%d %dx%d, font %u \"%ls\", %u controls", caption.c_str(),
             static_cast<unsigned>(style), static_cast<unsigned>(exStyle), x, y, cx, cy, points, face.c_str(), count);
    Report(version == 1 && signature == 0xFFFF && style == d.style && exStyle == 0 && x == 0 && y == 0 && cx == d.cx &&
               cy == d.cy && menu.empty() && cls.empty() && caption == d.caption && points == d.points &&
               face == L"MS Shell Dlg" && count == d.controls.size(),
           name.c_str(), detail);

    for (size_t i = 0; i < count && i < d.controls.size(); ++i) {
        const ExpectedControl& e = d.controls[i];
        r.AlignDword();
        TemplateItem item;
        r.Dword(); // help id
        const DWORD itemEx = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Dword();
        item.className = r.StringOrOrdinal();
        item.text = r.StringOrOrdinal();
        r.Skip(r.Word()); // creation data
        swprintf(detail, 300, L"%ls %lu \"%ls\" style 0x%08x at %d,%d %dx%d", item.className.c_str(),
                 static_cast<unsigned long>(item.id), item.text.c_str(), static_cast<unsigned>(item.style), item.x,
                 item.y, item.cx, item.cy);
        const bool ok = item.id == static_cast<DWORD>(e.id) && lstrcmpiW(item.className.c_str(), e.className) == 0 &&
                        item.text == e.text && item.style == e.style && itemEx == 0 && item.x == e.x && item.y == e.y &&
                        item.cx == e.cx && item.cy == e.cy;
        Report(ok, (name + L" item " + std::to_wstring(i)).c_str(), detail);
    }
}

// The dialog can be created from its template, and every control shows its text.
void CheckLiveDialog(const ExpectedDialog& d) {
    const std::wstring name = L"dialog " + std::to_wstring(d.id) + L" created";
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(d.id), nullptr, QuietDialogProc, 0);
    if (!dlg) {
        Report(false, name.c_str(), L"CreateDialogParamW failed");
        return;
    }
    bool ok = WindowText(dlg) == d.caption;
    std::wstring detail = WindowText(dlg);
    for (const ExpectedControl& e : d.controls) {
        HWND c = GetDlgItem(dlg, e.id);
        wchar_t cls[64] = {};
        if (c) {
            GetClassNameW(c, cls, 64);
        }
        if (!c || WindowText(c) != e.text || lstrcmpiW(cls, e.className) != 0) {
            ok = false;
            detail += L", control " + std::to_wstring(e.id) + L" differs";
        }
    }
    Report(ok, name.c_str(), detail);
    DestroyWindow(dlg);
}

std::wstring VersionString(const void* block, const wchar_t* key) {
    std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + key;
    void* value = nullptr;
    UINT len = 0;
    if (VerQueryValueW(block, path.c_str(), &value, &len) && value) {
        return static_cast<const wchar_t*>(value);
    }
    return L"(none)";
}

void CheckVersionInfo() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(exe, &handle);
    std::vector<unsigned char> block(size);
    if (!size || !GetFileVersionInfoW(exe, 0, size, block.data())) {
        Report(false, L"version information", L"absent");
        return;
    }
    struct Pair {
        const wchar_t* key;
        const wchar_t* value;
    };
    for (Pair p :
         {Pair{L"CompanyName", L"Nomaclip"}, Pair{L"FileDescription", L"Nomaclip"}, Pair{L"FileVersion", L"0.1.0.0"},
          Pair{L"ProductName", L"Nomaclip"}, Pair{L"ProductVersion", L"0.1.0.0"},
          Pair{L"LegalCopyright", L"© 2026 Nomaclip"}, Pair{L"OriginalFilename", L"nomaclip.exe"}}) {
        std::wstring got = VersionString(block.data(), p.key);
        Report(got == p.value, (std::wstring(L"version ") + p.key).c_str(), got);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    bool fixedOk = VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed &&
                   fixed->dwFileVersionMS == 0x00000001 && fixed->dwFileVersionLS == 0 &&
                   fixed->dwProductVersionMS == 0x00000001 && fixed->dwFileType == VFT_APP;
    Report(fixedOk, L"version numbers 0.1.0.0");
    WORD* translation = nullptr;
    bool transOk =
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len) &&
        len >= 4 && translation[0] == 0x0411 && translation[1] == 1200;
    Report(transOk, L"version translation 0x0411, 1200");
}

void CheckManifest() {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    std::string text;
    if (res) {
        HGLOBAL mem = LoadResource(nullptr, res);
        text.assign(static_cast<const char*>(LockResource(mem)), SizeofResource(nullptr, res));
    }
    bool ok = text.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
              text.find("PerMonitorV2, PerMonitor") != std::string::npos && text.find("true/pm") != std::string::npos &&
              text.find("asInvoker") != std::string::npos;
    Report(ok, L"manifest resource 24/1");

    // The manifest is in effect: common controls 6 and per-monitor DPI awareness.
    DWORD major = 0;
    wchar_t comctlPath[MAX_PATH] = L"(not loaded)";
    if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
        GetModuleFileNameW(comctl, comctlPath, MAX_PATH);
        using DllGetVersionFn = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
        auto fn = reinterpret_cast<DllGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
        DLLVERSIONINFO v = {};
        v.cbSize = sizeof v;
        if (fn && SUCCEEDED(fn(&v))) {
            major = v.dwMajorVersion;
        }
    }
    // Wine's side-by-side copy reports 5.81 but is the one the manifest selects.
    const bool sideBySide = std::wcsstr(comctlPath, L"common-controls_6595b64144ccf1df_6.") != nullptr;
    Report(major == 6 || sideBySide, L"common controls 6", std::to_wstring(major) + L" from " + comctlPath);
    DPI_AWARENESS awareness = GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext());
    Report(awareness == DPI_AWARENESS_PER_MONITOR_AWARE, L"per-monitor DPI awareness",
           std::to_wstring(static_cast<int>(awareness)));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    if (argc == 4 && std::wcscmp(argv[1], L"--show") == 0) {
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(_wtoi(argv[2])), nullptr, TimedDialogProc,
                        static_cast<LPARAM>(_wtoi(argv[3])));
        return 0;
    }
    const std::wstring dumpDir = argc >= 2 ? std::wstring(argv[1]) : std::wstring();

    CheckToolbarIcons(dumpDir);
    CheckImageListDrawing(32, dumpDir);
    CheckImageListDrawing(48, dumpDir);
    CheckProgramIconFrames(dumpDir);
    CheckProgramIconOnTaskbars(dumpDir);
    CheckLockPictures();
    for (const ExpectedDialog& d : ExpectedDialogs()) {
        CheckTemplate(d);
        CheckLiveDialog(d);
    }
    CheckVersionInfo();
    CheckManifest();
    Print(std::to_wstring(Failures()) + L" failure(s)");
    return Failures();
}
