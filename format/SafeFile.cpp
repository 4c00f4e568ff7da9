#include "format/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "format/ByteStream.h"
#include "format/Text.h"

#ifdef _WIN32
#include <windows.h>

#include <cwctype>
#include <cwchar>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelko {
namespace {

namespace fs = std::filesystem;

std::array<std::atomic<int>, 5> gFailAt{};

int LastSystemError() {
#ifdef _WIN32
    return int(GetLastError());
#else
    return errno;
#endif
}

std::string Reason(int code) { return std::system_category().message(code); }

// The reason a full disk gives, for the test hook.
std::string InjectedReason() {
#ifdef _WIN32
    return Reason(ERROR_DISK_FULL);
#else
    return Reason(ENOSPC);
#endif
}

// True when the test hook makes this run of `step` fail.
bool Injected(FileStep step) {
    std::atomic<int>& counter = gFailAt[size_t(step)];
    int left = counter.load();
    while (left > 0) {
        if (counter.compare_exchange_weak(left, left - 1)) return left == 1;
    }
    return false;
}

[[noreturn]] void Fail(const fs::path& path, FileStep step) {
    const int code = LastSystemError();
    (void)step;
    throw SaveError(path, code ? Reason(code) : InjectedReason());
}

// Runs one step, unless the test hook fails it first (as if it had not happened).
template <typename Operation>
void Run(FileStep step, const fs::path& path, Operation operation) {
    if (Injected(step)) throw SaveError(path, InjectedReason());
    if (!operation()) Fail(path, step);
}

// A name beside the target that no other save uses at the same time.
fs::path TemporaryBeside(const fs::path& target) {
    static std::atomic<uint64_t> counter{0};
    const uint64_t process = CurrentProcessId();
    const uint64_t clock = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    fs::path name = target;
    name += ".zelko-" + std::to_string(process) + "-" + std::to_string(counter++) + "-" +
        std::to_string(clock % 1000000) + ".tmp";
    return name;
}

#ifdef _WIN32
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;
void CloseFile(Handle h) { CloseHandle(h); }
#else
using Handle = int;
const Handle kNoHandle = -1;
void CloseFile(Handle h) { close(h); }
#endif

struct OpenFile {
    Handle handle = kNoHandle;
    explicit OpenFile(Handle h) : handle(h) {}
    ~OpenFile() {
        if (handle != kNoHandle) CloseFile(handle);
    }
    bool Close() {
        const Handle h = std::exchange(handle, kNoHandle);
#ifdef _WIN32
        return CloseHandle(h) != 0;
#else
        return close(h) == 0;
#endif
    }
};

// A file marked read-only (by its attribute on Windows, by having no write
// bit on Linux, which root could otherwise write through) is not replaced:
// Windows refuses to, and the mark says not to.
bool IsReadOnly(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
#endif
}

void RefuseReadOnly(const fs::path& path) {
    if (IsReadOnly(path)) throw SaveError(path, Utf8FromPath(path.filename()) + " is read-only");
}

Handle CreateExclusive(const fs::path& path) {
#ifdef _WIN32
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

Handle OpenForReading(const fs::path& path) {
#ifdef _WIN32
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

Handle OpenReadWrite(const fs::path& path) {
#ifdef _WIN32
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    return open(path.c_str(), O_RDWR | O_CLOEXEC);
#endif
}

bool WriteAll(Handle h, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
#ifdef _WIN32
        DWORD done = 0;
        const DWORD chunk = DWORD(std::min<size_t>(size, 1u << 30));
        if (!WriteFile(h, p, chunk, &done, nullptr)) return false;
#else
        const ssize_t done = write(h, p, std::min<size_t>(size, 1u << 30));
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
#endif
        p += done;
        size -= size_t(done);
    }
    return true;
}

bool Seek(Handle h, uint64_t offset) {
#ifdef _WIN32
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
#else
    return lseek(h, off_t(offset), SEEK_SET) == off_t(offset);
#endif
}

bool ReadAll(Handle h, void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0) {
#ifdef _WIN32
        DWORD done = 0;
        if (!ReadFile(h, p, DWORD(std::min<size_t>(size, 1u << 30)), &done, nullptr) || done == 0) return false;
#else
        const ssize_t done = read(h, p, std::min<size_t>(size, 1u << 30));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
#endif
        p += done;
        size -= size_t(done);
    }
    return true;
}

bool Flush(Handle h) {
#ifdef _WIN32
    return FlushFileBuffers(h) != 0;
#else
    return fsync(h) == 0;
#endif
}

bool RenameOver(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

// A rename is on the disk only once its folder is (Linux); Windows' write-through does it.
void FlushFolder(const fs::path& file) {
#ifndef _WIN32
    fs::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const int h = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (h >= 0) {
        fsync(h);
        close(h);
    }
#else
    (void)file;
#endif
}

constexpr uint32_t kJournalMagic = 0x4C4E4A5A; // "ZJNL"
constexpr size_t kJournalHeader = 32;

} // namespace

SaveError::SaveError(const fs::path& path, const std::string& reason)
    : Error("Failed to save " + Utf8FromPath(path) + ": " + reason) {}

void FileWriter::Write(const void* data, size_t size) {
    if (Injected(FileStep::Write)) throw SaveError(target_, InjectedReason());
    if (!WriteAll(Handle(handle_), data, size)) Fail(target_, FileStep::Write);
}

bool FileWriter::CopyFrom(const fs::path& source, uint64_t offset, uint64_t size) {
    if (Injected(FileStep::Write)) throw SaveError(target_, InjectedReason());
    OpenFile from(OpenForReading(source));
    if (from.handle == kNoHandle) return false;
#ifndef _WIN32
    // In the kernel; a file system that cannot (another device, an old
    // kernel) leaves the rest to the buffered loop.
    off_t at = off_t(offset);
    while (size > 0) {
        const ssize_t done = copy_file_range(from.handle, &at, int(handle_), nullptr,
                                             std::min<uint64_t>(size, 1u << 30), 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) break;
        if (done < 0) Fail(target_, FileStep::Write);
        if (done == 0) return false; // the source ended
        size -= uint64_t(done);
    }
    offset = uint64_t(at);
#endif
    if (size == 0) return true;
    if (!Seek(from.handle, offset)) return false;
    std::vector<uint8_t> buffer(std::min<uint64_t>(size, 1u << 20));
    while (size > 0) {
        const size_t n = size_t(std::min<uint64_t>(size, buffer.size()));
        if (!ReadAll(from.handle, buffer.data(), n)) return false;
        if (!WriteAll(Handle(handle_), buffer.data(), n)) Fail(target_, FileStep::Write);
        size -= n;
    }
    return true;
}

void SaveFileAtomically(const fs::path& target, const std::function<void(FileWriter&)>& write, SaveMode mode) {
    const bool durable = mode == SaveMode::Durable;
    RefuseReadOnly(target);
    const fs::path temporary = TemporaryBeside(target);
    const Handle created = Injected(FileStep::Open) ? kNoHandle : CreateExclusive(temporary);
    if (created == kNoHandle) {
        const int code = LastSystemError();
        throw SaveError(target, code ? Reason(code) : InjectedReason());
    }
    OpenFile file(created);
    try {
        FileWriter writer(target, intptr_t(file.handle));
        write(writer);
        if (durable) Run(FileStep::Flush, target, [&] { return Flush(file.handle); });
        Run(FileStep::Flush, target, [&] { return file.Close(); });
        Run(FileStep::Rename, target, [&] { return RenameOver(temporary, target); });
    } catch (...) {
        if (file.handle != kNoHandle) file.Close();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    if (durable) FlushFolder(target);
}

void SaveFileAtomically(const fs::path& target, const void* data, size_t size, SaveMode mode) {
    SaveFileAtomically(
        target, [&](FileWriter& out) { out.Write(data, size); }, mode);
}

void CopyFileAtomically(const fs::path& source, const fs::path& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in) throw SaveError(target, "Unable to read " + Utf8FromPath(source));
    SaveFileAtomically(target, [&](FileWriter& out) {
        std::vector<char> block(1 << 20);
        while (in) {
            in.read(block.data(), std::streamsize(block.size()));
            if (in.gcount() > 0) out.Write(block.data(), size_t(in.gcount()));
        }
        if (in.bad()) throw SaveError(target, "Unable to read " + Utf8FromPath(source));
    });
}

std::optional<FileIdentity> IdentityOf(const fs::path& path) {
#ifdef _WIN32
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return std::nullopt;
    FileIdentity identity;
    identity.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    identity.writeTime = uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
    identity.fileId = (uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow) ^ uint64_t(info.dwVolumeSerialNumber);
    return identity;
#else
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    FileIdentity identity;
    identity.size = uint64_t(info.st_size);
    identity.writeTime = uint64_t(info.st_mtim.tv_sec) * 1000000000u + uint64_t(info.st_mtim.tv_nsec);
    identity.fileId = uint64_t(info.st_ino) ^ (uint64_t(info.st_dev) << 40);
    return identity;
#endif
}

#ifdef _WIN32
namespace {
// Windows will not replace a file another handle holds open, so the lock is
// a named mutex of the file's full path rather than a lock on the file.
std::wstring LockName(const fs::path& path) {
    std::error_code ec;
    std::wstring full = fs::absolute(path, ec).wstring();
    uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : full) {
        hash ^= uint64_t(towupper(c));
        hash *= 1099511628211ull;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Local\\ZRC-Zelko-save-%016llx", static_cast<unsigned long long>(hash));
    return name;
}
} // namespace
#endif

FileLock::FileLock(const fs::path& path, int waitMs) : handle_(0) {
    if (Injected(FileStep::Lock)) throw SaveError(path, InjectedReason());
#ifdef _WIN32
    HANDLE mutex = CreateMutexW(nullptr, FALSE, LockName(path).c_str());
    if (!mutex) Fail(path, FileStep::Lock);
    const DWORD waited = WaitForSingleObject(mutex, DWORD(waitMs));
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) { // abandoned: its holder died; the file is checked anyway
        CloseHandle(mutex);
        throw SaveError(path, Utf8FromPath(path.filename()) + " is being saved by another program");
    }
    handle_ = intptr_t(mutex);
#else
    const int h = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (h < 0) Fail(path, FileStep::Lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    // The lock stays with the file that was opened; a save renames a new file
    // over it, and the next saver's identity check sees that.
    while (flock(h, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            close(h);
            throw SaveError(path, Utf8FromPath(path.filename()) + " is being saved by another program");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    handle_ = h;
#endif
}

FileLock::~FileLock() {
#ifdef _WIN32
    ReleaseMutex(HANDLE(handle_));
    CloseHandle(HANDLE(handle_));
#else
    close(int(handle_)); // closing releases the lock
#endif
}

namespace {
bool RollBack(const fs::path& path);
} // namespace

uint64_t CurrentProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return uint64_t(getpid());
#endif
}

fs::path JournalPathFor(const fs::path& path) {
    fs::path journal = path;
    journal += ".zelko-journal";
    return journal;
}

void PatchFileInPlace(const fs::path& path, uint64_t offset, const void* bytes, const void* expected, size_t size) {
    RefuseReadOnly(path);
    const Handle h = Injected(FileStep::Open) ? kNoHandle : OpenReadWrite(path);
    if (h == kNoHandle) {
        const int code = LastSystemError();
        throw SaveError(path, code ? Reason(code) : InjectedReason());
    }
    OpenFile file(h);
    std::vector<uint8_t> onDisk(size);
    if (!Seek(h, offset) || !ReadAll(h, onDisk.data(), size) || std::memcmp(onDisk.data(), expected, size) != 0) {
        throw SaveError(path, Utf8FromPath(path.filename()) + " was changed by another program since it was opened");
    }
    const auto identity = IdentityOf(path);
    const fs::path journal = JournalPathFor(path);
    SaveFileAtomically(journal, [&](FileWriter& out) {
        uint8_t header[kJournalHeader] = {};
        StoreU32(header, kJournalMagic);
        StoreU32(header + 4, 1);
        const uint64_t fileSize = identity ? identity->size : 0;
        StoreU32(header + 8, uint32_t(fileSize)), StoreU32(header + 12, uint32_t(fileSize >> 32));
        StoreU32(header + 16, uint32_t(offset)), StoreU32(header + 20, uint32_t(offset >> 32));
        StoreU32(header + 24, uint32_t(size)), StoreU32(header + 28, uint32_t(uint64_t(size) >> 32));
        out.Write(header, sizeof header);
        out.Write(expected, size);
    });
    try {
        if (Injected(FileStep::Write)) throw SaveError(path, InjectedReason());
        if (!Seek(h, offset) || !WriteAll(h, bytes, size)) Fail(path, FileStep::Write);
        Run(FileStep::Flush, path, [&] { return Flush(h); });
    } catch (...) {
        // Put the old bytes back at once; if that fails too, the journal stays for the next open.
        file.Close();
        RollBack(path);
        throw;
    }
    file.Close();
    std::error_code ignored;
    fs::remove(journal, ignored);
    FlushFolder(journal);
}

namespace {
// Puts the journal's bytes back; the caller holds the file's save lock.
bool RollBack(const fs::path& path) {
    const fs::path journal = JournalPathFor(path);
    std::error_code error;
    if (!fs::exists(journal, error)) return false;
    ByteReader reader;
    try {
        reader.OpenFile(journal);
    } catch (const Error&) {
        return false;
    }
    if (reader.Size() < kJournalHeader) return false;
    const uint8_t* header = reader.Begin();
    const uint64_t fileSize = LoadU32(header + 8) | uint64_t(LoadU32(header + 12)) << 32;
    const uint64_t offset = LoadU32(header + 16) | uint64_t(LoadU32(header + 20)) << 32;
    const uint64_t size = LoadU32(header + 24) | uint64_t(LoadU32(header + 28)) << 32;
    const auto identity = IdentityOf(path);
    if (LoadU32(header) != kJournalMagic || !identity || identity->size != fileSize ||
        size != reader.Size() - kJournalHeader || offset > fileSize || size > fileSize - offset) {
        return false;
    }
    const Handle h = OpenReadWrite(path);
    if (h == kNoHandle) return false;
    OpenFile file(h);
    if (!Seek(h, offset) || !WriteAll(h, header + kJournalHeader, size_t(size)) || !Flush(h)) return false;
    file.Close();
    fs::remove(journal, error);
    FlushFolder(journal);
    return true;
}

// True while a process with this id runs (or when that cannot be told).
bool ProcessRuns(uint64_t id) {
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(id));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    if (id == 0 || id > uint64_t(INT32_MAX)) return false;
    return kill(pid_t(id), 0) == 0 || errno == EPERM;
#endif
}
} // namespace

bool RollBackInterruptedPatch(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(JournalPathFor(path), error)) return false;
    // The journal may belong to a save running right now: wait for its lock,
    // after which a finished save has removed its journal.
    try {
        FileLock lock(path);
        return RollBack(path);
    } catch (const SaveError&) {
        return false;
    }
}

