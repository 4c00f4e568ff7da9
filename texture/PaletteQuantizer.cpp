#include "texture/PaletteQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zelko {

namespace {

constexpr size_t kBucketCount = 65536;
constexpr double kGreenWeight = 1.2;
constexpr double kRedWeight = 0.8;
// Squared distances in the weighted space stay below 4.08, so this bound is
// never reached by a real colour; it only decides the result for NaN input.
constexpr double kSearchBound = 16.0;
constexpr int kRefinePasses = 4;
// Ordered dither offsets by (y & 1) * 2 + (x & 1).
constexpr double kDitherMatrix[4] = {-0.375, 0.125, 0.375, -0.125};

uint32_t Rotr13(uint32_t v) { return (v >> 13) | (v << 19); }

double Dot(const std::array<double, 4>& a, const std::array<double, 4>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

double Distance(const std::array<double, 4>& a, const std::array<double, 4>& b) {
    double d = 0;
    for (int c = 0; c < 4; ++c) d += (a[c] - b[c]) * (a[c] - b[c]);
    return d;
}

uint8_t ToByte(double v) {
    const double scaled = v * 255.9;
    // Means are weighted averages of values in [0, 1]; the clamp only guards
    // against rounding past the ends, which would otherwise wrap the byte.
    if (!(scaled > 0)) return 0;
    if (scaled >= 255) return 255;
    return uint8_t(scaled);
}

} // namespace

PaletteQuantizer::PaletteQuantizer(int boxCount)
    : boxCount_(std::clamp(boxCount, 1, kMaxBoxes)), buckets_(kBucketCount, -1), tails_(kBucketCount, -1) {}

uint32_t PaletteQuantizer::Bucket(uint32_t v) {
    for (int i = 0; i < 2; ++i) {
        const uint32_t t = v - Rotr13(v);
        v = t - Rotr13(t);
    }
    return (v - Rotr13(v)) & 0xFFFF;
}

PaletteQuantizer::Vec PaletteQuantizer::Coordinates(uint32_t colour) {
    const double a = double(colour >> 24) / 255;
    Vec p;
    p[0] = double(colour & 0xFF) / 255 * a;
    p[1] = kGreenWeight * double((colour >> 8) & 0xFF) / 255 * a;
    p[2] = kRedWeight * double((colour >> 16) & 0xFF) / 255 * a;
    p[3] = a;
    return p;
}

int32_t PaletteQuantizer::Find(uint32_t colour) const {
    for (int32_t i = buckets_[Bucket(colour)]; i >= 0; i = nodes_[size_t(i)].next)
        if (nodes_[size_t(i)].colour == colour) return i;
    return -1;
}

void PaletteQuantizer::AddPixels(const uint8_t* bgra, size_t pixelCount) {
    for (size_t i = 0; i < pixelCount; ++i, bgra += 4) {
        const uint32_t colour = uint32_t(bgra[0]) | uint32_t(bgra[1]) << 8 | uint32_t(bgra[2]) << 16 |
            uint32_t(bgra[3]) << 24;
        const int32_t found = Find(colour);
        if (found >= 0) {
            ++nodes_[size_t(found)].count;
            continue;
        }
        const uint32_t bucket = Bucket(colour);
        const int32_t index = int32_t(nodes_.size());
        nodes_.push_back(Node{colour, 1, Coordinates(colour), -1, {-1, -1, -1, -1}});
        if (tails_[bucket] >= 0)
            nodes_[size_t(tails_[bucket])].next = index;
        else
            buckets_[bucket] = index;
        tails_[bucket] = index;
    }
}

void PaletteQuantizer::ComputeStats(Box& box, bool withCut) {
    box.count = 0;
    box.mean = Vec{};
    box.error = 0;
    box.score = 0;
    box.cut = 0;
    Vec sum{};
    for (int32_t n : box.nodes) {
        const Node& node = nodes_[size_t(n)];
        box.count += node.count;
        for (int c = 0; c < 4; ++c) sum[c] += double(node.count) * node.coord[c];
    }
    if (box.count == 0) return;
    for (int c = 0; c < 4; ++c) box.mean[c] = sum[c] / double(box.count);
    for (int32_t n : box.nodes) {
        const Node& node = nodes_[size_t(n)];
        box.error += double(node.count) * Distance(node.coord, box.mean);
    }
    if (!withCut || box.nodes.size() < 2) return;

    // Principal direction in one pass: weighted deviations, each turned to
    // agree with the sum so far.
    Vec dir{};
    for (int32_t n : box.nodes) {
        const Node& node = nodes_[size_t(n)];
        Vec d;
        for (int c = 0; c < 4; ++c) d[c] = (node.coord[c] - box.mean[c]) * double(node.count);
        if (Dot(d, dir) < 0)
            for (double& v : d) v = -v;
        for (int c = 0; c < 4; ++c) dir[c] += d[c];
    }
    const double length = std::sqrt(Dot(dir, dir));
    if (length > 0)
        for (double& v : dir) v /= length;

    std::vector<std::pair<double, int32_t>> keyed;
    keyed.reserve(box.nodes.size());
    for (int32_t n : box.nodes) keyed.emplace_back(Dot(nodes_[size_t(n)].coord, dir), n);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (size_t i = 0; i < keyed.size(); ++i) box.nodes[i] = keyed[i].second;

    // Errors of both parts from running sums of count, sum and sum of squares.
    Vec sumSq{};
    for (int32_t n : box.nodes) {
        const Node& node = nodes_[size_t(n)];
        for (int c = 0; c < 4; ++c) sumSq[c] += double(node.count) * node.coord[c] * node.coord[c];
    }
    uint64_t leftCount = 0;
    Vec leftSum{}, leftSq{};
    double best = 0;
    for (size_t k = 1; k < box.nodes.size(); ++k) {
        const Node& node = nodes_[size_t(box.nodes[k - 1])];
        leftCount += node.count;
        for (int c = 0; c < 4; ++c) {
            leftSum[c] += double(node.count) * node.coord[c];
            leftSq[c] += double(node.count) * node.coord[c] * node.coord[c];
        }
        const uint64_t rightCount = box.count - leftCount;
        double parts = 0;
        for (int c = 0; c < 4; ++c) {
            const double rightSum = sum[c] - leftSum[c];
            parts += leftSq[c] - leftSum[c] * leftSum[c] / double(leftCount);
            parts += (sumSq[c] - leftSq[c]) - rightSum * rightSum / double(rightCount);
        }
        if (k == 1 || parts < best) {
            best = parts;
            box.cut = k;
        }
    }
    box.score = std::max(0.0, box.error - best);
}

int PaletteQuantizer::Nearest(const Vec& p) const {
    double best = kSearchBound;
    int index = 0;
    for (size_t i = 0; i < means_.size(); ++i) {
        const Vec& m = means_[i];
        // Terms are added in the same order as in Distance; partial sums of
        // non-negative terms only grow, so stopping early changes no result.
        double d = (p[0] - m[0]) * (p[0] - m[0]);
        d += (p[1] - m[1]) * (p[1] - m[1]);
        if (d >= best) continue;
        d += (p[2] - m[2]) * (p[2] - m[2]);
        d += (p[3] - m[3]) * (p[3] - m[3]);
        if (d < best) {
            best = d;
            index = int(i);
        }
    }
    return index;
}

void PaletteQuantizer::SnapshotMeans() {
    means_.resize(boxes_.size());
    for (size_t i = 0; i < boxes_.size(); ++i) means_[i] = boxes_[i].mean;
}

void PaletteQuantizer::BuildPalette(uint8_t palette[1024]) {
    order_.clear();
    order_.reserve(nodes_.size());
    for (size_t b = 0; b < kBucketCount; ++b)
        for (int32_t n = buckets_[b]; n >= 0; n = nodes_[size_t(n)].next) order_.push_back(n);

    boxes_.assign(1, Box{});
    boxes_[0].nodes = order_;
    ComputeStats(boxes_[0], true);
    while (boxes_.size() < size_t(boxCount_)) {
        size_t pick = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes_.size(); ++i) {
            if (boxes_[i].score >= bestScore) {
                bestScore = boxes_[i].score;
                pick = i;
            }
        }
        // A box without a cut (fewer than two nodes) gives an empty new box.
        Box split;
        Box& source = boxes_[pick];
        split.nodes.assign(source.nodes.begin(), source.nodes.begin() + ptrdiff_t(source.cut));
        source.nodes.erase(source.nodes.begin(), source.nodes.begin() + ptrdiff_t(source.cut));
        ComputeStats(source, true);
        ComputeStats(split, true);
        boxes_.push_back(std::move(split));
    }

