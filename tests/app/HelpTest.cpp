#include "Help.h"
#include "HelpCommand.h"
#include "MessageCapture.h"
#include "Messages.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

using namespace vellox;

namespace {

// A page where Help looks for it, and an opener that notes what it was given (in
// <opener>.args), waits when `late`, and ends with `status`.
struct Scene {
    QTemporaryDir dir;
    QString page;
    QString opener;
    QString args;
};

void writeScript(const QString& path, int status, bool late)
{
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n%1exit %2\n")
                     .arg(late ? QStringLiteral("sleep 1\n") : QString())
                     .arg(status)
                     .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void makeScene(Scene& scene, int status, bool late)
{
    QVERIFY(scene.dir.isValid());
    scene.page = scene.dir.filePath(QStringLiteral("generator.html"));
    QVERIFY(QFile::copy(QStringLiteral(VELLOX_PROGRAM_DIR "/generator.html"), scene.page));
    scene.opener = scene.dir.filePath(QStringLiteral("opener"));
    scene.args = scene.opener + QStringLiteral(".args");
    writeScript(scene.opener, status, late);
}

QStringList argumentsSeen(const QString& argsFile)
{
    QFile f(argsFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QList<QWidget*> viewers()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(HelpViewerName))
            found << w;
    return found;
}

// Waits (generously) for the opener to end and its end to be handled.
void waitForEnd(QProcess* process)
{
    QVERIFY(process);
    QPointer<QProcess> watched(process);
    QTRY_VERIFY_WITH_TIMEOUT(watched.isNull(), 30000);
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

    QStringList m_messages;
    const QStringList& messages() const { return m_messages; }

private slots:
    void init()
    {
        m_messages.clear();
        vellox::testing::captureMessages(m_messages);
    }
    void cleanup()
    {
        setMessageHandler(nullptr);
        qDeleteAll(viewers());
    }

    void windowsFolder_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "C:/Vellox"
                               << "C:\\Vellox";
        QTest::newRow("blanks") << "C:/Program Files/Korvane Vellox"
                                << "C:\\Program Files\\Korvane Vellox";
        QTest::newRow("trailing separator") << "D:/Tools/"
                                            << "D:\\Tools";
        QTest::newRow("drive root") << "C:/"
                                    << "C:\\";
        QTest::newRow("drive root, native") << "E:\\"
                                            << "E:\\";
        QTest::newRow("drive without separator") << "C:"
                                                 << "C:\\";
        QTest::newRow("network share") << "//server/share/vellox"
                                       << "\\\\server\\share\\vellox";
    }

    void windowsFolder()
    {
        QFETCH(QString, reported);
        QFETCH(QString, folder);
        QCOMPARE(windowsProgramFolder(reported), folder);
    }

    void windowsCommandLine_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("command");
        QTest::newRow("plain") << "C:\\Vellox"
                               << "hh.exe C:\\Vellox\\generator.chm";
        // Unquoted, blanks and all.
        QTest::newRow("blanks") << "C:\\Program Files\\Korvane Vellox"
                                << "hh.exe C:\\Program Files\\Korvane Vellox\\generator.chm";
        // The root keeps its separator: two stand together.
        QTest::newRow("drive root") << "C:\\"
                                    << "hh.exe C:\\\\generator.chm";
    }

    void windowsCommandLine()
    {
        QFETCH(QString, folder);
        QFETCH(QString, command);
        QCOMPARE(windowsHelpCommandLine(folder), command);
    }

    void fromReportedFolderToCommandLine()
    {
        QCOMPARE(windowsHelpCommandLine(windowsProgramFolder(QStringLiteral("C:/"))),
            QStringLiteral("hh.exe C:\\\\generator.chm"));
        QCOMPARE(windowsHelpCommandLine(windowsProgramFolder(QStringLiteral("C:/Program Files/x"))),
            QStringLiteral("hh.exe C:\\Program Files\\x\\generator.chm"));
    }

