#include "cli/Common.h"

#include "container/Editing.h"

#include <cstdio>

#include "format/Errors.h"
#include "format/Text.h"

#ifdef _WIN32
#include <io.h>
#define ZELKO_ISATTY _isatty
#define ZELKO_FILENO _fileno
#else
#include <unistd.h>
#define ZELKO_ISATTY isatty
#define ZELKO_FILENO fileno
#endif

namespace zelko::cli {

namespace {
bool progressShown = false;
}

Host TerminalHost(bool verbose) {
    Host host;
    if (ZELKO_ISATTY(ZELKO_FILENO(stderr))) {
        host.progress = [](const std::string& text) {
            std::fprintf(stderr, "\r\033[K%s", text.c_str());
            std::fflush(stderr);
            progressShown = true;
        };
    }
    host.showMessage = [](const std::string& text) {
        if (!text.empty()) {
            EndProgress();
            std::fprintf(stderr, "zelko: %s\n", text.c_str());
        }
    };
    host.failure = [](const std::string& text) {
        EndProgress();
        std::fprintf(stderr, "zelko: %s\n", text.c_str());
    };
    if (verbose) {
        host.report = [](const std::string& text) {
            EndProgress();
            std::fprintf(stderr, "%s\n", text.c_str());
        };
    }
    return host;
}

void EndProgress() {
    if (progressShown) {
        std::fputs("\r\033[K", stderr);
        progressShown = false;
    }
}

Document LoadDocument(const std::string& archiveArgument) {
    const auto path = PathFromUtf8(archiveArgument);
    std::error_code ec;
    Document doc = std::filesystem::is_directory(path, ec) ? OpenWorldFolder(path)
                                                           : OpenDocument(path, true, TerminalHost());
    EndProgress();
    if (doc.rolledBack)
        std::fprintf(stderr, "zelko: %s: an interrupted save was rolled back first\n", archiveArgument.c_str());
    return doc;
}

ArchiveEntry& PickEntry(Document& document, long number) {
    const auto it = document.entries.find(uint32_t(number - 1));
    if (number < 1 || it == document.entries.end()) {
        throw Error("no entry " + std::to_string(number) + " in " + Utf8FromPath(document.path) + " (it has " +
                    std::to_string(document.entries.size()) + ")");
    }
    return it->second;
}

std::unique_ptr<IBinFile> OpenContainer(const Document& document, ArchiveEntry& entry) {
    try {
        auto container = OpenEntry(document, entry, TerminalHost());
        EndProgress();
        return container;
    } catch (const EntryLoadError& e) {
        EndProgress();
        // The shown text names the entry; the reason says why.
        std::string text = e.what();
        if (!e.reason.empty()) text += ": " + e.reason;
        throw Error(text);
    }
}

void SaveContainer(IBinFile& container, Document& document, bool noBackup) {
    if (container.platform != 0) throw Error("This feature is only available for PC version");
    SaveIntoDocument(container, document, !noBackup);
    if (document.kind == kEntryPack) FinishSave(document.path, true);
}

std::string Shown(const std::string& narrowName) { return Utf8FromCp1252(narrowName); }

int PrintUsage(const char* usage) {
    std::fputs(usage, stdout);
    return kExitOk;
}

} // namespace zelko::cli
