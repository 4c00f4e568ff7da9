#include "imaging/ImageBlock.h"

#include <bit>
#include <cstring>

namespace zelko::block {

static_assert(std::endian::native == std::endian::little, "pixels are assembled as little-endian 32-bit words");

namespace {

inline uint32_t Pixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a, bool bgra) {
    return bgra ? b | g << 8 | r << 16 | a << 24 : r | g << 8 | b << 16 | a << 24;
}

// Palette of a colour block. fourColour forces the four-colour mode (BC2/BC3).
void ColourPalette(const uint8_t* block, bool fourColour, bool bgra, uint32_t palette[4]) {
    uint32_t c0 = block[0] | block[1] << 8;
    uint32_t c1 = block[2] | block[3] << 8;
    uint32_t r0 = c0 >> 11, g0 = (c0 >> 5) & 63, b0 = c0 & 31;
    uint32_t r1 = c1 >> 11, g1 = (c1 >> 5) & 63, b1 = c1 & 31;
    r0 = r0 << 3 | r0 >> 2;
    g0 = g0 << 2 | g0 >> 4;
    b0 = b0 << 3 | b0 >> 2;
    r1 = r1 << 3 | r1 >> 2;
    g1 = g1 << 2 | g1 >> 4;
    b1 = b1 << 3 | b1 >> 2;
    palette[0] = Pixel(r0, g0, b0, 255, bgra);
    palette[1] = Pixel(r1, g1, b1, 255, bgra);
    if (fourColour || c0 > c1) {
        palette[2] = Pixel((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3, 255, bgra);
        palette[3] = Pixel((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3, 255, bgra);
    } else {
        palette[2] = Pixel((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2, 255, bgra);
        palette[3] = 0;
    }
}

void ColourBlock(const uint8_t* block, bool fourColour, bool bgra, uint32_t out[16]) {
    uint32_t palette[4];
    ColourPalette(block, fourColour, bgra, palette);
    uint32_t bits = block[4] | block[5] << 8 | block[6] << 16 | uint32_t(block[7]) << 24;
    for (int i = 0; i < 16; ++i, bits >>= 2) out[i] = palette[bits & 3];
}

// The eight values of an alpha/BC4 block; a0 > a1 selects the 8-step ramp,
// otherwise 6 steps plus 0 and 255.
void AlphaPalette(uint32_t a0, uint32_t a1, uint8_t palette[8]) {
    palette[0] = uint8_t(a0);
    palette[1] = uint8_t(a1);
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) palette[1 + i] = uint8_t(((7 - i) * a0 + i * a1) / 7);
    } else {
        for (uint32_t i = 1; i < 5; ++i) palette[1 + i] = uint8_t(((5 - i) * a0 + i * a1) / 5);
        palette[6] = 0;
        palette[7] = 255;
    }
}

uint64_t AlphaIndexBits(const uint8_t* block) {
    uint64_t bits = 0;
    for (int i = 7; i >= 2; --i) bits = bits << 8 | block[i];
    return bits;
}

void AlphaBlock(const uint8_t* block, uint8_t* out, int stride) {
    uint8_t palette[8];
    AlphaPalette(block[0], block[1], palette);
    uint64_t bits = AlphaIndexBits(block);
    for (int i = 0; i < 16; ++i, bits >>= 3) out[i * stride] = palette[bits & 7];
}

// Signed endpoints: -128 reads as -127, the ramp ends are -127 and 127.
void SignedAlphaBlock(const uint8_t* block, int8_t* out, int stride) {
    int s0 = int8_t(block[0]), s1 = int8_t(block[1]);
    if (s0 == -128) s0 = -127;
    if (s1 == -128) s1 = -127;
    int palette[8] = {s0, s1};
    if (s0 > s1) {
        for (int i = 1; i < 7; ++i) palette[1 + i] = ((7 - i) * s0 + i * s1) / 7;
    } else {
        for (int i = 1; i < 5; ++i) palette[1 + i] = ((5 - i) * s0 + i * s1) / 5;
        palette[6] = -127;
        palette[7] = 127;
    }
    uint64_t bits = AlphaIndexBits(block);
    for (int i = 0; i < 16; ++i, bits >>= 3) out[i * stride] = int8_t(palette[bits & 7]);
}

} // namespace

void DecodeBC1(const uint8_t* block, uint8_t rgba[64], bool bgra) {
    uint32_t pixels[16];
    ColourBlock(block, false, bgra, pixels);
    std::memcpy(rgba, pixels, 64);
}

void DecodeBC2(const uint8_t* block, uint8_t rgba[64], bool bgra) {
    uint32_t pixels[16];
    ColourBlock(block + 8, true, bgra, pixels);
    for (int i = 0; i < 16; ++i) {
        uint32_t a = (block[i / 2] >> (4 * (i & 1))) & 15;
        pixels[i] = (pixels[i] & 0x00FFFFFFu) | (a * 17) << 24;
    }
    std::memcpy(rgba, pixels, 64);
}

void DecodeBC3(const uint8_t* block, uint8_t rgba[64], bool bgra) {
    uint32_t pixels[16];
    ColourBlock(block + 8, true, bgra, pixels);
    uint8_t alpha[16];
    AlphaBlock(block, alpha, 1);
    for (int i = 0; i < 16; ++i) pixels[i] = (pixels[i] & 0x00FFFFFFu) | uint32_t(alpha[i]) << 24;
    std::memcpy(rgba, pixels, 64);
}

void DecodeBC4(const uint8_t* block, uint8_t red[16]) { AlphaBlock(block, red, 1); }

void DecodeBC4S(const uint8_t* block, int8_t red[16]) { SignedAlphaBlock(block, red, 1); }

void DecodeBC5(const uint8_t* block, uint8_t rg[32]) {
    AlphaBlock(block, rg, 2);
    AlphaBlock(block + 8, rg + 1, 2);
}

void DecodeBC5S(const uint8_t* block, int8_t rg[32]) {
    SignedAlphaBlock(block, rg, 2);
    SignedAlphaBlock(block + 8, rg + 1, 2);
}

} // namespace zelko::block
