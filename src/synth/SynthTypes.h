#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vellox {

// The shared bit-code settings, read by the synthesis and edited by the bit-code
// dialog. They live here, in the Qt-free core, because both of those reach them.
struct Module1 {
    std::string BitCode; // one character per bit, "0" or "1" (others send as 0)
    float RepetitiveTime = 0.0f; // seconds: length of the looping sound buffer
    float BitLength = 0.0f; // seconds per bit
};

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
};

// ChannelMode values 1..6.
enum ChannelModeValue : int16_t {
    ModeF1Both = 1,
    ModeF1PlusF2 = 2,
    ModeAm = 3,
    ModeAmSp = 4,
    ModeFm = 5,
    ModeStereo = 6,
};

// The fields of the generator state that the synthesis reads, with their stored widths.
struct SynthSettings {
    int32_t SampleRate = 98000; // 44100, 98000 or 192000 frames per second
    int16_t Frequency1 = 1000; // Hz, 20..20000
    int16_t Frequency2 = 100; // Hz, 20..20000
    float Pi = 0.0f; // 4*atan(1) stored as float32
    float Level1 = 0.0f; // linear amplitude factor
    float Level2 = 0.0f;
    float NoiseLevel = 0.0f; // 0..1
    int16_t Waveform = WaveSine; // 0..10
    int16_t ChannelMode = ModeF1Both; // 1..6
    int32_t DutyPercent = 50; // the duty spinner's value, 1..100, read by "PWM"
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
    s.SampleRate = 98000;
    s.Frequency1 = 1000;
    s.Frequency2 = 100;
    s.Pi = startPi();
    s.Level1 = startLevel();
    s.Level2 = startLevel();
    s.NoiseLevel = 0.0f;
    s.Waveform = WaveSine;
    s.ChannelMode = ModeF1Both;
    s.DutyPercent = 50;
    return s;
}

} // namespace vellox
