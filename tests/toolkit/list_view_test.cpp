// The list view: texts on demand, sorting by column, check boxes, focus and
// activation callbacks, column sizing and clearing.
#include "gui_helpers.h"

#include "toolkit/ListView.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelko {
namespace {

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<test::TestApplication>();
        ASSERT_NE(test::CreateTestWindow(*app), nullptr);
        list = std::make_unique<ListView>(app.get(), true);
        ASSERT_NE(list->window, nullptr);
        list->SetDetailsView();
        list->AddColumn(L"Name");
        list->AddColumn(L"Size");
    }
    void TearDown() override {
        if (app->window) DestroyWindow(app->window);
        test::DrainQuitMessage();
        list.reset();
    }

    IListItem* AddRow(const std::wstring& name, const std::wstring& size) {
        int row = -1;
        IListItem* item = list->AddItem(row);
        EXPECT_EQ(row, list->RowCount() - 1);
        item->SetText(0, name);
        item->SetText(1, size);
        return item;
    }

    // What the control shows, as a program reading it would see it.
    std::wstring CellText(int row, int column) {
        wchar_t buffer[260]{};
        LVITEMW request{};
        request.iSubItem = column;
        request.pszText = buffer;
        request.cchTextMax = 260;
        SendMessageW(list->window, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&request));
        return buffer;
    }

    std::vector<std::wstring> Column(int column) {
        std::vector<std::wstring> texts;
        for (int row = 0; row < list->RowCount(); ++row) texts.push_back(CellText(row, column));
        return texts;
    }

    // A click on a header item as the header control reports it to the list.
    void ClickHeader(int column) {
        NMHEADERW click{};
        click.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(list->window, LVM_GETHEADER, 0, 0));
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(click.hdr.hwndFrom));
        click.hdr.code = HDN_ITEMCLICKW;
        click.iItem = column;
        click.iButton = 0;
        SendMessageW(list->window, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }

    void SetCheck(int row, bool checked) {
        LVITEMW state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        SendMessageW(list->window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }

    int ColumnWidth(int column) {
        return static_cast<int>(SendMessageW(list->window, LVM_GETCOLUMNWIDTH, column, 0));
    }

    std::unique_ptr<test::TestApplication> app;
    std::unique_ptr<ListView> list;
};

TEST_F(ListViewTest, RowsShowTheTextsOfTheirItems) {
    IListItem* first = AddRow(L"tex2", L"64");
    IListItem* second = AddRow(L"road", L"128");
    second->SetText(3, std::string("unused"));
    EXPECT_EQ(CellText(0, 0), L"tex2");
    EXPECT_EQ(CellText(0, 1), L"64");
    EXPECT_EQ(CellText(1, 0), L"road");
    EXPECT_EQ(CellText(1, 1), L"128");
    // Texts live only in the item: a change shows without touching the control.
    first->SetText(0, std::string("renamed"));
    EXPECT_EQ(CellText(0, 0), L"renamed");
    EXPECT_EQ(first->GetText(0), "renamed");
    EXPECT_EQ(first->GetText(2), "");
    EXPECT_EQ(first->GetIndex(), 0);
    EXPECT_EQ(second->GetIndex(), 1);
    int data = 5;
    second->SetData(&data);
    EXPECT_EQ(second->GetData(), &data);
}

TEST_F(ListViewTest, NarrowTextsUseTheAnsiCodePage) {
    IListItem* item = AddRow(L"", L"");
    std::string ansi = "car\xE9";  // a character outside ASCII
    item->SetText(0, ansi);
    EXPECT_EQ(item->GetText(0), ansi);
    wchar_t expected[8]{};
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, expected, 8);
    EXPECT_EQ(CellText(0, 0), expected);
}

TEST_F(ListViewTest, ColumnClicksSortNaturallyAndAlternate) {
    AddRow(L"tex2", L"3");
    AddRow(L"tex10", L"1");
    AddRow(L"Tex1", L"2");
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"Tex1", L"tex2", L"tex10"}));
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"tex10", L"tex2", L"Tex1"}));
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"Tex1", L"tex2", L"tex10"}));
    // Each column keeps its own direction: its first click is ascending.
    ClickHeader(1);
    EXPECT_EQ(Column(1), (std::vector<std::wstring>{L"1", L"2", L"3"}));
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"tex10", L"Tex1", L"tex2"}));
}

