#include "cli/Cli.h"

#include <cstdio>
#include <exception>

namespace zelko::cli {

namespace {

constexpr const char* kUsage =
    "Usage: zelko COMMAND [OPTIONS]\n"
    "\n"
    "Texture archives of the racing games, from the command line.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Run 'zelko COMMAND --help' for the options of a command.\n";

} // namespace

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

int Run(const Args& args) {
    try {
        if (args.empty()) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        const std::string& command = args[0];
        if (command == "-h" || command == "--help" || command == "help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (command == "-V" || command == "--version") {
            std::printf("zelko %s\n", ZELKO_VERSION);
            return kExitOk;
        }
        std::fprintf(stderr, "zelko: unknown command '%s'\n\n%s", command.c_str(), kUsage);
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelko: %s\n", e.what());
        return kExitFailure;
    }
}

} // namespace zelko::cli
