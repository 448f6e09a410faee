#include "LaunchSettings.h"

#include "BitCodeRules.h"
#include "ControlCaptions.h"

namespace vellox {

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

HeadlessSettings headlessSettings(const LaunchOptions& options, std::vector<std::string>& messages)
{
    HeadlessSettings h;
    GeneratorState& s = h.state;
    setStartValues(s, h.module1);
    if (options.rate)
        s.SampleRate = *options.rate;
    if (options.f1)
        s.Frequency1 = int16_t(*options.f1);
    if (options.f2)
        s.Frequency2 = int16_t(*options.f2);
    if (options.waveform)
        s.Waveform = int16_t(*options.waveform);
    if (options.channelMode)
        s.ChannelMode = int16_t(*options.channelMode);
    if (options.level1) {
        s.Level1 = levelFactor(*options.level1);
        h.steps.level1 = *options.level1;
    }
    if (options.level2) {
        s.Level2 = levelFactor(*options.level2);
        h.steps.level2 = *options.level2;
    }
    if (options.noise) {
        s.NoiseLevel = noiseLevel(*options.noise);
        h.steps.noise = *options.noise;
    }
    if (options.duty) {
        h.dutyPercent = *options.duty;
        h.steps.dutyPercent = *options.duty;
    }
    if (options.sweep)
        s.SweepMode = *options.sweep == 1 ? SweepLinear
            : *options.sweep == 2         ? SweepLogaritmic
                                          : SweepManual;
    if (options.synthesis)
        h.signal.synthesis = *options.synthesis;
    if (options.dither)
        h.signal.dither = *options.dither;
    if (options.sampleFormat)
        h.signal.format = *options.sampleFormat;
    if (options.phase)
        h.signal.phaseDegrees = *options.phase;
    h.module1 = bitCodeFromCommandLine(options, h.module1, messages);
    return h;
}

} // namespace vellox
