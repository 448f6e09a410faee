#include "Messages.h"
#include "CaptionLook.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace vellox;

class MessagesTest : public QObject {
    Q_OBJECT

private slots:
    void handlerReceivesParentAndText()
    {
        QWidget parent;
        QWidget* seenParent = nullptr;
        QStringList seen;
        const MessageHandler previous = setMessageHandler([&](QWidget* p, const QString& text) {
            seenParent = p;
            seen << text;
        });
        showMessage(&parent, QStringLiteral("first"));
        showMessage(nullptr, QStringLiteral("second\nline"));
        setMessageHandler(previous);
        QCOMPARE(seen, (QStringList { "first", "second\nline" }));
        QCOMPARE(seenParent, nullptr);
    }

    void setReturnsThePreviousHandler()
    {
        int firstCalls = 0;
        int secondCalls = 0;
        setMessageHandler([&](QWidget*, const QString&) { ++firstCalls; });
        const MessageHandler old
            = setMessageHandler([&](QWidget*, const QString&) { ++secondCalls; });
        QVERIFY(bool(old));
        old(nullptr, QString());
        showMessage(nullptr, QStringLiteral("x"));
        QCOMPARE(firstCalls, 1);
        QCOMPARE(secondCalls, 1);
        setMessageHandler(nullptr);
    }

    // Without a handler the real box appears: modal, the program's title, OK only.
    void realBoxHasTitleAndOkOnly()
    {
        setMessageHandler(nullptr);
        QApplication::setWindowIcon(QIcon());
        QString caption;
        QString text;
        int buttons = -1;
        QString buttonText;
        bool wasModal = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            wasModal = box->isModal();
            caption = box->windowTitle();
            text = box->text();
            buttons = int(box->buttons().size());
            if (buttons > 0)
                buttonText = box->buttons().first()->text();
            box->button(QMessageBox::Ok)->click();
        });
        QElapsedTimer watchdog;
        watchdog.start();
        // If the box were not found the timer above would leave it open; close it late.
        QTimer::singleShot(5000, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        showMessage(nullptr, QStringLiteral("Hello"));
        QVERIFY(watchdog.elapsed() < 5000);
        QVERIFY(wasModal);
        QCOMPARE(caption, QStringLiteral("Korvane Vellox"));
        QCOMPARE(text, QStringLiteral("Hello"));
        QCOMPARE(buttons, 1);
        QVERIFY(buttonText.contains(QStringLiteral("OK")));
    }

    // Under a dark desktop scheme the real box keeps the program's light face and dark text.
    void realBoxLightAndReadableUnderADarkPalette()
    {
        setMessageHandler(nullptr);
        const QPalette desktop = QApplication::palette();
        QApplication::setPalette(vellox::testing::darkDesktopPalette());
        std::vector<vellox::testing::CaptionLook> looks;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            looks = vellox::testing::captionLooks(box);
            box->button(QMessageBox::Ok)->click();
        });
        // If the box were not found the timer above would leave it open; close it late.
        QTimer::singleShot(30000, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        showMessage(nullptr, QStringLiteral(" DirectX error, set data to properly value"));
        QApplication::setPalette(desktop);
        QVERIFY(looks.size() >= 2); // the text and OK
        const QStringList bad = vellox::testing::unreadableCaptions(looks, true);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));
    }
};

QTEST_MAIN(MessagesTest)
#include "MessagesTest.moc"
