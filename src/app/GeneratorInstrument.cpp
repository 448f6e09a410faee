#include "GeneratorInstrument.h"

#include "ControlCaptions.h"
#include "Generator.h"
#include "SdlSoundBackend.h"
#include "SoundBackend.h"
#include "SoundObjects.h"

#include <cmath>

namespace vellox {

using remote::SetResult;
using remote::Tone;

remote::SetResult soundFailure(const std::string& reason)
{
    return SetResult::refused(remote::ErrorCode::Execution, reason);
}

remote::SetResult fmRefused()
{
    return SetResult::refused(remote::ErrorCode::SettingsConflict,
        "\"Modulation FM\" is greyed for the waveform on the front panel");
}

GeneratorInstrument::GeneratorInstrument(Generator& generator)
    : m_generator(generator)
{
}

SetResult GeneratorInstrument::restartIfPlaying(bool wasPlaying)
{
    if (!wasPlaying)
        return SetResult::done();
    try {
        m_generator.restart();
    } catch (const std::exception& e) {
        return soundFailure(e.what());
    }
    return SetResult::done();
}

SetResult GeneratorInstrument::reset()
{
    const bool wasPlaying = m_generator.playing();
    if (wasPlaying) {
        try {
            m_generator.stop();
        } catch (const std::exception& e) {
            return soundFailure(e.what());
        }
    }
    // The front panel's start values and the output settings' defaults; what the sound
    // server holds ahead is the machine's, not the signal's, and stays.
    m_generator.loadStartValues();
    m_generator.setSignalOptions({});
    return SetResult::done();
}

int16_t GeneratorInstrument::frequency(Tone tone) const
{
    const GeneratorState& s = m_generator.state();
    return tone == Tone::F1 ? s.Frequency1 : s.Frequency2;
}

SetResult GeneratorInstrument::setFrequency(Tone tone, int16_t hz)
{
    const bool wasPlaying = m_generator.playing();
    (tone == Tone::F1 ? m_generator.state().Frequency1 : m_generator.state().Frequency2) = hz;
    return restartIfPlaying(wasPlaying);
}

WaveformIndex GeneratorInstrument::waveform() const
{
    return WaveformIndex(m_generator.state().Waveform);
}

SetResult GeneratorInstrument::setWaveform(WaveformIndex waveform)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.state().Waveform = int16_t(waveform);
    return restartIfPlaying(wasPlaying);
}

ChannelModeValue GeneratorInstrument::channelMode() const
{
    return ChannelModeValue(m_generator.state().ChannelMode);
}

SetResult GeneratorInstrument::setChannelMode(ChannelModeValue mode)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.state().ChannelMode = int16_t(mode);
    return restartIfPlaying(wasPlaying);
}

int GeneratorInstrument::levelStep(Tone tone) const
{
    return tone == Tone::F1 ? m_generator.steps().level1 : m_generator.steps().level2;
}

float GeneratorInstrument::levelFactor(Tone tone) const
{
    return tone == Tone::F1 ? m_generator.state().Level1 : m_generator.state().Level2;
}

SetResult GeneratorInstrument::setLevelStep(Tone tone, int step)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.setLevelStep(tone == Tone::F1 ? 1 : 2, step);
    return restartIfPlaying(wasPlaying);
}

int GeneratorInstrument::noiseStep() const
{
    return m_generator.steps().noise;
}

SetResult GeneratorInstrument::setNoiseStep(int step)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.setNoiseStep(step);
    return restartIfPlaying(wasPlaying);
}

int GeneratorInstrument::dutyPercent() const
{
    return m_generator.steps().dutyPercent;
}

SetResult GeneratorInstrument::setDutyPercent(int percent)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.setDutyPercent(percent);
    return restartIfPlaying(wasPlaying);
}

int32_t GeneratorInstrument::sampleRate() const
{
    return m_generator.state().SampleRate;
}

SetResult GeneratorInstrument::setSampleRate(int32_t rate)
{
    const bool wasPlaying = m_generator.playing();
    try {
        m_generator.setSampleRate(rate);
    } catch (const std::exception& e) {
        return soundFailure(e.what());
    }
    return restartIfPlaying(wasPlaying);
}

remote::SweepMode GeneratorInstrument::sweepMode() const
{
    const std::string& mode = m_generator.state().SweepMode;
    return mode == SweepLinear    ? remote::SweepMode::Linear
        : mode == SweepLogaritmic ? remote::SweepMode::Logarithmic
                                  : remote::SweepMode::Manual;
}

SetResult GeneratorInstrument::setSweepMode(remote::SweepMode mode)
{
    // As the sweep options: only recorded; the sweep's clock steps while the sound plays.
    m_generator.state().SweepMode = mode == remote::SweepMode::Linear ? SweepLinear
        : mode == remote::SweepMode::Logarithmic                      ? SweepLogaritmic
                                                                      : SweepManual;
    return SetResult::done();
}

const Module1& GeneratorInstrument::bitCode() const
{
    return m_generator.module1();
}

SetResult GeneratorInstrument::setBitCode(const Module1& settings)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.module1() = settings;
    return restartIfPlaying(wasPlaying);
}

bool GeneratorInstrument::outputOn() const
{
    return m_generator.playing();
}

SetResult GeneratorInstrument::setOutput(bool on)
{
    try {
        if (on)
            m_generator.restart();
        else
            m_generator.stop();
    } catch (const std::exception& e) {
        return soundFailure(e.what());
    }
    return SetResult::done();
}

Synthesis GeneratorInstrument::synthesis() const
{
    return m_generator.signalOptions().synthesis;
}

SetResult GeneratorInstrument::setSignalOptions(const SignalOptions& options)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.setSignalOptions(options);
    return restartIfPlaying(wasPlaying);
}

SetResult GeneratorInstrument::setSynthesis(Synthesis synthesis)
{
    SignalOptions o = m_generator.signalOptions();
    o.synthesis = synthesis;
    return setSignalOptions(o);
}

Dither GeneratorInstrument::dither() const
{
    return m_generator.signalOptions().dither;
}

SetResult GeneratorInstrument::setDither(Dither dither)
{
    SignalOptions o = m_generator.signalOptions();
    o.dither = dither;
    return setSignalOptions(o);
}

SampleFormat GeneratorInstrument::sampleFormat() const
{
    return m_generator.signalOptions().format;
}

SetResult GeneratorInstrument::setSampleFormat(SampleFormat format)
{
    SignalOptions o = m_generator.signalOptions();
    o.format = format;
    return setSignalOptions(o);
}

int GeneratorInstrument::phaseDegrees() const
{
    return m_generator.signalOptions().phaseDegrees;
}

SetResult GeneratorInstrument::setPhaseDegrees(int degrees)
{
    SignalOptions o = m_generator.signalOptions();
    o.phaseDegrees = degrees;
    return setSignalOptions(o);
}

int32_t GeneratorInstrument::latencyMs() const
{
    return m_generator.backend().latencyMilliseconds();
}

remote::IntRange GeneratorInstrument::latencyRange() const
{
    return { audio::SdlSoundBackend::MinLatencyMs, audio::SdlSoundBackend::MaxLatencyMs,
        audio::SdlSoundBackend::DefaultLatencyMs };
}

SetResult GeneratorInstrument::setLatencyMs(int32_t ms)
{
    const bool wasPlaying = m_generator.playing();
    m_generator.backend().setLatencyMilliseconds(ms);
    return restartIfPlaying(wasPlaying);
}

SetResult GeneratorInstrument::setFullScaleVpp(double vpp)
{
    m_fullScaleVpp = vpp;
    return SetResult::done();
}

} // namespace vellox
