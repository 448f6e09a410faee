// The vector engine: the same formulas as the scalar loops, W frames at a time, with glibc's
// vector sin (libmvec) and the noise drawn in bulk. Every stored value equals the scalar
// one: a value is kept only where the error bound of the vector sine proves that the scalar
// evaluation rounds to the same integer (or float32, or sign); anywhere else that one value
// is recomputed with libm's sin and pow, exactly as the scalar loop does.
//
// The error bound. glibc documents its vector sin within 4 ulp of sin(x) and its scalar sin
// within 1 ulp; over the arguments used here (|x| < 2*pi*20000 plus the FM deviation),
// 16 million random arguments gave at most 3 ulp between the two. Sines lie in [-1, 1], so
// one ulp is at most 2^-53 and the two differ by at most 5 * 2^-53. We rely on
// E = 2^-40, about 1600 times that. From E each formula gets a bound on how far its
// unrounded value can move (Bounds below), with generous allowances for the roundings of
// the evaluation itself.

#include "SynthVector.h"

#include "SynthTypes.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace vellox {

namespace synthpath {
    namespace {
        struct Hooks {
            double sinePerturbation = 0.0;
            int boundScale = 0;
        };
        Hooks g_hooks;
        std::optional<Path> g_forced;
        thread_local Stats g_lastStats;
    } // namespace
} // namespace synthpath

namespace synthvector {

    synthpath::Stats& lastStatsSlot()
    {
        return synthpath::g_lastStats;
    }

    namespace {

        using synthpath::Stats;

        constexpr double SineBound = 0x1p-40; // E: |vector sin(x) - sin(x)|, see the top

        // How far a value computed from vector sines may lie from the scalar one.
        struct Bounds {
            double value = 0.0; // every value rounded to int32 (left and right)
            double zero = 0.0; // s1 of "Square": sign(s1) is trusted beyond this
            double trapezeRelative = 0.0; // 3*s1 of "Trapeze" before its float32 rounding:
            double trapezeFloor = 0.0; // moves by at most |3*s1| times the first plus the second
            double fmSign = 0.0; // Level1*sin(...) + N of "Square" FM before its sign
            double periodStep = 0.0; // F1Period + Level2*s2 of "PWM" FM, plus
            double periodRelative = 0.0; // this times |F1Period + Level2*s2|
            double periodIncrement = 0.0; // Level2*s2 of "PWM" FM, absolute
            double scale = 1.0; // the test hook's factor
        };

        // Per-call values of the vector loops, exact and precise.
        struct Setup {
            const Context* c = nullptr; // exact: for the scalar fallback
            double Level1 = 0.0, Level2 = 0.0, NoiseLevel = 0.0;
            double PhaseStep1 = 0.0, PhaseStep2 = 0.0; // the float32 phase steps, promoted
            double F1Period = 0.0; // promoted
            double TriangleF = 0.0; // the triangle's cycles per index, promoted
            double Pd = 1.0; // the whole period P (PWM and the ramps), as double
            double pulseThreshold = 0.0; // exact: F1Period*D/100, PWM is low where it exceeds m
            double pulseProduct = 0.0; // precise: F1Period*D, PWM is low where it exceeds 100*m
            double duty = 50.0; // D, the duty in percent
            int32_t activeFrames = 0; // frames whose left formula runs (bit codes: the bits)
            double activeIndexEnd = 0.0; // 2*activeFrames: the first silent index
            int32_t bitFrames = 1;
            const char* bitSymbols = nullptr; // BitCode: symbol k is bitSymbols[k-1]
            std::array<double, 10> bitAmplitude {}; // "Bit Code": (20000 - 40000*v)*Level1
            double perturbation = 0.0;
            Bounds bounds;
            double halfMinusBound = 0.5; // 0.5 - bounds.value
        };

