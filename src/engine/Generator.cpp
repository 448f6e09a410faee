#include "Generator.h"

#include "AudioFormat.h"
#include "BitCodeRules.h"
#include "SignalPhase.h"
#include "SoundBackend.h"
#include "SoundObjects.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vellox {

namespace ErrorCode = remote::ErrorCode;

SetResult soundFailure(const std::string& reason)
{
    return SetResult::refused(ErrorCode::Execution, reason);
}

namespace {

    SetResult outOfRange(const std::string& what)
    {
        return SetResult::refused(ErrorCode::DataOutOfRange, what);
    }

    audio::FrameEncoding encodingOf(SampleFormat format)
    {
        switch (format) {
        case SampleFormat::S24:
            return audio::FrameEncoding::S32;
        case SampleFormat::F32:
            return audio::FrameEncoding::F32;
        case SampleFormat::S16:
            break;
        }
        return audio::FrameEncoding::S16;
    }

    bool isBitPattern(const std::string& pattern)
    {
        return !pattern.empty() && pattern.find_first_not_of("01") == std::string::npos;
    }

    std::string toneName(Tone tone)
    {
        return tone == Tone::F1 ? "F1" : "F2";
    }

    // What changes no sample.
    constexpr uint32_t NotSignal = Changed::Sweep | Changed::Output | Changed::Calibration;

} // namespace

Generator::Generator(audio::SoundBackend& backend)
    : m_backend(&backend)
    , m_sound(std::make_unique<audio::SoundObjects>(backend))
{
    loadStartValues();
}

Generator::Generator()
{
    loadStartValues();
}

Generator::~Generator() = default;

void Generator::loadStartValues()
{
    setStartValues(m_state, m_module1);
    m_steps = PanelSteps {};
    m_options = SignalOptions {};
    m_fmOffered = true;
    m_samples.forget(); // Samples was re-created
    m_framesInSamples = false;
}

audio::SoundObjects& Generator::sound()
{
    if (!m_sound)
        throw std::logic_error("a generator of settings alone has no sound");
    return *m_sound;
}

const audio::SoundObjects& Generator::sound() const
{
    if (!m_sound)
        throw std::logic_error("a generator of settings alone has no sound");
    return *m_sound;
}

void Generator::openSound()
{
    try {
        sound().InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
    } catch (...) {
        if (m_sound)
            m_sound->ReleaseSound();
        throw;
    }
}

void Generator::releaseSound()
{
    if (m_sound)
        m_sound->ReleaseSound();
    m_playing = false;
}

remote::SweepMode Generator::sweepMode() const
{
    const std::string& mode = m_state.SweepMode;
    return mode == SweepLinear    ? remote::SweepMode::Linear
        : mode == SweepLogaritmic ? remote::SweepMode::Logarithmic
                                  : remote::SweepMode::Manual;
}

int Generator::latencyMs() const
{
    return m_backend ? m_backend->latencyMilliseconds() : audio::DefaultLatencyMs;
}

// ---- the common end of a change ---------------------------------------------------------

SetResult Generator::changed(uint32_t what, ChangeFrom from, bool wasPlaying)
{
    if (m_together > 0) {
        m_togetherChanged |= what;
        m_togetherUnheard |= what;
        return SetResult::done();
    }
    if (m_listener)
        m_listener->settingsChanged(what);
    return restartFor(what, from, wasPlaying);
}

bool Generator::restarts(uint32_t what, ChangeFrom from, bool wasPlaying) const
{
    // The sweep mode and the calibration are only recorded; a front-panel rate option
    // silences the sound.
    const uint32_t signal = what & ~NotSignal;
    const bool silenced = from == ChangeFrom::Panel && (what & Changed::SampleRate) != 0;
    return signal != 0 && !silenced
        && (from == ChangeFrom::Panel || (from == ChangeFrom::Script && wasPlaying));
}

