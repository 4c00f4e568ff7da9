#include "toolkit/Control.h"

#include <mutex>
#include <unordered_map>

namespace zelko {
namespace {

constexpr wchar_t kStatusBarClass[] = L"msctls_statusbar32";

// The windows that carry a toolkit object: the user-data slot alone cannot
// tell our objects from whatever another window keeps there. Kept in the
// process rather than as window properties, which Wine looks up through its
// server: every notification of a list (one per cell while it sizes its
// columns) paid for that round trip. Windows of other threads may ask.
struct ControlRegistry {
    std::mutex mutex;
    std::unordered_map<HWND, IControl*> controls;
};
ControlRegistry& Registry() {
    static ControlRegistry registry;
    return registry;
}

} // namespace

IControl::IControl(IControl* parentControl, std::wstring_view name, DWORD style)
    : parent(parentControl), className(name.empty() ? L"<NULL>" : std::wstring(name)) {
    if (!name.empty()) {
        if (parent) parent->GetClientArea(placement);
        HWND parentWindow = parent ? parent->window : nullptr;
        HWND handle = CreateWindowExW(0, className.c_str(), nullptr, style, placement.left, placement.top,
                                      placement.right - placement.left, placement.bottom - placement.top, parentWindow,
                                      childId, GetModuleHandleW(nullptr), nullptr);
        if (handle) {
            AttachWindow(handle);
            previousProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IControl::ControlProc)));
        }
    }
    if (parent) parent->children.push_back(this);
}

IControl::~IControl() {
    if (window && IsWindow(window)) {
        if (previousProc) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
        DetachWindow();
    }
    if (parent) std::erase(parent->children, this);
    for (IControl* child : children) child->parent = nullptr;
}

void IControl::AttachWindow(HWND handle) {
    window = handle;
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ControlRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.controls[handle] = this;
}

void IControl::DetachWindow() {
    if (!window) return;
    {
        ControlRegistry& registry = Registry();
        std::lock_guard lock(registry.mutex);
        registry.controls.erase(window);
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window = nullptr;
}

IControl* IControl::FromWindow(HWND handle) {
    if (!handle) return nullptr;
    ControlRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found = registry.controls.find(handle);
    return found == registry.controls.end() ? nullptr : found->second;
}

LRESULT IControl::OnNotify(UINT code, NMHDR* record) {
    return DefWindowProcW(window, WM_NOTIFY, record ? record->idFrom : 0, reinterpret_cast<LPARAM>(record));
}

LRESULT IControl::OnHScroll(int code, HWND scrollBar) {
    return DefWindowProcW(window, WM_HSCROLL, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(scrollBar));
}

void IControl::OnCommand(WORD id, WORD code) { DefWindowProcW(window, WM_COMMAND, MAKEWPARAM(id, code), 0); }

void IControl::OnSize() {
    for (IControl* child : children) {
        child->OnSize();
        if (child->onResize) child->onResize();
    }
}

bool IControl::OnClose() { return true; }

LRESULT IControl::OnDefaultPaint(WPARAM wParam, LPARAM lParam) {
    if (!previousProc) return 0;
    return CallWindowProcW(previousProc, window, WM_PAINT, wParam, lParam);
}

void IControl::OnPaint(PAINTSTRUCT& paint, HDC dc) {
    FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_GRADIENTINACTIVECAPTION));
}

void IControl::OnDropFile(const std::wstring&) {}

void IControl::Hide() {
    if (window) ShowWindow(window, SW_HIDE);
}

void IControl::Show() {
    if (window) ShowWindow(window, SW_SHOW);
}

void IControl::GetWindowArea(RECT& area) {
    if (!window) throw ControlError("Invalid handle");
    if (!GetWindowRect(window, &area)) area = RECT{0, 0, 800, 600};
}

void IControl::GetClientArea(RECT& area) {
    if (!window) throw ControlError("Invalid handle");
    GetClientRect(window, &area);
    for (IControl* child : children) {
        if (child->className != kStatusBarClass || !child->window) continue;
        RECT bar{};
        GetWindowRect(child->window, &bar);
        area.bottom -= bar.bottom - bar.top;
    }
}

void IControl::HandleSize() {
    OnSize();
    if (onResize) onResize();
}

void IControl::HandlePositionChanging(WINDOWPOS& position) {
    if (!onPositionChanging) return;
    // With SWP_NOMOVE or SWP_NOSIZE the record's fields are not meaningful;
    // the callback should see the current place and size instead.
    if (position.flags & (SWP_NOMOVE | SWP_NOSIZE)) {
        RECT current{};
        GetWindowRect(window, &current);
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&current), 2);
        if (position.flags & SWP_NOMOVE) {
            position.x = current.left;
            position.y = current.top;
        }
        if (position.flags & SWP_NOSIZE) {
            position.cx = current.right - current.left;
            position.cy = current.bottom - current.top;
        }
    }
    RectPositions r{position.x, position.y, position.x + position.cx, position.y + position.cy};
    onPositionChanging(r);
    position.x = r.left;
    position.y = r.top;
    position.cx = r.right - r.left;
    position.cy = r.bottom - r.top;
}

LRESULT CALLBACK IControl::ControlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<IControl*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
    if (!self || !self->previousProc) return DefWindowProcW(handle, message, wParam, lParam);
    WNDPROC previous = self->previousProc;
    switch (message) {
    case WM_LBUTTONUP:
        if (self->onClick) self->onClick();
        break;
    case WM_SIZING: self->HandleSize(); return TRUE;
    case WM_SIZE: self->HandleSize(); return 0;
    case WM_HSCROLL: self->OnHScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam)); break;
    case WM_WINDOWPOSCHANGING: self->HandlePositionChanging(*reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_COMMAND: {
        IControl* sender = FromWindow(reinterpret_cast<HWND>(lParam));
        (sender ? sender : self)->OnCommand(LOWORD(wParam), HIWORD(wParam));
        break;
    }
    case WM_NCDESTROY: {
        LRESULT result = CallWindowProcW(previous, handle, message, wParam, lParam);
        self->DetachWindow();
        return result;
    }
    default: break;
    }
    return CallWindowProcW(previous, handle, message, wParam, lParam);
}

} // namespace zelko