        // The scalar value of one left sample, as the scalar loop computes it. "PWM" FM takes
        // the frame's period F, which the vector loop has taken already: its left value is the
        // pulse of mode 1 at that period.
        template <int Wave, int Mode>
        int16_t exactLeft(const Setup& s, int32_t k, double d, double F = 0.0)
        {
            Context c = *s.c;
            const int32_t i = 2 * k;
            const double di = double(i);
            TakenDraws draws { d };
            if constexpr (Wave == WavePwm && Mode == ModeFm) {
                c.F1Period = float(F);
                return clip(leftValue<WavePwm, ModeF1Both>(c, draws, i, 0.0, 0.0));
            }
            if constexpr (isBitCode(Wave))
                c.BitCounter = k / s.bitFrames + 1;
            double s1 = 0.0;
            double s2 = 0.0;
            if constexpr (needsS1<Wave, Mode>())
                s1 = std::sin(c.PhaseStep1 * di);
            if constexpr (needsS2<Wave, Mode>())
                s2 = std::sin(c.PhaseStep2 * di);
            return clip(leftValue<Wave, Mode>(c, draws, i, s1, s2));
        }

        template <int Mode> int16_t exactRight(const Setup& s, int32_t k)
        {
            const Context& c = *s.c;
            const double step = rightIsF1(Mode) ? c.PhaseStep1 : c.PhaseStep2;
            return clip(int32Of(rightValueOf<Mode>(c, std::sin(step * double(2 * k)))));
        }

        // Per-frame bit data of frames k0 .. k0+taken-1 (all within the bits): "Bit Code" its
        // level, "Bit Two-Tone Code" 1 where the symbol is not 0. Zero past `taken`.
        template <int Wave> void fillBitData(const Setup& s, int32_t k0, int32_t taken, double* aux)
        {
            int32_t bit = k0 / s.bitFrames;
            int32_t into = k0 % s.bitFrames;
            for (int32_t j = 0; j < taken; ++j) {
                const int32_t v = symbolValue(s.bitSymbols[bit]);
                if constexpr (Wave == WaveBitCode)
                    aux[j] = s.bitAmplitude[std::size_t(v)];
                else
                    aux[j] = v != 0 ? 1.0 : 0.0;
                if (++into == s.bitFrames) {
                    into = 0;
                    ++bit;
                }
            }
            std::fill(aux + taken, aux + BlockFrames, 0.0);
        }

        // One step of the "PWM" FM period as the scalar loop takes it, from the vector sine s2
        // where the float32 sum is proven by the bound, else from libm's. Returns F1Period.
        float exactPeriodStep(Context& c, const Setup& s, int32_t i, double s2, Stats& stats)
        {
            const double L2 = c.Level2;
            double y = double(c.F1Period) + L2 * s2;
            const double beta = s.bounds.periodStep + std::fabs(y) * s.bounds.periodRelative;
            if (float(y - beta) != float(y + beta)) {
                y = double(c.F1Period) + L2 * std::sin(c.PhaseStep2 * double(i));
                ++stats.fallbacks;
            }
            c.F1Period = float(y);
            wholePeriod(c.F1Period); // its range error, where the scalar loop raises it
            return c.F1Period;
        }

        std::mt19937_64& engineOf(UniformSource& random)
        {
            return random.engine();
        }

        // The raw state word behind one output of std::mt19937_64 (its tempering inverted).
        uint64_t untemper(uint64_t y)
        {
            y ^= y >> 43;
            y ^= (y << 37) & 0xfff7eee000000000u;
            uint64_t x = y;
            for (int k = 0; k < 4; ++k) // 17-bit steps: 4 cover 64 bits
                x = y ^ ((x << 17) & 0x71d67fffeda60000u);
            uint64_t z = x;
            for (int k = 0; k < 3; ++k) // 29-bit steps: 3 cover 64 bits
                z = x ^ ((z >> 29) & 0x5555555555555555u);
            return z;
        }

        // A seed sequence that sets the 312 state words of std::mt19937_64 as they are: the
        // engine's seed(q) takes each word from two 32-bit values of q, low half first, and its
        // next output is the successor of these words.
        struct StateWords {
            using result_type = std::uint_least32_t;
            const uint64_t* words;
            template <class It> void generate(It first, It last) const
            {
                for (std::size_t k = 0; first != last; ++first, ++k) {
                    const uint64_t w = words[k / 2];
                    *first = result_type(k % 2 == 0 ? (w & 0xffffffffu) : (w >> 32));
                }
            }
        };

