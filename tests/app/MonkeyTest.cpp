// A seeded random-input test of the real main window: clicks, drags, keys, typed text,
// spinner and slider actions, option choices, the bit-code dialog with hostile entries,
// About, Help, timer ticks, rate changes, Exit and injected device failures, one after
// the other, with the window's invariants checked after every event.
//
// Replay: VELLOX_MONKEY_SEED picks the seed, VELLOX_MONKEY_EVENTS the number of events
// (the default differs per build tree). A failure names the seed and the event index;
// running with that seed and index + 1 events reproduces it.
//
// Determinism: the window's two timers never fire on their own here (their timer events
// are swallowed); a tick is an event the monkey chooses, delivered by calling the tick
// handler while the timer is armed, also from inside an open dialog or message.

#include "BitCodeRules.h"
#include "ControlCaptions.h"
#include "DialogAnswers.h"
#include "FakeSoundBackend.h"
#include "FormCode.h"
#include "FormGen.h"
#include "FrequencyScale.h"
#include "Help.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "SoundObjects.h"
#include "Synthesizer.h"
#include "UpDown.h"
#include "frmAboutGen.h"

#include "Messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <set>

#ifndef VELLOX_MONKEY_DEFAULT_EVENTS
#define VELLOX_MONKEY_DEFAULT_EVENTS 60000
#endif
#ifndef VELLOX_MONKEY_DEFAULT_SEED
#define VELLOX_MONKEY_DEFAULT_SEED 20260517
#endif

using namespace vellox;
using audio::FakeSoundBackend;
using audio::SoundOp;
using Kind = audio::SoundOp::Kind;
using vellox::testing::visibleTopLevel;

namespace {

constexpr unsigned long long DefaultSeed = VELLOX_MONKEY_DEFAULT_SEED;

unsigned long long envNumber(const char* name, unsigned long long fallback)
{
    const QByteArray value = qgetenv(name);
    if (value.isEmpty())
        return fallback;
    bool ok = false;
    const unsigned long long n = value.toULongLong(&ok);
    return ok ? n : fallback;
}

// Swallows the timer events of the window's QTimers: ticks come from the monkey only.
class TimerGate : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

// The text rule of the frequency boxes: does the text start with a number (blanks, tabs
// and line feeds skipped)? Written from the rule, not from the window's code.
bool startsWithNumber(const QString& text)
{
    QString s;
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n')
            s += c;
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d|\\.\\d)"));
    static const QRegularExpression hex(QStringLiteral("^&[Hh][0-9A-Fa-f]"));
    static const QRegularExpression octal(QStringLiteral("^&[Oo][0-7]"));
    return decimal.match(s).hasMatch() || hex.match(s).hasMatch() || octal.match(s).hasMatch();
}

// What a typed entry sets: the number clamped to 20..20000, then rounded half-even.
int expectedEntry(const QString& text)
{
    const double v = readNumber(text.toStdString());
    return int(std::nearbyint(std::clamp(v, double(MinFrequency), double(MaxFrequency))));
}

bool onlyBits(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("01") == std::string::npos;
}

} // namespace

class MonkeyTest : public QObject {
    Q_OBJECT

private:
    std::mt19937_64 rng;
    std::unique_ptr<FakeSoundBackend> fake;
    std::unique_ptr<FormGen> window;
    TimerGate gate;
    // Help hands the page to the desktop's opener; this one, first on the PATH, takes it
    // and ends at once with success, so no viewer starts.
    QTemporaryDir fakeOpenerDir;
    QByteArray pathBefore;

    unsigned long long seed = DefaultSeed;
    long long eventIndex = -1;
    QString action; // the event being run, for the failure report
    std::deque<QString> recent; // the last events, for the failure report
    QString failure; // first broken invariant seen inside a callback

    // What the monkey knows of the window between events.
    bool waveformChosen = false; // an Option1 member has been clicked since start-up
    bool level1Set = false, level2Set = false, noiseSet = false;
    bool text1Typed = false, text2Typed = false; // typed into and not yet taken over
    bool sliderMoved = false;
    int endCalls = 0;

    // Per event.
    QStringList messages; // texts shown through the message seam
    QStringList failureMessages;
    int dialogsSeen = 0; // FormCode showings answered
    int aboutsSeen = 0;
    int expectDialogs = 0; // FormCode showings this event must produce (at least)
    size_t checkedOps = 0; // ops of the fake already checked for writes

    // The last buffer found equal to a fresh synthesis, and its inputs.
    SynthSettings verifiedSettings;
    Module1 verifiedModule1;
    std::vector<int16_t> verifiedSamples;
    long long totalSynthesisChecks = 0;

