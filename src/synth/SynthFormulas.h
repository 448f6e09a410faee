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

namespace vellox {

// A plain struct shared by both engines (the functions below stay internal to each file).
namespace synthdetail {
    // Values of one call that the per-sample code reads; F1Period and BitCounter change.
    struct Context {
        double Level1 = 0.0;
        double Level2 = 0.0;
        double NoiseLevel = 0.0;
        double PhaseStep1 = 0.0; // the float32 steps, promoted
        double PhaseStep2 = 0.0;
        float F1Period = 0.0f; // interleaved indices per F1 period; "PWM" FM accumulates into it
        float TriangleF = 0.0f; // F1 cycles per interleaved index, float32
        int32_t DutyPercent = 50;
        // Bit codes only.
        const char* BitSymbols = nullptr; // BitCode read by position: symbol k is BitSymbols[k-1]
        int32_t BitSymbolCount = 0; // n
        int64_t BitPeriod = 2; // 2*BitFrames in interleaved indices (64-bit: cannot overflow)
        int32_t BitCounter = 0;
    };
} // namespace synthdetail

namespace {

    using synthdetail::Context;

    // Every expression below is written in the order its formula reads, left to right, and
    // evaluated in double with the float32 fields promoted: the buffer must match an
    // independent evaluation of the same formulas to the last bit. Do not reassociate.

    constexpr double K = 20000.0; // full-scale factor: a unit-amplitude signal becomes +-20000
    constexpr int32_t FullScale = 20000;
    constexpr int32_t RampSpan = 40000; // -20000..+20000 of the ramps, as an integer factor
    constexpr int32_t ClipLimit = 32767; // -32768 never occurs in the buffer
    constexpr int32_t MaxBitSymbols = std::numeric_limits<int32_t>::max();

