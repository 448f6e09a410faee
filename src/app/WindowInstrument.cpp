#include "WindowInstrument.h"

#include "FormGen.h"
#include "OutputSettings.h"
#include "UpDown.h"

#include <QRadioButton>

namespace vellox {

using remote::SetResult;
using remote::Tone;

WindowInstrument::WindowInstrument(FormGen& window)
    : GeneratorInstrument(window.generator())
    , m_window(window)
{
}

template <class Change> SetResult WindowInstrument::change(Change&& change)
{
    const FormGen::RemoteChange bracket(m_window, true);
    change();
    if (!bracket.failure().empty())
        return soundFailure(bracket.failure());
    return SetResult::done();
}

SetResult WindowInstrument::changeOutput(const std::function<void(OutputSettings&)>& edit)
{
    return change([&] {
        OutputSettings settings = m_window.outputSettings();
        edit(settings);
        // A remote change is the script's, not the user's choice to keep.
        m_window.applyOutputSettings(settings, false);
    });
}

SetResult WindowInstrument::reset()
{
    // The front panel's start values, each through its control, then the output off.
    SetResult result = change([&] {
        m_window.Option1[WaveSine]->setChecked(true);
        m_window.Option2->setChecked(true);
        m_window.Option4->setChecked(true);
        m_window.UpDown1->setValue(StartFrequency1);
        m_window.UpDown3->setValue(StartFrequency2);
        m_window.UpDown2->setValue(PanelSteps {}.level1);
        m_window.UpDown4->setValue(PanelSteps {}.level2);
        m_window.UpDown5->setValue(PanelSteps {}.noise);
        m_window.UpDown7->setValue(PanelSteps {}.dutyPercent);
        m_window.module1() = startModule1();
        OutputSettings settings = m_window.outputSettings();
        settings.signal = SignalOptions {};
        settings.sampleRate = StartSampleRate;
        m_window.applyOutputSettings(settings, false);
    });
    const SetResult stopped = setOutput(false);
    return result.ok() ? stopped : result;
}

SetResult WindowInstrument::setFrequency(Tone tone, int16_t hz)
{
    return change([&] { (tone == Tone::F1 ? m_window.UpDown1 : m_window.UpDown3)->setValue(hz); });
}

SetResult WindowInstrument::setWaveform(WaveformIndex waveform)
{
    return change([&] { m_window.Option1[size_t(waveform)]->setChecked(true); });
}

SetResult WindowInstrument::setChannelMode(ChannelModeValue mode)
{
    QRadioButton* const options[] = { m_window.Option2, m_window.Option3, m_window.Option7,
        m_window.Option8, m_window.Option9, m_window.Option10 };
    QRadioButton* option = options[mode - ModeF1Both];
    if (!option->isEnabled())
        return fmRefused();
    return change([&] { option->setChecked(true); });
}

SetResult WindowInstrument::setLevelStep(Tone tone, int step)
{
    return change(
        [&] { (tone == Tone::F1 ? m_window.UpDown2 : m_window.UpDown4)->setValue(step); });
}

SetResult WindowInstrument::setNoiseStep(int step)
{
    return change([&] { m_window.UpDown5->setValue(step); });
}

SetResult WindowInstrument::setDutyPercent(int percent)
{
    return change([&] { m_window.UpDown7->setValue(percent); });
}

SetResult WindowInstrument::setSampleRate(int32_t rate)
{
    const bool wasPlaying = generator().playing();
    if (rate == m_window.state().SampleRate)
        return SetResult::done();
    SetResult result = change([&] {
        if (const size_t index = sampleRateIndex(rate); index < SampleRateCount) {
            m_window.RateOption[index]->setChecked(true); // silences, as the option does
        } else {
            OutputSettings settings = m_window.outputSettings();
            settings.sampleRate = rate;
            m_window.applyOutputSettings(settings, false);
        }
    });
    // The output stays as the script left it: on, at the new rate.
    if (result.ok() && wasPlaying && !generator().playing())
        return setOutput(true);
    return result;
}

SetResult WindowInstrument::setSweepMode(remote::SweepMode mode)
{
    return change([&] {
        (mode == remote::SweepMode::Linear               ? m_window.Option5
                : mode == remote::SweepMode::Logarithmic ? m_window.Option6
                                                         : m_window.Option4)
            ->setChecked(true);
    });
}

SetResult WindowInstrument::setBitCode(const Module1& settings)
{
    // As the dialog's OK: the settings stored, then the restart that follows it.
    return change([&] {
        m_window.module1() = settings;
        m_window.Play_Click();
    });
}

SetResult WindowInstrument::setOutput(bool on)
{
    // "Start" and "Stop" themselves: here the sound is meant to change.
    const FormGen::RemoteChange bracket(m_window, false);
    if (on)
        m_window.Play_Click();
    else
        m_window.Stop_Click();
    if (!bracket.failure().empty())
        return soundFailure(bracket.failure());
    return SetResult::done();
}

SetResult WindowInstrument::setSynthesis(Synthesis synthesis)
{
    return changeOutput([&](OutputSettings& s) { s.signal.synthesis = synthesis; });
}

SetResult WindowInstrument::setDither(Dither dither)
{
    return changeOutput([&](OutputSettings& s) { s.signal.dither = dither; });
}

SetResult WindowInstrument::setSampleFormat(SampleFormat format)
{
    return changeOutput([&](OutputSettings& s) { s.signal.format = format; });
}

SetResult WindowInstrument::setPhaseDegrees(int degrees)
{
    return changeOutput([&](OutputSettings& s) { s.signal.phaseDegrees = degrees; });
}

SetResult WindowInstrument::setLatencyMs(int32_t ms)
{
    return changeOutput([&](OutputSettings& s) { s.latencyMs = ms; });
}

} // namespace vellox
