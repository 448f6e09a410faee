#pragma once

// The generator as the remote interface sees it (remote::InstrumentModel). The queries read
// the generator's settings, whatever face changed them. The changes come in two kinds:
//   - GeneratorInstrument, without a window (--play): each setter changes the generator as
//     the front panel's control would and restarts the sound if it plays;
//   - WindowInstrument (in the window's own file): each setter goes through the window's
//     control, so that its caption, scale and spinner agree.
// Unlike the front panel, where every change starts the sound, a remote change while the
// output is off keeps it off (a bench generator's output stays as the script left it);
// OUTPut ON starts it. UI thread only.

#include "InstrumentModel.h"
#include "SignalOptions.h"

#include <string>

namespace vellox {

class Generator;

class GeneratorInstrument : public remote::InstrumentModel {
public:
    explicit GeneratorInstrument(Generator& generator);

    remote::SetResult reset() override;

    int16_t frequency(remote::Tone tone) const override;
    remote::SetResult setFrequency(remote::Tone tone, int16_t hz) override;
    WaveformIndex waveform() const override;
    remote::SetResult setWaveform(WaveformIndex waveform) override;
    ChannelModeValue channelMode() const override;
    remote::SetResult setChannelMode(ChannelModeValue mode) override;
    int levelStep(remote::Tone tone) const override;
    float levelFactor(remote::Tone tone) const override;
    remote::SetResult setLevelStep(remote::Tone tone, int step) override;
    int noiseStep() const override;
    remote::SetResult setNoiseStep(int step) override;
    int dutyPercent() const override;
    remote::SetResult setDutyPercent(int percent) override;
    int32_t sampleRate() const override;
    std::span<const int32_t> sampleRates() const override { return PlayableRates; }
    remote::SetResult setSampleRate(int32_t rate) override;
    remote::SweepMode sweepMode() const override;
    remote::SetResult setSweepMode(remote::SweepMode mode) override;
    const Module1& bitCode() const override;
    remote::SetResult setBitCode(const Module1& settings) override;
    bool outputOn() const override;
    remote::SetResult setOutput(bool on) override;
    Synthesis synthesis() const override;
    remote::SetResult setSynthesis(Synthesis synthesis) override;
    Dither dither() const override;
    remote::SetResult setDither(Dither dither) override;
    SampleFormat sampleFormat() const override;
    remote::SetResult setSampleFormat(SampleFormat format) override;
    int phaseDegrees() const override;
    remote::SetResult setPhaseDegrees(int degrees) override;
    int32_t latencyMs() const override;
    remote::IntRange latencyRange() const override;
    remote::SetResult setLatencyMs(int32_t ms) override;
    double fullScaleVpp() const override { return m_fullScaleVpp; }
    remote::SetResult setFullScaleVpp(double vpp) override;

protected:
    Generator& generator() { return m_generator; }
    const Generator& generator() const { return m_generator; }
    // Restarts the sound if it plays, after a change; a failure is the command's.
    remote::SetResult restartIfPlaying(bool wasPlaying);
    remote::SetResult setSignalOptions(const SignalOptions& options);

private:
    Generator& m_generator;
    double m_fullScaleVpp = remote::StartFullScaleVpp;
};

// The command's answer to a restart that failed: the sound layer's reason in the queue.
remote::SetResult soundFailure(const std::string& reason);
// FM asked for with a waveform that has none.
remote::SetResult fmRefused();

} // namespace vellox
