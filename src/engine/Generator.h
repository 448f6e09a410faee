#pragma once

// The generator behind every face: the window, the command line, --play, --render and the
// remote control. It holds the settings (the state record, the bit-code settings, the front
// panel's spinner steps, the output options), the sound objects and the sample caches.
// Every face changes a setting through the same named setter, which checks the value and
// says why it refuses, decides whether the sound restarts, and tells the listener (the
// window, which redraws its controls from the state) once. The state is read-only from
// outside. No Qt. UI thread only.

#include "GeneratorState.h"
#include "InstrumentModel.h"
#include "SampleCache.h"
#include "SignalOptions.h"
#include "SynthTypes.h"
#include "Synthesizer.h"
#include "ToneStream.h"
#include "UniformSource.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vellox {

namespace audio {
    class SoundBackend;
    class SoundObjects;
}

using remote::SetResult;
using remote::Tone;

// The sweep's clock: a step of F1 every 10 ms while the sound plays (sweepStep).
inline constexpr int SweepStepMs = 10;

// Who asks for a change: it decides what the sound does after it.
enum class ChangeFrom : uint8_t {
    // A control of the front panel: every change starts the sound, as "Start" does, but a
    // sample-rate option, which silences it (the sweep's clock or the next change starts it).
    Panel,
    // A script (the remote control, a dialog's settings): the output stays as it was. A
    // sound that plays restarts with the change; one that is off stays off.
    Script,
    // The settings alone (the command line before anything plays, a dialog's edits that a
    // front-panel change restarts next): nothing restarts.
    Settings,
};

// What a change notification names: a set of these bits.
namespace Changed {
    enum : uint32_t {
        Frequency1 = 1u << 0,
        Frequency2 = 1u << 1,
        Waveform = 1u << 2,
        ChannelMode = 1u << 3,
        Level1 = 1u << 4,
        Level2 = 1u << 5,
        Noise = 1u << 6,
        Duty = 1u << 7,
        SampleRate = 1u << 8,
        Sweep = 1u << 9,
        BitCode = 1u << 10,
        Options = 1u << 11, // synthesis, dither, sample format, phase
        Latency = 1u << 12,
        Output = 1u << 13, // the sound started or stopped
        Calibration = 1u << 14,
        TimedSweep = 1u << 15,
        Burst = 1u << 16,
        All = (1u << 17) - 1,
    };
}

// Hears what the generator does, on the UI thread. Every function may be left alone.
class GeneratorListener {
public:
    virtual ~GeneratorListener() = default;
    // The settings named by `what` (Changed bits) hold their new values; comes before the
    // restart the change causes, if any.
    virtual void settingsChanged(uint32_t what) { (void)what; }
    // The steps of a restart, in order: it begins (the old sound plays on until the new
    // buffer takes over), the device and its buffer are there, Samples holds the new buffer,
    // the new buffer plays. A restart that fails stops after the step it reached.
    virtual void restartBegins() { }
    virtual void soundOpened() { }
    // Samples holds the buffer of the settings in force: in a restart, and after a script's
    // change that restarts nothing (the generator computes it then only for a listener).
    virtual void samplesReady() { }
    virtual void soundStarted() { }
};

class Generator {
public:
    // A generator that plays through `backend`, which must outlive it.
    explicit Generator(audio::SoundBackend& backend);
    // A generator of settings alone (--render): it computes buffers but has no sound; asked
    // to play, it refuses.
    Generator();
    ~Generator();
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    void setListener(GeneratorListener* listener) { m_listener = listener; }

    // ---- what is set ----------------------------------------------------------------
    const GeneratorState& state() const { return m_state; }
    const Module1& module1() const { return m_module1; }
    const PanelSteps& steps() const { return m_steps; }
    // How the buffer is made beyond the front panel's settings: the synthesis, the dither,
    // the device's sample format and the right channel's phase.
    const SignalOptions& signalOptions() const { return m_options; }
    int frequency(Tone tone) const
    {
        return tone == Tone::F1 ? m_state.Frequency1 : m_state.Frequency2;
    }
    int levelStep(Tone tone) const { return tone == Tone::F1 ? m_steps.level1 : m_steps.level2; }
    // The level factor in force exactly as it was set (a fine level in double precision).
    double levelFactorOf(Tone tone) const
    {
        return tone == Tone::F1 ? levelFactor1(m_state) : levelFactor2(m_state);
    }
    // Whether the tone's level is one set beyond the spinner's steps.
    bool fineLevel(Tone tone) const
    {
        return (tone == Tone::F1 ? m_state.FineLevel1 : m_state.FineLevel2) != 0.0;
    }
    remote::SweepMode sweepMode() const;
    // Whether "Modulation FM" may be chosen: at start, and after a waveform that offers it
    // was chosen (the front panel greys the option for the others).
    bool fmOffered() const { return m_fmOffered; }
    // What the sound server holds ahead, in milliseconds (the backend's; the default without one).
    int latencyMs() const;
    // Whether the last restart played and nothing has silenced it since (Stop, a rate
    // option, a lost device).
    bool playing() const { return m_playing; }

