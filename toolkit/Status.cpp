#include "toolkit/Status.h"

#include "format/Platform.h"
#include "format/Text.h"

#include <commctrl.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace zelko {
namespace {

constexpr DWORD kStatusStyle = 0x50000103; // child, visible, size grip, bottom

// The classic "%Y-%m-%d %X" form, independent of the process locale.
std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    char text[32] = {};
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    return GetClassNameW(window, name, 16) > 0 && lstrcmpW(name, L"#32770") == 0;
}

} // namespace

Status::Status(IControl* parent) : IControl(parent, STATUSCLASSNAMEW, kStatusStyle) {
    logPath_ = (ProgramFolder() / L"log.txt").wstring();
}

Status::~Status() = default;

void Status::Resize() {
    if (!window) return;
    // Our procedure keeps size messages from the control; its own moves it to the bottom.
    if (previousProc) CallWindowProcW(previousProc, window, WM_SIZE, 0, 0);
    int width = 0;
    if (parent && parent->window) {
        RECT area{};
        parent->GetClientArea(area);
        width = area.right - area.left;
    }
    int edges[4] = {width - 400, width - 250, width - 80, -1};
    SendMessageW(window, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    // Wine does not repaint the bar after a size change by itself.
    InvalidateRect(window, nullptr, TRUE);
}

void Status::SetText(const std::wstring& text, int part, bool log) {
    if (window) SendMessageW(window, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
    if (log) WriteLog(Utf8FromWide(text));
}

void Status::WriteLog(const std::string& line) {
    if (!logEnabled_) return;
    std::string entry = TimeStamp() + " | " + line + "\r\n";
    // Opened per line: the file may be moved or deleted while the program runs.
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(logPath_.c_str(), L"ab"), &std::fclose);
    if (!file) return;
    std::fwrite(entry.data(), 1, entry.size(), file.get());
}

void PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        HWND owner = message.hwnd ? GetParent(message.hwnd) : nullptr;
        if (owner && IsDialog(owner) && IsDialogMessageW(owner, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace zelko
