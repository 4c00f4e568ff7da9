#include "toolkit/ReportList.h"

#include <commctrl.h>

#include "toolkit/Control.h"

namespace zelko {

void SetUpReportList(HWND list, std::initializer_list<ReportColumn> columns) {
    const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    int index = 0;
    for (const ReportColumn& c : columns) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(c.title);
        column.cx = c.width;
        SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&column));
    }
}

void FillReportList(HWND list, const std::vector<std::vector<std::wstring>>& rows) {
    {
        RedrawOff redraw(list);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        for (size_t row = 0; row < rows.size(); ++row) {
            for (size_t column = 0; column < rows[row].size(); ++column) {
                LVITEMW item{};
                item.iItem = int(row);
                item.iSubItem = int(column);
                item.pszText = const_cast<wchar_t*>(rows[row][column].c_str());
                if (column == 0) {
                    item.mask = LVIF_TEXT | LVIF_PARAM;
                    item.lParam = LPARAM(row);
                    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
                } else {
                    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
                }
            }
        }
    }
    InvalidateRect(list, nullptr, TRUE);
}

int SelectedReportRow(HWND list) { return int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

void FitReportColumn(HWND list, int column) { SendMessageW(list, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE); }

} // namespace zelko
