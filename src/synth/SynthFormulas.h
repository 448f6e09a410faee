#pragma once

// The per-sample formulas of the synthesis, shared by the plain scalar loops
// (Synthesizer.cpp) and the vector engine (SynthVector.cpp), which falls back to them
// for every sample it cannot prove exact. Internal to vellox_synth.
//
// The functions here have internal linkage (an unnamed namespace) on purpose: SynthVector.cpp
// compiles parts of itself for AVX2 and AVX-512, and an inline function with external
// linkage emitted there could be picked by the linker for code running on a CPU without
// those instructions.

#include "SynthTypes.h"
#include "UniformSource.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <type_traits>

namespace vellox {

// Plain structs shared by the engines (the functions below stay internal to each file).
namespace synthdetail {
    // Values of one call that the per-sample code reads; F1Period and BitCounter change.
    // Stored is the type of the values the formulas store as float32: float for the exact
    // synthesis, double for the precise one.
    template <class Stored> struct BasicContext {
        double Level1 = 0.0;
        double Level2 = 0.0;
        double NoiseLevel = 0.0;
        double PhaseStep1 = 0.0; // the float32 steps, promoted
        double PhaseStep2 = 0.0;
        Stored F1Period = 0; // interleaved indices per F1 period; "PWM" FM accumulates into it
        Stored TriangleF = 0; // F1 cycles per interleaved index
        int32_t DutyPercent = 50;
        // Bit codes only.
        const char* BitSymbols = nullptr; // BitCode read by position: symbol k is BitSymbols[k-1]
        int32_t BitSymbolCount = 0; // n
        int64_t BitPeriod = 2; // 2*BitFrames in interleaved indices (64-bit: cannot overflow)
        int32_t BitCounter = 0;
    };
    using Context = BasicContext<float>;

    // What the formulas of one left value read of its instant. The exact synthesis takes
    // its phases from i and the float32 steps; the precise one from the frame's place in
    // the F1 cycle, j1 = (F1*k) mod SampleRate, which it fills in beside the sines.
    struct Instant {
        int32_t i = 0; // interleaved index, 2k
        double s1 = 0.0; // F1's sine, where needsS1 says so
        double s2 = 0.0; // F2's sine, where needsS2 says so
        double theta1 = 0.0; // precise: 2*pi*j1/SampleRate, F1's phase in [0, 2*pi)
        double cycles1 = 0.0; // precise: j1/SampleRate, F1's cycles in [0, 1)
        double carrier = 0.0; // precise FM: the carrier's sine, sin(fmCarrierPhase)
        int32_t wholeRemainder = -1; // precise, where F1Period stands still: i mod P, or -1
    };
} // namespace synthdetail

namespace {

    using synthdetail::BasicContext;
    using synthdetail::Context;
    using synthdetail::Instant;

    // Every expression below is written in the order its formula reads, left to right, and
    // evaluated in double with the float32 fields promoted: the buffer must match an
    // independent evaluation of the same formulas to the last bit. Do not reassociate.

    constexpr double K = 20000.0; // full-scale factor: a unit-amplitude signal becomes +-20000
    constexpr int32_t FullScale = 20000;
    constexpr int32_t RampSpan = 40000; // -20000..+20000 of the ramps, as an integer factor
    constexpr int32_t ClipLimit = 32767; // -32768 never occurs in the buffer
    constexpr int32_t MaxBitSymbols = std::numeric_limits<int32_t>::max();

    // std::nearbyint under the default rounding mode (nearest, halves to even), for |x| below
    // 2^51: adding 1.5*2^52 leaves no bit below the units, and subtracting it back is exact.
    // Beyond 2^51 every caller's value is out of int32 range either way. Written out because
    // GCC calls libm's nearbyint on x86-64 without SSE4.1, once per value.
    inline double nearestWhole(double x)
    {
        return (x + 6755399441055744.0) - 6755399441055744.0;
    }

    // Nearest int32, halves to even; out of range or NaN is an arithmetic error, never a wrap.
    // Kept inline here (same contract as roundToInt32) because it runs twice per frame.
    inline int32_t int32Of(double value)
    {
        const double r = nearestWhole(value);
        if (!(r >= -2147483648.0 && r <= 2147483647.0))
            throw std::range_error("SynthesizeSignal: value out of range for int32");
        return static_cast<int32_t>(r);
    }

