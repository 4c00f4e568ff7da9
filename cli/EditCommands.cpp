// Commands that change a pack and save the archive: import, replace, add,
// delete, rename, duplicate, convert.
#include <cstdio>
#include <set>

#include "cli/Commands.h"
#include "cli/Common.h"
#include "container/Editing.h"
#include "container/Transfer.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/Parallel.h"
#include "format/Text.h"
#include "texture/Conversion.h"
#include "texture/PixelFormat.h"

namespace zelko::cli {

namespace {

constexpr const char* kEditOptions =
    "  --entry N     the pack as numbered by 'zelko list' (default 1)\n"
    "  --no-backup   do not keep the archive's previous state in ARCHIVE.bak\n";

constexpr const char* kJobsOption =
    "  --jobs N      images converted at once (default: every core); the result\n"
    "                and the messages are the same for any N\n";

const std::string kImportUsage = std::string(
                                     "Usage: zelko import ARCHIVE [--entry N] [--jobs N] PATH...\n"
                                     "\n"
                                     "Brings image files (DDS, BMP, PNG, GIF, TIFF, JPEG) into a pack: a file whose\n"
                                     "name (without extension) names a texture replaces it, the others are added as\n"
                                     "new textures. A PATH may be a folder: its files are taken, without subfolders.\n"
                                     "\n") +
    kEditOptions + kJobsOption;

const std::string kReplaceUsage = std::string(
                                      "Usage: zelko replace ARCHIVE [--entry N] NAME IMAGE\n"
                                      "\n"
                                      "Gives the texture NAME the pixels of an image file, converted to the\n"
                                      "texture's format, size and mip maps.\n"
                                      "\n") +
    kEditOptions;

const std::string kAddUsage = std::string(
                                  "Usage: zelko add ARCHIVE [--entry N] [--jobs N] IMAGE...\n"
                                  "\n"
                                  "Adds image files as new textures named after the files (made unique with\n"
                                  "_1, _2, ...).\n"
                                  "\n") +
    kEditOptions + kJobsOption;

const std::string kDeleteUsage = std::string(
                                     "Usage: zelko delete ARCHIVE [--entry N] NAME...\n"
                                     "\n"
                                     "Removes textures from a pack; a pack keeps at least one texture.\n"
                                     "\n") +
    kEditOptions;

const std::string kRenameUsage =
    std::string(
        "Usage: zelko rename ARCHIVE [--entry N] NAME NEW_NAME\n"
        "\n"
        "Renames a texture. The new name's hash must not be taken by a texture of the pack.\n"
        "\n") +
    kEditOptions;

const std::string kDuplicateUsage = std::string(
                                        "Usage: zelko duplicate ARCHIVE [--entry N] NAME NEW_NAME\n"
                                        "\n"
                                        "Copies a texture under a new name, whose hash must be free in the pack.\n"
                                        "\n") +
    kEditOptions;

const std::string kConvertUsage = std::string(
                                      "Usage: zelko convert ARCHIVE [--entry N] --format FORMAT [--jobs N] [NAME...]\n"
                                      "\n"
                                      "Re-encodes textures in another pixel format: ARGB, P8, DXT1, DXT3, DXT5, BC4\n"
                                      "or BC5. Without NAME every texture of the pack is converted. --jobs N\n"
                                      "textures are encoded at once (default: every core); the result is the same.\n"
                                      "\n") +
    kEditOptions;

// An archive, one of its packs and the container it is open in.
struct Session {
    Document doc;
    ArchiveEntry* entry = nullptr;
    std::unique_ptr<IBinFile> container;
    bool noBackup = false;

    Session(const Options& opt, size_t minPositional, const char* what) {
        if (opt.Positional().size() < minPositional) throw UsageError(what);
        const long number = opt.Number("--entry", 1, 1, 1 << 30);
        doc = LoadDocument(opt.Positional()[0]);
        entry = &PickEntry(doc, number);
        container = OpenContainer(doc, *entry);
        noBackup = opt.Has("--no-backup");
        if (container->platform != 0) throw Error("This feature is only available for PC version");
    }
    void RequireRebuild() const {
        if (!container->CanRebuild()) {
            throw Error(Utf8FromPath(doc.path.filename()) +
                        " is patched in place: textures cannot be added, removed, renamed or resized");
        }
    }
    void Save() { SaveContainer(*container, doc, noBackup); }

