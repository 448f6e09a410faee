#include "Preferences.h"

#include "SdlSoundBackend.h"

#include <QSettings>
#include <QString>

namespace vellox {

namespace {
    const QString OutputDeviceKey = QStringLiteral("output/device");
    const QString LatencyKey = QStringLiteral("output/latency-ms");

    QSettings preferences()
    {
        return QSettings(QStringLiteral("Korvane"), QStringLiteral("Vellox"));
    }
}

std::string rememberedOutputDevice()
{
    return preferences().value(OutputDeviceKey).toString().toStdString();
}

void rememberOutputDevice(const std::string& deviceId)
{
    QSettings settings = preferences();
    settings.setValue(OutputDeviceKey, QString::fromStdString(deviceId));
    settings.sync();
}

std::optional<int> rememberedLatency()
{
    bool ok = false;
    const int ms = preferences().value(LatencyKey).toInt(&ok);
    if (!ok || ms < audio::SdlSoundBackend::MinLatencyMs
        || ms > audio::SdlSoundBackend::MaxLatencyMs)
        return std::nullopt;
    return ms;
}

void rememberLatency(int milliseconds)
{
    QSettings settings = preferences();
    settings.setValue(LatencyKey, milliseconds);
    settings.sync();
}

} // namespace vellox
