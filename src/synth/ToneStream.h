#pragma once

// The precise synthesis computed as it plays. A loop of one second holds only whole cycles,
// so a looped buffer can sound only whole hertz; a stream computes each frame from its place
// in each tone's cycle and so takes any frequency to the micro-hertz, and any level.
//
// Each tone's phase is an exact fraction of a turn: after k frames F's phase is
// (F*k mod rate*1e6) / (rate*1e6) turns, F in micro-hertz, counted in 64-bit integers. Nothing
// accumulates an error: the frequency is F exactly, against the sample clock, for as long as
// the stream runs (2^63 micro-turns last longer than any run). The sine of a phase comes from
// a table of 1024 steps and a short series for the rest of the step, within a few units in
// the last place of double (below 1e-15 of full scale, -300 dB).
//
// The formulas are the precise synthesis's (leftValueOf over its own numbers), with three
// readings that a stream needs:
// - the place in F1's cycle of "PWM" and the "Stairs" is that of the phase (2*j1/F1 interleaved
//   indices), not i mod round(F1Period): the pulse and the ramps keep F1 itself, where a
//   rounded period would sound 2*rate/P;
// - "PWM" in FM carries its place in the pulse from frame to frame at each frame's period;
// - the bit codes do not stream: they keep their loop of one repetition time.
// At whole hertz the values equal the looped precise buffer's within 1e-9 of a 16-bit step
// (but "PWM" in FM), noise and dither included when seeded alike.

#include "SignalOptions.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace vellox {

inline constexpr int64_t MicrohertzPerHertz = 1000000;
// A stream's frequencies: 1 Hz up to 0.45 of the rate (the anti-alias filter's band on most
// converters), in micro-hertz.
inline constexpr int64_t MinStreamFrequency = MicrohertzPerHertz;
constexpr int64_t maxStreamFrequency(int32_t rate)
{
    return int64_t(rate) * 45 * (MicrohertzPerHertz / 100);
}

// A frequency in micro-hertz as hertz with every digit that was set: "1000", "1000.5",
// "0.000001", "123.456789".
inline std::string hertzText(int64_t microhertz)
{
    const bool negative = microhertz < 0;
    const uint64_t u = negative ? uint64_t(0) - uint64_t(microhertz) : uint64_t(microhertz);
    std::string text = (negative ? "-" : "") + std::to_string(u / MicrohertzPerHertz);
    uint64_t fraction = u % MicrohertzPerHertz;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 6 - digits.size(), '0');
        while (digits.back() == '0')
            digits.pop_back();
        text += '.' + digits;
    }
    return text;
}

// A sweep of F1 of a set length, as a bench generator's: from F1 to `Stop` over `Seconds`,
// linear (f = f0 + (f1 - f0) t/T) or logarithmic (f = f0 (f1/f0)^(t/T)), then `HoldSeconds`
// at the stop frequency, `ReturnSeconds` back to F1 by the same law, and again (or, `Once`,
// F1 silent from there). The phase is
// the law's integral, continuous throughout: at the turns between the parts, and from one
// sweep to the next.
inline constexpr double MinSweepSeconds = 0.01;
inline constexpr double MaxSweepSeconds = 1000.0;
struct TimedSweep {
    bool On = false;
    bool Logarithmic = false;
    int64_t Stop = int64_t(StartFrequency1) * 1000000; // micro-hertz
    double Seconds = 1.0; // MinSweepSeconds .. MaxSweepSeconds
    double HoldSeconds = 0.0; // 0 .. MaxSweepSeconds
    double ReturnSeconds = 0.0; // 0 .. MaxSweepSeconds
    bool Once = false; // one run, then F1 silent (a tail to record a room's decay in)

    bool operator==(const TimedSweep&) const = default;
};

// Tone bursts of F1: `Cycles` whole cycles from the phase `PhaseDegrees`, one burst every
// `PeriodSeconds`, F1 silent between (F2 and the noise go on). Every burst starts at the same
// phase, so a burst from 0 degrees starts and ends at a zero of the sine. A burst longer than
// the period is followed by the next at once.
inline constexpr int64_t MaxBurstCycles = 1000000;
inline constexpr double MinBurstPeriod = 0.001;
inline constexpr double MaxBurstPeriod = 1000.0;
struct ToneBurst {
    bool On = false;
    int64_t Cycles = 1; // 1 .. MaxBurstCycles
    double PeriodSeconds = 0.01; // MinBurstPeriod .. MaxBurstPeriod
    double PhaseDegrees = 0.0; // 0 .. <360

    bool operator==(const ToneBurst&) const = default;
};

// What a stream plays: the front panel's settings with frequencies in micro-hertz and the
// levels as the formulas' factors (1.0 is the unit signal, 20000 of the 16-bit scale).
struct StreamSettings {
    int32_t SampleRate = StartSampleRate;
    int64_t Frequency1 = int64_t(StartFrequency1) * MicrohertzPerHertz;
    int64_t Frequency2 = int64_t(StartFrequency2) * MicrohertzPerHertz;
    double Level1 = 1.0;
    double Level2 = 1.0;
    double NoiseLevel = 0.0;
    int16_t Waveform = WaveSine;
    int16_t ChannelMode = ModeF1Both;
    int32_t DutyPercent = StartDutyPercent;
    TimedSweep Sweep; // of F1, where On
    ToneBurst Burst; // of F1, where On
    // Pink noise in F1's place: equal power per octave, its rms that of a sine of Level1
    // (so its level in dBFS is the rms's), from the noise's own draws. Not in FM.
    bool Pink = false;

    bool operator==(const StreamSettings&) const = default;
};

// Every waveform streams but the bit codes.
constexpr bool streams(int32_t wave)
{
    return isWaveform(wave) && !isBitCode(wave);
}