int RemoveAbandonedTemporaries(const fs::path& target) {
    // The archive's own saves and those of its patch journal.
    const std::string archive = Utf8FromPath(target.filename()) + ".zelko-";
    const std::string journal = Utf8FromPath(JournalPathFor(target).filename()) + ".zelko-";
    std::error_code error;
    fs::directory_iterator it(target.parent_path().empty() ? fs::path(".") : target.parent_path(), error);
    int removed = 0;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) continue;
        size_t i = name.rfind(journal, 0) == 0 ? journal.size() : name.rfind(archive, 0) == 0 ? archive.size() : 0;
        if (i == 0) continue;
        // "<process>-<count>-<clock>.tmp": only a save whose process has ended is abandoned.
        const size_t digits = i;
        uint64_t id = 0;
        for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && id < (uint64_t(1) << 40); ++i) {
            id = id * 10 + uint64_t(name[i] - '0');
        }
        if (i == digits || i >= name.size() || name[i] != '-' || ProcessRuns(id)) continue;
        std::error_code ignored;
        if (fs::remove(it->path(), ignored)) ++removed;
    }
    return removed;
}

namespace detail {
void FailFileStep(FileStep step, int nth) { gFailAt[size_t(step)] = nth; }
} // namespace detail

} // namespace zelko
