#pragma once

// Pixel arithmetic on 0x00RRGGBB values: the sky is made of light, so layers
// are added (saturating at white) rather than painted over each other.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace demosaver {

constexpr std::uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return (r << 16) | (g << 8) | b; }

// Per-channel multiply by gain/256 (gain 0..256), all three channels at once.
inline std::uint32_t Scale(std::uint32_t p, unsigned gain)
{
    const std::uint32_t rb = (((p & 0x00ff00ffu) * gain) >> 8) & 0x00ff00ffu;
    const std::uint32_t g = (((p & 0x0000ff00u) * gain) >> 8) & 0x0000ff00u;
    return rb | g;
}

// Per-byte saturating add: light adds up to white, never wraps to black.
inline std::uint32_t AddClamped(std::uint32_t a, std::uint32_t b)
{
    constexpr std::uint32_t kHigh = 0x80808080u;
    const std::uint32_t low = (a & ~kHigh) + (b & ~kHigh);
    const std::uint32_t sum = low ^ ((a ^ b) & kHigh);
    const std::uint32_t carry = ((a & b) | ((a | b) & ~sum)) & kHigh;
    return sum | ((carry >> 7) * 0xffu);
}

// The two hot loops: adding a sprite row onto the frame, plain or dimmed
// (gain < 256). SSE2 does four pixels at once with native saturation.
inline void AddRow(std::uint32_t* dst, const std::uint32_t* src, int count)
{
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(d, s));
    }
#endif
    for (; i < count; ++i)
        dst[i] = AddClamped(dst[i], src[i]);
}

// gain must stay below 256; full strength is AddRow.
inline void AddRowScaled(std::uint32_t* dst, const std::uint32_t* src, int count, unsigned gain)
{
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
    for (; i < count; ++i)
        dst[i] = AddClamped(dst[i], Scale(src[i], gain));
}

}  // namespace demosaver
