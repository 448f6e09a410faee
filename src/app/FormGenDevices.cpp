// The window's output device: the menu of the "Settings" frame, the device in use, and a
// device that is missing or goes away.

#include "FormGen.h"

#include "Messages.h"
#include "SoundBackend.h"
#include "SoundObjects.h"

#include <QActionGroup>
#include <QGroupBox>
#include <QMenu>

#include <algorithm>

namespace vellox {

namespace {
    // What the menu and the tooltip call the desktop's default output.
    const QString DefaultDeviceName = QStringLiteral("Default");
}

bool FormGen::deviceListed(const std::string& deviceId)
{
    try {
        const std::vector<std::string> devices = m_backend.playbackDevices();
        return std::find(devices.begin(), devices.end(), deviceId) != devices.end();
    } catch (const audio::SoundError&) {
        return false; // the sound system cannot tell: nothing to play on but the default
    }
}

void FormGen::startOnDevice(const std::string& deviceId)
{
    Frame7->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Frame7, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = outputDeviceMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(Frame7->mapToGlobal(at));
    });
    std::string device = deviceId;
    if (!device.empty() && !deviceListed(device)) {
        showMessage(this,
            QStringLiteral("The output device \"%1\" is not there; the default device plays.")
                .arg(QString::fromStdString(device)));
        device.clear();
    }
    m_sound->setDeviceId(device);
    showOutputDevice();
}

const std::string& FormGen::outputDevice() const
{
    return m_sound->deviceId();
}

void FormGen::showOutputDevice()
{
    const std::string& device = outputDevice();
    QString tip = QStringLiteral("Output device: %1 (right-click to choose it, or for the "
                                 "Output settings)")
                      .arg(device.empty() ? DefaultDeviceName : QString::fromStdString(device));
    if (sampleRateIndex(m_state.SampleRate) == SampleRateCount)
        tip += QStringLiteral("\nSample rate: %1 Hz (Output settings)").arg(m_state.SampleRate);
    if (const std::optional<int32_t> rate = m_deviceRateShown)
        tip += QStringLiteral("\nThe device runs at %1 Hz").arg(*rate);
    Frame7->setToolTip(tip);
    // Each device keeps its own calibration.
    showInInstrumentPanel(Changed::Calibration);
}

QMenu* FormGen::outputDeviceMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("OutputDeviceMenu"));
    addDeviceActions(menu);
    menu->addSeparator();
    QAction* settings = menu->addAction(QStringLiteral("Output settings..."));
    settings->setObjectName(QStringLiteral("OutputSettingsAction"));
    connect(settings, &QAction::triggered, this, [this] { showOutputSettings(); });
    return menu;
}

void FormGen::addDeviceActions(QMenu* menu)
{
    auto* group = new QActionGroup(menu);
    auto add = [&](const QString& text, const std::string& deviceId) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(deviceId == outputDevice());
        group->addAction(action);
        connect(
            action, &QAction::triggered, this, [this, deviceId] { chooseOutputDevice(deviceId); });
    };
    add(DefaultDeviceName, {});
    std::vector<std::string> devices;
    try {
        devices = m_backend.playbackDevices();
    } catch (const audio::SoundError&) {
        // "Default" alone: the next Start reports what is wrong.
    }
    for (const std::string& name : devices)
        add(QString::fromStdString(name), name);
}

void FormGen::chooseOutputDevice(const std::string& deviceId)
{
    m_sound->setDeviceId(deviceId);
    showOutputDevice();
    if (m_rememberDevice)
        m_rememberDevice(deviceId);
    Play_Click();
}

} // namespace vellox
