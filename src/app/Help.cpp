#include "Help.h"

#include "HelpCommand.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <QProcess>
#endif

namespace vellox {

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

void openHelpPage(QWidget* parent, const QString& folder, const UrlOpener& opener)
{
    const QString page = helpPagePath(folder);
    // A missing page would otherwise reach the viewer, which reports it in its own way
    // or not at all; the user should learn where the page belongs.
    if (!QFileInfo(page).isFile() || !opener(QUrl::fromLocalFile(page)))
        showMessage(parent, helpNotOpenedMessage(page));
}

void openHelp(QWidget* parent)
{
#ifdef Q_OS_WIN
    // The HTML Help viewer as a program of its own; the command line is passed as it
    // stands, unquoted. Each press starts another viewer, which is not tracked.
    const QString folder = windowsProgramFolder(programFolder());
    QProcess viewer;
    viewer.setProgram(QStringLiteral("hh.exe"));
    viewer.setNativeArguments(folder + u'\\' + QString::fromLatin1(HelpFileName));
    if (!viewer.startDetached())
        showMessage(
            parent, helpNotOpenedMessage(folder + u'\\' + QString::fromLatin1(HelpFileName)));
#else
    // The desktop's default viewer; QDesktopServices starts it detached, without a shell.
    openHelpPage(
        parent, programFolder(), [](const QUrl& url) { return QDesktopServices::openUrl(url); });
#endif
}

} // namespace vellox
