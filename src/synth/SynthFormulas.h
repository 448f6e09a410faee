#pragma once

// The per-sample formulas of the synthesis and the numbers of its scalar loops. The formulas
// themselves are in SynthFormulas.inc, included here for one value at a time (the scalar
// loops of Synthesizer.cpp and SignalSynthesis.cpp, and the vector engine's fallback for every
// sample it cannot prove exact) and again by SynthKernels.inc for the vector lanes. Internal
// to vellox_synth.
//
// The functions here have internal linkage (an unnamed namespace) on purpose: SynthVector.cpp
// compiles parts of itself for AVX2 and AVX-512, and an inline function with external
// linkage emitted there could be picked by the linker for code running on a CPU without
// those instructions.

#include "SignalOptions.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

    // Every expression here and in SynthFormulas.inc is written in the order its formula
    // reads, left to right, and evaluated in double with the float32 fields promoted: the
    // buffer must match an independent evaluation of the same formulas to the last bit. Do not
    // reassociate.

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

    inline int32_t signOf(double value)
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

    // The noise source of leftValueOf: `difference()` yields u1 - u2 of two fresh draws.
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

    // The waveforms whose formula takes P = int32(F1Period), the whole period (wholePeriod).
    constexpr bool usesWholePeriod(int wave)
    {
        return wave == WavePwm || wave == WaveStairsFalling || wave == WaveStairsRising;
    }

    // Numeric value of a "Bit Code" symbol v as a level: +20000*Level1 for 0 down to
    // -340000*Level1 for 9.
    inline double bitCodeLevel(int32_t v, double level1)
    {
        return double(FullScale - RampSpan * v) * level1;
    }

    // The waveforms whose FM carrier is a sine of fmCarrierPhase ("PWM" FM modulates its
    // period instead).
    constexpr bool hasFmCarrier(int wave)
    {
        return isWaveform(wave) && dependsOnMode(wave) && wave != WavePwm;
    }

    // The right channel sends F1's clean sine in mode 1 and F2's in every other mode.
    constexpr bool rightIsF1(int mode)
    {
        return mode == ModeF1Both;
    }

    // Which sines a (waveform, mode) pair reads, so the loop computes no unused sine; the
    // right channel needs s1 in mode 1 and s2 in every other mode. `SinesAhead` (the numbers'
    // sinesAhead) says that every sine is taken before the formulas run: the vector lanes (a
    // call of the vector sine clobbers every vector register) and the precise synthesis (a
    // table). "Bit Two-Tone Code" then needs s1 for every frame, since its lanes pick per frame
    // between its 0 bits' sin(PhaseStep1*i) and its 1 bits' s2; the scalar exact formula takes
    // that sine itself (sine1), only for the frames of 0 bits.
    template <int Wave, int Mode, bool SinesAhead = false> constexpr bool needsS1()
    {
        if (Mode == ModeF1Both || (SinesAhead && Wave == WaveBitTwoTone))
            return true;
        return isChannelMode(Mode) && Mode != ModeFm
            && (Wave == WaveSine || Wave == WavePwSine || Wave == WaveSquare
                || Wave == WaveTrapeze);
    }
    template <int Wave, int Mode> constexpr bool needsS2()
    {
        return Mode != ModeF1Both || Wave == WaveBitTwoTone;
    }

    // A waveform that reaches the end of leftValueOf has no formula there.
    template <int Wave> constexpr bool NoFormulaFor = false;

    // The scalar numbers: one value at a time, nothing to check (every sine is libm's or the
    // precise table's), and a formula that has nothing to compute stops before its draws.
    template <class StoredT> struct ScalarNumbers {
        using Stored = StoredT; // the type of the values the formulas store as float32
        using Ctx = BasicContext<Stored>;
        using V = double;
        using M = bool;
        static double splat(double x) { return x; }
        static double select(bool m, double a, double b) { return m ? a : b; }
        // Without a branch: in "PWM" FM the period moves every frame and the side of the pulse
        // with it, close to random from frame to frame.
        static double minusWhere(bool m) { return double(1 - 2 * int32_t(m)); }
        template <class A, class B> static double choose(bool m, A a, B b) { return m ? a() : b(); }
        static double sign(double x) { return double(signOf(x)); }
        static double abs(double x) { return std::fabs(x); }
        static double round(double x) { return nearestWhole(x); }
        static double stored(double x) { return double(Stored(x)); }
        static bool bitSilent(const Ctx& c, const Instant&)
        {
            return c.BitCounter > c.BitSymbolCount;
        }
        static bool stopsAt(bool silent) { return silent; }
        static int32_t symbol(const Ctx& c) { return symbolValue(c.BitSymbols[c.BitCounter - 1]); }
        static double bitLevel(const Ctx& c, const Instant&)
        {
            return bitCodeLevel(symbol(c), c.Level1);
        }
        static bool bitIsOne(const Ctx& c, const Instant&) { return symbol(c) != 0; }
        // "PWM" FM: the period follows F2, stored after each step.
        static double periodStep(Ctx& c, const Instant&, double s2)
        {
            c.F1Period = Stored(double(c.F1Period) + c.Level2 * s2);
            return double(c.F1Period);
        }
        static void checkZero(const Ctx&, double, bool&) { }
        static void checkTrapeze(const Ctx&, double, bool&) { }
        static void checkFmSign(const Ctx&, double, bool&) { }
    };

    // The number types of a synthesis: where its formulas read a phase, store a value as
    // float32 and round to an integer. One set of formulas (leftValueOf, SynthFormulas.inc)
    // serves them all, and the vector lanes' ExactLanes and PreciseLanes (SynthKernels.inc):
    // - ExactNumbers: the formulas as written (float32 steps, periods and shapes, libm's sin
    //   and pow, int32 rounding): the 16-bit buffer of the exact synthesis;
    // - ExactUnrounded: the same, stopping before the int32 rounding, so that another word
    //   length (or a dither) can round it;
    // - PreciseNumbers: double throughout, the phases taken from the frame's place in the
    //   cycle, the sines from a table; unrounded.
    struct ExactNumbers : ScalarNumbers<float> {
        static constexpr bool sinesAhead = false;
        using Value = int32_t;
        static int32_t value(double x) { return int32Of(x); }
        static double pow7(double s) { return std::pow(s, 7.0); }
        static double phase1(const Ctx& c, const Instant& t) { return c.PhaseStep1 * double(t.i); }
        // PhaseStep1*(F1Period - i): the rising "Stairs" FM carrier runs backwards.
        static double backwardPhase1(const Ctx& c, const Instant& t)
        {
            return c.PhaseStep1 * (double(c.F1Period) - double(t.i));
        }
        static double cycles1(const Ctx& c, const Instant& t)
        {
            return double(c.TriangleF) * double(t.i);
        }
        static double sine1(const Ctx& c, const Instant& t) { return std::sin(phase1(c, t)); }
        template <class Phase> static double carrier(const Instant&, Phase phase)
        {
            return std::sin(phase());
        }
        static double remainder(const Ctx& c, const Instant& t)
        {
            return double(t.i % wholePeriod(c.F1Period));
        }
        static double remainderAt(const Ctx&, const Instant& t, double F)
        {
            return double(t.i % wholePeriod(F));
        }
        // Low in the first part of the pulse period: F*D/100 > m.
        static bool pulseLowAt(const Ctx& c, double F, double m)
        {
            return F * double(c.DutyPercent) / 100.0 > m;
        }
        static bool pulseLow(const Ctx& c, double m)
        {
            return pulseLowAt(c, double(c.F1Period), m);
        }
    };
    struct ExactUnrounded : ExactNumbers {
        using Value = double;
        static double value(double x) { return x; }
    };
    struct PreciseNumbers : ScalarNumbers<double> {
        static constexpr bool sinesAhead = true;
        using Value = double;
        static double value(double x) { return x; }
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
        template <class Phase> static double carrier(const Instant& t, Phase) { return t.carrier; }
        // i mod P: counted by the engine where the period stands still; else through a
        // double quotient, which pipelines where the integer division does not. For
        // 0 <= i < 2^31 and P >= 1 the exact quotient lies at least 1/P below the next
        // integer, farther than its rounding moves it, so truncating it gives the integer
        // quotient.
        static double remainderAt(const Ctx&, const Instant& t, double F)
        {
            const int32_t P = wholePeriod(F);
            if (t.wholeRemainder >= 0)
                return double(t.wholeRemainder);
            const int32_t q = int32_t(double(t.i) / double(P));
            return double(t.i - q * P);
        }
        static double remainder(const Ctx& c, const Instant& t)
        {
            return remainderAt(c, t, c.F1Period);
        }
        // F*D > 100*m: the exact synthesis's inequality with one rounding instead of two (and
        // no division); unpredictable in "PWM" FM (minusWhere).
        static bool pulseLowAt(const Ctx& c, double F, double m)
        {
            return __builtin_expect_with_probability(
                F * double(c.DutyPercent) > 100.0 * m, true, 0.5);
        }
        static bool pulseLow(const Ctx& c, double m) { return pulseLowAt(c, c.F1Period, m); }
    };

    // a < b ? a : b and a > b ? a : b, b where either is NaN: the clipping of formatValue.
    inline double lesser(double a, double b)
    {
        return a < b ? a : b;
    }
    inline double greater(double a, double b)
    {
        return a > b ? a : b;
    }