SetResult Generator::restartFor(uint32_t what, ChangeFrom from, bool wasPlaying)
{
    const uint32_t signal = what & ~NotSignal;
    if (restarts(what, from, wasPlaying))
        return start();
    // Nothing restarts; the window still shows the buffer a script's settings give (the
    // settings alone are computed when they play, or when the face asks).
    if (m_listener && from == ChangeFrom::Script && signal != 0) {
        try {
            synthesize();
        } catch (const std::exception& e) {
            return soundFailure(e.what());
        }
        m_listener->samplesReady();
    }
    return SetResult::done();
}

SetResult Generator::changeTogether(ChangeFrom from, const std::function<void()>& changes)
{
    if (m_together++ == 0) {
        m_togetherChanged = 0;
        m_togetherUnheard = 0;
        m_togetherRate = false;
    }
    try {
        changes();
    } catch (...) {
        if (--m_together == 0 && std::exchange(m_togetherRate, false)) {
            // The rate is taken at the next start; until then Samples is sized for it.
            m_playing = false;
            m_state.Samples.assign(
                playSampleCount(m_module1.RepetitiveTime, m_state.SampleRate), 0);
        }
        throw;
    }
    if (--m_together > 0)
        return SetResult::done();
    return finishTogether(from);
}

SetResult Generator::settle(ChangeFrom from)
{
    return m_together > 0 ? finishTogether(from) : SetResult::done();
}

SetResult Generator::finishTogether(ChangeFrom from)
{
    const uint32_t what = std::exchange(m_togetherChanged, 0);
    if (what == 0)
        return SetResult::done();
    if (m_listener)
        m_listener->settingsChanged(what);
    // What a start inside already plays does not restart again; the rest is heard once.
    const uint32_t unheard
        = std::exchange(m_togetherUnheard, 0) | (what & (Changed::Sweep | Changed::Output));
    const bool rate = std::exchange(m_togetherRate, false);
    if (rate && !restarts(unheard, from, m_playing)) {
        // A rate that no restart takes: the buffer and the device take it now, once.
        try {
            applySampleRate(m_state.SampleRate);
        } catch (const std::exception& e) {
            return soundFailure(e.what());
        }
    }
    return restartFor(unheard, from, m_playing);
}

// ---- the setters ------------------------------------------------------------------------

SetResult Generator::reset()
{
    if (m_playing) {
        // Silent first, so that no step of the reset is heard.
        if (const SetResult stopped = stop(); !stopped.ok())
            return stopped;
    }
    loadStartValues();
    if (m_together > 0) {
        m_togetherChanged |= Changed::All;
        m_togetherUnheard |= Changed::All;
        return SetResult::done();
    }
    if (m_listener)
        m_listener->settingsChanged(Changed::All);
    return restartFor(Changed::All, ChangeFrom::Script, false);
}

SetResult Generator::setFrequency(Tone tone, int hz, ChangeFrom from)
{
    if (!isAudioFrequency(hz))
        return outOfRange(toneName(tone) + " is " + std::to_string(MinFrequency) + " to "
            + std::to_string(MaxFrequency) + " Hz");
    const bool wasPlaying = m_playing;
    (tone == Tone::F1 ? m_state.Frequency1 : m_state.Frequency2) = int16_t(hz);
    (tone == Tone::F1 ? m_state.FineFrequency1 : m_state.FineFrequency2) = 0;
    return changed(tone == Tone::F1 ? Changed::Frequency1 : Changed::Frequency2, from, wasPlaying);
}

