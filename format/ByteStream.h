#pragma once
// Bounds-checked reading of a block of bytes and a growing writer with the
// chunk framing of the game archives: an 8-byte header (32-bit id, 32-bit
// payload size) followed by the payload; id 0 is padding.
//
// All values are little-endian and are read and written in place; neither
// class swaps bytes or interprets what it holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace zelko {

constexpr uint32_t kPaddingChunkId = 0;
constexpr size_t kChunkHeaderSize = 8;

// Reads little-endian values from possibly unaligned bytes.
inline uint32_t LoadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void StoreU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

class ByteReader {
public:
    ByteReader() = default;
    // A view of bytes someone else owns; baseOffset is where `data` lies in its file.
    ByteReader(const uint8_t* data, size_t size, uint32_t baseOffset = 0);

    ByteReader(ByteReader&&) noexcept = default;
    ByteReader& operator=(ByteReader&&) noexcept = default;
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // Loads a file. size 0: the whole file (offset must be 0); otherwise
    // `size` bytes from `offset`. Throws "Invalid offset. Only 0 is allowed.",
    // "Failed to open the file", or "End of file" when the file is shorter.
    void OpenFile(const std::filesystem::path& path, uint64_t offset = 0, uint32_t size = 0);

    // Takes ownership of a buffer of `size` bytes and reads it from its start.
    void Adopt(std::unique_ptr<uint8_t[]> bytes, size_t size, uint32_t baseOffset = 0);

    // A reader over the same bytes from the current position to the end that owns
    // nothing; its baseOffset keeps file offsets right for alignment rules.
    ByteReader View() const;

    // Pointer to the n bytes at the position, then advances. Throws "ReadArray"
    // when n would wrap the position, "End of file" when it passes the end.
    const uint8_t* ReadArray(size_t n);
    // As ReadArray without moving; "PeekPointer" on wrap.
    const uint8_t* PeekPointer(size_t n) const;
    // Advances by n; OverflowError("ReadArray") on wrap, "End of file" past the end.
    void Skip(size_t n);
    // Moves to begin + offset unchecked; the next read checks.
    void Seek(size_t offset) { position_ = begin_ + offset; }

    uint32_t ReadU32() { return LoadU32(ReadArray(4)); }
    uint8_t ReadU8() { return *ReadArray(1); }
    uint32_t PeekU32() const { return LoadU32(PeekPointer(4)); }

    const uint8_t* Begin() const { return begin_; }
    const uint8_t* Position() const { return position_; }
    const uint8_t* End() const { return end_; }
    size_t Tell() const { return size_t(position_ - begin_); }
    size_t Size() const { return size_t(end_ - begin_); }
    // Bytes left before the end; 0 when a Seek put the position past it.
    size_t Remaining() const { return position_ < end_ ? size_t(end_ - position_) : 0; }
    bool AtEnd() const { return position_ >= end_; }
    uint32_t BaseOffset() const { return baseOffset_; }
    // Offset of the position in the file the block came from.
    uint64_t FileOffset() const { return uint64_t(baseOffset_) + Tell(); }

private:
    void CheckRange(size_t n, const char* wrapMessage, bool overflowKind) const;

    const uint8_t* begin_ = nullptr;
    const uint8_t* position_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint32_t baseOffset_ = 0;
    std::unique_ptr<uint8_t[]> ownedBuffer_;
};

class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(uint32_t baseOffset) : baseOffset_(baseOffset) {}

    ByteWriter(ByteWriter&&) noexcept = default;
    ByteWriter& operator=(ByteWriter&&) noexcept = default;
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void WriteU32(uint32_t value);
    void WriteU8(uint8_t value);
    void Write(const void* bytes, size_t count);
    // Takes the next `count` bytes for the caller to fill in place.
    uint8_t* WriteInPlace(size_t count) { return Reserve(count); }
    // Writes `count` copies of one byte; more than 1 MiB throws "Invalid padding value".
    void Fill(uint8_t value, size_t count);
    // Room for `total` bytes without further growth (a writer that knows
    // its size spares the copies of doubling).
    void ReserveCapacity(size_t total);
    // Moves within the written bytes; beyond `size` throws an error with empty text.
    void Seek(uint32_t newPosition);
    // Patches a 32-bit value at `at` (within the written bytes) and keeps the position.
    void WriteAt(uint32_t value, uint32_t at);

    uint32_t Position() const { return position_; }
    uint32_t Size() const { return size_; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t BaseOffset() const { return baseOffset_; }
    void SetBaseOffset(uint32_t baseOffset) { baseOffset_ = baseOffset; }
    const uint8_t* Data() const { return buffer_.get(); }
    uint8_t* Data() { return buffer_.get(); }
    // Copies the first `size` bytes out.
    std::vector<uint8_t> ToVector() const;

private:
    uint8_t* Reserve(size_t count);

    uint32_t position_ = 0;
    uint32_t size_ = 0;
    uint32_t baseOffset_ = 0;
    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t capacity_ = 0;
};

// Opens a chunk: writes the id and a size placeholder, then pads with fillByte
// so the payload starts on `alignment` (counted on baseOffset + position); the
// filler belongs to the payload. Close (or destruction) patches the size.
class ChunkScope {
public:
    ChunkScope(ByteWriter& writer, uint32_t id, uint32_t alignment = 0, uint8_t fillByte = 0);
    ~ChunkScope();
    ChunkScope(const ChunkScope&) = delete;
    ChunkScope& operator=(const ChunkScope&) = delete;

    void Close();
    uint32_t Start() const { return start_; }

private:
    ByteWriter& writer_;
    uint32_t start_;
    int uncaught_;
    bool closed_ = false;
};

// Writes a padding chunk whose filler ends on `alignment` (a chunk of size 0
// when already aligned; alignment 0 means no padding).
void WriteAlignmentChunk(ByteWriter& writer, uint32_t alignment);

// Pad needed so that `offset` becomes a multiple of `alignment` (0 when aligned).
inline uint32_t PadTo(uint64_t offset, uint32_t alignment) {
    if (alignment == 0) return 0;
    uint32_t pad = alignment - uint32_t(offset % alignment);
    return pad == alignment ? 0 : pad;
}

} // namespace zelko
