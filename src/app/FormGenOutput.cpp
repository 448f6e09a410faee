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
    s.latencyMs = m_generator.latencyMs();
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
    // One change of the generator, as a script's: a sound that played restarts with the new
    // settings, one that was off stays off.
    std::string rateFailure;
    const SetResult restarted = m_generator.changeTogether(ChangeFrom::Script, [&] {
        if (settings.signal != m_generator.signalOptions())
            m_generator.setSignalOptions(settings.signal, ChangeFrom::Script);
        if (settings.latencyMs != m_generator.latencyMs())
            m_generator.setLatencyMs(settings.latencyMs, ChangeFrom::Script);
        if (settings.sampleRate != m_state.SampleRate) {
            if (const SetResult r
                = m_generator.setSampleRate(settings.sampleRate, ChangeFrom::Script);
                !r.ok())
                rateFailure = r.error().detail();
        }
    });
    if (!rateFailure.empty())
        reportFailure(rateFailure);
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
    if (!restarted.ok())
        playFailed(restarted);
}

namespace {

    // What the dialog's user changed (`chosen` against what it `opened` with) over the
    // settings in force now: a change made elsewhere while it was open stays.
    OutputSettings userChanges(
        const OutputSettings& opened, const OutputSettings& chosen, OutputSettings now)
    {
        auto take = [](auto& field, const auto& before, const auto& after) {
            if (after != before)
                field = after;
        };
        take(now.signal.synthesis, opened.signal.synthesis, chosen.signal.synthesis);
        take(now.signal.dither, opened.signal.dither, chosen.signal.dither);
        take(now.signal.format, opened.signal.format, chosen.signal.format);
        take(now.signal.phaseDegrees, opened.signal.phaseDegrees, chosen.signal.phaseDegrees);
        take(now.signal.ditherSeed, opened.signal.ditherSeed, chosen.signal.ditherSeed);
        take(now.sampleRate, opened.sampleRate, chosen.sampleRate);
        take(now.latencyMs, opened.latencyMs, chosen.latencyMs);
        take(now.remoteOn, opened.remoteOn, chosen.remoteOn);
        take(now.remoteAddress, opened.remoteAddress, chosen.remoteAddress);
        return now;
    }

} // namespace

void FormGen::showOutputSettings()
{
    m_deviceRateShown = m_backend.deviceRate(outputDevice());
    showOutputDevice();
    const OutputSettings opened = outputSettings();
    OutputSettingsDialog dialog(opened, m_deviceRateShown, this);
    if (dialog.exec() == QDialog::Accepted)
        applyOutputSettings(userChanges(opened, dialog.settings(), outputSettings()));
}

void FormGen::showRemoteExposure(const std::string& where)
{
    const QString title = QString::fromLatin1(WindowTitle);
    setWindowTitle(where.empty()
            ? title
            : title + QStringLiteral(" - remote control open to the network at ")
                + QString::fromStdString(where));
}

} // namespace vellox
