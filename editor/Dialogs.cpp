#include "editor/Dialogs.h"

#include "editor/Ids.h"
#include "texture/TextureObject.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ReportList.h"

#include <commctrl.h>

#include <stdexcept>

namespace zelko {

const FormatChoice kFormatChoices[4] = {
    {L"DXT1", kFormatDXT1},
    {L"DXT3", kFormatDXT3},
    {L"DXT5", kFormatDXT5},
    {L"RGBA", kFormatARGB},
};

const wchar_t* const kExportFormatTexts[kExportFormatCount] = {
    L"DirectDraw Surface (DDS) (*.dds)",  L"Bitmap (*.bmp)", L"GIF (*.gif)", L"TIFF (*.tif)", L"JPEG (*.jpg)",
    L"Portable Network Graphics (*.png)", L"TARGA (*.tga)",
};

DialogMessageFunction& DialogMessageBox() {
    static DialogMessageFunction show = [](const std::wstring& text, const std::wstring& caption) {
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
    };
    return show;
}

namespace {

constexpr int kMaxDialogText = 255;

void Refuse(const wchar_t* text, const wchar_t* caption) {
    if (DialogMessageBox()) DialogMessageBox()(text, caption);
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[kMaxDialogText + 1] = {};
    GetDlgItemTextW(dialog, id, text, kMaxDialogText + 1);
    return text;
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void Check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

// Runs a dialog template whose procedure keeps `state` in the dialog's user
// data from WM_INITDIALOG on; Handler::Message answers every message.
template <typename State>
INT_PTR RunDialog(HWND owner, int resource, State& state) {
    DLGPROC procedure = [](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* current = reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
        return current ? current->Message(dialog, message, wParam, lParam) : FALSE;
    };
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), owner, procedure,
                           reinterpret_cast<LPARAM>(&state));
}

struct ExportDialog {
    ExportOptions values;
    std::wstring folder;

    INT_PTR Message(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) {
            HWND combo = GetDlgItem(dialog, IDC_FORMAT_COMBO);
            for (const wchar_t* text : kExportFormatTexts) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(text));
            const int format = values.format >= 0 && values.format < kExportFormatCount ? values.format : 0;
            SendMessageW(combo, CB_SETCURSEL, format, 0);
            folder = values.folder.wstring();
            SetDlgItemTextW(dialog, IDC_EXPORT_FOLDER, folder.c_str());
            Check(dialog, IDC_EXPORT_OVERWRITE, values.overwrite);
            Check(dialog, IDC_EXPORT_HASH_NAMES, values.hashWhenTruncated);
            return TRUE;
        }
        if (message != WM_COMMAND) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_EXPORT_BROWSE: {
            std::wstring chosen = ShowFolderPicker(dialog, L"Select output folder for texture export",
                                                   FolderButton::NewFolder, folder);
            if (!chosen.empty()) {
                folder = chosen;
                SetDlgItemTextW(dialog, IDC_EXPORT_FOLDER, folder.c_str());
            }
            return TRUE;
        }
        case IDOK:
            if (folder.empty()) {
                Refuse(L"The output folder is not specified", L"Error");
                return TRUE;
            }
            values.format = int(SendDlgItemMessageW(dialog, IDC_FORMAT_COMBO, CB_GETCURSEL, 0, 0));
            values.overwrite = IsChecked(dialog, IDC_EXPORT_OVERWRITE);
            values.hashWhenTruncated = IsChecked(dialog, IDC_EXPORT_HASH_NAMES);
            values.folder = folder;
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
        }
    }
};

struct TextInputDialog {
    TextInputRequest values;
    bool ready = false; // edits before this are the dialog's own filling

    INT_PTR Message(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) {
            if (!values.title.empty()) SetWindowTextW(dialog, (L"ZRC-Zelko by korvane | " + values.title).c_str());
            HWND edit = GetDlgItem(dialog, IDC_TEXT_EDIT);
            SendMessageW(edit, EM_LIMITTEXT, values.maxLength, 0);
            SetDlgItemTextW(dialog, IDC_TEXT_LABEL, values.label.c_str());
            SetWindowTextW(edit, values.text.c_str());
            SetFocus(edit);
            SendMessageW(edit, EM_SETSEL, 0, -1);
            ready = true;
            return FALSE; // the focus is set
        }
        if (message != WM_COMMAND) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_TEXT_EDIT:
            if (HIWORD(wParam) == EN_CHANGE && ready) {
                EnableWindow(GetDlgItem(dialog, IDOK), values.validator(ItemText(dialog, IDC_TEXT_EDIT)));
            }
            return TRUE;
        case IDOK: {
            // Enter reaches here even while the button is greyed.
            if (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) return TRUE;
            std::wstring text = ItemText(dialog, IDC_TEXT_EDIT);
            if (text.empty()) {
                Refuse(L"Text cannot be empty", L"Error");
                return TRUE;
            }
            values.text = std::move(text);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
        }
    }
};

