#pragma once
// The command-line tool `zelko`: arguments arrive as UTF-8 on every platform.
#include <filesystem>
#include <string>
#include <vector>

namespace zelko::cli {

using Args = std::vector<std::string>;

// Exit codes: 0 success, 1 an operation failed, 2 the command line was wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Run(const Args& args);

} // namespace zelko::cli