    inline int16_t clip(int32_t value)
    {
        if (value >= ClipLimit)
            return static_cast<int16_t>(ClipLimit);
        if (value <= -ClipLimit)
            return static_cast<int16_t>(-ClipLimit);
        return static_cast<int16_t>(value);
    }

    inline int32_t sign(double value)
    {
        return int32_t(value > 0.0) - int32_t(value < 0.0);
    }

    // Numeric value of one bit symbol: the digit for '0'..'9', 0 for any other character.
    inline int32_t symbolValue(char symbol)
    {
        return (symbol >= '0' && symbol <= '9') ? int32_t(symbol - '0') : 0;
    }

    // Two fresh uniform draws, u1 first; returns u1 - u2 in double.
    inline double drawDifference(UniformSource& random)
    {
        const double u1 = double(random.next());
        const double u2 = double(random.next());
        return u1 - u2;
    }

    // Two TPDF dither values from one draw of the engine, each u1 - u2 of two 16-bit uniforms:
    // the first from the draw's top 32 bits, the second from its low 32. Every bit of a
    // std::mt19937_64 output is equally uniform, and a grid of 2^-16 of a step is far below
    // anything the rounded sample can show, so this is TPDF dither at a quarter of the engine's
    // work of four next() calls.
    inline void ditherPair(uint64_t draw, double& first, double& second)
    {
        first = (double(draw >> 48) - double((draw >> 32) & 0xffffu)) * 0x1p-16;
        second = (double((draw >> 16) & 0xffffu) - double(draw & 0xffffu)) * 0x1p-16;
    }

    // n dither values, in pairs from consecutive draws (the last draw's second value unused
    // where n is odd): ceil(n/2) draws.
    inline void drawDither(UniformSource& random, double* d, int32_t n)
    {
        for (int32_t k = 0; k < n; k += 2) {
            double first = 0.0, second = 0.0;
            ditherPair(random.engine()(), first, second);
            d[k] = first;
            if (k + 1 < n)
                d[k + 1] = second;
        }
    }

    // The noise source of leftValue: `difference()` yields u1 - u2 of two fresh draws.
    struct LiveDraws {
        UniformSource& random;
        double difference() { return drawDifference(random); }
    };
    // The same for a sample recomputed by the vector engine, whose draws were taken in bulk.
    struct TakenDraws {
        double taken;
        double difference() const { return taken; }
    };

    // P = int32(F1Period), the whole period; a period below 1 would leave the remainder
    // undefined, so it is an arithmetic error (only reachable with out-of-range settings).
    template <class Stored> inline int32_t wholePeriod(Stored f1Period)
    {
        const int32_t P = int32Of(double(f1Period));
        if (P < 1)
            throw std::range_error("SynthesizeSignal: F1 period below one index");
        return P;
    }

    // -1 in the low (first) part of the pulse period, +1 in the high part.
    // The precise synthesis compares F1Period*D > 100*m, the same inequality with one
    // rounding instead of two (and no division).
    template <class Stored> inline int32_t pulseSign(const BasicContext<Stored>& c, int32_t m)
    {
        if constexpr (std::is_same_v<Stored, double>)
            // Without a branch: in "PWM" FM the period moves every frame and m with it, so the
            // side of the pulse is close to random from frame to frame.
            return 1
                - 2
                * int32_t(__builtin_expect_with_probability(
                    c.F1Period * double(c.DutyPercent) > 100.0 * double(m), true, 0.5));
        else
            return double(c.F1Period) * double(c.DutyPercent) / 100.0 > double(m) ? -1 : +1;
    }

    // The waveforms whose formula takes P = int32(F1Period), the whole period (wholePeriod).
    constexpr bool usesWholePeriod(int wave)
    {
        return wave == WavePwm || wave == WaveStairsFalling || wave == WaveStairsRising;
    }