    // Nearest int32, halves to even; out of range or NaN is an arithmetic error, never a wrap.
    // Kept inline here (same contract as roundToInt32) because it runs twice per frame.
    inline int32_t int32Of(double value)
    {
        const double r = std::nearbyint(value);
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
    inline int32_t wholePeriod(float f1Period)
    {
        const int32_t P = int32Of(double(f1Period));
        if (P < 1)
            throw std::range_error("SynthesizeSignal: F1 period below one index");
        return P;
    }

    // -1 in the low (first) part of the pulse period, +1 in the high part.
    inline int32_t pulseSign(const Context& c, int32_t m)
    {
        return double(c.F1Period) * double(c.DutyPercent) / 100.0 > double(m) ? -1 : +1;
    }

    // The waveforms whose formula takes P = int32(F1Period), the whole period (wholePeriod).
    constexpr bool usesWholePeriod(int wave)
    {
        return wave == WavePwm || wave == WaveStairsFalling || wave == WaveStairsRising;
    }

    // A waveform that reaches the end of leftValue or leftLanes has no formula there.
    template <int Wave> constexpr bool NoFormulaFor = false;

    // Left value before clipping for waveform Wave in channel mode Mode (0 stands for a mode
    // outside 1..6). s1 and s2 are valid when needsS1/needsS2 below say so.
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
    template <int Wave, int Mode, class Draws>
    inline int32_t leftValue(Context& c, Draws& random, int32_t i, double s1, double s2)
    {
        const double L1 = c.Level1;
        const double L2 = c.Level2;
        const double di = double(i);

        if constexpr (!isWaveform(Wave) || (!isChannelMode(Mode) && dependsOnMode(Wave))) {
            return 0;
        } else if constexpr (Wave == WaveNoise) { // noise only, +1 offset, any mode
            const double d = random.difference();
            return int32Of(d * 20000.0 * c.NoiseLevel + 1.0);
        } else if constexpr (isBitCode(Wave)) {
            if (c.BitCounter > c.BitSymbolCount)
                return 0;
            const int32_t v = symbolValue(c.BitSymbols[c.BitCounter - 1]);
            const double d = random.difference();
            if constexpr (Wave == WaveBitCode) {
                return int32Of(d * 20000.0 * c.NoiseLevel + double(FullScale - RampSpan * v) * L1);
            } else {
                const double N = d * c.NoiseLevel;
                if (v == 0)
                    return int32Of(K * (N + L1 * std::sin(c.PhaseStep1 * di)));
                return int32Of(K * (N + L2 * s2));
            }
        } else if constexpr (Wave == WavePwm && Mode == ModeFm) { // the period follows F2
            c.F1Period = float(double(c.F1Period) + L2 * s2);
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m = i % P;
            const int32_t sigma = pulseSign(c, m);
            const double N = random.difference() * c.NoiseLevel;
            return int32Of(double(sigma) * K * (N + L1));
        } else if constexpr (Mode == ModeFm
            && (Wave == WaveSine || Wave == WaveTrapeze || Wave == WaveTriangle
                || Wave == WaveStairsFalling)) {
            // Sine FM; "Trapeze", "Triangle" and the falling "Stairs" use it unchanged.
            const double N = random.difference() * c.NoiseLevel;
            return int32Of(K * (N + L1 * std::sin(c.PhaseStep1 * di + L2 * s2)));
        } else if constexpr (Mode == ModeFm && Wave == WavePwSine) { // modulator to the 7th power
            const double N = random.difference() * c.NoiseLevel;
            return int32Of(K * (N + L1 * std::sin(c.PhaseStep1 * di + L2 * std::pow(s2, 7.0))));
        } else if constexpr (Mode == ModeFm && Wave == WaveSquare) { // noise first: moves edges
            const double N = random.difference() * c.NoiseLevel;
            return FullScale * sign(L1 * std::sin(c.PhaseStep1 * di + L2 * s2) + N);
        } else if constexpr (Mode == ModeFm && Wave == WaveStairsRising) { // phase runs backwards
            const double N = random.difference() * c.NoiseLevel;
            return int32Of(
                K * (N + L1 * std::sin(c.PhaseStep1 * (double(c.F1Period) - di) + L2 * s2)));
        } else if constexpr (Wave == WaveSine) {
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return int32Of(K * (N + L1 * s1));
            else if constexpr (Mode == ModeF1PlusF2)
                return int32Of(K * (N + L1 * s1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return int32Of(K * (L1 * s1 * (1.0 + L2 * s2) + N));
            else
                return int32Of(K * (L1 * s1 * L2 * s2 + N));
        } else if constexpr (Wave == WavePwSine) {
            const double p = std::pow(s1, 7.0);
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return int32Of(K * (L1 * p + N));
            else if constexpr (Mode == ModeF1PlusF2)
                return int32Of(K * (L1 * p + L2 * s2 + N));
            else if constexpr (Mode == ModeAm)
                return int32Of(K * (L1 * p * (1.0 + L2 * s2) + N));
            else
                return int32Of(K * (L1 * p * L2 * s2 + N));
        } else if constexpr (Wave == WaveSquare) {
            const double sq = double(sign(s1)); // 0 exactly where s1 is 0
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return int32Of(K * (sq * L1 + N));
            else if constexpr (Mode == ModeF1PlusF2)
                return int32Of(K * (sq * L1 + N + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return int32Of(K * (sq * L1 * (1.0 + L2 * s2) + N));
            else
                return int32Of(K * (sq * L1 * L2 * s2 + N));
        } else if constexpr (Wave == WaveTrapeze || Wave == WaveTriangle) {
            float shape; // trapeze t or triangle tri, both stored as float32
            if constexpr (Wave == WaveTrapeze) {
                shape = float(3.0 * s1);
                if (shape > 1.0f)
                    shape = 1.0f;
                else if (shape < -1.0f)
                    shape = -1.0f;
            } else {
                const double x = double(c.TriangleF) * di - 25.0 / 100.0;
                const double r = std::nearbyint(x);
                shape = float(4.0 * std::fabs(x - r) - 1.0);
            }
            const double t = double(shape);
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return int32Of(K * (N + t * L1));
            else if constexpr (Mode == ModeF1PlusF2)
                return int32Of(K * (N + t * L1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return int32Of(K * (t * L1 * (1.0 + L2 * s2) + N));
            else
                return int32Of(K * (t * L1 * L2 * s2 + N));
        } else if constexpr (Wave == WavePwm) {
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m = i % P;
            const double sigma = double(pulseSign(c, m));
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                return int32Of(sigma * K * (N + L1));
            else if constexpr (Mode == ModeF1PlusF2)
                return int32Of(sigma * K * (N + L1 + L2 * s2));
            else if constexpr (Mode == ModeAm)
                return int32Of(sigma * K * (L1 * (1.0 + L2 * s2) + N));
            else
                return int32Of(sigma * K * (N + L1 * L2 * s2));
        } else if constexpr (Wave == WaveStairsFalling || Wave == WaveStairsRising) {
            // The "Stairs" ramps, in sample units.
            const int32_t P = wholePeriod(c.F1Period);
            const int32_t m = i % P; // 0..P-1; 40000*m stays below 2^31 for F1 >= 20 Hz
            const double F1P = double(c.F1Period);
            const double slope = double(RampSpan * m) / F1P; // (40000*m)/F1Period
            const double N = random.difference() * c.NoiseLevel;
            if constexpr (Wave == WaveStairsFalling) {
                const double ramp7 = 20000.0 - slope;
                if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                    return int32Of(L1 * ramp7 + K * N);
                else if constexpr (Mode == ModeF1PlusF2)
                    return int32Of(L1 * ramp7 + K * N + K * L2 * s2);
                else if constexpr (Mode == ModeAm)
                    return int32Of(20000.0 - L1 * slope * (1.0 + L2 * s2) + K * N);
                else
                    return int32Of(-40000.0 * (L1 * L2 * s2 * double(m) / F1P + N));
            } else {
                const double ramp10 = slope - 20000.0;
                if constexpr (Mode == ModeF1Both || Mode == ModeStereo)
                    return int32Of(L1 * ramp10 + K * N);
                else if constexpr (Mode == ModeF1PlusF2)
                    return int32Of(L1 * ramp10 + K * N + K * L2 * s2);
                else if constexpr (Mode == ModeAm)
                    return int32Of(-20000.0 + L1 * slope * (1.0 + L2 * s2) + K * N);
                else
                    return int32Of(-40000.0 * (N - L1 * L2 * s2 * double(m) / F1P));
            }
        } else {
            static_assert(NoFormulaFor<Wave>, "a waveform without its formula in leftValue");
            return 0;
        }
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
