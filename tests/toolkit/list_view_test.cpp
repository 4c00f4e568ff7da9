// The list view: texts on demand, sorting by column in natural order and
// clearing. Check boxes, focus, activation, thumbnails and fitting columns to
// their contents are tested through the editor's lists and its Result dialog.
#include "gui_helpers.h"

#include "toolkit/ListView.h"
#include "toolkit/NaturalOrder.h"

namespace zelko {
namespace {

class ListViewTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        list = std::make_unique<ListView>(app.get(), true);
        list->SetDetailsView();
        list->AddColumn(L"Name");
        list->AddColumn(L"Size");
    }
    IListItem* AddRow(const std::wstring& name, const std::wstring& size = L"") {
        int row = -1;
        IListItem* item = list->AddItem(row);
        EXPECT_EQ(row, list->RowCount() - 1);
        item->SetText(0, name);
        if (!size.empty()) item->SetText(1, size);
        return item;
    }
    LRESULT Send(UINT message, WPARAM wParam, const void* lParam) {
        return SendMessageW(list->window, message, wParam, reinterpret_cast<LPARAM>(lParam));
    }
    // The texts the control shows, as another program would read them.
    std::vector<std::wstring> Column(int column) {
        std::vector<std::wstring> texts;
        for (int row = 0; row < list->RowCount(); ++row) {
            wchar_t buffer[260]{};
            LVITEMW request{};
            request.iSubItem = column;
            request.pszText = buffer;
            request.cchTextMax = 260;
            Send(LVM_GETITEMTEXTW, row, &request);
            texts.push_back(buffer);
        }
        return texts;
    }
    // A click on a header item as the header control reports it.
    void ClickHeader(int column) {
        NMHEADERW click{};
        click.hdr.hwndFrom = reinterpret_cast<HWND>(Send(LVM_GETHEADER, 0, nullptr));
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(click.hdr.hwndFrom));
        click.hdr.code = HDN_ITEMCLICKW;
        click.iItem = column;
        Send(WM_NOTIFY, click.hdr.idFrom, &click);
    }

    std::unique_ptr<ListView> list;
};

using Texts = std::vector<std::wstring>;

TEST_F(ListViewTest, RowsShowItemTextsAndClearingRestartsTheIndices) {
    AddRow(L"tex2", L"64");
    IListItem* second = AddRow(L"road", L"128");
    EXPECT_EQ(Column(0), (Texts{L"tex2", L"road"}));
    EXPECT_EQ(Column(1), (Texts{L"64", L"128"}));
    list->SelectRow(1);
    EXPECT_EQ(list->GetSelectedItem(), second);

    list->Clear();
    EXPECT_TRUE(list->GetItems().empty());
    EXPECT_EQ(list->GetSelectedItem(), nullptr);
    EXPECT_EQ(AddRow(L"three")->GetIndex(), 0); // indices restart
    EXPECT_EQ(Column(0), Texts{L"three"});
}

TEST_F(ListViewTest, ColumnClicksSortNaturallyAndAlternate) {
    IListItem* a = AddRow(L"tex2", L"3");
    IListItem* b = AddRow(L"tex10", L"1");
    IListItem* c = AddRow(L"Tex1"); // no size: sorts as empty
    list->SelectRow(1);
    EXPECT_EQ(list->GetItems(), (std::vector<IListItem*>{a, b, c}));
    ClickHeader(0);
    EXPECT_EQ(Column(0), (Texts{L"Tex1", L"tex2", L"tex10"}));
    EXPECT_EQ(list->GetItems(), (std::vector<IListItem*>{c, a, b}));
    EXPECT_EQ(a->GetIndex(), 0); // the index of addition, not of the row
    EXPECT_EQ(list->GetSelectedItem(), b); // the selection follows its item
    EXPECT_EQ(SendMessageW(list->window, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED), 2);
    ClickHeader(0);
    EXPECT_EQ(Column(0), (Texts{L"tex10", L"tex2", L"Tex1"}));
    ClickHeader(0);
    EXPECT_EQ(Column(0), (Texts{L"Tex1", L"tex2", L"tex10"}));
    ClickHeader(1); // each column starts ascending
    EXPECT_EQ(Column(1), (Texts{L"", L"1", L"3"}));
}

// The comparison behind the sorting: numbers by value, case, leading zeros
// and repeated blanks ignored. Each pair is also checked reversed.
TEST(NaturalOrder, ComparesNumbersByValueIgnoringCaseZerosAndRepeatedBlanks) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    } cases[] = {
        {L"a9b", L"a10a", -1},     {L"x99999999999999999999", L"x100000000000000000000", -1}, // beyond any integer type
        {L"tex007a", L"TEX7A", 0}, {L"007", L"8", -1},
        {L"1.50", L"1.5", 0},      {L"v1.10", L"v1.9", -1}, // fractions
        {L"a \t b", L"a b", 0},    {L"a b", L"ab", -1}, // a single blank still counts
        {L"tex", L"tex1", -1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(NaturalCompare(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(NaturalCompare(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
    }
}

} // namespace
} // namespace zelko
