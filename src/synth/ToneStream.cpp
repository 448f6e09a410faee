#include "ToneStream.h"

#include "SampleStore.h"
#include "SynthFormulas.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

namespace vellox {

namespace {

    using synthdetail::BasicContext;
    using synthdetail::Instant;

    constexpr double TwoPi = 2.0 * std::numbers::pi;

    // sin and cos of the 1024 steps of a turn. A quarter turn is evaluated, each value from
    // the nearer of sin and cos, and the symmetries give the rest, so that the zeros and the
    // peaks are exact: a square wave's sign is 0 where the looped buffer's is.
    constexpr int32_t Steps = 1024;
    struct SineSteps {
        std::array<double, Steps> sine {};
        std::array<double, Steps> cosine {};
        SineSteps()
        {
            constexpr int32_t quarter = Steps / 4;
            for (int32_t j = 0; j <= quarter; ++j) {
                const double v = 8 * j <= Steps ? std::sin(TwoPi * double(j) / Steps)
                                                : std::cos(TwoPi * double(quarter - j) / Steps);
                sine[std::size_t(j)] = v;
                sine[std::size_t(2 * quarter - j)] = v;
            }
            for (int32_t j = 0; j < 2 * quarter; ++j)
                sine[std::size_t(2 * quarter + j)] = -sine[std::size_t(j)];
            for (int32_t j = 0; j < Steps; ++j)
                cosine[std::size_t(j)] = sine[std::size_t((j + quarter) % Steps)];
        }
    };
    // Made when the library loads, never on the audio thread.
    const SineSteps sineSteps;

    // sin(2*pi*turns) for 0 <= turns < 2^42: the table's step below and sin(a + d) =
    // sin a cos d + cos a sin d, with d below 2*pi/1024 taken by its series to d^7 and d^6
    // (the next terms are below 1e-19).
    inline double sineOfTurns(double turns)
    {
        const double x = turns * double(Steps);
        const int64_t whole = int64_t(x); // truncation: the floor, x being >= 0
        const double d = (x - double(whole)) * (TwoPi / double(Steps));
        const std::size_t at = std::size_t(whole & (Steps - 1));
        const double d2 = d * d;
        const double sd = d * (1.0 - d2 / 6.0 * (1.0 - d2 / 20.0 * (1.0 - d2 / 42.0)));
        const double cd = 1.0 - d2 / 2.0 * (1.0 - d2 / 12.0 * (1.0 - d2 / 30.0));
        return sineSteps.sine[at] * cd + sineSteps.cosine[at] * sd;
    }

    // sin(x) for any radians the formulas give (an FM carrier's phase).
    inline double sineOfRadians(double x)
    {
        const double turns = x * (1.0 / TwoPi);
        return sineOfTurns(turns - nearestWhole(turns) + 1.0);
    }

    // The context of a stream's frames: the precise synthesis's, and the place in F1's cycle.
    struct StreamContext : BasicContext<double> {
        double Place = 0.0; // interleaved indices into F1's cycle: 2*j1/F1, or the pulse's
    };

    // The precise synthesis's numbers, read from the stream's phases.
    struct StreamNumbers : ScalarNumbers<double> {
        using Ctx = StreamContext;
        static constexpr bool sinesAhead = true;
        using Value = double;
        static double value(double x) { return x; }
        static double pow7(double s) { return PreciseNumbers::pow7(s); }
        static double phase1(const Ctx&, const Instant& t) { return t.theta1; }
        static double backwardPhase1(const Ctx&, const Instant& t) { return -t.theta1; }
        static double cycles1(const Ctx&, const Instant& t) { return t.cycles1; }
        static double sine1(const Ctx&, const Instant& t) { return t.s1; }
        template <class Phase> static double carrier(const Instant&, Phase phase)
        {
            return sineOfRadians(phase());
        }
        static double remainder(const Ctx& c, const Instant&) { return c.Place; }
        static double remainderAt(const Ctx& c, const Instant&, double) { return c.Place; }
        // "PWM" FM: the period follows F2 as in the precise synthesis; the place in the pulse
        // runs on at each frame's period (advancePulse).
        static double periodStep(Ctx& c, const Instant&, double s2)
        {
            c.F1Period = c.F1Period + c.Level2 * s2;
            return c.F1Period;
        }
        static bool pulseLowAt(const Ctx& c, double F, double m)
        {
            return F * double(c.DutyPercent) > 100.0 * m;
        }
        static bool pulseLow(const Ctx& c, double m) { return pulseLowAt(c, c.F1Period, m); }
    };

