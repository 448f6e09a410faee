#pragma once

// The program's own look, the same on every desktop: the layout is made for Arial's
// metrics and for Fusion's indicators and margins, and the front panel's fixed light faces
// need dark text, whatever font, style and colour scheme the desktop would give.

#include <QPalette>
#include <QStringList>

namespace vellox {

// The family the captions ask for, and the metric-compatible faces that stand in for it
// where it is missing, in this order (fontconfig alone would pick whatever it likes best,
// DejaVu Sans on a bare system, which is wider).
inline constexpr const char* CaptionFamily = "Arial";
QStringList captionFamilySubstitutes();

// A fixed light palette, every role of every group set, so that it wins over whatever the
// application palette holds: dark text on light faces, a white base for entry boxes.
QPalette programPalette();

// Once, after the QApplication is made and before any window: Fusion as the style, the
// caption family's substitutes and the light palette for the whole application (menus,
// tool tips). Each window sets the palette on itself too, because a desktop's theme may
// set the application palette again later.
void applyProgramLook();

} // namespace vellox
