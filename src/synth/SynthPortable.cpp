// The stand-in for the vector engine on processors other than x86-64: the scalar path alone.
// SynthesizeSignal then runs its scalar loops, which are complete and exact by construction;
// the other syntheses run their scalar loops too, drawing their noise and taking their sines
// one at a time.

#include "SynthVector.h"

#include <cmath>
#include <optional>

namespace vellox {

namespace synthpath {
    namespace {
        thread_local Stats g_lastStats;
    } // namespace

    bool supported(Path path)
    {
        return path == Path::Scalar;
    }

    Path detectedPath()
    {
        return Path::Scalar;
    }

    void forcePath(Path) { }

    void resetPath() { }

    Path activePath()
    {
        return Path::Scalar;
    }

    Stats lastStats()
    {
        return g_lastStats;
    }

    void setTestHooks(double, int) { }
} // namespace synthpath

namespace synthvector {

    synthpath::Stats& lastStatsSlot()
    {
        return synthpath::g_lastStats;
    }

    bool synthesize(synthpath::Path, synthdetail::Context&, UniformSource&, int32_t, int16_t*, int,
        int, synthpath::Stats&)
    {
        return false;
    }

    void drawDifferences(synthpath::Path, UniformSource& random, double* d, int32_t n)
    {
        for (int32_t k = 0; k < n; ++k)
            d[k] = drawDifference(random);
    }

    void drawDitherDifferences(synthpath::Path, UniformSource& random, double* d, int32_t n)
    {
        drawDither(random, d, n);
    }

    bool preciseBlocks(
        synthdetail::BasicContext<double>&, const BlockCall&, int, int, const BlockSink&)
    {
        return false;
    }

    bool storeValues(
        synthpath::Path, SampleFormat, uint8_t*, int32_t, const double*, const double*, double)
    {
        return false;
    }

    void sines(synthpath::Path, const double* x, double* out, int32_t n)
    {
        for (int32_t k = 0; k < n; ++k)
            out[k] = std::sin(x[k]);
    }

} // namespace synthvector

} // namespace vellox
