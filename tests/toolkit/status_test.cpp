// The status bar's parts and texts, and the log file behind it.
#include "gui_helpers.h"

#include "TempFolder.h"
#include "toolkit/Status.h"

#include <filesystem>
#include <regex>

namespace zelko {
namespace {

class StatusTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        status = std::make_unique<Status>(app.get());
        app->onResize = [this] { status->Resize(); };
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

TEST_F(StatusTest, PartsFollowTheClientWidthAndTheLogTakesTimeStampedLinesOnlyWhileOn) {
    RECT outer{}, inner{};
    GetWindowRect(app->window, &outer);
    GetClientRect(app->window, &inner);
    SetWindowPos(app->window, nullptr, 0, 0, 1000 + (outer.right - outer.left) - inner.right,
                 700 + (outer.bottom - outer.top) - inner.bottom, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(app->window, &client);
    ASSERT_EQ(client.right, 1000);
    int edges[4]{};
    ASSERT_EQ(SendMessageW(status->window, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 4);
    EXPECT_EQ((std::vector<int>(edges, edges + 4)), (std::vector<int>{600, 750, 920, -1}));
    // Docked at the bottom edge, across the width; the client area leaves it out.
    RECT bar{}, area{};
    GetWindowRect(status->window, &bar);
    MapWindowPoints(HWND_DESKTOP, app->window, reinterpret_cast<POINT*>(&bar), 2);
    app->GetClientArea(area);
    EXPECT_EQ((std::vector<LONG>{bar.top, bar.bottom, bar.right - bar.left}),
              (std::vector<LONG>{area.bottom, client.bottom, 1000}));

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

} // namespace
} // namespace zelko
