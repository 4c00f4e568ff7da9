#include "imaging/ImageBlock.h"

#include <stb_dxt.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// ZELKO_BLOCK_NO_SIMD selects the scalar path on any machine, to check it.
#if !defined(ZELKO_BLOCK_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define ZELKO_BLOCK_SSE2 1
#endif

// Colour blocks. stb_dxt (the fast mode) picks endpoints at the extremes of
// the principal axis and refines them once, but matches pixels to the palette
// by projection and rounds the fitted endpoints without looking at the error.
// The refined mode fits the same way, then measures every candidate with the
// decoder's exact palette and squared error: the least-squares endpoints for
// the exact assignment, and each endpoint component moved to its other
// neighbouring 5:6:5 value. It lands within about 0.2 dB of libsquish's
// exhaustive cluster fit at a small fraction of its time. All distances are
// sums of integer squares below 2^24, so the float arithmetic is exact and the
// SIMD and scalar paths agree bit for bit.

namespace zelko::block {

namespace {

// Four floats in an SSE2 register, or an array where SSE2 is missing.
#if ZELKO_BLOCK_SSE2
struct F4 {
    __m128 v;
};
inline F4 Set1(float x) { return {_mm_set1_ps(x)}; }
inline F4 Set(float a, float b, float c, float d) { return {_mm_setr_ps(a, b, c, d)}; }
inline F4 operator+(F4 a, F4 b) { return {_mm_add_ps(a.v, b.v)}; }
inline F4 operator-(F4 a, F4 b) { return {_mm_sub_ps(a.v, b.v)}; }
inline F4 operator*(F4 a, F4 b) { return {_mm_mul_ps(a.v, b.v)}; }
inline F4 Min(F4 a, F4 b) { return {_mm_min_ps(a.v, b.v)}; }
inline F4 Max(F4 a, F4 b) { return {_mm_max_ps(a.v, b.v)}; }
inline F4 Trunc(F4 a) { return {_mm_cvtepi32_ps(_mm_cvttps_epi32(a.v))}; }
// Per lane: a < b ? c : d.
inline F4 SelectLess(F4 a, F4 b, F4 c, F4 d) {
    __m128 m = _mm_cmplt_ps(a.v, b.v);
    return {_mm_or_ps(_mm_and_ps(m, c.v), _mm_andnot_ps(m, d.v))};
}
template <int j>
inline F4 Lane(F4 a) {
    return {_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(j, j, j, j))};
}
inline float Get(F4 a, int j) {
    alignas(16) float f[4];
    _mm_store_ps(f, a.v);
    return f[j];
}
inline void Store(float* aligned, F4 a) { _mm_store_ps(aligned, a.v); }
// Four RGBA pixels to their R, G and B values.
inline void LoadColours(const uint8_t* rgba, F4& r, F4& g, F4& b) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba));
    __m128i byte = _mm_set1_epi32(255);
    r.v = _mm_cvtepi32_ps(_mm_and_si128(x, byte));
    g.v = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(x, 8), byte));
    b.v = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(x, 16), byte));
}
#else
struct F4 {
    float v[4];
};
inline F4 Set1(float x) { return {{x, x, x, x}}; }
inline F4 Set(float a, float b, float c, float d) { return {{a, b, c, d}}; }
#define ZELKO_F4_LANEWISE(expr)                  \
    F4 r;                                        \
    for (int i = 0; i < 4; ++i) r.v[i] = (expr); \
    return r;
inline F4 operator+(F4 a, F4 b) { ZELKO_F4_LANEWISE(a.v[i] + b.v[i]) }
inline F4 operator-(F4 a, F4 b) { ZELKO_F4_LANEWISE(a.v[i] - b.v[i]) }
inline F4 operator*(F4 a, F4 b) { ZELKO_F4_LANEWISE(a.v[i] * b.v[i]) }
inline F4 Min(F4 a, F4 b) { ZELKO_F4_LANEWISE(b.v[i] < a.v[i] ? b.v[i] : a.v[i]) }
inline F4 Max(F4 a, F4 b) { ZELKO_F4_LANEWISE(b.v[i] > a.v[i] ? b.v[i] : a.v[i]) }
inline F4 Trunc(F4 a) { ZELKO_F4_LANEWISE(float(int(a.v[i]))) }
inline F4 SelectLess(F4 a, F4 b, F4 c, F4 d) { ZELKO_F4_LANEWISE(a.v[i] < b.v[i] ? c.v[i] : d.v[i]) }
#undef ZELKO_F4_LANEWISE
template <int j>
inline F4 Lane(F4 a) {
    return Set1(a.v[j]);
}
inline float Get(F4 a, int j) { return a.v[j]; }
inline void Store(float* aligned, F4 a) { std::memcpy(aligned, a.v, sizeof a.v); }
inline void LoadColours(const uint8_t* rgba, F4& r, F4& g, F4& b) {
    for (int i = 0; i < 4; ++i) {
        r.v[i] = rgba[4 * i];
        g.v[i] = rgba[4 * i + 1];
        b.v[i] = rgba[4 * i + 2];
    }
}
#endif

