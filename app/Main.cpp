// Entry point: one instance, the hidden tool window, the tray icon, the hooks and the
// message loop, which also switches tabs with Left and Right.
#include "app/App.h"
#include "app/InputHooks.h"
#include "app/MainWindow.h"
#include "app/MessageLoop.h"
#include "app/StartupChecks.h"
#include "app/WindowSettings.h"
#include "core/UniqueHandles.h"
#include "resources/resource.h"
#include "storage/DataFile.h"
#include "storage/TextFile.h"
#include "ui/Ids.h"

#include <windows.h>
#include <commctrl.h>
#include <objidl.h> // the GDI+ headers expect what WIN32_LEAN_AND_MEAN leaves out
#include <gdiplus.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Nomaclip_Mutex";

void* LoadPicture(const wchar_t* name) {
    const std::wstring path = GetAppDirectory() + L"\\img\\" + name;
    Gdiplus::GpImage* image = nullptr;
    // A missing picture simply does not draw.
    if (Gdiplus::DllExports::GdipLoadImageFromFile(path.c_str(), &image) != Gdiplus::Ok)
        return nullptr;
    return image;
}

void DisposePicture(void*& picture) {
    if (picture)
        Gdiplus::DllExports::GdipDisposeImage(static_cast<Gdiplus::GpImage*>(picture));
    picture = nullptr;
}

// COM for the run on this thread (the start-up shortcut's shell link), when it started.
class ComSession {
public:
    ComSession() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComSession() {
        if (started_)
            CoUninitialize();
    }
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;

private:
    bool started_;
};

// GDI+ for the run, and the two lock pictures loaded with it; both go on every way out.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
        if (!started_)
            return;
        Pictures().setup = LoadPicture(L"lock-1.png");
        Pictures().unlock = LoadPicture(L"lock-2.png");
    }
    ~GdiplusSession() {
        DisposePicture(Pictures().setup);
        DisposePicture(Pictures().unlock);
        if (started_)
            Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// Started again while running: the user wants the window, so the running program shows it.
// It may still be making its window; it gets a second and a half.
void AskRunningInstanceToShow() {
    const UINT showRequest = RegisterWindowMessageW(kShowWindowMessage);
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (HWND running = FindWindowW(kMainWindowClass, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(running, &process);
            // The user started this process; the front is ours to hand on to the one that shows.
            AllowSetForegroundWindow(process);
            PostMessageW(running, showRequest, 0, 0);
            return;
        }
        Sleep(50);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // A portable program is often started from Downloads: no library is ever loaded from
    // beside the exe or from the current folder, only the system's own copies.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const ComSession com;
    const UniqueHandle mutex(CreateMutexW(nullptr, TRUE, kInstanceMutexName));
    const DWORD mutexError = GetLastError();
    // An elevated run's mutex cannot be had by a start without administrator rights
    // (ERROR_ACCESS_DENIED); one that may only wait on it still tells that it is there.
    const bool openable = !mutex && UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName));
    if (ClassifyInstanceStart(mutex != nullptr, mutexError, openable) == InstanceCheck::AlreadyRunning) {
        AskRunningInstanceToShow();
        return 0;
    }
    // Only the one instance may: a second start must not touch a write under way.
    auto recovered = std::make_unique<std::vector<std::wstring>>(SettleLeftoverWrites());
    const GdiplusSession gdiplus;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    HICON appIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = appIcon;
    windowClass.hIconSm = appIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassExW(&windowClass)) {
        MessageBoxW(nullptr, L"ウィンドウクラスの登録に失敗しました", L"Error", MB_ICONERROR);
        return 0;
    }

    // Read once: the window is made with it (WM_CREATE gets it too).
    AppSettings settings = LoadStartupSettings();
    const WindowRect& r = settings.Rect;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kMainWindowClass, L"Nomaclip",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, r.x, r.y, r.width, r.height,
                                  nullptr, nullptr, instance, &settings);
    int exitCode = 0;
    if (window) {
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));
        AddTrayIcon(window);
        // Without them the hotkey and the tray icon still work.
        StartInputHooks(window);
        ShowWindow(window, SW_HIDE);
        UpdateWindow(window);
        // The folder checks and a first run's welcome, once the loop runs.
        // lParam: the files kept as .recovered, owned by the handler once posted.
        if (PostMessageW(window, WM_APP_STARTED, FirstRunInThisFolder() ? 1 : 0,
                         reinterpret_cast<LPARAM>(recovered.get())))
            recovered.release();
        exitCode = RunMessageLoop();
        StopInputHooks();
        RemoveTrayIcon(window);
    }

    return exitCode;
}