    // The share of the new level `done` frames into a glide of `frames`: a raised cosine, as
    // the player's cross-fades.
    inline double glideGain(int32_t done, int32_t frames)
    {
        return 0.5 - 0.5 * std::cos(std::numbers::pi * double(done) / double(frames));
    }

    // One frame further into a pulse whose period moves: a period below one frame is taken as
    // one frame, so the place stays within its period whatever F2 does to it.
    inline void advancePulse(StreamContext& c)
    {
        const double period = std::max(c.F1Period, 2.0);
        c.Place += 2.0;
        if (c.Place >= period)
            c.Place -= period * std::floor(c.Place / period);
    }

    void checkStream(const StreamSettings& s, const SignalOptions& options)
    {
        const auto fail
            = [](const std::string& why) { throw std::range_error("ToneStream: " + why); };
        if (!isPlayableRate(s.SampleRate))
            fail("sample rate " + std::to_string(s.SampleRate) + " is not " + playableRateList());
        // Up to half the rate: the front panel's 20 kHz at 44100 Hz streams too; what a user
        // may ask for is maxStreamFrequency's business.
        const int64_t most = int64_t(s.SampleRate) * (MicrohertzPerHertz / 2);
        for (const int64_t f : { s.Frequency1, s.Frequency2 })
            if (f < MinStreamFrequency || f > most)
                fail("frequency " + std::to_string(f) + " uHz outside 1 Hz .. half the rate");
        if (!std::isfinite(s.Level1) || !std::isfinite(s.Level2) || !std::isfinite(s.NoiseLevel))
            fail("a level is not a number");
        if (!isWaveform(s.Waveform))
            fail("unknown waveform " + std::to_string(s.Waveform));
        if (!streams(s.Waveform))
            fail("the bit codes loop their repetition time; they do not stream");
        if (!isChannelMode(s.ChannelMode))
            fail("unknown channel mode " + std::to_string(s.ChannelMode));
        if (s.DutyPercent < MinDutyPercent || s.DutyPercent > MaxDutyPercent)
            fail("duty " + std::to_string(s.DutyPercent) + " % outside 1..100");
        if (!isPhaseDegrees(options.phaseDegrees))
            fail("phase outside 0.." + std::to_string(MaxPhaseDegrees));
        const TimedSweep& w = s.Sweep;
        if (w.On) {
            if (w.Stop < MinStreamFrequency || w.Stop > most)
                fail("sweep stop " + std::to_string(w.Stop) + " uHz outside 1 Hz .. half the rate");
            if (!(w.Seconds >= MinSweepSeconds && w.Seconds <= MaxSweepSeconds))
                fail("sweep time outside 10 ms .. 1000 s");
            for (const double t : { w.HoldSeconds, w.ReturnSeconds })
                if (!(t >= 0.0 && t <= MaxSweepSeconds))
                    fail("sweep hold or return time outside 0 .. 1000 s");
            if (s.Waveform == WavePwm && s.ChannelMode == ModeFm)
                fail("PWM in FM carries its pulse at F2's period: it does not sweep");
        }
        if (s.Pink && s.ChannelMode == ModeFm)
            fail("pink noise is no carrier for FM");
        if (s.Pink && (w.On || s.Burst.On))
            fail("pink noise neither sweeps nor bursts");
        const ToneBurst& b = s.Burst;
        if (b.On) {
            if (b.Cycles < 1 || b.Cycles > MaxBurstCycles)
                fail("a burst of " + std::to_string(b.Cycles) + " cycles, not 1..1000000");
            if (!(b.PeriodSeconds >= MinBurstPeriod && b.PeriodSeconds <= MaxBurstPeriod))
                fail("burst period outside 1 ms .. 1000 s");
            if (!(b.PhaseDegrees >= 0.0 && b.PhaseDegrees < 360.0))
                fail("burst phase outside 0 .. 360 degrees");
            if (w.On)
                fail("a burst and a sweep at once");
            if (s.Waveform == WavePwm && s.ChannelMode == ModeFm)
                fail("PWM in FM carries its pulse at F2's period: it does not burst");
        }
    }