inline float Sum(F4 a) { return (Get(a, 0) + Get(a, 1)) + (Get(a, 2) + Get(a, 3)); }
inline float Smallest(F4 a) { return std::min(std::min(Get(a, 0), Get(a, 1)), std::min(Get(a, 2), Get(a, 3))); }
inline float Largest(F4 a) { return std::max(std::max(Get(a, 0), Get(a, 1)), std::max(Get(a, 2), Get(a, 3))); }

constexpr int kMax[3] = {31, 63, 31};
constexpr int kShift[3] = {11, 5, 0};
constexpr float kToGrid[3] = {31.0f / 255, 63.0f / 255, 31.0f / 255};

inline int Expand(int q, int k) { return k == 1 ? (q << 2 | q >> 4) : (q << 3 | q >> 2); }

// The 16 pixels in groups of four, structure of arrays. w is 1 for pixels
// that count and 0 for the transparent pixels of a punch-through block.
struct Pixels {
    F4 r[4], g[4], b[4], w[4];
    float sumSquares; // sum of w * |pixel|^2
};

// The decoder's palette, entries in lanes 0..3, kept as -2 * colour and
// |colour|^2 so that a squared distance is |x|^2 + n + x . c.
struct Palette {
    F4 r, g, b, n;
};

Palette MakePalette(uint16_t c0, uint16_t c1, bool threeColour) {
    // Four colours: (3a)/3, (3b)/3, (2a+b)/3, (a+2b)/3; three: the same over 2
    // with (a+b)/2. 1/3 as a float is slightly above a third, so truncating
    // the product gives the decoder's integer division exactly.
    static const F4 kFour0 = Set(3, 0, 2, 1), kFour1 = Set(0, 3, 1, 2);
    static const F4 kThree0 = Set(2, 0, 1, 1), kThree1 = Set(0, 2, 1, 1);
    const F4& w0 = threeColour ? kThree0 : kFour0;
    const F4& w1 = threeColour ? kThree1 : kFour1;
    F4 scale = Set1(threeColour ? 0.5f : 1.0f / 3);
    auto channel = [&](int a, int b) { return Trunc((w0 * Set1(float(a)) + w1 * Set1(float(b))) * scale); };
    F4 r = channel(Expand(c0 >> 11, 0), Expand(c1 >> 11, 0));
    F4 g = channel(Expand((c0 >> 5) & 63, 1), Expand((c1 >> 5) & 63, 1));
    F4 b = channel(Expand(c0 & 31, 2), Expand(c1 & 31, 2));
    F4 minus2 = Set1(-2.0f);
    return Palette{r * minus2, g * minus2, b * minus2, r * r + g * g + b * b};
}

// Weighted squared error of the block against the palette, each pixel taking
// its nearest entry (the lowest index on ties); optionally the 2-bit indices.
float PaletteError(const Pixels& px, const Palette& pal, uint32_t* indices) {
    const F4 pr[4] = {Lane<0>(pal.r), Lane<1>(pal.r), Lane<2>(pal.r), Lane<3>(pal.r)};
    const F4 pg[4] = {Lane<0>(pal.g), Lane<1>(pal.g), Lane<2>(pal.g), Lane<3>(pal.g)};
    const F4 pb[4] = {Lane<0>(pal.b), Lane<1>(pal.b), Lane<2>(pal.b), Lane<3>(pal.b)};
    const F4 pn[4] = {Lane<0>(pal.n), Lane<1>(pal.n), Lane<2>(pal.n), Lane<3>(pal.n)};
    F4 total = Set1(0);
    uint32_t bits = 0;
    for (int q = 0; q < 4; ++q) {
        F4 best = pn[0] + px.r[q] * pr[0] + (px.g[q] * pg[0] + px.b[q] * pb[0]);
        F4 choice = Set1(0);
        for (int j = 1; j < 4; ++j) {
            F4 d = pn[j] + px.r[q] * pr[j] + (px.g[q] * pg[j] + px.b[q] * pb[j]);
            if (indices) choice = SelectLess(d, best, Set1(float(j)), choice);
            best = Min(best, d);
        }
        total = total + best * px.w[q];
        if (indices)
            for (int k = 0; k < 4; ++k) bits |= uint32_t(Get(choice, k)) << (2 * (4 * q + k));
    }
    if (indices) *indices = bits;
    return Sum(total) + px.sumSquares;
}

