#include "Synthesizer.h"

#include <stdexcept>

namespace vellox {

PhaseSteps SynthesizeSignal(
    const SynthSettings&, const Module1&, UniformSource&, std::vector<int16_t>&)
{
    throw std::logic_error("SynthesizeSignal: not built yet");
}

} // namespace vellox
