#include "GeneratorState.h"

#include "Rounding.h"

#include <cmath>

namespace vellox {

void setStartValues(GeneratorState& state, Module1& module1)
{
    state.SampleRate = StartSampleRate;
    state.Frequency1 = StartFrequency1;
    state.Pi = startPi();
    state.Frequency2 = StartFrequency2;
    state.FineFrequency1 = 0;
    state.FineFrequency2 = 0;
    state.Level1 = startLevel();
    state.Waveform = WaveSine;
    state.ChannelMode = ModeF1Both;
    state.Level2 = startLevel();
    state.FineLevel1 = 0.0;
    state.FineLevel2 = 0.0;
    state.Sweep = TimedSweep {};
    state.Burst = ToneBurst {};
    state.Pink = false;
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

int64_t microhertz1(const GeneratorState& state)
{
    return state.FineFrequency1 != 0 ? state.FineFrequency1
                                     : int64_t(state.Frequency1) * MicrohertzPerHertz;
}

int64_t microhertz2(const GeneratorState& state)
{
    return state.FineFrequency2 != 0 ? state.FineFrequency2
                                     : int64_t(state.Frequency2) * MicrohertzPerHertz;
}

double levelFactor1(const GeneratorState& state)
{
    return state.FineLevel1 != 0.0 ? state.FineLevel1 : double(state.Level1);
}

double levelFactor2(const GeneratorState& state)
{
    return state.FineLevel2 != 0.0 ? state.FineLevel2 : double(state.Level2);
}

StreamSettings streamSettings(const GeneratorState& state, int32_t dutyPercent)
{
    StreamSettings s;
    s.SampleRate = state.SampleRate;
    s.Frequency1 = microhertz1(state);
    s.Frequency2 = microhertz2(state);
    s.Level1 = levelFactor1(state);
    s.Level2 = levelFactor2(state);
    s.NoiseLevel = double(state.NoiseLevel);
    s.Waveform = state.Waveform;
    s.ChannelMode = state.ChannelMode;
    s.DutyPercent = dutyPercent;
    s.Sweep = state.Sweep;
    s.Burst = state.Burst;
    s.Pink = state.Pink;
    return s;
}

int16_t nextSweepFrequency(const std::string& sweepMode, int16_t f)
{
    // 10^(1/100) in double: a logarithmic sweep takes 100 steps per decade.
    static const double LogSweepFactor = std::pow(10.0, 1.0 / 100.0);
    int16_t next = f;
    if (sweepMode == SweepLinear)
        next = int16_t(f + 10);
    else if (sweepMode == SweepLogaritmic)
        next = roundToInt16(LogSweepFactor * double(f) + 0.5);
    else
        return f;
    return next >= MaxFrequency ? MinFrequency : next;
}

audio::SignalPhase signalPhaseOf(const GeneratorState& s)
{
    audio::SignalPhase phase;
    phase.linkable = s.Waveform != WaveBitCode && s.Waveform != WaveBitTwoTone;
    // "W Noise" has no F1 but on the right, which carries F1 in mode 1 only.
    phase.f1 = (s.Waveform == WaveNoise && s.ChannelMode != ModeF1Both) ? 0 : s.Frequency1;
    phase.f2 = s.ChannelMode != ModeF1Both ? s.Frequency2 : 0;
    return phase;
}

size_t playSampleCount(float repetitiveTime, int32_t sampleRate)
{
    const int32_t n = roundToInt32(double(repetitiveTime) * 2.0 * double(sampleRate));
    // A negative count cannot come from the dialog's limits; an empty array would be
    // the only sane reading of it.
    return n < 0 ? 0 : size_t(n) + 1;
}

} // namespace vellox