    for (int pass = 0; pass < kRefinePasses; ++pass) {
        SnapshotMeans();
        std::vector<std::vector<int32_t>> members(boxes_.size());
        for (int32_t n : order_) members[size_t(Nearest(nodes_[size_t(n)].coord))].push_back(n);
        for (size_t i = 0; i < boxes_.size(); ++i) {
            boxes_[i].nodes = std::move(members[i]);
            ComputeStats(boxes_[i], false);
        }
    }
    SnapshotMeans();
    refined_ = true;

    std::memset(palette, 0, 1024);
    for (size_t i = 0; i < boxes_.size() && i < size_t(kMaxBoxes); ++i) {
        Vec m = boxes_[i].mean;
        if (m[3] != 0)
            for (int c = 0; c < 3; ++c) m[c] /= m[3];
        m[1] /= kGreenWeight;
        m[2] /= kRedWeight;
        for (int c = 0; c < 4; ++c) palette[i * 4 + size_t(c)] = ToByte(m[c]);
    }
}

void PaletteQuantizer::FillDither(const Vec& q, std::array<int16_t, 4>& out) const {
    const int i0 = Nearest(q);
    const Vec& m0 = means_[size_t(i0)];
    Vec e, probe;
    for (int c = 0; c < 4; ++c) e[c] = m0[c] - q[c];
    for (int c = 0; c < 4; ++c) probe[c] = q[c] - e[c] / 3;
    int i1 = Nearest(probe);
    if (i1 == i0) {
        for (int c = 0; c < 4; ++c) probe[c] = q[c] - 3 * e[c];
        i1 = Nearest(probe);
    }
    Vec spread{};
    if (i1 != i0) {
        const Vec& m1 = means_[size_t(i1)];
        for (int c = 0; c < 4; ++c) spread[c] = std::fabs(m1[c] - m0[c]) * 0.8;
    }
    for (int cell = 0; cell < 4; ++cell) {
        for (int c = 0; c < 4; ++c) probe[c] = q[c] + spread[c] * kDitherMatrix[cell];
        out[size_t(cell)] = int16_t(Nearest(probe));
    }
}

