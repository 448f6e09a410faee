#pragma once

// An InstrumentModel over a plain record, for the tests, the fuzzer and the benchmark:
// it stores what it is given. It also checks every value against the model's ranges and
// counts the ones outside (which the interpreter must never pass), and can be told to
// refuse every change, as a generator whose sound device fails would.

#include "InstrumentModel.h"

#include <array>
#include <cstdint>
#include <optional>

namespace vellox::remote {

// The record the memory instrument keeps; compared whole by the tests.
struct InstrumentSettings {
    int16_t frequency1 = StartFrequency1;
    int16_t frequency2 = StartFrequency2;
    WaveformIndex waveform = WaveSine;
    ChannelModeValue channelMode = ModeF1Both;
    int levelStep1 = StartLevelStep;
    int levelStep2 = StartLevelStep;
    double levelFactor1 = startLevel();
    double levelFactor2 = startLevel();
    int noiseStep = StartNoiseStep;
    int dutyPercent = StartDutyPercent;
    int32_t sampleRate = StartSampleRate;
    SweepMode sweepMode = SweepMode::Manual;
    TimedSweep timedSweep;
    ToneBurst burst;
    bool pink = false;
    Module1 bitCode = startModule1();
    bool outputOn = false;
    Synthesis synthesis = Synthesis::Exact;
    Dither dither = Dither::None;
    SampleFormat sampleFormat = SampleFormat::S16;
    int phaseDegrees = 0;
    int32_t latencyMs = 0;
    double fullScaleVpp = StartFullScaleVpp;

    bool operator==(const InstrumentSettings&) const = default;
};

inline constexpr IntRange MemoryLatencyRange { 5, 500, 40 };

// The record at start: the generator's start values.
InstrumentSettings startInstrumentSettings();

class MemoryInstrument final : public InstrumentModel {
public:
    MemoryInstrument();

    const InstrumentSettings& settings() const { return m_settings; }
    // Setter calls so far, and how many of them carried a value outside the model's ranges.
    int setterCalls() const { return m_setterCalls; }
    int invalidValues() const { return m_invalidValues; }
    // From now on every setter refuses with `error` (nullopt: they take values again).
    void refuseChanges(std::optional<ScpiError> error) { m_refusal = std::move(error); }

    SetResult reset() override;

    int16_t frequency(Tone tone) const override;
    SetResult setFrequency(Tone tone, int16_t hz) override;
    WaveformIndex waveform() const override { return m_settings.waveform; }
    SetResult setWaveform(WaveformIndex waveform) override;
    ChannelModeValue channelMode() const override { return m_settings.channelMode; }
    SetResult setChannelMode(ChannelModeValue mode) override;
    int levelStep(Tone tone) const override;
    double levelFactor(Tone tone) const override;
    SetResult setLevelStep(Tone tone, int step) override;
    SetResult setLevelFactor(Tone tone, double factor) override;
    TimedSweep timedSweep() const override { return m_settings.timedSweep; }
    SetResult setTimedSweep(const TimedSweep& sweep) override;
    ToneBurst burst() const override { return m_settings.burst; }
    bool pinkNoise() const override { return m_settings.pink; }
    // The set's settings, as the generator makes them (without its checks).
    SetResult setTwoTone(TwoToneSet set) override;
    std::optional<TwoToneSet> twoTone() const override;
    SetResult setPinkNoise() override;
    SetResult setBurst(const ToneBurst& burst) override;
    int noiseStep() const override { return m_settings.noiseStep; }
    SetResult setNoiseStep(int step) override;
    int dutyPercent() const override { return m_settings.dutyPercent; }
    SetResult setDutyPercent(int percent) override;
    int32_t sampleRate() const override { return m_settings.sampleRate; }
    std::span<const int32_t> sampleRates() const override { return PlayableRates; }
    SetResult setSampleRate(int32_t rate) override;
    SweepMode sweepMode() const override { return m_settings.sweepMode; }
    SetResult setSweepMode(SweepMode mode) override;
    const Module1& bitCode() const override { return m_settings.bitCode; }
    SetResult setBitCode(const Module1& settings) override;
    bool outputOn() const override { return m_settings.outputOn; }
    SetResult setOutput(bool on) override;
    Synthesis synthesis() const override { return m_settings.synthesis; }
    SetResult setSynthesis(Synthesis synthesis) override;
    Dither dither() const override { return m_settings.dither; }
    SetResult setDither(Dither dither) override;
    SampleFormat sampleFormat() const override { return m_settings.sampleFormat; }
    SetResult setSampleFormat(SampleFormat format) override;
    int phaseDegrees() const override { return m_settings.phaseDegrees; }
    SetResult setPhaseDegrees(int degrees) override;
    int32_t latencyMs() const override { return m_settings.latencyMs; }
    IntRange latencyRange() const override { return MemoryLatencyRange; }
    SetResult setLatencyMs(int32_t ms) override;
    double fullScaleVpp() const override { return m_settings.fullScaleVpp; }
    SetResult setFullScaleVpp(double vpp) override;

private:
    // Counts the call; the refusal or a value outside the ranges (`valid` false) refuses.
    std::optional<SetResult> refusal(bool valid);

    InstrumentSettings m_settings;
    std::optional<ScpiError> m_refusal;
    int m_setterCalls = 0;
    int m_invalidValues = 0;
};

} // namespace vellox::remote
