#pragma once

// The "Help" button: opens the program's help page without waiting for the viewer.

#include <QString>

#include <functional>

class QUrl;
class QWidget;

namespace vellox {

// Opens the help page; if it cannot be opened the user is told where it lies, and the
// generator goes on running.
void openHelp(QWidget* parent);

// The folder of the running program (where the help page lies), as Qt reports it.
QString programFolder();

// The page opener: true when the viewer was started. Never waits for the viewer.
using UrlOpener = std::function<bool(const QUrl& url)>;

// openHelp for the page in `folder`, shown by `opener` (tests pass their own).
void openHelpPage(QWidget* parent, const QString& folder, const UrlOpener& opener);

} // namespace vellox