// Least-squares endpoints for fixed indices. False when every counted pixel
// sits at the same palette position (the system is singular).
bool FitEndpoints(const float rgbw[4][16], uint32_t indices, bool threeColour, float e0[3], float e1[3]) {
    static const float kFour[4] = {0.0f, 1.0f, 1.0f / 3, 2.0f / 3};
    static const float kThree[4] = {0.0f, 1.0f, 0.5f, 0.0f};
    const float* position = threeColour ? kThree : kFour;
    float count[4] = {}, sum[4][3] = {};
    for (int i = 0; i < 16; ++i, indices >>= 2) {
        uint32_t j = indices & 3;
        float w = rgbw[3][i];
        count[j] += w;
        for (int k = 0; k < 3; ++k) sum[j][k] += w * rgbw[k][i];
    }
    float aa = 0, bb = 0, ab = 0, ax[3] = {}, bx[3] = {};
    for (int j = 0; j < 4; ++j) {
        float t = position[j], s = 1.0f - t;
        aa += count[j] * s * s;
        bb += count[j] * t * t;
        ab += count[j] * s * t;
        for (int k = 0; k < 3; ++k) {
            ax[k] += s * sum[j][k];
            bx[k] += t * sum[j][k];
        }
    }
    float det = aa * bb - ab * ab;
    if (det < 1e-3f) return false;
    float inv = 1.0f / det;
    for (int k = 0; k < 3; ++k) {
        e0[k] = (ax[k] * bb - bx[k] * ab) * inv;
        e1[k] = (bx[k] * aa - ax[k] * ab) * inv;
    }
    return true;
}

// The grid value of channel k whose expansion is nearest to v, the other
// neighbour, and how much farther that other one is.
struct GridChoice {
    int nearest, other;
    float margin;
};

// Branch-free: which neighbour wins is a coin toss the predictor cannot learn.
inline GridChoice ToGrid(float v, int k) {
    float x = std::min(std::max(v, 0.0f), 255.0f);
    int lo = std::min(int(x * kToGrid[k]), kMax[k] - 1);
    float dLo = x - float(Expand(lo, k)), dHi = float(Expand(lo + 1, k)) - x;
    int up = dHi < dLo;
    return GridChoice{lo + up, lo + 1 - up, std::fabs(dHi - dLo)};
}

uint16_t Pack565(const GridChoice g[3]) { return uint16_t(g[0].nearest << 11 | g[1].nearest << 5 | g[2].nearest); }

uint16_t WithComponent(uint16_t c, int k, int value) {
    return uint16_t((c & ~(kMax[k] << kShift[k])) | value << kShift[k]);
}

// The other rounding of a component is only worth an evaluation when the
// fit lies near the middle between two grid values.
constexpr float kAmbiguousMargin = 6.0f;