    void pagePath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("page");
        QTest::newRow("build folder") << "/work/build/src/app"
                                      << "/work/build/src/app/generator.html";
        QTest::newRow("blanks") << "/opt/Korvane Vellox"
                                << "/opt/Korvane Vellox/generator.html";
        QTest::newRow("trailing separator") << "/usr/bin/"
                                            << "/usr/bin/generator.html";
        QTest::newRow("root") << "/"
                              << "/generator.html";
    }

    void pagePath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, page);
        QCOMPARE(helpPagePath(folder), page);
    }

    // xdg-open starts, finds no viewer and says so by its status a moment later, as on a
    // system without a browser: the page comes up in the program's own viewer, its links
    // followed there.
    void openerThatFailsLateShowsThePageInTheProgram()
    {
        Scene scene;
        makeScene(scene, 3, true);
        QProcess* process = openHelpPage(nullptr, scene.dir.path(), scene.opener);
        QVERIFY(process);
        // The answer comes through the event loop, which has not run yet.
        QVERIFY(viewers().isEmpty());
        waitForEnd(process);
        QCOMPARE(argumentsSeen(scene.args), QStringList { scene.page });
        QCOMPARE(viewers().size(), 1);
        QWidget* viewer = viewers().first();
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Korvane Vellox - Help"));
        auto* browser = viewer->findChild<QTextBrowser*>();
        QVERIFY(browser);
        QCOMPARE(browser->source(), QUrl::fromLocalFile(scene.page));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Bit Two-Tone Code")));
        QVERIFY(messages().isEmpty());

        // A click on the contents' in-page link to the last section moves the view there.
        QCOMPARE(browser->verticalScrollBar()->value(), 0);
        QTextCursor link;
        do
            link = browser->document()->find(
                QStringLiteral("About"), link, QTextDocument::FindCaseSensitively);
        while (!link.isNull() && link.charFormat().anchorHref() != QStringLiteral("#about"));
        QVERIFY(!link.isNull());
        link.setPosition(link.selectionStart() + 1);
        QTest::mouseClick(
            browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(link).center());
        QTRY_VERIFY_WITH_TIMEOUT(browser->verticalScrollBar()->value() > 0, 10000);
        QCOMPARE(browser->source().fileName(), QStringLiteral("generator.html"));
        QCOMPARE(browser->source().fragment(), QStringLiteral("about"));

        // Help again, failing again: the one viewer is raised, not a second one opened.
        waitForEnd(openHelpPage(nullptr, scene.dir.path(), scene.opener));
        QCOMPARE(viewers().size(), 1);
    }

    // An opener that shows the page: nothing else appears, no message either.
    void openerThatSucceedsShowsNothingElse()
    {
        Scene scene;
        makeScene(scene, 0, true);
        waitForEnd(openHelpPage(nullptr, scene.dir.path(), scene.opener));
        QCOMPARE(argumentsSeen(scene.args), QStringList { scene.page });
        QCoreApplication::processEvents();
        QVERIFY(viewers().isEmpty());
        QVERIFY(messages().isEmpty());
    }

    // No opener at all (xdg-utils is only recommended): the page is shown in the program.
    void missingOpenerShowsThePageInTheProgram()
    {
        Scene scene;
        makeScene(scene, 0, false);
        QProcess* process
            = openHelpPage(nullptr, scene.dir.path(), scene.dir.filePath(QStringLiteral("none")));
        waitForEnd(process);
        QCOMPARE(viewers().size(), 1);
        QVERIFY(messages().isEmpty());
    }

    void missingPageTellsWhereItBelongs()
    {
        Scene scene;
        makeScene(scene, 0, false);
        QVERIFY(QFile::remove(scene.page));
        QCOMPARE(openHelpPage(nullptr, scene.dir.path(), scene.opener), nullptr);
        QVERIFY(argumentsSeen(scene.args).isEmpty());
        QVERIFY(viewers().isEmpty());
        QCOMPARE(messages(), QStringList { helpNotOpenedMessage(scene.page) });
    }

    // The real button path: xdg-open, found on the PATH, gets the page next to this test
    // program.
    void openHelpHandsThePageToXdgOpen()
    {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QString opener = bin.filePath(QString::fromLatin1(DesktopOpener));
        writeScript(opener, 0, false);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        openHelp(nullptr);
        qputenv("PATH", path);
        QTRY_COMPARE_WITH_TIMEOUT(argumentsSeen(opener + QStringLiteral(".args")),
            QStringList {
                QCoreApplication::applicationDirPath() + QStringLiteral("/generator.html") },
            30000);
        QTRY_VERIFY_WITH_TIMEOUT(qApp->findChildren<QProcess*>().isEmpty(), 30000);
        QVERIFY(viewers().isEmpty());
        QVERIFY(messages().isEmpty());
    }

    void pageIsBuiltNextToTheProgram()
    {
        QVERIFY(QFileInfo(QStringLiteral(VELLOX_PROGRAM_DIR "/generator.html")).isFile());
    }

    void pageNeedsNothingFromOutside()
    {
        QFile page(QStringLiteral(VELLOX_PROGRAM_DIR "/generator.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains(QStringLiteral("<title>")));
        QVERIFY(!html.contains(QStringLiteral("src=\"http")));
        QVERIFY(!html.contains(QStringLiteral("href=\"http")));
        QVERIFY(!html.contains(QStringLiteral("<script")));
        // Every waveform and mode caption is explained.
        for (const char* caption : { "Pw Sine", "Square", "Trapeze", "W Noise", "Triangle", "PWM",
                 "Stairs", "Bit Code", "Bit Two-Tone Code", "Modulation AM", "Modulation FM",
                 "Set Bit", "Sweep F1", "44100 Hz", "192000 Hz" })
            QVERIFY2(html.contains(QString::fromLatin1(caption)), caption);
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
