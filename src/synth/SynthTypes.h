#pragma once

// The facts every layer shares: the settings the synthesis reads, the sample rates, the
// frequency range, the waveforms and channel modes, and the start values. They live here,
// in the Qt-free bottom layer, and everything above derives from them: the window's
// options and spinners, the scales, the tools, the benchmarks and the test tables.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vellox {

// ---- sample rates --------------------------------------------------------------------

// The sample rates the generator offers, in frames per second, in the order of their
// options in the window's "Settings" frame. A new rate is a new entry here plus its
// option's place in the window's layout (FormGenUi.cpp).
inline constexpr std::array SampleRates { 44100, 98000, 192000 };
inline constexpr std::size_t SampleRateCount = SampleRates.size();
inline constexpr int32_t StartSampleRate = 98000;

constexpr bool isSampleRate(int32_t rate)
{
    for (const int32_t r : SampleRates)
        if (r == rate)
            return true;
    return false;
}

// The position of `rate` in SampleRates; SampleRateCount for a rate not offered.
constexpr std::size_t sampleRateIndex(int32_t rate)
{
    for (std::size_t i = 0; i < SampleRateCount; ++i)
        if (SampleRates[i] == rate)
            return i;
    return SampleRateCount;
}

// "44100, 98000 or 192000": the rates as a sentence, for messages and help texts.
inline std::string sampleRateList()
{
    std::string text;
    for (std::size_t i = 0; i < SampleRateCount; ++i) {
        if (i > 0)
            text += i + 1 == SampleRateCount ? " or " : ", ";
        text += std::to_string(SampleRates[i]);
    }
    return text;
}

static_assert(isSampleRate(StartSampleRate));

// Rates the synthesis, the render and the command line take beside SampleRates: the sound
// card's own (most devices and desktop sound servers run at 48000 or 96000). The window's
// rate options stay one per entry of SampleRates; these are set elsewhere.
inline constexpr std::array ExtraSampleRates { 48000, 96000 };

// Every rate a buffer can be made at, ascending.
inline constexpr std::array PlayableRates { 44100, 48000, 96000, 98000, 192000 };

constexpr bool isPlayableRate(int32_t rate)
{
    for (const int32_t r : PlayableRates)
        if (r == rate)
            return true;
    return false;
}

// "44100, 48000, 96000, 98000 or 192000".
inline std::string playableRateList()
{
    std::string text;
    for (std::size_t i = 0; i < PlayableRates.size(); ++i) {
        if (i > 0)
            text += i + 1 == PlayableRates.size() ? " or " : ", ";
        text += std::to_string(PlayableRates[i]);
    }
    return text;
}

// PlayableRates is SampleRates and ExtraSampleRates together, each rate once; and every
// playable rate is a multiple of 4 (the precise synthesis takes a cosine a quarter turn
// along its sine table).
constexpr bool playableRatesAreTheUnion()
{
    std::size_t found = 0;
    for (const int32_t r : PlayableRates) {
        bool inOne = false;
        for (const int32_t s : SampleRates)
            inOne = inOne || s == r;
        for (const int32_t e : ExtraSampleRates) {
            if (e == r && inOne)
                return false;
            inOne = inOne || e == r;
        }
        found += inOne ? 1 : 0;
        if (r % 4 != 0)
            return false;
    }
    return found == PlayableRates.size()
        && PlayableRates.size() == SampleRates.size() + ExtraSampleRates.size();
}
static_assert(playableRatesAreTheUnion());

// ---- frequencies ---------------------------------------------------------------------

// Every frequency field (F1, F2) stays within MinFrequency..MaxFrequency Hz.
inline constexpr int16_t MinFrequency = 20;
inline constexpr int16_t MaxFrequency = 20000;
inline constexpr int16_t StartFrequency1 = 1000;
inline constexpr int16_t StartFrequency2 = 100;

constexpr bool isAudioFrequency(int32_t hz)
{
    return hz >= MinFrequency && hz <= MaxFrequency;
}

// ---- waveforms -----------------------------------------------------------------------

