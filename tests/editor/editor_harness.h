#pragma once
// Runs the editor in process: the window and its message loop on the test's
// main thread, the test script on a second thread that drives the window with
// SendMessage and runs checks of the window's state on the window's thread.
#include "TempFolder.h"
#include "container/SampleArchive.h"
#include "editor/Zelko.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace zelko::test {

// A message-only window on the main thread that runs the functions sent to it.
class UiRunner {
public:
    UiRunner() {
        static const bool registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &UiRunner::Procedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"ZelkoTestRunner";
            return RegisterClassW(&windowClass) != 0;
        }();
        (void)registered;
        window = CreateWindowExW(0, L"ZelkoTestRunner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~UiRunner() {
        if (window) DestroyWindow(window);
    }
    UiRunner(const UiRunner&) = delete;
    UiRunner& operator=(const UiRunner&) = delete;

    void Run(const std::function<void()>& work) const {
        SendMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(&work));
    }

    HWND window = nullptr;

private:
    static LRESULT CALLBACK Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP) {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        }
        return DefWindowProcW(handle, message, wParam, lParam);
    }
};

// A top-down 32-bit DIB header of the given size, for window captures.
inline BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// What the script thread uses to drive and inspect the editor.
class Driver {
public:
    Driver(Zelko& editor, const UiRunner& runner) : editor(editor), runner_(runner), window(editor.window) {}

    // Runs work on the window's thread and hands back its result.
    template <typename Work>
    auto Ui(Work&& work) -> decltype(work()) {
        if constexpr (std::is_void_v<decltype(work())>) {
            runner_.Run([&] { work(); });
        } else {
            decltype(work()) result{};
            runner_.Run([&] { result = work(); });
            return result;
        }
    }

    std::wstring StatusText(int part) {
        wchar_t text[1024] = {};
        SendMessageW(editor.StatusBar()->window, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int Rows(const ListView* list) { return int(SendMessageW(list->window, LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(const ListView* list, int row, int column) {
        wchar_t text[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 512;
        SendMessageW(list->window, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    int FocusedRow(const ListView* list) {
        return int(SendMessageW(list->window, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
    }
    // Double-clicks the row, as a user opens a file entry.
    void DoubleClick(const ListView* list, int row) {
        RECT bounds{};
        bounds.left = LVIR_LABEL;
        SendMessageW(list->window, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        LPARAM point = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        SendMessageW(list->window, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(list->window, WM_LBUTTONUP, 0, point);
        SendMessageW(list->window, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        SendMessageW(list->window, WM_LBUTTONUP, 0, point);
    }
    // Focuses and selects a row, as a click does.
    void Select(const ListView* list, int row) {
        LVITEMW state{};
        state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        state.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageW(list->window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
    int RowNamed(const ListView* list, const std::wstring& prefix) {
        for (int row = 0; row < Rows(list); ++row) {
            if (Cell(list, row, 0).rfind(prefix, 0) == 0) return row;
        }
        return -1;
    }
    void Command(WORD id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Close() { SendMessageW(window, WM_CLOSE, 0, 0); }
    bool MenuGreyed(UINT id) {
        return Ui([&] { return (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_GRAYED) != 0; });
    }
    std::wstring Title() {
        wchar_t text[1024] = {};
        GetWindowTextW(window, text, 1024);  // answered by the window's thread
        return text;
    }
    // The rectangle of a child in the main window's client coordinates.
    RECT ChildRect(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    Zelko& editor;

private:
    const UiRunner& runner_;

public:
    HWND window;
};

// A program folder of its own (settings file, log) and a sample archive in it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample = folder.path() / "sample.bin";
        WriteSampleArchive(sample);
    }

    ZelkoEnvironment Environment(std::vector<std::wstring> arguments) const {
        ZelkoEnvironment environment;
        environment.programFolder = folder.path().wstring();
        environment.dataFolder = (std::filesystem::current_path() / "Data").wstring();
        environment.arguments = std::move(arguments);
        return environment;
    }
    ZelkoEnvironment WithSample() const { return Environment({L"ZRC-Zelko.exe", sample.wstring()}); }

    // Starts the editor on this thread, runs script on a second thread and
    // returns once the window is gone (the script's end destroys it if it is
    // still open). prepare runs before the window is created.
    void Run(const ZelkoEnvironment& environment, const std::function<void(Driver&)>& script,
             const std::function<void(Zelko&)>& prepare = {}) {
        Zelko editor(environment);
        editor.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
            messages.push_back(caption + L"|" + text);
            return answer;
        };
        editor.onCommandHandled = [this](WORD id) { handled.push_back(id); };
        if (prepare) prepare(editor);
        UiRunner runner;
        ASSERT_TRUE(editor.Start(SW_SHOW));
        HACCEL accelerators = editor.BuildAcceleratorTable();
        HWND window = editor.window;
        std::thread worker([&] {
            Driver driver(editor, runner);
            script(driver);
            if (IsWindow(window)) {
                driver.Ui([&] {
                    if (IsWindow(window)) DestroyWindow(window);
                });
            }
        });
        RunMessageLoop(window, accelerators);
        worker.join();
    }

    TempFolder folder;
    std::filesystem::path sample;
    std::vector<std::wstring> messages;  // caption|text of every message box asked for
    std::vector<WORD> handled;           // commands that reached their handlers
    int answer = IDNO;
};

} // namespace zelko::test
