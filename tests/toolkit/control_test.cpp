// The control layer: window procedures, resize constraints, command routing,
// closing, dropped files, accelerators and the small utilities.
#include "gui_helpers.h"

#include "format/Errors.h"
#include "toolkit/ListView.h"
#include "toolkit/Menu.h"
#include "toolkit/Monitors.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <memory>

namespace zelko {
namespace {

using test::TestApplication;

// A wrapped child control that records its command notifications.
class RecordingControl : public IControl {
public:
    using IControl::IControl;
    void OnCommand(WORD id, WORD code) override { commandCodes.push_back(code); }
    std::vector<WORD> commandCodes;
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<TestApplication>();
        ASSERT_NE(test::CreateTestWindow(*app), nullptr);
    }
    void TearDown() override {
        if (app->window) DestroyWindow(app->window);
        test::DrainQuitMessage();
    }

    static int Width(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r.right - r.left;
    }

    std::unique_ptr<TestApplication> app;
};

TEST_F(ControlTest, ChildIsCreatedFillingTheParentAndJoinsItsChildren) {
    ListView list(app.get(), false);
    ASSERT_NE(list.window, nullptr);
    EXPECT_EQ(GetParent(list.window), app->window);
    EXPECT_EQ(list.className, L"SysListView32");
    EXPECT_EQ(list.parent, app.get());
    EXPECT_NE(list.previousProc, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(list.window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&list));
    EXPECT_EQ(IControl::FromWindow(list.window), &list);
    RECT client{};
    GetClientRect(app->window, &client);
    EXPECT_EQ(list.placement.right, client.right);
    EXPECT_EQ(list.placement.bottom, client.bottom);
    ASSERT_EQ(app->children.size(), 1u);
    EXPECT_EQ(app->children[0], &list);
    EXPECT_EQ(app->previousProc, nullptr);
}

TEST_F(ControlTest, ControlWithoutClassHasNoWindowAndRefusesAreaQueries) {
    IControl empty(app.get(), L"", 0);
    EXPECT_EQ(empty.window, nullptr);
    EXPECT_EQ(empty.className, L"<NULL>");
    RECT area{};
    EXPECT_THROW(empty.GetWindowArea(area), Error);
    EXPECT_THROW(empty.GetClientArea(area), Error);
    try {
        empty.GetClientArea(area);
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Invalid handle");
    }
}

TEST_F(ControlTest, PositionCallbackClampsADragToItsMinimumWidth) {
    ListView list(app.get(), false);
    list.onPositionChanging = [](RectPositions& r) {
        if (r.right - r.left < 200) r.right = r.left + 200;
    };
    int resized = 0;
    list.onResize = [&] { ++resized; };
    SetWindowPos(list.window, nullptr, 10, 10, 150, 300, SWP_NOZORDER);
    EXPECT_EQ(Width(list.window), 200);
    SetWindowPos(list.window, nullptr, 0, 0, 120, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(list.window), 200);
    SetWindowPos(list.window, nullptr, 0, 0, 260, 300, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Width(list.window), 260);
    EXPECT_GE(resized, 1);  // the size message ran onResize
}

TEST_F(ControlTest, WithoutPositionCallbackTheProposedRectangleIsApplied) {
    ListView list(app.get(), false);
    SetWindowPos(list.window, nullptr, 5, 6, 150, 120, SWP_NOZORDER);
    RECT r{};
    GetWindowRect(list.window, &r);
    MapWindowPoints(HWND_DESKTOP, app->window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 150);
    EXPECT_EQ(r.bottom - r.top, 120);
}

TEST_F(ControlTest, ChildCommandReachesTheObjectOfTheSendingWindow) {
    RecordingControl panel(app.get(), L"STATIC", WS_CHILD | WS_VISIBLE);
    RecordingControl button(&panel, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
    int clicks = 0;
    button.onClick = [&] { ++clicks; };
    SendMessageW(button.window, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.commandCodes, std::vector<WORD>{BN_CLICKED});
    EXPECT_TRUE(panel.commandCodes.empty());
    EXPECT_TRUE(app->commands.empty());

    // A sender without a toolkit object: the receiving control handles it.
    HWND plain = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, panel.window, nullptr, nullptr, nullptr);
    SendMessageW(panel.window, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(plain));
    EXPECT_EQ(panel.commandCodes, std::vector<WORD>{BN_CLICKED});
    DestroyWindow(plain);
}

TEST_F(ControlTest, ApplicationDispatchesCommandsCharactersAndMinimumSize) {
    SendMessageW(app->window, WM_COMMAND, MAKEWPARAM(10005, 0), 0);
    EXPECT_EQ(app->commands, std::vector<WORD>{10005});

    std::vector<unsigned int> typed;
    app->onChar = [&](unsigned int c) { typed.push_back(c); };
    SendMessageW(app->window, WM_CHAR, L'z', 0);
    EXPECT_EQ(typed, std::vector<unsigned int>{L'z'});

    app->minTrackWidth = 640;
    app->minTrackHeight = 480;
    MINMAXINFO info{};
    SendMessageW(app->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 640);
    EXPECT_EQ(info.ptMinTrackSize.y, 480);
    EXPECT_EQ(SendMessageW(app->window, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(ControlTest, CloseRefusedKeepsTheWindowAndAllowedEndsTheLoop) {
    app->allowClose = false;
    SendMessageW(app->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app->closeRequests, 1);
    EXPECT_TRUE(IsWindow(app->window));
    EXPECT_FALSE(test::DrainQuitMessage());

    app->allowClose = true;
    HWND window = app->window;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(app->window, nullptr);
    EXPECT_TRUE(test::DrainQuitMessage());  // destruction posts the quit message
}

HGLOBAL MakeDrop(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const auto& path : paths) list += path + L'\0';
    list += L'\0';
    size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

TEST_F(ControlTest, OnlyTheFirstOfSeveralDroppedFilesIsDelivered) {
    HGLOBAL drop = MakeDrop({L"C:\\games\\first.bin", L"C:\\games\\second.png", L"C:\\games\\third.dds"});
    SendMessageW(app->window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);  // the window frees it
    EXPECT_EQ(app->droppedFiles, std::vector<std::wstring>{L"C:\\games\\first.bin"});
}

TEST_F(ControlTest, ClientAreaLeavesOutTheStatusBarStrip) {
    RECT before{};
    app->GetClientArea(before);
    RECT client{};
    GetClientRect(app->window, &client);
    EXPECT_EQ(before.bottom, client.bottom);

    RecordingControl bar(app.get(), L"msctls_statusbar32", WS_CHILD | WS_VISIBLE | CCS_BOTTOM);
    CallWindowProcW(bar.previousProc, bar.window, WM_SIZE, 0, 0);  // the bar docks itself
    RECT barArea{};
    GetWindowRect(bar.window, &barArea);
    ASSERT_GT(barArea.bottom - barArea.top, 0);
    RECT after{};
    app->GetClientArea(after);
    EXPECT_EQ(after.bottom, client.bottom - (barArea.bottom - barArea.top));
}

TEST_F(ControlTest, SizeMessageLaysOutChildrenInOrder) {
    std::vector<int> order;
    ListView first(app.get(), false);
    ListView second(app.get(), false);
    first.onResize = [&] { order.push_back(1); };
    second.onResize = [&] { order.push_back(2); };
    app->onResize = [&] { order.push_back(0); };
    SendMessageW(app->window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 500));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
}

TEST_F(ControlTest, DestroyedObjectLeavesAWorkingWindow) {
    auto list = std::make_unique<ListView>(app.get(), false);
    HWND handle = list->window;
    list.reset();
    EXPECT_TRUE(app->children.empty());
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(IControl::FromWindow(handle), nullptr);
    SetWindowPos(handle, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);  // must not reach the old object
    EXPECT_EQ(Width(handle), 50);
}

TEST_F(ControlTest, AcceleratorsTranslateToCommands) {
    app->AddAccelerator('O', 10000);
    app->AddFindAccelerator(10019);
    ASSERT_EQ(app->Accelerators().size(), 2u);
    EXPECT_EQ(app->Accelerators()[0].flags, FVIRTKEY | FCONTROL);
    EXPECT_EQ(app->Accelerators()[1].flags, FVIRTKEY);
    EXPECT_EQ(app->Accelerators()[1].key, VK_F3);
    HACCEL table = app->BuildAcceleratorTable();
    ASSERT_NE(table, nullptr);
    ACCEL copied[2]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, copied, 2), 2);
    EXPECT_EQ(copied[0].key, 'O');
    EXPECT_EQ(copied[0].cmd, 10000);

    MSG f3{app->window, WM_KEYDOWN, VK_F3, 0, 0, {}};
    EXPECT_TRUE(TranslateAcceleratorW(app->window, table, &f3));
    MSG plainO{app->window, WM_KEYDOWN, 'O', 0, 0, {}};
    EXPECT_FALSE(TranslateAcceleratorW(app->window, table, &plainO));  // Control is not down

    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG controlO{app->window, WM_KEYDOWN, 'O', 0, 0, {}};
    EXPECT_TRUE(TranslateAcceleratorW(app->window, table, &controlO));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(app->commands, (std::vector<WORD>{10019, 10000}));
}

TEST(ApplicationTest, CommandLineIsSplitByThePlatformRules) {
    auto arguments = SplitCommandLine(L"zelko.exe \"C:\\My Games\\GLOBALB.BUN\"");
    EXPECT_EQ(arguments, (std::vector<std::wstring>{L"zelko.exe", L"C:\\My Games\\GLOBALB.BUN"}));
    EXPECT_EQ(SplitCommandLine(L"zelko.exe a b").size(), 3u);
    EXPECT_FALSE(CommandLineArguments().empty());  // the program itself
}

TEST(MenuTest, BuildsPopupsItemsAndSeparators) {
    Menu bar;
    Menu& file = bar.AddPopup(L"&File");
    file.AddItem(L"&Open\tCtrl + O", 10000);
    file.AddSeparator();
    file.AddItem(L"E&xit", 10006);
    bar.AddPopup(L"&About").AddItem(L"&About", 10022);

    ASSERT_EQ(GetMenuItemCount(bar.Handle()), 2);
    EXPECT_EQ(GetSubMenu(bar.Handle(), 0), file.Handle());
    wchar_t text[64]{};
    GetMenuStringW(bar.Handle(), 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&File");
    ASSERT_EQ(GetMenuItemCount(file.Handle()), 3);
    EXPECT_EQ(GetMenuItemID(file.Handle(), 0), 10000u);
    EXPECT_EQ(GetMenuState(file.Handle(), 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuItemID(file.Handle(), 2), 10006u);
    GetMenuStringW(file.Handle(), 10000, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Open\tCtrl + O");
}

TEST_F(ControlTest, GreyedMenuCommandIsNotDeliveredByItsAccelerator) {
    Menu bar;
    bar.AddPopup(L"&File").AddItem(L"&Save\tCtrl + S", 10003);
    SetMenu(app->window, bar.Detach());
    EnableMenuItem(GetMenu(app->window), 10003, MF_BYCOMMAND | MF_GRAYED);
    app->AddAccelerator('S', 10003);
    HACCEL table = app->BuildAcceleratorTable();
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG controlS{app->window, WM_KEYDOWN, 'S', 0, 0, {}};
    TranslateAcceleratorW(app->window, table, &controlS);
    EXPECT_TRUE(app->commands.empty());
    EnableMenuItem(GetMenu(app->window), 10003, MF_BYCOMMAND | MF_ENABLED);
    TranslateAcceleratorW(app->window, table, &controlS);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(app->commands, std::vector<WORD>{10003});
}

TEST(MonitorListTest, FitsNeedsOverlapAndAtMostTheUnionSize) {
    MonitorList monitors({RECT{0, 0, 1920, 1080}, RECT{1920, 0, 3200, 1024}});
    EXPECT_EQ(monitors.Union().right, 3200);
    EXPECT_EQ(monitors.Union().bottom, 1080);
    EXPECT_TRUE(monitors.Fits(RECT{100, 100, 1124, 868}));
    EXPECT_TRUE(monitors.Fits(RECT{1800, 50, 2500, 700}));     // across both
    EXPECT_TRUE(monitors.Fits(RECT{-500, -300, 200, 200}));    // partly off screen
    EXPECT_FALSE(monitors.Fits(RECT{0, 0, 0, 0}));             // the missing-settings rectangle
    EXPECT_FALSE(monitors.Fits(RECT{4000, 0, 5000, 700}));     // on no monitor
    EXPECT_FALSE(monitors.Fits(RECT{0, 0, 3300, 500}));        // wider than all together
    EXPECT_FALSE(monitors.Fits(RECT{0, -10, 500, 1080}));      // taller than all together
}

TEST(MonitorListTest, EnumeratesTheDesktop) {
    MonitorList monitors;
    ASSERT_FALSE(monitors.Monitors().empty());
    const RECT& first = monitors.Monitors().front();
    EXPECT_TRUE(monitors.Fits(RECT{first.left, first.top, first.left + 100, first.top + 100}));
}

} // namespace
} // namespace zelko