    // The turns of a sweep from fa to fb (Hz) over d seconds, tau seconds into it: the
    // integral of its frequency. expm1 keeps the logarithmic law's small steps exact.
    double segmentTurns(double fa, double fb, double d, double tau, bool logarithmic)
    {
        if (fa == fb)
            return fa * tau;
        if (!logarithmic)
            return fa * tau + (fb - fa) * tau * tau / (2.0 * d);
        const double lr = std::log(fb / fa);
        return fa * d / lr * std::expm1(lr * tau / d);
    }
    double segmentHertz(double fa, double fb, double d, double tau, bool logarithmic)
    {
        if (!logarithmic)
            return fa + (fb - fa) * tau / d;
        return fa * std::exp(std::log(fb / fa) * tau / d);
    }

} // namespace

// Past the run's end (its last frame may fall a fraction of a frame short of it) the law goes
// on at the frequency it ended at, so that the next run starts where the phase has come to.
double ToneStream::SweepLaw::turnsAt(double t) const
{
    if (t < sweep)
        return segmentTurns(f0, f1, sweep, t, logarithmic);
    const double swept = segmentTurns(f0, f1, sweep, sweep, logarithmic);
    if (t < sweep + hold || back <= 0.0)
        return swept + f1 * (t - sweep);
    const double tau = t - sweep - hold;
    if (tau < back)
        return swept + f1 * hold + segmentTurns(f1, f0, back, tau, logarithmic);
    return swept + f1 * hold + segmentTurns(f1, f0, back, back, logarithmic) + f0 * (tau - back);
}

double ToneStream::SweepLaw::hertzAt(double t) const
{
    if (t < sweep)
        return segmentHertz(f0, f1, sweep, t, logarithmic);
    if (t < sweep + hold || back <= 0.0)
        return f1;
    const double tau = t - sweep - hold;
    return tau < back ? segmentHertz(f1, f0, back, tau, logarithmic) : f0;
}

namespace {
    // The noise of a stream whose noise is silent throughout a block: nothing to draw, where
    // the looped buffer draws twice a frame for a term it then multiplies by zero.
    struct NoDraws {
        static double difference() { return 0.0; }
    };
} // namespace

template <int Wave, int Mode> struct ToneBlock {
    // n frames of values, interleaved, from where the stream stands; the phases move on.
    static void run(ToneStream& st, double* values, int32_t n)
    {
        const bool gliding = st.m_glideDone < st.m_glideFrames;
        if (st.m_settings.NoiseLevel == 0.0 && (!gliding || st.m_glideFromNoise == 0.0)) {
            NoDraws none;
            frames(st, values, n, none);
        } else {
            LiveDraws draws { st.m_noise };
            frames(st, values, n, draws);
        }
    }

    template <class Draws>
    static void frames(ToneStream& st, double* values, int32_t n, Draws& draws)
    {
        constexpr bool fm = Mode == ModeFm;
        constexpr bool pwmFm = fm && Wave == WavePwm;
        constexpr bool placed
            = (Wave == WavePwm || Wave == WaveStairsFalling || Wave == WaveStairsRising) && !pwmFm;
        constexpr bool loadS1 = needsS1<Wave, Mode, true>();
        constexpr bool loadS2 = needsS2<Wave, Mode>();
        const StreamSettings& s = st.m_settings;
        StreamContext c;
        c.Level1 = s.Level1;
        c.Level2 = s.Level2;
        c.NoiseLevel = s.NoiseLevel;
        c.DutyPercent = s.DutyPercent;
        c.F1Period = pwmFm
            ? st.m_period
            : double(2 * int64_t(s.SampleRate)) * double(MicrohertzPerHertz) / double(s.Frequency1);
        c.Place = st.m_pulsePlace;
        const int64_t M = st.m_modulus;
        const double perTurn = 1.0 / double(M);
        const int64_t f1 = s.Frequency1, f2 = s.Frequency2;
        const bool sweeping = s.Sweep.On;
        const bool bursting = s.Burst.On;
        const double period = st.m_burstPeriodFrames;
        const double microRate = double(M);
        const double burstPhase = s.Burst.PhaseDegrees / 360.0;
        int64_t j1 = st.m_j1, j2 = st.m_j2;
        // The turns of a phase, within an ulp; a half turn exactly 0.5, so that a sine's zeros
        // are exact zeros (the square wave's sign there is 0, as in the looped buffer).
        const auto turnsOf
            = [M, perTurn](int64_t j) { return 2 * j == M ? 0.5 : double(j) * perTurn; };
        for (int32_t k = 0; k < n; ++k) {
            if (st.m_glideDone < st.m_glideFrames) [[unlikely]] {
                const double g = glideGain(++st.m_glideDone, st.m_glideFrames);
                c.Level1 = st.m_glideFrom1 + (s.Level1 - st.m_glideFrom1) * g;
                c.Level2 = st.m_glideFrom2 + (s.Level2 - st.m_glideFrom2) * g;
                c.NoiseLevel = st.m_glideFromNoise + (s.NoiseLevel - st.m_glideFromNoise) * g;
                if (st.m_glideDone == st.m_glideFrames) {
                    c.Level1 = s.Level1;
                    c.Level2 = s.Level2;
                    c.NoiseLevel = s.NoiseLevel;
                }
            }
            Instant t;
            double t1 = turnsOf(j1);
            double gate = 1.0;
            if (bursting) [[unlikely]] {
                // F1 from the burst's own start: its phase, then silence past its cycles.
                const double frame = double(st.m_burstFrame++);
                const double into = frame - std::floor(frame / period) * period;
                const double turns = burstPhase + double(f1) * into / microRate;
                t1 = turns - std::floor(turns);
                if (into >= st.m_burstFrames)
                    gate = 0.0;
                if constexpr (placed)
                    c.Place = t1 * c.F1Period;
            }
            if (sweeping && st.m_sweepEnded) [[unlikely]] {
                gate = 0.0; // one sweep, then F1 is silent
            } else if (sweeping) [[unlikely]] {
                // F1 from the law: the turns since the run began, and the frequency there for
                // the waveforms that read their place in the cycle.
                const double at = double(st.m_runFrame) / st.m_law.rate;
                const double turns = st.m_runStart + st.m_law.turnsAt(at);
                t1 = turns - std::floor(turns);
                if constexpr (placed)
                    c.F1Period = 2.0 * st.m_law.rate / st.m_law.hertzAt(at);
                if (++st.m_runFrame == st.m_runFrames) {
                    const double end = st.m_runStart + st.m_runTurns;
                    st.m_runStart = end - std::floor(end);
                    st.m_runFrame = 0;
                    st.m_sweepEnded = s.Sweep.Once;
                }
            }
            const double t2 = turnsOf(j2);
            t.cycles1 = t1;
            t.theta1 = TwoPi * t1;
            if constexpr (loadS1)
                t.s1 = sineOfTurns(t1);
            if constexpr (loadS2)
                t.s2 = sineOfTurns(t2);
            if constexpr (placed)
                if (!bursting)
                    c.Place = sweeping ? t1 * c.F1Period
                                       : 2.0 * double(j1) / double(f1); // exact where whole
            const double level1 = c.Level1;
            c.Level1 *= gate;
            values[2 * k] = leftValueOf<Wave, Mode, StreamNumbers>(c, draws, t);
            if constexpr (pwmFm)
                advancePulse(c);

            const double turns = rightIsF1(Mode) ? t1 : t2;
            const double sine = st.m_phased ? sineOfTurns(turns + st.m_phaseTurns)
                                            : rightSineOf<Mode>(t.s1, t.s2);
            values[2 * k + 1] = rightValueOf<Mode>(c, sine);
            c.Level1 = level1;
            j1 += f1;
            j1 -= j1 >= M ? M : 0;
            j2 += f2;
            j2 -= j2 >= M ? M : 0;
        }
        st.m_j1 = j1;
        st.m_j2 = j2;
        if constexpr (pwmFm) {
            st.m_period = c.F1Period;
            st.m_pulsePlace = c.Place;
        }
    }
};

namespace {
    using BlockFn = void (*)(ToneStream&, double*, int32_t);
    constexpr std::size_t Rows = std::size_t(WaveformCount);
    constexpr std::size_t Columns = std::size_t(ModeEnd);

