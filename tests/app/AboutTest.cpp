#include "CaptionLook.h"
#include "ProgramIcon.h"
#include "frmAboutGen.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vellox;

class AboutTest : public QObject {
    Q_OBJECT

    static QLabel* label(QWidget& box, const char* name)
    {
        return box.findChild<QLabel*>(QString::fromLatin1(name));
    }

private slots:
    void versionLineFromNumbers_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("line");
        QTest::newRow("this program") << 2 << 29 << 1411 << "Version 2.29.1411";
        QTest::newRow("zeros") << 0 << 0 << 0 << "Version 0.0.0";
        QTest::newRow("large") << 10 << 100 << 123456 << "Version 10.100.123456";
    }

    void versionLineFromNumbers()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, line);
        QCOMPARE(versionLine(major, minor, revision), line);
    }

    void programVersionIsTheProjects()
    {
        QCOMPARE(programVersionLine(), QStringLiteral("Version 2.29.1411"));
    }

    void boxContents()
    {
        frmAboutGen box;
        QCOMPARE(box.windowTitle(), QStringLiteral(" Korvane Vellox"));
        QCOMPARE(box.size(), QSize(382, 134));
        QVERIFY(box.minimumSize() == box.maximumSize());
        QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(box.isModal());

        QCOMPARE(label(box, "lblTitle")->text(),
            QStringLiteral("Korvane multiple programs: https://vellox.example.org"));
        QCOMPARE(label(box, "lblVersion")->text(), QStringLiteral("Version 2.29.1411"));
        QCOMPARE(label(box, "lblDescription")->text(),
            QStringLiteral("Synthesis of digital electrical signals"));
        const QString disclaimer = label(box, "lblDisclaimer")->text();
        QVERIFY(disclaimer.contains(QStringLiteral("2025-2026")));
        QVERIFY(!disclaimer.contains(u'\n'));

        QLabel* picIcon = label(box, "picIcon");
        QCOMPARE(picIcon->size(), QSize(36, 36));
        QCOMPARE(picIcon->pixmap().size(), QSize(32, 32));
        QVERIFY(box.findChild<QFrame*>(QStringLiteral("Line1")));

        auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());

        // Every control lies inside the client area and none overlaps another.
        const QList<QWidget*> children = box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : children) {
            QVERIFY2(box.rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (QWidget* b : children)
                if (a != b)
                    QVERIFY2(!a->geometry().intersects(b->geometry()),
                        qPrintable(a->objectName() + " / " + b->objectName()));
        }
    }

    void iconHasEverySize()
    {
        const QIcon icon = programIcon();
        QVERIFY(!icon.isNull());
        for (const int size : ProgramIconSizes) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // The dark square fills the middle of every size.
            QVERIFY(qAlpha(image.pixel(size / 2, size / 8)) > 200);
        }
    }

    void versionLineNeverDoubles()
    {
        frmAboutGen box;
        for (int i = 0; i < 2; ++i) {
            box.show();
            QCOMPARE(label(box, "lblVersion")->text(), QStringLiteral("Version 2.29.1411"));
            box.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            QVERIFY(!box.isVisible());
        }
        frmAboutGen second;
        second.show();
        QCOMPARE(label(second, "lblVersion")->text(), QStringLiteral("Version 2.29.1411"));
    }

    void enterAndEscapeClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    void enterAndEscapeClose()
    {
        QFETCH(int, key);
        frmAboutGen box;
        QTimer::singleShot(0, [&] {
            QTest::keyClick(box.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::Key(key));
        });
        QTimer::singleShot(5000, &box, &QDialog::reject);
        QElapsedTimer clock;
        clock.start();
        box.exec();
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(!box.isVisible());
    }

    void picture()
    {
        frmAboutGen box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.grab().save(QStringLiteral(VELLOX_TEST_OUTPUT_DIR "/About.png")));
        // The title line fits its label: nothing of the address is clipped.
        QLabel* title = label(box, "lblTitle");
        QVERIFY(title->fontMetrics().horizontalAdvance(title->text()) <= title->width());
        QLabel* disclaimer = label(box, "lblDisclaimer");
        QVERIFY(
            disclaimer->fontMetrics().horizontalAdvance(disclaimer->text()) <= disclaimer->width());
    }

    // Under a dark desktop scheme the box keeps the program's light faces and dark text.
    void lightAndReadableUnderADarkPalette()
    {
        const QPalette desktop = QApplication::palette();
        QApplication::setPalette(testing::darkDesktopPalette());
        frmAboutGen box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const std::vector<testing::CaptionLook> looks = testing::captionLooks(&box);
        QApplication::setPalette(desktop);
        QCOMPARE(looks.size(), size_t(5));
        const QStringList bad = testing::unreadableCaptions(looks, true);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
