#pragma once
// Pack format codes against the imaging layer's DXGI formats, and the Xbox
// 360 conversion.
#include <cstdint>
#include <vector>

namespace zelko {

class TextureObject;

// DXGI format number for a pack format code (Xbox 360 codes included);
// throws Error("Not supported texture format") for any other code.
uint32_t ToDxgi(uint32_t format);

// The pack format that holds pixels of a DXGI format as they are: BC1-BC5
// and 32-bit BGRA/BGRX; 0 for any other.
uint32_t PackFormatFromDxgi(uint32_t dxgi);

// Bytes of one level of width x height in pack format `format` (P8 counts as
// 8 bits per pixel); 0 when they cannot be told. Throws as ToDxgi.
uint64_t SliceSize(uint32_t format, uint32_t width, uint32_t height);

// Bytes of the base level; P8 counts as 8 bits per pixel. Throws
// "Invalid slice size" when that is 0.
uint32_t BaseSliceSize(const TextureObject& texture);

// Byte swap and untiling of Xbox 360 data into the PC layout, then the PC
// format code. Throws "Unable to process compressed data" on a packed record.
void ConvertFromXbox360(TextureObject& texture);

// The tiled element index of (x, y) on a surface P elements wide, for
// elements of e bytes (4, 8 or 16).
uint32_t XboxTiledOffset(uint32_t x, uint32_t y, uint32_t P, uint32_t e);

} // namespace zelko