        Bounds boundsFor(const Context& c, int mode, int32_t frames, int boundScale)
        {
            const double E = SineBound;
            const double a = std::fabs(c.Level1);
            const double b = std::fabs(c.Level2);
            const double nl = std::fabs(c.NoiseLevel);
            // FM: the phase PhaseStep1*i + Level2*s2 moves by Level2 times the error of s2 (or of
            // s2^7: 7E plus 7 ulp), and its rounding can flip by one ulp of the phase (< 2^17).
            const double maxPhase
                = std::fabs(c.PhaseStep1) * (2.0 * double(frames) + std::fabs(double(c.F1Period)))
                + b;
            const double fmDelta = E + 9.0 * E * b + 4.0 * maxPhase * 0x1p-52 + 0x1p-51;
            // Any sine-like input (s1, s2, s1^7, the FM sine) is off by at most delta.
            const double delta = mode == 5 ? std::max(8.0 * E, fmDelta) : 8.0 * E;
            // No formula moves by more than 40000*(1+|L1|)*(1+|L2|)^2 per unit of one input, and
            // each has at most two such inputs; the rest covers the roundings of the evaluation
            // (magnitudes up to that factor times the noise, plus the ramps' 60000).
            const double sensitivity = 40000.0 * (1.0 + a) * (1.0 + b) * (1.0 + b);
            const double scale = std::ldexp(1.0, boundScale);
            Bounds bounds;
            bounds.value = scale
                * (2.0 * sensitivity * delta + 0x1p-45 * (sensitivity + 60000.0) * (1.0 + nl));
            bounds.zero = scale * 2.0 * E;
            // Float32 is dense near 0, where an absolute bound would reject every small 3*s1; the
            // vector sin's error is relative as well (glibc: 4 ulp of the result; measured at
            // most 1 ulp next to every zero k*pi of sin up to k = 21000), so there the bound is
            // |3*s1| * 2^-38: E relative (the factor 3 cancels), twice, plus the roundings of 3*s1.
            bounds.trapezeRelative = scale * 0x1p-38;
            bounds.trapezeFloor = scale * 0x1p-60;
            bounds.fmSign = scale * (2.0 * a * fmDelta + 0x1p-48 * (a + nl + 1.0));
            bounds.periodStep = scale * (2.0 * b * E + 0x1p-49 * b);
            bounds.periodRelative = scale * 0x1p-49;
            bounds.periodIncrement = scale * (b * E + 0x1p-50 * b);
            bounds.scale = scale;
            return bounds;
        }

        // The bit codes' part of the setup, and the frames whose left formula runs.
        template <class Stored>
        void setBits(Setup& s, const synthdetail::BasicContext<Stored>& c, int32_t frames, int wave)
        {
            s.bitSymbols = c.BitSymbols;
            s.activeFrames = frames;
            if (isBitCode(wave)) {
                s.bitFrames = int32_t(c.BitPeriod / 2);
                const int64_t bits = int64_t(c.BitSymbolCount) * int64_t(s.bitFrames);
                s.activeFrames = int32_t(std::min<int64_t>(frames, bits));
                for (int32_t v = 0; v < 10; ++v)
                    s.bitAmplitude[std::size_t(v)] = bitCodeLevel(v, c.Level1);
            }
            s.activeIndexEnd = 2.0 * double(s.activeFrames);
        }

        Setup preciseSetup(const synthdetail::BasicContext<double>& c, int32_t frames, int wave)
        {
            Setup s;
            s.Level1 = c.Level1;
            s.Level2 = c.Level2;
            s.NoiseLevel = c.NoiseLevel;
            s.F1Period = c.F1Period;
            if (usesWholePeriod(wave))
                s.Pd = double(wholePeriod(c.F1Period));
            s.pulseProduct = c.F1Period * double(c.DutyPercent);
            s.duty = double(c.DutyPercent);
            setBits(s, c, frames, wave);
            return s;
        }

        using synthpath::Path;