// Endpoints and indices of the colour half for the counted pixels. Returns
// false for a block whose counted pixels all have one colour.
bool FitColour(const uint8_t rgba[64], const bool transparent[16], bool threeColour, bool refine, uint16_t& c0,
               uint16_t& c1, uint32_t& indices) {
    Pixels px;
    F4 s[3] = {Set1(0), Set1(0), Set1(0)}, n = Set1(0);
    F4 rr = Set1(0), rg = rr, rb = rr, gg = rr, gb = rr, bb = rr;
    for (int q = 0; q < 4; ++q) {
        LoadColours(rgba + 16 * q, px.r[q], px.g[q], px.b[q]);
        const bool* t = transparent + 4 * q;
        px.w[q] = Set(t[0] ? 0.0f : 1.0f, t[1] ? 0.0f : 1.0f, t[2] ? 0.0f : 1.0f, t[3] ? 0.0f : 1.0f);
        F4 r = px.r[q] * px.w[q], g = px.g[q] * px.w[q], b = px.b[q] * px.w[q];
        s[0] = s[0] + r;
        s[1] = s[1] + g;
        s[2] = s[2] + b;
        n = n + px.w[q];
        rr = rr + r * px.r[q];
        rg = rg + r * px.g[q];
        rb = rb + r * px.b[q];
        gg = gg + g * px.g[q];
        gb = gb + g * px.b[q];
        bb = bb + b * px.b[q];
    }
    float count = Sum(n);
    float sum[3] = {Sum(s[0]), Sum(s[1]), Sum(s[2])};
    float mean[3] = {sum[0] / count, sum[1] / count, sum[2] / count};
    float srr = Sum(rr), sgg = Sum(gg), sbb = Sum(bb);
    px.sumSquares = srr + sgg + sbb;
    float cov[6] = {srr - sum[0] * mean[0], Sum(rg) - sum[0] * mean[1], Sum(rb) - sum[0] * mean[2],
                    sgg - sum[1] * mean[1], Sum(gb) - sum[1] * mean[2], sbb - sum[2] * mean[2]};
    if (cov[0] + cov[3] + cov[5] < 0.5f) return false; // one colour: variance below 1/16

    // Principal axis by power iteration from the covariance column with the
    // largest diagonal entry, which is never orthogonal to it.
    float v[3];
    if (cov[0] >= cov[3] && cov[0] >= cov[5])
        v[0] = cov[0], v[1] = cov[1], v[2] = cov[2];
    else if (cov[3] >= cov[5])
        v[0] = cov[1], v[1] = cov[3], v[2] = cov[4];
    else
        v[0] = cov[2], v[1] = cov[4], v[2] = cov[5];
    for (int it = 0; it < 3; ++it) {
        float x = cov[0] * v[0] + cov[1] * v[1] + cov[2] * v[2];
        float y = cov[1] * v[0] + cov[3] * v[1] + cov[4] * v[2];
        float z = cov[2] * v[0] + cov[4] * v[1] + cov[5] * v[2];
        float inv = 1.0f / std::max({std::fabs(x), std::fabs(y), std::fabs(z), 1e-20f});
        v[0] = x * inv, v[1] = y * inv, v[2] = z * inv;
    }
    // Extremes of the counted pixels along the axis; the others are pushed out of reach.
    F4 lo = Set1(1e30f), hi = Set1(-1e30f), far = Set1(1e9f);
    for (int q = 0; q < 4; ++q) {
        F4 p = px.r[q] * Set1(v[0]) + px.g[q] * Set1(v[1]) + px.b[q] * Set1(v[2]);
        F4 away = (Set1(1) - px.w[q]) * far;
        lo = Min(lo, p + away);
        hi = Max(hi, p - away);
    }
    float length2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    float centre = mean[0] * v[0] + mean[1] * v[1] + mean[2] * v[2];
    float tHi = (Largest(hi) - centre) / length2, tLo = (Smallest(lo) - centre) / length2;
    GridChoice g0[3], g1[3];
    for (int k = 0; k < 3; ++k) {
        g0[k] = ToGrid(mean[k] + v[k] * tHi, k);
        g1[k] = ToGrid(mean[k] + v[k] * tLo, k);
    }
    c0 = Pack565(g0);
    c1 = Pack565(g1);
    float best = PaletteError(px, MakePalette(c0, c1, threeColour), &indices);

    alignas(16) float rgbw[4][16];
    for (int q = 0; q < 4; ++q) {
        Store(&rgbw[0][4 * q], px.r[q]);
        Store(&rgbw[1][4 * q], px.g[q]);
        Store(&rgbw[2][4 * q], px.b[q]);
        Store(&rgbw[3][4 * q], px.w[q]);
    }
    float e0[3], e1[3];
    if (best == 0 || !FitEndpoints(rgbw, indices, threeColour, e0, e1)) return true;
    for (int k = 0; k < 3; ++k) {
        g0[k] = ToGrid(e0[k], k);
        g1[k] = ToGrid(e1[k], k);
    }
    auto tryPair = [&](uint16_t a, uint16_t b) {
        if (a == b || (a == c0 && b == c1)) return;
        float error = PaletteError(px, MakePalette(a, b, threeColour), nullptr);
        if (error < best) {
            best = error;
            c0 = a;
            c1 = b;
        }
    };
    tryPair(Pack565(g0), Pack565(g1));
    if (refine) {
        for (int k = 0; k < 3; ++k) {
            if (g0[k].margin < kAmbiguousMargin) tryPair(WithComponent(c0, k, g0[k].other), c1);
            if (g1[k].margin < kAmbiguousMargin) tryPair(c0, WithComponent(c1, k, g1[k].other));
        }
    }
    PaletteError(px, MakePalette(c0, c1, threeColour), &indices);
    return true;
}

