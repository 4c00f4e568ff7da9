#include "toolkit/ListView.h"

#include "toolkit/NaturalOrder.h"

namespace zelko {
namespace {

constexpr DWORD kListStyle = 0x5004000C; // child, visible, sizing border, show selection always, single selection
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
constexpr int kColumnWidth = 100;
constexpr int kImageSize = 32;

struct SortRequest {
    int column;
    bool ascending;
};

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM request) {
    const auto* sort = reinterpret_cast<const SortRequest*>(request);
    const auto* a = reinterpret_cast<const ListView::ListItemImp*>(first);
    const auto* b = reinterpret_cast<const ListView::ListItemImp*>(second);
    int order = NaturalCompare(a->WideText(sort->column), b->WideText(sort->column));
    return sort->ascending ? order : -order;
}

} // namespace

ListView::ListItemImp::ListItemImp(const ImageListRecord* imageList, int index)
    : imageList_(imageList), index_(index) {}

void ListView::ListItemImp::SetText(int column, const std::wstring& text) { texts_[column] = text; }

const std::wstring& ListView::ListItemImp::WideText(int column) const {
    auto found = texts_.find(column);
    return found == texts_.end() ? emptyText_ : found->second;
}

HBITMAP ListView::ListItemImp::SetImage(HBITMAP bitmap) {
    HBITMAP previous = bitmap_.Release();
    bitmap_.Reset(bitmap);
    if (imageList_ && imageList_->handle && bitmap) {
        int index = ImageList_Add(imageList_->handle.Get(), bitmap, nullptr);
        if (index >= 0) imageIndex_ = index;
    }
    return previous;
}

ListView::ListView(IControl* parent, bool withCheckBoxes) : IControl(parent, WC_LISTVIEWW, kListStyle) {
    if (!window) return;
    DWORD exStyle = kListExStyle | (withCheckBoxes ? LVS_EX_CHECKBOXES : 0);
    SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, exStyle, exStyle);
}

ListView::~ListView() {
    // Rows must not outlive the items their parameters point to.
    if (window) SendMessageW(window, LVM_DELETEALLITEMS, 0, 0);
}

void ListView::SetDetailsView() {
    if (window) SendMessageW(window, LVM_SETVIEW, LV_VIEW_DETAILS, 0);
}

void ListView::SetColors(bool alternate) {
    backColor_ = RGB(200, 200, 200);
    textBackColor_ = alternate ? RGB(236, 240, 178) : RGB(218, 233, 239);
    SendMessageW(window, LVM_SETBKCOLOR, 0, backColor_);
    SendMessageW(window, LVM_SETTEXTBKCOLOR, 0, textBackColor_);
}

void ListView::CreateImageList() {
    auto record = std::make_unique<ImageListRecord>();
    record->handle.Reset(ImageList_Create(kImageSize, kImageSize, ILC_COLOR32, 2, 10));
    record->imageSize = kImageSize;
    // Without the shared style the control would destroy the list too; the
    // record is its only owner.
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SendMessageW(window, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(record->handle.Get()));
    imageList_ = std::move(record);
    imageSize_ = kImageSize;
}