SetResult Generator::setFrequencyMicrohertz(Tone tone, int64_t microhertz, ChangeFrom from)
{
    const int64_t whole = microhertz / MicrohertzPerHertz;
    if (microhertz % MicrohertzPerHertz == 0 && whole >= MinFrequency && whole <= MaxFrequency)
        return setFrequency(tone, int(whole), from);
    if (m_options.synthesis != Synthesis::Precise)
        return microhertz % MicrohertzPerHertz != 0
            ? SetResult::refused(ErrorCode::SettingsConflict,
                toneName(tone) + " " + hertzText(microhertz)
                    + " Hz has a fraction: the exact synthesis loops whole hertz (the precise "
                      "synthesis takes 1 uHz steps)")
            : outOfRange(toneName(tone) + " is " + std::to_string(MinFrequency) + " to "
                + std::to_string(MaxFrequency) + " Hz in the exact synthesis");
    const int64_t most = maxStreamFrequency(m_state.SampleRate);
    if (microhertz < MinStreamFrequency || microhertz > most)
        return outOfRange(toneName(tone) + " is 1 to " + hertzText(most) + " Hz at "
            + std::to_string(m_state.SampleRate) + " Hz in the precise synthesis");
    const bool wasPlaying = m_playing;
    // The front panel and the looped buffers (the time view, the bit codes) take the nearest
    // whole hertz they can show; the stream plays the frequency itself.
    const int64_t shown = std::clamp<int64_t>(
        (microhertz + MicrohertzPerHertz / 2) / MicrohertzPerHertz, MinFrequency, MaxFrequency);
    (tone == Tone::F1 ? m_state.Frequency1 : m_state.Frequency2) = int16_t(shown);
    (tone == Tone::F1 ? m_state.FineFrequency1 : m_state.FineFrequency2) = microhertz;
    return changed(tone == Tone::F1 ? Changed::Frequency1 : Changed::Frequency2, from, wasPlaying);
}

