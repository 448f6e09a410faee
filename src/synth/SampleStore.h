#pragma once

// Storing values on the 16-bit scale as a device's bytes (formatValue's rounding, little-
// endian), shared by the buffers and the stream. Internal to vellox_synth, with internal
// linkage as SynthFormulas.h (the vector regions compile their own).

#include "SynthFormulas.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vellox {

namespace {

    template <class T> inline void storeLittle(uint8_t* at, T value)
    {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(at, &value, sizeof value);
        } else {
            std::array<uint8_t, sizeof value> b;
            std::memcpy(b.data(), &value, sizeof value);
            std::reverse(b.begin(), b.end());
            std::memcpy(at, b.data(), sizeof value);
        }
    }

    template <class T> inline T loadLittle(const uint8_t* at)
    {
        std::array<uint8_t, sizeof(T)> b;
        std::memcpy(b.data(), at, sizeof(T));
        if constexpr (std::endian::native != std::endian::little)
            std::reverse(b.begin(), b.end());
        T value;
        std::memcpy(&value, b.data(), sizeof(T));
        return value;
    }

    // count values (formatValue) stored little-endian; four at a time with SSE2, which every
    // x86-64 has, as the vector engine's lanes store them W at a time.
    template <SampleFormat Format, bool Scaled, bool Dithered>
    void storeValues(
        uint8_t* at, int32_t count, const double* values, const double* dither, double scale)
    {
        constexpr std::size_t bytes = Format == SampleFormat::S16 ? 2 : 4;
        int32_t v = 0;
#if defined(__SSE2__)
        for (; v + 4 <= count; v += 4, at += 4 * bytes) {
            __m128d a = _mm_loadu_pd(values + v);
            __m128d b = _mm_loadu_pd(values + v + 2);
            __m128d da = _mm_setzero_pd(), db = _mm_setzero_pd();
            if constexpr (Dithered) {
                da = _mm_loadu_pd(dither + v);
                db = _mm_loadu_pd(dither + v + 2);
            }
            formatValue<Format, Scaled, Dithered>(a, da, scale);
            formatValue<Format, Scaled, Dithered>(b, db, scale);
            if constexpr (Format == SampleFormat::F32) {
                const __m128 f = _mm_movelh_ps(_mm_cvtpd_ps(a), _mm_cvtpd_ps(b));
                _mm_storeu_ps(reinterpret_cast<float*>(static_cast<void*>(at)), f);
            } else { // whole numbers within the limit: the conversions and the pack are exact
                const __m128i r = _mm_unpacklo_epi64(_mm_cvtpd_epi32(a), _mm_cvtpd_epi32(b));
                if constexpr (Format == SampleFormat::S16)
                    _mm_storel_epi64(
                        static_cast<__m128i*>(static_cast<void*>(at)), _mm_packs_epi32(r, r));
                else
                    _mm_storeu_si128(
                        static_cast<__m128i*>(static_cast<void*>(at)), _mm_slli_epi32(r, 8));
            }
        }
#endif
        for (; v < count; ++v, at += bytes) {
            double x = values[v];
            formatValue<Format, Scaled, Dithered>(x, Dithered ? dither[v] : 0.0, scale);
            if constexpr (Format == SampleFormat::S16)
                storeLittle(at, int16_t(x));
            else if constexpr (Format == SampleFormat::S24)
                storeLittle(at, uint32_t(int32_t(x)) << 8);
            else
                storeLittle(at, float(x));
        }
    }

} // namespace

} // namespace vellox
