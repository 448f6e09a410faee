#include "SampleCache.h"

#include "Synthesizer.h"

#include <utility>

namespace vellox {

void SampleCache::forget()
{
    m_samplesSource.reset();
    m_samplesId = m_nextId++;
}

void SampleCache::swapWithSpare(std::vector<int16_t>& samples)
{
    std::swap(samples, m_spare);
    std::swap(m_samplesSource, m_spareSource);
    std::swap(m_samplesId, m_spareId);
}

void SampleCache::setAside(std::vector<int16_t>& samples)
{
    if (m_samplesSource)
        swapWithSpare(samples);
    forget();
}

PhaseSteps SampleCache::synthesize(const SynthSettings& settings, const Module1& module1,
    UniformSource& random, std::vector<int16_t>& samples)
{
    // Every input compared, by the structs' defaulted ==: a field added to either is
    // compared without a change here.
    const auto madeFrom = [&](const std::optional<Source>& source) {
        return source && source->settings == settings && source->module1 == module1;
    };
    if (madeFrom(m_samplesSource))
        return m_samplesSource->steps;
    if (madeFrom(m_spareSource)) {
        swapWithSpare(samples);
        return m_samplesSource->steps;
    }

    // A failure leaves `samples` unspecified: it names no source until it is complete.
    forget();
    const PhaseSteps steps = SynthesizeSignal(settings, module1, random, samples);
    if (settings.NoiseLevel == 0.0f)
        m_samplesSource = Source { settings, module1, steps };
    return steps;
}

} // namespace vellox
