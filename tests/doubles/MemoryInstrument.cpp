#include "MemoryInstrument.h"

#include "BitCodeRules.h"
#include "LevelScale.h"

#include <algorithm>
#include <cmath>

namespace vellox::remote {

namespace {

    // What the bit-code dialog could store: a pattern of zeros and ones, a bit length and a
    // repetition time within its ranges, and the pattern fitting into the repetition time.
    bool isStorableBitCode(const Module1& m)
    {
        if (m.BitCode.empty() || m.BitCode.find_first_not_of("01") != std::string::npos)
            return false;
        if (!(m.RepetitiveTime >= MinRepetitiveTime && m.RepetitiveTime <= MaxRepetitiveTime))
            return false;
        if (!(m.BitLength >= float(MinBitLengthUs / 1e6)
                && m.BitLength <= float(MaxBitLengthUs / 1e6)))
            return false;
        return float(double(m.BitLength) * double(m.BitCode.size())) <= m.RepetitiveTime;
    }

} // namespace

InstrumentSettings startInstrumentSettings()
{
    InstrumentSettings s;
    s.latencyMs = MemoryLatencyRange.start;
    return s;
}

MemoryInstrument::MemoryInstrument()
    : m_settings(startInstrumentSettings())
{
}

std::optional<SetResult> MemoryInstrument::refusal(bool valid)
{
    ++m_setterCalls;
    if (m_refusal)
        return SetResult::refused(*m_refusal);
    if (!valid) {
        ++m_invalidValues;
        return SetResult::refused(ErrorCode::DataOutOfRange);
    }
    return std::nullopt;
}

SetResult MemoryInstrument::reset()
{
    if (auto r = refusal(true))
        return *r;
    const double fullScale = m_settings.fullScaleVpp;
    m_settings = startInstrumentSettings();
    m_settings.fullScaleVpp = fullScale;
    return SetResult::done();
}

int16_t MemoryInstrument::frequency(Tone tone) const
{
    return tone == Tone::F1 ? m_settings.frequency1 : m_settings.frequency2;
}

SetResult MemoryInstrument::setFrequency(Tone tone, int16_t hz)
{
    if (auto r = refusal(isAudioFrequency(hz)))
        return *r;
    (tone == Tone::F1 ? m_settings.frequency1 : m_settings.frequency2) = hz;
    return SetResult::done();
}

SetResult MemoryInstrument::setWaveform(WaveformIndex waveform)
{
    if (auto r = refusal(isWaveform(waveform)))
        return *r;
    m_settings.waveform = waveform;
    m_settings.pink = false;
    return SetResult::done();
}

SetResult MemoryInstrument::setChannelMode(ChannelModeValue mode)
{
    if (auto r = refusal(isChannelMode(mode)))
        return *r;
    m_settings.channelMode = mode;
    return SetResult::done();
}

int MemoryInstrument::levelStep(Tone tone) const
{
    return tone == Tone::F1 ? m_settings.levelStep1 : m_settings.levelStep2;
}

double MemoryInstrument::levelFactor(Tone tone) const
{
    return tone == Tone::F1 ? m_settings.levelFactor1 : m_settings.levelFactor2;
}

SetResult MemoryInstrument::setLevelFactor(Tone tone, double factor)
{
    if (auto r = refusal(factor >= MinLevelFactor && factor <= FullScaleLevel))
        return *r;
    // As the generator: a step's own factor is that step, any other the nearest step's place.
    const int nearest = std::clamp(
        int(std::lround(-20.0 * std::log10(factor) / LevelStepDb)), MinLevelStep, MaxLevelStep);
    (tone == Tone::F1 ? m_settings.levelStep1 : m_settings.levelStep2) = nearest;
    (tone == Tone::F1 ? m_settings.levelFactor1 : m_settings.levelFactor2)
        = float(factor) == ::vellox::levelFactor(nearest) ? double(::vellox::levelFactor(nearest))
                                                          : factor;
    return SetResult::done();
}

SetResult MemoryInstrument::setLevelStep(Tone tone, int step)
{
    if (auto r = refusal(step >= MinLevelStep && step <= MaxLevelStep))
        return *r;
    (tone == Tone::F1 ? m_settings.levelStep1 : m_settings.levelStep2) = step;
    (tone == Tone::F1 ? m_settings.levelFactor1 : m_settings.levelFactor2)
        = ::vellox::levelFactor(step);
    return SetResult::done();
}

SetResult MemoryInstrument::setTimedSweep(const TimedSweep& sweep)
{
    if (auto r = refusal(sweep.Stop >= MinStreamFrequency
            && sweep.Stop <= maxStreamFrequency(m_settings.sampleRate)
            && sweep.Seconds >= MinSweepSeconds && sweep.Seconds <= MaxSweepSeconds
            && sweep.HoldSeconds >= 0.0 && sweep.HoldSeconds <= MaxSweepSeconds
            && sweep.ReturnSeconds >= 0.0 && sweep.ReturnSeconds <= MaxSweepSeconds))
        return *r;
    m_settings.timedSweep = sweep;
    return SetResult::done();
}

SetResult MemoryInstrument::setTwoTone(TwoToneSet set)
{
    if (auto r = refusal(set == TwoToneSet::Smpte || set == TwoToneSet::Ccif))
        return *r;
    const TwoToneTones t = twoToneTones(set);
    const double level = m_settings.levelFactor1;
    m_settings.waveform = WaveSine;
    m_settings.pink = false;
    m_settings.channelMode = ModeF1PlusF2;
    m_settings.frequency1 = t.f1;
    m_settings.frequency2 = t.f2;
    m_settings.levelFactor1 = level * t.share1;
    m_settings.levelFactor2 = level * t.share2;
    m_settings.timedSweep.On = false;
    m_settings.burst.On = false;
    return SetResult::done();
}

std::optional<TwoToneSet> MemoryInstrument::twoTone() const
{
    for (const TwoToneSet set : { TwoToneSet::Smpte, TwoToneSet::Ccif }) {
        const TwoToneTones t = twoToneTones(set);
        if (m_settings.waveform == WaveSine && m_settings.channelMode == ModeF1PlusF2
            && m_settings.frequency1 == t.f1 && m_settings.frequency2 == t.f2)
            return set;
    }
    return std::nullopt;
}

SetResult MemoryInstrument::setPinkNoise()
{
    if (auto r = refusal(true))
        return *r;
    m_settings.pink = true;
    m_settings.waveform = WaveNoise;
    return SetResult::done();
}

SetResult MemoryInstrument::setBurst(const ToneBurst& burst)
{
    if (auto r = refusal(burst.Cycles >= 1 && burst.Cycles <= MaxBurstCycles
            && burst.PeriodSeconds >= MinBurstPeriod && burst.PeriodSeconds <= MaxBurstPeriod
            && burst.PhaseDegrees >= 0.0 && burst.PhaseDegrees < 360.0))
        return *r;
    m_settings.burst = burst;
    return SetResult::done();
}

SetResult MemoryInstrument::setNoiseStep(int step)
{
    if (auto r = refusal(step >= 0 && step <= MaxNoiseStep))
        return *r;
    m_settings.noiseStep = step;
    return SetResult::done();
}

SetResult MemoryInstrument::setDutyPercent(int percent)
{
    if (auto r = refusal(percent >= MinDutyPercent && percent <= MaxDutyPercent))
        return *r;
    m_settings.dutyPercent = percent;
    return SetResult::done();
}

SetResult MemoryInstrument::setSampleRate(int32_t rate)
{
    if (auto r = refusal(isPlayableRate(rate)))
        return *r;
    m_settings.sampleRate = rate;
    return SetResult::done();
}

SetResult MemoryInstrument::setSweepMode(SweepMode mode)
{
    if (auto r = refusal(mode == SweepMode::Manual || mode == SweepMode::Linear
            || mode == SweepMode::Logarithmic))
        return *r;
    m_settings.sweepMode = mode;
    return SetResult::done();
}

SetResult MemoryInstrument::setBitCode(const Module1& settings)
{
    if (auto r = refusal(isStorableBitCode(settings)))
        return *r;
    m_settings.bitCode = settings;
    return SetResult::done();
}

SetResult MemoryInstrument::setOutput(bool on)
{
    if (auto r = refusal(true))
        return *r;
    m_settings.outputOn = on;
    return SetResult::done();
}

SetResult MemoryInstrument::setSynthesis(Synthesis synthesis)
{
    if (auto r = refusal(synthesis == Synthesis::Exact || synthesis == Synthesis::Precise))
        return *r;
    m_settings.synthesis = synthesis;
    return SetResult::done();
}

SetResult MemoryInstrument::setDither(Dither dither)
{
    if (auto r = refusal(dither == Dither::None || dither == Dither::Tpdf))
        return *r;
    m_settings.dither = dither;
    return SetResult::done();
}

SetResult MemoryInstrument::setSampleFormat(SampleFormat format)
{
    if (auto r = refusal(format == SampleFormat::S16 || format == SampleFormat::S24
            || format == SampleFormat::F32))
        return *r;
    m_settings.sampleFormat = format;
    return SetResult::done();
}

SetResult MemoryInstrument::setPhaseDegrees(int degrees)
{
    if (auto r = refusal(degrees >= 0 && degrees <= MaxPhaseDegrees))
        return *r;
    m_settings.phaseDegrees = degrees;
    return SetResult::done();
}

SetResult MemoryInstrument::setLatencyMs(int32_t ms)
{
    if (auto r = refusal(ms >= MemoryLatencyRange.min && ms <= MemoryLatencyRange.max))
        return *r;
    m_settings.latencyMs = ms;
    return SetResult::done();
}

SetResult MemoryInstrument::setFullScaleVpp(double vpp)
{
    if (auto r = refusal(std::isfinite(vpp) && vpp >= MinFullScaleVpp && vpp <= MaxFullScaleVpp))
        return *r;
    m_settings.fullScaleVpp = vpp;
    return SetResult::done();
}

} // namespace vellox::remote
