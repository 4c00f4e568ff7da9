#pragma once
// Application: the IControl of the top-level window of class "WinAPIWrapper",
// with its accelerator list, and the helpers that start and run that window.
#include "toolkit/Control.h"
#include "toolkit/Handles.h"

#include <string>
#include <vector>

namespace zelko {

constexpr wchar_t kApplicationClassName[] = L"WinAPIWrapper";

// One keyboard shortcut: flags (FVIRTKEY, FCONTROL, ...), key code, command id.
struct AcceleratorEntry {
    BYTE flags = 0;
    WORD key = 0;
    WORD command = 0;
};

class Application;
HWND CreateApplicationWindow(Application& application, const std::wstring& title, DWORD exStyle, DWORD style, int x,
                             int y, int width, int height);

class Application : public IControl {
public:
    // The window is created later by the owner (CreateApplicationWindow).
    Application();
    ~Application() override;

    // Builds the menus, controls and the accelerator list; false ends the program.
    virtual bool OnCreate() = 0;
    // Called once after the window was shown.
    virtual void OnShown() {}

    // Control + key (a virtual-key code such as 'O') runs command.
    void AddAccelerator(WORD key, WORD command);
    // F3 without modifiers runs command.
    void AddFindAccelerator(WORD command);
    // Turns the list into a table owned by this object; null when the list is empty.
    HACCEL BuildAcceleratorTable();
    HACCEL AcceleratorTable() const { return acceleratorTable_.Get(); }

    // A modeless dialog of this window whose keyboard messages the message
    // loop hands to the dialog (Tab, Enter, Escape) instead of the accelerators.
    HWND modelessDialog = nullptr;

    // The procedure of the class "WinAPIWrapper".
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend HWND CreateApplicationWindow(Application&, const std::wstring&, DWORD, DWORD, int, int, int, int);
    std::vector<AcceleratorEntry> accelerators_;
    AcceleratorHandle acceleratorTable_;
};

// Registers "WinAPIWrapper": redraw on both resizes, the application window
// procedure, arrow cursor, no background brush. True also when the class
// was registered before in this process.
bool RegisterApplicationClass(HINSTANCE instance, HICON bigIcon, HICON smallIcon);

// Creates the top-level window of the registered class with the object as
// creation parameter and attaches the object to it once it exists (earlier
// messages go to the default procedure). Null on failure.
HWND CreateApplicationWindow(Application& application, const std::wstring& title, DWORD exStyle, DWORD style, int x,
                             int y, int width, int height);

// Runs until the quit message; each message is first offered to the
// application's modeless dialog when it is meant for it, then to the
// accelerator table for window. Returns the quit code.
int RunMessageLoop(HWND window, HACCEL accelerators);

// The command line split by the platform's rules; element 0 is the program.
std::vector<std::wstring> CommandLineArguments();
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

} // namespace zelko
