#pragma once
// Writing files so that no failure and no crash loses what was there: the new
// bytes go to a temporary file of their own beside the target, are flushed to
// the disk, and then replace the target in one step. Also the lock and the
// identity that keep two programs from saving over each other, and the
// journal that makes an in-place patch undoable after a crash.
//
// This file and its .cpp are the one place where the core calls the
// operating system's file functions directly.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "format/Errors.h"

namespace zelko {

// "Failed to save <path>: <reason>", the reason in the system's words.
class SaveError : public Error {
public:
    SaveError(const std::filesystem::path& path, const std::string& reason);
};

enum class SaveMode {
    Durable, // flushed to the disk before it replaces the target, and the folder after
    NewFile, // a file that did not exist: a power cut may lose it, but no earlier content
};

// An open temporary file receiving the new content.
class FileWriter {
public:
    // Throws SaveError for the target on a failed write.
    void Write(const void* data, size_t size);
    // Appends `size` bytes of the file `source` from `offset`, copied by the
    // system where it can (on Linux without passing through this process).
    // False, with the bytes so far written, when `source` cannot be opened or
    // ends first; throws SaveError for the target on a failed write.
    bool CopyFrom(const std::filesystem::path& source, uint64_t offset, uint64_t size);

private:
    friend void SaveFileAtomically(const std::filesystem::path&, const std::function<void(FileWriter&)>&, SaveMode);
    FileWriter(const std::filesystem::path& target, intptr_t handle) : target_(target), handle_(handle) {}
    const std::filesystem::path& target_;
    intptr_t handle_;
};

// Creates a temporary file beside `target` (a name of this save alone,
// created exclusively), lets `write` fill it, flushes it to the disk and
// renames it over `target` (and flushes the folder). On any failure the
// temporary file is removed, `target` is as it was, and SaveError is thrown;
// an exception from `write` passes through the same way. A read-only target
// is refused ("<name> is read-only").
void SaveFileAtomically(const std::filesystem::path& target, const std::function<void(FileWriter&)>& write,
                        SaveMode mode = SaveMode::Durable);
void SaveFileAtomically(const std::filesystem::path& target, const void* data, size_t size,
                        SaveMode mode = SaveMode::Durable);

// Copies `source` to `target` through SaveFileAtomically: the source stays
// where it is. Throws SaveError for the target.
void CopyFileAtomically(const std::filesystem::path& source, const std::filesystem::path& target);

// What tells one version of a file from another: size, last write and the
// file system's own number for it (which every rename-replace changes).
struct FileIdentity {
    uint64_t size = 0;
    uint64_t writeTime = 0;
    uint64_t fileId = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`, or nothing when it cannot be read.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// An exclusive lock on saving a file, held while it lives: a second program
// that saves the same file waits for it. On Linux a lock on the file itself
// (reading stays possible); on Windows, which will not replace a file that
// another handle holds, a mutex named after the file's full path. Throws
// SaveError when the file cannot be opened, or "<name> is being saved by
// another program" after `waitMs`.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& path, int waitMs = 10000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    intptr_t handle_;
};

// Overwrites `size` bytes at `offset` of the file with `bytes`, after
// checking that they still hold `expected` (else SaveError "<name> was
// changed by another program since it was opened"). The old bytes go to a
// journal beside the file first, flushed, and the journal goes once the
// patch is flushed: a crash in between leaves the journal for
// RollBackInterruptedPatch.
void PatchFileInPlace(const std::filesystem::path& path, uint64_t offset, const void* bytes, const void* expected,
                      size_t size);

// The journal of an in-place patch of `path`.
std::filesystem::path JournalPathFor(const std::filesystem::path& path);

// Puts back the bytes an interrupted in-place patch had overwritten and
// removes the journal: true when it did. Waits for a save of the file that
// is running now (its journal is not abandoned). A journal that does not belong to
// the file (wrong size or damaged) is left alone and false returned.
bool RollBackInterruptedPatch(const std::filesystem::path& path);

// This process's id, which names its temporary files.
uint64_t CurrentProcessId();

// Removes the temporary files that saves of `target` by processes no longer
// running left behind (a save killed midway); returns how many.
int RemoveAbandonedTemporaries(const std::filesystem::path& target);

// The steps a test can make fail.
enum class FileStep { Open, Write, Flush, Rename, Lock };

namespace detail {
// Test hook: the nth run (counting from 1) of `step` from now on fails as a
// full disk would. 0 clears it. Counts are per step.
void FailFileStep(FileStep step, int nth);
} // namespace detail

} // namespace zelko