    // ---- the setters ----------------------------------------------------------------
    // Each checks its value (a refusal changes nothing and says why, with the remote
    // control's error code), takes it, tells the listener and then restarts the sound as
    // `from` decides. A restart that fails is the change's failure (the sound layer's reason,
    // an execution error); the setting stays taken, and nothing new plays.

    // Every setting to its start value, the output options to their defaults, the output off.
    // What the sound server holds ahead is the machine's, not the signal's, and stays.
    SetResult reset();
    SetResult setFrequency(Tone tone, int hz, ChangeFrom from);
    // F1 or F2 to the micro-hertz. Whole hertz within MinFrequency..MaxFrequency is
    // setFrequency; any other value only in the precise synthesis, from 1 Hz to 0.45 of the
    // rate (maxStreamFrequency), refused in the exact one, which loops whole hertz.
    SetResult setFrequencyMicrohertz(Tone tone, int64_t microhertz, ChangeFrom from);
    int64_t frequencyMicrohertz(Tone tone) const;
    // Waits until the device has been handed the last change (the audio thread took it and
    // its first frames left the callback: about one device period), at most limitMs; false
    // when that did not come. At once without a device. Sleeps on the calling thread.
    bool waitForOutput(int limitMs) const;
    SetResult setWaveform(WaveformIndex waveform, ChangeFrom from);
    // "Modulation FM" is refused while it is not offered (fmOffered); a waveform chosen while
    // FM is set keeps it, as the front panel does.
    SetResult setChannelMode(ChannelModeValue mode, ChangeFrom from);
    SetResult setLevelStep(Tone tone, int step, ChangeFrom from);
    // Any level factor from MinLevelFactor to FullScaleLevel (0 dBFS), in both syntheses. A
    // factor that a step gives (in single precision, as the formulas store it) is that step;
    // any other is a fine level, and the spinner shows the step nearest to it.
    SetResult setLevelFactor(Tone tone, double factor, ChangeFrom from);
    SetResult setNoiseStep(int step, ChangeFrom from);
    SetResult setDutyPercent(int percent, ChangeFrom from);
    // One of PlayableRates. From the front panel the rate silences the sound; a script's
    // sound plays on at the new rate.
    SetResult setSampleRate(int32_t rate, ChangeFrom from);
    // Only recorded: the sweep's clock steps F1 while the sound plays (sweepStep).
    SetResult setSweepMode(remote::SweepMode mode, ChangeFrom from);
    // The sweep of F1 of a set length: a stop frequency from 1 Hz to 0.45 of the rate, a
    // sweep time of 10 ms to 1000 s, hold and return times of 0 to 1000 s. On only in the
    // precise synthesis, which computes it as it plays; the stepped sweep stands still
    // meanwhile. The bit codes, which loop, do not sweep.
    SetResult setTimedSweep(const TimedSweep& sweep, ChangeFrom from);
    // Tone bursts of F1: 1 to 1000000 cycles every 1 ms to 1000 s, from a phase of 0 to 360
    // degrees. On only in the precise synthesis, and not with a sweep of a set length.
    SetResult setBurst(const ToneBurst& burst, ChangeFrom from);
    // Pink noise in F1's place, its level F1's (the rms of a sine of that level): only in the
    // precise synthesis, not in FM, not with a sweep or bursts. Any waveform chosen ends it.
    SetResult setPinkNoise(ChangeFrom from);
    // A two-tone set: sines in "F1+ F2" at its frequencies, the levels in its ratio, their
    // peaks adding up to F1's level before (so the set's peak is the tone's). As one change.
    SetResult setTwoTone(remote::TwoToneSet set, ChangeFrom from);
    // The set the settings are, if they are one.
    std::optional<remote::TwoToneSet> twoTone() const;
    // A pattern of '0' and '1', a bit length and a repetition time within the bit-code
    // dialog's ranges.
    SetResult setBitCode(const Module1& settings, ChangeFrom from);
    SetResult setSignalOptions(const SignalOptions& options, ChangeFrom from);
    SetResult setLatencyMs(int ms, ChangeFrom from);
    // The output's calibration: the volts peak to peak of a sine at the unit level (the
    // spinner's 0 dB), measured at the output, for each output device. A device not
    // calibrated reads the remembered value (calibrationMemory) or StartFullScaleVpp.
    double calibrationVpp() const;
    SetResult setCalibrationVpp(double vpp, ChangeFrom from);
    // Where calibrations are kept between runs; none by default (the tests, --render).
    struct CalibrationMemory {
        std::function<std::optional<double>(const std::string& device)> recall;
        std::function<void(const std::string& device, double vpp)> remember;
    };
    void setCalibrationMemory(CalibrationMemory memory) { m_calibrationMemory = std::move(memory); }
    // "Start" (the one path to sound) and "Stop": the buffer halts, a later start plays again.
    SetResult start();
    SetResult stop();

