#pragma once
// The editor's modal dialogs: Export textures, text input, Change format,
// Options and Result. Each starts from a copy of its record and hands the
// values back only when it ends with OK.
#include "container/Transfer.h"
#include "editor/Settings.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelko {

struct TextInputRequest {
    std::wstring title; // appended to the caption; empty keeps the resource caption
    std::wstring label; // the prompt above the edit box
    std::wstring text; // starting text; the accepted text on OK
    uint32_t maxLength = 0;
    std::function<bool(const std::wstring&)> validator; // enables OK; required
};

struct ResultReport {
    std::wstring header;
    std::vector<std::wstring> messages;
};

// The Change format dialog's choices, in combo order.
struct FormatChoice {
    const wchar_t* text;
    uint32_t format;
};
extern const FormatChoice kFormatChoices[4];

// The Export textures dialog's combo texts, by export format index.
extern const wchar_t* const kExportFormatTexts[kExportFormatCount];

// Result codes of ShowOptionsDialog.
constexpr int kOptionsClosed = 0;
constexpr int kOptionsAccepted = 1;
constexpr int kOptionsEscaped = 2;

// True on OK; `options` is updated only then.
bool ShowExportDialog(HWND owner, ExportOptions& options);
// True on OK; `request.text` holds the accepted text. Throws std::invalid_argument without a validator.
bool ShowTextInputDialog(HWND owner, TextInputRequest& request);
// True on OK with the chosen code in `format`.
bool ShowFormatChangeDialog(HWND owner, uint32_t& format);
// kOptionsAccepted (values updated), kOptionsEscaped or kOptionsClosed.
int ShowOptionsDialog(HWND owner, EditorOptions& options);
void ShowResultDialog(HWND owner, const ResultReport& report);

// The message boxes the dialogs raise (no owner, information icon). Tests
// replace it to answer them without a real box.
using DialogMessageFunction = std::function<void(const std::wstring& text, const std::wstring& caption)>;
DialogMessageFunction& DialogMessageBox();

} // namespace zelko
