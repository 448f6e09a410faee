#pragma once

// Small helpers shared by the picture-area tests: reading a canvas pixel, and saving the
// picture as shown (and three times as large, for a look at single pixels).

#include "PictureBox.h"

#include <QTest>

namespace vellox::testing {

inline QColor at(const PictureBox& area, int x, int y)
{
    return area.canvas().pixelColor(x, y);
}

inline void save(PictureBox& area, const char* name)
{
    const QImage shown = area.grab().toImage();
    const QString path = QStringLiteral(VELLOX_PANEL_PICTURES "/") + QLatin1String(name);
    QVERIFY(shown.save(path + QStringLiteral(".png")));
    QVERIFY(shown.scaled(shown.size() * 3).save(path + QStringLiteral("_x3.png")));
}

} // namespace vellox::testing
