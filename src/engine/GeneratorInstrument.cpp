#include "GeneratorInstrument.h"

#include "Generator.h"
#include "SoundBackend.h"

namespace vellox {

namespace {
    constexpr ChangeFrom Script = ChangeFrom::Script;
}

GeneratorInstrument::GeneratorInstrument(Generator& generator)
    : m_generator(generator)
{
}

SetResult GeneratorInstrument::reset()
{
    return m_generator.reset();
}

SetResult GeneratorInstrument::changeTogether(const std::function<void()>& changes)
{
    return m_generator.changeTogether(Script, changes);
}

int16_t GeneratorInstrument::frequency(Tone tone) const
{
    return int16_t(m_generator.frequency(tone));
}

SetResult GeneratorInstrument::setFrequency(Tone tone, int16_t hz)
{
    return m_generator.setFrequency(tone, hz, Script);
}

SetResult GeneratorInstrument::waitForOutput()
{
    // A line's changes restart the sound at its end: what came before the wait, now.
    if (const SetResult settled = m_generator.settle(Script); !settled.ok())
        return settled;
    if (m_generator.waitForOutput(OutputWaitMs))
        return SetResult::done();
    return SetResult::refused(remote::ErrorCode::Execution,
        "the sound device did not take the change within " + std::to_string(OutputWaitMs) + " ms");
}

GeneratorInstrument::FrequencyRange GeneratorInstrument::frequencyRange() const
{
    if (m_generator.signalOptions().synthesis != Synthesis::Precise)
        return {};
    return { MinStreamFrequency, maxStreamFrequency(m_generator.state().SampleRate) };
}

int64_t GeneratorInstrument::frequencyMicrohertz(Tone tone) const
{
    return m_generator.frequencyMicrohertz(tone);
}

SetResult GeneratorInstrument::setFrequencyMicrohertz(Tone tone, int64_t microhertz)
{
    return m_generator.setFrequencyMicrohertz(tone, microhertz, Script);
}

WaveformIndex GeneratorInstrument::waveform() const
{
    return WaveformIndex(m_generator.state().Waveform);
}

SetResult GeneratorInstrument::setWaveform(WaveformIndex waveform)
{
    return m_generator.setWaveform(waveform, Script);
}

ChannelModeValue GeneratorInstrument::channelMode() const
{
    return ChannelModeValue(m_generator.state().ChannelMode);
}

SetResult GeneratorInstrument::setChannelMode(ChannelModeValue mode)
{
    return m_generator.setChannelMode(mode, Script);
}

int GeneratorInstrument::levelStep(Tone tone) const
{
    return m_generator.levelStep(tone);
}

double GeneratorInstrument::levelFactor(Tone tone) const
{
    return m_generator.levelFactorOf(tone);
}

TimedSweep GeneratorInstrument::timedSweep() const
{
    return m_generator.state().Sweep;
}

SetResult GeneratorInstrument::setTimedSweep(const TimedSweep& sweep)
{
    return m_generator.setTimedSweep(sweep, Script);
}

bool GeneratorInstrument::pinkNoise() const
{
    return m_generator.state().Pink;
}

SetResult GeneratorInstrument::setPinkNoise()
{
    return m_generator.setPinkNoise(Script);
}

SetResult GeneratorInstrument::setTwoTone(remote::TwoToneSet set)
{
    return m_generator.setTwoTone(set, Script);
}

std::optional<remote::TwoToneSet> GeneratorInstrument::twoTone() const
{
    return m_generator.twoTone();
}

ToneBurst GeneratorInstrument::burst() const
{
    return m_generator.state().Burst;
}

SetResult GeneratorInstrument::setBurst(const ToneBurst& burst)
{
    return m_generator.setBurst(burst, Script);
}

SetResult GeneratorInstrument::setLevelFactor(Tone tone, double factor)
{
    return m_generator.setLevelFactor(tone, factor, Script);
}

SetResult GeneratorInstrument::setLevelStep(Tone tone, int step)
{
    return m_generator.setLevelStep(tone, step, Script);
}

int GeneratorInstrument::noiseStep() const
{
    return m_generator.steps().noise;
}

SetResult GeneratorInstrument::setNoiseStep(int step)
{
    return m_generator.setNoiseStep(step, Script);
}

int GeneratorInstrument::dutyPercent() const
{
    return m_generator.steps().dutyPercent;
}

SetResult GeneratorInstrument::setDutyPercent(int percent)
{
    return m_generator.setDutyPercent(percent, Script);
}

int32_t GeneratorInstrument::sampleRate() const
{
    return m_generator.state().SampleRate;
}

SetResult GeneratorInstrument::setSampleRate(int32_t rate)
{
    return m_generator.setSampleRate(rate, Script);
}

remote::SweepMode GeneratorInstrument::sweepMode() const
{
    return m_generator.sweepMode();
}

SetResult GeneratorInstrument::setSweepMode(remote::SweepMode mode)
{
    return m_generator.setSweepMode(mode, Script);
}

const Module1& GeneratorInstrument::bitCode() const
{
    return m_generator.module1();
}

SetResult GeneratorInstrument::setBitCode(const Module1& settings)
{
    return m_generator.setBitCode(settings, Script);
}

bool GeneratorInstrument::outputOn() const
{
    return m_generator.playing();
}

SetResult GeneratorInstrument::setOutput(bool on)
{
    return on ? m_generator.start() : m_generator.stop();
}

SetResult GeneratorInstrument::editOptions(const std::function<void(SignalOptions&)>& edit)
{
    SignalOptions options = m_generator.signalOptions();
    edit(options);
    return m_generator.setSignalOptions(options, Script);
}

Synthesis GeneratorInstrument::synthesis() const
{
    return m_generator.signalOptions().synthesis;
}

SetResult GeneratorInstrument::setSynthesis(Synthesis synthesis)
{
    return editOptions([&](SignalOptions& o) { o.synthesis = synthesis; });
}

Dither GeneratorInstrument::dither() const
{
    return m_generator.signalOptions().dither;
}

SetResult GeneratorInstrument::setDither(Dither dither)
{
    return editOptions([&](SignalOptions& o) { o.dither = dither; });
}

SampleFormat GeneratorInstrument::sampleFormat() const
{
    return m_generator.signalOptions().format;
}

SetResult GeneratorInstrument::setSampleFormat(SampleFormat format)
{
    return editOptions([&](SignalOptions& o) { o.format = format; });
}

int GeneratorInstrument::phaseDegrees() const
{
    return m_generator.signalOptions().phaseDegrees;
}

SetResult GeneratorInstrument::setPhaseDegrees(int degrees)
{
    return editOptions([&](SignalOptions& o) { o.phaseDegrees = degrees; });
}

int32_t GeneratorInstrument::latencyMs() const
{
    return m_generator.latencyMs();
}

remote::IntRange GeneratorInstrument::latencyRange() const
{
    return { audio::MinLatencyMs, audio::MaxLatencyMs, audio::DefaultLatencyMs };
}

SetResult GeneratorInstrument::setLatencyMs(int32_t ms)
{
    return m_generator.setLatencyMs(ms, Script);
}

double GeneratorInstrument::fullScaleVpp() const
{
    return m_generator.calibrationVpp();
}

SetResult GeneratorInstrument::setFullScaleVpp(double vpp)
{
    return m_generator.setCalibrationVpp(vpp, Script);
}

} // namespace vellox
