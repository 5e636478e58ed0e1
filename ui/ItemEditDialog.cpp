#include "ui/ItemEditDialog.h"

#include "core/EntryEdits.h"
#include "resources/resource.h"
#include "ui/WinHandles.h"
#include "ui/WindowPlacement.h"
#include "ui/Windowing.h"

#include <string>

namespace {

constexpr wchar_t kFontProperty[] = L"EditDlgFont";
constexpr UINT_PTR kSecretEditSubclass = 1;
constexpr wchar_t kNewEntryLabel[] = L"アイテムのラベル";

// Measured from the controls as the dialog opens, used while it is resized.
struct EditLayout {
    int marginX = 0;
    int marginY = 0;
    int gapX = 0;
    int gapY = 0;
    int buttonWidth = 0;
    int buttonHeight = 0;
    SIZE minimumTrack{}; // the window size it opened with
};
EditLayout g_layout;

ItemEditRequest* RequestOf(HWND dialog) {
    return reinterpret_cast<ItemEditRequest*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// The entries of the request's tab, or nullptr when they are not in memory.
std::vector<HistoryItem>* ItemsOf(const ItemEditRequest& request) {
    if (!request.slot || ContentUnavailable(*request.slot))
        return nullptr;
    return &request.slot->items;
}

// The row of the entry the request names, or -1 when it is no longer there.
int RowOf(const ItemEditRequest& request) {
    const std::vector<HistoryItem>* items = ItemsOf(request);
    return items ? FindEntry(*items, request.entry) : -1;
}

// The text box of an entry of a tab open for the run: what it copies is a secret (dwRefData: the
// request, which outlives the dialog).
LRESULT CALLBACK SecretEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_COPY || msg == WM_CUT) {
        CopyEditSelectionAsSecret(edit, msg == WM_CUT, reinterpret_cast<const ItemEditRequest*>(data)->copySecret);
        return 0;
    }
    if (msg == WM_NCDESTROY)
        return EndSubclass(edit, SecretEditProc, kSecretEditSubclass, msg, wParam, lParam);
    return DefSubclassProc(edit, msg, wParam, lParam);
}

RECT ChildRect(HWND dialog, int id) {
    RECT rect{};
    if (HWND child = GetDlgItem(dialog, id)) {
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

void SetDialogFont(HWND dialog, HFONT listFont) {
    LOGFONTW font{};
    if (!listFont || !GetObjectW(listFont, sizeof(font), &font)) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            font = metrics.lfMessageFont;
    }
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    if (font.lfHeight == 0) {
        UniqueWindowDC screen(nullptr);
        font.lfHeight = -MulDiv(9, screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96, 72);
    }
    HFONT created = CreateFontIndirectW(&font);
    if (!created)
        return; // the resource font stays
    SetPropW(dialog, kFontProperty, created);
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
    for (int id : {IDC_ITEM_TEXT, IDOK, IDCANCEL})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
}

void MeasureLayout(HWND dialog) {
    const RECT edit = ChildRect(dialog, IDC_ITEM_TEXT);
    const RECT ok = ChildRect(dialog, IDOK);
    const RECT cancel = ChildRect(dialog, IDCANCEL);
    g_layout.marginX = edit.left;
    g_layout.marginY = edit.top;
    g_layout.gapY = ok.top - edit.bottom > 0 ? ok.top - edit.bottom : 7;
    g_layout.gapX = cancel.left - ok.right > 0 ? cancel.left - ok.right : 7;
    g_layout.buttonWidth = ok.right - ok.left;
    g_layout.buttonHeight = ok.bottom - ok.top;
    RECT window{};
    GetWindowRect(dialog, &window);
    // Smaller than this the text box would vanish behind the buttons; half the opening size
    // still leaves room for a few lines.
    g_layout.minimumTrack = {(window.right - window.left) / 2, (window.bottom - window.top) / 2};
}

void EndEdit(HWND dialog, INT_PTR result) {
    if (HANDLE font = RemovePropW(dialog, kFontProperty))
        DeleteObject(font);
    EndDialog(dialog, result);
}

BOOL OnInitDialog(HWND dialog, ItemEditRequest* request) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(request));
    SetDialogFont(dialog, request ? request->font : nullptr);

    std::wstring label;
    std::wstring text;
    bool newEntry = false;
    const int row = request ? RowOf(*request) : -1;
    if (row >= 0) {
        const HistoryItem& entry = (*ItemsOf(*request))[static_cast<size_t>(row)];
        label = entry.label;
        text = entry.text;
        if (request->tab != kHistoryTab && row == 0 && label.empty() && text.empty()) {
            newEntry = true;
            label = kNewEntryLabel;
        }
    }
    const bool history = request && request->tab == kHistoryTab;
    SetWindowTextW(dialog, newEntry ? L"アイテムの新規登録" : history ? L"履歴の編集" : L"アイテムの編集");
    SetDlgItemTextW(dialog, IDC_ITEM_TEXT, ComposeEditText(label, text).c_str());

    MeasureLayout(dialog);
    PlaceDialogOverOwner(dialog);
    HWND edit = GetDlgItem(dialog, IDC_ITEM_TEXT);
    if (request && request->copySecret)
        Subclass(edit, SecretEditProc, kSecretEditSubclass, reinterpret_cast<DWORD_PTR>(request));
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, 0);
    return FALSE; // the focus was set here
}

