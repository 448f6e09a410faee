#include "SampleCache.h"

#include "Synthesizer.h"

#include <utility>

namespace vellox {

namespace {

    PhaseSteps make(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, std::vector<int16_t>& samples)
    {
        if (options == SignalOptions {})
            return SynthesizeSignal(settings, module1, random, samples);
        SignalBuffer frames;
        const PhaseSteps steps = SynthesizeFrames(settings, module1, options, random, frames);
        samples16(frames, samples);
        return steps;
    }

    PhaseSteps make(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, SignalBuffer& buffer)
    {
        return SynthesizeFrames(settings, module1, options, random, buffer);
    }

} // namespace

template <class Buffer> void BasicSampleCache<Buffer>::forget()
{
    m_samplesSource.reset();
    m_samplesId = m_nextId++;
}

template <class Buffer> void BasicSampleCache<Buffer>::swapWithSpare(Buffer& buffer)
{
    std::swap(buffer, m_spare);
    std::swap(m_samplesSource, m_spareSource);
    std::swap(m_samplesId, m_spareId);
}

template <class Buffer> void BasicSampleCache<Buffer>::setAside(Buffer& buffer)
{
    if (m_samplesSource)
        swapWithSpare(buffer);
    forget();
}

template <class Buffer>
PhaseSteps BasicSampleCache<Buffer>::synthesize(const SynthSettings& settings,
    const Module1& module1, const SignalOptions& options, UniformSource& random, Buffer& buffer)
{
    // Every input compared, by the structs' defaulted ==: a field added to any of them is
    // compared without a change here.
    const auto madeFrom = [&](const std::optional<Source>& source) {
        return source && source->settings == settings && source->module1 == module1
            && source->options == options;
    };
    if (madeFrom(m_samplesSource))
        return m_samplesSource->steps;
    if (madeFrom(m_spareSource)) {
        swapWithSpare(buffer);
        return m_samplesSource->steps;
    }

    // A failure leaves `buffer` unspecified: it names no source until it is complete.
    forget();
    const PhaseSteps steps = make(settings, module1, options, random, buffer);
    if (settings.NoiseLevel == 0.0f)
        m_samplesSource = Source { settings, module1, options, steps };
    return steps;
}

template class BasicSampleCache<std::vector<int16_t>>;
template class BasicSampleCache<SignalBuffer>;

} // namespace vellox
