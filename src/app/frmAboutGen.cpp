#include "frmAboutGen.h"

#include "NumberText.h"
#include "ProgramIcon.h"
#include "ProgramLook.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace vellox {

namespace {
    constexpr int ClientWidth = 382;
    constexpr int ClientHeight = 134;
    constexpr int IconBox = 36;
    constexpr int IconSize = 32;
    const QColor LineGrey(128, 128, 128);

    QString plain(int value)
    {
        return QString::fromStdString(plainNumber(value));
    }

    QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& place)
    {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(place);
        return l;
    }
}

QString versionLine(int major, int minor, int revision)
{
    return QStringLiteral("Version ") + plain(major) + u'.' + plain(minor) + u'.' + plain(revision);
}

QString programVersionLine()
{
    return versionLine(VELLOX_VERSION_MAJOR, VELLOX_VERSION_MINOR, VELLOX_VERSION_REVISION);
}

frmAboutGen::frmAboutGen(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAboutGen"));
    setWindowTitle(QStringLiteral(" Korvane Vellox"));
    setWindowIcon(programIcon());
    setModal(true);
    // A dialog is a window of its own and takes no palette from the main window.
    setPalette(programPalette());
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(ClientWidth, ClientHeight);

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(8, 8, IconBox, IconBox);
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(programIcon().pixmap(IconSize, IconSize));

    label(this, "lblTitle",
        QStringLiteral("Korvane multiple programs: ") + QString::fromLatin1(MakerAddress),
        QRect(52, 8, 322, 16));
    m_lblVersion = label(this, "lblVersion", QStringLiteral("Version "), QRect(52, 28, 322, 16));
    label(this, "lblDescription", QStringLiteral("Synthesis of digital electrical signals"),
        QRect(52, 48, 322, 16));

    auto* line1 = new QFrame(this);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::NoFrame);
    line1->setGeometry(8, 84, ClientWidth - 16, 1);
    line1->setAutoFillBackground(true);
    QPalette linePalette = line1->palette();
    linePalette.setColor(QPalette::Window, LineGrey);
    line1->setPalette(linePalette);

    label(this, "lblDisclaimer",
        QStringLiteral("\u00A9 2025-2026 Korvane. Provided as is, without warranty."),
        QRect(8, 100, 274, 20));

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(290, 96, 84, 28);
    // Enter presses it as the default button; Escape closes the box as it would.
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    Form_Load();
}

void frmAboutGen::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        Form_Load();
    QDialog::showEvent(event);
}

void frmAboutGen::Form_Load()
{
    // Set, never appended: showing the box again gives the same single line.
    m_lblVersion->setText(programVersionLine());
}

void frmAboutGen::cmdOK_Click()
{
    accept();
}

} // namespace vellox
