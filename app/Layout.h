// The toolbar and the layout of the tool window: toolbar on top, the tab strip below it,
// the content area (list, memo pad or password panel) filling the rest.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>

// The 15 toolbar icons of the img folder, in image-list order.
enum ToolbarImage : int {
    IMG_TOP_ON,
    IMG_TOP_OFF,
    IMG_PIN_ON,
    IMG_PIN_OFF,
    IMG_PAUSE_ON,
    IMG_PAUSE_OFF,
    IMG_MOVE_TOP_ON,
    IMG_MOVE_TOP_OFF,
    IMG_CLEAR_ALL,
    IMG_BACKUP,
    IMG_SETTINGS,
    IMG_AUTO_PASTE_ON,
    IMG_AUTO_PASTE_OFF,
    IMG_QUEUE_ON,
    IMG_QUEUE_OFF,
    IMG_COUNT
};

// File names of the toolbar icons, by ToolbarImage.
extern const wchar_t* const kToolbarIconFiles[IMG_COUNT];

// The image a toggle button shows for its flag; -1 for commands without one.
int ToggleImage(int command, bool on);

// Width of the stretchable gap that puts the last two buttons at the right edge, from the
// client width and the item rectangles of the button before the gap and the two after it.
int ToolbarGapWidth(int clientWidth, const RECT& beforeGap, const RECT& firstAfter, const RECT& lastAfter);

// Creates the toolbar (child 100) with its image list; images follow the current flags.
HWND CreateToolbar(HWND mainWindow);

// Icons, buttons and spacing anew for the tool window's dots per inch.
void RescaleToolbar(int dpi);

// Gives a toggle button the image and the checked state for its flag.
void UpdateToggleImage(int command, bool on);

// Paints the toolbar, dark or in the high-contrast theme's colours (NM_CUSTOMDRAW forwarded by
// the main window).
LRESULT OnToolbarCustomDraw(NMCUSTOMDRAW* draw);

// High contrast went on or off, or the system's colours changed (WM_SETTINGCHANGE,
// WM_SYSCOLORCHANGE): the controls and the whole window are painted anew in the colours now.
void ApplySystemColours(HWND mainWindow);

// Places toolbar, tab strip, content and password panel for the current size and tab.
void LayoutMainWindow(HWND mainWindow);

// The toolbar's current outer height.
int ToolbarHeight();

// Destroys the toolbar's image list (the toolbar itself goes with the main window).
void DestroyToolbarImages();
