#pragma once
// Window tests: a shown top-level window of the application class on the
// test's own thread, driven synchronously with SendMessage.
#include "toolkit/Application.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zelko::test {

// Records what reaches the top-level window's virtual operations.
struct TestApplication : Application {
    bool OnCreate() override { return true; }
    void OnCommand(WORD id, WORD) override { commands.push_back(id); }
    bool OnClose() override {
        ++closeRequests;
        return allowClose;
    }
    void OnDropFile(const std::wstring& path) override { droppedFiles.push_back(path); }

    std::vector<WORD> commands;
    std::vector<std::wstring> droppedFiles;
    int closeRequests = 0;
    bool allowClose = true;
};

// Empties the queue; true if a destroyed window's quit message was in it.
inline bool DrainQuitMessage() {
    MSG message{};
    bool quit = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            quit = true;
        else
            DispatchMessageW(&message);
    }
    return quit;
}

// An 800 x 600 window accepting dropped files, like the main window.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
            InitCommonControlsEx(&controls);
            return RegisterApplicationClass(GetModuleHandleW(nullptr), nullptr, nullptr);
        }();
        ASSERT_TRUE(registered);
        ASSERT_NE(CreateApplicationWindow(*app, L"Zelko toolkit test", WS_EX_ACCEPTFILES,
                                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 600),
                  nullptr);
        ShowWindow(app->window, SW_SHOW);
    }
    void TearDown() override {
        if (app->window) DestroyWindow(app->window);
        DrainQuitMessage();
    }

    std::unique_ptr<TestApplication> app = std::make_unique<TestApplication>();
};

} // namespace zelko::test
