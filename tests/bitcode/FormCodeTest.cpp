#include "FormCode.h"
#include "BitCodeRules.h"
#include "CaptionLook.h"
#include "MessageCapture.h"
#include "Messages.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vellox;

namespace {
const QString StartPattern = QStringLiteral("10011101010001101010111000101011");

Module1 startModule()
{
    return Module1 { StartPattern.toStdString(), 1.0f, 1.0f / 1000.0f };
}

template <typename T> T* control(QWidget& dialog, const char* name)
{
    T* w = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
}

class FormCodeTest : public QObject {
    Q_OBJECT

    QStringList m_messages;

    void clickOk(FormCode& dialog) { control<QPushButton>(dialog, "Command1")->click(); }
    void setEntries(FormCode& dialog, const QString& pattern, const QString& ms, const QString& us)
    {
        control<QPlainTextEdit>(dialog, "Text1")->setPlainText(pattern);
        control<QLineEdit>(dialog, "Text2")->setText(ms);
        control<QLineEdit>(dialog, "Text3")->setText(us);
    }

private slots:
    void init()
    {
        m_messages.clear();
        vellox::testing::captureMessages(m_messages);
    }
    void cleanup() { setMessageHandler(nullptr); }

    void controlsAndCaptions()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Code Generator"));
        QVERIFY(dialog.isModal());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));

        auto* text1 = control<QPlainTextEdit>(dialog, "Text1");
        QCOMPARE(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(text1->font().family(), QStringLiteral("Arial"));
        QCOMPARE(text1->font().pointSizeF(), 14.25);

        const QString label3 = control<QLabel>(dialog, "Label3")->text();
        QCOMPARE(label3.size(), 92);
        QVERIFY(label3.startsWith(QStringLiteral(" Enter free binary Code.") + QString(41, u' ')));
        QVERIFY(!label3.at(65).isSpace());
        QVERIFY(label3.endsWith(u' '));

        QCOMPARE(control<QLabel>(dialog, "Label2")->text(), QStringLiteral(" Bit Lenght (uS) "));
        QCOMPARE(
            control<QLabel>(dialog, "Label1")->text(), QStringLiteral(" Repetitive Time (mS) "));
        for (const char* name : { "Text2", "Text3" }) {
            const QFont f = control<QLineEdit>(dialog, name)->font();
            QCOMPARE(f.family(), QStringLiteral("Arial"));
            QCOMPARE(f.pointSizeF(), 12.0);
            QVERIFY(f.bold());
        }
        auto* ok = control<QPushButton>(dialog, "Command1");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(control<QPushButton>(dialog, "Command2")->text(), QStringLiteral("Cancel"));
    }

    void loadShowsStoredValues()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        QCOMPARE(control<QPlainTextEdit>(dialog, "Text1")->toPlainText(), StartPattern);
        QCOMPARE(control<QLineEdit>(dialog, "Text2")->text(), QStringLiteral(" 1000"));
        QCOMPARE(control<QLineEdit>(dialog, "Text3")->text(), QStringLiteral(" 1000"));
    }

    void startValuesStoredUnchanged()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        clickOk(dialog);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(QString::fromStdString(m.BitCode), StartPattern);
        QCOMPARE(m.RepetitiveTime, 1.0f);
        QCOMPARE(m.BitLength, 1.0f / 1000.0f);
    }

    void okShowsMessagesInOrderAndStoresFallbacks_data()
    {
        QTest::addColumn<QString>("ms");
        QTest::addColumn<QString>("us");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<float>("repetitiveTime");
        QTest::addColumn<float>("bitLength");
        const QString rep = QString::fromLatin1(RepetitiveTimeMessage);
        const QString bit = QString::fromLatin1(BitLengthMessage);
        const QString fit = QString::fromLatin1(LengthCheckMessage);
        QTest::newRow("bounds 1000 ms, 20 us") << "1000"
                                               << "20" << QStringList() << 1.0f << 0.00002f;
        QTest::newRow("0.5 ms") << "0.5"
                                << "1000" << QStringList { rep } << 1.0f << 0.001f;
        QTest::newRow("19.5 us") << "1000"
                                 << "19.5" << QStringList { bit } << 1.0f << 0.001f;
        QTest::newRow("both") << ""
                              << "x" << QStringList { rep, bit } << 1.0f << 0.001f;
        QTest::newRow("10 ms") << "10"
                               << "1000" << QStringList { fit } << 32 * 0.001f << 0.001f;
        QTest::newRow("32 ms") << "32"
                               << "1000" << QStringList() << 0.032f << 0.001f;
    }

    void okShowsMessagesInOrderAndStoresFallbacks()
    {
        QFETCH(QString, ms);
        QFETCH(QString, us);
        QFETCH(QStringList, messages);
        QFETCH(float, repetitiveTime);
        QFETCH(float, bitLength);
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        setEntries(dialog, StartPattern, ms, us);
        clickOk(dialog);
        QCOMPARE(m_messages, messages);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m.RepetitiveTime, repetitiveTime);
        QCOMPARE(m.BitLength, bitLength);
    }

    void emptyPatternKeepsDialogOpen()
    {
        Module1 m { "0110", 0.25f, 0.0005f };
        FormCode dialog(m);
        dialog.show();
        setEntries(dialog, QString(), "5", "100");
        clickOk(dialog);
        QCOMPARE(m_messages, QStringList { QString::fromLatin1(BitSymbolMessage) });
        QVERIFY(dialog.isVisible());
        QCOMPARE(control<QPlainTextEdit>(dialog, "Text1")->toPlainText(), QStringLiteral("0110"));
        QCOMPARE(QString::fromStdString(m.BitCode), QStringLiteral("0110"));
        QCOMPARE(m.RepetitiveTime, 0.25f);
        QCOMPARE(m.BitLength, 0.0005f);
        // A second OK with the restored pattern closes and stores the other entries.
        m_messages.clear();
        clickOk(dialog);
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m.RepetitiveTime, 0.005f);
        QCOMPARE(m.BitLength, 0.0001f);
    }

    void cancelAndCloseStoreNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }

    void cancelAndCloseStoreNothing()
    {
        QFETCH(int, how);
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        setEntries(dialog, "1", "0", "0");
        if (how == 0)
            control<QPushButton>(dialog, "Command2")->click();
        else if (how == 1)
            QVERIFY(dialog.close());
        else
            QTest::keyClick(control<QPlainTextEdit>(dialog, "Text1"), Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(QString::fromStdString(m.BitCode), StartPattern);
        QCOMPARE(m.RepetitiveTime, 1.0f);
        QCOMPARE(m.BitLength, 0.001f);
    }

    void enterInPatternBoxIsOk()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        setEntries(dialog, "11", "250", "1000");
        QTest::keyClick(control<QPlainTextEdit>(dialog, "Text1"), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(m.BitCode), QStringLiteral("11"));
        QCOMPARE(m.RepetitiveTime, 0.25f);
    }

    void keyPredicate_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << int(Qt::Key_0) << 0 << true;
        QTest::newRow("1") << int(Qt::Key_1) << 0 << true;
        QTest::newRow("keypad 0") << int(Qt::Key_0) << int(Qt::KeypadModifier) << false;
        QTest::newRow("keypad 1") << int(Qt::Key_1) << int(Qt::KeypadModifier) << false;
        QTest::newRow("2") << int(Qt::Key_2) << 0 << false;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << true;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << true;
        QTest::newRow("Left") << int(Qt::Key_Left) << 0 << true;
        QTest::newRow("Right") << int(Qt::Key_Right) << 0 << true;
        QTest::newRow("Up") << int(Qt::Key_Up) << 0 << true;
        QTest::newRow("Down") << int(Qt::Key_Down) << 0 << true;
        QTest::newRow("Shift+Left selects") << int(Qt::Key_Left) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << 0 << false;
        QTest::newRow("A") << int(Qt::Key_A) << 0 << false;
        QTest::newRow("Shift") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << false;
        QTest::newRow("Control") << int(Qt::Key_Control) << int(Qt::ControlModifier) << false;
        QTest::newRow("Home") << int(Qt::Key_Home) << 0 << false;
        QTest::newRow("Insert") << int(Qt::Key_Insert) << 0 << false;
        QTest::newRow("exclamation (Shift+1)")
            << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << false;
    }

    void keyPredicate()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, accepted);
        QCOMPARE(acceptsBitPatternKey(key, Qt::KeyboardModifiers(modifiers)), accepted);
    }

    void rejectedKeysLeaveTextUnchanged_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("messages");
        QTest::newRow("keypad 1") << int(Qt::Key_1) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("keypad 0") << int(Qt::Key_0) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Space") << int(Qt::Key_Space) << 0 << 1;
        QTest::newRow("letter a") << int(Qt::Key_A) << 0 << 1;
        QTest::newRow("digit 2") << int(Qt::Key_2) << 0 << 1;
        QTest::newRow("Shift") << int(Qt::Key_Shift) << 0 << 1;
        QTest::newRow("Ctrl") << int(Qt::Key_Control) << 0 << 1;
        // The held modifier is a key of its own: one message for it, one for the letter.
        QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier) << 2;
        QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << 2;
        QTest::newRow("Home") << int(Qt::Key_Home) << 0 << 1;
    }

    void rejectedKeysLeaveTextUnchanged()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, messages);
        QApplication::clipboard()->setText(QStringLiteral("0000"));
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        auto* text1 = control<QPlainTextEdit>(dialog, "Text1");
        text1->setPlainText(QStringLiteral("1010"));
        QTextCursor cursor = text1->textCursor();
        cursor.setPosition(2);
        text1->setTextCursor(cursor);
        QTest::keyClick(text1, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(
            m_messages, QStringList(qsizetype(messages), QString::fromLatin1(BitSymbolMessage)));
        QCOMPARE(text1->toPlainText(), QStringLiteral("1010"));
        QCOMPARE(text1->textCursor().position(), 2);
        QVERIFY(dialog.isVisible());
    }

    void acceptedKeysEdit()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        auto* text1 = control<QPlainTextEdit>(dialog, "Text1");
        text1->setPlainText(QStringLiteral("10"));
        text1->moveCursor(QTextCursor::End);
        QTest::keyClick(text1, Qt::Key_1, Qt::NoModifier);
        QTest::keyClick(text1, Qt::Key_0, Qt::NoModifier);
        QCOMPARE(text1->toPlainText(), QStringLiteral("1010"));
        QTest::keyClick(text1, Qt::Key_Backspace);
        QCOMPARE(text1->toPlainText(), QStringLiteral("101"));
        QTest::keyClick(text1, Qt::Key_Left);
        QTest::keyClick(text1, Qt::Key_Left);
        QCOMPARE(text1->textCursor().position(), 1);
        QTest::keyClick(text1, Qt::Key_Delete);
        QCOMPARE(text1->toPlainText(), QStringLiteral("11"));
        QTest::keyClick(text1, Qt::Key_Right);
        QTest::keyClick(text1, Qt::Key_0);
        QCOMPARE(text1->toPlainText(), QStringLiteral("110"));
        QTest::keyClick(text1, Qt::Key_Up);
        QTest::keyClick(text1, Qt::Key_Down);
        QVERIFY(m_messages.isEmpty());
    }

    void pasteKeepsOnlyBits()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        auto* text1 = control<QPlainTextEdit>(dialog, "Text1");
        text1->setPlainText(QStringLiteral("00"));
        text1->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText(QStringLiteral("10a1"));
        text1->paste();
        QCOMPARE(text1->toPlainText(), QStringLiteral("00101"));
        QApplication::clipboard()->setText(QStringLiteral("abc \n"));
        text1->paste();
        QCOMPARE(text1->toPlainText(), QStringLiteral("00101"));
        QVERIFY(m_messages.isEmpty());
    }

    void dropKeepsOnlyBits()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        auto* text1 = control<QPlainTextEdit>(dialog, "Text1");
        text1->setPlainText(QString());
        QMimeData data;
        data.setText(QStringLiteral("1x0 y1"));
        const QPointF at(5, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(text1->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(text1->viewport(), &drop);
        QCOMPARE(text1->toPlainText(), QStringLiteral("101"));
    }

    void reopeningShowsStoredValues()
    {
        Module1 m = startModule();
        {
            FormCode dialog(m);
            dialog.show();
            setEntries(dialog, "0110", "250", "2000");
            clickOk(dialog);
        }
        QCOMPARE(m.RepetitiveTime, 0.25f);
        FormCode again(m);
        QCOMPARE(control<QPlainTextEdit>(again, "Text1")->toPlainText(), QStringLiteral("0110"));
        QCOMPARE(control<QLineEdit>(again, "Text2")->text(), QStringLiteral(" 250"));
        QCOMPARE(control<QLineEdit>(again, "Text3")->text(), QStringLiteral(" 2000"));

        // The same instance shown again after a Cancel forgets the abandoned edits.
        again.show();
        setEntries(again, "1", "7", "77");
        control<QPushButton>(again, "Command2")->click();
        again.show();
        QCOMPARE(control<QPlainTextEdit>(again, "Text1")->toPlainText(), QStringLiteral("0110"));
        QCOMPARE(control<QLineEdit>(again, "Text2")->text(), QStringLiteral(" 250"));
        QCOMPARE(control<QLineEdit>(again, "Text3")->text(), QStringLiteral(" 2000"));
    }

    void execIsModalAndReturnsAfterOk()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        bool sawModal = false;
        QTimer::singleShot(0, [&] {
            sawModal = QApplication::activeModalWidget() == &dialog;
            control<QLineEdit>(dialog, "Text2")->setText(QStringLiteral("500"));
            control<QPushButton>(dialog, "Command1")->click();
        });
        QTimer::singleShot(5000, &dialog, &QDialog::reject);
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(sawModal);
        QCOMPARE(m.RepetitiveTime, 0.5f);
    }

    void picture()
    {
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString path = QStringLiteral(VELLOX_TEST_OUTPUT_DIR "/FormCode.png");
        QVERIFY(dialog.grab().save(path));
        QCOMPARE(dialog.size(), QSize(440, 190));
    }

    // Under a dark desktop scheme the dialog keeps the program's light faces and dark text.
    void lightAndReadableUnderADarkPalette()
    {
        const QPalette desktop = QApplication::palette();
        QApplication::setPalette(testing::darkDesktopPalette());
        Module1 m = startModule();
        FormCode dialog(m);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const std::vector<testing::CaptionLook> looks = testing::captionLooks(&dialog);
        QApplication::setPalette(desktop);
        QVERIFY(looks.size() >= 6);
        const QStringList bad = testing::unreadableCaptions(looks, true);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));
    }
};

QTEST_MAIN(FormCodeTest)
#include "FormCodeTest.moc"
