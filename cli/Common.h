#pragma once
// What the subcommands share: loading a document with progress on the
// terminal, picking an entry, saving through the container.
#include <filesystem>
#include <memory>
#include <string>

#include "cli/Options.h"
#include "container/OpenFlow.h"

namespace zelko::cli {

// Progress texts on stderr when it is a terminal; reports on stderr with --verbose.
Host TerminalHost(bool verbose = false);
// Clears a progress line left on the terminal.
void EndProgress();

Document LoadDocument(const std::string& archiveArgument);
// The entry by the number the listing shows (1 for "1 Texture file").
ArchiveEntry& PickEntry(Document& document, long number);
std::unique_ptr<IBinFile> OpenContainer(const Document& document, ArchiveEntry& entry);
// Saves the container into the document (".bak" unless noBackup); throws on failure.
void SaveContainer(IBinFile& container, Document& document, bool noBackup);

// Names in messages and output: UTF-8 from the games' code page.
std::string Shown(const std::string& narrowName);

// Prints a command's help to stdout, or to stderr with a UsageError.
int PrintUsage(const char* usage);

} // namespace zelko::cli
