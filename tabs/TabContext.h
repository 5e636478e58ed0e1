// What the tab strip, the tab view and the sealing workflow work on, and what they ask of the
// window they live in: handed over once, when the window is made (InitTabs, tabs/TabsHost.h),
// and found here by every file of the tabs. The bottom of the folder: it includes none of them.
#pragma once

#include "core/Types.h"
#include "ui/Windowing.h"

#include <windows.h>

#include <functional>
#include <string>

struct TabsHost {
    HWND main = nullptr; // owner of every message box of the tabs
    HWND list = nullptr; // the item list, which the tab view fills
    AppState* state = nullptr;
    ViewState* view = nullptr;
    std::function<void()> layout;                  // lays the main window out anew
    std::function<void()> saveSettings;            // settings.ini with the window's rectangle
    std::function<HFONT()> listFont;               // the font of the list, the memo pad and the panel
    std::function<void(const std::wstring&)> tell; // a notification-area balloon
    // A conflict copy of settings.ini, merged into the live settings; false when it could not be.
    std::function<bool(const std::wstring& copyName)> absorbSettingsCopy;
    SecretCopy copySecret;            // Ctrl+C / Ctrl+X in the memo pad of a tab open for the run
    void* lockSetupPicture = nullptr; // GDI+ images "lock-1.png" and "lock-2.png"
    void* lockUnlockPicture = nullptr;
};

// Keeps what the window handed over (InitTabs does this first).
void SetTabsHost(const TabsHost& host);

// For the files of the tabs: what the window handed over.
const TabsHost& Host();
AppState& State();
ViewState& View();

// Tab t (0..3) is sealed: its file is encrypted and not opened in this run.
bool IsSealed(int t);
