#pragma once
// IControl: one object per window. The object lives in the window's user data,
// the toolkit's procedure replaces the window's own, and the messages the
// program cares about become virtual calls or stored callbacks.
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelko {

// What the toolkit raises when a control is used without its window.
class ControlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A rectangle in the parent's client coordinates, handed to
// onPositionChanging so that the owner can clamp a control being resized.
struct RectPositions {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class IControl {
public:
    // With a class name: creates a child window of that class filling the
    // parent's client area, with the given style, and subclasses it. With an
    // empty class name no window is created (the top-level window attaches its
    // own later, see AttachWindow). Either way the control joins parent's children.
    IControl(IControl* parent, std::wstring_view className, DWORD style);

    // Virtual operations, in this order.
    virtual LRESULT OnNotify(UINT code, NMHDR* record); // default procedure
    virtual LRESULT OnHScroll(int code, HWND scrollBar); // default procedure
    virtual void OnCommand(WORD id, WORD code); // default procedure
    virtual void OnSize(); // lays out the children
    virtual bool OnClose(); // true: allow closing
    virtual LRESULT OnDefaultPaint(WPARAM wParam, LPARAM lParam);
    virtual void OnPaint(PAINTSTRUCT& paint, HDC dc); // fills with the inactive-caption gradient colour
    virtual void OnDropFile(const std::wstring& path); // nothing
    // Leaves the window alive but gives it back its own procedure, so that no
    // message reaches a destroyed object.
    virtual ~IControl();
    virtual void Hide();
    virtual void Show();
    // Screen rectangle; 0, 0, 800, 600 when the platform call fails.
    // Throws ControlError("Invalid handle") without a window.
    virtual void GetWindowArea(RECT& area);
    // Client rectangle without the strip of any status-bar child.
    // Throws ControlError("Invalid handle") without a window.
    virtual void GetClientArea(RECT& area);

    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // The toolkit object that owns a window, or null for a foreign window.
    static IControl* FromWindow(HWND window);

    // Window procedure installed on every wrapped child control.
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC previousProc = nullptr; // null for the application window
    IControl* parent = nullptr;
    HWND window = nullptr; // null when creation failed or after destruction
    HMENU childId = nullptr; // always null
    std::wstring className; // "<NULL>" for an empty class name
    int minTrackWidth = 0;
    int minTrackHeight = 0;
    RECT placement{}; // the parent's client area at creation
    std::vector<IControl*> children; // not owned
    std::function<void()> onResize;
    std::function<void(RectPositions&)> onPositionChanging;
    std::function<void(unsigned int)> onChar;
    std::function<void()> onClick;

protected:
    // Ties an existing window to this object (user data and lookup mark).
    void AttachWindow(HWND handle);
    // Size message: OnSize, then onResize.
    void HandleSize();
    // Position-changing message: lets onPositionChanging clamp the rectangle.
    void HandlePositionChanging(WINDOWPOS& position);
    // Called on the last message a window receives.
    void DetachWindow();
};

// Keeps a window from taking input while it lives: long work on the window's
// thread lets messages through, but the user cannot start another command.
class DisabledWindow {
public:
    explicit DisabledWindow(HWND window) : window_(window) { EnableWindow(window_, FALSE); }
    ~DisabledWindow() { EnableWindow(window_, TRUE); }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    HWND window_;
};

// Stops a control from drawing while it lives; it repaints once at the end.
class RedrawOff {
public:
    explicit RedrawOff(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() { SendMessageW(window_, WM_SETREDRAW, TRUE, 0); }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    HWND window_;
};

} // namespace zelko
