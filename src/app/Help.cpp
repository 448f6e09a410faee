#include "Help.h"

#include "HelpCommand.h"
#include "Messages.h"
#include "ProgramLook.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vellox {

namespace {
    constexpr QSize ViewerSize { 760, 640 };

    QWidget* openViewer(QWidget* parent)
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(HelpViewerName) && w->parentWidget() == parent)
                return w;
        return nullptr;
    }
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

void showHelpInProgram(QWidget* parent, const QString& pagePath)
{
    QWidget* viewer = openViewer(parent);
    if (!viewer) {
        // A window of its own beside the generator, not a modal dialog: the generator
        // stays usable while the page is read.
        viewer = new QWidget(parent, Qt::Window);
        viewer->setObjectName(QString::fromLatin1(HelpViewerName));
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setPalette(programPalette());
        viewer->setWindowIcon(QApplication::windowIcon());
        auto* browser = new QTextBrowser(viewer);
        browser->setObjectName(QStringLiteral("HelpBrowser"));
        // Links within the page and to files beside it are followed here; anything else
        // goes to the desktop.
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl::fromLocalFile(pagePath));
        auto* layout = new QVBoxLayout(viewer);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        const QString title = browser->documentTitle();
        viewer->setWindowTitle(title.isEmpty() ? QString::fromLatin1(ApplicationTitle) : title);
        viewer->resize(ViewerSize);
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

QProcess* openHelpPage(QWidget* parent, const QString& folder, const QString& opener)
{
    const QString page = helpPagePath(folder);
    // A missing page would otherwise reach the viewer, which reports it in its own way
    // or not at all; the user should learn where the page belongs.
    if (!QFileInfo(page).isFile()) {
        showMessage(parent, helpNotOpenedMessage(page));
        return nullptr;
    }
    // Started is not shown: xdg-open starts on any desktop and only its end tells whether a
    // viewer took the page. Waiting for that end here would freeze the window for as long
    // as a browser it runs in the foreground stays open, so the answer comes as a signal.
    auto* process = new QProcess(parent ? static_cast<QObject*>(parent) : qApp);
    process->setProgram(opener);
    process->setArguments({ page });
    // Its diagnostics (which viewer was missing) still reach the terminal; a browser's
    // chatter on stdout does not pile up in this process.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(process, &QProcess::finished, process,
        [process, parent, page](int exitCode, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit || exitCode != 0)
                showHelpInProgram(parent, page);
            process->deleteLater();
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
        [process, parent, page](QProcess::ProcessError error) {
            // A crash is followed by finished(); only a failed start ends here.
            if (error != QProcess::FailedToStart)
                return;
            showHelpInProgram(parent, page);
            process->deleteLater();
        });
    process->start();
    return process;
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
    openHelpPage(parent, programFolder(), QString::fromLatin1(DesktopOpener));
#endif
}

} // namespace vellox