    // Statistics for the summary line.
    QMap<QString, long long> counts;
    QMap<QString, long long> nanos;
    long long totalMessages = 0, totalWrites = 0, totalDialogs = 0, totalFailures = 0;

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }

    void fail(const QString& what)
    {
        if (failure.isEmpty())
            failure = what;
    }
    void check(bool ok, const QString& what)
    {
        if (!ok)
            fail(what);
    }

    QString context() const
    {
        QString text = QStringLiteral("seed=%1 event=%2 action=%3\nreplay: VELLOX_MONKEY_SEED=%1 "
                                      "VELLOX_MONKEY_EVENTS=%4\nlast events:")
                           .arg(seed)
                           .arg(eventIndex)
                           .arg(action)
                           .arg(eventIndex + 1);
        for (const QString& r : recent)
            text += QStringLiteral("\n  ") + r;
        return text;
    }

    // ---- window lifetime --------------------------------------------------------------

    void makeWindow()
    {
        fake = std::make_unique<FakeSoundBackend>();
        window = std::make_unique<FormGen>(*fake);
        window->setEndProgram([this] { ++endCalls; });
        window->Timer1->installEventFilter(&gate);
        window->Timer2->installEventFilter(&gate);
        window->show();
        waveformChosen = level1Set = level2Set = noiseSet = false;
        text1Typed = text2Typed = sliderMoved = false;
        endCalls = 0;
        checkedOps = 0;
        fake->clearOps();
    }

    // ---- the answers to dialogs and messages ----------------------------------------------

    void onMessage(QWidget* parent, const QString& text)
    {
        messages << text;
        ++totalMessages;
        const bool inDialog = qobject_cast<FormCode*>(parent) != nullptr;
        static const QSet<QString> dialogTexts {
            QString::fromUtf8(BitSymbolMessage),
            QString::fromUtf8(RepetitiveTimeMessage),
            QString::fromUtf8(BitLengthMessage),
            QString::fromUtf8(LengthCheckMessage),
        };
        if (text == QString::fromLatin1(PlayFailureMessage)) {
            check(!inDialog, QStringLiteral("the restart's failure message came from the dialog"));
            failureMessages << text;
            // A tick while the message is open: the window must let it wait.
            if (window && window->Timer1->isActive() && chance(0.3))
                tickTimer1(QStringLiteral("tick inside the failure message"));
        } else if (dialogTexts.contains(text)) {
            check(inDialog, QStringLiteral("bit-code message outside the dialog: ") + text);
        } else {
            // Help's "page not found" note is the only other message of the program.
            check(text.contains(QStringLiteral("generator.html")),
                QStringLiteral("unknown message: ") + text);
        }
    }

    // Runs `answer` once the next modal dialog is shown; an unused answer is dropped.
    QTimer* armAnswer(std::function<void()> answer)
    {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [answer = std::move(answer)] { answer(); });
        timer->start(0);
        return timer;
    }

    void tickTimer1(const QString& where)
    {
        window->Timer1_Timer();
        // Writes made here are checked against the settings in force now.
        checkWrites(where);
    }

    QString hostileNumberText()
    {
        static const char* const texts[] = { "", " ", "0", "1", "20", "19.5", "1000", "1000000",
            "1000001", "0.5", "999.9999", "-5", "-0", "+7", "1E3", "1e-3", "2D2", "1E999", "-1E999",
            "1E-999", "&H3E8", "&HFFFFFFFFFFFFFFFFFFFFFFFF", "&O17", "&O", "&H", "abc", "12abc",
            " 1 2 ", "\t5\n", ".", "-.", ".5", "5.", "1.2.3", "e5", "NaN", "inf",
            "99999999999999999999999999999999", "0.0000000000000001", "3.4028235E38",
            "1.7976931348623157E308", "++1", "--1", "1E", "1E+", "20.000001", "19.999999", "\r500",
            "5\r00", "\v7", "1 000", "4 4 0 Hz" };
        if (chance(0.7))
            return QString::fromLatin1(texts[pick(int(std::size(texts)))]);
        // A random number text.
        switch (pick(4)) {
        case 0:
            return QString::number(pick(2000000) - 500);
        case 1:
            return QString::number(uniform(-10, 1200000), 'g', 1 + pick(17));
        case 2:
            return QString::number(uniform(0, 2000), 'e', pick(10));
        default: {
            static const char alphabet[] = "0123456789.+-eEdD&hHoO \tx";
            QString s;
            const int n = pick(12);
            for (int i = 0; i < n; ++i)
                s += QChar::fromLatin1(alphabet[pick(int(sizeof alphabet) - 1)]);
            return s;
        }
        }
    }

    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r')
            || text.contains(u'\v'))
            edit->insert(text); // pasted: tabs and line feeds cannot be typed into a box
        else
            QTest::keyClicks(edit, text);
    }

    // The user's work in the bit-code dialog: keys in the pattern box, texts in the two
    // number boxes, then OK, Enter, Cancel, Escape or the close box.
    void answerFormCode(int round)
    {
        auto* dialog = qobject_cast<FormCode*>(QApplication::activeModalWidget());
        if (!dialog) {
            fail(QStringLiteral("the bit-code dialog is not the active modal window"));
            return;
        }
        ++dialogsSeen;
        ++totalDialogs;
        auto* pattern = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        auto* repetition = dialog->findChild<QLineEdit*>(QStringLiteral("Text2"));
        auto* bitLength = dialog->findChild<QLineEdit*>(QStringLiteral("Text3"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("Command1"));
        auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("Command2"));
        if (!pattern || !repetition || !bitLength || !ok || !cancel) {
            fail(QStringLiteral("the bit-code dialog lacks a control"));
            dialog->reject();
            return;
        }
        const Module1 before = window->module1();

        // It opens with the stored settings.
        if (round == 0) {
            check(pattern->toPlainText().toStdString() == before.BitCode,
                QStringLiteral("dialog pattern box differs from BitCode"));
            const double shownMs = readNumber(repetition->text().toStdString());
            check(std::fabs(shownMs - double(before.RepetitiveTime) * 1000.0)
                    <= 1e-6 * std::max(1.0, shownMs),
                QStringLiteral("dialog shows repetition %1 for %2 s")
                    .arg(repetition->text())
                    .arg(double(before.RepetitiveTime)));
            const double shownUs = readNumber(bitLength->text().toStdString());
            check(std::fabs(shownUs - double(before.BitLength) * 1e6) <= 0.006,
                QStringLiteral("dialog shows bit length %1 for %2 s")
                    .arg(bitLength->text())
                    .arg(double(before.BitLength)));
        }

        // A tick while the dialog is open.
        if (window->Timer1->isActive() && chance(0.2))
            tickTimer1(QStringLiteral("tick inside the bit-code dialog"));

        // Keys in the pattern box; a refused key leaves the text as it was.
        pattern->setFocus();
        const int keys = chance(0.3) ? pick(6) : 0;
        for (int k = 0; k < keys; ++k) {
            static const Qt::Key pool[] = { Qt::Key_0, Qt::Key_1, Qt::Key_Backspace, Qt::Key_Delete,
                Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_2, Qt::Key_A,
                Qt::Key_Space, Qt::Key_Shift, Qt::Key_Home, Qt::Key_Minus, Qt::Key_Period };
            const Qt::Key key = pool[pick(int(std::size(pool)))];
            const Qt::KeyboardModifiers mods = chance(0.1) ? Qt::KeypadModifier
                : chance(0.05)                             ? Qt::ShiftModifier
                                                           : Qt::NoModifier;
            const QString textBefore = pattern->toPlainText();
            const int messagesBefore = int(messages.size());
            QTest::keyClick(pattern, key, mods);
            // With Shift held, the Shift key itself comes first, and it is refused too.
            const int refused = (acceptsBitPatternKey(key, mods) ? 0 : 1)
                + (mods.testFlag(Qt::ShiftModifier) ? 1 : 0);
            if (!acceptsBitPatternKey(key, mods))
                check(pattern->toPlainText() == textBefore,
                    QStringLiteral("refused key %1 (modifiers %2) changed the pattern")
                        .arg(int(key), 0, 16)
                        .arg(int(mods), 0, 16));
            check(messages.size() == messagesBefore + refused
                    && messages.mid(messagesBefore)
                        == QStringList(refused, QString::fromUtf8(BitSymbolMessage)),
                QStringLiteral("key %1 (modifiers %2) gave messages: %3")
                    .arg(int(key), 0, 16)
                    .arg(int(mods), 0, 16)
                    .arg(messages.mid(messagesBefore).join(u'|')));
        }
        // A whole new pattern: empty, short, long; typed through the key filter.
        if (chance(0.6)) {
            const int choice = pick(10);
            pattern->selectAll();
            QTest::keyClick(pattern, Qt::Key_Delete);
            int length = 0;
            if (choice == 0)
                length = 0; // empty
            else if (choice <= 6)
                length = 1 + pick(40);
            else if (choice <= 8)
                length = 40 + pick(200);
            else
                length = 1000 + pick(500);
            QString bits;
            for (int i = 0; i < length; ++i)
                bits += chance(0.5) ? u'1' : u'0';
            if (!bits.isEmpty())
                QTest::keyClicks(pattern, bits);
            check(pattern->toPlainText() == bits,
                QStringLiteral("typed bits did not reach the pattern box"));
        }
        if (chance(0.7))
            typeInto(repetition, hostileNumberText());
        if (chance(0.7))
            typeInto(bitLength, hostileNumberText());

        const std::string entered = pattern->toPlainText().toStdString();
        const QString repetitionText = repetition->text();
        const QString bitLengthText = bitLength->text();
        const int messagesBefore = int(messages.size());

        // Close it: OK (button or Enter) or Cancel (button, Escape or the close box).
        const int how = round >= 3 ? 3 : pick(6);
        bool okPressed = false;
        switch (how) {
        case 0:
        case 1:
            QTest::mouseClick(ok, Qt::LeftButton);
            okPressed = true;
            break;
        case 2:
            pattern->setFocus();
            QTest::keyClick(pattern, Qt::Key_Return);
            okPressed = true;
            break;
        case 3:
            QTest::mouseClick(cancel, Qt::LeftButton);
            break;
        case 4:
            QTest::keyClick(dialog, Qt::Key_Escape);
            break;
        default:
            dialog->close();
            break;
        }
        const Module1& after = window->module1();
        const QStringList shown = messages.mid(messagesBefore);
        if (!okPressed) {
            check(after.BitCode == before.BitCode && after.RepetitiveTime == before.RepetitiveTime
                    && after.BitLength == before.BitLength,
                QStringLiteral("Cancel changed the bit-code settings"));
            check(!dialog->isVisible(), QStringLiteral("Cancel left the dialog open"));
            check(shown.isEmpty(), QStringLiteral("Cancel showed a message"));
            return;
        }
        if (entered.empty()) {
            // Refused before anything is stored: the stored pattern is back in the box.
            check(
                dialog->isVisible(), QStringLiteral("OK with an empty pattern closed the dialog"));
            check(after.BitCode == before.BitCode && after.RepetitiveTime == before.RepetitiveTime
                    && after.BitLength == before.BitLength,
                QStringLiteral("OK with an empty pattern stored something"));
            check(pattern->toPlainText().toStdString() == before.BitCode,
                QStringLiteral("OK with an empty pattern did not restore the pattern"));
            check(shown == QStringList { QString::fromUtf8(BitSymbolMessage) },
                QStringLiteral("OK with an empty pattern: messages %1").arg(shown.join(u'|')));
            if (dialog->isVisible())
                armAnswer([this, round] { answerFormCode(round + 1); });
            return;
        }
        check(!dialog->isVisible(), QStringLiteral("OK left the dialog open"));
        check(after.BitCode == entered, QStringLiteral("OK did not store the typed pattern"));
        // Stored values stay within the rules' limits whatever was typed.
        check(std::isfinite(after.RepetitiveTime) && after.RepetitiveTime >= 0.001f
                && after.RepetitiveTime <= 1.0f,
            QStringLiteral("RepetitiveTime %1 from '%2'")
                .arg(double(after.RepetitiveTime))
                .arg(repetitionText));
        check(std::isfinite(after.BitLength) && after.BitLength >= float(20e-6)
                && after.BitLength <= 1.0f,
            QStringLiteral("BitLength %1 from '%2'")
                .arg(double(after.BitLength))
                .arg(bitLengthText));
        // The pattern fits into the repetition time, or the time grew to its limit, 1 s.
        const float patternSeconds
            = float(double(after.BitLength) * double(characterCount(after.BitCode)));
        check(patternSeconds <= after.RepetitiveTime || after.RepetitiveTime == 1.0f,
            QStringLiteral("pattern of %1 s does not fit %2 s")
                .arg(double(patternSeconds))
                .arg(double(after.RepetitiveTime)));
        // Entries in range are stored as typed.
        const double r = readNumber(repetitionText.toStdString());
        const bool rangeR = r >= 1.0 && r <= 1000.0;
        if (rangeR && !shown.contains(QString::fromUtf8(LengthCheckMessage)))
            check(after.RepetitiveTime == float(r / 1000.0),
                QStringLiteral("repetition %1 ms stored as %2 s")
                    .arg(r)
                    .arg(double(after.RepetitiveTime)));
        check(rangeR != shown.contains(QString::fromUtf8(RepetitiveTimeMessage)),
            QStringLiteral("repetition message for '%1': %2")
                .arg(repetitionText, shown.join(u'|')));
        const double b = readNumber(bitLengthText.toStdString());
        const bool rangeB = b >= 20.0 && b <= 1000000.0;
        if (rangeB)
            check(after.BitLength == float(b / 1e6),
                QStringLiteral("bit length %1 us stored as %2 s")
                    .arg(b)
                    .arg(double(after.BitLength)));
        check(rangeB != shown.contains(QString::fromUtf8(BitLengthMessage)),
            QStringLiteral("bit-length message for '%1': %2").arg(bitLengthText, shown.join(u'|')));
    }

    void answerAbout()
    {
        auto* about = qobject_cast<frmAboutGen*>(QApplication::activeModalWidget());
        if (!about) {
            fail(QStringLiteral("the About box is not the active modal window"));
            return;
        }
        ++aboutsSeen;
        switch (pick(3)) {
        case 0:
            if (auto* ok = about->findChild<QPushButton*>(QStringLiteral("cmdOK")))
                QTest::mouseClick(ok, Qt::LeftButton);
            break;
        case 1:
            QTest::keyClick(about, Qt::Key_Escape);
            break;
        default:
            QTest::keyClick(about, Qt::Key_Return);
            break;
        }
        if (about->isVisible()) {
            fail(QStringLiteral("the About box stayed open"));
            about->reject();
        }
    }

    // ---- events ---------------------------------------------------------------------------

    float randomScaleX()
    {
        switch (pick(8)) {
        case 0: {
            static const float ends[] = { 0.0f, -0.0f, 0.4f, 0.8f, 1.0f, 799.0f, 799.5f, 800.0f,
                800.5f, 801.0f, -1.0f, -0.5f, 12.5f, 37.5f };
            return ends[pick(int(std::size(ends)))];
        }
        case 1:
            return float(uniform(-5000, 5000));
        case 2:
            return float(pick(801));
        default:
            return float(uniform(-40, 840));
        }
    }

    void scaleEvent()
    {
        const bool first = chance(0.5);
        PictureBox* area = first ? window->Picture1 : window->Picture2;
        const float x = randomScaleX();
        const QPointF at(double(x) + PictureBox::BorderWidth, uniform(-10, 50));
        static const Qt::MouseButton singles[]
            = { Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton };
        const int kind = pick(10);
        if (kind < 4) {
            const Qt::MouseButton button = singles[pick(int(std::size(singles)))];
            action = QStringLiteral("press F%1 scale x=%2 button=%3")
                         .arg(first ? 1 : 2)
                         .arg(double(x))
                         .arg(int(button));
            QMouseEvent press(QEvent::MouseButtonPress, at, area->mapToGlobal(at), button, button,
                Qt::NoModifier);
            QApplication::sendEvent(area, &press);
            if (chance(0.7)) {
                QMouseEvent release(QEvent::MouseButtonRelease, at, area->mapToGlobal(at), button,
                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(area, &release);
            }
        } else if (kind < 8) {
            // A drag: a few moves with any set of buttons held, past either end at times.
            Qt::MouseButtons held;
            const int bits = chance(0.6) ? 1 : pick(8);
            if (bits & 1)
                held |= Qt::LeftButton;
            if (bits & 2)
                held |= Qt::RightButton;
            if (bits & 4)
                held |= Qt::MiddleButton;
            const int steps = 1 + pick(3);
            action = QStringLiteral("drag F%1 scale from x=%2 buttons=%3 steps=%4")
                         .arg(first ? 1 : 2)
                         .arg(double(x))
                         .arg(bits)
                         .arg(steps);
            double px = at.x();
            for (int s = 0; s < steps; ++s) {
                const QPointF p(px, at.y() + uniform(-3, 3));
                QMouseEvent move(QEvent::MouseMove, p, area->mapToGlobal(p), Qt::NoButton, held,
                    chance(0.1) ? Qt::ShiftModifier : Qt::NoModifier);
                QApplication::sendEvent(area, &move);
                px += chance(0.1) ? uniform(-900, 900) : uniform(-8, 8);
            }
        } else {
            // The handlers as the platform would call them, with every button bit set.
            const int button = pick(8);
            const int shift = pick(8);
            const bool down = chance(0.5);
            action = QStringLiteral("Picture%1_%2(button=%3, x=%4)")
                         .arg(first ? 1 : 2)
                         .arg(down ? QStringLiteral("MouseDown") : QStringLiteral("MouseMove"))
                         .arg(button)
                         .arg(double(x));
            const float y = float(uniform(-5, 45));
            if (first)
                down ? window->Picture1_MouseDown(button, shift, x, y)
                     : window->Picture1_MouseMove(button, shift, x, y);
            else
                down ? window->Picture2_MouseDown(button, shift, x, y)
                     : window->Picture2_MouseMove(button, shift, x, y);
        }
    }

    void clickOption(QRadioButton* option, const QString& name)
    {
        action = QStringLiteral("click ") + name;
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    }

    void waveformEvent()
    {
        const int index = pick(WaveformCount);
        QRadioButton* option = window->Option1[size_t(index)];
        const bool wasChecked = option->isChecked();
        const bool opens = index == WaveBitCode && !wasChecked;
        if (opens) {
            ++expectDialogs;
            armAnswer([this] { answerFormCode(0); });
        }
        clickOption(option, QStringLiteral("Option1(%1)").arg(index));
        // Clicking the option already selected changes nothing and runs no handler.
        if (option->isChecked() && !wasChecked)
            waveformChosen = true;
    }

    void modeEvent()
    {
        QRadioButton* const modes[] = { window->Option2, window->Option3, window->Option7,
            window->Option8, window->Option9, window->Option10 };
        const int i = pick(6);
        clickOption(modes[i], modes[i]->objectName());
    }

    void sweepEvent()
    {
        QRadioButton* const modes[] = { window->Option4, window->Option5, window->Option6 };
        const int i = pick(3);
        clickOption(modes[i], modes[i]->objectName());
    }

    void rateEvent()
    {
        // The lower rates more often: a restart at 192000 Hz costs four times one at 44100.
        // Weights 5, 3 and 2 for the first three rates, 1 for any further one.
        static constexpr int firstWeights[] = { 5, 3, 2 };
        const auto weight = [](std::size_t i) { return i < 3 ? firstWeights[i] : 1; };
        int total = 0;
        for (std::size_t i = 0; i < SampleRateCount; ++i)
            total += weight(i);
        int r = pick(total);
        std::size_t i = 0;
        while (r >= weight(i))
            r -= weight(i++);
        QRadioButton* const option = window->RateOption[i];
        clickOption(option, option->objectName());
    }

    void spinnerEvent()
    {
        UpDown* const spinners[] = { window->UpDown1, window->UpDown2, window->UpDown3,
            window->UpDown4, window->UpDown5, window->UpDown6, window->UpDown7 };
        const int i = pick(7);
        UpDown* spinner = spinners[i];
        const bool up = chance(0.5);
        const int repeat = chance(0.1) ? 2 + pick(4) : 1;
        if (chance(0.5)) {
            action = QStringLiteral("UpDown%1 %2 arrow x%3")
                         .arg(i + 1)
                         .arg(up ? QStringLiteral("upper") : QStringLiteral("lower"))
                         .arg(repeat);
            const QPoint p(
                spinner->width() / 2, up ? spinner->height() / 4 : spinner->height() * 3 / 4);
            for (int r = 0; r < repeat; ++r) {
                QTest::mousePress(spinner, Qt::LeftButton, {}, p);
                QTest::mouseRelease(spinner, Qt::LeftButton, {}, p);
            }
        } else {
            action = QStringLiteral("UpDown%1 key %2 x%3")
                         .arg(i + 1)
                         .arg(up ? QStringLiteral("Up") : QStringLiteral("Down"))
                         .arg(repeat);
            spinner->setFocus();
            for (int r = 0; r < repeat; ++r)
                QTest::keyClick(spinner, up ? Qt::Key_Up : Qt::Key_Down);
        }
        if (i == 1)
            level1Set = true;
        if (i == 3)
            level2Set = true;
        if (i == 4)
            noiseSet = true;
    }

    void sliderEvent()
    {
        QSlider* slider = window->Slider1;
        static const QAbstractSlider::SliderAction actions[] = {
            QAbstractSlider::SliderSingleStepAdd,
            QAbstractSlider::SliderSingleStepSub,
            QAbstractSlider::SliderPageStepAdd,
            QAbstractSlider::SliderPageStepSub,
            QAbstractSlider::SliderToMinimum,
            QAbstractSlider::SliderToMaximum,
        };
        static const Qt::Key keys[] = { Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp,
            Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, Qt::Key_Up, Qt::Key_Down };
        sliderMoved = true;
        switch (pick(3)) {
        case 0: {
            const int a = pick(int(std::size(actions)));
            action = QStringLiteral("Slider1 action %1").arg(int(actions[a]));
            slider->triggerAction(actions[a]);
            break;
        }
        case 1: {
            const int k = pick(int(std::size(keys)));
            action = QStringLiteral("Slider1 key %1").arg(int(keys[k]));
            slider->setFocus();
            QTest::keyClick(slider, keys[k]);
            break;
        }
        default: {
            // Dragging the thumb to a position, as the user's drag does.
            const int to = pick(128);
            action = QStringLiteral("Slider1 drag to %1").arg(to);
            slider->setSliderDown(true);
            slider->setSliderPosition(to);
            slider->setSliderDown(false);
            break;
        }
        }
    }

    void entryEvent()
    {
        const bool first = chance(0.5);
        QLineEdit* edit = first ? window->Text1 : window->Text2;
        QPushButton* enter = first ? window->Command4 : window->Command5;
        const QString text = hostileNumberText();
        typeInto(edit, text);
        (first ? text1Typed : text2Typed) = true;
        const int how = pick(4);
        const int16_t before = first ? window->state().Frequency1 : window->state().Frequency2;
        action = QStringLiteral("type '%1' into Text%2, then %3")
                     .arg(text)
                     .arg(first ? 1 : 2)
                     .arg(how == 0      ? QStringLiteral("Enter")
                             : how == 1 ? QStringLiteral("the Enter button")
                             : how == 2 ? QStringLiteral("keypad Enter")
                                        : QStringLiteral("nothing"));
        switch (how) {
        case 0:
            QTest::keyClick(edit, Qt::Key_Return);
            break;
        case 1:
            QTest::mouseClick(enter, Qt::LeftButton);
            break;
        case 2:
            QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
            break;
        default:
            return;
        }
        (first ? text1Typed : text2Typed) = false;
        const GeneratorState& s = window->state();
        const int16_t now = first ? s.Frequency1 : s.Frequency2;
        const int expected = startsWithNumber(text) ? expectedEntry(text) : before;
        check(now == expected,
            QStringLiteral("entry '%1' set %2 Hz, expected %3 Hz")
                .arg(text)
                .arg(now)
                .arg(expected));
        check(edit->text() == QString::fromStdString(plainNumber(int(now))),
            QStringLiteral("after the entry the box reads '%1' for %2 Hz")
                .arg(edit->text())
                .arg(now));
    }

    void typeOnlyEvent()
    {
        // Keys that are not Enter reach the box and change nothing else.
        const bool first = chance(0.5);
        QLineEdit* edit = first ? window->Text1 : window->Text2;
        static const Qt::Key keys[] = { Qt::Key_A, Qt::Key_5, Qt::Key_Backspace, Qt::Key_Delete,
            Qt::Key_Left, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Space, Qt::Key_Minus };
        const Qt::Key key = keys[pick(int(std::size(keys)))];
        action = QStringLiteral("key %1 in Text%2").arg(int(key)).arg(first ? 1 : 2);
        const QString before = edit->text();
        edit->setFocus();
        QTest::keyClick(edit, key);
        if (edit->text() != before)
            (first ? text1Typed : text2Typed) = true;
    }

    void buttonEvent()
    {
        const int which = pick(20);
        if (which < 8) {
            action = QStringLiteral("click Start");
            QTest::mouseClick(window->Play, Qt::LeftButton);
        } else if (which < 13) {
            action = QStringLiteral("click Stop");
            QTest::mouseClick(window->Stop, Qt::LeftButton);
        } else if (which < 17) {
            action = QStringLiteral("click Set Bit (%1)")
                         .arg(window->Command3->isEnabled() ? QStringLiteral("enabled")
                                                            : QStringLiteral("disabled"));
            if (window->Command3->isEnabled()) {
                ++expectDialogs;
                armAnswer([this] { answerFormCode(0); });
            }
            QTest::mouseClick(window->Command3, Qt::LeftButton);
        } else if (which < 19) {
            action = QStringLiteral("click About");
            const int before = aboutsSeen;
            armAnswer([this] { answerAbout(); });
            QTest::mouseClick(window->Command6, Qt::LeftButton);
            check(aboutsSeen == before + 1, QStringLiteral("About showed no box"));
        } else {
            action = QStringLiteral("click Help");
            // Openers end only through the event loop, which does not run during the click:
            // a new one is this click's.
            const QList<QProcess*> before = window->findChildren<QProcess*>();
            const int shown = int(messages.size());
            QTest::mouseClick(window->Command1, Qt::LeftButton);
            const QList<QProcess*> after = window->findChildren<QProcess*>();
            const bool started = std::any_of(after.begin(), after.end(), [&](QProcess* p) {
                return !before.contains(p) && p->program() == QLatin1String(DesktopOpener);
            });
            // Either the page went to the opener or the user was told where it lies.
            check(started || messages.size() == shown + 1,
                QStringLiteral("Help neither handed the page on nor said why"));
        }
    }

    void tickEvent()
    {
        if (window->Timer2->isActive() && chance(0.3)) {
            action = QStringLiteral("Timer2 tick");
            window->Timer2_Timer();
            check(!window->Timer2->isActive(), QStringLiteral("Timer2 stays armed after its tick"));
            check(window->Timer1->isActive() && window->Timer1->interval() == 10,
                QStringLiteral("Timer2's tick did not arm Timer1 with 10 ms"));
        } else if (window->Timer1->isActive()) {
            action = QStringLiteral("Timer1 tick (%1, F1=%2)")
                         .arg(QString::fromStdString(window->state().SweepMode))
                         .arg(window->state().Frequency1);
            const int16_t before = window->state().Frequency1;
            const std::string mode = window->state().SweepMode;
            window->Timer1_Timer();
            const int16_t after = window->state().Frequency1;
            if (mode == "manual")
                check(after == before && !window->Timer1->isActive(),
                    QStringLiteral("a manual tick moved F1 or stayed armed"));
            else if (failureMessages.isEmpty()) {
                int next = mode == "linear"
                    ? before + 10
                    : int(std::nearbyint(std::pow(10.0, 0.01) * double(before) + 0.5));
                if (next >= 20000)
                    next = 20;
                check(after == next,
                    QStringLiteral("sweep step from %1 gave %2, expected %3")
                        .arg(before)
                        .arg(after)
                        .arg(next));
            }
        } else {
            action = QStringLiteral("no tick (timers idle)");
        }
    }

    void failureEvent()
    {
        static const Kind kinds[] = { Kind::OpenDevice, Kind::Play };
        if (chance(0.3)) {
            action = QStringLiteral("clear injected failures");
            fake->clearFailures();
            return;
        }
        const Kind kind = kinds[pick(int(std::size(kinds)))];
        const int skip = pick(3);
        const bool persistent = chance(0.03);
        action = QStringLiteral("inject failure of %1 skip=%2%3")
                     .arg(QString::fromLatin1(audio::kindName(kind)))
                     .arg(skip)
                     .arg(persistent ? QStringLiteral(" persistent") : QString());
        fake->failOn(kind, "injected", skip, persistent);
    }

    void exitEvent()
    {
        const int how = pick(3);
        action = how == 0 ? QStringLiteral("click Exit")
            : how == 1    ? QStringLiteral("close the window")
                          : QStringLiteral("Exit, then close");
        if (how == 0 || how == 2)
            QTest::mouseClick(window->Command2, Qt::LeftButton);
        if (how >= 1)
            window->close();
        check(endCalls == 1, QStringLiteral("the program was asked to end %1 times").arg(endCalls));
        const audio::SoundObjects& sound = window->sound();
        check(!sound.hasDxObject() && !sound.hasSoundDevice() && !sound.hasSoundBuffer()
                && !fake->deviceOpen(),
            QStringLiteral("the sound objects outlived the end of the program"));
        check(!fake->playing(), QStringLiteral("sound plays after the end"));
        check(!window->Timer1->isActive() && !window->Timer2->isActive(),
            QStringLiteral("a timer runs after the end"));
    }

    // ---- the invariants ----------------------------------------------------------------

    // Every buffer handed to the fake since the last check: its byte count is the buffer's
    // own, RepetitiveTime x 2 x SampleRate rounded, lies within Samples, and it loops.
    void checkWrites(const QString& where)
    {
        const auto& ops = fake->ops();
        const GeneratorState& s = window->state();
        for (size_t i = checkedOps; i < ops.size(); ++i) {
            const SoundOp& op = ops[i];
            if (op.kind != Kind::Play)
                continue;
            ++totalWrites;
            const int32_t expected
                = audio::bufferByteCount(window->module1().RepetitiveTime, s.SampleRate);
            const size_t bytes = op.data.size();
            check(bytes == size_t(expected),
                QStringLiteral("%1: buffer of %2 bytes, expected %3")
                    .arg(where)
                    .arg(bytes)
                    .arg(expected));
            check(bytes <= 2 * s.Samples.size(),
                QStringLiteral("%1: buffer of %2 bytes from %3 samples")
                    .arg(where)
                    .arg(bytes)
                    .arg(s.Samples.size()));
            check(op.looping && op.sampleRate == s.SampleRate,
                QStringLiteral("%1: buffer not looping, or at another rate").arg(where));
        }
        checkedOps = ops.size();
    }

    std::set<int> greenColumns(const QImage& canvas)
    {
        std::set<int> columns;
        const QRgb green = QColor(0, 255, 0).rgb();
        for (int y = CursorTop; y < CursorBottom; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x)
                if ((line[x] | 0xff000000u) == green)
                    columns.insert(x);
        }
        return columns;
    }

    void checkScale(const char* name, PictureBox* area, float marker, int16_t frequency)
    {
        // The marker is where the cursor line stands, and picks the frequency in force.
        check(pickFrequency(marker) == frequency,
            QStringLiteral("%1: marker %2 picks %3 Hz, field %4 Hz")
                .arg(QLatin1String(name))
                .arg(double(marker))
                .arg(pickFrequency(marker))
                .arg(frequency));
        const std::set<int> columns = greenColumns(area->canvas());
        const int c = int(std::floor(double(marker)));
        bool near = !columns.empty();
        for (int x : columns)
            near = near && x >= c - 1 && x <= c + 1;
        if (!near) {
            QStringList xs;
            for (int x : columns)
                xs << QString::number(x);
            fail(QStringLiteral("%1: cursor columns {%2}, marker %3 (%4 Hz)")
                     .arg(QLatin1String(name), xs.join(u','))
                     .arg(double(marker))
                     .arg(frequency));
        }
    }

    void checkInvariants()
    {
        const GeneratorState& s = window->state();
        const Module1& m = window->module1();

        check(isSampleRate(s.SampleRate), QStringLiteral("SampleRate %1").arg(s.SampleRate));
        check(s.Frequency1 >= MinFrequency && s.Frequency1 <= MaxFrequency,
            QStringLiteral("Frequency1 %1").arg(s.Frequency1));
        check(s.Frequency2 >= MinFrequency && s.Frequency2 <= MaxFrequency,
            QStringLiteral("Frequency2 %1").arg(s.Frequency2));
        check(s.Waveform >= 0 && s.Waveform < WaveformCount,
            QStringLiteral("Waveform %1").arg(s.Waveform));
        check(s.ChannelMode >= ModeF1Both && s.ChannelMode < ModeEnd,
            QStringLiteral("ChannelMode %1").arg(s.ChannelMode));
        check(s.NoiseLevel >= 0.0f && s.NoiseLevel <= 1.0f,
            QStringLiteral("NoiseLevel %1").arg(double(s.NoiseLevel)));
        check(
            s.Level1 > 0.0f && s.Level1 <= 1.0f, QStringLiteral("Level1 %1").arg(double(s.Level1)));
        check(
            s.Level2 > 0.0f && s.Level2 <= 1.0f, QStringLiteral("Level2 %1").arg(double(s.Level2)));
        check(s.TimeViewSpan >= 0 && s.TimeViewSpan <= 12700,
            QStringLiteral("TimeViewSpan %1").arg(s.TimeViewSpan));
        check(s.SweepMode == "manual" || s.SweepMode == "linear" || s.SweepMode == "logaritmic",
            QStringLiteral("SweepMode '%1'").arg(QString::fromStdString(s.SweepMode)));
        check(
            std::isfinite(m.RepetitiveTime) && m.RepetitiveTime > 0.0f && m.RepetitiveTime <= 1.0f,
            QStringLiteral("RepetitiveTime %1").arg(double(m.RepetitiveTime)));
        check(std::isfinite(m.BitLength) && m.BitLength >= float(20e-6) && m.BitLength <= 1.0f,
            QStringLiteral("BitLength %1").arg(double(m.BitLength)));
        check(onlyBits(m.BitCode), QStringLiteral("BitCode is not a bit pattern"));

        // Controls and fields in step.
        check(window->UpDown1->value() == s.Frequency1,
            QStringLiteral("UpDown1 %1, Frequency1 %2")
                .arg(window->UpDown1->value())
                .arg(s.Frequency1));
        check(window->UpDown3->value() == s.Frequency2,
            QStringLiteral("UpDown3 %1, Frequency2 %2")
                .arg(window->UpDown3->value())
                .arg(s.Frequency2));
        checkScale("F1 scale", window->Picture1, s.Marker1X, s.Frequency1);
        checkScale("F2 scale", window->Picture2, s.Marker2X, s.Frequency2);
        const QString f1 = QString::fromStdString(plainNumber(int(s.Frequency1)));
        const QString f2 = QString::fromStdString(plainNumber(int(s.Frequency2)));
        if (window->Text1->text() == f1)
            text1Typed = false;
        if (window->Text2->text() == f2)
            text2Typed = false;
        check(text1Typed || window->Text1->text() == f1,
            QStringLiteral("Text1 '%1' for F1 %2").arg(window->Text1->text()).arg(s.Frequency1));
        check(text2Typed || window->Text2->text() == f2,
            QStringLiteral("Text2 '%1' for F2 %2").arg(window->Text2->text()).arg(s.Frequency2));
        if (level1Set)
            check(s.Level1 == levelFactor(window->UpDown2->value())
                    && window->Label5->text()
                        == QString::fromStdString(levelCaption(window->UpDown2->value())),
                QStringLiteral("Level1 or Label5 apart from UpDown2"));
        if (level2Set)
            check(s.Level2 == levelFactor(window->UpDown4->value())
                    && window->Label4->text()
                        == QString::fromStdString(levelCaption(window->UpDown4->value())),
                QStringLiteral("Level2 or Label4 apart from UpDown4"));
        if (noiseSet)
            check(s.NoiseLevel == noiseLevel(window->UpDown5->value()),
                QStringLiteral("NoiseLevel apart from UpDown5"));
        if (sliderMoved)
            check(s.TimeViewSpan == window->Slider1->value() * 100,
                QStringLiteral("TimeViewSpan %1, slider %2")
                    .arg(s.TimeViewSpan)
                    .arg(window->Slider1->value()));

        // Option groups show the fields.
        check(window->Option1[size_t(s.Waveform)]->isChecked(),
            QStringLiteral("waveform option not checked"));
        QRadioButton* const modes[] = { window->Option2, window->Option3, window->Option7,
            window->Option8, window->Option9, window->Option10 };
        check(modes[s.ChannelMode - 1]->isChecked(), QStringLiteral("mode option not checked"));
        QRadioButton* sweep = s.SweepMode == "manual" ? window->Option4
            : s.SweepMode == "linear"                 ? window->Option5
                                                      : window->Option6;
        check(sweep->isChecked(), QStringLiteral("sweep option not checked"));
        check(window->RateOption[sampleRateIndex(s.SampleRate)]->isChecked(),
            QStringLiteral("rate option not checked"));
        if (waveformChosen) {
            // "Bit Code" and every option after it in index order.
            const bool family = s.Waveform == WaveBitCode || s.Waveform == WaveBitTwoTone
                || s.Waveform == WaveStairsRising;
            check(window->Command3->isEnabled() == family && window->Option9->isEnabled() == family,
                QStringLiteral("Set Bit / FM enabled %1/%2 with waveform %3")
                    .arg(window->Command3->isEnabled())
                    .arg(window->Option9->isEnabled())
                    .arg(s.Waveform));
        } else {
            check(!window->Command3->isEnabled() && window->Option9->isEnabled(),
                QStringLiteral("Set Bit / FM enabled state before any waveform choice"));
        }

        // Samples has one of the sizes the rules give it.
        const size_t n = s.Samples.size();
        const size_t synthSize = 2 * size_t(s.SampleRate) + 1;
        check(n == synthSize || n == playSampleCount(m.RepetitiveTime, s.SampleRate)
                || n == size_t(s.SampleRate) + 1,
            QStringLiteral("Samples has %1 elements at %2 Hz, %3 s")
                .arg(n)
                .arg(s.SampleRate)
                .arg(double(m.RepetitiveTime)));

        // With noise at 0 a buffer is a function of its inputs, whichever buffer the window
        // took again: Samples, when it holds a synthesis (not the zeros of a restart or of a
        // rate change), is the synthesis of the settings in force.
        const bool synthesized
            = std::any_of(s.Samples.begin(), s.Samples.end(), [](int16_t v) { return v != 0; });
        if (s.NoiseLevel == 0.0f && n == synthSize && synthesized) {
            const SynthSettings settings = synthSettings(s, window->UpDown7->value());
            if (!(settings == verifiedSettings && m == verifiedModule1
                    && s.Samples == verifiedSamples)) {
                ++totalSynthesisChecks;
                UniformSource random(1);
                std::vector<int16_t> fresh;
                try {
                    SynthesizeSignal(settings, m, random, fresh);
                } catch (const std::exception& e) {
                    fail(QStringLiteral("the settings in force do not synthesize: ")
                        + QString::fromUtf8(e.what()));
                }
                check(fresh == s.Samples,
                    QStringLiteral("Samples is not the synthesis of the settings in force "
                                   "(waveform %1, mode %2, F1 %3, F2 %4, %5 Hz)")
                        .arg(s.Waveform)
                        .arg(s.ChannelMode)
                        .arg(s.Frequency1)
                        .arg(s.Frequency2)
                        .arg(s.SampleRate));
                verifiedSettings = settings;
                verifiedModule1 = m;
                verifiedSamples = s.Samples;
            }
        }

        // Timers: armed with their own intervals or idle.
        check(!window->Timer1->isActive() || window->Timer1->interval() == 10,
            QStringLiteral("Timer1 armed with %1 ms").arg(window->Timer1->interval()));
        check(!window->Timer2->isActive() || window->Timer2->interval() == 1000,
            QStringLiteral("Timer2 armed with %1 ms").arg(window->Timer2->interval()));

        // The three sound references all present or all empty, and no stray objects.
        const audio::SoundObjects& sound = window->sound();
        const bool all = sound.hasDxObject() && sound.hasSoundDevice() && sound.hasSoundBuffer();
        const bool none
            = !sound.hasDxObject() && !sound.hasSoundDevice() && !sound.hasSoundBuffer();
        check(all || none, QStringLiteral("sound references partly present"));
        check(fake->deviceOpen() == all,
            QStringLiteral("the player's device %1 with references %2")
                .arg(fake->deviceOpen() ? QStringLiteral("open") : QStringLiteral("closed"))
                .arg(all));

        // The writes of this event; the last one holds the samples as they stand.
        checkWrites(QStringLiteral("write"));
        const SoundOp* lastWrite = nullptr;
        bool anyFailed = false;
        bool reportableFailure = false;
        const auto& ops = fake->ops();
        for (size_t i = 0; i < ops.size(); ++i) {
            const SoundOp& op = ops[i];
            // A later restart that failed before its own hand-over may have resized Samples;
            // only a hand-over that ends the event's sound work still matches them.
            if (op.kind == Kind::Play)
                lastWrite = &op;
            else if (op.kind != Kind::Silence)
                lastWrite = nullptr;
            // Silence and closing cannot fail: every failure is the user's to hear about.
            if (op.failed) {
                anyFailed = true;
                reportableFailure = true;
            }
        }
        if (lastWrite && !lastWrite->failed) {
            check(n == synthSize,
                QStringLiteral("written from %1 samples, not the synthesized %2")
                    .arg(n)
                    .arg(synthSize));
            check(lastWrite->data.size() <= 2 * n
                    && std::memcmp(lastWrite->data.data(), s.Samples.data(), lastWrite->data.size())
                        == 0,
                QStringLiteral("the written bytes are not the first samples"));
        }
        if (fake->playing())
            check(fake->playingLooped(), QStringLiteral("the buffer plays without looping"));

        // Failure messages only for failures, and every failure reported.
        check(failureMessages.isEmpty() || anyFailed,
            QStringLiteral("failure message without a failed operation"));
        check(!reportableFailure || !failureMessages.isEmpty(),
            QStringLiteral("a failed sound operation went unreported"));

        // Dialogs: every expected one was shown and answered, none is left open.
        check(dialogsSeen >= expectDialogs,
            QStringLiteral("%1 bit-code dialogs shown, %2 expected")
                .arg(dialogsSeen)
                .arg(expectDialogs));
        check(QApplication::activeModalWidget() == nullptr,
            QStringLiteral("a modal window is left open"));
        check(!visibleTopLevel<FormCode>() && !visibleTopLevel<frmAboutGen>()
                && !visibleTopLevel<QMessageBox>(),
            QStringLiteral("a dialog is left visible"));
    }

