#pragma once
// Single 4x4 block codecs of the BC1..BC5 formats. Pixels are 16 entries in
// row order; colour pixels are 4 bytes R, G, B, A.
//
// Decoding follows the integer arithmetic of the common reference decoders:
// 5/6-bit endpoints widened by bit replication, the 1/3 and 2/3 colours as
// (2a + b) / 3 and the half colour as (a + b) / 2, alpha ramps as
// ((n - i) a + i b) / n, all truncating. BC2/BC3 colour is always in
// four-colour mode; only BC1 switches to three colours plus transparent black
// when colour0 <= colour1.
#include <cstdint>

namespace zelko::block {

// bgra: write B, G, R, A instead, for decoding straight into BGRA images.
void DecodeBC1(const uint8_t* block, uint8_t rgba[64], bool bgra = false);
void DecodeBC2(const uint8_t* block, uint8_t rgba[64], bool bgra = false);
void DecodeBC3(const uint8_t* block, uint8_t rgba[64], bool bgra = false);
void DecodeBC4(const uint8_t* block, uint8_t red[16]);
void DecodeBC4S(const uint8_t* block, int8_t red[16]);
void DecodeBC5(const uint8_t* block, uint8_t rg[32]); // R, G interleaved
void DecodeBC5S(const uint8_t* block, int8_t rg[32]);

// Encoder effort for colour. kFast is stb_dxt's normal mode. kRefined fits
// endpoints to the exact decoder palette and searches the neighbouring 5:6:5
// values (about 0.4 dB better on photographs, about 15% slower); single-colour
// blocks still go to stb_dxt's endpoint tables. Alpha, BC4 and BC5 always use
// stb_dxt.
enum class EncodeQuality { kFast, kRefined };

// alphaRef > 0: pixels with alpha below it become transparent black through
// BC1's three-colour mode; 0 encodes every pixel as opaque.
void EncodeBC1(const uint8_t rgba[64], uint8_t block[8], int alphaRef, EncodeQuality quality);
// Explicit 4-bit alpha rounded as (a * 15 + 127) / 255, four-colour block.
void EncodeBC2(const uint8_t rgba[64], uint8_t block[16], EncodeQuality quality);
void EncodeBC3(const uint8_t rgba[64], uint8_t block[16], EncodeQuality quality);
void EncodeBC4(const uint8_t red[16], uint8_t block[8]);
void EncodeBC5(const uint8_t rg[32], uint8_t block[16]); // R, G interleaved

} // namespace zelko::block
