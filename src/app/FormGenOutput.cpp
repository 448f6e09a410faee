// The window's output settings: the dialog, the settings in force, the rate shown in the
// "Settings" frame.

#include "FormGen.h"

#include "Messages.h"
#include "SoundBackend.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QSignalBlocker>

namespace vellox {

OutputSettings FormGen::outputSettings() const
{
    OutputSettings s;
    s.signal = m_generator.signalOptions();
    s.sampleRate = m_state.SampleRate;
    s.latencyMs = m_backend.latencyMilliseconds();
    s.remoteOn = m_remoteOn;
    s.remoteAddress = m_remoteAddress;
    return s;
}

void FormGen::showSampleRate()
{
    // The frame's option of the rate, or none for a rate it does not offer; the handlers
    // run only for an option becoming checked, so nothing restarts here.
    const size_t index = sampleRateIndex(m_state.SampleRate);
    for (size_t i = 0; i < SampleRateCount; ++i) {
        const QSignalBlocker quiet(RateOption[i]);
        RateOption[i]->setAutoExclusive(false);
        RateOption[i]->setChecked(i == index);
        RateOption[i]->setAutoExclusive(true);
    }
    showOutputDevice();
}

void FormGen::applyOutputSettings(const OutputSettings& settings, bool remember)
{
    const bool wasPlaying = m_generator.playing();
    const bool soundChanges = settings.signal != m_generator.signalOptions()
        || settings.sampleRate != m_state.SampleRate
        || settings.latencyMs != m_backend.latencyMilliseconds();
    m_generator.setSignalOptions(settings.signal);
    m_backend.setLatencyMilliseconds(settings.latencyMs);
    if (settings.sampleRate != m_state.SampleRate) {
        try {
            m_generator.setSampleRate(settings.sampleRate);
        } catch (const std::exception& e) {
            reportFailure(e.what());
        }
    }
    showSampleRate();
    if (settings.remoteOn != m_remoteOn || settings.remoteAddress != m_remoteAddress) {
        m_remoteAddress = settings.remoteAddress;
        m_remoteOn = settings.remoteOn;
        if (m_remoteSwitch) {
            const std::string trouble = m_remoteSwitch(m_remoteOn, m_remoteAddress);
            if (!trouble.empty()) {
                m_remoteOn = false;
                showMessage(this,
                    QStringLiteral("The remote control cannot listen on %1: %2")
                        .arg(QString::fromStdString(m_remoteAddress),
                            QString::fromStdString(trouble)));
            }
        }
    }
    if (remember && m_rememberOutput)
        m_rememberOutput(outputSettings());
    if (wasPlaying && soundChanges && !m_launching)
        Play_Click();
    else
        SynthesizeSignal(); // the time view shows the buffer as it will now play
}

void FormGen::showOutputSettings()
{
    m_deviceRateShown = m_backend.deviceRate(outputDevice());
    showOutputDevice();
    OutputSettingsDialog dialog(outputSettings(), m_deviceRateShown, this);
    if (dialog.exec() == QDialog::Accepted)
        applyOutputSettings(dialog.settings());
}

} // namespace vellox