// Whether a signal of these options and waveform is computed as it plays: the precise
// synthesis of every waveform but the bit codes. The exact synthesis loops its second.
constexpr bool streamsSignal(const SignalOptions& options, int32_t wave)
{
    return options.synthesis == Synthesis::Precise && streams(wave);
}

// The stream of one setting. Made and checked on any thread; then owned by one thread at a
// time (the audio thread while it plays), where continueFrom, values and fill neither
// allocate, lock nor wait.
class ToneStream {
public:
    // Throws std::range_error, saying why, for a rate that is not playable, a frequency outside
    // 1 Hz .. rate/2, a level that is not finite, a bit code, an unknown waveform or mode,
    // a duty outside 1..100 % or a phase outside 0..359 degrees. The noise is drawn from
    // `noiseSeed`, the dither from options.ditherSeed.
    ToneStream(const StreamSettings& settings, const SignalOptions& options, uint64_t noiseSeed);

    // Takes up each tone's phase where `before` was `framesBack` frames before the frames it
    // has given (a player's frames computed but not yet heard), so that a change of
    // frequency, level or waveform goes on from the same place in each cycle (across a rate
    // change, the same fraction of a turn). The levels (and the noise's) glide from before's
    // to this stream's over `glideFrames` frames, a raised cosine, so that a step of level is
    // no click. Frames counted from here.
    void continueFrom(const ToneStream& before, int64_t framesBack = 0, int32_t glideFrames = 0);

    // Whether this stream differs from `other` only in what continueFrom glides over: the
    // frequencies, the levels, the noise's level and the duty. Between two such streams a
    // player hands over at a frame, with no cross-fade: the tones go on, and two tones of
    // different frequencies faded into each other would beat.
    bool glidesFrom(const ToneStream& other) const;

    // The next `frames` frames, left and right interleaved, on the 16-bit scale, unrounded.
    void values(double* out, int32_t frames);
    // The next `frames` frames in the options' format and dither: bytesPerFrame each,
    // little-endian, as SynthesizeFrames stores them.
    void fill(uint8_t* out, int32_t frames);

    const StreamSettings& settings() const { return m_settings; }
    const SignalOptions& options() const { return m_options; }
    int64_t framesDone() const { return m_frames; }
    // F1's and F2's phase: micro-turns of 1/(rate*1e6), 0 <= phase < rate*1e6 (F1's to the
    // nearest micro-turn while it sweeps).
    int64_t phase1() const;
    int64_t phase2() const { return m_j2; }
    // F1's phase in turns, 0..1, `framesBack` frames before the frames given.
    double turns1(int64_t framesBack = 0) const;

    static constexpr int32_t BlockFrames = 256;

private:
    StreamSettings m_settings;
    SignalOptions m_options;
    UniformSource m_noise;
    UniformSource m_dither;
    int64_t m_modulus = 0; // rate*1e6: micro-turns per turn
    int64_t m_j1 = 0;
    int64_t m_j2 = 0;
    int64_t m_frames = 0;
    double m_period = 0.0; // "PWM" in FM: the frame's period, interleaved indices
    double m_pulsePlace = 0.0; // "PWM" in FM: the place in the pulse, interleaved indices
    double m_phaseTurns = 0.0; // the right channel's turn against the left, where it applies
    bool m_phased = false;
    // The sweep: its law in turns from the start of a run (sweep, hold, return), the frame
    // within the run, the run's length, and F1's turn where the run began.
    struct SweepLaw {
        double rate = 0.0;
        double f0 = 0.0, f1 = 0.0; // Hz
        double sweep = 0.0, hold = 0.0, back = 0.0; // seconds
        bool logarithmic = false;
        // Turns at t seconds into a run, and the frequency there.
        double turnsAt(double t) const;
        double hertzAt(double t) const;
    };
    // Pink noise: white draws through first-order sections, a pole every half decade from
    // 1 Hz with a zero a quarter decade above it (-10 dB a decade on average), and one that
    // evens out the octaves below the Nyquist frequency; scaled to a sine's rms.
    struct PinkSection {
        double a = 0.0, b = 0.0; // pole and zero, z-plane
        double x1 = 0.0, y1 = 0.0;
    };
    static constexpr std::size_t MaxPinkSections = 16;
    std::array<PinkSection, MaxPinkSections> m_pink {};
    std::size_t m_pinkSections = 0;
    double m_pinkScale = 0.0;
    void makePink();
    double nextPink();
    void pinkBlock(double* out, int32_t frames);
    // The bursts: the frames of a period (not whole), of a burst, and the frame since the
    // first burst began.
    double m_burstPeriodFrames = 0.0;
    double m_burstFrames = 0.0;
    int64_t m_burstFrame = 0;
    SweepLaw m_law;
    // The frame within the run and the run's starting turn, `framesBack` frames before the
    // frames given.
    std::pair<int64_t, double> runPlace(int64_t framesBack) const;
    int64_t m_runFrame = 0;
    int64_t m_runFrames = 0;
    double m_runTurns = 0.0; // the turns of a whole run, less the whole ones
    double m_runStart = 0.0;
    bool m_sweepEnded = false;
    // The levels' glide: from these, over m_glideFrames frames, m_glideDone of them done.
    double m_glideFrom1 = 0.0;
    double m_glideFrom2 = 0.0;
    double m_glideFromNoise = 0.0;
    int32_t m_glideFrames = 0;
    int32_t m_glideDone = 0;
    using BlockFn = void (*)(ToneStream&, double*, int32_t);
    BlockFn m_block = nullptr;
    std::array<double, 2 * BlockFrames> m_values {};
    std::array<double, 2 * BlockFrames> m_ditherValues {};

    template <int Wave, int Mode> friend struct ToneBlock;
};

} // namespace vellox