        // The noise differences of one call, every frame: kept per thread and grown as
        // needed, so a synthesis allocates only the first time it meets a larger rate.
        double* noiseScratch(std::size_t frames)
        {
            thread_local std::vector<double> scratch;
            if (scratch.size() < frames)
                scratch.resize(frames);
            return scratch.data();
        }

    } // namespace

    // ----------------------------------------------------------------------------------------
    // The instruction sets. Each region compiles the kernels for its own CPU; only code inside
    // it uses those instructions, and it runs only where the CPU has them (see detectedPath).

#pragma GCC push_options
#pragma GCC target("avx2")
    extern "C" __m256d _ZGVdN4v_sin(__m256d);
    namespace {
        namespace avx2 {
            constexpr int W = 4;
            typedef double VD __attribute__((vector_size(32)));
            typedef int64_t VL __attribute__((vector_size(32)));
            typedef uint64_t VU __attribute__((vector_size(32)));
            typedef float VF __attribute__((vector_size(16)));
            typedef int32_t VI __attribute__((vector_size(16)));
            typedef uint32_t VUI __attribute__((vector_size(16)));
            inline VD sineLanes(VD x)
            {
                return (VD)_ZGVdN4v_sin((__m256d)x);
            }
            // The masked gather: GCC 12's plain one reads its own uninitialised source
            // (-Wmaybe-uninitialized).
            inline VD tableLanes(const double* table, VI j)
            {
                const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
                return (VD)_mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, (__m128i)j, all, 8);
            }
            inline unsigned laneBits(VL m)
            {
                return unsigned(_mm256_movemask_pd((__m256d)m));
            }
#include "SynthKernels.inc"
        } // namespace avx2
    } // namespace
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
    extern "C" __m512d _ZGVeN8v_sin(__m512d);
    namespace {
        namespace avx512 {
            constexpr int W = 8;
            typedef double VD __attribute__((vector_size(64)));
            typedef int64_t VL __attribute__((vector_size(64)));
            typedef uint64_t VU __attribute__((vector_size(64)));
            typedef float VF __attribute__((vector_size(32)));
            typedef int32_t VI __attribute__((vector_size(32)));
            typedef uint32_t VUI __attribute__((vector_size(32)));
            inline VD sineLanes(VD x)
            {
                return (VD)_ZGVeN8v_sin((__m512d)x);
            }
            // The masked gather, as in AVX2. Without optimisation GCC 12's header hands the
            // mask to its builtin as a plain char (-Wsign-conversion).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-conversion"
            inline VD tableLanes(const double* table, VI j)
            {
                return (VD)_mm512_mask_i32gather_pd(
                    _mm512_setzero_pd(), __mmask8(0xff), (__m256i)j, table, 8);
            }
#pragma GCC diagnostic pop
            inline unsigned laneBits(VL m)
            {
                return unsigned(_mm512_movepi64_mask((__m512i)m));
            }
#include "SynthKernels.inc"
        } // namespace avx512
    } // namespace
