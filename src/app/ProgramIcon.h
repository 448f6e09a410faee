#pragma once

// The program's icon, two waves on a dark square, in every size the resources hold
// (16 to 256 pixels). Used by the About box, the main window and the desktop entry.

#include <QIcon>

namespace vellox {

inline constexpr int ProgramIconSizes[] = { 16, 32, 48, 64, 128, 256 };

QIcon programIcon();

} // namespace vellox
