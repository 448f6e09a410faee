#pragma once

// The generator as the remote interface sees it: plain getters and setters over its
// settings, one per setting, in the units and steps of the front panel. The SCPI
// interpreter drives nothing else; the program implements it over its one controller, so
// that a remote change takes the same path as the window's, and the tests over a plain
// record (MemoryInstrument).
//
// The interpreter checks every value against the ranges below before it calls a setter;
// a setter may still refuse (a sound device that fails, a setting the generator cannot
// take in its present state) with an error for the queue, and then leaves the setting as
// it was. Every call comes from the thread that runs the interpreter.

#include "ScpiError.h"
#include "SignalOptions.h"
#include "SynthTypes.h"
#include "ToneStream.h"

#include <cstdint>
#include <functional>
#include <span>

namespace vellox::remote {

// The two tones: F1 (SOURce1) and F2 (SOURce2).
enum class Tone : uint8_t { F1 = 1, F2 = 2 };

// The two-tone sets of intermodulation measurements, as F1 + F2 ("F1+ F2", sines): SMPTE,
// 60 Hz and 7 kHz at 4:1 in amplitude, and CCIF, 19 kHz and 20 kHz at 1:1.
enum class TwoToneSet : uint8_t { Smpte, Ccif };
struct TwoToneTones {
    int16_t f1, f2; // Hz
    double share1, share2; // of the level the set is given: the peaks add to it
};
constexpr TwoToneTones twoToneTones(TwoToneSet set)
{
    return set == TwoToneSet::Smpte ? TwoToneTones { 60, 7000, 0.8, 0.2 }
                                    : TwoToneTones { 19000, 20000, 0.5, 0.5 };
}

// The sweep of F1: the "Sweep F1" options "Man", "Lin" and "Log".
enum class SweepMode : uint8_t { Manual, Linear, Logarithmic };

// How the buffer is computed and laid out: the generator's own choices (SignalOptions.h).
using ::vellox::Dither;
using ::vellox::SampleFormat;
using ::vellox::Synthesis;
using ::vellox::TimedSweep;
using ::vellox::ToneBurst;

// The spinners' ranges are the front panel's (SynthTypes.h).
using ::vellox::LevelStepDb;
using ::vellox::MaxDutyPercent;
using ::vellox::MaxLevelStep;
using ::vellox::MaxNoiseStep;
using ::vellox::MinDutyPercent;
using ::vellox::MinLevelStep;
using ::vellox::StartNoiseStep;
// The phase of the right channel against the left, whole degrees.
using ::vellox::MaxPhaseDegrees;

// An integer setting's range and its start value.
struct IntRange {
    int32_t min = 0;
    int32_t max = 0;
    int32_t start = 0;
};

class InstrumentModel {
public:
    virtual ~InstrumentModel() = default;

    // Every setting to its start value and the output stopped, as one change.
    virtual SetResult reset() = 0;

    // Runs `changes` (the units of one line) as one change: a generator restarts and opens
    // its device once, at the end, whatever they set. Returns what that end gives.
    virtual SetResult changeTogether(const std::function<void()>& changes)
    {
        changes();
        return SetResult::done();
    }

    // F1 or F2 in Hz, MinFrequency..MaxFrequency.
    virtual int16_t frequency(Tone tone) const = 0;
    virtual SetResult setFrequency(Tone tone, int16_t hz) = 0;

    // F1 or F2 to the micro-hertz, within frequencyRange(): what the remote's FREQ sets and
    // reads. An instrument of whole hertz (the default) takes MinFrequency..MaxFrequency
    // through setFrequency and refuses a fraction, saying so; never rounds.
    struct FrequencyRange {
        int64_t min = int64_t(MinFrequency) * MicrohertzPerHertz;
        int64_t max = int64_t(MaxFrequency) * MicrohertzPerHertz;
    };
    virtual FrequencyRange frequencyRange() const { return {}; }
    virtual int64_t frequencyMicrohertz(Tone tone) const
    {
        return int64_t(frequency(tone)) * MicrohertzPerHertz;
    }
    virtual SetResult setFrequencyMicrohertz(Tone tone, int64_t microhertz)
    {
        if (microhertz % MicrohertzPerHertz != 0)
            return SetResult::refused(
                ErrorCode::SettingsConflict, "the frequency takes whole hertz");
        if (microhertz < int64_t(MinFrequency) * MicrohertzPerHertz
            || microhertz > int64_t(MaxFrequency) * MicrohertzPerHertz)
            return SetResult::refused(ErrorCode::DataOutOfRange);
        return setFrequency(tone, int16_t(microhertz / MicrohertzPerHertz));
    }

