#include "toolkit/Application.h"

#include <shellapi.h>

namespace zelko {

Application::Application() : IControl(nullptr, L"", 0) {}

Application::~Application() = default;

void Application::AddAccelerator(WORD key, WORD command) {
    accelerators_.push_back({static_cast<BYTE>(FVIRTKEY | FCONTROL), key, command});
}

void Application::AddFindAccelerator(WORD command) {
    accelerators_.push_back({static_cast<BYTE>(FVIRTKEY), VK_F3, command});
}

HACCEL Application::BuildAcceleratorTable() {
    acceleratorTable_.Reset();
    if (accelerators_.empty()) return nullptr;
    std::vector<ACCEL> table;
    table.reserve(accelerators_.size());
    for (const AcceleratorEntry& entry : accelerators_) table.push_back(ACCEL{entry.flags, entry.key, entry.command});
    acceleratorTable_.Reset(CreateAcceleratorTableW(table.data(), static_cast<int>(table.size())));
    return acceleratorTable_.Get();
}

LRESULT CALLBACK Application::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Application*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
    if (!self) return DefWindowProcW(handle, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_NCDESTROY: {
        LRESULT result = DefWindowProcW(handle, message, wParam, lParam);
        self->DetachWindow();
        return result;
    }
    case WM_SIZE: self->HandleSize(); return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(handle, &paint);
        self->OnPaint(paint, dc);
        EndPaint(handle, &paint); // also gives back the context
        return 0;
    }
    case WM_CLOSE:
        if (self->OnClose()) DestroyWindow(handle);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = self->minTrackWidth;
        info->ptMinTrackSize.y = self->minTrackHeight;
        return 0;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_MENU));
        char text[256] = {};
        GetWindowTextA(item->hwndItem, text, static_cast<int>(sizeof text));
        DrawTextA(item->hDC, text, -1, &item->rcItem, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return 1;
    }
    case WM_WINDOWPOSCHANGING: self->HandlePositionChanging(*reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_NOTIFY: {
        auto* record = reinterpret_cast<NMHDR*>(lParam);
        if (IControl* sender = FromWindow(record->hwndFrom)) return sender->OnNotify(record->code, record);
        return DefWindowProcW(handle, message, wParam, lParam);
    }
    case WM_CHAR:
        if (self->onChar) self->onChar(static_cast<unsigned int>(wParam));
        return 0;
    case WM_COMMAND: self->OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(wParam);
        std::wstring path(8096, L'\0');
        UINT length = DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size()));
        path.resize(length);
        DragFinish(drop);
        self->OnDropFile(path);
        return 0;
    }
    default: return DefWindowProcW(handle, message, wParam, lParam);
    }
}

bool RegisterApplicationClass(HINSTANCE instance, HICON bigIcon, HICON smallIcon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Application::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = bigIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = kApplicationClassName;
    if (RegisterClassExW(&windowClass)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateApplicationWindow(Application& application, const std::wstring& title, DWORD exStyle, DWORD style, int x,
                             int y, int width, int height) {
    HWND handle = CreateWindowExW(exStyle, kApplicationClassName, title.c_str(), style, x, y, width, height, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), &application);
    if (handle) application.AttachWindow(handle);
    return handle;
}

int RunMessageLoop(HWND window, HACCEL accelerators) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Keys typed in a modeless dialog are the dialog's: Ctrl+X in its edit
        // box cuts text, it does not run the main window's command.
        auto* application = dynamic_cast<Application*>(IControl::FromWindow(window));
        HWND dialog = application ? application->modelessDialog : nullptr;
        if (dialog && IsWindow(dialog) && (message.hwnd == dialog || IsChild(dialog, message.hwnd))) {
            if (IsDialogMessageW(dialog, &message)) continue;
        }
        if (accelerators && TranslateAcceleratorW(window, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    int count = 0;
    LocalMemoryHandle memory(reinterpret_cast<HLOCAL>(CommandLineToArgvW(commandLine.c_str(), &count)));
    auto* list = static_cast<wchar_t**>(memory.Get());
    if (!list) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
    return arguments;
}

std::vector<std::wstring> CommandLineArguments() { return SplitCommandLine(GetCommandLineW()); }

} // namespace zelko
