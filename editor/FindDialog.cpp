#include "editor/FindDialog.h"

#include "editor/Ids.h"
#include "format/Text.h"
#include "toolkit/ReportList.h"

#include <commctrl.h>

namespace zelko {

namespace {
constexpr int kMaxPattern = 254;
}

bool FindDialog::Create(HWND owner, SearchHandler search, GoToHandler goTo) {
    search_ = std::move(search);
    goTo_ = std::move(goTo);
    window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FIND), owner, &Procedure,
                                reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

FindDialog::~FindDialog() {
    if (window && IsWindow(window)) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        DestroyWindow(window);
    }
}

INT_PTR CALLBACK FindDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<FindDialog*>(lParam)->window = dialog;
    }
    auto* self = reinterpret_cast<FindDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->Message(message, wParam, lParam) : FALSE;
}

INT_PTR FindDialog::Message(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND list = GetDlgItem(window, IDC_FIND_LIST);
    switch (message) {
    case WM_INITDIALOG: {
        SetUpReportList(list, {{L"File ID", 100}, {L"Texture", 300}});
        SendDlgItemMessageW(window, IDC_FIND_TEXT, EM_LIMITTEXT, kMaxPattern, 0);
        return TRUE;
    }
    case WM_CLOSE: ShowWindow(window, SW_HIDE); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FIND_TEXT:
            if (HIWORD(wParam) == EN_CHANGE) Search();
            return TRUE;
        case IDC_FIND_MATCH_CASE:
            if (HIWORD(wParam) == BN_CLICKED) Search();
            return TRUE;
        case IDOK: // Enter: on a row of the list it goes there
            if (GetFocus() == list) GoTo(SelectedReportRow(list));
            return TRUE;
        case IDCANCEL: ShowWindow(window, SW_HIDE); return TRUE; // Escape
        default: return FALSE;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_FIND_LIST && header->code == LVN_ITEMACTIVATE) {
            GoTo(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
            return TRUE;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

void FindDialog::Show() {
    if (clearOnNextShow_) {
        clearOnNextShow_ = false;
        SetDlgItemTextW(window, IDC_FIND_TEXT, L"");
        rows_.clear();
        FillList();
    }
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, IDC_FIND_TEXT));
}

void FindDialog::Forget() {
    clearOnNextShow_ = true;
    // The rows point at records that are about to go.
    rows_.clear();
    FillList();
}

void FindDialog::Search() {
    wchar_t text[kMaxPattern + 1] = {};
    GetDlgItemTextW(window, IDC_FIND_TEXT, text, kMaxPattern + 1);
    // Through the names' code page, as a typed name is stored: a character
    // the names cannot hold becomes the '?' it would be stored as.
    const std::u16string pattern = Utf16FromCp1252(Cp1252FromWide(text));
    const bool matchCase = IsDlgButtonChecked(window, IDC_FIND_MATCH_CASE) == BST_CHECKED;
    rows_ = pattern.empty() || !search_ ? std::vector<const FindRecord*>{} : search_(pattern, matchCase);
    FillList();
}

void FindDialog::FillList() {
    std::vector<std::vector<std::wstring>> rows;
    rows.reserve(rows_.size());
    for (const FindRecord* record : rows_) {
        rows.push_back({std::to_wstring(uint64_t(record->entryId) + 1), WideFromCp1252(record->name)});
    }
    FillReportList(GetDlgItem(window, IDC_FIND_LIST), rows);
}

void FindDialog::GoTo(int row) {
    if (row < 0 || size_t(row) >= rows_.size() || !goTo_) return;
    goTo_(*rows_[size_t(row)]);
}

} // namespace zelko
