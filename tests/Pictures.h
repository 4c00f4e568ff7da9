#pragma once
// Images made by hand for the tests and the fuzz seeds, and how close two are.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "imaging/Image.h"

namespace pictures {

using Bgra = std::array<uint8_t, 4>;

// A one-level B8G8R8A8 image whose pixel (x, y) is fn(x, y).
inline zelko::ScratchImage Drawn(size_t w, size_t h, const std::function<Bgra(size_t, size_t)>& fn) {
    zelko::ScratchImage image;
    image.Initialize2D(zelko::DxgiFormat::B8G8R8A8_UNORM, w, h);
    for (size_t y = 0; y < h && image.GetPixels(); ++y)
        for (size_t x = 0; x < w; ++x) std::memcpy(image.GetPixels() + (y * w + x) * 4, fn(x, y).data(), 4);
    return image;
}

// An image of `format` with `mips` levels (0: the whole chain) holding
// `bytes` from its first level on, zeros where there are none.
inline zelko::ScratchImage Filled(zelko::DxgiFormat format, size_t w, size_t h, size_t mips = 1,
                                  const std::vector<uint8_t>& bytes = {}) {
    zelko::ScratchImage image;
    if (zelko::Succeeded(image.Initialize2D(format, w, h, 1, mips)))
        std::copy_n(bytes.begin(), std::min(bytes.size(), image.GetPixelsSize()), image.GetPixels());
    return image;
}

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed = 5) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes) b = uint8_t(rng());
    return bytes;
}

// Peak signal-to-noise ratio in dB of n bytes against as many others;
// `colourOnly` leaves out every fourth (alpha).
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n, bool colourOnly = false) {
    double sum = 1e-9, count = 0;
    for (size_t i = 0; i < n; ++i)
        if (!colourOnly || i % 4 != 3) sum += std::pow(double(a[i]) - double(b[i]), 2), ++count;
    return 10 * std::log10(255.0 * 255.0 * count / sum);
}

} // namespace pictures
