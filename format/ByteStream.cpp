#include "format/ByteStream.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <limits>

#include "format/Errors.h"
#include "format/Platform.h"

namespace zelko {

namespace {
constexpr size_t kMaxFill = 1048576;
// Buffers from this size on are worth large pages.
constexpr size_t kLargeBuffer = size_t(16) << 20;
} // namespace

ByteReader::ByteReader(const uint8_t* data, size_t size, uint32_t baseOffset)
    : begin_(data), position_(data), end_(data + size), baseOffset_(baseOffset) {}

void ByteReader::OpenFile(const std::filesystem::path& path, uint64_t offset, uint32_t size) {
    if (size == 0 && offset != 0) throw Error("Invalid offset. Only 0 is allowed.");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Error("Failed to open the file");
    uint64_t count = size;
    if (size == 0) {
        file.seekg(0, std::ios::end);
        const std::streamoff length = file.tellg();
        if (length < 0) throw Error("Failed to open the file");
        count = uint64_t(length);
        file.seekg(0, std::ios::beg);
    } else {
        // The size comes from the file's own chunk headers: a range the file
        // does not hold is refused before a buffer is allocated for it.
        file.seekg(0, std::ios::end);
        const std::streamoff length = file.tellg();
        if (length < 0 || offset > uint64_t(length) || count > uint64_t(length) - offset) throw Error("End of file");
        file.seekg(std::streamoff(offset), std::ios::beg);
        if (!file) throw Error("End of file");
    }
    if (count > std::numeric_limits<uint32_t>::max()) throw Error("Failed to open the file");
    // Not value-initialised: archives run to hundreds of megabytes.
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(std::max<uint64_t>(count, 1));
    file.read(reinterpret_cast<char*>(buffer.get()), std::streamsize(count));
    if (uint64_t(file.gcount()) != count) throw Error("End of file");
    Adopt(std::move(buffer), size_t(count), 0);
}

void ByteReader::Adopt(std::unique_ptr<uint8_t[]> bytes, size_t size, uint32_t baseOffset) {
    ownedBuffer_ = std::move(bytes);
    begin_ = position_ = ownedBuffer_.get();
    end_ = begin_ + size;
    baseOffset_ = baseOffset;
}

ByteReader ByteReader::View() const {
    const uint8_t* from = std::min(position_, end_);
    return ByteReader(from, size_t(end_ - from), uint32_t(baseOffset_ + (from - begin_)));
}

void ByteReader::CheckRange(size_t n, const char* wrapMessage, bool overflowKind) const {
    const auto at = reinterpret_cast<uintptr_t>(position_);
    if (n > std::numeric_limits<uintptr_t>::max() - at) {
        if (overflowKind) throw OverflowError(wrapMessage);
        throw Error(wrapMessage);
    }
    if (position_ > end_ || n > size_t(end_ - position_)) throw Error("End of file");
}

const uint8_t* ByteReader::ReadArray(size_t n) {
    CheckRange(n, "ReadArray", false);
    const uint8_t* at = position_;
    position_ += n;
    return at;
}

const uint8_t* ByteReader::PeekPointer(size_t n) const {
    CheckRange(n, "PeekPointer", false);
    return position_;
}

void ByteReader::Skip(size_t n) {
    CheckRange(n, "ReadArray", true);
    position_ += n;
}

uint8_t* ByteWriter::Reserve(size_t count) {
    const uint64_t needed = uint64_t(position_) + count;
    if (needed > std::numeric_limits<uint32_t>::max()) throw Error("Out of memory");
    if (needed > capacity_) {
        const uint64_t doubled = (capacity_ < 1024 && needed < 1024) ? 1024 : needed * 2;
        ReserveCapacity(size_t(std::min<uint64_t>(doubled, std::numeric_limits<uint32_t>::max())));
    }
    uint8_t* at = buffer_.get() + position_;
    position_ = uint32_t(needed);
    size_ = std::max(size_, position_);
    return at;
}

void ByteWriter::ReserveCapacity(size_t total) {
    if (total <= capacity_) return;
    if (total > std::numeric_limits<uint32_t>::max()) throw Error("Out of memory");
    auto grown = std::make_unique_for_overwrite<uint8_t[]>(total);
    if (total >= kLargeBuffer) AdviseLargeBuffer(grown.get(), total);
    if (size_ != 0) std::memcpy(grown.get(), buffer_.get(), size_);
    buffer_ = std::move(grown);
    capacity_ = uint32_t(total);
}

void ByteWriter::WriteU32(uint32_t value) { StoreU32(Reserve(4), value); }
void ByteWriter::WriteU8(uint8_t value) { *Reserve(1) = value; }

void ByteWriter::Write(const void* bytes, size_t count) {
    if (count == 0) return;
    std::memcpy(Reserve(count), bytes, count);
}

void ByteWriter::Fill(uint8_t value, size_t count) {
    if (count > kMaxFill) throw Error("Invalid padding value");
    if (count == 0) return;
    std::memset(Reserve(count), value, count);
}

void ByteWriter::Seek(uint32_t newPosition) {
    if (newPosition > size_) throw Error("");
    position_ = newPosition;
}

void ByteWriter::WriteAt(uint32_t value, uint32_t at) {
    if (uint64_t(at) + 4 > size_) throw Error("");
    StoreU32(buffer_.get() + at, value);
}

std::vector<uint8_t> ByteWriter::ToVector() const {
    return size_ ? std::vector<uint8_t>(buffer_.get(), buffer_.get() + size_) : std::vector<uint8_t>();
}

ChunkScope::ChunkScope(ByteWriter& writer, uint32_t id, uint32_t alignment, uint8_t fillByte)
    : writer_(writer), start_(writer.Position()), uncaught_(std::uncaught_exceptions()) {
    writer_.WriteU32(id);
    writer_.WriteU32(0);
    writer_.Fill(fillByte, PadTo(uint64_t(writer_.BaseOffset()) + writer_.Position(), alignment));
}

void ChunkScope::Close() {
    if (closed_) return;
    closed_ = true;
    writer_.WriteAt(writer_.Position() - start_ - 8, start_ + 4);
}

ChunkScope::~ChunkScope() {
    // A scope left by an exception is abandoned with its writer.
    if (std::uncaught_exceptions() == uncaught_) Close();
}

void WriteAlignmentChunk(ByteWriter& writer, uint32_t alignment) {
    const uint32_t start = writer.Position();
    writer.WriteU32(kPaddingChunkId);
    writer.WriteU32(0);
    const uint32_t pad = PadTo(uint64_t(writer.BaseOffset()) + writer.Position(), alignment);
    writer.Fill(0, pad);
    writer.WriteAt(pad, start + 4);
}

} // namespace zelko
