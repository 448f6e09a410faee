#include "BitCodeRules.h"

#include <QTest>

#include <string>

using namespace vellox;

namespace {
const char* const StartPattern = "10011101010001101010111000101011";

Module1 startModule()
{
    return Module1 { StartPattern, 1.0f, 1.0f / 1000.0f };
}

QStringList toList(const std::vector<std::string>& messages)
{
    QStringList list;
    for (const std::string& m : messages)
        list << QString::fromStdString(m);
    return list;
}

const QString Rep = QString::fromLatin1(RepetitiveTimeMessage);
const QString Bit = QString::fromLatin1(BitLengthMessage);
const QString Fit = QString::fromLatin1(LengthCheckMessage);
}

class BitCodeRulesTest : public QObject {
    Q_OBJECT

private slots:
    void messageTexts()
    {
        QCOMPARE(QString::fromLatin1(BitSymbolMessage),
            QStringLiteral(
                "Enter bit simbol Low=0 or High=1 Or \nDelete, Back Space and Arrow Shift"));
        QCOMPARE(Rep, QStringLiteral("Value Repetitive Time is 1mS to 1000 mS "));
        QCOMPARE(Bit, QStringLiteral("Value Bit Lenght is 20uS to 1000000uS "));
        QCOMPARE(Fit, QStringLiteral("Set value Repetitive Time > (Bit Lenght)*(nBitCode)"));
    }

    void loadedTexts_data()
    {
        QTest::addColumn<float>("repetitiveTime");
        QTest::addColumn<float>("bitLength");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<QString>("text3");

        QTest::newRow("start values") << 1.0f << 1.0f / 1000.0f << " 1000"
                                      << " 1000";
        QTest::newRow("250 ms") << 0.25f << 0.001f << " 250"
                                << " 1000";
        // Single precision hides the float's error of 0.001 s: 1, not 1.00000005.
        QTest::newRow("1 ms") << 0.001f << 0.001f << " 1"
                              << " 1000";
        QTest::newRow("12.3 ms") << 0.0123f << 0.001f << " 12.3"
                                 << " 1000";
        // Two decimals hide the float's error of 20 us (19.9999994...).
        QTest::newRow("20 us") << 1.0f << 0.00002f << " 1000"
                               << " 20";
        QTest::newRow("25.5 us") << 1.0f << 0.0000255f << " 1000"
                                 << " 25.5";
        QTest::newRow("1 s bits") << 1.0f << 1.0f << " 1000"
                                  << " 1000000";
        QTest::newRow("bit = rep after a failed fit") << 0.001f << 0.001f << " 1"
                                                      << " 1000";
    }

    void loadedTexts()
    {
        QFETCH(float, repetitiveTime);
        QFETCH(float, bitLength);
        QFETCH(QString, text2);
        QFETCH(QString, text3);
        const BitCodeTexts texts = bitCodeTexts(Module1 { "0110", repetitiveTime, bitLength });
        QCOMPARE(QString::fromStdString(texts.Text1), QStringLiteral("0110"));
        QCOMPARE(QString::fromStdString(texts.Text2), text2);
        QCOMPARE(QString::fromStdString(texts.Text3), text3);
    }

    void okChecks_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<QString>("text3");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<float>("repetitiveTime");
        QTest::addColumn<float>("bitLength");

        const QString p = QString::fromLatin1(StartPattern);
        const QStringList none;
        const float ms = 0.001f;