void OnSize(HWND dialog, int width, int height) {
    HWND edit = GetDlgItem(dialog, IDC_ITEM_TEXT);
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (!edit || !ok || !cancel || g_layout.buttonWidth <= 0)
        return;
    const int editWidth = width - 2 * g_layout.marginX;
    const int editHeight = height - 2 * g_layout.marginY - g_layout.buttonHeight - g_layout.gapY;
    if (editWidth > 10 && editHeight > 10)
        SetWindowPos(edit, nullptr, g_layout.marginX, g_layout.marginY, editWidth, editHeight, SWP_NOZORDER);
    const int buttonTop = editHeight + g_layout.gapY + g_layout.marginY;
    const int cancelLeft = width - g_layout.buttonWidth - g_layout.marginX;
    const int okLeft = cancelLeft - g_layout.buttonWidth - g_layout.gapX;
    SetWindowPos(ok, nullptr, okLeft, buttonTop, g_layout.buttonWidth, g_layout.buttonHeight, SWP_NOZORDER);
    SetWindowPos(cancel, nullptr, cancelLeft, buttonTop, g_layout.buttonWidth, g_layout.buttonHeight, SWP_NOZORDER);
    InvalidateRect(dialog, nullptr, TRUE);
}

void OnOk(HWND dialog) {
    ItemEditRequest* request = RequestOf(dialog);
    if (!request)
        return;
    HWND edit = GetDlgItem(dialog, IDC_ITEM_TEXT);
    LabelAndBody parsed = SplitLabelAndBody(WindowText(edit));
    if (parsed.body.empty()) {
        MessageBoxW(dialog,
                    parsed.label.empty() ? L"本文とラベルが空のため保存できません。"
                                         : L"本文が空のため保存できません。",
                    L"エラー", MB_ICONWARNING);
        SetFocus(edit);
        return;
    }
    if (std::vector<HistoryItem>* items = ItemsOf(*request)) {
        const int row = FindEntry(*items, request->entry);
        if (row >= 0) {
            HistoryItem& entry = (*items)[static_cast<size_t>(row)];
            entry.text = std::move(parsed.body);
            entry.label = std::move(parsed.label);
        } else {
            // Deleted or cut while the dialog was open: what the user typed is kept all the same.
            HistoryItem entry;
            entry.text = std::move(parsed.body);
            entry.label = std::move(parsed.label);
            request->entry = entry.id;
            InsertEntry(*items, request->tab == kHistoryTab, std::move(entry));
        }
    }
    EndEdit(dialog, IDOK);
}

INT_PTR CALLBACK ItemEditProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<ItemEditRequest*>(lParam));
    case WM_SIZE:
        OnSize(dialog, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_GETMINMAXINFO:
        if (g_layout.minimumTrack.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {g_layout.minimumTrack.cx, g_layout.minimumTrack.cy};
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            OnOk(dialog);
        else if (LOWORD(wParam) == IDCANCEL)
            EndEdit(dialog, IDCANCEL);
        return TRUE;
    case WM_CLOSE:
        EndEdit(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR OpenItemEditDialog(HWND owner, ItemEditRequest& request) {
    g_layout = EditLayout{};
    return DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(IDD_ITEM_EDIT), owner, ItemEditProc,
                           reinterpret_cast<LPARAM>(&request));
}
