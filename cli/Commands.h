#pragma once
// The subcommands of `zelko`; each parses its own options and returns the exit code.
#include "cli/Cli.h"

namespace zelko::cli {

int CmdList(const Args& args);
int CmdTextures(const Args& args);
int CmdFind(const Args& args);
int CmdExport(const Args& args);
int CmdImport(const Args& args);
int CmdReplace(const Args& args);
int CmdAdd(const Args& args);
int CmdDelete(const Args& args);
int CmdRename(const Args& args);
int CmdDuplicate(const Args& args);
int CmdConvert(const Args& args);
int CmdExpand(const Args& args);
int CmdSample(const Args& args);

} // namespace zelko::cli