    // The number types of a synthesis: where its formulas read a phase, store a value as
    // float32 and round to an integer. One set of formulas (leftValueOf) serves all three:
    // - ExactNumbers: the formulas as written (float32 steps, periods and shapes, libm's sin
    //   and pow, int32 rounding): the 16-bit buffer of the exact synthesis;
    // - ExactUnrounded: the same, stopping before the int32 rounding, so that another word
    //   length (or a dither) can round it;
    // - PreciseNumbers: double throughout, the phases taken from the frame's place in the
    //   cycle, the sines from a table; unrounded.
    struct ExactNumbers {
        using Stored = float;
        using Value = int32_t;
        static int32_t value(double x) { return int32Of(x); }
        static int32_t whole(int32_t x) { return x; }
        static double pow7(double s) { return std::pow(s, 7.0); }
        static double phase1(const Context& c, const Instant& t)
        {
            return c.PhaseStep1 * double(t.i);
        }
        // PhaseStep1*(F1Period - i): the rising "Stairs" FM carrier runs backwards.
        static double backwardPhase1(const Context& c, const Instant& t)
        {
            return c.PhaseStep1 * (double(c.F1Period) - double(t.i));
        }
        static double cycles1(const Context& c, const Instant& t)
        {
            return double(c.TriangleF) * double(t.i);
        }
        static double sine1(const Context& c, const Instant& t) { return std::sin(phase1(c, t)); }
        static double carrier(const Instant&, double phase) { return std::sin(phase); }
        static int32_t remainder(const Instant& t, int32_t P) { return t.i % P; }
    };
    struct ExactUnrounded : ExactNumbers {
        using Value = double;
        static double value(double x) { return x; }
        static double whole(int32_t x) { return double(x); }
    };
    struct PreciseNumbers {
        using Stored = double;
        using Value = double;
        using Ctx = BasicContext<double>;
        static double value(double x) { return x; }
        static double whole(int32_t x) { return double(x); }
        // Within a few units in the last place of s^7, as pow is, at a fraction of its cost.
        static double pow7(double s)
        {
            const double s2 = s * s;
            const double s4 = s2 * s2;
            return s4 * s2 * s;
        }
        static double phase1(const Ctx&, const Instant& t) { return t.theta1; }
        // PhaseStep1*F1Period is a whole turn in exact arithmetic: the backward phase is
        // 2*pi - theta1, that is -theta1.
        static double backwardPhase1(const Ctx&, const Instant& t) { return -t.theta1; }
        static double cycles1(const Ctx&, const Instant& t) { return t.cycles1; }
        static double sine1(const Ctx&, const Instant& t) { return t.s1; }
        // The engine takes the carrier's sines a block at a time, from fmCarrierPhase.
        static double carrier(const Instant& t, double) { return t.carrier; }
        // i mod P: counted by the engine where the period stands still; else through a
        // double quotient, which pipelines where the integer division does not. For
        // 0 <= i < 2^31 and P >= 1 the exact quotient lies at least 1/P below the next
        // integer, farther than its rounding moves it, so truncating it gives the integer
        // quotient.
        static int32_t remainder(const Instant& t, int32_t P)
        {
            if (t.wholeRemainder >= 0)
                return t.wholeRemainder;
            const int32_t q = int32_t(double(t.i) / double(P));
            return t.i - q * P;
        }
    };

    // The waveforms whose FM carrier is a sine of fmCarrierPhase ("PWM" FM modulates its
    // period instead).
    constexpr bool hasFmCarrier(int wave)
    {
        return isWaveform(wave) && dependsOnMode(wave) && wave != WavePwm;
    }

    // The phase of the FM carrier: PhaseStep1*i + Level2*s2, with the modulator to the 7th
    // power for "Pw Sine" and the phase running backwards for the rising "Stairs".
    template <int Wave, class Num>
    inline double fmCarrierPhase(
        const BasicContext<typename Num::Stored>& c, const Instant& t, double s2)
    {
        if constexpr (Wave == WavePwSine)
            return Num::phase1(c, t) + c.Level2 * Num::pow7(s2);
        else if constexpr (Wave == WaveStairsRising)
            return Num::backwardPhase1(c, t) + c.Level2 * s2;
        else
            return Num::phase1(c, t) + c.Level2 * s2;
    }

    // A waveform that reaches the end of leftValue or leftLanes has no formula there.
    template <int Wave> constexpr bool NoFormulaFor = false;