void Store(uint8_t out[8], uint16_t c0, uint16_t c1, uint32_t indices) {
    out[0] = uint8_t(c0);
    out[1] = uint8_t(c0 >> 8);
    out[2] = uint8_t(c1);
    out[3] = uint8_t(c1 >> 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = uint8_t(indices >> (8 * i));
}

// The colour half of BC1..BC3. With alphaRef > 0 and transparent pixels
// present, the block uses the three-colour mode (c0 <= c1, index 3 transparent).
void EncodeColour(const uint8_t rgba[64], uint8_t out[8], int alphaRef, EncodeQuality quality) {
    bool transparent[16];
    int firstOpaque = -1, opaqueCount = 0;
    for (int i = 0; i < 16; ++i) {
        transparent[i] = alphaRef > 0 && rgba[4 * i + 3] < alphaRef;
        if (!transparent[i]) {
            if (firstOpaque < 0) firstOpaque = i;
            ++opaqueCount;
        }
    }
    if (opaqueCount == 0) {
        Store(out, 0, 0, 0xFFFFFFFFu);
        return;
    }
    bool threeColour = opaqueCount < 16;
    uint16_t c0, c1;
    uint32_t indices;
    if (!threeColour) {
        if (quality == EncodeQuality::kRefined && FitColour(rgba, transparent, false, true, c0, c1, indices)) {
            // Four-colour mode needs c0 > c1; equal endpoints make every entry equal.
            if (c0 < c1) {
                std::swap(c0, c1);
                indices ^= 0x55555555u; // 0<->1, 2<->3
            } else if (c0 == c1) {
                indices = 0;
            }
            Store(out, c0, c1, indices);
            return;
        }
        // Fast mode, and single-colour blocks, which stb_dxt matches through
        // its tables of best endpoint pairs. It needs constant alpha.
        uint8_t opaque[64];
        std::memcpy(opaque, rgba, 64);
        for (int i = 0; i < 16; ++i) opaque[4 * i + 3] = 255;
        stb_compress_dxt_block(out, opaque, 0, STB_DXT_NORMAL); // writes c0 >= c1
        return;
    }
    if (!FitColour(rgba, transparent, true, quality == EncodeQuality::kRefined, c0, c1, indices)) {
        GridChoice g[3];
        for (int k = 0; k < 3; ++k) g[k] = ToGrid(rgba[4 * firstOpaque + k], k);
        c0 = c1 = Pack565(g);
        indices = 0;
    }
    bool swap = c0 > c1;
    if (swap) std::swap(c0, c1);
    uint32_t fixed = 0;
    for (int i = 0; i < 16; ++i) {
        uint32_t index = (indices >> (2 * i)) & 3;
        if (transparent[i])
            index = 3;
        else if (swap && index < 2)
            index ^= 1;
        fixed |= index << (2 * i);
    }
    Store(out, c0, c1, fixed);
}

} // namespace

void EncodeBC1(const uint8_t rgba[64], uint8_t block[8], int alphaRef, EncodeQuality quality) {
    EncodeColour(rgba, block, alphaRef, quality);
}

void EncodeBC2(const uint8_t rgba[64], uint8_t block[16], EncodeQuality quality) {
    for (int i = 0; i < 8; ++i) {
        uint32_t lo = (rgba[8 * i + 3] * 15u + 127) / 255;
        uint32_t hi = (rgba[8 * i + 7] * 15u + 127) / 255;
        block[i] = uint8_t(lo | hi << 4);
    }
    EncodeColour(rgba, block + 8, 0, quality);
}

void EncodeBC3(const uint8_t rgba[64], uint8_t block[16], EncodeQuality quality) {
    uint8_t alpha[16];
    for (int i = 0; i < 16; ++i) alpha[i] = rgba[4 * i + 3];
    stb_compress_bc4_block(block, alpha);
    EncodeColour(rgba, block + 8, 0, quality);
}

void EncodeBC4(const uint8_t red[16], uint8_t block[8]) { stb_compress_bc4_block(block, red); }

void EncodeBC5(const uint8_t rg[32], uint8_t block[16]) { stb_compress_bc5_block(block, rg); }

} // namespace zelko::block