        QTest::newRow("start values unchanged") << p << " 1000"
                                                << " 1000" << none << true << 1.0f << ms;
        QTest::newRow("rep lower bound 1") << "1"
                                           << "1"
                                           << "20" << none << true << 0.001f << 0.00002f;
        QTest::newRow("rep upper bound 1000") << p << "1000"
                                              << "1000" << none << true << 1.0f << ms;
        QTest::newRow("rep 250") << p << " 250"
                                 << " 1000" << none << true << 0.25f << ms;
        QTest::newRow("rep with blanks inside") << p << " 2 5 0 "
                                                << "1000" << none << true << 0.25f << ms;
        QTest::newRow("rep exponent") << p << "2.5E2"
                                      << "1000" << none << true << 0.25f << ms;
        QTest::newRow("rep trailing unit") << p << "250mS"
                                           << "1000" << none << true << 0.25f << ms;
        QTest::newRow("rep 0.5") << p << "0.5"
                                 << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("rep 1000.001") << p << "1000.001"
                                      << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("rep 5000") << p << "5000"
                                  << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("rep empty") << p << ""
                                   << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("rep no number") << p << "abc"
                                       << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("rep negative") << p << "-250"
                                      << "1000" << QStringList { Rep } << true << 1.0f << ms;
        QTest::newRow("bit lower bound 20") << p << "1000"
                                            << "20" << none << true << 1.0f << 0.00002f;
        // One bit of one second fills the whole second: equality passes.
        QTest::newRow("bit upper bound 1000000") << "1"
                                                 << "1000"
                                                 << "1000000" << none << true << 1.0f << 1.0f;
        QTest::newRow("bit 19.5") << p << "1000"
                                  << "19.5" << QStringList { Bit } << true << 1.0f << ms;
        QTest::newRow("bit 1000001") << "1"
                                     << "1000"
                                     << "1000001" << QStringList { Bit } << true << 1.0f << ms;
        QTest::newRow("bit empty") << p << "1000"
                                   << "" << QStringList { Bit } << true << 1.0f << ms;
        QTest::newRow("both out of range, rep first")
            << p << "0"
            << "5" << QStringList { Rep, Bit } << true << 1.0f << ms;
        // A pattern longer than the period makes the period its length: every bit is sent.
        QTest::newRow("32 bits of 1 ms in 10 ms")
            << p << "10"
            << "1000" << QStringList { Fit } << true << 32 * ms << ms;
        QTest::newRow("32 bits of 1 ms in 32 ms") << p << "32"
                                                  << "1000" << none << true << 0.032f << ms;
        QTest::newRow("32 bits of 1 ms in 31.9 ms")
            << p << "31.9"
            << "1000" << QStringList { Fit } << true << 32 * ms << ms;
        // The double product of the stored floats (0.00300000014) exceeds the stored 3 ms
        // (0.00300000003); rounded to single precision both are the same.
        QTest::newRow("3 bits of 1 ms in 3 ms, single precision")
            << "101"
            << "3"
            << "1000" << none << true << 0.003f << ms;
        QTest::newRow("5 bits of 300 us in 1.5 ms, single precision")
            << "10101"
            << "1.5"
            << "300" << none << true << 0.0015f << 0.0003f;
        QTest::newRow("bad bit length, then the fallback does not fit")
            << p << "10"
            << "5" << QStringList { Bit, Fit } << true << 32 * ms << ms;
        // 1001 bits of 1 ms: the period stops at its upper bound, 1 s.
        QTest::newRow("all three messages")
            << QString(1001, u'1') << "0"
            << "0" << QStringList { Rep, Bit, Fit } << true << 1.0f << ms;
    }

    void okChecks()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text2);
        QFETCH(QString, text3);
        QFETCH(QStringList, messages);
        QFETCH(bool, closes);
        QFETCH(float, repetitiveTime);
        QFETCH(float, bitLength);

        const BitCodeOutcome outcome = checkBitCodeEntries(
            { pattern.toStdString(), text2.toStdString(), text3.toStdString() }, startModule());
        QCOMPARE(toList(outcome.messages), messages);
        QCOMPARE(outcome.close, closes);
        QCOMPARE(QString::fromStdString(outcome.stored.BitCode), pattern);
        // Exact: the stored floats are what the rules compute, not approximately.
        QCOMPARE(outcome.stored.RepetitiveTime, repetitiveTime);
        QCOMPARE(outcome.stored.BitLength, bitLength);
    }

    void emptyPatternStoresNothing()
    {
        const Module1 current { "0110", 0.25f, 0.0005f };
        const BitCodeOutcome outcome = checkBitCodeEntries({ "", "0", "0" }, current);
        QCOMPARE(toList(outcome.messages), QStringList { QString::fromLatin1(BitSymbolMessage) });
        QVERIFY(!outcome.close);
        QCOMPARE(QString::fromStdString(outcome.stored.BitCode), QStringLiteral("0110"));
        QCOMPARE(outcome.stored.RepetitiveTime, 0.25f);
        QCOMPARE(outcome.stored.BitLength, 0.0005f);
    }

    void countsCharactersNotBytes()
    {
        QCOMPARE(characterCount(""), size_t(0));
        QCOMPARE(characterCount("0101"), size_t(4));
        QCOMPARE(characterCount("\xC3\xA9\xE2\x82\xAC"), size_t(2));
    }
};

QTEST_APPLESS_MAIN(BitCodeRulesTest)
#include "BitCodeRulesTest.moc"
