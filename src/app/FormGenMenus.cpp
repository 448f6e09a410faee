// The window's menu bar, the way in to every setting beyond the front panel, and the
// instrument panel it opens.

#include "FormGen.h"

#include "InstrumentPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace vellox {

void FormGen::connectMenus()
{
    connect(InstrumentPanelAction, &QAction::triggered, this, [this] { showInstrumentPanel(); });
    connect(CalibrateAction, &QAction::triggered, this, [this] { showMeterCalibration(); });
    connect(OutputSettingsAction, &QAction::triggered, this, [this] { showOutputSettings(); });
    // The devices come and go: the list is read at each opening, as the right-click menu's.
    connect(OutputDeviceMenu, &QMenu::aboutToShow, this, [this] {
        OutputDeviceMenu->clear();
        qDeleteAll(OutputDeviceMenu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
        addDeviceActions(OutputDeviceMenu);
    });
}

void FormGen::showInstrumentPanel()
{
    if (m_instrumentPanel == nullptr)
        m_instrumentPanel = new InstrumentPanel(m_generator, this);
    m_instrumentPanel->show();
    m_instrumentPanel->raise();
    m_instrumentPanel->activateWindow();
}

void FormGen::showMeterCalibration()
{
    showInstrumentPanel();
    m_instrumentPanel->askForMeterReading();
}

void FormGen::showInInstrumentPanel(uint32_t what)
{
    // A hidden panel reads everything afresh when it opens.
    if (m_instrumentPanel != nullptr && m_instrumentPanel->isVisible())
        m_instrumentPanel->showSettings(what);
}

} // namespace vellox
