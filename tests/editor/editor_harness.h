#pragma once
// Runs the editor in process: the window and its message loop on the test's
// main thread, the test script on a second thread that drives the window with
// SendMessage and runs checks on the window's thread through Ui().
#include "Pictures.h"
#include "TempFolder.h"
#include "container/SampleArchive.h"
#include "editor/Dialogs.h"
#include "editor/Ids.h"
#include "editor/Zelko.h"
#include "imaging/Image.h"
#include "imaging/ImageFile.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace zelko::test {

// The build folder the tests start in: the open-file dialog moves the
// process's current folder, so it is taken once, before any test runs.
inline const std::filesystem::path kBuildFolder = std::filesystem::current_path();

// A message-only window on the main thread that runs the functions sent
// (WM_APP) or posted (WM_APP + 1, owned by the message) to it.
inline LRESULT CALLBACK RunFunction(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message == WM_APP + 1) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        (*work)();
        return 0;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

// The whole window, frame and menu included, as one level of 32-bit BGRA.
inline ScratchImage CaptureWindow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT outer{};
    GetWindowRect(window, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    ScratchImage image;
    if (Failed(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, size_t(width), size_t(height), 1, 1))) return image;
    HDC screen = GetDC(nullptr);
    MemoryDcHandle memory(CreateCompatibleDC(screen));
    BitmapHandle bitmap(CreateCompatibleBitmap(screen, width, height));
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        // The screen holds what the window and its children really drew.
        BitBlt(memory.Get(), 0, 0, width, height, screen, outer.left, outer.top, SRCCOPY);
    }
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const Image& target = *image.GetImage(0, 0, 0);
    GetDIBits(memory.Get(), bitmap.Get(), 0, UINT(height), target.pixels, &info, DIB_RGB_COLORS);
    for (size_t alpha = 3; alpha < target.slicePitch; alpha += 4) target.pixels[alpha] = 255;
    return image;
}

