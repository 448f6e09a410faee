#include "ProgramLook.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace vellox {

QStringList captionFamilySubstitutes()
{
    return { QStringLiteral("Liberation Sans"), QStringLiteral("Arimo") };
}

QPalette programPalette()
{
    struct RoleColours {
        QPalette::ColorRole role;
        QColor active;
        QColor disabled;
    };
    const QColor black(0, 0, 0), white(255, 255, 255), face(240, 240, 240), greyText(120, 120, 120);
    const RoleColours roles[] = {
        { QPalette::WindowText, black, greyText },
        { QPalette::Button, face, face },
        { QPalette::Light, white, white },
        { QPalette::Midlight, QColor(227, 227, 227), QColor(227, 227, 227) },
        { QPalette::Dark, QColor(160, 160, 160), QColor(160, 160, 160) },
        { QPalette::Mid, QColor(200, 200, 200), QColor(200, 200, 200) },
        { QPalette::Text, black, greyText },
        { QPalette::BrightText, white, white },
        { QPalette::ButtonText, black, greyText },
        { QPalette::Base, white, face },
        { QPalette::Window, face, face },
        { QPalette::Shadow, QColor(105, 105, 105), QColor(105, 105, 105) },
        { QPalette::Highlight, QColor(0, 120, 215), QColor(200, 200, 200) },
        { QPalette::HighlightedText, white, greyText },
        { QPalette::Link, QColor(0, 0, 255), QColor(0, 0, 255) },
        { QPalette::LinkVisited, QColor(128, 0, 128), QColor(128, 0, 128) },
        { QPalette::AlternateBase, QColor(245, 245, 245), QColor(245, 245, 245) },
        { QPalette::ToolTipBase, QColor(255, 255, 220), QColor(255, 255, 220) },
        { QPalette::ToolTipText, black, black },
        { QPalette::PlaceholderText, greyText, greyText },
    };
    QPalette palette;
    for (const RoleColours& r : roles) {
        palette.setColor(QPalette::Active, r.role, r.active);
        palette.setColor(QPalette::Inactive, r.role, r.active);
        palette.setColor(QPalette::Disabled, r.role, r.disabled);
    }
    return palette;
}

void applyProgramLook()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont::insertSubstitutions(QString::fromLatin1(CaptionFamily), captionFamilySubstitutes());
    QApplication::setPalette(programPalette());
}

} // namespace vellox
