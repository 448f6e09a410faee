#pragma once

// The generator behind every face: the window, --play and the remote server. It holds the
// settings (the state record, the bit-code settings and the front panel's spinner steps),
// computes the buffer, restarts the sound, runs the sweep's step and watches the device.
// No Qt: the window's handlers change a setting here and restart; the faces without a
// window do the same without the front panel around it. UI thread only.

#include "GeneratorState.h"
#include "SampleCache.h"
#include "SignalOptions.h"
#include "SynthTypes.h"
#include "Synthesizer.h"
#include "UniformSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vellox {

namespace audio {
    class SoundBackend;
    class SoundObjects;
}

class Generator {
public:
    explicit Generator(audio::SoundBackend& backend);
    ~Generator();
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    GeneratorState& state() { return m_state; }
    const GeneratorState& state() const { return m_state; }
    Module1& module1() { return m_module1; }
    const Module1& module1() const { return m_module1; }
    const PanelSteps& steps() const { return m_steps; }
    // How the buffer is made beyond the front panel's settings: the synthesis, the dither,
    // the device's sample format and the right channel's phase. The next restart uses them.
    const SignalOptions& signalOptions() const { return m_options; }
    void setSignalOptions(const SignalOptions& options) { m_options = options; }
    // The settings of a run without a window, taken as they are.
    void adopt(const GeneratorState& state, const Module1& module1, const PanelSteps& steps,
        const SignalOptions& options);
    audio::SoundObjects& sound() { return *m_sound; }
    const audio::SoundObjects& sound() const { return *m_sound; }
    audio::SoundBackend& backend() { return m_backend; }

    // The start values (nothing sounds).
    void loadStartValues();
    // Opens the device with an empty, stopped buffer for the current rate. Throws SoundError
    // when it does not open, leaving no sound object behind.
    void openSound();

    // Settings, as the front panel's controls set them: each changes the state and nothing
    // else; the caller restarts (or not) as its face does.
    void setLevelStep(int tone, int step); // tone 1 or 2
    void setNoiseStep(int step);
    void setDutyPercent(int percent);

    // What the hooks of a restart draw, in the order the restart reaches them.
    struct RestartHooks {
        std::function<void()> opened; // the device and its buffer are there
        std::function<void()> synthesized; // Samples holds the new buffer
    };
    // The one path to sound: the old sound goes on until the new buffer takes over; the
    // objects are released and created again, the buffer synthesized (or taken again from
    // the cache), written and played looping. Throws on any failure, after which nothing
    // new plays (whatever was done stays done).
    void restart(const RestartHooks& hooks = {});
    // "Stop": the buffer halts; a later restart plays again.
    void stop();
    // Whether the last restart played and nothing has silenced it since (Stop, a rate
    // change, a lost device).
    bool playing() const { return m_playing; }

    // Recomputes Samples and the phase steps from the state (or takes them again).
    void synthesize();
    // Identifies what Samples holds: every new content gets a new id.
    uint64_t samplesId() const;
    // The frames the last restart wrote, in the device's format, when the options are not the
    // defaults (with them, Samples is what plays).
    const SignalBuffer& frames() const { return m_frames; }

    // A sample-rate option: the rate is set, a new stopped buffer replaces the old one at
    // once (when a device is open: without one the rate is only recorded) and Samples is
    // sized afresh. Throws when the new buffer cannot be made; the rate is taken anyway.
    void setSampleRate(int32_t rate);

    // The sweep's step: the F1 that the current sweep mode moves to from F1 (F1 itself in
    // "manual").
    int16_t nextSweepFrequency() const;

    // Asks the sound layer whether the device has gone away since it opened; on a loss the
    // sound is released (the next restart opens it afresh) and the reason returned, once.
    std::optional<std::string> watchDevice();

private:
    audio::SoundBackend& m_backend;
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
};

} // namespace vellox
