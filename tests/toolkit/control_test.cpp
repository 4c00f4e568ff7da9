// The control layer: wrapping, resize order, command routing, closing, dropped
// files, the status bar and its log, and monitors. Resize constraints,
// accelerators and menus are tested through the editor's main window and its
// splitter.
#include "gui_helpers.h"

#include "TempFolder.h"
#include "toolkit/ListView.h"
#include "toolkit/Monitors.h"
#include "toolkit/Status.h"

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <regex>

namespace zelko {
namespace {

using ControlTest = test::WindowTest;

// {left, top, width, height} of a control in its parent's client coordinates.
std::vector<LONG> Placement(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST_F(ControlTest, ChildrenAreWrappedAndResizedBeforeTheirParent) {
    auto list = std::make_unique<ListView>(app.get(), false);
    EXPECT_EQ(IControl::FromWindow(list->window), list.get());
    RECT client{};
    GetClientRect(app->window, &client);
    EXPECT_EQ(list->placement.right, client.right); // fills the parent
    EXPECT_EQ(app->children, std::vector<IControl*>{list.get()});
    SetWindowPos(list->window, nullptr, 5, 6, 150, 120, SWP_NOZORDER); // no callback: as proposed
    EXPECT_EQ(Placement(list->window), (std::vector<LONG>{5, 6, 150, 120}));
    HWND orphan = list->window;
    list.reset();
    EXPECT_TRUE(app->children.empty());
    EXPECT_EQ(IControl::FromWindow(orphan), nullptr);
    SetWindowPos(orphan, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER); // must not reach the old object
    EXPECT_EQ(Placement(orphan)[2], 50);

    ListView first(app.get(), false), second(app.get(), false);
    // A size message lays out the children in order, then the window itself.
    std::vector<int> order;
    first.onResize = [&] { order.push_back(1); };
    second.onResize = [&] { order.push_back(2); };
    app->onResize = [&] { order.push_back(0); };
    SendMessageW(app->window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 500));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
}

// The program's child controls send no commands: only the top-level
// window's, from its menu and accelerators, are routed here.
TEST_F(ControlTest, MessagesReachTheOwningObjectsAndCloseAsksFirst) {
    SendMessageW(app->window, WM_COMMAND, MAKEWPARAM(10005, 0), 0);
    EXPECT_EQ(app->commands, std::vector<WORD>{10005});
    app->minTrackWidth = 640;
    app->minTrackHeight = 480;
    MINMAXINFO info{};
    SendMessageW(app->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x * 1000 + info.ptMinTrackSize.y, 640480);

    // Only the first of several dropped files is delivered; the window frees the drop.
    const wchar_t names[] = L"C:\\a\\first.bin\0C:\\a\\second.png\0C:\\a\\third.dds\0"; // ends in two nulls
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof names);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names, sizeof names);
    GlobalUnlock(memory);
    SendMessageW(app->window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(app->droppedFiles, std::vector<std::wstring>{L"C:\\a\\first.bin"});

    // Closing asks first: refused keeps the window, allowed ends the loop.
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
    EXPECT_TRUE(test::DrainQuitMessage());
}

class StatusTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        status = std::make_unique<Status>(app.get());
        status->Resize(); // its four fields across the window, as the main window has them
        status->SetLogPath(logFile.wstring());
    }
    std::wstring PartText(int part) {
        wchar_t buffer[256]{};
        SendMessageW(status->window, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    std::string LogText() {
        auto bytes = ReadFileBytes(logFile);
        return std::string(bytes.begin(), bytes.end());
    }

    TempFolder folder;
    std::filesystem::path logFile = folder.path() / "log.txt";
    std::unique_ptr<Status> status;
};

// The texts shown, and the log only while it is on.
TEST_F(StatusTest, TheLogTakesTimeStampedLinesOnlyWhileOn) {
    status->SetText(L"Ready", 0, false); // not logged
    status->SetText(L"PC", 3, false);
    EXPECT_EQ(PartText(0) + L"|" + PartText(2) + L"|" + PartText(3), L"Ready||PC");
    status->SetLogEnabled(false);
    status->SetText(L"Saved", 0, true);
    status->WriteLog("direct");
    EXPECT_EQ(PartText(0), L"Saved");
    EXPECT_FALSE(std::filesystem::exists(logFile));

    status->SetLogEnabled(true);
    status->SetText(L"Loaded 12 textures", 0, true);
    ASSERT_TRUE(std::filesystem::exists(logFile)); // created when missing
    status->WriteLog("ERROR: Invalid width");
    const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \| )";
    const std::regex lines(stamp + "Loaded 12 textures\r\n" + stamp + "ERROR: Invalid width\r\n");
    EXPECT_TRUE(std::regex_match(LogText(), lines)) << LogText();

    status->SetLogPath((folder.path() / "missing" / "log.txt").wstring());
    EXPECT_NO_THROW(status->SetText(L"Still shown", 0, true)); // the line is lost silently
    EXPECT_EQ(PartText(0), L"Still shown");
}

TEST(MonitorListTest, FitsNeedsOverlapAndAtMostTheUnionSize) {
    MonitorList monitors({RECT{0, 0, 1920, 1080}, RECT{1920, 0, 3200, 1024}});
    EXPECT_EQ(monitors.Union().right + monitors.Union().bottom, 3200 + 1080);
    // Inside; across both; partly off screen; empty; on no monitor; wider than all.
    const std::pair<RECT, bool> cases[] = {{{100, 100, 1124, 868}, true},  {{1800, 50, 2500, 700}, true},
                                           {{-500, -300, 200, 200}, true}, {{0, 0, 0, 0}, false},
                                           {{4000, 0, 5000, 700}, false},  {{0, 0, 3300, 500}, false}};
    for (const auto& [rect, fits] : cases) EXPECT_EQ(monitors.Fits(rect), fits) << rect.left << "," << rect.top;
    EXPECT_FALSE(MonitorList().Monitors().empty());
}

} // namespace
} // namespace zelko
