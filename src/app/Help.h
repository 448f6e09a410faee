#pragma once

// The "Help" button: the help page in the desktop's viewer, or, where none can show it, in
// a viewer of the program's own. Nothing here waits for another program.

#include <QString>

class QProcess;
class QWidget;

namespace vellox {

// Shows the help page; if the page is missing the user is told where it belongs. The
// generator goes on running and playing throughout.
void openHelp(QWidget* parent);

// The folder of the running program (where the help page lies), as Qt reports it.
QString programFolder();

// The desktop's opener, the first choice for showing the page.
inline constexpr const char* DesktopOpener = "xdg-open";

// openHelp for the page in `folder`, handed to `opener` (a program run with the page's path
// as its one argument; tests pass their own). The opener runs on without being waited for;
// its end decides: status 0 means it showed the page, anything else (xdg-open says 3 when
// no viewer is there, 4 when the viewer failed), a crash or an opener that does not start
// means the page is shown in the program's own viewer, once the event loop hears of it.
// Returns the opener's process, a child of `parent` (of the application without one) that
// deletes itself when it has ended; nullptr when the page is missing.
QProcess* openHelpPage(QWidget* parent, const QString& folder, const QString& opener);

// The program's own viewer of the page at `pagePath` (a QTextBrowser: the page's links,
// in-page anchors included, work in it), a window of `parent`'s: one per parent, raised
// again when it is open already.
void showHelpInProgram(QWidget* parent, const QString& pagePath);

// The name of that viewer's window, for finding it.
inline constexpr const char* HelpViewerName = "HelpViewer";

} // namespace vellox
