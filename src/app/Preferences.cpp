#include "Preferences.h"

#include <QSettings>
#include <QString>

namespace vellox {

namespace {
    const QString OutputDeviceKey = QStringLiteral("output/device");

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

} // namespace vellox