void ListView::AddColumn(const std::wstring& title) {
    int index = ColumnCount();
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumnWidth;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    SendMessageW(window, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    sortAscending_[index] = true;
}

IListItem* ListView::AddItem(int& row) {
    auto item = std::make_unique<ListItemImp>(imageList_.get(), static_cast<int>(items_.size()));
    LVITEMW entry{};
    entry.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    entry.iItem = RowCount();
    entry.pszText = LPSTR_TEXTCALLBACKW;
    entry.iImage = I_IMAGECALLBACK;
    entry.lParam = reinterpret_cast<LPARAM>(item.get());
    row = static_cast<int>(SendMessageW(window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
    items_.push_back(std::move(item));
    return items_.back().get();
}

void ListView::Clear() {
    if (RowCount() > 0) {
        SendMessageW(window, WM_SETREDRAW, FALSE, 0);
        // Rows go first: their parameters point at the items.
        SendMessageW(window, LVM_DELETEALLITEMS, 0, 0);
        items_.clear();
        SendMessageW(window, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window, nullptr, FALSE);
    }
    items_.clear();
}

int ListView::RowCount() const { return window ? static_cast<int>(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0)) : 0; }

int ListView::ColumnCount() const {
    if (!window) return 0;
    auto header = reinterpret_cast<HWND>(SendMessageW(window, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

ListView::ListItemImp* ListView::ItemOfRow(int row) const {
    if (row < 0 || !window) return nullptr;
    LVITEMW entry{};
    entry.mask = LVIF_PARAM;
    entry.iItem = row;
    if (!SendMessageW(window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry))) return nullptr;
    return reinterpret_cast<ListItemImp*>(entry.lParam);
}

IListItem* ListView::GetSelectedItem() const { return ItemOfRow(SelectedRow()); }

int ListView::SelectedRow() const {
    if (!window) return -1;
    return static_cast<int>(SendMessageW(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::UncheckAll() {
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(window, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&state));
}

int ListView::RowOfData(const void* data) const {
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        if (ListItemImp* item = ItemOfRow(row); item && item->GetData() == data) return row;
    }
    return -1;
}

void ListView::DeleteRow(int row) {
    ListItemImp* item = ItemOfRow(row);
    if (!item) return;
    // The row goes first: its parameter points at the item.
    SendMessageW(window, LVM_DELETEITEM, row, 0);
    std::erase_if(items_, [&](const std::unique_ptr<ListItemImp>& owned) { return owned.get() == item; });
}

void ListView::SelectRow(int row) {
    LVITEMW state{};
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    SendMessageW(window, LVM_ENSUREVISIBLE, row, FALSE);
}

std::vector<IListItem*> ListView::GetItems() const {
    std::vector<IListItem*> result;
    int count = RowCount();
    result.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        if (ListItemImp* item = ItemOfRow(row)) result.push_back(item);
    }
    return result;
}

void ListView::AutoSizeColumns(bool useHeader) {
    if (RowCount() == 0) return;
    int columns = ColumnCount();
    for (int column = 0; column < columns; ++column) {
        SendMessageW(window, LVM_SETCOLUMNWIDTH, column, useHeader ? LVSCW_AUTOSIZE_USEHEADER : LVSCW_AUTOSIZE);
    }
}

void ListView::FitColumnsToContentsAndTitles(int margin) {
    AutoSizeColumns(false);
    for (int column = 0; column < ColumnCount(); ++column) {
        wchar_t title[64] = {};
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = title;
        info.cchTextMax = 64;
        SendMessageW(window, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
        const int titleWidth = int(SendMessageW(window, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title)));
        const int width = int(SendMessageW(window, LVM_GETCOLUMNWIDTH, column, 0));
        if (width < titleWidth + margin) SendMessageW(window, LVM_SETCOLUMNWIDTH, column, titleWidth + margin);
    }
}

void ListView::SortByColumn(int column) {
    bool up = sortAscending_.try_emplace(column, true).first->second;
    SortRequest request{column, up};
    SendMessageW(window, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(&CompareRows));
    sortAscending_[column] = !up;
    int selected = static_cast<int>(SendMessageW(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected >= 0) SelectRow(selected);
}

void ListView::OnSize() {
    IControl::OnSize();
    SendMessageW(window, LVM_ARRANGE, LVA_DEFAULT, 0);
}

LRESULT ListView::OnNotify(UINT code, NMHDR* record) {
    switch (code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(record);
        auto* item = reinterpret_cast<ListItemImp*>(info->item.lParam);
        if (!item) item = ItemOfRow(info->item.iItem);
        if (!item) return 0;
        if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
            lstrcpynW(info->item.pszText, item->DisplayText(info->item.iSubItem).c_str(), info->item.cchTextMax);
        }
        if (info->item.mask & LVIF_IMAGE) info->item.iImage = item->ImageIndex();
        return 0;
    }
    case LVN_ITEMACTIVATE: {
        auto* activate = reinterpret_cast<NMITEMACTIVATE*>(record);
        if (ListItemImp* item = ItemOfRow(activate->iItem); item && onActivate) onActivate(*item);
        return 0;
    }
    case LVN_KEYDOWN:
        if (onKeyDown) onKeyDown(reinterpret_cast<NMLVKEYDOWN*>(record)->wVKey);
        return 0;
    case LVN_COLUMNCLICK: SortByColumn(reinterpret_cast<NMLISTVIEW*>(record)->iSubItem); return 0;
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(record);
        if (!(change->uChanged & LVIF_STATE)) return 0;
        ListItemImp* item = ItemOfRow(change->iItem);
        if (!item) return 0;
        UINT stateImage = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
        if (stateImage == 1) item->SetChecked(false);
        if (stateImage == 2) item->SetChecked(true);
        if ((change->uNewState & LVIS_FOCUSED) && onFocus) onFocus(*item);
        return 0;
    }
    default: return IControl::OnNotify(code, record);
    }
}

} // namespace zelko