// An opaque square picture: ramps in green and red, hard-edged squares in
// blue, so each block format has something to get wrong; the top-left blue is
// `tone` (below 128), which tells pictures apart.
inline ScratchImage TestPicture(size_t side, uint8_t tone = 0) {
    return pictures::Drawn(side, side, [=](size_t x, size_t y) {
        return pictures::Bgra{uint8_t(tone + ((x / 16 + y / 16) % 2 ? 120 : 0)), uint8_t(x * 256 / side),
                              uint8_t(y * 256 / side), 255};
    });
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
            if (IsWindow(window))
                SendMessageW(runner, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
            else
                ADD_FAILURE() << "the editor window is closed";
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
    std::wstring Cell(const ListView* list, int row, int column) { return Cell(list->window, row, column); }
    // The text of a cell of any list view control, a dialog's too.
    static std::wstring Cell(HWND list, int row, int column) {
        wchar_t text[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    static int Rows(HWND list) { return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    int FocusedRow(const ListView* list) {
        return int(SendMessageW(list->window, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
    }
    // Double-clicks the row, as a user opens a file entry; without waiting
    // when `post` (the click may open a dialog).
    void DoubleClick(const ListView* list, int row, bool post = false) { DoubleClick(list->window, row, post); }
    void DoubleClick(HWND list, int row, bool post) {
        RECT bounds{};
        bounds.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        LPARAM point = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
            const WPARAM keys = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
            if (post)
                PostMessageW(list, message, keys, point);
            else
                SendMessageW(list, message, keys, point);
        }
    }
    // Focuses and selects a row, as a click does.
    void Select(const ListView* list, int row) { Select(list->window, row); }
    static void Select(HWND list, int row) {
        LVITEMW state{};
        state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
    int RowNamed(const ListView* list, const std::wstring& name) {
        for (int row = 0; row < Rows(list); ++row)
            if (Cell(list, row, 0).starts_with(name)) return row;
        return -1;
    }
    // Selects the first row whose name starts with `name`; false when none does.
    bool SelectNamed(const ListView* list, const std::wstring& name) {
        const int row = RowNamed(list, name);
        if (row >= 0) Select(list, row);
        return row >= 0;
    }
    void Command(WORD id) { SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // Starts a command or some work on the window's thread without waiting:
    // for the ones that open a modal dialog.
    void Post(WORD id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Start(std::function<void()> work) {
        PostMessageW(runner, WM_APP + 1, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(work))));
    }
    // Returns once everything posted to the window's thread before this call
    // has been handled (or has opened a dialog that now waits for the user).
    void Sync() {
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Start([done] { SetEvent(done); });
        WaitForSingleObject(done, 60000);
        CloseHandle(done);
    }

    // Returns once a command has finished, or waits in a dialog: long
    // commands disable the window and let messages through meanwhile.
    void WaitIdle() {
        for (int attempt = 0; attempt < 3000; ++attempt) {
            Sync();
            if (IsWindowEnabled(window)) return;
            // A modal dialog waits for the user; the modeless Find dialog does not count.
            HWND find = editor.Find().window;
            if (WaitForDialogWhere([&](HWND dialog) { return dialog != find; }, 1)) return;
        }
        ADD_FAILURE() << "the editor stayed busy";
    }
    // The visible dialog (class #32770) of the window's thread with this
    // caption; null when none shows up within a few seconds.
    HWND WaitForDialog(const std::wstring& caption) {
        HWND found = WaitForDialogWhere([&](HWND dialog) { return Text(dialog) == caption; });
        if (!found) ADD_FAILURE() << "no dialog named " << std::string(caption.begin(), caption.end());
        return found;
    }
    // The editor's own dialogs are captioned "ZRC-Zelko by korvane | title".
    HWND Dialog(const std::wstring& title) { return WaitForDialog(L"ZRC-Zelko by korvane | " + title); }
    // A command that opens one of them, and the dialog once it shows.
    HWND Open(WORD command, const std::wstring& title) {
        Post(command);
        return Dialog(title);
    }
    // The first visible dialog (class #32770) of the window's thread for
    // which `wanted` holds, waited for.
    HWND WaitForDialogWhere(const std::function<bool(HWND)>& wanted, int attempts = 500) {
        const DWORD thread = GetWindowThreadProcessId(window, nullptr);
        for (int attempt = 0; attempt < attempts; ++attempt, Sleep(10)) {
            for (HWND candidate = nullptr; (candidate = FindWindowExW(nullptr, candidate, L"#32770", nullptr));) {
                if (GetWindowThreadProcessId(candidate, nullptr) == thread && IsWindowVisible(candidate) &&
                    wanted(candidate))
                    return candidate;
            }
        }
        return nullptr;
    }
    // A button pressed as a click does; returns once the dialog has answered.
    void Press(HWND dialog, int id) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        Sync();
    }
    // Ends a dialog: Escape (VK_ESCAPE) on its first control, the close box
    // (SC_CLOSE) or the button with this id.
    void End(HWND dialog, int how) {
        if (how == VK_ESCAPE) {
            Key(GetNextDlgTabItem(dialog, nullptr, FALSE), VK_ESCAPE);
        } else if (how == int(SC_CLOSE)) {
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            Sync();
        } else {
            Press(dialog, how);
        }
    }
    // A key as the keyboard sends it to a control; returns once it is handled.
    void Key(HWND control, WORD key) {
        PostMessageW(control, WM_KEYDOWN, key, 1);
        PostMessageW(control, WM_KEYUP, key, 0xC0000001);
        Sync();
    }
    static void Type(HWND edit, const std::wstring& text) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, WM_CLEAR, 0, 0);
        for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
    }
    static std::wstring Text(HWND control) {
        wchar_t text[512] = {};
        GetWindowTextW(control, text, 512);
        return text;
    }
    // Answers the open-file dialog with this path.
    void ChooseFile(const std::wstring& title, const std::filesystem::path& path) {
        HWND dialog = WaitForDialog(title);
        if (!dialog) return;
        SetDlgItemTextW(dialog, 0x47C, path.wstring().c_str());
        Press(dialog, IDOK);
    }
    // Answers the text dialog `title` (Rename, Duplicate) with this text and OK.
    void AnswerText(const std::wstring& title, const std::wstring& text) {
        HWND dialog = Dialog(title);
        if (!dialog) return;
        Type(GetDlgItem(dialog, IDC_TEXT_EDIT), text);
        Press(dialog, IDOK);
    }
    // Answers a dialog with a list of formats (Change format, Export
    // textures) with the one at this place in the list and OK.
    void ChooseFormat(const std::wstring& title, int choice) {
        HWND dialog = Dialog(title);
        if (!dialog) return;
        SendDlgItemMessageW(dialog, IDC_FORMAT_COMBO, CB_SETCURSEL, choice, 0);
        Press(dialog, IDOK);
    }
    // The window as the screen shows it, with `dialog` (if any) drawn over
    // it, also written to the build folder as NAME.png.
    ScratchImage Shoot(const std::string& name, HWND dialog = nullptr) {
        // The display maps a new window, and draws what it is sent, a moment later.
        Sleep(500);
        Ui([&] {
            if (dialog)
                RedrawWindow(dialog, nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            GdiFlush();
        });
        Sleep(300);
        ScratchImage shot = Ui([&] { return CaptureWindow(window); });
        if (!shot.GetImage(0, 0, 0))
            ADD_FAILURE() << "no picture of the window for " << name;
        else
            EXPECT_EQ(SaveToImageFile(*shot.GetImage(0, 0, 0), ImageFileFormat::PNG, kBuildFolder / (name + ".png")),
                      kOk);
        return shot;
    }
    void Close() { SendMessageW(window, WM_CLOSE, 0, 0); }
    bool MenuGreyed(UINT id) {
        return Ui([&] { return (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_GRAYED) != 0; });
    }
    std::wstring Title() { return Text(window); }
    // A child's rectangle in the main window's client coordinates.
    RECT ChildRect(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
};

// Every text part 0 of the status bar is given while this lives, progress included.
class StatusRecorder {
public:
    explicit StatusRecorder(Driver& d) : status_(d.editor.StatusBar()->window) {
        current_ = this;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &Record, nullptr, GetWindowThreadProcessId(d.window, nullptr));
    }
    ~StatusRecorder() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code >= 0 && current_ && message->hwnd == current_->status_ && message->message == SB_SETTEXTW &&
            (message->wParam & 0xFF) == 0 && message->lParam) {
            std::lock_guard lock(current_->mutex_);
            current_->texts_.push_back(reinterpret_cast<const wchar_t*>(message->lParam));
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline StatusRecorder* current_ = nullptr;
    HWND status_;
    HHOOK hook_ = nullptr;
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
};

// A program folder of its own (settings file, log) with a sample archive in it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { WriteSampleArchive(sample); }

    ZelkoEnvironment Environment(std::vector<std::wstring> arguments = {L"ZRC-Zelko.exe"}) const {
        // The program beside the tests: file associations name it.
        const auto& build = kBuildFolder;
        return {(build / "ZRC-Zelko.exe").wstring(), folder.path().wstring(), (build / "Data").wstring(),
                std::move(arguments)};
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
        editor.shellOpen = [this](HWND, const std::wstring& target) { opened.push_back(target); };
        DialogMessageBox() = [this](const std::wstring& text, const std::wstring& caption) {
            messages.push_back(caption + L"|" + text);
        };
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
            if (IsWindow(window))
                driver.Ui([&] {
                    if (IsWindow(window)) DestroyWindow(window);
                });
        });
        RunMessageLoop(window, accelerators);
        worker.join();
        DestroyWindow(runner);
    }

    // The message boxes asked for since the last call, as caption|text.
    std::vector<std::wstring> TakeMessages(Driver& d) {
        return d.Ui([&] { return std::exchange(messages, {}); });
    }
    static bool Modified(Driver& d) {
        return d.Ui([&] { return d.editor.HasUnsavedChanges(); });
    }
    std::string LogText() const {
        const auto bytes = ReadFileBytes(folder.path() / "log.txt");
        return std::string(bytes.begin(), bytes.end());
    }

    TempFolder folder;
    std::filesystem::path sample = folder.path() / "sample.bin";
    std::vector<std::wstring> messages; // caption|text of every message box asked for
    std::vector<WORD> handled; // commands that reached their handlers
    std::vector<std::wstring> opened; // what the shell was asked to open
    int answer = IDNO;
};

} // namespace zelko::test
