#include "toolkit/Monitors.h"

namespace zelko {
namespace {

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT area, LPARAM data) {
    reinterpret_cast<std::vector<RECT>*>(data)->push_back(*area);
    return TRUE;
}

} // namespace

MonitorList::MonitorList() {
    EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&monitors_));
    ComputeUnion();
}

MonitorList::MonitorList(std::vector<RECT> monitors) : monitors_(std::move(monitors)) { ComputeUnion(); }

void MonitorList::ComputeUnion() {
    union_ = RECT{};
    for (const RECT& monitor : monitors_) UnionRect(&union_, &union_, &monitor);
}

bool MonitorList::Fits(const RECT& area) const {
    bool onSomeMonitor = false;
    for (const RECT& monitor : monitors_) {
        RECT common{};
        if (IntersectRect(&common, &area, &monitor)) {
            onSomeMonitor = true;
            break;
        }
    }
    return onSomeMonitor && area.right - area.left <= union_.right - union_.left &&
        area.bottom - area.top <= union_.bottom - union_.top;
}

} // namespace zelko
