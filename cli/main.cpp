#include "cli/Cli.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <filesystem>

#include "format/Text.h"

// Windows hands out UTF-16 arguments; the tool works in UTF-8 throughout.
int wmain(int argc, wchar_t** argv) {
    zelko::cli::Args args;
    for (int i = 1; i < argc; ++i) args.push_back(zelko::Utf8FromPath(std::filesystem::path(argv[i])));
    return zelko::cli::Run(args);
}
#else
int main(int argc, char** argv) {
    zelko::cli::Args args(argv + 1, argv + argc);
    return zelko::cli::Run(args);
}
#endif
