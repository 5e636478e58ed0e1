// Keyboard facts shared by the list and the dialogs.
#pragma once

#include "ui/Ids.h"

#include <windows.h>

#include <cstdint>

// Shift, Ctrl, Alt and the Windows keys, in their generic and left/right forms.
inline bool IsModifierKey(UINT virtualKey) {
    switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
        return true;
    default:
        return false;
    }
}

// RegisterHotKey's modifiers for the hotkey as settings.ini holds it (1 Alt, 2 Ctrl, 4 Shift,
// 8 Win; any other bit dropped), with MOD_NOREPEAT: a hotkey held down toggles the window once,
// not once per auto-repeat. 0 when none of the four is set.
inline UINT HotkeyRegistrationModifiers(uint32_t settingsBits) {
    const UINT modifiers = settingsBits & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
    return modifiers ? modifiers | MOD_NOREPEAT : 0;
}

// Registers the tool window's hotkey (id kHotkeyId). A key without a modifier is never
// registered: it would take that key from every program. False when nothing was registered.
inline bool RegisterToolHotkey(HWND window, uint32_t settingsBits, uint32_t key) {
    const UINT modifiers = HotkeyRegistrationModifiers(settingsBits);
    return modifiers && key && RegisterHotKey(window, kHotkeyId, modifiers, key);
}
