#include "ui/ItemEditDialog.h"

INT_PTR OpenItemEditDialog(HWND, ItemEditRequest&) {
    return IDCANCEL;
}