// Waveform values: the index of the option array of the waveform frame.
enum WaveformIndex : int16_t {
    WaveSine = 0,
    WavePwSine = 1,
    WaveSquare = 2,
    WaveTrapeze = 3,
    WaveNoise = 4,
    WaveTriangle = 5,
    WavePwm = 6,
    WaveStairsFalling = 7,
    WaveBitCode = 8,
    WaveBitTwoTone = 9,
    WaveStairsRising = 10,
    // Not a waveform: the number of them. A new waveform goes above this line; the
    // checklist in docs/architecture.md says what else it needs.
    WaveformCount
};

constexpr bool isWaveform(int32_t wave)
{
    return wave >= 0 && wave < WaveformCount;
}

// The two waveforms that send the bits of Module1's BitCode; their loop lasts the pattern.
constexpr bool isBitCode(int32_t wave)
{
    return wave == WaveBitCode || wave == WaveBitTwoTone;
}

// Whether the left channel's formula depends on the channel mode. "W Noise" and the bit
// codes sound the same in every mode (only the right channel follows it).
constexpr bool dependsOnMode(int32_t wave)
{
    return wave != WaveNoise && !isBitCode(wave);
}

// The waveforms whose option enables "Modulation FM" and "Set Bit" in the window. The
// front panel enables both for every option from "Bit Code" on in index order, which
// takes in the rising "Stairs" as well; it is kept so, and listed by name, so that a new
// waveform does not enable them by accident of its index.
constexpr bool enablesFmAndSetBit(int32_t wave)
{
    return isBitCode(wave) || wave == WaveStairsRising;
}

// The waveform's name, as the tools print it (the window's captions are its own).
// The switch has no default, so the compiler asks for the name of a new waveform.
constexpr const char* waveformName(WaveformIndex wave)
{
    switch (wave) {
    case WaveSine:
        return "Sine";
    case WavePwSine:
        return "Pw Sine";
    case WaveSquare:
        return "Square";
    case WaveTrapeze:
        return "Trapeze";
    case WaveNoise:
        return "W Noise";
    case WaveTriangle:
        return "Triangle";
    case WavePwm:
        return "PWM";
    case WaveStairsFalling:
        return "Stairs falling";
    case WaveBitCode:
        return "Bit Code";
    case WaveBitTwoTone:
        return "Bit Two-Tone Code";
    case WaveStairsRising:
        return "Stairs rising";
    case WaveformCount:
        break;
    }
    return "";
}

// ---- channel modes -------------------------------------------------------------------

// ChannelMode values 1..6.
enum ChannelModeValue : int16_t {
    ModeF1Both = 1,
    ModeF1PlusF2 = 2,
    ModeAm = 3,
    ModeAmSp = 4,
    ModeFm = 5,
    ModeStereo = 6,
    ModeEnd // not a mode: one past the last
};
inline constexpr int ChannelModeCount = ModeEnd - ModeF1Both;

constexpr bool isChannelMode(int32_t mode)
{
    return mode >= ModeF1Both && mode < ModeEnd;
}

// ---- the settings --------------------------------------------------------------------

// The shared bit-code settings, read by the synthesis and edited by the bit-code
// dialog. They live here, in the Qt-free core, because both of those reach them.
struct Module1 {
    std::string BitCode; // one character per bit, "0" or "1" (others send as 0)
    float RepetitiveTime = 0.0f; // seconds: length of the looping sound buffer
    float BitLength = 0.0f; // seconds per bit

    // Every field, by the defaulted comparison: a field added later is compared too.
    bool operator==(const Module1&) const = default;
};

inline constexpr int32_t StartDutyPercent = 50;

// ---- the front panel's spinners -------------------------------------------------------

