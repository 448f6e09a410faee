#include "Generator.h"

#include "ControlCaptions.h"
#include "SignalPhase.h"
#include "SoundBackend.h"
#include "SoundObjects.h"

#include "AudioFormat.h"

#include <stdexcept>

namespace vellox {

Generator::Generator(audio::SoundBackend& backend)
    : m_backend(backend)
    , m_sound(std::make_unique<audio::SoundObjects>(backend))
{
}

Generator::~Generator() = default;

void Generator::loadStartValues()
{
    setStartValues(m_state, m_module1);
    m_steps = PanelSteps {};
    m_samples.forget(); // Samples was re-created
    m_playing = false;
}

void Generator::openSound()
{
    try {
        m_sound->InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
    } catch (...) {
        m_sound->ReleaseSound();
        throw;
    }
}

void Generator::adopt(const GeneratorState& state, const Module1& module1, const PanelSteps& steps,
    const SignalOptions& options)
{
    m_state = state;
    m_module1 = module1;
    m_steps = steps;
    m_options = options;
    m_samples.forget();
    m_framesInSamples = false;
}

void Generator::setLevelStep(int tone, int step)
{
    if (tone == 1) {
        m_steps.level1 = step;
        m_state.Level1 = levelFactor(step);
    } else {
        m_steps.level2 = step;
        m_state.Level2 = levelFactor(step);
    }
}

void Generator::setNoiseStep(int step)
{
    m_steps.noise = step;
    m_state.NoiseLevel = noiseLevel(step);
}

void Generator::setDutyPercent(int percent)
{
    m_steps.dutyPercent = percent;
}

namespace {
    audio::FrameEncoding encodingOf(SampleFormat format)
    {
        switch (format) {
        case SampleFormat::S24:
            return audio::FrameEncoding::S32;
        case SampleFormat::F32:
            return audio::FrameEncoding::F32;
        case SampleFormat::S16:
            break;
        }
        return audio::FrameEncoding::S16;
    }
}

void Generator::restart(const RestartHooks& hooks)
{
    // The sound that plays goes on until the new buffer takes over from it, so that the
    // change is a cross-fade rather than a fade to silence and back.
    m_playing = false;
    const audio::FrameEncoding encoding = encodingOf(m_options.format);
    m_sound->beginRestart();
    try {
        m_sound->ReleaseSound();
        m_samples.setAside(m_state.Samples);
        m_framesInSamples = false;
        m_state.Samples.assign(playSampleCount(m_module1.RepetitiveTime, m_state.SampleRate), 0);
        m_sound->setFrameEncoding(encoding);
        m_sound->InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
        if (hooks.opened)
            hooks.opened();
        synthesize();
        if (hooks.synthesized)
            hooks.synthesized();
        const int32_t byteCount
            = audio::bufferByteCount(m_module1.RepetitiveTime, m_state.SampleRate, encoding);
        const bool general = m_options != SignalOptions {};
        const void* data = general ? static_cast<const void*>(m_frames.bytes.data())
                                   : static_cast<const void*>(m_state.Samples.data());
        const size_t available
            = general ? m_frames.bytes.size() : m_state.Samples.size() * sizeof(int16_t);
        // The write must stay inside the buffer; the dialog's limits keep it there, and a
        // count beyond them is refused like any other failure rather than read past the end.
        if (byteCount < 0 || size_t(byteCount) > available)
            throw std::range_error("buffer byte count beyond the samples");
        m_sound->SetSignalPhase(signalPhaseOf(m_state));
        m_sound->WriteBuffer(0, byteCount, data, 0);
        m_sound->Play(1);
    } catch (...) {
        m_sound->endRestart(); // nothing new plays: the old sound ends, as released
        throw;
    }
    m_sound->endRestart();
    m_playing = true;
}

void Generator::stop()
{
    m_sound->Stop();
    m_playing = false;
}

void Generator::synthesize()
{
    const SynthSettings settings = synthSettings(m_state, m_steps.dutyPercent);
    PhaseSteps steps;
    if (m_options == SignalOptions {}) {
        steps = m_samples.synthesize(settings, m_module1, m_random, m_state.Samples);
        m_framesInSamples = false;
    } else {
        // One synthesis: the device's frames, and their 16-bit view for the time view (the
        // same noise in both).
        const uint64_t before = m_framesCache.samplesId();
        steps = m_framesCache.synthesize(settings, m_module1, m_options, m_random, m_frames);
        if (!m_framesInSamples || m_framesCache.samplesId() != before) {
            m_samples.forget();
            samples16(m_frames, m_state.Samples);
            m_framesInSamples = true;
        }
    }
    m_state.PhaseStep1 = steps.PhaseStep1;
    m_state.PhaseStep2 = steps.PhaseStep2;
}

uint64_t Generator::samplesId() const
{
    // The two caches count on their own; the top bit keeps their ids apart.
    return m_framesInSamples ? (uint64_t(1) << 63) | m_framesCache.samplesId()
                             : m_samples.samplesId();
}

void Generator::setSampleRate(int32_t rate)
{
    m_playing = false;
    m_state.SampleRate = rate;
    m_samples.setAside(m_state.Samples);
    m_framesInSamples = false;
    // Sized whatever happens to the buffer below: the time view reads it.
    struct Resize {
        Generator& g;
        ~Resize()
        {
            g.m_state.Samples.assign(
                playSampleCount(g.m_module1.RepetitiveTime, g.m_state.SampleRate), 0);
        }
    } resize { *this };
    // With no device open (after a failed start) the rate is only recorded: the next
    // restart opens the device at it.
    if (m_sound->hasSoundDevice()) {
        m_sound->setFrameEncoding(encodingOf(m_options.format));
        m_sound->RecreateSoundBuffer(m_state.SampleRate, m_module1.RepetitiveTime);
    }
}

int16_t Generator::nextSweepFrequency() const
{
    return ::vellox::nextSweepFrequency(m_state.SweepMode, m_state.Frequency1);
}

std::optional<std::string> Generator::watchDevice()
{
    std::optional<std::string> lost = m_backend.lostDevice();
    // A device that goes while nothing plays is not news: the backend has marked it, and
    // the next Start opens afresh on whatever is there then.
    if (lost && m_playing && m_sound->hasSoundDevice()) {
        m_sound->ReleaseSound();
        m_playing = false;
        return lost;
    }
    return std::nullopt;
}

} // namespace vellox