void PaletteQuantizer::MapLevel(const uint8_t* bgra, size_t width, size_t height, size_t rowPitch, uint8_t* indices) {
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* row = bgra + y * rowPitch;
        for (size_t x = 0; x < width; ++x) {
            const uint8_t* p = row + x * 4;
            const uint32_t colour = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            const int cell = int((y & 1) * 2 + (x & 1));
            const int32_t n = refined_ ? Find(colour) : -1;
            std::array<int16_t, 4> cells;
            if (n >= 0) {
                Node& node = nodes_[size_t(n)];
                if (node.dither[0] < 0) FillDither(node.coord, node.dither);
                cells = node.dither;
            } else if (!means_.empty()) {
                FillDither(Coordinates(colour), cells);
            } else {
                cells = {0, 0, 0, 0};
            }
            *indices++ = uint8_t(cells[size_t(cell)]);
        }
    }
}

bool QuantizeImage(const ScratchImage& image, std::vector<uint8_t>& palette, std::vector<uint8_t>& indices) {
    if (image.GetMetadata().format != DxgiFormat::B8G8R8A8_UNORM) return false;
    const Image* levels = image.GetImages();
    const size_t count = image.GetImageCount();
    PaletteQuantizer quantizer;
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const Image& level = levels[i];
        for (size_t y = 0; y < level.height; ++y) quantizer.AddPixels(level.pixels + y * level.rowPitch, level.width);
        total += level.width * level.height;
    }
    std::vector<uint8_t> newPalette(1024);
    std::vector<uint8_t> newIndices(total);
    quantizer.BuildPalette(newPalette.data());
    uint8_t* out = newIndices.data();
    for (size_t i = 0; i < count; ++i) {
        const Image& level = levels[i];
        quantizer.MapLevel(level.pixels, level.width, level.height, level.rowPitch, out);
        out += level.width * level.height;
    }
    palette = std::move(newPalette);
    indices = std::move(newIndices);
    return true;
}

} // namespace zelko