    // A texture by its listed name, stored name or "0x" hash.
    TextureObject& Find(const std::string& utf8) const {
        const std::string narrow = Cp1252FromUtf8(utf8);
        TextureObject* match = nullptr;
        container->ForEachTexture([&](TextureObject* t) {
            if (!match &&
                (t->name == narrow || t->GetDisplayName(false) == narrow ||
                 (narrow.rfind("0x", 0) == 0 && NameHash(narrow) == t->hash))) {
                match = t;
            }
        });
        if (!match) throw Error("no texture named '" + utf8 + "'");
        return *match;
    }
    // A new name whose hash no texture of the pack has.
    std::string FreeName(const std::string& utf8) const {
        const std::string narrow = Cp1252FromUtf8(utf8);
        if (narrow.empty()) throw Error("the new name is empty");
        if (narrow.size() > kMaxTextureNameLength) throw Error("the new name is longer than 64 characters");
        if (NameHash(narrow) == 0) throw Error("invalid hash");
        if (!IsNameFree(TextureHashes(*container), narrow)) {
            const uint32_t hash = NameHash(narrow);
            std::string holder;
            container->ForEachTexture([&](TextureObject* t) {
                if (t->hash == hash && holder.empty()) holder = Shown(t->name);
            });
            throw Error("the name '" + utf8 + "' is taken (its hash is that of " + holder + ")");
        }
        return narrow;
    }
};

int Parsed(const Options& opt, const std::string& usage) {
    if (opt.Help()) return PrintUsage(usage.c_str());
    return -1;
}

uint32_t FormatCodeFromName(const std::string& name) {
    const std::string upper = UpperAscii(name);
    for (uint32_t code : {kFormatARGB, kFormatP8, kFormatDXT1, kFormatDXT3, kFormatDXT5, kFormatATI1, kFormatATI2}) {
        if (upper == FormatName(code)) return code;
    }
    if (upper == "ATI1") return kFormatATI1;
    if (upper == "ATI2") return kFormatATI2;
    throw UsageError("unknown format '" + name + "' (ARGB, P8, DXT1, DXT3, DXT5, BC4 or BC5)");
}

} // namespace

int CmdImport(const Args& args) {
    const Options opt(args, 1, {"--no-backup", "--verbose"}, {"--entry", "--jobs"});
    if (int r = Parsed(opt, kImportUsage); r >= 0) return r;
    Session s(opt, 2, "import needs ARCHIVE and at least one PATH");
    std::vector<std::filesystem::path> files;
    for (size_t i = 1; i < opt.Positional().size(); ++i) {
        const auto path = PathFromUtf8(opt.Positional()[i]);
        if (std::filesystem::is_directory(path)) {
            for (auto& f : FolderFiles(path)) files.push_back(f);
        } else if (std::filesystem::exists(path)) {
            files.push_back(path);
        } else {
            throw Error("no such file: " + opt.Positional()[i]);
        }
    }
    std::vector<TextureObject*> rows;
    s.container->ForEachTexture([&](TextureObject* t) { rows.push_back(t); });
    const ImportOutcome outcome = ImportFiles(*s.container, rows, files, TerminalHost(opt.Has("--verbose")), {},
                                              unsigned(opt.Number("--jobs", long(DefaultJobs()), 1, 256)));
    EndProgress();
    if (outcome.changed) s.Save();
    std::printf("Processed textures: %u\n", outcome.succeeded);
    for (const std::string& failure : outcome.failures) std::fprintf(stderr, "zelko: %s\n", failure.c_str());
    return outcome.failures.empty() ? kExitOk : kExitFailure;
}

int CmdReplace(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry"});
    if (int r = Parsed(opt, kReplaceUsage); r >= 0) return r;
    if (opt.Positional().size() != 3) throw UsageError("replace needs ARCHIVE, NAME and IMAGE");
    Session s(opt, 3, "");
    TextureObject& t = s.Find(opt.Positional()[1]);
    ScratchImage image;
    std::string error;
    if (!LoadImageForTexture(PathFromUtf8(opt.Positional()[2]), t,
                             s.container->CanRebuild() ? Resizing::KeepSize : Resizing::ToTarget, image, error)) {
        throw Error(error);
    }
    if (!s.container->ReplaceImage(&t, image)) throw Error("Failed to import the file: " + opt.Positional()[2]);
    s.Save();
    std::printf("Texture %s has been updated.\n", Shown(t.name).c_str());
    return kExitOk;
}

int CmdAdd(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry", "--jobs"});
    if (int r = Parsed(opt, kAddUsage); r >= 0) return r;
    Session s(opt, 2, "add needs ARCHIVE and at least one IMAGE");
    s.RequireRebuild();
    if (!s.container->pack) throw Error("No texture pack is open");
    const bool packInMemory = s.container->pack->packInMemory;
    const auto& names = opt.Positional();
    // Images are converted ahead on every core and added in the order given.
    ForEachInOrder<std::unique_ptr<TextureObject>>(
        names.size() - 1, unsigned(opt.Number("--jobs", long(DefaultJobs()), 1, 256)),
        [&](size_t i) { return ImportAsNewTexture(packInMemory, PathFromUtf8(names[i + 1])); },
        [&](size_t i, std::unique_ptr<TextureObject>& texture) {
            TextureObject& t = s.container->AddImportedTexture(PathFromUtf8(names[i + 1]), std::move(texture));
            std::printf("Added texture: %s\n", Shown(t.name).c_str());
        });
    s.Save();
    return kExitOk;
}

int CmdDelete(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry"});
    if (int r = Parsed(opt, kDeleteUsage); r >= 0) return r;
    Session s(opt, 2, "delete needs ARCHIVE and at least one NAME");
    s.RequireRebuild();
    for (size_t i = 1; i < opt.Positional().size(); ++i) {
        TextureObject& t = s.Find(opt.Positional()[i]);
        const std::string name = t.name;
        DeleteTexture(*s.container, t);
        std::printf("Deleted texture: %s\n", Shown(name).c_str());
    }
    s.Save();
    return kExitOk;
}

int CmdRename(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry"});
    if (int r = Parsed(opt, kRenameUsage); r >= 0) return r;
    if (opt.Positional().size() != 3) throw UsageError("rename needs ARCHIVE, NAME and NEW_NAME");
    Session s(opt, 3, "");
    s.RequireRebuild();
    TextureObject& t = s.Find(opt.Positional()[1]);
    const std::string narrow = s.FreeName(opt.Positional()[2]);
    const std::string old = t.GetDisplayName(true);
    RenameTexture(*s.container, t, narrow);
    s.Save();
    std::printf("Renamed texture: %s -> %s\n", Shown(old).c_str(), opt.Positional()[2].c_str());
    return kExitOk;
}

int CmdDuplicate(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry"});
    if (int r = Parsed(opt, kDuplicateUsage); r >= 0) return r;
    if (opt.Positional().size() != 3) throw UsageError("duplicate needs ARCHIVE, NAME and NEW_NAME");
    Session s(opt, 3, "");
    s.RequireRebuild();
    TextureObject& t = s.Find(opt.Positional()[1]);
    const std::string narrow = s.FreeName(opt.Positional()[2]);
    const std::string old = t.name;
    DuplicateTexture(*s.container, t, narrow);
    s.Save();
    std::printf("Duplicated texture: %s -> %s\n", Shown(old).c_str(), opt.Positional()[2].c_str());
    return kExitOk;
}

int CmdConvert(const Args& args) {
    const Options opt(args, 1, {"--no-backup"}, {"--entry", "--format", "--jobs"});
    if (int r = Parsed(opt, kConvertUsage); r >= 0) return r;
    const uint32_t format = FormatCodeFromName(opt.Required("--format"));
    Session s(opt, 1, "convert needs ARCHIVE");
    std::vector<TextureObject*> targets;
    if (opt.Positional().size() == 1) {
        s.container->ForEachTexture([&](TextureObject* t) { targets.push_back(t); });
    } else {
        for (size_t i = 1; i < opt.Positional().size(); ++i) targets.push_back(&s.Find(opt.Positional()[i]));
    }
    const unsigned jobs = unsigned(opt.Number("--jobs", long(DefaultJobs()), 1, 256));
    const unsigned changed = ChangeTextureFormats(
        *s.container, targets, format, jobs, [&](TextureObject& t, uint32_t old) {
            std::printf("%s format change %s -> %s\n", Shown(t.name).c_str(), FormatName(old), FormatName(format));
        });
    if (changed) s.Save();
    std::printf("Converted textures: %u\n", changed);
    return kExitOk;
}

} // namespace zelko::cli
