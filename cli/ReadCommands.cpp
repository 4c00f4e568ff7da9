// Commands that read an archive: list, textures, export, expand.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/Common.h"
#include "cli/Json.h"
#include "container/Find.h"
#include "format/Errors.h"
#include "format/GameFiles.h"
#include "format/Parallel.h"
#include "format/Text.h"
#include "container/Transfer.h"

namespace zelko::cli {

namespace {

constexpr const char* kListUsage =
    "Usage: zelko list ARCHIVE [--json]\n"
    "\n"
    "Lists the texture packs of a game archive (.bin, .bun, .lzc), a vinyl file\n"
    "(.vyl) or a World thumbnails folder, and the counts line.\n"
    "\n"
    "  --json   print a JSON document instead of text\n";

constexpr const char* kTexturesUsage =
    "Usage: zelko textures ARCHIVE [--entry N] [--json]\n"
    "\n"
    "Lists the textures of one pack: name, width, height, format, mip maps,\n"
    "hash, alpha and blend modes.\n"
    "\n"
    "  --entry N   the pack as numbered by 'zelko list' (default 1)\n"
    "  --json      print a JSON document instead of text\n";

constexpr const char* kFindUsage =
    "Usage: zelko find ARCHIVE PATTERN [--match-case] [--json]\n"
    "\n"
    "Lists the textures of every pack whose name contains PATTERN, ignoring the\n"
    "case of Western letters, sorted by name: the pack's number and the name.\n"
    "\n"
    "  --match-case  compare letters exactly\n"
    "  --json        print a JSON document instead of text\n";

constexpr const char* kExportUsage =
    "Usage: zelko export ARCHIVE --format FORMAT --out DIR [--entry N | --all-entries]\n"
    "                    [--only NAME...] [--overwrite] [--no-hash-names] [--jobs N]\n"
    "\n"
    "Writes textures to image files.\n"
    "\n"
    "  --format FORMAT   dds, bmp, gif, tiff, jpeg, png or tga\n"
    "  --out DIR         the output folder (created when missing)\n"
    "  --entry N         the pack as numbered by 'zelko list' (default 1)\n"
    "  --all-entries     every pack of the archive\n"
    "  --only NAME...    only textures with these names (as listed)\n"
    "  --overwrite       replace existing files instead of numbering new ones\n"
    "  --no-hash-names   keep names that do not hash to the texture's hash\n"
    "                    (by default such textures are written as 0x<hash>)\n"
    "  --jobs N          textures encoded at once (default: every core); the\n"
    "                    files and messages are the same for any N\n";

constexpr const char* kExpandUsage =
    "Usage: zelko expand FILE.lzc\n"
    "\n"
    "Replaces a compressed .lzc archive by its decompressed bytes, as opening it\n"
    "in the editor does. GAMEPLAY.LZC and files that are not compressed are left\n"
    "as they are.\n";

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

} // namespace

int CmdList(const Args& args) {
    const Options opt(args, 1, {"--json"}, {});
    if (opt.Help()) return PrintUsage(kListUsage);
    if (opt.Positional().size() != 1) throw UsageError("list needs one ARCHIVE");
    const Document doc = LoadDocument(opt.Positional()[0]);
    if (opt.Has("--json")) {
        JsonWriter j;
        j.BeginObject().Key("entries").BeginArray();
        for (const auto& [id, e] : doc.entries) {
            j.BeginObject()
                .Field("id", e.id)
                .Field("text", e.Text())
                .Field("name", e.name)
                .Field("offset", e.offset)
                .Field("size", e.size)
                .Field("textureCount", e.textureCount)
                .Field("kind", e.kind)
                .EndObject();
        }
        j.EndArray().Field("counts", CountsText(doc.entries)).EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kExitOk;
    }
    for (const auto& [id, e] : doc.entries) {
        std::printf("%-28s offset %-10u size %-10u textures %u\n", e.Text().c_str(), e.offset, e.size, e.textureCount);
    }
    std::printf("%s\n", CountsText(doc.entries).c_str());
    return kExitOk;
}

int CmdFind(const Args& args) {
    const Options opt(args, 1, {"--json", "--match-case"}, {});
    if (opt.Help()) return PrintUsage(kFindUsage);
    if (opt.Positional().size() != 2) throw UsageError("find needs ARCHIVE and PATTERN");
    const Document doc = LoadDocument(opt.Positional()[0]);
    const std::vector<FindRecord> index = BuildFindIndex(doc);
    const std::string& pattern = opt.Positional()[1];
    const bool matchCase = opt.Has("--match-case");
    const auto hits = SearchIndex(index, Utf16FromCp1252(Cp1252FromUtf8(pattern)), matchCase);
    if (opt.Has("--json")) {
        JsonWriter j;
        j.BeginObject().Field("pattern", pattern).Field("matchCase", matchCase).Key("hits").BeginArray();
        for (const FindRecord* hit : hits) {
            j.BeginObject()
                .Field("entry", hit->entryId + 1)
                .Field("name", Shown(hit->name))
                .Field("hash", Hex(hit->hash))
                .EndObject();
        }
        j.EndArray().EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kExitOk;
    }
    for (const FindRecord* hit : hits) std::printf("%u\t%s\n", hit->entryId + 1, Shown(hit->name).c_str());
    return kExitOk;
}

int CmdTextures(const Args& args) {
    const Options opt(args, 1, {"--json"}, {"--entry"});
    if (opt.Help()) return PrintUsage(kTexturesUsage);
    if (opt.Positional().size() != 1) throw UsageError("textures needs one ARCHIVE");
    const long number = opt.Number("--entry", 1, 1, 1 << 30);
    Document doc = LoadDocument(opt.Positional()[0]);
    ArchiveEntry& entry = PickEntry(doc, number);
    const auto container = OpenContainer(doc, entry);
    const auto rows = BuildTextureRows(*container);
    const TextureFile& pack = *container->pack;

    if (opt.Has("--json")) {
        JsonWriter j;
        j.BeginObject()
            .Field("entry", entry.id)
            .Field("version", pack.version)
            .Field("packName", Shown(container->loadedPackName))
            .Field("packFileName", Shown(container->loadedPackFileName))
            .Field("hasCompressedTable", pack.hasCompressedTable)
            .Field("platform", std::string(PlatformText(container->platform)))
            .Key("textures")
            .BeginArray();
        for (const TextureRow& row : rows) {
            const TextureObject& t = *row.texture;
            j.BeginObject()
                .Field("name", Shown(t.name))
                .Field("displayName", Shown(row.displayName))
                .Field("hash", Hex(t.hash))
                .Field("format", t.format)
                .Field("formatName", row.formatName)
                .Field("width", t.width)
                .Field("height", t.height)
                .Field("mipCount", t.mipCount)
                .Field("pixelsSize", t.pixelsSize)
                .Field("paletteSize", t.paletteSize)
                .Field("alphaMode", t.alphaMode)
                .Field("blendMode", t.blendMode)
                .Field("formatRecordFlag", t.formatRecordFlag)
                .Field("fromXbox360", t.fromXbox360 != 0)
                .Field("dataOffset", t.dataOffset)
                .Field("paletteOffset", t.paletteOffset)
                .EndObject();
        }
        j.EndArray().EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kExitOk;
    }
    std::printf("%s  version %u  %s%s\n", entry.Text().c_str(), pack.version, PlatformText(container->platform),
                pack.hasCompressedTable ? "  compressed" : "");
    std::printf("%-40s %6s %6s %-7s %4s  %-10s %5s %5s\n", "Name", "Width", "Height", "Format", "Mips", "Hash", "Alpha",
                "Blend");
    for (const TextureRow& row : rows) {
        const TextureObject& t = *row.texture;
        std::printf("%-40s %6u %6u %-7s %4u  %s %5u %5u\n", Shown(row.displayName).c_str(), t.width, t.height,
                    row.formatName.c_str(), t.mipCount, Hex(t.hash).c_str(), t.alphaMode, t.blendMode);
    }
    std::printf("Textures: %zu\n", rows.size());
    return kExitOk;
}

int CmdExport(const Args& args) {
    const Options opt(args, 1, {"--all-entries", "--overwrite", "--no-hash-names", "--verbose"},
                      {"--entry", "--format", "--out", "--jobs"}, {"--only"});
    if (opt.Help()) return PrintUsage(kExportUsage);
    if (opt.Positional().size() != 1) throw UsageError("export needs one ARCHIVE");
    if (opt.Has("--all-entries") && opt.Has("--entry"))
        throw UsageError("--entry and --all-entries exclude each other");
    ExportOptions options;
    options.format = ExportFormatFromName(opt.Required("--format"));
    if (options.format < 0) throw UsageError("unknown format '" + opt.Value("--format") + "'");
    options.folder = PathFromUtf8(opt.Required("--out"));
    options.overwrite = opt.Has("--overwrite");
    options.hashWhenTruncated = !opt.Has("--no-hash-names");
    options.jobs = unsigned(opt.Number("--jobs", long(DefaultJobs()), 1, 256));
    std::filesystem::create_directories(options.folder);

    const long number = opt.Number("--entry", 1, 1, 1 << 30);
    Document doc = LoadDocument(opt.Positional()[0]);
    std::vector<ArchiveEntry*> entries;
    if (opt.Has("--all-entries")) {
        for (auto& [id, e] : doc.entries) {
            if (e.kind != kEntryPack || e.name == kTextureFileEntryName) entries.push_back(&e);
        }
    } else {
        entries.push_back(&PickEntry(doc, number));
    }
    const auto& only = opt.List("--only");
    std::set<std::string> wanted(only.begin(), only.end());
    std::set<std::string> found;
    const Host host = TerminalHost(opt.Has("--verbose"));
    ExportOutcome outcome;
    for (ArchiveEntry* entry : entries) {
        std::unique_ptr<IBinFile> container;
        try {
            container = OpenContainer(doc, *entry);
        } catch (const std::exception& e) {
            // A compressed container among the packs is not a failure of the export.
            if (opt.Has("--all-entries")) continue;
            throw;
        }
        std::vector<const TextureObject*> textures;
        container->ForEachTexture([&](TextureObject* t) {
            const std::string shown = Shown(t->GetDisplayName(false));
            if (wanted.empty()) {
                textures.push_back(t);
            } else if (wanted.count(shown) || wanted.count(Shown(t->name))) {
                textures.push_back(t);
                found.insert(wanted.count(shown) ? shown : Shown(t->name));
            }
        });
        ExportTextures(textures, options, host, &outcome);
    }
    for (const std::string& name : wanted) {
        if (!found.count(name)) std::fprintf(stderr, "zelko: no texture named '%s'\n", name.c_str());
    }
    std::printf("Exported %zu texture(s) to %s\n", outcome.written.size(), Utf8FromPath(options.folder).c_str());
    return outcome.failed == 0 && found.size() == wanted.size() ? kExitOk : kExitFailure;
}

int CmdExpand(const Args& args) {
    const Options opt(args, 1, {}, {});
    if (opt.Help()) return PrintUsage(kExpandUsage);
    if (opt.Positional().size() != 1) throw UsageError("expand needs one FILE");
    const auto path = PathFromUtf8(opt.Positional()[0]);
    const auto before = std::filesystem::file_size(path);
    ExpandCompressedArchive(path);
    const auto after = std::filesystem::file_size(path);
    if (before == after) {
        std::printf("%s: left as it was\n", opt.Positional()[0].c_str());
    } else {
        std::printf("%s: expanded from %ju to %ju bytes\n", opt.Positional()[0].c_str(), uintmax_t(before),
                    uintmax_t(after));
    }
    return kExitOk;
}

} // namespace zelko::cli