#pragma GCC pop_options

    bool synthesize(Path path, Context& c, UniformSource& random, int32_t sampleRate,
        int16_t* samples, int wave, int mode, Stats& stats)
    {
        // Magnitude guard: no value of any formula exceeds this (the bit code's 9 gives
        // 340000*Level1, the AM ramps 20000 + 40000*Level1*(1 + Level2), the noise 20000 per unit).
        // Below 2^30 the vector rounding is exact and every value fits int32 without a per-lane
        // range test; beyond it (levels of thousands, never set by the program) the scalar loops
        // run, with their range errors.
        const double a = std::fabs(c.Level1);
        const double b = std::fabs(c.Level2);
        const double magnitude
            = 400000.0 * (1.0 + a) * (1.0 + b) * (1.0 + b) * (1.0 + std::fabs(c.NoiseLevel))
            + 100000.0;
        if (!(magnitude < 0x1p30))
            return false;

        const int32_t frames = filledFrames(sampleRate);
        Setup s;
        s.c = &c;
        s.Level1 = c.Level1;
        s.Level2 = c.Level2;
        s.NoiseLevel = c.NoiseLevel;
        s.PhaseStep1 = c.PhaseStep1;
        s.PhaseStep2 = c.PhaseStep2;
        s.F1Period = double(c.F1Period);
        s.TriangleF = double(c.TriangleF);
        if (usesWholePeriod(wave))
            s.Pd = double(wholePeriod(c.F1Period));
        s.pulseThreshold = double(c.F1Period) * double(c.DutyPercent) / 100.0;
        s.duty = double(c.DutyPercent);
        setBits(s, c, frames, wave);
        s.perturbation = synthpath::g_hooks.sinePerturbation;
        s.bounds = boundsFor(c, mode, frames, synthpath::g_hooks.boundScale);
        s.halfMinusBound = 0.5 - s.bounds.value;

        stats.path = path;
        if (path == Path::Avx512)
            avx512::synthesize(c, random, sampleRate, samples, s, stats, wave, mode);
        else
            avx2::synthesize(c, random, sampleRate, samples, s, stats, wave, mode);
        return true;
    }

    void drawDifferences(Path path, UniformSource& random, double* d, int32_t n)
    {
        if (path == Path::Avx512)
            avx512::drawDifferences(random, d, n);
        else if (path == Path::Avx2)
            avx2::drawDifferences(random, d, n);
        else
            for (int32_t k = 0; k < n; ++k)
                d[k] = drawDifference(random);
    }

    void drawDitherDifferences(Path path, UniformSource& random, double* d, int32_t n)
    {
        if (path == Path::Avx512)
            avx512::drawDitherDifferences(random, d, n);
        else if (path == Path::Avx2)
            avx2::drawDitherDifferences(random, d, n);
        else
            drawDither(random, d, n);
    }

    bool preciseBlocks(synthdetail::BasicContext<double>& c, const BlockCall& call, int wave,
        int mode, const BlockSink& sink)
    {
        // The lanes turn the right channel where phaseApplies, which excludes FM.
        if (call.path == Path::Scalar || !isWaveform(wave) || !isChannelMode(mode)
            || (call.phased && mode == ModeFm))
            return false;
        const Setup s = preciseSetup(c, call.frames, wave);
        if (call.path == Path::Avx512)
            avx512::precise(c, call, s, wave, mode, sink);
        else
            avx2::precise(c, call, s, wave, mode, sink);
        return true;
    }

    bool storeValues(Path path, SampleFormat format, uint8_t* at, int32_t count,
        const double* values, const double* dither, double scale)
    {
        if (path == Path::Avx512)
            avx512::store(format, at, count, values, dither, scale);
        else if (path == Path::Avx2)
            avx2::store(format, at, count, values, dither, scale);
        else
            return false;
        return true;
    }

    void sines(Path path, const double* x, double* out, int32_t n)
    {
        if (path == Path::Avx512)
            avx512::sineOf(x, out, n);
        else if (path == Path::Avx2)
            avx2::sineOf(x, out, n);
        else
            for (int32_t k = 0; k < n; ++k)
                out[k] = std::sin(x[k]);
    }

} // namespace synthvector

namespace synthpath {

    bool supported(Path path)
    {
        switch (path) {
        case Path::Scalar:
            return true;
        case Path::Avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case Path::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
        }
        return false;
    }

    Path detectedPath()
    {
        static const Path detected = [] {
            const char* env = std::getenv("VELLOX_SYNTH_SCALAR");
            if (env != nullptr && std::strcmp(env, "0") != 0)
                return Path::Scalar;
            if (supported(Path::Avx512))
                return Path::Avx512;
            if (supported(Path::Avx2))
                return Path::Avx2;
            return Path::Scalar;
        }();
        return detected;
    }

    void forcePath(Path path)
    {
        g_forced = supported(path) ? path : Path::Scalar;
    }

    void resetPath()
    {
        g_forced.reset();
    }

    Path activePath()
    {
        return g_forced ? *g_forced : detectedPath();
    }

    Stats lastStats()
    {
        return g_lastStats;
    }

    void setTestHooks(double sinePerturbation, int boundScale)
    {
        g_hooks.sinePerturbation = sinePerturbation;
        g_hooks.boundScale = boundScale;
    }

} // namespace synthpath

} // namespace vellox
