#pragma once

// The generator's state record: every setting of the main window with its stored
// width and unit. Plain data, no Qt. The three sound-object references and the buffer
// description live in audio::SoundObjects, owned by the window beside this record.

#include "SignalPhase.h"
#include "SynthTypes.h"
#include "ToneStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellox {

inline constexpr const char* SweepManual = "manual";
inline constexpr const char* SweepLinear = "linear";
inline constexpr const char* SweepLogaritmic = "logaritmic";

struct GeneratorState {
    int32_t SampleRate = 0; // frames per second: one of SampleRates once loaded
    int16_t Frequency1 = 0; // Hz
    int16_t Frequency2 = 0; // Hz
    // The precise synthesis's frequencies to the micro-hertz, where they are not the whole
    // Frequency1 and Frequency2 (which then hold the nearest whole hertz within 20..20000,
    // for the front panel and the looped buffers); 0 where they are.
    int64_t FineFrequency1 = 0;
    int64_t FineFrequency2 = 0;
    std::vector<int16_t> Samples; // interleaved stereo, element 2k left, 2k+1 right
    int16_t Waveform = 0; // 0..WaveformCount-1
    int16_t ChannelMode = 0; // 1..6
    float NoiseLevel = 0.0f; // noise spinner value / 10
    float Level1 = 0.0f; // linear amplitude factors
    float Level2 = 0.0f;
    // A level set beyond the spinner's 3 dB steps (a script's VOLT, --level1-dbfs), exactly as
    // it was asked, MinLevelFactor..FullScaleLevel; Level1 and Level2 hold it in single
    // precision for the formulas. 0 where the spinner's step is in force.
    double FineLevel1 = 0.0;
    double FineLevel2 = 0.0;
    // The sweep of F1 of a set length (the precise synthesis's), where On: from F1 to its stop
    // frequency, computed as it plays. The front panel's stepped sweep is SweepMode.
    TimedSweep Sweep;
    // Tone bursts of F1 (the precise synthesis's), where On.
    ToneBurst Burst;
    // Pink noise in F1's place (the precise synthesis's); Waveform is then "W Noise", whose
    // level is read the same way.
    bool Pink = false;
    std::string SweepMode; // "manual", "linear" or "logaritmic"
    float PhaseStep1 = 0.0f; // radians per interleaved index
    float PhaseStep2 = 0.0f;
    int32_t TimeViewSpan = 0; // sample elements per 1000 pixels of the time view
    float Marker1X = 0.0f; // pixel x of the F1 scale's cursor line
    float Marker2X = 0.0f; // pixel x of the F2 scale's cursor line
    float Pi = 0.0f; // 4*atan(1) stored as float32
};

// The front panel's spinners, as steps, where the state record keeps only what they give
// (a level factor, a noise amount) or nothing (the duty).
struct PanelSteps {
    int level1 = 1; // UpDown2: 3 dB a step
    int level2 = 1; // UpDown4
    int noise = 0; // UpDown5: 10 % a step
    int dutyPercent = 50; // UpDown7
    bool operator==(const PanelSteps&) const = default;
};

// The built-in start values of the state record and of the bit-code settings, set in
// the order the window sets them when it loads (the text boxes, the scales and the
// sound device are the window's part). Samples is sized to 0..SampleRate, all zero.
void setStartValues(GeneratorState& state, Module1& module1);

// The settings the synthesis reads, taken from the state and the duty spinner's value.
SynthSettings synthSettings(const GeneratorState& state, int32_t dutyPercent);

// F1 and F2 to the micro-hertz: the fine frequency where there is one, else the whole one.
int64_t microhertz1(const GeneratorState& state);
int64_t microhertz2(const GeneratorState& state);

// Each tone's level factor exactly as set: the fine level where there is one, else the
// step's factor.
double levelFactor1(const GeneratorState& state);
double levelFactor2(const GeneratorState& state);

// The same as a stream's settings (the precise synthesis computed as it plays).
StreamSettings streamSettings(const GeneratorState& state, int32_t dutyPercent);

// Samples elements for a buffer of RepetitiveTime seconds: indices 0..N with
// N = RepetitiveTime x 2 x SampleRate (the values of the loop's frames) rounded
// half-even, so N + 1 elements.
size_t playSampleCount(float repetitiveTime, int32_t sampleRate);

// The F1 that a sweep tick moves to from f: +10 Hz ("linear"), 10^(1/100) x f + 0.5
// rounded half-even ("logaritmic"), both starting again at 20 Hz from 20000 on; f itself
// for "manual".
int16_t nextSweepFrequency(const std::string& sweepMode, int16_t f);

// The tones of the buffer these settings give, for the sound layer to start it where they
// continue the tones playing. A bit pattern always starts with its first bit.
audio::SignalPhase signalPhaseOf(const GeneratorState& state);

} // namespace vellox