    // Left value before clipping for waveform Wave in channel mode Mode (0 stands for a mode
    // outside 1..6), in the numbers of Num. t.s1 and t.s2 are valid when needsS1/needsS2
    // below say so.
    //
    // The vector engine computes the same formulas W frames at a time in leftLanes
    // (SynthKernels.inc), and falls back to this function wherever it cannot prove its value
    // exact. The two must change together, formula for formula (and the test reference in
    // tests/synth/SynthReference.h with them): the engines are proven equal, not derived
    // from one another.
    //
    // Noise draws: exactly two per left value whose formula contains the noise term, u1 first,
    // whatever NoiseLevel is (so 0 draws zero-scaled noise). No draws where no formula runs:
    // an unknown waveform, a mode outside 1..6 for a mode-dependent waveform, and the bit-code
    // silence after the last bit (true silence).
    //
    // For the bit codes the caller has already advanced BitCounter to this sample's bit.
    template <int Wave, int Mode, class Num, class Draws>
    inline typename Num::Value leftValueOf(
        BasicContext<typename Num::Stored>& c, Draws& random, const Instant& t)
    {
        using Stored = typename Num::Stored;
        const double L1 = c.Level1;
        const double L2 = c.Level2;
        const double s1 = t.s1;
        const double s2 = t.s2;

        if constexpr (!isWaveform(Wave) || (!isChannelMode(Mode) && dependsOnMode(Wave))) {
            return 0;
        } else if constexpr (Wave == WaveNoise) { // noise only, +1 offset, any mode
            const double d = random.difference();
            return Num::value(d * 20000.0 * c.NoiseLevel + 1.0);
        } else if constexpr (isBitCode(Wave)) {
            if (c.BitCounter > c.BitSymbolCount)
                return 0;
            const int32_t v = symbolValue(c.BitSymbols[c.BitCounter - 1]);
            const double d = random.difference();
            if constexpr (Wave == WaveBitCode) {
                return Num::value(
                    d * 20000.0 * c.NoiseLevel + double(FullScale - RampSpan * v) * L1);
            } else {
                const double N = d * c.NoiseLevel;
                if (v == 0)
                    return Num::value(K * (N + L1 * Num::sine1(c, t)));
                return Num::value(K * (N + L2 * s2));
            }
        } else if constexpr (Wave == WavePwm && Mode == ModeFm) { // the period follows F2
            c.F1Period = Stored(double(c.F1Period) + L2 * s2);
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m = Num::remainder(t, P);
            const int32_t sigma = pulseSign(c, m);
            const double N = random.difference() * c.NoiseLevel;
            return Num::value(double(sigma) * K * (N + L1));
        } else if constexpr (Mode == ModeFm && Wave == WaveSquare) { // noise first: moves edges
            const double N = random.difference() * c.NoiseLevel;
            const double carrier = Num::carrier(t, fmCarrierPhase<Wave, Num>(c, t, s2));
            return Num::whole(FullScale * sign(L1 * carrier + N));
        } else if constexpr (Mode == ModeFm) {
            // Sine FM; "Trapeze", "Triangle" and the falling "Stairs" use it unchanged, "Pw
            // Sine" and the rising "Stairs" with their own carrier phase.
            static_assert(hasFmCarrier(Wave));
            const double N = random.difference() * c.NoiseLevel;
            return Num::value(K * (N + L1 * Num::carrier(t, fmCarrierPhase<Wave, Num>(c, t, s2))));
        } else if constexpr (Wave == WaveSine) {
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return Num::value(K * (N + L1 * s1));
            else if constexpr (Mode == ModeF1PlusF2)
                return Num::value(K * (N + L1 * s1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return Num::value(K * (L1 * s1 * (1.0 + L2 * s2) + N));
            else
                return Num::value(K * (L1 * s1 * L2 * s2 + N));
        } else if constexpr (Wave == WavePwSine) {
            const double p = Num::pow7(s1);
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return Num::value(K * (L1 * p + N));
            else if constexpr (Mode == ModeF1PlusF2)
                return Num::value(K * (L1 * p + L2 * s2 + N));
            else if constexpr (Mode == ModeAm)
                return Num::value(K * (L1 * p * (1.0 + L2 * s2) + N));
            else
                return Num::value(K * (L1 * p * L2 * s2 + N));
        } else if constexpr (Wave == WaveSquare) {
            const double sq = double(sign(s1)); // 0 exactly where s1 is 0
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return Num::value(K * (sq * L1 + N));
            else if constexpr (Mode == ModeF1PlusF2)
                return Num::value(K * (sq * L1 + N + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return Num::value(K * (sq * L1 * (1.0 + L2 * s2) + N));
            else
                return Num::value(K * (sq * L1 * L2 * s2 + N));
        } else if constexpr (Wave == WaveTrapeze || Wave == WaveTriangle) {
            Stored shape; // trapeze t or triangle tri, both stored as float32 when exact
            if constexpr (Wave == WaveTrapeze) {
                shape = Stored(3.0 * s1);
                if (shape > Stored(1))
                    shape = Stored(1);
                else if (shape < Stored(-1))
                    shape = Stored(-1);
            } else {
                const double x = Num::cycles1(c, t) - 25.0 / 100.0;
                const double r = nearestWhole(x);
                shape = Stored(4.0 * std::fabs(x - r) - 1.0);
            }
            const double t = double(shape);
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return Num::value(K * (N + t * L1));
            else if constexpr (Mode == ModeF1PlusF2)
                return Num::value(K * (N + t * L1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return Num::value(K * (t * L1 * (1.0 + L2 * s2) + N));
            else
                return Num::value(K * (t * L1 * L2 * s2 + N));
        } else if constexpr (Wave == WavePwm) {
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m = Num::remainder(t, P);
            const double sigma = double(pulseSign(c, m));
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return Num::value(sigma * K * (N + L1));
            else if constexpr (Mode == ModeF1PlusF2)
                return Num::value(sigma * K * (N + L1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return Num::value(sigma * K * (L1 * (1.0 + L2 * s2) + N));
            else
                return Num::value(sigma * K * (N + L1 * L2 * s2));
        } else if constexpr (Wave == WaveStairsFalling || Wave == WaveStairsRising) {
            // The "Stairs" ramps, in sample units.
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m
                = Num::remainder(t, P); // 0..P-1; 40000*m stays below 2^31 for F1 >= 20 Hz
            const double F1P = double(c.F1Period);
            const double slope = double(RampSpan * m) / F1P; // (40000*m)/F1Period
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Wave == WaveStairsFalling) {
                const double ramp7 = 20000.0 - slope;
                if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                    return Num::value(L1 * ramp7 + K * N);
                else if constexpr (Mode == ModeF1PlusF2)
                    return Num::value(L1 * ramp7 + K * N + K * L2 * s2);
                else if constexpr (Mode == ModeAm)
                    return Num::value(20000.0 - L1 * slope * (1.0 + L2 * s2) + K * N);
                else
                    return Num::value(-40000.0 * (L1 * L2 * s2 * double(m) / F1P + N));
            } else {
                const double ramp10 = slope - 20000.0;
                if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                    return Num::value(L1 * ramp10 + K * N);
                else if constexpr (Mode == ModeF1PlusF2)
                    return Num::value(L1 * ramp10 + K * N + K * L2 * s2);
                else if constexpr (Mode == ModeAm)
                    return Num::value(-20000.0 + L1 * slope * (1.0 + L2 * s2) + K * N);
                else
                    return Num::value(-40000.0 * (N - L1 * L2 * s2 * double(m) / F1P));
            }
        } else {
            static_assert(NoFormulaFor<Wave>, "a waveform without its formula in leftValueOf");
            return 0;
        }
    }

    // The exact 16-bit synthesis's left value, as both of its engines take it.
    template <int Wave, int Mode, class Draws>
    inline int32_t leftValue(Context& c, Draws& random, int32_t i, double s1, double s2)
    {
        Instant t;
        t.i = i;
        t.s1 = s1;
        t.s2 = s2;
        return leftValueOf<Wave, Mode, ExactNumbers>(c, random, t);
    }

    // Which sines a (waveform, mode) pair needs, so the loop computes no unused sine.
    // The right channel needs s1 in mode 1 and s2 in every other mode.
    //
    // The vector engine asks vectorNeedsS1 (SynthKernels.inc), which differs in one place:
    // "Bit Two-Tone Code" sends sin(PhaseStep1*i) for its 0 bits. The scalar loop takes
    // that sine inside leftValue, only for the frames of 0 bits; the vector loops take
    // every sine before the formulas (a call of the vector sine clobbers every vector
    // register) and pick per lane, so they need s1 for every frame.
    template <int Wave, int Mode> constexpr bool needsS1()
    {
        if (Mode == ModeF1Both)
            return true;
        return isChannelMode(Mode) && Mode != ModeFm
            && (Wave == WaveSine || Wave == WavePwSine || Wave == WaveSquare
                || Wave == WaveTrapeze);
    }
    template <int Wave, int Mode> constexpr bool needsS2()
    {
        return Mode != ModeF1Both || Wave == WaveBitTwoTone;
    }

} // namespace

} // namespace vellox