#if defined(__SSE2__)
    // The same two values at once: minpd and maxpd compare exactly so.
    inline __m128d lesser(__m128d a, __m128d b)
    {
        return _mm_min_pd(a, b);
    }
    inline __m128d greater(__m128d a, __m128d b)
    {
        return _mm_max_pd(a, b);
    }
#endif

    // Calls store.template operator()<Format, Scaled, Dithered>() for a buffer's format,
    // whether its values are scaled (scale != 1) and whether they are dithered.
    template <class Store>
    inline void withFormat(SampleFormat format, bool scaled, bool dithered, Store&& store)
    {
        const auto options = [&]<SampleFormat Format>() {
            if (dithered && scaled)
                store.template operator()<Format, true, true>();
            else if (dithered)
                store.template operator()<Format, false, true>();
            else if (scaled)
                store.template operator()<Format, true, false>();
            else
                store.template operator()<Format, false, false>();
        };
        switch (format) {
        case SampleFormat::S16:
            return options.template operator()<SampleFormat::S16>();
        case SampleFormat::S24:
            return options.template operator()<SampleFormat::S24>();
        case SampleFormat::F32:
            return options.template operator()<SampleFormat::F32>();
        }
    }

#include "SynthFormulas.inc"

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

} // namespace

} // namespace vellox
