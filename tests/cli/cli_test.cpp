// The command-line tool end to end, run in process on archives it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tuple>

#include "TempFolder.h"
#include "cli/Cli.h"
#include "container/Find.h"
#include "container/OpenFlow.h"
#include "format/ByteStream.h"
#include "format/Text.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "imaging/ImageOps.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

using namespace zelko;

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Zelko(std::vector<std::string> args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = cli::Run(args);
    return {code, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

std::string U8(const std::filesystem::path& p) { return Utf8FromPath(p); }

struct Sample {
    TempFolder dir;
    std::filesystem::path archive = dir.path() / "sample.bin";
    Sample() { EXPECT_EQ(Zelko({"sample", U8(archive)}).code, 0); }
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void ExpectParts(const std::string& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) EXPECT_NE(text.find(part), std::string::npos) << part << " not in " << text;
}

} // namespace

TEST(Cli, ListsDescribesAndFindsAsTextAndJson) {
    Sample s;
    const Result list = Zelko({"list", U8(s.archive)});
    ASSERT_EQ(list.code, 0) << list.err;
    ExpectParts(list.out, {"1 Texture file", "Files: 3 Textures: 12"});
    const Result listJson = Zelko({"list", U8(s.archive), "--json"});
    EXPECT_EQ(Count(listJson.out, "\"kind\": 0"), 3u);
    ExpectParts(listJson.out,
                {"\"text\": \"3 Texture file\"", "\"counts\": \"Files: 3 Textures: 12\"", "\"textureCount\": 5"});

    const Result textures = Zelko({"textures", U8(s.archive), "--entry", "1", "--json"});
    ASSERT_EQ(textures.code, 0) << textures.err;
    ExpectParts(textures.out,
                {"\"version\": 5", "\"platform\": \"PC\"", "\"packName\": \"SAMPLE\"", "\"name\": \"NIS_240_SX_BODY\"",
                 "\"formatName\": \"DXT1\"", "\"hash\": \"0x"});
    EXPECT_EQ(Count(textures.out, "\"mipCount\""), 5u);

    const Result found = Zelko({"find", U8(s.archive), "nis_240_sx_b"});
    ASSERT_EQ(found.code, 0) << found.err;
    EXPECT_EQ(found.out, "1\tNIS_240_SX_BADGING\n1\tNIS_240_SX_BODY\n");
    EXPECT_EQ(Zelko({"find", U8(s.archive), "nis_240_sx_b", "--match-case"}).out, "");
    const Result foundJson = Zelko({"find", U8(s.archive), "ROAD_", "--json"});
    ASSERT_EQ(foundJson.code, 0) << foundJson.err;
    EXPECT_NE(foundJson.out.find("\"matchCase\": false"), std::string::npos) << foundJson.out;
    EXPECT_EQ(Count(foundJson.out, "\"entry\": 3"), 2u) << foundJson.out; // the third pack's two road textures
    EXPECT_EQ(Count(foundJson.out, "\"name\": \"ROAD_"), 2u) << foundJson.out;
    EXPECT_EQ(Zelko({"find", U8(s.archive)}).code, 2);
    // Ignoring case folds the Western letters only: not U+00F7 to U+00D7, nothing beyond 8 bits.
    EXPECT_TRUE(Match(u"CAF\u00c9_SIGN", u"caf\u00e9", false));
    EXPECT_FALSE(Match(u"A\u00d7B", u"\u00f7", false));
    EXPECT_FALSE(Match(u"\u0141ODZ", u"\u0142odz", false));
}

TEST(Cli, ExportsEveryFormat) {
    Sample s;
    Document document = OpenDocument(s.archive, false, Host{});
    const auto pack = OpenEntry(document, document.entries.at(0), Host{});
    const TextureObject* badge = pack->FindTexture("NIS_240_SX_BADGING");
    ASSERT_NE(badge, nullptr);
    const auto decoded = MakePreviewPixels(*badge, false, std::nullopt);
    ASSERT_TRUE(decoded);
    // {--format, extension, what the file's signature says}: TGA has none. How
    // faithful each lossy writer is, is checked with the image files.
    const std::tuple<const char*, const char*, std::optional<ImageFileFormat>> formats[] = {
        {"dds", "dds", ImageFileFormat::DDS},
        {"bmp", "bmp", ImageFileFormat::BMP},
        {"gif", "gif", ImageFileFormat::GIF},
        {"tiff", "tiff", ImageFileFormat::TIFF},
        {"jpeg", "jpg", ImageFileFormat::JPEG},
        {"png", "png", ImageFileFormat::PNG},
        {"tga", "tga", std::nullopt}};
    for (const auto& [name, extension, type] : formats) {
        SCOPED_TRACE(name);
        const auto out = s.dir.path() / name;
        const Result r = Zelko({"export", U8(s.archive), "--entry", "1", "--format", name, "--out", U8(out), "--only",
                                "NIS_240_SX_BADGING"});
        ASSERT_EQ(r.code, 0) << r.err;
        const auto file = out / (std::string("NIS_240_SX_BADGING.") + extension);
        const auto bytes = ReadFileBytes(file);
        ASSERT_EQ(DetectImageFileFormat(bytes.data(), bytes.size()), type);
        const bool dds = type == ImageFileFormat::DDS;
        ScratchImage image;
        TexMetadata meta;
        ASSERT_TRUE(Succeeded(!type     ? LoadFromTGAFile(file, &meta, image)
                                  : dds ? LoadFromDDSFile(file, &meta, image)
                                        : LoadFromImageFile(file, &meta, image)));
        // DDS keeps the whole chain in the texture's own format; the others the base level.
        EXPECT_EQ(std::tuple(meta.width, meta.height, meta.mipLevels), std::tuple(128u, 128u, dds ? 8u : 1u));
        if (dds) {
            EXPECT_EQ(meta.format, DxgiFormat::BC3_UNORM);
            const auto pixels = badge->PixelView();
            EXPECT_EQ(std::vector<uint8_t>(image.GetPixels(), image.GetPixels() + image.GetPixelsSize()),
                      std::vector<uint8_t>(pixels.begin(), pixels.end()));
        } else if (type != ImageFileFormat::JPEG && type != ImageFileFormat::GIF) {
            // Lossless: the decoded texture exactly, whose rows run bottom-up.
            for (size_t y = 0; y < 128; ++y)
                ASSERT_EQ(std::memcmp(image.GetPixels() + y * 512, decoded->bgra.data() + (127 - y) * 512, 512), 0)
                    << y;
        }
    }
    const Result all = Zelko(
        {"export", U8(s.archive), "--all-entries", "--format", "tga", "--out", U8(s.dir.path() / "all")});
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_NE(all.out.find("Exported 12 texture(s)"), std::string::npos);
}

// The commands' arguments, messages and exit codes; the editing rules are the core's tests.
TEST(Cli, EditsImportsAndConvertsByName) {
    Sample s;
    const auto a = U8(s.archive);
    EXPECT_EQ(Zelko({"rename", a, "NIS_240_SX_TIRE", "NIS_240_SX_WHEEL", "--no-backup"}).code, 0);
    EXPECT_EQ(Zelko({"duplicate", a, "NIS_240_SX_WHEEL", "NIS_240_SX_SPARE", "--no-backup"}).code, 0);
    EXPECT_EQ(Zelko({"delete", a, "NIS_240_SX_BODY", "--no-backup"}).code, 0);
    const Result t = Zelko({"textures", a});
    EXPECT_EQ(t.out.find("NIS_240_SX_BODY"), std::string::npos);
    EXPECT_EQ(t.out.find("NIS_240_SX_TIRE"), std::string::npos);
    ExpectParts(t.out, {"NIS_240_SX_WHEEL", "NIS_240_SX_SPARE"});
    // A name whose hash is taken is refused and nothing is written.
    const auto before = ReadFileBytes(s.archive);
    const Result taken = Zelko({"rename", a, "NIS_240_SX_WHEEL", "NIS_240_SX_SPARE"});
    EXPECT_EQ(taken.code, 1);
    EXPECT_NE(taken.err.find("is taken"), std::string::npos);
    EXPECT_EQ(Zelko({"delete", a, "NO_SUCH"}).code, 1);
    EXPECT_EQ(ReadFileBytes(s.archive), before);

    // A folder: one file replaces its texture, one is added under its own name.
    const auto exported = s.dir.path() / "exported", folder = s.dir.path() / "import";
    ASSERT_EQ(Zelko({"export", a, "--entry", "2", "--format", "png", "--out", U8(exported)}).code, 0);
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(exported / "LOADING_SCREEN_01.png", folder / "FRONTEND_LOGO.png");
    std::filesystem::copy_file(exported / "WARNING_STRIPES.png", folder / "HAZARD.png");
    const Result r = Zelko({"import", a, "--entry", "2", U8(folder)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Processed textures: 2"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(s.dir.path() / "sample.bin.bak"), before);
    const Result c = Zelko({"convert", a, "--entry", "2", "--format", "DXT5", "--no-backup"});
    ASSERT_EQ(c.code, 0) << c.err;
    const Result after = Zelko({"textures", a, "--entry", "2", "--json"});
    EXPECT_EQ(Count(after.out, "\"formatName\": \"DXT5\""), 5u);
    EXPECT_NE(after.out.find("HAZARD"), std::string::npos);
    EXPECT_NE(Zelko({"list", a}).out.find("Files: 3 Textures: 13"), std::string::npos); // the other packs kept
}

TEST(Cli, ReportsBadInputWithExitCodes) {
    TempFolder dir;
    const Result none = Zelko({"list", U8(dir.path() / "missing.bin")});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("zelko: Unable to open the file: "), std::string::npos);

    const auto junk = dir.path() / "junk.bin";
    WriteFile(junk, std::vector<uint8_t>(64, 0xAB));
    const Result bad = Zelko({"textures", U8(junk)});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("The file is not supported"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(junk), std::vector<uint8_t>(64, 0xAB));

    EXPECT_EQ(Zelko({"list"}).code, 2);
    EXPECT_EQ(Zelko({"export", U8(junk), "--format", "webp", "--out", "x"}).code, 2);
    EXPECT_EQ(Zelko({"textures", U8(junk), "--entry", "zero"}).code, 2);
    EXPECT_EQ(Zelko({"list", U8(junk), "--frobnicate"}).code, 2);
    const Result help = Zelko({"export", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: zelko export"), std::string::npos);
}
