#pragma once

// How a buffer is made and laid out beyond the settings of the front panel: which synthesis,
// dither, the device's sample format and the phase of the right channel. The command line,
// the window and a remote control name them with the same words, parsed and printed here.
// With the defaults (exact, none, s16, 0 degrees) every buffer is the one of before, bit for
// bit.

#include "SynthTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellox {

// exact: the formulas as written, float32 where they store float32 (the default).
// precise: the same formulas in double throughout, the phase taken from the frame index.
enum class Synthesis : uint8_t { Exact, Precise };
// none: rounded to the nearest step. tpdf: triangular dither of +-1 step of the word length
// (s16 and s24; a float sample has no fixed step and is not dithered).
enum class Dither : uint8_t { None, Tpdf };
// s16: int16 little-endian, 4 bytes a frame. s24: SDL's AUDIO_S32 little-endian with the
// 24-bit value in the top 24 bits (the low 8 bits zero), 8 bytes a frame. f32: SDL's
// AUDIO_F32 little-endian, 8 bytes a frame. Left first in every frame.
enum class SampleFormat : uint8_t { S16, S24, F32 };

inline constexpr std::array SynthesisNames { "exact", "precise" };
inline constexpr std::array DitherNames { "none", "tpdf" };
inline constexpr std::array SampleFormatNames { "s16", "s24", "f32" };

constexpr const char* synthesisName(Synthesis s)
{
    return SynthesisNames[std::size_t(s)];
}
constexpr const char* ditherName(Dither d)
{
    return DitherNames[std::size_t(d)];
}
constexpr const char* sampleFormatName(SampleFormat f)
{
    return SampleFormatNames[std::size_t(f)];
}

namespace signaloptionsdetail {
    template <class Enum, std::size_t N>
    constexpr std::optional<Enum> byName(
        std::string_view text, const std::array<const char*, N>& names)
    {
        for (std::size_t i = 0; i < N; ++i)
            if (text == names[i])
                return Enum(i);
        return std::nullopt;
    }
    template <std::size_t N> std::string nameList(const std::array<const char*, N>& names)
    {
        std::string text;
        for (std::size_t i = 0; i < N; ++i) {
            if (i > 0)
                text += i + 1 == N ? " or " : ", ";
            text += names[i];
        }
        return text;
    }
} // namespace signaloptionsdetail

// The names exactly as printed above (lower case), or nothing.
constexpr std::optional<Synthesis> parseSynthesis(std::string_view text)
{
    return signaloptionsdetail::byName<Synthesis>(text, SynthesisNames);
}
constexpr std::optional<Dither> parseDither(std::string_view text)
{
    return signaloptionsdetail::byName<Dither>(text, DitherNames);
}
constexpr std::optional<SampleFormat> parseSampleFormat(std::string_view text)
{
    return signaloptionsdetail::byName<SampleFormat>(text, SampleFormatNames);
}
// "exact or precise", "none or tpdf", "s16, s24 or f32": for messages and help texts.
inline std::string synthesisList()
{
    return signaloptionsdetail::nameList(SynthesisNames);
}
inline std::string ditherList()
{
    return signaloptionsdetail::nameList(DitherNames);
}
inline std::string sampleFormatList()
{
    return signaloptionsdetail::nameList(SampleFormatNames);
}

constexpr int32_t bytesPerFrame(SampleFormat f)
{
    return f == SampleFormat::S16 ? 4 : 8;
}

// The unit signal is 20000 of the 16-bit scale in every format: a value v on the 16-bit
// scale is v/32768 of full scale, 2^15 being where int16 ends. s24 keeps that fraction of
// its own 2^23 (v*256), and f32 of 1.0 (v/32768), the scale on which SDL and libsndfile
// read an integer sample as a float. So one tone has the same level in all three formats,
// and s24 and f32 carry the same numbers. Each clips where its integer ends, one step short
// of the negative end as the 16-bit buffer always did (+-32767, +-8388607); f32 at +-1.
inline constexpr double S24Scale = 256.0; // 24-bit steps per 16-bit step
inline constexpr int32_t S24Clip = 8388607; // 2^23 - 1
inline constexpr double F32Scale = 1.0 / 32768.0; // full scale per 16-bit step

// The right channel's phase against the left, whole degrees.
inline constexpr int32_t MaxPhaseDegrees = 359;
constexpr bool isPhaseDegrees(int32_t degrees)
{
    return degrees >= 0 && degrees <= MaxPhaseDegrees;
}

// Whether a phase between the channels means anything, that is whether the right channel's
// sine has the frequency of a tone on the left: in "F1 Left<->F1 Right" (F1 on both) and
// "F1+ F2" (F2 on both) for every waveform that carries a tone, and in "Stereo: F1-L, F2-R"
// when F1 and F2 are equal. Not in the modulation modes, where the right channel is the
// modulator shown beside the modulated carrier, nor for "W Noise" and the bit codes, whose
// left channel carries no steady tone. The phase is applied exactly where this holds.
constexpr bool phaseApplies(int32_t wave, int32_t mode, int32_t frequency1, int32_t frequency2)
{
    if (!isWaveform(wave) || wave == WaveNoise || isBitCode(wave))
        return false;
    return mode == ModeF1Both || mode == ModeF1PlusF2
        || (mode == ModeStereo && frequency1 == frequency2);
}

// The dither's noise comes from its own source, seeded with this unless told otherwise: a
// buffer is then a function of its inputs (the played loop equals the rendered one).
inline constexpr uint64_t DefaultDitherSeed = 0x5eed0f7d17e5ULL;

struct SignalOptions {
    Synthesis synthesis = Synthesis::Exact;
    Dither dither = Dither::None;
    SampleFormat format = SampleFormat::S16;
    int32_t phaseDegrees = 0; // 0..MaxPhaseDegrees
    uint64_t ditherSeed = DefaultDitherSeed;

    // Every field, by the defaulted comparison: a field added later is compared too.
    bool operator==(const SignalOptions&) const = default;
};

} // namespace vellox