TEST_F(ListViewTest, RowsWithoutTextInTheColumnSortAsEmpty) {
    AddRow(L"b", L"5");
    int row = -1;
    list->AddItem(row)->SetText(0, std::wstring(L"a"));  // no size text
    ClickHeader(1);
    EXPECT_EQ(Column(0), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST_F(ListViewTest, GetItemsFollowsTheRowOrderAfterASort) {
    IListItem* b = AddRow(L"b 10", L"");
    IListItem* c = AddRow(L"C", L"");
    IListItem* a = AddRow(L"b 9", L"");
    EXPECT_EQ(list->GetItems(), (std::vector<IListItem*>{b, c, a}));
    ClickHeader(0);
    EXPECT_EQ(list->GetItems(), (std::vector<IListItem*>{a, b, c}));
    EXPECT_EQ(a->GetIndex(), 2);  // the index of addition, not of the row
}

TEST_F(ListViewTest, SortKeepsTheSelectedItemSelected) {
    AddRow(L"z", L"");
    IListItem* selected = AddRow(L"m", L"");
    AddRow(L"a", L"");
    list->SelectRow(1);
    ClickHeader(0);
    EXPECT_EQ(list->GetSelectedItem(), selected);
    EXPECT_EQ(SendMessageW(list->window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 1);
}

TEST_F(ListViewTest, CheckBoxesSetAndClearTheItemFlag) {
    IListItem* first = AddRow(L"one", L"");
    IListItem* second = AddRow(L"two", L"");
    EXPECT_FALSE(second->IsChecked());
    SetCheck(1, true);
    EXPECT_TRUE(second->IsChecked());
    EXPECT_FALSE(first->IsChecked());
    SetCheck(1, false);
    EXPECT_FALSE(second->IsChecked());
}

TEST_F(ListViewTest, FocusedRowIsReportedWithItsItem) {
    AddRow(L"one", L"");
    IListItem* second = AddRow(L"two", L"");
    std::vector<IListItem*> focused;
    list->onFocus = [&](IListItem& item) { focused.push_back(&item); };
    list->SelectRow(1);
    ASSERT_FALSE(focused.empty());
    EXPECT_EQ(focused.back(), second);
    EXPECT_EQ(list->GetSelectedItem(), second);
}

TEST_F(ListViewTest, DoubleClickActivatesTheRowOnce) {
    AddRow(L"one", L"");
    IListItem* second = AddRow(L"two", L"");
    std::vector<IListItem*> activated;
    list->onActivate = [&](IListItem& item) { activated.push_back(&item); };
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageW(list->window, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&bounds)));
    LPARAM point = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    SendMessageW(list->window, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(activated[0], second);
}

TEST_F(ListViewTest, AutoSizeOnAnEmptyListChangesNothing) {
    list->AutoSizeColumns(true);
    list->AutoSizeColumns(false);
    EXPECT_EQ(ColumnWidth(0), 100);
    EXPECT_EQ(ColumnWidth(1), 100);

    AddRow(L"a rather long texture name that needs room", L"1");
    list->AutoSizeColumns(true);
    EXPECT_GT(ColumnWidth(0), 100);
}

TEST_F(ListViewTest, ClearRemovesRowsAndItemsAndRestartsIndices) {
    AddRow(L"one", L"");
    AddRow(L"two", L"");
    list->Clear();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_TRUE(list->GetItems().empty());
    EXPECT_EQ(list->GetSelectedItem(), nullptr);
    IListItem* again = AddRow(L"three", L"");
    EXPECT_EQ(again->GetIndex(), 0);
    EXPECT_EQ(CellText(0, 0), L"three");
    list->Clear();
    list->Clear();  // an empty list stays empty
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(ListViewTest, ColorsAndImageListAreSetOnTheControl) {
    list->SetColors(true);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list->window, LVM_GETBKCOLOR, 0, 0)), RGB(200, 200, 200));
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list->window, LVM_GETTEXTBKCOLOR, 0, 0)), RGB(236, 240, 178));
    list->SetColors(false);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list->window, LVM_GETTEXTBKCOLOR, 0, 0)), RGB(218, 233, 239));

    EXPECT_EQ(list->ImageSize(), 0);
    list->CreateImageList();
    EXPECT_EQ(list->ImageSize(), 32);
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(list->window, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(images, nullptr);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
}

HBITMAP MakeBitmap() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

TEST_F(ListViewTest, ImagesAreAddedAndSuppliedOnDemand) {
    list->CreateImageList();
    AddRow(L"zero", L"");
    IListItem* item = AddRow(L"one", L"");
    HBITMAP first = MakeBitmap();
    EXPECT_EQ(item->SetImage(first), nullptr);
    HBITMAP second = MakeBitmap();
    BitmapHandle handedBack(item->SetImage(second));
    EXPECT_EQ(handedBack.Get(), first);  // the caller owns the old one again

    LVITEMW request{};
    request.mask = LVIF_IMAGE;
    request.iItem = 1;
    SendMessageW(list->window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(request.iImage, 1);  // the second image added to the list
    request.iItem = 0;
    SendMessageW(list->window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(request.iImage, -1);
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(list->window, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(ImageList_GetImageCount(images), 2);
}

} // namespace
} // namespace zelko
