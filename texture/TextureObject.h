#pragma once
// The in-memory record of one texture, the same for every game and platform.
// Pixels are always in the PC layout; Xbox 360 data is converted on creation.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zelko {

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

// Format codes of the packs.
constexpr uint32_t kFormatARGB = 21;
constexpr uint32_t kFormatP8 = 41;
constexpr uint32_t kFormatL8 = 50;
constexpr uint32_t kFormatDXT1 = MakeFourCC('D', 'X', 'T', '1');
constexpr uint32_t kFormatDXT2 = MakeFourCC('D', 'X', 'T', '2');
constexpr uint32_t kFormatDXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr uint32_t kFormatDXT4 = MakeFourCC('D', 'X', 'T', '4');
constexpr uint32_t kFormatDXT5 = MakeFourCC('D', 'X', 'T', '5');
constexpr uint32_t kFormatATI1 = MakeFourCC('A', 'T', 'I', '1');
constexpr uint32_t kFormatATI2 = MakeFourCC('A', 'T', 'I', '2');

// Xbox 360 codes: accepted only while a record is created.
constexpr uint32_t kXboxLinearARGB = 0x18280086;
constexpr uint32_t kXboxTiledARGB = 0x18280186;
constexpr uint32_t kXboxTiledDXT1 = 0x1A200152;
constexpr uint32_t kXboxTiledDXT3 = 0x1A200153;
constexpr uint32_t kXboxTiledDXT5 = 0x1A200154;

bool IsXboxFormat(uint32_t format);
// The PC code of an Xbox 360 code; other codes come back unchanged.
uint32_t PcFormatOf(uint32_t format);
// "ARGB", "P8", "L8", "DXT1".."DXT5", "BC4", "BC5"; "UNKNOWN" for anything else.
const char* FormatName(uint32_t format);

// What a texture record is made from: its shape, format and bytes (copied),
// and the game's bytes for its format record and blending.
struct TextureSource {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    uint32_t mipCount = 0;
    const uint8_t* pixels = nullptr;
    uint32_t pixelCount = 0;
    const uint8_t* palette = nullptr;
    uint32_t paletteCount = 0;
    uint8_t formatRecordFlag = 0;
    uint8_t alphaMode = 0;
    uint8_t blendMode = 0;
};

class TextureObject {
public:
    // A read-only view of the unpacked pixels; owns a temporary copy while the
    // record is packed.
    class Pixels {
    public:
        const uint8_t* data() const { return data_; }
        uint32_t size() const { return size_; }
        const uint8_t* begin() const { return data_; }
        const uint8_t* end() const { return data_ + size_; }

    private:
        friend class TextureObject;
        const uint8_t* data_ = nullptr;
        uint32_t size_ = 0;
        std::unique_ptr<uint8_t[]> owned_;
    };

    std::string name;
    uint32_t hash = 0;
    uint32_t format = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipCount = 0;
    uint32_t dataOffset = 0;
    uint32_t paletteOffset = 0;
    uint8_t formatRecordFlag = 0;
    uint8_t alphaMode = 0;
    uint8_t blendMode = 0;
    std::filesystem::path sourcePath;
    std::vector<uint8_t> gameRecord;
    std::unique_ptr<uint8_t[]> pixels; // pixelsSize bytes, or packedSize while packed
    uint32_t pixelsSize = 0;
    std::vector<uint8_t> palette;
    uint32_t paletteSize = 0;
    bool flagsEdited = false;
    bool pixelsPacked = false;
    uint32_t packedSize = 0;
    uint32_t fromXbox360 = 0;

    // Checks format, width, height, mip count in that order ("Not supported
    // texture format", "Invalid width", "Invalid height", "Invalid mip map
    // count"), copies the bytes, converts Xbox 360 data, then packs if asked.
    static std::unique_ptr<TextureObject> Create(const TextureSource& source, bool packInMemory = false);

    // A copy under a new name (and its hash); the pixel store is copied as held.
    static std::unique_ptr<TextureObject> Duplicate(const TextureObject& source, const std::string& newName);

    // The name when it hashes to `hash`, else the known name for the hash, else
    // the name (with " (0x<hash>)" appended when withHash is set).
    std::string GetDisplayName(bool withHash) const;

    // Packs (LZ4) or unpacks the pixels; returns the new state.
    bool SetPacked(bool packed);
    // Packs pixelsSize bytes from `bytes` into pixels.
    void PackFrom(const uint8_t* bytes);

    Pixels PixelView() const;
    // Writes the unpacked pixels (pixelsSize bytes) to `out`, with no copy
    // on the way for a packed record.
    void CopyPixelsTo(uint8_t* out) const;

    // Replaces the image; a packed record stays packed.
    void SetData(uint32_t newWidth, uint32_t newHeight, uint32_t newMipCount, const uint8_t* pixelBytes,
                 uint32_t pixelCount, const uint8_t* paletteBytes, uint32_t paletteCount);
    // Takes ownership of already-built pixels instead of copying them.
    void SetData(uint32_t newWidth, uint32_t newHeight, uint32_t newMipCount, std::unique_ptr<uint8_t[]> pixelBytes,
                 uint32_t pixelCount, const uint8_t* paletteBytes, uint32_t paletteCount);

    // alphaMode and blendMode for a game (1..7; others get the format's default).
    void SetGameFlags(int game);
};

} // namespace zelko