private slots:
    void initTestCase()
    {
        seed = envNumber("VELLOX_MONKEY_SEED", DefaultSeed);
        setMessageHandler(
            [this](QWidget* parent, const QString& text) { onMessage(parent, text); });
        QVERIFY(fakeOpenerDir.isValid());
        QFile opener(fakeOpenerDir.filePath(QString::fromLatin1(DesktopOpener)));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nexit 0\n");
        opener.close();
        QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        pathBefore = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(fakeOpenerDir.path()) + ':' + pathBefore);
    }

    void cleanupTestCase()
    {
        qputenv("PATH", pathBefore);
        setMessageHandler(nullptr);
    }

    void run()
    {
        const long long events
            = (long long)envNumber("VELLOX_MONKEY_EVENTS", VELLOX_MONKEY_DEFAULT_EVENTS);
        rng.seed(seed);
        qInfo("monkey: seed %llu, %lld events", seed, events);
        QElapsedTimer clock;
        clock.start();
        makeWindow();
        eventIndex = -1;
        action = QStringLiteral("start-up");
        checkInvariants();
        QVERIFY2(failure.isEmpty(), qPrintable(failure + u'\n' + context()));

        for (eventIndex = 0; eventIndex < events; ++eventIndex) {
            messages.clear();
            failureMessages.clear();
            dialogsSeen = 0;
            aboutsSeen = 0;
            expectDialogs = 0;
            checkedOps = 0;
            fake->clearOps();

            const int r = pick(1000);
            bool ended = false;
            QElapsedTimer eventClock;
            eventClock.start();
            try {
                if (r < 150)
                    scaleEvent();
                else if (r < 250)
                    tickEvent();
                else if (r < 320)
                    spinnerEvent();
                else if (r < 440)
                    sliderEvent();
                else if (r < 530)
                    entryEvent();
                else if (r < 640)
                    typeOnlyEvent();
                else if (r < 700)
                    waveformEvent();
                else if (r < 740)
                    modeEvent();
                else if (r < 820)
                    sweepEvent();
                else if (r < 850)
                    rateEvent();
                else if (r < 960)
                    buttonEvent();
                else if (r < 997)
                    failureEvent();
                else {
                    exitEvent();
                    ended = true;
                }
            } catch (const std::exception& e) {
                // Nothing may escape a handler: Qt cannot carry an exception through its
                // event loop, and the program would end.
                fail(
                    QStringLiteral("exception escaped the window: ") + QString::fromUtf8(e.what()));
            }
            static const int bounds[]
                = { 150, 250, 320, 440, 530, 640, 700, 740, 820, 850, 960, 997, 1000 };
            static const char* const names[] = { "scale", "tick", "spinner", "slider", "entry",
                "typing", "waveform", "mode", "sweep", "rate", "button", "failure", "exit" };
            const QString category = QString::fromLatin1(
                names[std::upper_bound(std::begin(bounds), std::end(bounds), r)
                    - std::begin(bounds)]);
            counts[category] += 1;
            nanos[category] += eventClock.nsecsElapsed();
            totalFailures += failureMessages.size();

            // Answers that found no dialog are dropped; they must not act later.
            for (QTimer* t : findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
                delete t;

            if (!ended)
                checkInvariants();
            recent.push_back(QStringLiteral("%1: %2").arg(eventIndex).arg(action));
            if (recent.size() > 12)
                recent.pop_front();
            if (!failure.isEmpty())
                QFAIL(qPrintable(failure + u'\n' + context()));
            if (ended) {
                window.reset();
                fake.reset();
                makeWindow();
                checkInvariants();
                if (!failure.isEmpty())
                    QFAIL(qPrintable(failure + QStringLiteral(" (fresh window)\n") + context()));
            }
        }
        for (auto it = counts.begin(); it != counts.end(); ++it)
            qInfo("  %s: %lld events, %.2f ms each", qPrintable(it.key()), it.value(),
                double(nanos[it.key()]) / 1e6 / double(it.value()));
        window.reset();
        fake.reset();
        qInfo("monkey: %lld events in %.1f s; %lld messages (%lld restart failures), %lld writes, "
              "%lld bit-code dialogs, %lld buffers checked against a fresh synthesis",
            events, double(clock.elapsed()) / 1000.0, totalMessages, totalFailures, totalWrites,
            totalDialogs, totalSynthesisChecks);
    }
};

QTEST_MAIN(MonkeyTest)
#include "MonkeyTest.moc"
