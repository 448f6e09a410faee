#include "Help.h"
#include "HelpCommand.h"
#include "MessageCapture.h"
#include "Messages.h"

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace vellox;

// Catches what QDesktopServices would hand to the desktop's viewer.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class HelpTest : public QObject {
    Q_OBJECT

    QStringList m_messages;

private slots:
    void init()
    {
        m_messages.clear();
        vellox::testing::captureMessages(m_messages);
    }
    void cleanup() { setMessageHandler(nullptr); }

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

    void opensThePageWithoutMessage()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile page(dir.filePath(QStringLiteral("generator.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        QList<QUrl> opened;
        openHelpPage(nullptr, dir.path(), [&](const QUrl& url) {
            opened << url;
            return true;
        });
        QCOMPARE(opened, QList<QUrl> { QUrl::fromLocalFile(page.fileName()) });
        QVERIFY(m_messages.isEmpty());
    }

    void viewerFailureTellsWhereThePageLies()
    {
        QTemporaryDir dir;
        QFile page(dir.filePath(QStringLiteral("generator.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        openHelpPage(nullptr, dir.path(), [](const QUrl&) { return false; });
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(page.fileName()));
    }

    void missingPageTellsWhereItBelongs()
    {
        QTemporaryDir dir;
        bool called = false;
        openHelpPage(nullptr, dir.path(), [&](const QUrl&) {
            called = true;
            return true;
        });
        QVERIFY(!called);
        QCOMPARE(m_messages,
            QStringList { helpNotOpenedMessage(dir.filePath(QStringLiteral("generator.html"))) });
    }

    // The real button path: the page next to this test program, handed to the desktop.
    void openHelpUsesTheDesktopViewer()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        openHelp(nullptr);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls,
            QList<QUrl> { QUrl::fromLocalFile(
                QCoreApplication::applicationDirPath() + QStringLiteral("/generator.html")) });
        QVERIFY(m_messages.isEmpty());
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