struct FormatChangeDialog {
    uint32_t format = 0;

    INT_PTR Message(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        HWND combo = GetDlgItem(dialog, IDC_FORMAT_COMBO);
        if (message == WM_INITDIALOG) {
            for (const FormatChoice& choice : kFormatChoices) {
                const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(choice.text));
                if (choice.format == format) SendMessageW(combo, CB_SETCURSEL, index, 0);
            }
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        }
        if (message != WM_COMMAND) return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK: {
            const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            wchar_t text[64] = {};
            if (selected != CB_ERR && SendMessageW(combo, CB_GETLBTEXTLEN, selected, 0) < 64) {
                SendMessageW(combo, CB_GETLBTEXT, selected, LPARAM(text));
            }
            for (const FormatChoice& choice : kFormatChoices) {
                if (std::wstring(text) == choice.text) {
                    format = choice.format;
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
            }
            Refuse(L"Select texture format first", L"Format change");
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
        }
    }
};

struct OptionsDialog {
    EditorOptions values;

    INT_PTR Message(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_INITDIALOG:
            Check(dialog, IDC_OPTION_AUTO_OPEN, values.autoOpenLast);
            Check(dialog, IDC_OPTION_BACKUP, values.autoBackup);
            Check(dialog, IDC_OPTION_CACHE, values.useCache);
            Check(dialog, IDC_OPTION_LOGS, values.saveLogs);
            return TRUE;
        case WM_CLOSE: EndDialog(dialog, kOptionsClosed); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                values = {IsChecked(dialog, IDC_OPTION_AUTO_OPEN), IsChecked(dialog, IDC_OPTION_BACKUP),
                          IsChecked(dialog, IDC_OPTION_CACHE), IsChecked(dialog, IDC_OPTION_LOGS)};
                EndDialog(dialog, kOptionsAccepted);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) { // Escape; the close box comes as WM_CLOSE
                EndDialog(dialog, kOptionsEscaped);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
        }
    }
};

struct ResultDialog {
    const ResultReport* report = nullptr;

    INT_PTR Message(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) {
            SetDlgItemTextW(dialog, IDC_RESULT_HEADER, report->header.c_str());
            HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
            SetUpReportList(list, {{L"Message", 100}});
            std::vector<std::vector<std::wstring>> rows;
            for (const std::wstring& text : report->messages) rows.push_back({text});
            FillReportList(list, rows);
            FitReportColumn(list, 0);
            return TRUE;
        }
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
};

} // namespace

bool ShowExportDialog(HWND owner, ExportOptions& options) {
    ExportDialog dialog{options, {}};
    if (RunDialog(owner, IDD_EXPORT, dialog) != IDOK) return false;
    options = dialog.values;
    return true;
}

bool ShowTextInputDialog(HWND owner, TextInputRequest& request) {
    if (!request.validator) throw std::invalid_argument("a text input request needs a validator");
    TextInputDialog dialog{request};
    if (RunDialog(owner, IDD_TEXT_INPUT, dialog) != IDOK) return false;
    request.text = dialog.values.text;
    return true;
}

bool ShowFormatChangeDialog(HWND owner, uint32_t& format) {
    FormatChangeDialog dialog{format};
    if (RunDialog(owner, IDD_FORMAT_CHANGE, dialog) != IDOK) return false;
    format = dialog.format;
    return true;
}

int ShowOptionsDialog(HWND owner, EditorOptions& options) {
    OptionsDialog dialog{options};
    const int result = int(RunDialog(owner, IDD_OPTIONS, dialog));
    if (result == kOptionsAccepted) options = dialog.values;
    return result == kOptionsAccepted || result == kOptionsEscaped ? result : kOptionsClosed;
}

void ShowResultDialog(HWND owner, const ResultReport& report) {
    ResultDialog dialog{&report};
    RunDialog(owner, IDD_RESULT, dialog);
}

} // namespace zelko
