#include "cli/Cli.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/Commands.h"
#include "cli/Common.h"
#include "container/SampleArchive.h"
#include "format/NameHash.h"
#include "format/Platform.h"
#include "format/Text.h"

namespace zelko::cli {

namespace {

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* summary;
};

constexpr Command kCommands[] = {
    {"list", CmdList, "list the texture packs of an archive"},
    {"textures", CmdTextures, "list the textures of a pack"},
    {"find", CmdFind, "find textures by name in every pack"},
    {"export", CmdExport, "write textures to image files"},
    {"import", CmdImport, "replace and add textures from image files and folders"},
    {"replace", CmdReplace, "give a texture the pixels of an image file"},
    {"add", CmdAdd, "add image files as new textures"},
    {"delete", CmdDelete, "remove textures"},
    {"rename", CmdRename, "rename a texture"},
    {"duplicate", CmdDuplicate, "copy a texture under a new name"},
    {"convert", CmdConvert, "change the pixel format of textures"},
    {"expand", CmdExpand, "decompress a compressed .lzc archive in place"},
    {"sample", CmdSample, "write a small demo archive"},
};

void PrintUsage(FILE* out) {
    std::fputs(
        "Usage: zelko COMMAND [OPTIONS]\n"
        "\n"
        "Texture archives of the racing games, from the command line.\n"
        "\n"
        "Commands:\n",
        out);
    for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fputs(
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Run 'zelko COMMAND --help' for the options of a command.\n",
        out);
}

constexpr const char* kSampleUsage =
    "Usage: zelko sample OUT\n"
    "\n"
    "Writes a small demo archive made from generated images: three texture packs\n"
    "(Underground 2, Carbon and World layouts) between other chunks.\n";

// The folder holding the running program, where the name lists ship.
void LoadNameLists() {
    const auto data = ProgramFolder() / "Data";
    try {
        LoadNameDatabase(data);
        BuildKnownNames(data);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelko: name lists in %s: %s\n", Utf8FromPath(data).c_str(), e.what());
    }
}

} // namespace

int CmdSample(const Args& args) {
    const Options opt(args, 1, {}, {});
    if (opt.Help()) return cli::PrintUsage(kSampleUsage);
    if (opt.Positional().size() != 1) throw UsageError("sample needs OUT");
    WriteSampleArchive(PathFromUtf8(opt.Positional()[0]));
    std::printf("Wrote %s\n", opt.Positional()[0].c_str());
    return kExitOk;
}

int Run(const Args& args) {
    if (args.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (command == "-V" || command == "--version") {
        std::printf("zelko %s\n", ZELKO_VERSION);
        return kExitOk;
    }
    for (const Command& c : kCommands) {
        if (command != c.name) continue;
        try {
            LoadNameLists();
            return c.run(args);
        } catch (const UsageError& e) {
            EndProgress();
            std::fprintf(stderr, "zelko %s: %s\nRun 'zelko %s --help' for its options.\n", c.name, e.what(), c.name);
            return kExitUsage;
        } catch (const std::exception& e) {
            EndProgress();
            std::fprintf(stderr, "zelko: %s\n", e.what());
            return kExitFailure;
        }
    }
    std::fprintf(stderr, "zelko: unknown command '%s'\n\n", command.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

} // namespace zelko::cli