    virtual WaveformIndex waveform() const = 0;
    virtual SetResult setWaveform(WaveformIndex waveform) = 0;
    // Pink noise in F1's place (FUNC PINK); waveform() is then "W Noise". Any waveform set
    // ends it.
    virtual bool pinkNoise() const = 0;
    virtual SetResult setPinkNoise() = 0;

    virtual ChannelModeValue channelMode() const = 0;
    virtual SetResult setChannelMode(ChannelModeValue mode) = 0;

    // The level spinner's step, MinLevelStep..MaxLevelStep, and the linear factor in force
    // exactly as set (at start 1/sqrt(2) beside step 1). A factor may be any value from
    // MinLevelFactor to FullScaleLevel (0 dBFS); the spinner then shows the nearest step.
    virtual int levelStep(Tone tone) const = 0;
    virtual double levelFactor(Tone tone) const = 0;
    virtual SetResult setLevelStep(Tone tone, int step) = 0;
    virtual SetResult setLevelFactor(Tone tone, double factor) = 0;

    // The noise spinner's step, 0..MaxNoiseStep.
    virtual int noiseStep() const = 0;
    virtual SetResult setNoiseStep(int step) = 0;

    // The duty spinner, MinDutyPercent..MaxDutyPercent.
    virtual int dutyPercent() const = 0;
    virtual SetResult setDutyPercent(int percent) = 0;

    // Frames per second: one of sampleRates(), which lists the rates offered in
    // ascending order.
    virtual int32_t sampleRate() const = 0;
    virtual std::span<const int32_t> sampleRates() const = 0;
    virtual SetResult setSampleRate(int32_t rate) = 0;

    virtual SweepMode sweepMode() const = 0;
    virtual SetResult setSweepMode(SweepMode mode) = 0;

    // The sweep of F1 of a set length (SWEep:STATe and its times, FREQuency:STOP); F1 is
    // where it starts. The model refuses what it cannot play (On in the exact synthesis).
    virtual TimedSweep timedSweep() const = 0;
    virtual SetResult setTimedSweep(const TimedSweep& sweep) = 0;

    // Tone bursts of F1 (BURSt:STATe, :NCYCles, :INTernal:PERiod, :PHASe).
    virtual ToneBurst burst() const = 0;
    virtual SetResult setBurst(const ToneBurst& burst) = 0;

    // A two-tone set (IMD), and the set the settings are, if they are one.
    virtual SetResult setTwoTone(TwoToneSet set) = 0;
    virtual std::optional<TwoToneSet> twoTone() const = 0;

    // The bit pattern, the bit length and the repetition time. The interpreter passes only
    // settings that the bit-code dialog's rules take without a message.
    virtual const Module1& bitCode() const = 0;
    virtual SetResult setBitCode(const Module1& settings) = 0;

    // Returns once the output carries every change made so far (*OPC?, *OPC, *WAI): the
    // device has been handed the signal that holds it. A model whose changes are heard at once
    // returns at once; one that waited in vain says so.
    virtual SetResult waitForOutput() { return SetResult::done(); }

    // "Start" (true) and "Stop" (false).
    virtual bool outputOn() const = 0;
    virtual SetResult setOutput(bool on) = 0;

    virtual Synthesis synthesis() const = 0;
    virtual SetResult setSynthesis(Synthesis synthesis) = 0;

    virtual Dither dither() const = 0;
    virtual SetResult setDither(Dither dither) = 0;

    virtual SampleFormat sampleFormat() const = 0;
    virtual SetResult setSampleFormat(SampleFormat format) = 0;

    // The right channel's phase against the left, 0..MaxPhaseDegrees.
    virtual int phaseDegrees() const = 0;
    virtual SetResult setPhaseDegrees(int degrees) = 0;

    // The output latency in milliseconds, within latencyRange().
    virtual int32_t latencyMs() const = 0;
    virtual IntRange latencyRange() const = 0;
    virtual SetResult setLatencyMs(int32_t ms) = 0;

    // The peak-to-peak voltage of a sine at the unit level (level step 0) at the output,
    // which the user measures and tells; volts, MinFullScaleVpp..MaxFullScaleVpp. A property
    // of the output device, not a setting of the signal: reset() leaves it.
    virtual double fullScaleVpp() const = 0;
    virtual SetResult setFullScaleVpp(double vpp) = 0;
};

inline constexpr double StartFullScaleVpp = 2.0;
inline constexpr double MinFullScaleVpp = 0.001;
inline constexpr double MaxFullScaleVpp = 1000.0;

} // namespace vellox::remote
