// Keyboard facts shared by the list and the dialogs.
#pragma once

#include <windows.h>

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