    // The bit codes and the unknown modes have no stream: checkStream refuses them first.
    template <int Wave, int Mode> constexpr BlockFn blockOf()
    {
        if constexpr (streams(Wave) && isChannelMode(Mode))
            return &ToneBlock<Wave, Mode>::run;
        else
            return nullptr;
    }
    template <int Wave, std::size_t... Modes>
    constexpr std::array<BlockFn, Columns> blockRow(std::index_sequence<Modes...>)
    {
        return { blockOf<Wave, int(Modes)>()... };
    }
    template <std::size_t... Waves>
    constexpr std::array<std::array<BlockFn, Columns>, Rows> blockTable(
        std::index_sequence<Waves...>)
    {
        return { blockRow<int(Waves)>(std::make_index_sequence<Columns> {})... };
    }
    constexpr auto Blocks = blockTable(std::make_index_sequence<Rows> {});
} // namespace

ToneStream::ToneStream(
    const StreamSettings& settings, const SignalOptions& options, uint64_t noiseSeed)
    : m_settings(settings)
    , m_options(options)
    , m_noise(noiseSeed)
    , m_dither(options.ditherSeed)
{
    checkStream(settings, options);
    m_modulus = int64_t(settings.SampleRate) * MicrohertzPerHertz;
    m_period = double(2 * int64_t(settings.SampleRate)) * double(MicrohertzPerHertz)
        / double(settings.Frequency1);
    m_phased = options.phaseDegrees != 0 && settings.Waveform != WaveNoise
        && (settings.ChannelMode == ModeF1Both || settings.ChannelMode == ModeF1PlusF2
            || (settings.ChannelMode == ModeStereo && settings.Frequency1 == settings.Frequency2));
    m_phaseTurns = double(options.phaseDegrees) / 360.0;
    if (settings.Sweep.On) {
        const TimedSweep& w = settings.Sweep;
        m_law.rate = double(settings.SampleRate);
        m_law.f0 = double(settings.Frequency1) / double(MicrohertzPerHertz);
        m_law.f1 = double(w.Stop) / double(MicrohertzPerHertz);
        m_law.sweep = w.Seconds;
        m_law.hold = w.HoldSeconds;
        m_law.back = w.ReturnSeconds;
        m_law.logarithmic = w.Logarithmic;
        m_runFrames = std::max<int64_t>(
            1, std::llround((w.Seconds + w.HoldSeconds + w.ReturnSeconds) * m_law.rate));
        const double runTurns = m_law.turnsAt(double(m_runFrames) / m_law.rate);
        m_runTurns = runTurns - std::floor(runTurns);
    }
    if (settings.Pink)
        makePink();
    if (settings.Burst.On) {
        const double rate = double(settings.SampleRate);
        m_burstPeriodFrames = settings.Burst.PeriodSeconds * rate;
        // N cycles of F1 in frames; the next burst waits for the last cycle to end.
        m_burstFrames = double(settings.Burst.Cycles) * double(MicrohertzPerHertz) * rate
            / double(settings.Frequency1);
        m_burstPeriodFrames = std::max(m_burstPeriodFrames, m_burstFrames);
    }
    m_block = Blocks[std::size_t(settings.Waveform)][std::size_t(settings.ChannelMode)];
}

void ToneStream::continueFrom(const ToneStream& before, int64_t framesBack, int32_t glideFrames)
{
    const int64_t M = before.m_modulus;
    const auto back = [&](int64_t j, int64_t f) {
        const auto behind = int64_t((__int128(framesBack % M) * f) % M);
        const int64_t r = j - behind;
        return r < 0 ? r + M : r;
    };
    const auto carried = [&](int64_t j) {
        if (before.m_modulus == m_modulus)
            return j;
        // The same fraction of a turn at the new rate, to a micro-turn.
        const double turns = double(j) / double(before.m_modulus);
        return int64_t(std::llround(turns * double(m_modulus))) % m_modulus;
    };
    m_j2 = carried(back(before.m_j2, before.m_settings.Frequency2));
    // Pink noise goes on through the same sections (a level changed): no new rise.
    if (m_settings.Pink && before.m_settings.Pink
        && before.m_settings.SampleRate == m_settings.SampleRate)
        m_pink = before.m_pink;
    // The same bursts (a level or the waveform changed) go on where they were; new ones
    // start with a burst.
    if (m_settings.Burst.On && before.m_settings.Burst == m_settings.Burst
        && before.m_settings.Frequency1 == m_settings.Frequency1
        && before.m_settings.SampleRate == m_settings.SampleRate)
        m_burstFrame = std::max<int64_t>(0, before.m_burstFrame - framesBack);
    const bool sweeping = m_settings.Sweep.On;
    if (sweeping && before.m_settings.Sweep == m_settings.Sweep
        && before.m_settings.Frequency1 == m_settings.Frequency1
        && before.m_settings.SampleRate == m_settings.SampleRate) {
        // The same sweep (a level or the waveform changed): it goes on where it was.
        const auto [frame, start] = before.runPlace(framesBack);
        m_runFrame = frame;
        m_runStart = start;
        m_sweepEnded = before.m_sweepEnded;
    } else if (sweeping || before.m_settings.Sweep.On) {
        // A sweep begins from F1's turn, or a tone goes on from where the sweep was.
        const double turns = before.turns1(framesBack);
        m_runStart = turns;
        m_runFrame = 0;
        m_j1 = std::llround(turns * double(m_modulus)) % m_modulus;
    } else {
        m_j1 = carried(back(before.m_j1, before.m_settings.Frequency1));
    }
    m_pulsePlace = before.m_pulsePlace;
    m_frames = 0;
    m_glideFrames = std::max(0, glideFrames);
    m_glideDone = 0;
    // From the levels `before` has come to: it may itself be gliding still.
    const auto reached = [&](double from, double to) {
        if (before.m_glideDone >= before.m_glideFrames)
            return to;
        return from + (to - from) * glideGain(before.m_glideDone, before.m_glideFrames);
    };
    m_glideFrom1 = reached(before.m_glideFrom1, before.m_settings.Level1);
    m_glideFrom2 = reached(before.m_glideFrom2, before.m_settings.Level2);
    m_glideFromNoise = reached(before.m_glideFromNoise, before.m_settings.NoiseLevel);
}

std::pair<int64_t, double> ToneStream::runPlace(int64_t framesBack) const
{
    int64_t frame = m_runFrame - framesBack;
    double start = m_runStart;
    if (frame < 0) {
        // Whole runs back: each run is the same number of turns.
        const int64_t runs = (-frame + m_runFrames - 1) / m_runFrames;
        frame += runs * m_runFrames;
        const double turns = start - std::fmod(double(runs) * m_runTurns, 1.0);
        start = turns - std::floor(turns);
    }
    return { frame, start };
}

double ToneStream::turns1(int64_t framesBack) const
{
    if (!m_settings.Sweep.On) {
        const int64_t M = m_modulus;
        const auto behind = int64_t((__int128(framesBack % M) * m_settings.Frequency1) % M);
        const int64_t r = m_j1 - behind;
        return double(r < 0 ? r + M : r) / double(M);
    }
    const auto [frame, start] = runPlace(framesBack);
    const double turns = start + m_law.turnsAt(double(frame) / m_law.rate);
    return turns - std::floor(turns);
}

int64_t ToneStream::phase1() const
{
    if (!m_settings.Sweep.On)
        return m_j1;
    return std::llround(turns1() * double(m_modulus)) % m_modulus;
}

bool ToneStream::glidesFrom(const ToneStream& other) const
{
    const StreamSettings& a = m_settings;
    const StreamSettings& b = other.m_settings;
    return a.SampleRate == b.SampleRate && a.Waveform == b.Waveform
        && a.ChannelMode == b.ChannelMode && m_options == other.m_options
        && m_phased == other.m_phased;
}

void ToneStream::makePink()
{
    const double rate = double(m_settings.SampleRate);
    // Matched z-transform sections: exact in the bands far below the Nyquist frequency; what
    // they leave near it (half a decibel in the top octave at 44100 Hz) one more section per
    // rate takes back, its corners found by search for the evenest octaves 20 Hz .. 20 kHz.
    const auto section = [&](double pole, double zero) {
        PinkSection& s = m_pink[m_pinkSections++];
        s.a = std::exp(-TwoPi * pole / rate);
        s.b = std::exp(-TwoPi * zero / rate);
    };
    const double halfDecade = std::sqrt(10.0), quarterDecade = std::sqrt(halfDecade);
    for (double pole = 1.0; pole < rate && m_pinkSections + 1 < MaxPinkSections; pole *= halfDecade)
        section(pole, pole * quarterDecade);
    struct Evening {
        int32_t rate;
        double pole, zero;
    };
    constexpr Evening evenings[] = {
        { 44100, 18956.4, 45400.0 },
        { 48000, 20469.9, 36306.8 },
        { 96000, 47651.0, 109918.1 },
        { 98000, 47651.0, 84517.2 },
        { 192000, 55563.7, 60495.0 },
    };
    for (const Evening& e : evenings)
        if (e.rate == m_settings.SampleRate)
            section(e.pole, e.zero);
    // The power gain for white noise of unit variance: (1/pi) times the integral of |H|^2
    // over 0..pi, on a logarithmic grid (the poles sit near 0).
    const auto power = [&](double w) {
        double g = 1.0;
        for (std::size_t i = 0; i < m_pinkSections; ++i) {
            const PinkSection& s = m_pink[i];
            const double c = std::cos(w);
            g *= (1.0 - 2.0 * s.b * c + s.b * s.b) / (1.0 - 2.0 * s.a * c + s.a * s.a);
        }
        return g;
    };
    constexpr int Points = 20000;
    const double lowest = 1e-9;
    double sum = power(0.0) * lowest, w0 = lowest, p0 = power(lowest);
    for (int i = 1; i <= Points; ++i) {
        const double w = lowest * std::pow(std::numbers::pi / lowest, double(i) / Points);
        const double p = power(w);
        sum += 0.5 * (p + p0) * (w - w0);
        w0 = w;
        p0 = p;
    }
    const double rms = std::sqrt(sum / std::numbers::pi);
    // u1 - u2 has a variance of 1/6; the rms wanted is a sine's of the same level, K/sqrt(2).
    m_pinkScale = std::sqrt(6.0) / rms * (20000.0 / std::numbers::sqrt2);
    // A second of noise through the sections first (the slowest pole's time constant is a
    // sixth of one), so that the first frames heard are already pink, not rising into it.
    for (int32_t k = 0; k < m_settings.SampleRate; ++k)
        nextPink();
}

double ToneStream::nextPink()
{
    double y = drawDifference(m_noise);
    for (std::size_t i = 0; i < m_pinkSections; ++i) {
        PinkSection& f = m_pink[i];
        const double x = y;
        y = x - f.b * f.x1 + f.a * f.y1;
        f.x1 = x;
        f.y1 = y;
    }
    return y;
}

void ToneStream::pinkBlock(double* out, int32_t frames)
{
    const StreamSettings& s = m_settings;
    const int64_t M = m_modulus;
    for (int32_t k = 0; k < frames; ++k) {
        double level1 = s.Level1, level2 = s.Level2, noise = s.NoiseLevel;
        if (m_glideDone < m_glideFrames) [[unlikely]] {
            const double g = glideGain(++m_glideDone, m_glideFrames);
            level1 = m_glideFrom1 + (s.Level1 - m_glideFrom1) * g;
            level2 = m_glideFrom2 + (s.Level2 - m_glideFrom2) * g;
            noise = m_glideFromNoise + (s.NoiseLevel - m_glideFromNoise) * g;
        }
        const double pink = nextPink() * m_pinkScale * level1;
        const double n = noise == 0.0 ? 0.0 : drawDifference(m_noise) * noise * 20000.0;
        // As the formulas mix F1's tone with F2's sine s2 (FM is refused).
        const double s2 = sineOfTurns(double(m_j2) / double(M));
        const double f2 = 20000.0 * level2 * s2;
        double left = pink, right = f2;
        switch (s.ChannelMode) {
        case ModeF1Both:
            right = pink;
            break;
        case ModeF1PlusF2:
            left = pink + f2;
            break;
        case ModeAm:
            left = pink * (1.0 + level2 * s2);
            break;
        case ModeAmSp:
            left = pink * level2 * s2;
            break;
        default:
            break;
        }
        out[2 * k] = left + n;
        out[2 * k + 1] = right;
        m_j1 += s.Frequency1;
        m_j1 -= m_j1 >= M ? M : 0;
        m_j2 += s.Frequency2;
        m_j2 -= m_j2 >= M ? M : 0;
    }
}

void ToneStream::values(double* out, int32_t frames)
{
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(BlockFrames, frames - done);
        if (m_settings.Pink)
            pinkBlock(out + 2 * std::ptrdiff_t(done), n);
        else
            m_block(*this, out + 2 * std::ptrdiff_t(done), n);
        done += n;
        m_frames += n;
    }
}

void ToneStream::fill(uint8_t* out, int32_t frames)
{
    const SampleFormat format = m_options.format;
    const double scale = format == SampleFormat::S24 ? S24Scale : 1.0;
    const bool dithered = m_options.dither == Dither::Tpdf && format != SampleFormat::F32;
    const std::size_t frameBytes = std::size_t(bytesPerFrame(format));
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(BlockFrames, frames - done);
        values(m_values.data(), n);
        if (dithered)
            drawDither(m_dither, m_ditherValues.data(), 2 * n);
        uint8_t* at = out + std::size_t(done) * frameBytes;
        withFormat(
            format, scale != 1.0, dithered, [&]<SampleFormat Format, bool Scaled, bool Dithered>() {
                storeValues<Format, Scaled, Dithered>(
                    at, 2 * n, m_values.data(), m_ditherValues.data(), scale);
            });
        done += n;
    }
}

} // namespace vellox
