#pragma once

// The generator as the remote control sees it (remote::InstrumentModel), the same with a
// window and without one: every setter is the generator's own, as a script's change (the
// output stays as the script left it: a sound that plays restarts with the change, one
// that is off stays off; OUTPut ON starts it). The window, listening to the generator,
// shows every change in its controls. UI thread only.

#include "InstrumentModel.h"
#include "SignalOptions.h"

#include <functional>

namespace vellox {

class Generator;

class GeneratorInstrument : public remote::InstrumentModel {
public:
    explicit GeneratorInstrument(Generator& generator);

    remote::SetResult reset() override;
    remote::SetResult changeTogether(const std::function<void()>& changes) override;

    int16_t frequency(remote::Tone tone) const override;
    remote::SetResult setFrequency(remote::Tone tone, int16_t hz) override;
    // The longest wait of *OPC?, *OPC and *WAI for the output: a device that has not taken a
    // change within it no longer calls back.
    static constexpr int OutputWaitMs = 2000;
    remote::SetResult waitForOutput() override;
    FrequencyRange frequencyRange() const override;
    int64_t frequencyMicrohertz(remote::Tone tone) const override;
    remote::SetResult setFrequencyMicrohertz(remote::Tone tone, int64_t microhertz) override;
    WaveformIndex waveform() const override;
    remote::SetResult setWaveform(WaveformIndex waveform) override;
    bool pinkNoise() const override;
    remote::SetResult setPinkNoise() override;
    ChannelModeValue channelMode() const override;
    remote::SetResult setChannelMode(ChannelModeValue mode) override;
    int levelStep(remote::Tone tone) const override;
    double levelFactor(remote::Tone tone) const override;
    remote::SetResult setLevelStep(remote::Tone tone, int step) override;
    remote::SetResult setLevelFactor(remote::Tone tone, double factor) override;
    TimedSweep timedSweep() const override;
    remote::SetResult setTimedSweep(const TimedSweep& sweep) override;
    ToneBurst burst() const override;
    remote::SetResult setTwoTone(remote::TwoToneSet set) override;
    std::optional<remote::TwoToneSet> twoTone() const override;
    remote::SetResult setBurst(const ToneBurst& burst) override;
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
    double fullScaleVpp() const override;
    remote::SetResult setFullScaleVpp(double vpp) override;

private:
    remote::SetResult editOptions(const std::function<void(SignalOptions&)>& edit);

    Generator& m_generator;
};

} // namespace vellox
