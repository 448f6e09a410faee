#pragma once

// The "Help" button: opens the program's help page without waiting for the viewer.

class QWidget;

namespace vellox {

// Opens the help page; if it cannot be opened the user is told where it lies, and the
// generator goes on running.
void openHelp(QWidget* parent);

} // namespace vellox
