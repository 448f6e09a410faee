#include "GeneratorState.h"

#include "Rounding.h"

namespace vellox {

void setStartValues(GeneratorState& state, Module1& module1)
{
    state.SampleRate = StartSampleRate;
    state.Frequency1 = StartFrequency1;
    state.Pi = startPi();
    state.Frequency2 = StartFrequency2;
    state.Level1 = startLevel();
    state.Waveform = WaveSine;
    state.ChannelMode = ModeF1Both;
    state.Level2 = startLevel();
    state.SweepMode = SweepManual;
    state.Marker1X = 40.0f;
    state.Marker2X = 4.0f;
    state.TimeViewSpan = 12700;
    module1 = startModule1();
    state.Samples.assign(size_t(state.SampleRate) + 1, 0);
}

SynthSettings synthSettings(const GeneratorState& state, int32_t dutyPercent)
{
    SynthSettings s;
    s.SampleRate = state.SampleRate;
    s.Frequency1 = state.Frequency1;
    s.Frequency2 = state.Frequency2;
    s.Pi = state.Pi;
    s.Level1 = state.Level1;
    s.Level2 = state.Level2;
    s.NoiseLevel = state.NoiseLevel;
    s.Waveform = state.Waveform;
    s.ChannelMode = state.ChannelMode;
    s.DutyPercent = dutyPercent;
    return s;
}

size_t playSampleCount(float repetitiveTime, int32_t sampleRate)
{
    const int32_t n = roundToInt32(double(repetitiveTime) * 2.0 * double(sampleRate));
    // A negative count cannot come from the dialog's limits; an empty array would be
    // the only sane reading of it.
    return n < 0 ? 0 : size_t(n) + 1;
}

} // namespace vellox
