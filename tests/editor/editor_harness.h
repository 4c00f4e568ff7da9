#pragma once
// Runs the editor in process: the window and its message loop on the test's
// main thread, the test script on a second thread that drives the window with
// SendMessage and runs checks on the window's thread through Ui().
#include "TempFolder.h"
#include "container/SampleArchive.h"
#include "editor/Ids.h"
#include "editor/Zelko.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <type_traits>

namespace zelko::test {

// A message-only window on the main thread that runs the functions sent to it.
inline LRESULT CALLBACK RunFunction(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcW(handle, message, wParam, lParam);
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}

// What the script thread uses to drive and inspect the editor.
struct Driver {
    Zelko& editor;
    HWND runner;
    HWND window = editor.window;

    template <typename Work>
    auto Ui(Work&& work) -> decltype(work()) {
        if constexpr (std::is_void_v<decltype(work())>) {
            std::function<void()> call = [&] { work(); };
            // Once the window is gone the main thread has left its loop and would not answer.
            if (IsWindow(window)) SendMessageW(runner, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
            else ADD_FAILURE() << "the editor window is closed";
        } else {
            decltype(work()) result{};
            Ui([&] { result = work(); });
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
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            SendMessageW(list->window, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, point);
    }
    // Focuses and selects a row, as a click does.
    void Select(const ListView* list, int row) {
        LVITEMW state{};
        state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageW(list->window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
    int RowNamed(const ListView* list, const std::wstring& name) {
        for (int row = 0; row < Rows(list); ++row)
            if (Cell(list, row, 0).starts_with(name)) return row;
        return -1;
    }
    void Command(WORD id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Close() { SendMessageW(window, WM_CLOSE, 0, 0); }
    bool MenuGreyed(UINT id) {
        return Ui([&] { return (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_GRAYED) != 0; });
    }
    std::wstring Title() {
        wchar_t text[1024] = {};
        GetWindowTextW(window, text, 1024);
        return text;
    }
    // A child's rectangle in the main window's client coordinates.
    RECT ChildRect(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
};

// A program folder of its own (settings file, log) with a sample archive in it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { WriteSampleArchive(sample); }

    ZelkoEnvironment Environment(std::vector<std::wstring> arguments = {L"ZRC-Zelko.exe"}) const {
        return {folder.path().wstring(), (std::filesystem::current_path() / "Data").wstring(), std::move(arguments)};
    }
    ZelkoEnvironment WithSample() const { return Environment({L"ZRC-Zelko.exe", sample.wstring()}); }

    // Starts the editor, runs script on a second thread and returns once the
    // window is gone (destroyed after the script if still open).
    void Run(const ZelkoEnvironment& environment, const std::function<void(Driver&)>& script) {
        Zelko editor(environment);
        editor.messageBox = [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
            messages.push_back(caption + L"|" + text);
            return answer;
        };
        editor.onCommandHandled = [this](WORD id) { handled.push_back(id); };
        static const bool registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &RunFunction;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"ZelkoTestRunner";
            return RegisterClassW(&windowClass) != 0;
        }();
        ASSERT_TRUE(registered);
        HWND runner = CreateWindowExW(0, L"ZelkoTestRunner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(editor.Start(SW_SHOW));
        HACCEL accelerators = editor.BuildAcceleratorTable();
        HWND window = editor.window;
        std::thread worker([&] {
            Driver driver{editor, runner};
            script(driver);
            if (IsWindow(window)) driver.Ui([&] {
                if (IsWindow(window)) DestroyWindow(window);
            });
        });
        RunMessageLoop(window, accelerators);
        worker.join();
        DestroyWindow(runner);
    }

    TempFolder folder;
    std::filesystem::path sample = folder.path() / "sample.bin";
    std::vector<std::wstring> messages;  // caption|text of every message box asked for
    std::vector<WORD> handled;           // commands that reached their handlers
    int answer = IDNO;
};

} // namespace zelko::test
