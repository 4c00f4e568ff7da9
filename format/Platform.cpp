#include "format/Platform.h"

#include <chrono>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace zelko {

std::filesystem::path ProgramPath() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // a longer path: the name was cut
    }
    return std::filesystem::path(path);
#else
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
#endif
}

std::filesystem::path ProgramFolder() { return ProgramPath().parent_path(); }

namespace {
namespace fs = std::filesystem;
using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
} // namespace

uint64_t ToWindowsFileTime(fs::file_time_type time) {
    // Through the system clock, whose epoch is 1970 everywhere; the file
    // clock's own epoch differs between standard libraries.
    const auto system = std::chrono::file_clock::to_sys(time);
    const Ticks ticks = std::chrono::floor<Ticks>(system.time_since_epoch());
    return uint64_t(ticks.count()) + kUnixEpochAsFileTime;
}

fs::file_time_type FromWindowsFileTime(uint64_t fileTime) {
    const Ticks ticks(int64_t(fileTime - kUnixEpochAsFileTime));
    const std::chrono::sys_time<Ticks> system(ticks);
    return std::chrono::time_point_cast<fs::file_time_type::duration>(std::chrono::file_clock::from_sys(system));
}

bool LastWriteFileTime(const fs::path& path, uint64_t& fileTime) {
#ifdef _WIN32
    // The standard library's Windows port reports whole seconds only; the
    // cache compares the full 100 ns time the file system keeps.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    fileTime = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
#else
    std::error_code ec;
    const fs::file_time_type time = fs::last_write_time(path, ec);
    if (ec) return false;
    fileTime = ToWindowsFileTime(time);
    return true;
#endif
}

void AdviseLargeBuffer(void* data, size_t size) {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the buffer can be advised.
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLargePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace zelko
