#include "ui/SettingsDialog.h"

INT_PTR OpenSettingsDialog(HWND) {
    return IDCANCEL;
}
