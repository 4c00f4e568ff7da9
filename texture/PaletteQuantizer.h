#pragma once
// The 8-bit palette quantizer for P8 textures: a histogram of distinct
// colours, repeated splitting of the box whose best cut removes the most
// error, four passes of nearest-mean refinement, and ordered dithering
// between the two nearest palette entries.
//
// Colours live in a weighted, alpha-premultiplied space: b = B/255,
// g = 1.2 G/255, r = 0.8 R/255, a = A/255, with b, g, r multiplied by a.
// All arithmetic is double precision.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/Image.h"

namespace zelko {

class PaletteQuantizer {
public:
    static constexpr int kMaxBoxes = 256;

    // boxCount: palette entries to build, 1..256 (clamped).
    explicit PaletteQuantizer(int boxCount = kMaxBoxes);

    // Enters pixels (bytes B, G, R, A) into the histogram. Call for every
    // level before BuildPalette.
    void AddPixels(const uint8_t* bgra, size_t pixelCount);

    // Distinct colours entered so far.
    size_t ColourCount() const { return nodes_.size(); }

    // Splits and refines; writes 256 entries of B, G, R, A (1024 bytes),
    // entries beyond the box count 0. Call once.
    void BuildPalette(uint8_t palette[1024]);

    // Palette indices of one level (rows rowPitch bytes apart, top to bottom),
    // width * height bytes, dithered with the 2x2 ordered matrix by column and
    // row within the level. Colours never entered with AddPixels are mapped
    // without the per-colour cache.
    void MapLevel(const uint8_t* bgra, size_t width, size_t height, size_t rowPitch, uint8_t* indices);

    // The bucket of a 32-bit colour (B in the low byte, A in the high byte).
    static uint32_t Bucket(uint32_t colour);

private:
    using Vec = std::array<double, 4>;
    struct Node {
        uint32_t colour;
        uint64_t count;
        Vec coord;
        int32_t next; // next node of the same bucket, -1 at the end
        std::array<int16_t, 4> dither; // cached index per matrix cell, -1 until known
    };
    struct Box {
        std::vector<int32_t> nodes;
        uint64_t count = 0;
        Vec mean{};
        double error = 0;
        double score = 0; // error removed by the best cut
        size_t cut = 0; // nodes[0, cut) form the part split off
    };

    int32_t Find(uint32_t colour) const;
    void ComputeStats(Box& box, bool withCut);
    int Nearest(const Vec& p) const; // over means_
    void SnapshotMeans();
    void FillDither(const Vec& q, std::array<int16_t, 4>& out) const;
    static Vec Coordinates(uint32_t colour);

    int boxCount_;
    std::vector<int32_t> buckets_; // 65 536 chain heads
    std::vector<int32_t> tails_;
    std::vector<int32_t> order_; // nodes by bucket, then in order of arrival
    std::vector<Node> nodes_;
    std::vector<Box> boxes_;
    std::vector<Vec> means_; // box means, contiguous for the nearest-mean search
    bool refined_ = false;
};

// Palette and index bytes of every level of a B8G8R8A8_UNORM image, indices
// concatenated in level order. False (outputs untouched) for any other format.
bool QuantizeImage(const ScratchImage& image, std::vector<uint8_t>& palette, std::vector<uint8_t>& indices);

} // namespace zelko
