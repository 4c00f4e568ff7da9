#pragma once
// ListView: a report-view list whose rows are IListItem objects owned by the
// list. The control stores no texts: it asks the items when it draws.
#include "toolkit/Control.h"
#include "toolkit/Handles.h"

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zelko {

class IListItem {
public:
    virtual void SetText(int column, const std::wstring& text) = 0;
    // Takes ownership of bitmap, adds it to the list's image list and returns
    // the bitmap held before (now owned by the caller), or null.
    virtual HBITMAP SetImage(HBITMAP bitmap) = 0;
    virtual bool IsChecked() const = 0;
    virtual void SetData(void* data) = 0;
    virtual void* GetData() const = 0;
    // The number of items the list held when this one was added.
    virtual int GetIndex() const = 0;
    virtual ~IListItem() = default;
};

class ListView : public IControl {
public:
    struct ImageListRecord {
        ImageListHandle handle;
        int imageSize = 0;
    };

    class ListItemImp : public IListItem {
    public:
        ListItemImp(const ImageListRecord* imageList, int index);
        void SetText(int column, const std::wstring& text) override;
        HBITMAP SetImage(HBITMAP bitmap) override;
        bool IsChecked() const override { return checked_; }
        void SetData(void* data) override { data_ = data; }
        void* GetData() const override { return data_; }
        int GetIndex() const override { return index_; }

        // The wide text of a column; empty when there is none.
        const std::wstring& WideText(int column) const;
        // The text the control displays; creates an empty entry when missing.
        const std::wstring& DisplayText(int column) { return texts_[column]; }
        int ImageIndex() const { return imageIndex_; }
        void SetChecked(bool checked) { checked_ = checked; }

    private:
        std::map<int, std::wstring> texts_;
        std::wstring emptyText_;
        const ImageListRecord* imageList_; // the list's, not owned
        int imageIndex_ = -1;
        void* data_ = nullptr;
        bool checked_ = false;
        int index_;
        BitmapHandle bitmap_;
    };

    // Report view, single selection, grid lines, full-row select; check boxes when asked.
    ListView(IControl* parent, bool withCheckBoxes);
    ~ListView() override;

    LRESULT OnNotify(UINT code, NMHDR* record) override;
    // Lays out the children, then lets the control arrange its items.
    void OnSize() override;

    void SetDetailsView();
    // Grey background; yellowish (alternate) or bluish text background.
    void SetColors(bool alternate);
    // 32x32 32-bit images; becomes the control's small-image list.
    void CreateImageList();
    // Appends a column 100 pixels wide; its first sort is ascending.
    void AddColumn(const std::wstring& title);
    // Appends a row whose text and image the item supplies on demand.
    IListItem* AddItem(int& row);
    // Destroys every item and row; the image list keeps its images.
    void Clear();
    IListItem* GetSelectedItem() const;
    // The selected row, or -1.
    int SelectedRow() const;
    // Removes the row and destroys its item.
    void DeleteRow(int row);
    // Clears the check box of every row.
    void UncheckAll();
    // The row that shows the item with this data, or -1.
    int RowOfData(const void* data) const;
    // Focuses, selects and scrolls to row.
    void SelectRow(int row);
    // Items of all rows, in row order.
    std::vector<IListItem*> GetItems() const;
    // Sizes each column to its contents (and its header when useHeader); nothing without rows.
    void AutoSizeColumns(bool useHeader);
    // AutoSizeColumns(false), but no column narrower than its title plus `margin`.
    void FitColumnsToContentsAndTitles(int margin);
    // Sorts by column as a click on its header does: alternately ascending and descending.
    void SortByColumn(int column);

    int RowCount() const;
    int ColumnCount() const;
    int ImageSize() const { return imageSize_; }
    COLORREF BackColor() const { return backColor_; }
    COLORREF TextBackColor() const { return textBackColor_; }

    std::function<void(IListItem&)> onFocus;
    std::function<void(IListItem&)> onActivate;
    // A key pressed while the list has the focus (virtual-key code).
    std::function<void(WORD key)> onKeyDown;

private:
    ListItemImp* ItemOfRow(int row) const;

    std::vector<std::unique_ptr<ListItemImp>> items_; // in the order added
    std::map<int, bool> sortAscending_;
    std::unique_ptr<ImageListRecord> imageList_;
    COLORREF backColor_ = CLR_NONE;
    COLORREF textBackColor_ = CLR_NONE;
    int imageSize_ = 0;
};

} // namespace zelko
