#pragma once
// The display monitors, for checking that a saved window rectangle is usable.
#include <windows.h>

#include <vector>

namespace zelko {

class MonitorList {
public:
    // Enumerates the monitors of the desktop.
    MonitorList();
    // A fixed set of monitor rectangles.
    explicit MonitorList(std::vector<RECT> monitors);

    const std::vector<RECT>& Monitors() const { return monitors_; }
    const RECT& Union() const { return union_; }

    // True when area intersects at least one monitor and is neither wider
    // nor taller than the union of all monitors.
    bool Fits(const RECT& area) const;

private:
    void ComputeUnion();

    std::vector<RECT> monitors_;
    RECT union_{};
};

} // namespace zelko
