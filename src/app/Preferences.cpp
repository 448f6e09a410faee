#include "Preferences.h"

#include "SdlSoundBackend.h"

#include <QHostAddress>
#include <QSettings>
#include <QString>
#include <QUrl>

#include <cmath>
#include <cstdio>

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

namespace {
    // One key per device: its name percent-encoded (a name may hold '/', which QSettings
    // reads as a group), the default device apart.
    QString calibrationKey(const std::string& deviceId)
    {
        return QStringLiteral("calibration/")
            + (deviceId.empty() ? QStringLiteral("(default)")
                                : QLatin1Char('=')
                        + QString::fromLatin1(
                            QUrl::toPercentEncoding(QString::fromStdString(deviceId))));
    }
}

std::optional<double> rememberedCalibration(const std::string& deviceId)
{
    bool ok = false;
    const double vpp = preferences().value(calibrationKey(deviceId)).toDouble(&ok);
    if (!ok || !std::isfinite(vpp))
        return std::nullopt;
    return vpp;
}

void rememberCalibration(const std::string& deviceId, double vpp)
{
    QSettings settings = preferences();
    settings.setValue(calibrationKey(deviceId), vpp);
    settings.sync();
}

std::optional<int> rememberedLatency()
{
    bool ok = false;
    const int ms = preferences().value(LatencyKey).toInt(&ok);
    if (!ok || ms < audio::MinLatencyMs || ms > audio::MaxLatencyMs)
        return std::nullopt;
    return ms;
}

namespace {
    const QString SynthesisKey = QStringLiteral("output/synthesis");
    const QString DitherKey = QStringLiteral("output/dither");
    const QString FormatKey = QStringLiteral("output/sample-format");
    const QString PhaseKey = QStringLiteral("output/phase");
    const QString RateKey = QStringLiteral("output/rate");
    const QString RemoteOnKey = QStringLiteral("remote/on");
    const QString RemoteAddressKey = QStringLiteral("remote/address");

    template <class Parse, class Into>
    bool readName(const QSettings& settings, const QString& key, Parse parse, Into& into)
    {
        if (!settings.contains(key))
            return false;
        if (const auto value = parse(settings.value(key).toString().toStdString()))
            into = *value;
        return true;
    }
}

std::optional<OutputSettings> rememberedOutputSettings()
{
    const QSettings settings = preferences();
    OutputSettings o;
    bool any = readName(settings, SynthesisKey, parseSynthesis, o.signal.synthesis);
    any = readName(settings, DitherKey, parseDither, o.signal.dither) || any;
    any = readName(settings, FormatKey, parseSampleFormat, o.signal.format) || any;
    if (settings.contains(PhaseKey)) {
        any = true;
        bool ok = false;
        const int degrees = settings.value(PhaseKey).toInt(&ok);
        if (ok && isPhaseDegrees(degrees))
            o.signal.phaseDegrees = degrees;
    }
    if (settings.contains(RateKey)) {
        any = true;
        bool ok = false;
        const int rate = settings.value(RateKey).toInt(&ok);
        if (ok && isPlayableRate(rate))
            o.sampleRate = rate;
    }
    if (const auto latency = rememberedLatency()) {
        any = true;
        o.latencyMs = *latency;
    }
    if (settings.contains(RemoteOnKey)) {
        any = true;
        o.remoteOn = settings.value(RemoteOnKey).toBool();
        const std::string address = settings.value(RemoteAddressKey).toString().toStdString();
        const auto parsed = parseRemoteAddress(address);
        if (parsed)
            o.remoteAddress = address;
        else
            o.remoteOn = false;
        // Open to the network is a choice for the session it was made in: the next start
        // does not expose the sound card again without being asked.
        if (o.remoteOn && !QHostAddress(QString::fromStdString(parsed->host)).isLoopback()) {
            o.remoteOn = false;
            std::fprintf(stderr,
                "vellox: the remote control was open to the network at %s when the program "
                "last ran; it stays closed until asked for again (Output settings or "
                "--remote)\n",
                address.c_str());
        }
    }
    return any ? std::optional<OutputSettings>(o) : std::nullopt;
}

void rememberOutputSettings(const OutputSettings& o)
{
    QSettings settings = preferences();
    settings.setValue(SynthesisKey, QLatin1String(synthesisName(o.signal.synthesis)));
    settings.setValue(DitherKey, QLatin1String(ditherName(o.signal.dither)));
    settings.setValue(FormatKey, QLatin1String(sampleFormatName(o.signal.format)));
    settings.setValue(PhaseKey, o.signal.phaseDegrees);
    settings.setValue(RateKey, o.sampleRate);
    settings.setValue(LatencyKey, o.latencyMs);
    settings.setValue(RemoteOnKey, o.remoteOn);
    settings.setValue(RemoteAddressKey, QString::fromStdString(o.remoteAddress));
    settings.sync();
}

} // namespace vellox
