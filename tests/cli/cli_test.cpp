// The command-line tool end to end, run in process on archives it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "TempFolder.h"
#include "cli/Cli.h"
#include "container/OpenFlow.h"
#include "format/ByteStream.h"
#include "format/Text.h"
#include "texture/Dds.h"
#include "texture/ImageFile.h"
#include "texture/ImageOps.h"
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
    Result r{code, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    return r;
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

} // namespace

TEST(Cli, ListsPacksAsTextAndJson) {
    Sample s;
    const Result text = Zelko({"list", U8(s.archive)});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("1 Texture file"), std::string::npos);
    EXPECT_NE(text.out.find("Files: 3 Textures: 12"), std::string::npos);

    const Result json = Zelko({"list", U8(s.archive), "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_EQ(Count(json.out, "\"kind\": 0"), 3u);
    EXPECT_NE(json.out.find("\"text\": \"3 Texture file\""), std::string::npos);
    EXPECT_NE(json.out.find("\"counts\": \"Files: 3 Textures: 12\""), std::string::npos);
    EXPECT_NE(json.out.find("\"textureCount\": 5"), std::string::npos);
}

TEST(Cli, DescribesTexturesInJson) {
    Sample s;
    const Result r = Zelko({"textures", U8(s.archive), "--entry", "1", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"version\": 5"), std::string::npos);
    EXPECT_NE(r.out.find("\"platform\": \"PC\""), std::string::npos);
    EXPECT_NE(r.out.find("\"packName\": \"SAMPLE\""), std::string::npos);
    EXPECT_NE(r.out.find("\"name\": \"NIS_240_SX_BODY\""), std::string::npos);
    EXPECT_NE(r.out.find("\"formatName\": \"DXT1\""), std::string::npos);
    EXPECT_NE(r.out.find("\"hash\": \"0x"), std::string::npos);
    EXPECT_EQ(Count(r.out, "\"mipCount\""), 5u);
}

