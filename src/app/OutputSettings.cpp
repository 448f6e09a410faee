#include "OutputSettings.h"

#include "Messages.h"
#include "ProgramLook.h"
#include "SdlSoundBackend.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <charconv>

namespace vellox {

std::optional<RemoteAddress> parseRemoteAddress(const std::string& text, bool anyPort)
{
    RemoteAddress address { "127.0.0.1", 0 };
    std::string port = text;
    if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        address.host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.host.empty())
            return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size()
        || value < (anyPort ? 0U : 1U) || value > 65535)
        return std::nullopt;
    address.port = uint16_t(value);
    return address;
}

OutputSettingsDialog::OutputSettingsDialog(
    const OutputSettings& settings, std::optional<int32_t> deviceRate, QWidget* parent)
    : QDialog(parent)
    , m_initial(settings)
{
    setObjectName(QStringLiteral("OutputSettings"));
    setWindowTitle(QStringLiteral("Output settings"));
    setPalette(programPalette());
    auto* form = new QFormLayout;

    synthesis = new QComboBox(this);
    synthesis->setObjectName(QStringLiteral("synthesis"));
    synthesis->addItem(QStringLiteral("Exact: the formulas as written"));
    synthesis->addItem(QStringLiteral("Precise: double precision, the cleanest tone"));
    synthesis->setCurrentIndex(int(settings.signal.synthesis));
    form->addRow(QStringLiteral("Synthesis"), synthesis);

    dither = new QComboBox(this);
    dither->setObjectName(QStringLiteral("dither"));
    dither->addItem(QStringLiteral("None"));
    dither->addItem(QStringLiteral("Triangular (TPDF), 1 step"));
    dither->setCurrentIndex(int(settings.signal.dither));
    form->addRow(QStringLiteral("Dither"), dither);

    sampleFormat = new QComboBox(this);
    sampleFormat->setObjectName(QStringLiteral("sampleFormat"));
    sampleFormat->addItem(QStringLiteral("16-bit"));
    sampleFormat->addItem(QStringLiteral("24-bit"));
    sampleFormat->addItem(QStringLiteral("32-bit float"));
    sampleFormat->setCurrentIndex(int(settings.signal.format));
    form->addRow(QStringLiteral("Sample format"), sampleFormat);

    sampleRate = new QComboBox(this);
    sampleRate->setObjectName(QStringLiteral("sampleRate"));
    for (const int32_t rate : PlayableRates) {
        sampleRate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
        if (rate == settings.sampleRate)
            sampleRate->setCurrentIndex(sampleRate->count() - 1);
    }
    form->addRow(QStringLiteral("Sample rate"), sampleRate);
    deviceRateNote = new QLabel(this);
    deviceRateNote->setObjectName(QStringLiteral("deviceRateNote"));
    deviceRateNote->setText(deviceRate
            ? QStringLiteral("The output device runs at %1 Hz; at any other rate the sound "
                             "server resamples.")
                  .arg(*deviceRate)
            : QStringLiteral("The sound system does not tell the output device's own rate."));
    deviceRateNote->setWordWrap(true);
    form->addRow(QString(), deviceRateNote);

    phase = new QSpinBox(this);
    phase->setObjectName(QStringLiteral("phase"));
    phase->setRange(0, MaxPhaseDegrees);
    phase->setSuffix(QStringLiteral(" degrees"));
    phase->setValue(settings.signal.phaseDegrees);
    phase->setToolTip(QStringLiteral("The right channel against the left, where both carry the "
                                     "same frequency (see Help)"));
    form->addRow(QStringLiteral("Phase of the right channel"), phase);

    latency = new QSpinBox(this);
    latency->setObjectName(QStringLiteral("latency"));
    latency->setRange(audio::MinLatencyMs, audio::MaxLatencyMs);
    latency->setSuffix(QStringLiteral(" ms"));
    latency->setValue(settings.latencyMs);
    latency->setToolTip(QStringLiteral("Sound the sound server holds ahead: less answers a change "
                                       "sooner, more never runs dry on a busy machine"));
    form->addRow(QStringLiteral("Latency"), latency);

    remoteOn = new QCheckBox(QStringLiteral("Answer SCPI commands on"), this);
    remoteOn->setObjectName(QStringLiteral("remoteOn"));
    remoteOn->setChecked(settings.remoteOn);
    remoteAddress = new QLineEdit(QString::fromStdString(settings.remoteAddress), this);
    remoteAddress->setObjectName(QStringLiteral("remoteAddress"));
    remoteAddress->setToolTip(QStringLiteral("[ADDRESS:]PORT; 127.0.0.1 unless an address is "
                                             "given, 5025 is the instruments' custom"));
    form->addRow(remoteOn, remoteAddress);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

OutputSettings OutputSettingsDialog::settings() const
{
    OutputSettings s = m_initial;
    s.signal.synthesis = Synthesis(synthesis->currentIndex());
    s.signal.dither = Dither(dither->currentIndex());
    s.signal.format = SampleFormat(sampleFormat->currentIndex());
    s.signal.phaseDegrees = phase->value();
    s.sampleRate = sampleRate->currentData().toInt();
    s.latencyMs = latency->value();
    s.remoteOn = remoteOn->isChecked();
    s.remoteAddress = remoteAddress->text().trimmed().toStdString();
    return s;
}

void OutputSettingsDialog::accept()
{
    // A port that cannot be listened on is said here, where it can still be mended.
    if (remoteOn->isChecked()
        && !parseRemoteAddress(remoteAddress->text().trimmed().toStdString())) {
        showMessage(this,
            QStringLiteral("The remote control's address is [ADDRESS:]PORT, with a port from 1 "
                           "to 65535, such as 5025 or 127.0.0.1:5025."));
        return;
    }
    QDialog::accept();
}

} // namespace vellox
