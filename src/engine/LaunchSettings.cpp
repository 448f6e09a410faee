#include "LaunchSettings.h"

#include "BitCodeRules.h"
#include "LevelScale.h"

namespace vellox {

bool LaunchOptions::hasSettings() const
{
    return pink || twoTone || f1 || f2 || f1Microhertz || f2Microhertz || waveform || channelMode
        || level1 || level2 || level1Dbfs || level2Dbfs || sweepSeconds || burstCycles || noise
        || duty || rate || sweep || bitCode || bitLengthUs || repetitionMs || synthesis || dither
        || sampleFormat || phase;
}

Module1 bitCodeFromCommandLine(
    const LaunchOptions& options, const Module1& current, std::vector<std::string>& messages)
{
    if (!options.bitCode && !options.bitLengthUs && !options.repetitionMs)
        return current;
    BitCodeTexts texts = bitCodeTexts(current);
    if (options.bitCode)
        texts.Text1 = *options.bitCode;
    if (options.repetitionMs)
        texts.Text2 = *options.repetitionMs;
    if (options.bitLengthUs)
        texts.Text3 = *options.bitLengthUs;
    const BitCodeOutcome outcome = checkBitCodeEntries(texts, current);
    messages.insert(messages.end(), outcome.messages.begin(), outcome.messages.end());
    return outcome.close ? outcome.stored : current;
}

std::vector<std::string> applyLaunchOptions(Generator& g, const LaunchOptions& o, ChangeFrom from)
{
    std::vector<std::string> messages;
    auto take = [&](const SetResult& result) {
        if (!result.ok())
            messages.push_back(result.error().detail());
    };
    g.changeTogether(from, [&] {
        if (o.rate)
            take(g.setSampleRate(*o.rate, from));
        if (o.synthesis || o.dither || o.sampleFormat || o.phase) {
            SignalOptions signal = g.signalOptions();
            signal.synthesis = o.synthesis.value_or(signal.synthesis);
            signal.dither = o.dither.value_or(signal.dither);
            signal.format = o.sampleFormat.value_or(signal.format);
            signal.phaseDegrees = o.phase.value_or(signal.phaseDegrees);
            take(g.setSignalOptions(signal, from));
        }
        if (o.latencyMs)
            take(g.setLatencyMs(*o.latencyMs, from));
        if (o.channelMode)
            take(g.setChannelMode(ChannelModeValue(*o.channelMode), from));
        if (o.waveform)
            take(o.pink ? g.setPinkNoise(from) : g.setWaveform(WaveformIndex(*o.waveform), from));
        if (o.sweep && !o.sweepSeconds)
            take(g.setSweepMode(remote::SweepMode(*o.sweep), from));
        if (o.level1)
            take(g.setLevelStep(Tone::F1, *o.level1, from));
        if (o.level2)
            take(g.setLevelStep(Tone::F2, *o.level2, from));
        // dBFS is of the rms (AES17): it takes the waveform set above.
        const auto dbfs = [&](Tone tone, double db) {
            const double rms = remote::rmsAtUnitPeak(
                tone == Tone::F1 ? WaveformIndex(g.state().Waveform) : WaveSine);
            const auto factor = remote::factorOfLevel(
                db, remote::VoltageUnit::Dbfs, remote::StartFullScaleVpp, rms);
            if (!factor)
                messages.push_back(std::string(tone == Tone::F1 ? "F1" : "F2")
                    + "'s level is beyond full scale or more than 120 dB below it");
            else
                take(g.setLevelFactor(tone, *factor, from));
        };
        if (o.level1Dbfs)
            dbfs(Tone::F1, *o.level1Dbfs);
        if (o.level2Dbfs)
            dbfs(Tone::F2, *o.level2Dbfs);
        if (o.noise)
            take(g.setNoiseStep(*o.noise, from));
        if (o.duty)
            take(g.setDutyPercent(*o.duty, from));
        if (o.f1)
            take(g.setFrequency(Tone::F1, *o.f1, from));
        if (o.f2)
            take(g.setFrequency(Tone::F2, *o.f2, from));
        if (o.f1Microhertz)
            take(g.setFrequencyMicrohertz(Tone::F1, *o.f1Microhertz, from));
        if (o.f2Microhertz)
            take(g.setFrequencyMicrohertz(Tone::F2, *o.f2Microhertz, from));
        if (o.twoTone)
            take(g.setTwoTone(remote::TwoToneSet(*o.twoTone), from));
        if (o.sweepSeconds) {
            // After F1, its start, and the rate that bounds its stop.
            TimedSweep sweep;
            sweep.On = true;
            sweep.Logarithmic = o.sweep == int(remote::SweepMode::Logarithmic);
            sweep.Stop = o.f1Stop.value_or(g.frequencyMicrohertz(Tone::F1));
            sweep.Seconds = *o.sweepSeconds;
            sweep.HoldSeconds = o.sweepHoldSeconds.value_or(0.0);
            sweep.ReturnSeconds = o.sweepReturnSeconds.value_or(0.0);
            sweep.Once = o.sweepOnce;
            take(g.setTimedSweep(sweep, from));
        }
        if (o.burstCycles && o.burstPeriodSeconds) {
            ToneBurst burst;
            burst.On = true;
            burst.Cycles = *o.burstCycles;
            burst.PeriodSeconds = *o.burstPeriodSeconds;
            burst.PhaseDegrees = o.burstPhaseDegrees.value_or(0.0);
            take(g.setBurst(burst, from));
        }
        const Module1 bitCode = bitCodeFromCommandLine(o, g.module1(), messages);
        if (bitCode != g.module1())
            take(g.setBitCode(bitCode, from));
    });
    return messages;
}

HeadlessSettings headlessSettings(const LaunchOptions& options, std::vector<std::string>& messages)
{
    Generator generator;
    const std::vector<std::string> told
        = applyLaunchOptions(generator, options, ChangeFrom::Settings);
    messages.insert(messages.end(), told.begin(), told.end());
    HeadlessSettings h;
    h.state = generator.state();
    h.module1 = generator.module1();
    h.steps = generator.steps();
    h.dutyPercent = h.steps.dutyPercent;
    h.signal = generator.signalOptions();
    return h;
}

} // namespace vellox
