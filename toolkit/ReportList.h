#pragma once
// A dialog's list-view control in report mode, driven through its handle:
// the lists of the Result and Find dialogs, which belong to their templates
// rather than to a ListView object.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace zelko {

struct ReportColumn {
    const wchar_t* title;
    int width;
};

// Grid lines, whole-row selection, double buffering and the columns.
void SetUpReportList(HWND list, std::initializer_list<ReportColumn> columns);

// Replaces every row with `rows` (a text per column), drawing once at the
// end; a row's item data is its index.
void FillReportList(HWND list, const std::vector<std::vector<std::wstring>>& rows);

// The selected row, or -1.
int SelectedReportRow(HWND list);

// Sizes a column to its texts.
void FitReportColumn(HWND list, int column);

} // namespace zelko
