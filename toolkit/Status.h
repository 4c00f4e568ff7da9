#pragma once
// Status: the status bar at the bottom of the main window, four parts, and
// the program's log file.
#include "toolkit/Control.h"

#include <string>

namespace zelko {

class Status : public IControl {
public:
    // Creates the bar; logging is on, to "log.txt" in the program's folder.
    explicit Status(IControl* parent);
    ~Status() override;

    // Moves the bar to the parent's bottom edge and sets the parts' right
    // edges to w - 400, w - 250, w - 80 and the end, w being the parent's client width.
    virtual void Resize();

    // Shows text in part; with log, also appends it to the log.
    void SetText(const std::wstring& text, int part, bool log);
    // Appends "YYYY-MM-DD HH:MM:SS | line" + CR LF to the log file while logging is
    // on; line is UTF-8, as the whole file is. A file that cannot be opened loses
    // the line silently.
    void WriteLog(const std::string& line);

    void SetLogEnabled(bool enabled) { logEnabled_ = enabled; }
    bool IsLogEnabled() const { return logEnabled_; }
    void SetLogPath(std::wstring path) { logPath_ = std::move(path); }

private:
    std::wstring logPath_;
    bool logEnabled_ = true;
};

// Handles every message waiting in this thread's queue, so that a long loop
// on the window thread keeps the window painted; returns when none is left.
// A quit message is put back for the main loop.
void PumpMessages();

} // namespace zelko