    // Several setters as one change: one notification and one restart at the end, as `from`
    // decides (for a script: when the output plays at the end and something changed since
    // it last started). A new rate opens the device once, at the end, however often it
    // changed. start and stop act at once. The setters' own `from` is then not used.
    // Returns the restart's failure; the setters return their refusals.
    SetResult changeTogether(ChangeFrom from, const std::function<void()>& changes);
    // Inside changeTogether: what the change has set so far is heard now (the notification
    // and the restart of its end), and the change goes on from there. Outside it, nothing.
    SetResult settle(ChangeFrom from);

    // The sweep's step: F1 moves to the next frequency of the sweep mode, as a change `from`
    // the face's clock. Nothing happens in "manual", and from a script's clock (--play) while
    // nothing plays.
    SetResult sweepStep(ChangeFrom from);

    // What the window draws: the scales' cursor lines and the time view's span. Plain
    // fields of the state record, no change of the signal.
    void setMarkerX(Tone tone, float x);
    void setTimeViewSpan(int32_t span) { m_state.TimeViewSpan = span; }

    // ---- sound ----------------------------------------------------------------------
    // Opens the device with an empty, stopped buffer for the current rate. Throws SoundError
    // when it does not open, leaving no sound object behind.
    void openSound();
    audio::SoundObjects& sound();
    const audio::SoundObjects& sound() const;
    // Asks the sound layer whether the device has gone away since it opened; on a loss the
    // sound is released (the next start opens it afresh) and the reason returned, once.
    std::optional<std::string> watchDevice();
    // Releases the sound objects (the program ends).
    void releaseSound();

    // Recomputes Samples and the phase steps from the state (or takes them again).
    void synthesize();
    // Identifies what Samples holds: every new content gets a new id.
    uint64_t samplesId() const;
    // The frames the last restart wrote, in the device's format, when the options are not the
    // defaults (with them, Samples is what plays).
    const SignalBuffer& frames() const { return m_frames; }

private:
    // The start values of every setting (nothing sounds).
    void loadStartValues();
    // The common end of every setter: tells the listener and restarts as `from` decides.
    SetResult changed(uint32_t what, ChangeFrom from, bool wasPlaying);
    // The one path to sound: the old sound goes on until the new buffer takes over; the
    // objects are released and created again, the buffer synthesized (or taken again from
    // the cache), written and played looping, or in the precise synthesis a stream played
    // in its place. Throws on any failure.
    void restart();
    SetResult restartFor(uint32_t what, ChangeFrom from, bool wasPlaying);
    SetResult finishTogether(ChangeFrom from);
    bool restarts(uint32_t what, ChangeFrom from, bool wasPlaying) const;
    void applySampleRate(int32_t rate);
    // Whether the sound is a stream, computed as it plays (streamsSignal).
    bool streaming() const;

    audio::SoundBackend* m_backend = nullptr;
    GeneratorListener* m_listener = nullptr;
    GeneratorState m_state;
    Module1 m_module1;
    PanelSteps m_steps;
    UniformSource m_random;
    std::unique_ptr<audio::SoundObjects> m_sound;
    // The buffers of Samples worth taking again: restart and a rate change set Samples
    // aside before they overwrite it.
    SampleCache m_samples;
    // With other options than the defaults, the device's frames and their cache; Samples is
    // then their 16-bit view, for the time view.
    SignalOptions m_options;
    SignalBuffer m_frames;
    SignalCache m_framesCache;
    bool m_framesInSamples = false; // Samples holds the view of m_frames
    bool m_playing = false;
    bool m_fmOffered = true;
    // The calibrations set or recalled in this run, by output device ("" the default one).
    mutable std::map<std::string, double> m_calibrations;
    CalibrationMemory m_calibrationMemory;
    // changeTogether: how deep, what changed so far, what of it no buffer that plays holds
    // yet, and whether the device still has to take a new rate.
    int m_together = 0;
    uint32_t m_togetherChanged = 0;
    uint32_t m_togetherUnheard = 0;
    bool m_togetherRate = false;
};

// The command's answer to a restart that failed: the sound layer's reason as an execution
// error.
SetResult soundFailure(const std::string& reason);

} // namespace vellox
