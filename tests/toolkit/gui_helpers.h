#pragma once
// Shared set-up of the window tests: a top-level window of the application
// class on the test's own thread, driven synchronously with SendMessage.
#include "toolkit/Application.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace zelko::test {

// Records what reaches the virtual operations of the top-level window.
class TestApplication : public Application {
public:
    bool OnCreate() override { return true; }
    void OnCommand(WORD id, WORD code) override { commands.push_back(id); }
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

inline void PrepareWindowing() {
    static bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        return RegisterApplicationClass(GetModuleHandleW(nullptr), nullptr, nullptr);
    }();
    (void)done;
}

// Shown, 800 x 600, accepting dropped files like the main window.
inline HWND CreateTestWindow(Application& application) {
    PrepareWindowing();
    HWND window = CreateApplicationWindow(application, L"Zelko toolkit test", WS_EX_ACCEPTFILES,
                                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 600);
    if (window) ShowWindow(window, SW_SHOW);
    return window;
}

// Removes what the destruction of a test window left in the queue (its quit message).
inline bool DrainQuitMessage() {
    MSG message{};
    bool quit = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) quit = true;
        else DispatchMessageW(&message);
    }
    return quit;
}

// Makes the window's client area exactly width x height pixels.
inline void SetClientSize(HWND window, int width, int height) {
    RECT outer{}, inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    int extraWidth = (outer.right - outer.left) - inner.right;
    int extraHeight = (outer.bottom - outer.top) - inner.bottom;
    SetWindowPos(window, nullptr, 0, 0, width + extraWidth, height + extraHeight, SWP_NOMOVE | SWP_NOZORDER);
}

} // namespace zelko::test
