#include "container/SampleArchive.h"

#include <cmath>
#include <fstream>
#include <string>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/SafeFile.h"
#include "format/TextureFile.h"
#include "imaging/Image.h"
#include "texture/Conversion.h"

namespace zelko {

namespace {

enum class Pattern { Gradient, Checker, Badge, Stripes, Plasma, Glass };

uint8_t Clamp(double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

ScratchImage Generate(Pattern pattern, uint32_t w, uint32_t h, uint32_t seed) {
    ScratchImage image;
    if (Failed(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, w, h, 1, 1))) throw Error("Out of memory");
    const Image& img = *image.GetImage(0, 0, 0);
    const double hue = seed * 0.9;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = img.pixels + y * img.rowPitch;
        for (uint32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            double r = 0, g = 0, b = 0, a = 255;
            switch (pattern) {
            case Pattern::Gradient:
                r = 255 * u;
                g = 255 * v;
                b = 128 + 127 * std::sin(hue + 6 * u * v);
                break;
            case Pattern::Checker: {
                const bool on = ((x / (w / 8)) + (y / (h / 8))) % 2;
                r = on ? 230 : 40;
                g = on ? 200 : 60;
                b = on ? 60 : 140;
                break;
            }
            case Pattern::Badge: {
                const double dx = u - 0.5, dy = v - 0.5, d = std::sqrt(dx * dx + dy * dy);
                r = 220 - 200 * d;
                g = 40 + 300 * d;
                b = 60 + 100 * std::cos(hue + 20 * d);
                a = d < 0.42 ? 255 : d < 0.48 ? 255 * (0.48 - d) / 0.06 : 0;
                break;
            }
            case Pattern::Stripes:
                r = ((x + y) / 8) % 2 ? 250 : 20;
                g = r;
                b = 30;
                a = ((x + y) / 8) % 2 ? 255 : 96;
                break;
            case Pattern::Plasma:
                r = 128 + 127 * std::sin(hue + 9 * u + 3 * std::sin(7 * v));
                g = 128 + 127 * std::sin(hue * 2 + 11 * v + 2 * std::cos(5 * u));
                b = 128 + 127 * std::sin(13 * (u + v));
                break;
            case Pattern::Glass:
                r = 90 + 60 * v;
                g = 120 + 60 * v;
                b = 170 + 70 * u;
                a = 70 + 120 * u;
                break;
            }
            uint8_t* p = row + x * 4;
            p[0] = Clamp(b);
            p[1] = Clamp(g);
            p[2] = Clamp(r);
            p[3] = Clamp(a);
        }
    }
    return image;
}

struct SampleTexture {
    const char* name;
    Pattern pattern;
    uint32_t width, height, mips, format;
};

void AddSample(TextureFile& pack, const SampleTexture& s, uint32_t seed) {
    ScratchImage image = Generate(s.pattern, s.width, s.height, seed);
    std::string error;
    if (!ConvertImage(image, s.format, s.width, s.height, s.mips, Resizing::KeepSize, error)) throw Error(error);
    pack.AddTexture(s.name, image);
}

std::vector<uint8_t> SamplePack(int game, const char* fileName, const std::vector<SampleTexture>& textures) {
    TextureFile pack;
    pack.packName = "SAMPLE";
    pack.packFileName = fileName;
    uint32_t seed = 1;
    for (const auto& t : textures) AddSample(pack, t, seed++);
    ByteWriter w;
    pack.Save(game, w);
    return w.ToVector();
}

void Chunk(ByteWriter& w, uint32_t id, uint32_t size, uint8_t fill) {
    w.WriteU32(id);
    w.WriteU32(size);
    w.Fill(fill, size);
}

} // namespace

std::vector<uint8_t> MakeSampleArchive() {
    ByteWriter w;
    Chunk(w, 0x34026, 56, 0x21);
    const auto cars = SamplePack(GameUnderground2, "CARS\\NIS_240_SX\\TEXTURES.BIN",
                                 {{"NIS_240_SX_BADGING", Pattern::Badge, 128, 128, 8, kFormatDXT5},
                                  {"NIS_240_SX_BODY", Pattern::Gradient, 256, 256, 9, kFormatDXT1},
                                  {"NIS_240_SX_WINDOW_FRONT", Pattern::Glass, 64, 64, 7, kFormatDXT3},
                                  {"NIS_240_SX_INTERIOR", Pattern::Checker, 128, 64, 1, kFormatARGB},
                                  {"NIS_240_SX_TIRE", Pattern::Plasma, 64, 64, 1, kFormatDXT1}});
    w.Write(cars.data(), cars.size());
    Chunk(w, 0, PadTo(uint64_t(w.Position()) + 8, 128), 0);
    Chunk(w, 0x3B800, 200, 0x42);
    const auto frontend = SamplePack(GameCarbon, "FRONTEND\\FRONTEND_TEXTURES.BIN",
                                     {{"FRONTEND_LOGO", Pattern::Badge, 256, 128, 1, kFormatARGB},
                                      {"LOADING_SCREEN_01", Pattern::Plasma, 256, 256, 1, kFormatDXT1},
                                      {"LOADING_SCREEN_02", Pattern::Gradient, 256, 256, 1, kFormatDXT1},
                                      {"WARNING_STRIPES", Pattern::Stripes, 64, 64, 7, kFormatDXT5}});
    w.Write(frontend.data(), frontend.size());
    Chunk(w, 0, PadTo(uint64_t(w.Position()) + 8, 128), 0);
    const auto world = SamplePack(GameWorld, "TRACKS\\SAMPLE_TRACK.BIN",
                                  {{"ROAD_ASPHALT", Pattern::Plasma, 128, 128, 8, kFormatDXT1},
                                   {"ROAD_ASPHALT_N", Pattern::Gradient, 128, 128, 8, kFormatATI2},
                                   {"SKY_CLOUDS", Pattern::Glass, 256, 128, 1, kFormatARGB}});
    w.Write(world.data(), world.size());
    Chunk(w, 0x80034A10, 48, 0x13);
    return w.ToVector();
}

void WriteSampleArchive(const std::filesystem::path& path) {
    const auto bytes = MakeSampleArchive();
    SaveFileAtomically(path, bytes.data(), bytes.size());
}

} // namespace zelko
