// The status bar's parts and texts, and the log file behind it.
#include "gui_helpers.h"

#include "TempFolder.h"
#include "toolkit/Status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>

namespace zelko {
namespace {

class StatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<test::TestApplication>();
        ASSERT_NE(test::CreateTestWindow(*app), nullptr);
        status = std::make_unique<Status>(app.get());
        ASSERT_NE(status->window, nullptr);
        app->onResize = [this] { status->Resize(); };
        logFile = folder.path() / "log.txt";
        status->SetLogPath(logFile.wstring());
    }
    void TearDown() override {
        if (app->window) DestroyWindow(app->window);
        test::DrainQuitMessage();
        status.reset();
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
    std::filesystem::path logFile;
    std::unique_ptr<test::TestApplication> app;
    std::unique_ptr<Status> status;
};

TEST_F(StatusTest, PartsFollowTheClientWidth) {
    test::SetClientSize(app->window, 1000, 700);
    RECT client{};
    GetClientRect(app->window, &client);
    ASSERT_EQ(client.right, 1000);
    int edges[4]{};
    ASSERT_EQ(SendMessageW(status->window, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 4);
    EXPECT_EQ(edges[0], 600);
    EXPECT_EQ(edges[1], 750);
    EXPECT_EQ(edges[2], 920);
    EXPECT_EQ(edges[3], -1);

    // The bar docks at the bottom edge, across the whole width.
    RECT bar{};
    GetWindowRect(status->window, &bar);
    MapWindowPoints(HWND_DESKTOP, app->window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(bar.right - bar.left, 1000);
    RECT area{};
    app->GetClientArea(area);
    EXPECT_EQ(area.bottom, bar.top);
}

TEST_F(StatusTest, TextsGoToTheirParts) {
    status->Resize();
    status->SetText(L"Ready", 0, false);
    status->SetText(L"1 GLOBALB", 1, false);
    status->SetText(L"PC", 3, false);
    EXPECT_EQ(PartText(0), L"Ready");
    EXPECT_EQ(PartText(1), L"1 GLOBALB");
    EXPECT_EQ(PartText(2), L"");
    EXPECT_EQ(PartText(3), L"PC");
    EXPECT_FALSE(std::filesystem::exists(logFile));  // not logged
}

TEST_F(StatusTest, ReportsAppendTimeStampedLinesEndingInCrLf) {
    EXPECT_TRUE(status->IsLogEnabled());
    ASSERT_FALSE(std::filesystem::exists(logFile));
    status->SetText(L"Loaded 12 textures", 0, true);
    ASSERT_TRUE(std::filesystem::exists(logFile));  // created when missing
    status->WriteLog("ERROR: Invalid width");
    std::string text = LogText();
    std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \| ([^\r\n]*)\r\n)");
    std::vector<std::string> messages;
    auto begin = std::sregex_iterator(text.begin(), text.end(), line);
    size_t covered = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(static_cast<size_t>(it->position()), covered) << text;  // lines follow each other exactly
        covered += static_cast<size_t>(it->length());
        messages.push_back((*it)[1]);
    }
    EXPECT_EQ(covered, text.size()) << text;
    EXPECT_EQ(messages, (std::vector<std::string>{"Loaded 12 textures", "ERROR: Invalid width"}));
    EXPECT_EQ(PartText(0), L"Loaded 12 textures");
}

TEST_F(StatusTest, LogAppendsToAnExistingFile) {
    WriteTextFile(logFile, "earlier\r\n");
    status->WriteLog("next");
    std::string text = LogText();
    EXPECT_EQ(text.rfind("earlier\r\n", 0), 0u);
    EXPECT_TRUE(text.ends_with(" | next\r\n")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(StatusTest, LogOffShowsTheTextButWritesNothing) {
    status->SetLogEnabled(false);
    status->SetText(L"Saved", 0, true);
    status->WriteLog("direct");
    EXPECT_EQ(PartText(0), L"Saved");
    EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(StatusTest, UnopenableLogLosesTheLineSilently) {
    status->SetLogPath((folder.path() / "missing" / "log.txt").wstring());
    EXPECT_NO_THROW(status->SetText(L"Still shown", 0, true));
    EXPECT_EQ(PartText(0), L"Still shown");
}

TEST_F(StatusTest, DefaultLogIsInTheProgramFolder) {
    Status fresh(app.get());
    wchar_t program[MAX_PATH]{};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    auto expected = std::filesystem::path(program).parent_path() / "log.txt";
    EXPECT_EQ(std::filesystem::path(fresh.LogPath()), expected);
    EXPECT_TRUE(fresh.IsLogEnabled());
}

TEST_F(StatusTest, PumpMessagesHandlesPendingMessagesAndKeepsQuit) {
    int handled = 0;
    app->onChar = [&](unsigned int) { ++handled; };
    PostMessageW(app->window, WM_CHAR, L'a', 0);
    PostMessageW(app->window, WM_CHAR, L'b', 0);
    PumpMessages();
    EXPECT_EQ(handled, 2);
    MSG left{};
    EXPECT_FALSE(PeekMessageW(&left, app->window, WM_CHAR, WM_CHAR, PM_NOREMOVE));

    PostQuitMessage(3);
    PumpMessages();
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // left for the main loop
    EXPECT_EQ(quit.wParam, 3u);
}

} // namespace
} // namespace zelko
