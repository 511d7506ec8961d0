// Pixel arithmetic on 0x00RRGGBB values and the pre-rendered images it adds:
// the sky is made of light, so layers are added (saturating at white) rather
// than painted over each other.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace demosaver {

constexpr std::uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return (r << 16) | (g << 8) | b; }

// Per-channel multiply by gain/256 (gain 0..256), all three channels at once.
inline std::uint32_t Scale(std::uint32_t p, unsigned gain) {
    const std::uint32_t rb = (((p & 0x00ff00ffu) * gain) >> 8) & 0x00ff00ffu;
    const std::uint32_t g = (((p & 0x0000ff00u) * gain) >> 8) & 0x0000ff00u;
    return rb | g;
}

// Per-byte saturating add: light adds up to white, never wraps to black.
inline std::uint32_t AddClamped(std::uint32_t a, std::uint32_t b) {
    constexpr std::uint32_t kHigh = 0x80808080u;
    const std::uint32_t low = (a & ~kHigh) + (b & ~kHigh);
    const std::uint32_t sum = low ^ ((a ^ b) & kHigh);
    const std::uint32_t carry = ((a & b) | ((a | b) & ~sum)) & kHigh;
    return sum | ((carry >> 7) * 0xffu);
}

// The two hot loops: adding a sprite row onto the frame, plain or dimmed
// (gain < 256). SSE2 does four pixels at once with native saturation.
inline void AddRow(std::uint32_t* dst, const std::uint32_t* src, int count) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(d, s));
    }
#endif
    for (; i < count; ++i) dst[i] = AddClamped(dst[i], src[i]);
}

// gain must stay below 256; full strength is AddRow.
inline void AddRowScaled(std::uint32_t* dst, const std::uint32_t* src, int count, unsigned gain) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i factor = _mm_set1_epi16(static_cast<short>(static_cast<std::uint16_t>(gain << 8)));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i low = _mm_mulhi_epu16(_mm_unpacklo_epi8(s, zero), factor);
        const __m128i high = _mm_mulhi_epu16(_mm_unpackhi_epi8(s, zero), factor);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(d, _mm_packus_epi16(low, high)));
    }
#endif
    for (; i < count; ++i) dst[i] = AddClamped(dst[i], Scale(src[i], gain));
}

// A pre-rendered image (an orb's glow, the word-mark), drawn once per frame
// size, with the non-black run of each row, so blending skips the empty
// corners of round things.
struct Sprite {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<std::array<int, 2>> spans;  // [first, last) per row
};

// Sprite from a function of the pixel's place; the spans are found here.
template <class Shade>
Sprite MakeSprite(int width, int height, Shade shade) {
    Sprite s;
    s.width = width;
    s.height = height;
    s.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    s.spans.resize(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        int first = width, last = 0;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = shade(x, y);
            s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = p;
            if (p) {
                first = std::min(first, x);
                last = x + 1;
            }
        }
        s.spans[static_cast<std::size_t>(y)] = {first < last ? first : 0, first < last ? last : 0};
    }
    return s;
}

// Three box-blur passes each way: close enough to a Gaussian for a glow.
inline void Blur(std::vector<int>& values, int width, int height, int radius) {
    std::vector<int> line(static_cast<std::size_t>(std::max(width, height)));
    auto pass = [&](int count, int length, auto at) {
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < length; ++k) line[static_cast<std::size_t>(k)] = at(i, k);
            int sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += (k >= 0 && k < length) ? line[static_cast<std::size_t>(k)] : 0;
            for (int k = 0; k < length; ++k) {
                at(i, k) = sum / (2 * radius + 1);
                const int out = k - radius, in = k + radius + 1;
                if (out >= 0) sum -= line[static_cast<std::size_t>(out)];
                if (in < length) sum += line[static_cast<std::size_t>(in)];
            }
        }
    };
    auto cell = [&](int x, int y) -> int& {
        return values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    };
    for (int round = 0; round < 3; ++round) {
        pass(height, width, [&](int y, int x) -> int& { return cell(x, y); });
        pass(width, height, [&](int x, int y) -> int& { return cell(x, y); });
    }
}

}  // namespace demosaver
