#pragma once

// The remote interface over the window: every change goes through the window's own control
// (its spinner, option or handler), so that captions, scales and spinners agree with what
// plays, and a change made in the window shows in the next query. See GeneratorInstrument
// for the queries and for why a change keeps an output that is off, off. UI thread only.

#include "GeneratorInstrument.h"

#include <functional>

namespace vellox {

class FormGen;
struct OutputSettings;

class WindowInstrument : public GeneratorInstrument {
public:
    explicit WindowInstrument(FormGen& window);

    remote::SetResult reset() override;
    remote::SetResult setFrequency(remote::Tone tone, int16_t hz) override;
    remote::SetResult setWaveform(WaveformIndex waveform) override;
    remote::SetResult setChannelMode(ChannelModeValue mode) override;
    remote::SetResult setLevelStep(remote::Tone tone, int step) override;
    remote::SetResult setNoiseStep(int step) override;
    remote::SetResult setDutyPercent(int percent) override;
    remote::SetResult setSampleRate(int32_t rate) override;
    remote::SetResult setSweepMode(remote::SweepMode mode) override;
    remote::SetResult setBitCode(const Module1& settings) override;
    remote::SetResult setOutput(bool on) override;
    remote::SetResult setSynthesis(Synthesis synthesis) override;
    remote::SetResult setDither(Dither dither) override;
    remote::SetResult setSampleFormat(SampleFormat format) override;
    remote::SetResult setPhaseDegrees(int degrees) override;
    remote::SetResult setLatencyMs(int32_t ms) override;

private:
    template <class Change> remote::SetResult change(Change&& change);
    remote::SetResult changeOutput(const std::function<void(OutputSettings&)>& edit);

    FormGen& m_window;
};

} // namespace vellox