// The level spinners: 0 dB at step 0 down to -45 dB at 15, 3 dB a step.
inline constexpr int MinLevelStep = 0;
inline constexpr int MaxLevelStep = 15;
inline constexpr int LevelStepDb = 3;
// The level factor of a step: 10^(-3 step/20), -3*step as an integer, then in double,
// stored as float. 1.0 at step 0. Every face and the remote's volts use this one reading.
inline float levelFactor(int32_t step)
{
    return float(std::pow(10.0, double(-LevelStepDb * step) / 20.0));
}
// Full scale, in level factors: a sine whose peak is 2^15 of the 16-bit scale (1.0 in f32)
// is 0 dBFS (AES17), so the unit signal, 20000 at factor 1, is -4.29 dBFS. A level set
// beyond the spinner's steps takes any factor from there down to -120 dB below it.
inline constexpr double FullScaleLevel = 32768.0 / 20000.0;
inline constexpr double MinLevelDbfs = -120.0;
inline constexpr double MinLevelFactor = FullScaleLevel * 1e-6;
// The noise spinner: 10 % a step, 0..100 %; the amount is step / 10.0 stored as float.
inline constexpr int MaxNoiseStep = 10;
inline constexpr int StartNoiseStep = 0;
inline float noiseLevel(int32_t step)
{
    return float(step / 10.0);
}
// The duty spinner, in per cent.
inline constexpr int MinDutyPercent = 1;
inline constexpr int MaxDutyPercent = 100;

// The fields of the generator state that the synthesis reads, with their stored widths.
struct SynthSettings {
    int32_t SampleRate = StartSampleRate; // one of PlayableRates, frames per second
    int16_t Frequency1 = StartFrequency1; // Hz, MinFrequency..MaxFrequency
    int16_t Frequency2 = StartFrequency2; // Hz, MinFrequency..MaxFrequency
    float Pi = 0.0f; // 4*atan(1) stored as float32
    float Level1 = 0.0f; // linear amplitude factor
    float Level2 = 0.0f;
    float NoiseLevel = 0.0f; // 0..1
    int16_t Waveform = WaveSine; // 0..WaveformCount-1
    int16_t ChannelMode = ModeF1Both; // 1..6
    int32_t DutyPercent = StartDutyPercent; // the duty spinner's value, 1..100, read by "PWM"

    // Every field, by the defaulted comparison: a field added later is compared too.
    bool operator==(const SynthSettings&) const = default;
};

// One synthesis fills one second: frames 0..SampleRate-1, interleaved indices
// 0..2*SampleRate-1. Every frequency is a whole number of hertz, so a second holds whole
// cycles of every sine and loops without a seam. The array has one value more, index
// 2*SampleRate, which stays 0.
constexpr int32_t filledFrames(int32_t sampleRate)
{
    return sampleRate;
}
constexpr std::size_t sampleCount(int32_t sampleRate)
{
    return std::size_t(2 * int64_t(sampleRate) + 1);
}

// What one synthesis writes back to the state besides the samples.
struct PhaseSteps {
    float PhaseStep1 = 0.0f; // radians per interleaved sample index
    float PhaseStep2 = 0.0f;
};

// ---- start values --------------------------------------------------------------------

// The built-in start values: every run of the program begins with these.
inline constexpr const char* StartBitCode = "10011101010001101010111000101011";
inline float startLevel()
{
    return float(1.0 / std::sqrt(2.0));
} // -3 dB, as float32
// The level spinners start at the step whose caption tells that level: 1, "- 3 dB". The
// factor stays 1/sqrt(2) until the spinner first moves (step 1 alone would give 10^(-3/20),
// a hair louder), so the start-up sound is unchanged.
inline constexpr int StartLevelStep = 1;
inline float startPi()
{
    return float(4.0 * std::atan(1.0));
}

inline Module1 startModule1()
{
    Module1 m;
    m.BitCode = StartBitCode;
    m.RepetitiveTime = 1.0f;
    m.BitLength = float(1.0 / 1000.0);
    return m;
}

inline SynthSettings startSynthSettings()
{
    SynthSettings s;
    s.SampleRate = StartSampleRate;
    s.Frequency1 = StartFrequency1;
    s.Frequency2 = StartFrequency2;
    s.Pi = startPi();
    s.Level1 = startLevel();
    s.Level2 = startLevel();
    s.NoiseLevel = 0.0f;
    s.Waveform = WaveSine;
    s.ChannelMode = ModeF1Both;
    s.DutyPercent = StartDutyPercent;
    return s;
}

} // namespace vellox