bool Generator::waitForOutput(int limitMs) const
{
    if (m_backend == nullptr)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!m_backend->handedOver()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // The audio thread calls back once a period (half the latency, 30 ms by default):
        // polling every half millisecond costs nothing and answers within it.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

int64_t Generator::frequencyMicrohertz(Tone tone) const
{
    return tone == Tone::F1 ? microhertz1(m_state) : microhertz2(m_state);
}

SetResult Generator::setWaveform(WaveformIndex waveform, ChangeFrom from)
{
    if (!isWaveform(waveform))
        return SetResult::refused(ErrorCode::IllegalParameterValue, "no such waveform");
    const bool wasPlaying = m_playing;
    // The front panel's option is chosen only when it changes.
    if (waveform != m_state.Waveform)
        m_fmOffered = enablesFmAndSetBit(waveform);
    m_state.Waveform = int16_t(waveform);
    m_state.Pink = false;
    return changed(Changed::Waveform, from, wasPlaying);
}

SetResult Generator::setChannelMode(ChannelModeValue mode, ChangeFrom from)
{
    if (!isChannelMode(mode))
        return SetResult::refused(ErrorCode::IllegalParameterValue, "no such mode");
    if (mode == ModeFm && mode != m_state.ChannelMode && !m_fmOffered)
        return SetResult::refused(ErrorCode::SettingsConflict,
            "\"Modulation FM\" is greyed for the waveform on the front panel");
    if (mode == ModeFm && m_state.Pink)
        return SetResult::refused(ErrorCode::SettingsConflict, "pink noise is no carrier for FM");
    const bool wasPlaying = m_playing;
    m_state.ChannelMode = int16_t(mode);
    return changed(Changed::ChannelMode, from, wasPlaying);
}

SetResult Generator::setLevelStep(Tone tone, int step, ChangeFrom from)
{
    if (step < MinLevelStep || step > MaxLevelStep)
        return outOfRange("the level is 0 to -" + std::to_string(LevelStepDb * MaxLevelStep)
            + " dB in " + std::to_string(LevelStepDb) + " dB steps");
    const bool wasPlaying = m_playing;
    (tone == Tone::F1 ? m_steps.level1 : m_steps.level2) = step;
    (tone == Tone::F1 ? m_state.Level1 : m_state.Level2) = levelFactor(step);
    (tone == Tone::F1 ? m_state.FineLevel1 : m_state.FineLevel2) = 0.0;
    return changed(tone == Tone::F1 ? Changed::Level1 : Changed::Level2, from, wasPlaying);
}

SetResult Generator::setLevelFactor(Tone tone, double factor, ChangeFrom from)
{
    if (!(factor >= MinLevelFactor && factor <= FullScaleLevel))
        return outOfRange("the level of " + toneName(tone) + " is 0 to "
            + std::to_string(int(MinLevelDbfs)) + " dBFS for a sine");
    // The step whose factor this is, or the nearest one for the spinner.
    const double db = 20.0 * std::log10(factor);
    const int nearest = std::clamp(int(std::lround(-db / LevelStepDb)), MinLevelStep, MaxLevelStep);
    if (float(factor) == levelFactor(nearest))
        return setLevelStep(tone, nearest, from);
    const bool wasPlaying = m_playing;
    (tone == Tone::F1 ? m_steps.level1 : m_steps.level2) = nearest;
    (tone == Tone::F1 ? m_state.Level1 : m_state.Level2) = float(factor);
    (tone == Tone::F1 ? m_state.FineLevel1 : m_state.FineLevel2) = factor;
    return changed(tone == Tone::F1 ? Changed::Level1 : Changed::Level2, from, wasPlaying);
}

SetResult Generator::setNoiseStep(int step, ChangeFrom from)
{
    if (step < 0 || step > MaxNoiseStep)
        return outOfRange("the noise is 0 to 100 % in 10 % steps");
    const bool wasPlaying = m_playing;
    m_steps.noise = step;
    m_state.NoiseLevel = noiseLevel(step);
    return changed(Changed::Noise, from, wasPlaying);
}

SetResult Generator::setDutyPercent(int percent, ChangeFrom from)
{
    if (percent < MinDutyPercent || percent > MaxDutyPercent)
        return outOfRange("the duty is 1 to 100 %");
    const bool wasPlaying = m_playing;
    m_steps.dutyPercent = percent;
    return changed(Changed::Duty, from, wasPlaying);
}

SetResult Generator::setSampleRate(int32_t rate, ChangeFrom from)
{
    if (!isPlayableRate(rate))
        return SetResult::refused(
            ErrorCode::IllegalParameterValue, "the sample rate is one of " + playableRateList());
    // A fine frequency the rate cannot carry: a script is told; the front panel's rate
    // option plays the whole hertz its text box shows.
    for (int64_t* fine : { &m_state.FineFrequency1, &m_state.FineFrequency2 }) {
        if (*fine <= maxStreamFrequency(rate))
            continue;
        if (from != ChangeFrom::Panel)
            return SetResult::refused(ErrorCode::SettingsConflict,
                std::string(fine == &m_state.FineFrequency1 ? "F1 " : "F2 ") + hertzText(*fine)
                    + " Hz is above 0.45 of " + std::to_string(rate) + " Hz");
        *fine = 0;
    }
    if (m_state.Sweep.Stop > maxStreamFrequency(rate)) {
        if (from != ChangeFrom::Panel)
            return SetResult::refused(ErrorCode::SettingsConflict,
                "the sweep's stop frequency " + hertzText(m_state.Sweep.Stop)
                    + " Hz is above 0.45 of " + std::to_string(rate) + " Hz");
        m_state.Sweep.Stop = maxStreamFrequency(rate);
    }
    const bool wasPlaying = m_playing;
    // The rate is taken even when the new buffer cannot be made: the next start opens the
    // device at it.
    try {
        applySampleRate(rate);
    } catch (const std::exception& e) {
        if (m_listener)
            m_listener->settingsChanged(Changed::SampleRate);
        return soundFailure(e.what());
    }
    return changed(Changed::SampleRate, from, wasPlaying);
}

void Generator::applySampleRate(int32_t rate)
{
    if (m_together > 0) {
        // Taken with the change's end: a script's line of a thousand rates sizes the buffer
        // and opens the device once.
        m_state.SampleRate = rate;
        m_togetherRate = true;
        return;
    }
    m_playing = false;
    m_state.SampleRate = rate;
    m_samples.setAside(m_state.Samples);
    m_framesInSamples = false;
    // Sized whatever happens to the buffer below: the time view reads it.
    struct Resize {
        Generator& g;
        ~Resize()
        {
            g.m_state.Samples.assign(
                playSampleCount(g.m_module1.RepetitiveTime, g.m_state.SampleRate), 0);
        }
    } resize { *this };
    // With no device open (after a failed start) the rate is only recorded: the next
    // start opens the device at it.
    if (m_sound && m_sound->hasSoundDevice()) {
        m_sound->setFrameEncoding(encodingOf(m_options.format));
        m_sound->RecreateSoundBuffer(m_state.SampleRate, m_module1.RepetitiveTime);
    }
}

SetResult Generator::setSweepMode(remote::SweepMode mode, ChangeFrom from)
{
    const bool wasPlaying = m_playing;
    m_state.SweepMode = mode == remote::SweepMode::Linear ? SweepLinear
        : mode == remote::SweepMode::Logarithmic          ? SweepLogaritmic
                                                          : SweepManual;
    return changed(Changed::Sweep, from, wasPlaying);
}

SetResult Generator::setTimedSweep(const TimedSweep& sweep, ChangeFrom from)
{
    const int64_t most = maxStreamFrequency(m_state.SampleRate);
    if (sweep.Stop < MinStreamFrequency || sweep.Stop > most)
        return outOfRange("the sweep's stop frequency is 1 to " + hertzText(most) + " Hz at "
            + std::to_string(m_state.SampleRate) + " Hz");
    if (!(sweep.Seconds >= MinSweepSeconds && sweep.Seconds <= MaxSweepSeconds))
        return outOfRange("the sweep time is 10 ms to 1000 s");
    if (!(sweep.HoldSeconds >= 0.0 && sweep.HoldSeconds <= MaxSweepSeconds)
        || !(sweep.ReturnSeconds >= 0.0 && sweep.ReturnSeconds <= MaxSweepSeconds))
        return outOfRange("the sweep's hold and return times are 0 to 1000 s");
    if (sweep.On && m_options.synthesis != Synthesis::Precise)
        return SetResult::refused(ErrorCode::SettingsConflict,
            "a sweep of a set length is computed as it plays: it needs the precise synthesis");
    if (sweep.On && m_state.Waveform == WavePwm && m_state.ChannelMode == ModeFm)
        return SetResult::refused(
            ErrorCode::SettingsConflict, "PWM in FM takes its period from F2: it does not sweep");
    if (sweep.On && m_state.Pink)
        return SetResult::refused(ErrorCode::SettingsConflict, "pink noise does not sweep");
    if (sweep.On && m_state.Burst.On)
        return SetResult::refused(
            ErrorCode::SettingsConflict, "F1 bursts: a sweep and bursts at once are not offered");
    const bool wasPlaying = m_playing;
    m_state.Sweep = sweep;
    return changed(Changed::TimedSweep, from, wasPlaying);
}

SetResult Generator::setBurst(const ToneBurst& burst, ChangeFrom from)
{
    if (burst.Cycles < 1 || burst.Cycles > MaxBurstCycles)
        return outOfRange("a burst is 1 to 1000000 cycles");
    if (!(burst.PeriodSeconds >= MinBurstPeriod && burst.PeriodSeconds <= MaxBurstPeriod))
        return outOfRange("the burst period is 1 ms to 1000 s");
    if (!(burst.PhaseDegrees >= 0.0 && burst.PhaseDegrees < 360.0))
        return outOfRange("the burst phase is 0 to 360 degrees");
    if (burst.On && m_options.synthesis != Synthesis::Precise)
        return SetResult::refused(ErrorCode::SettingsConflict,
            "bursts are computed as they play: they need the precise synthesis");
    if (burst.On && m_state.Pink)
        return SetResult::refused(ErrorCode::SettingsConflict, "pink noise does not burst");
    if (burst.On && m_state.Sweep.On)
        return SetResult::refused(
            ErrorCode::SettingsConflict, "F1 sweeps: a sweep and bursts at once are not offered");
    if (burst.On && m_state.Waveform == WavePwm && m_state.ChannelMode == ModeFm)
        return SetResult::refused(
            ErrorCode::SettingsConflict, "PWM in FM takes its period from F2: it does not burst");
    const bool wasPlaying = m_playing;
    m_state.Burst = burst;
    return changed(Changed::Burst, from, wasPlaying);
}

SetResult Generator::setPinkNoise(ChangeFrom from)
{
    if (m_options.synthesis != Synthesis::Precise)
        return SetResult::refused(ErrorCode::SettingsConflict,
            "pink noise is computed as it plays: it needs the precise synthesis");
    if (m_state.ChannelMode == ModeFm)
        return SetResult::refused(ErrorCode::SettingsConflict, "pink noise is no carrier for FM");
    if (m_state.Sweep.On || m_state.Burst.On)
        return SetResult::refused(
            ErrorCode::SettingsConflict, "pink noise neither sweeps nor bursts");
    const bool wasPlaying = m_playing;
    if (m_state.Waveform != WaveNoise)
        m_fmOffered = enablesFmAndSetBit(WaveNoise);
    m_state.Pink = true;
    m_state.Waveform = WaveNoise;
    return changed(Changed::Waveform, from, wasPlaying);
}

SetResult Generator::setTwoTone(remote::TwoToneSet set, ChangeFrom from)
{
    const remote::TwoToneTones tones = remote::twoToneTones(set);
    const double level = levelFactorOf(Tone::F1);
    if (level * tones.share2 < MinLevelFactor)
        return outOfRange("F1's level is too low to share between two tones");
    SetResult result = SetResult::done();
    const auto take = [&](const SetResult& r) {
        if (result.ok() && !r.ok())
            result = r;
    };
    const SetResult restarted = changeTogether(from, [&] {
        // Steady tones: a sweep or bursts of F1 end.
        TimedSweep sweep = m_state.Sweep;
        sweep.On = false;
        take(setTimedSweep(sweep, from));
        ToneBurst burst = m_state.Burst;
        burst.On = false;
        take(setBurst(burst, from));
        take(setWaveform(WaveSine, from));
        take(setChannelMode(ModeF1PlusF2, from));
        take(setFrequency(Tone::F1, tones.f1, from));
        take(setFrequency(Tone::F2, tones.f2, from));
        take(setLevelFactor(Tone::F1, level * tones.share1, from));
        take(setLevelFactor(Tone::F2, level * tones.share2, from));
    });
    return result.ok() ? restarted : result;
}

std::optional<remote::TwoToneSet> Generator::twoTone() const
{
    for (const remote::TwoToneSet set : { remote::TwoToneSet::Smpte, remote::TwoToneSet::Ccif }) {
        const remote::TwoToneTones t = remote::twoToneTones(set);
        const double l1 = levelFactorOf(Tone::F1), l2 = levelFactorOf(Tone::F2);
        if (m_state.Waveform == WaveSine && !m_state.Pink && m_state.ChannelMode == ModeF1PlusF2
            && frequencyMicrohertz(Tone::F1) == int64_t(t.f1) * MicrohertzPerHertz
            && frequencyMicrohertz(Tone::F2) == int64_t(t.f2) * MicrohertzPerHertz
            && std::fabs(l1 * t.share2 - l2 * t.share1) <= 1e-6 * l1)
            return set;
    }
    return std::nullopt;
}

SetResult Generator::setBitCode(const Module1& settings, ChangeFrom from)
{
    if (!isBitPattern(settings.BitCode))
        return SetResult::refused(ErrorCode::IllegalParameterValue, BitSymbolMessage);
    if (!(settings.RepetitiveTime >= MinRepetitiveTime
            && settings.RepetitiveTime <= MaxRepetitiveTime))
        return outOfRange(RepetitiveTimeMessage);
    if (!(settings.BitLength >= float(MinBitLengthUs / 1e6)
            && settings.BitLength <= float(MaxBitLengthUs / 1e6)))
        return outOfRange(BitLengthMessage);
    const bool wasPlaying = m_playing;
    m_module1 = settings;
    return changed(Changed::BitCode, from, wasPlaying);
}

SetResult Generator::setSignalOptions(const SignalOptions& options, ChangeFrom from)
{
    if (options.phaseDegrees < 0 || options.phaseDegrees > MaxPhaseDegrees)
        return outOfRange("the phase is 0 to " + std::to_string(MaxPhaseDegrees) + " degrees");
    if (options.synthesis != Synthesis::Precise
        && (m_state.Sweep.On || m_state.Burst.On || m_state.Pink))
        return SetResult::refused(ErrorCode::SettingsConflict,
            std::string(m_state.Sweep.On ? "a sweep of a set length is"
                    : m_state.Burst.On   ? "F1 bursts are"
                                         : "pink noise is")
                + " on: the exact synthesis loops its second");
    if (options.synthesis != Synthesis::Precise)
        for (const int64_t fine : { m_state.FineFrequency1, m_state.FineFrequency2 })
            if (fine != 0)
                return SetResult::refused(ErrorCode::SettingsConflict,
                    std::string(fine == m_state.FineFrequency1 ? "F1 " : "F2 ") + hertzText(fine)
                        + " Hz is not whole: the exact synthesis loops whole hertz from "
                        + std::to_string(MinFrequency) + " to " + std::to_string(MaxFrequency));
    const bool wasPlaying = m_playing;
    m_options = options;
    return changed(Changed::Options, from, wasPlaying);
}

SetResult Generator::setLatencyMs(int ms, ChangeFrom from)
{
    if (ms < audio::MinLatencyMs || ms > audio::MaxLatencyMs)
        return outOfRange("the latency is " + std::to_string(audio::MinLatencyMs) + " to "
            + std::to_string(audio::MaxLatencyMs) + " ms");
    const bool wasPlaying = m_playing;
    if (m_backend)
        m_backend->setLatencyMilliseconds(ms);
    return changed(Changed::Latency, from, wasPlaying);
}

double Generator::calibrationVpp() const
{
    const std::string device = m_sound ? m_sound->deviceId() : std::string();
    if (const auto known = m_calibrations.find(device); known != m_calibrations.end())
        return known->second;
    double vpp = remote::StartFullScaleVpp;
    if (m_calibrationMemory.recall)
        if (const std::optional<double> kept = m_calibrationMemory.recall(device))
            if (*kept >= remote::MinFullScaleVpp && *kept <= remote::MaxFullScaleVpp)
                vpp = *kept;
    m_calibrations[device] = vpp;
    return vpp;
}

SetResult Generator::setCalibrationVpp(double vpp, ChangeFrom from)
{
    if (!(vpp >= remote::MinFullScaleVpp && vpp <= remote::MaxFullScaleVpp))
        return outOfRange("the calibration is 0.001 to 1000 Vpp");
    static_assert(remote::MinFullScaleVpp == 0.001 && remote::MaxFullScaleVpp == 1000.0);
    const bool wasPlaying = m_playing;
    const std::string device = m_sound ? m_sound->deviceId() : std::string();
    m_calibrations[device] = vpp;
    if (m_calibrationMemory.remember)
        m_calibrationMemory.remember(device, vpp);
    return changed(Changed::Calibration, from, wasPlaying);
}

SetResult Generator::start()
{
    if (!m_sound)
        return soundFailure("no sound device: the settings are only computed");
    try {
        restart();
    } catch (const std::exception& e) {
        return soundFailure(e.what());
    }
    // Within a change of several setters, what came before plays now; a new rate too.
    m_togetherUnheard = 0;
    m_togetherRate = false;
    return SetResult::done();
}

SetResult Generator::stop()
{
    if (!m_sound)
        return SetResult::done();
    m_playing = false;
    m_sound->Stop(); // a fade to silence cannot fail
    return SetResult::done();
}

SetResult Generator::sweepStep(ChangeFrom from)
{
    if ((from != ChangeFrom::Panel && !m_playing) || m_state.Sweep.On)
        return SetResult::done();
    const int16_t next = nextSweepFrequency(m_state.SweepMode, m_state.Frequency1);
    if (next == m_state.Frequency1)
        return SetResult::done();
    return setFrequency(Tone::F1, next, from);
}

void Generator::setMarkerX(Tone tone, float x)
{
    (tone == Tone::F1 ? m_state.Marker1X : m_state.Marker2X) = x;
}

// ---- sound ------------------------------------------------------------------------------

void Generator::restart()
{
    // The sound objects are made anew over the old ones, which are not released: the sound
    // that plays goes on until the new buffer's hand-over cross-fades from it, rather than
    // fading to silence and back. A restart that fails silences it.
    m_playing = false;
    const audio::FrameEncoding encoding = encodingOf(m_options.format);
    if (m_listener)
        m_listener->restartBegins();
    try {
        m_samples.setAside(m_state.Samples);
        m_framesInSamples = false;
        m_state.Samples.assign(playSampleCount(m_module1.RepetitiveTime, m_state.SampleRate), 0);
        m_sound->setFrameEncoding(encoding);
        m_sound->InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
        if (m_listener)
            m_listener->soundOpened();
        synthesize();
        if (m_listener)
            m_listener->samplesReady();
        if (streaming()) {
            // Computed as it plays, going on from each tone's phase; the buffer above stays
            // the time view's picture of it.
            m_sound->PlayStream(std::make_unique<ToneStream>(
                streamSettings(m_state, m_steps.dutyPercent), m_options, m_random.engine()()));
            m_playing = true;
            if (m_listener)
                m_listener->soundStarted();
            return;
        }
        const int32_t byteCount
            = audio::bufferByteCount(m_module1.RepetitiveTime, m_state.SampleRate, encoding);
        const bool general = m_options != SignalOptions {};
        const void* data = general ? static_cast<const void*>(m_frames.bytes.data())
                                   : static_cast<const void*>(m_state.Samples.data());
        const size_t available
            = general ? m_frames.bytes.size() : m_state.Samples.size() * sizeof(int16_t);
        // The write must stay inside the buffer; the dialog's limits keep it there, and a
        // count beyond them is refused like any other failure rather than read past the end.
        if (byteCount < 0 || size_t(byteCount) > available)
            throw std::range_error("buffer byte count beyond the samples");
        m_sound->SetSignalPhase(signalPhaseOf(m_state));
        m_sound->WriteBuffer(0, byteCount, data, 0);
        m_sound->Play(audio::SoundObjects::PlayLooping);
    } catch (...) {
        m_sound->Stop(); // nothing new plays: the old sound ends too
        throw;
    }
    m_playing = true;
    if (m_listener)
        m_listener->soundStarted();
}

bool Generator::streaming() const
{
    return streamsSignal(m_options, m_state.Waveform);
}

void Generator::synthesize()
{
    const SynthSettings settings = synthSettings(m_state, m_steps.dutyPercent);
    PhaseSteps steps;
    if (m_options == SignalOptions {}) {
        steps = m_samples.synthesize(settings, m_module1, m_random, m_state.Samples);
        m_framesInSamples = false;
    } else {
        // One synthesis: the device's frames, and their 16-bit view for the time view (the
        // same noise in both).
        const uint64_t before = m_framesCache.samplesId();
        steps = m_framesCache.synthesize(settings, m_module1, m_options, m_random, m_frames);
        if (!m_framesInSamples || m_framesCache.samplesId() != before) {
            m_samples.forget();
            samples16(m_frames, m_state.Samples);
            m_framesInSamples = true;
        }
    }
    m_state.PhaseStep1 = steps.PhaseStep1;
    m_state.PhaseStep2 = steps.PhaseStep2;
}

uint64_t Generator::samplesId() const
{
    // The two caches count on their own; the top bit keeps their ids apart.
    return m_framesInSamples ? (uint64_t(1) << 63) | m_framesCache.samplesId()
                             : m_samples.samplesId();
}

std::optional<std::string> Generator::watchDevice()
{
    if (!m_backend || !m_sound)
        return std::nullopt;
    std::optional<std::string> lost = m_backend->lostDevice();
    // A device that goes while nothing plays is not news: the backend has marked it, and
    // the next Start opens afresh on whatever is there then.
    if (lost && m_playing && m_sound->hasSoundDevice()) {
        m_sound->ReleaseSound();
        m_playing = false;
        if (m_listener)
            m_listener->settingsChanged(Changed::Output);
        return lost;
    }
    return std::nullopt;
}

} // namespace vellox
