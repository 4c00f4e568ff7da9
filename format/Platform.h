#pragma once
// What differs between Windows and Linux beyond saving files (SafeFile):
// where the running program lies, and file times as Windows keeps them.
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace zelko {

// The running program's own file; empty when it cannot be told.
std::filesystem::path ProgramPath();

// The folder that holds the running program (its Data folder and, for the
// editor, its settings and log lie there); empty when it cannot be told.
std::filesystem::path ProgramFolder();

// 100-nanosecond ticks from 1601-01-01 00:00 UTC to the epoch of the Unix
// clock (1970-01-01).
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

// A file-system time as a Windows file time (100 ns ticks since 1601-01-01
// UTC), and back.
uint64_t ToWindowsFileTime(std::filesystem::file_time_type time);
std::filesystem::file_time_type FromWindowsFileTime(uint64_t fileTime);

// The file's last-write time as a Windows file time; false when it cannot be
// read (missing file).
bool LastWriteFileTime(const std::filesystem::path& path, uint64_t& fileTime);

// Asks the system to back a large buffer with large pages where it can: a
// buffer written once from end to end otherwise spends more time taking
// fresh pages than copying. Does nothing where that cannot be asked.
void AdviseLargeBuffer(void* data, size_t size);

} // namespace zelko