TEST(Cli, FindsTexturesInEveryPack) {
    Sample s;
    const Result text = Zelko({"find", U8(s.archive), "nis_240_sx_b"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out, "1\tNIS_240_SX_BADGING\n1\tNIS_240_SX_BODY\n");
    EXPECT_EQ(Zelko({"find", U8(s.archive), "nis_240_sx_b", "--match-case"}).out, "");
    const Result json = Zelko({"find", U8(s.archive), "ROAD_", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"matchCase\": false"), std::string::npos) << json.out;
    EXPECT_EQ(Count(json.out, "\"entry\": 3"), 2u) << json.out;  // the third pack's two road textures
    EXPECT_EQ(Count(json.out, "\"name\": \"ROAD_"), 2u) << json.out;
    EXPECT_EQ(Zelko({"find", U8(s.archive)}).code, 2);
}

TEST(Cli, ExportsEveryFormat) {
    Sample s;
    Document document = OpenDocument(s.archive, false, Host{});
    const auto pack = OpenEntry(document, document.entries.at(0), Host{});
    const TextureObject* badge = pack->FindTexture("NIS_240_SX_BADGING");
    ASSERT_NE(badge, nullptr);
    const auto decoded = MakePreviewPixels(*badge, false, std::nullopt);
    ASSERT_TRUE(decoded);
    const char* formats[] = {"dds", "bmp", "gif", "tiff", "jpeg", "png", "tga"};
    const char* extensions[] = {"dds", "bmp", "gif", "tiff", "jpg", "png", "tga"};
    for (int i = 0; i < 7; ++i) {
        const auto out = s.dir.path() / formats[i];
        const Result r = Zelko({"export", U8(s.archive), "--entry", "1", "--format", formats[i], "--out", U8(out),
                                "--only", "NIS_240_SX_BADGING"});
        ASSERT_EQ(r.code, 0) << formats[i] << ": " << r.err;
        const auto file = out / (std::string("NIS_240_SX_BADGING.") + extensions[i]);
        ASSERT_TRUE(std::filesystem::exists(file)) << file;
        ScratchImage image;
        TexMetadata meta;
        HResult hr = kFail;
        if (i == 0) hr = LoadFromDDSFile(file, &meta, image);
        else if (i == 6) hr = LoadFromTGAFile(file, &meta, image);
        else hr = LoadFromImageFile(file, &meta, image);
        ASSERT_TRUE(Succeeded(hr)) << file;
        EXPECT_EQ(meta.width, 128u);
        EXPECT_EQ(meta.height, 128u);
        // DDS keeps the whole chain in the texture's own format; the others the base level.
        EXPECT_EQ(meta.mipLevels, i == 0 ? 8u : 1u);
        if (i == 0) {
            EXPECT_EQ(meta.format, DxgiFormat::BC3_UNORM);
            const auto pixels = badge->PixelView();
            EXPECT_EQ(std::vector<uint8_t>(image.GetPixels(), image.GetPixels() + image.GetPixelsSize()),
                      std::vector<uint8_t>(pixels.begin(), pixels.end()));
        } else {
            // The files' pixels, read back, against the decoded texture: exact
            // where the format is lossless, within its error where it is not.
            ScratchImage bgra;
            ASSERT_EQ(Convert(*image.GetImage(0, 0, 0), DxgiFormat::B8G8R8A8_UNORM, kTexFilterDefault, 0.5f, bgra), kOk);
            const Image& level = *bgra.GetImage(0, 0, 0);
            // JPEG has no alpha, GIF only on or off: their colours count where the texture is opaque enough.
            const bool keepsAlpha = i != 4 && i != 2;
            double error = 0;
            size_t counted = 0;
            for (size_t y = 0; y < 128; ++y) {
                const uint8_t* a = level.pixels + y * level.rowPitch;
                const uint8_t* b = decoded->bgra.data() + (127 - y) * 128 * 4;  // bottom-up
                for (size_t x = 0; x < 128 * 4; x += 4) {
                    if (!keepsAlpha && b[x + 3] < 128) continue;
                    for (size_t c = 0; c < (keepsAlpha ? 4u : 3u); ++c, ++counted) {
                        error += std::abs(int(a[x + c]) - int(b[x + c]));
                    }
                }
            }
            error /= double(counted);
            EXPECT_LE(error, i == 4 ? 4.0 : i == 2 ? 8.0 : 0.0) << formats[i];
        }
    }
    // Exporting again numbers the new file instead of overwriting.
    const auto png = s.dir.path() / "png";
    ASSERT_EQ(Zelko({"export", U8(s.archive), "--format", "png", "--out", U8(png), "--only", "NIS_240_SX_BADGING"}).code, 0);
    EXPECT_TRUE(std::filesystem::exists(png / "NIS_240_SX_BADGING (1).png"));

    const Result all = Zelko({"export", U8(s.archive), "--all-entries", "--format", "tga", "--out",
                              U8(s.dir.path() / "all")});
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_NE(all.out.find("Exported 12 texture(s)"), std::string::npos);
}

TEST(Cli, ImportsAFolderConvertsAndKeepsABackup) {
    Sample s;
    const auto exported = s.dir.path() / "exported";
    ASSERT_EQ(Zelko({"export", U8(s.archive), "--entry", "2", "--format", "png", "--out", U8(exported)}).code, 0);
    const auto folder = s.dir.path() / "import";
    std::filesystem::create_directories(folder);
    // One file replaces its texture, one is added under its own name.
    std::filesystem::copy_file(exported / "LOADING_SCREEN_01.png", folder / "FRONTEND_LOGO.png");
    std::filesystem::copy_file(exported / "WARNING_STRIPES.png", folder / "HAZARD.png");
    const auto before = ReadFileBytes(s.archive);

    const Result r = Zelko({"import", U8(s.archive), "--entry", "2", U8(folder)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Processed textures: 2"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(s.dir.path() / "sample.bin.bak"), before);

    const Result t = Zelko({"textures", U8(s.archive), "--entry", "2"});
    EXPECT_NE(t.out.find("HAZARD"), std::string::npos);
    EXPECT_NE(t.out.find("Textures: 5"), std::string::npos);
    // The replaced logo took the new image's size (a rebuilt archive may change sizes).
    const auto logo = t.out.find("FRONTEND_LOGO");
    ASSERT_NE(logo, std::string::npos);
    EXPECT_NE(t.out.substr(logo, 80).find("256    256"), std::string::npos);

    const Result c = Zelko({"convert", U8(s.archive), "--entry", "2", "--format", "DXT5", "--no-backup"});
    ASSERT_EQ(c.code, 0) << c.err;
    const Result after = Zelko({"textures", U8(s.archive), "--entry", "2", "--json"});
    EXPECT_EQ(Count(after.out, "\"formatName\": \"DXT5\""), 5u);
    // The other packs came through the rebuild untouched.
    EXPECT_NE(Zelko({"list", U8(s.archive)}).out.find("Files: 3 Textures: 13"), std::string::npos);
}

TEST(Cli, EditsByName) {
    Sample s;
    const auto a = U8(s.archive);
    EXPECT_EQ(Zelko({"rename", a, "NIS_240_SX_TIRE", "NIS_240_SX_WHEEL"}).code, 0);
    EXPECT_EQ(Zelko({"duplicate", a, "NIS_240_SX_WHEEL", "NIS_240_SX_SPARE"}).code, 0);
    EXPECT_EQ(Zelko({"delete", a, "NIS_240_SX_BODY"}).code, 0);
    const Result t = Zelko({"textures", a});
    EXPECT_EQ(t.out.find("NIS_240_SX_TIRE"), std::string::npos);
    EXPECT_EQ(t.out.find("NIS_240_SX_BODY"), std::string::npos);
    EXPECT_NE(t.out.find("NIS_240_SX_SPARE"), std::string::npos);

    // A name whose hash is taken is refused and nothing is written.
    const auto before = ReadFileBytes(s.archive);
    const Result taken = Zelko({"rename", a, "NIS_240_SX_WHEEL", "NIS_240_SX_SPARE"});
    EXPECT_EQ(taken.code, 1);
    EXPECT_NE(taken.err.find("is taken"), std::string::npos);
    const Result missing = Zelko({"delete", a, "NO_SUCH"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(ReadFileBytes(s.archive), before);
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
