// The up-down spinner: range, change signal, arrows, keys and the repetition.

#include "UpDown.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using vellox::UpDown;

class UpDownTest : public QObject {
    Q_OBJECT

private:
    // A spinner shaped as the frequency spinners of the window, at 1000.
    static std::unique_ptr<UpDown> frequencySpinner()
    {
        auto spinner = std::make_unique<UpDown>();
        spinner->setRange(20, 20000);
        spinner->setValue(1000);
        spinner->resize(17, 34);
        return spinner;
    }

    static QTimer* repeatTimer(UpDown& spinner)
    {
        return spinner.findChild<QTimer*>(QStringLiteral("repeat"));
    }

    static void press(UpDown& spinner, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(&spinner, button, Qt::NoModifier, at);
    }
    static void release(UpDown& spinner, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(&spinner, button, Qt::NoModifier, at);
    }

private slots:
    void defaults()
    {
        UpDown spinner;
        QCOMPARE(spinner.minimum(), 0);
        QCOMPARE(spinner.maximum(), 100);
        QCOMPARE(spinner.singleStep(), 1);
        QCOMPARE(spinner.value(), 0);
        QCOMPARE(spinner.heldArrow(), 0);
    }

    void setValueClampsAndSignalsRealChanges_data()
    {
        QTest::addColumn<int>("assigned");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("changes");
        QTest::newRow("inside") << 440 << 440 << 1;
        QTest::newRow("same value") << 1000 << 1000 << 0;
        QTest::newRow("lowest") << 20 << 20 << 1;
        QTest::newRow("highest") << 20000 << 20000 << 1;
        QTest::newRow("below") << 0 << 20 << 1;
        QTest::newRow("far below") << -40000 << 20 << 1;
        QTest::newRow("above") << 20001 << 20000 << 1;
        QTest::newRow("far above") << 1 << 20 << 1;
    }

    void setValueClampsAndSignalsRealChanges()
    {
        QFETCH(int, assigned);
        QFETCH(int, stored);
        QFETCH(int, changes);
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        spinner->setValue(assigned);
        QCOMPARE(spinner->value(), stored);
        QCOMPARE(spy.count(), changes);
        if (changes == 1)
            QCOMPARE(spy.at(0).at(0).toInt(), stored);
        // Assigning the clamped value again changes nothing.
        spinner->setValue(assigned);
        QCOMPARE(spy.count(), changes);
    }

    void changeRunsInsideTheAssignment()
    {
        auto spinner = frequencySpinner();
        int seenValue = 0;
        int seenArgument = 0;
        int calls = 0;
        bool insideAssignment = false;
        connect(spinner.get(), &UpDown::Change, this, [&](int value) {
            ++calls;
            seenArgument = value;
            seenValue = spinner->value();
            QVERIFY(insideAssignment);
        });
        insideAssignment = true;
        spinner->setValue(1234);
        insideAssignment = false;
        QCOMPARE(calls, 1);
        QCOMPARE(seenArgument, 1234);
        QCOMPARE(seenValue, 1234);
    }

    void changeThroughTheProperty()
    {
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        QVERIFY(spinner->setProperty("value", 500));
        QCOMPARE(spinner->property("value").toInt(), 500);
        QCOMPARE(spy.count(), 1);
    }

    void narrowingTheRangePullsTheValueIn()
    {
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        spinner->setMinimum(2000);
        QCOMPARE(spinner->value(), 2000);
        QCOMPARE(spy.count(), 1);
        spinner->setMaximum(100);
        QCOMPARE(spinner->minimum(), 100);
        QCOMPARE(spinner->maximum(), 100);
        QCOMPARE(spinner->value(), 100);
        QCOMPARE(spy.count(), 2);
        spinner->setRange(0, 15);
        QCOMPARE(spinner->value(), 15);
    }

    void stepsStopAtTheEnds()
    {
        UpDown spinner;
        spinner.setRange(0, 15);
        spinner.setValue(14);
        QSignalSpy spy(&spinner, &UpDown::Change);
        spinner.stepUp();
        QCOMPARE(spinner.value(), 15);
        spinner.stepUp();
        QCOMPARE(spinner.value(), 15);
        QCOMPARE(spy.count(), 1);
        spinner.setValue(0);
        spinner.stepDown();
        QCOMPARE(spinner.value(), 0);
        QCOMPARE(spy.count(), 2);
    }

    void singleStep()
    {
        UpDown spinner;
        spinner.setRange(1, 100);
        spinner.setSingleStep(5);
        spinner.setValue(50);
        spinner.stepUp();
        QCOMPARE(spinner.value(), 55);
        spinner.stepDown();
        spinner.stepDown();
        QCOMPARE(spinner.value(), 45);
        spinner.setValue(98);
        spinner.stepUp();
        QCOMPARE(spinner.value(), 100);
    }

    void arrowClicks()
    {
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        const QPoint upper(8, 3);
        const QPoint lower(8, 30);

        press(*spinner, upper);
        QCOMPARE(spinner->value(), 1001);
        QCOMPARE(spinner->heldArrow(), +1);
        release(*spinner, upper);
        QCOMPARE(spinner->heldArrow(), 0);

        press(*spinner, lower);
        QCOMPARE(spinner->value(), 1000);
        QCOMPARE(spinner->heldArrow(), -1);
        release(*spinner, lower);
        QCOMPARE(spy.count(), 2);
    }

    void otherButtonsDoNothing()
    {
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        press(*spinner, QPoint(8, 3), Qt::RightButton);
        release(*spinner, QPoint(8, 3), Qt::RightButton);
        press(*spinner, QPoint(8, 30), Qt::MiddleButton);
        release(*spinner, QPoint(8, 30), Qt::MiddleButton);
        QCOMPARE(spinner->value(), 1000);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(spinner->heldArrow(), 0);
    }

    void repeatWhileHeld()
    {
        auto spinner = frequencySpinner();
        QTimer* timer = repeatTimer(*spinner);
        QVERIFY(timer);
        QVERIFY(!timer->isActive());

        press(*spinner, QPoint(8, 3));
        QCOMPARE(spinner->value(), 1001);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), UpDown::RepeatDelayMs);

        // The timer's ticks, delivered by hand: no waiting on the clock.
        QVERIFY(QMetaObject::invokeMethod(spinner.get(), "repeatStep"));
        QCOMPARE(spinner->value(), 1002);
        QCOMPARE(timer->interval(), UpDown::RepeatIntervalMs);
        QVERIFY(QMetaObject::invokeMethod(spinner.get(), "repeatStep"));
        QCOMPARE(spinner->value(), 1003);

        release(*spinner, QPoint(8, 3));
        QVERIFY(!timer->isActive());
        // A tick that was already on its way when the button came up steps no more.
        QVERIFY(QMetaObject::invokeMethod(spinner.get(), "repeatStep"));
        QCOMPARE(spinner->value(), 1003);

        press(*spinner, QPoint(8, 30));
        QCOMPARE(timer->interval(), UpDown::RepeatDelayMs); // a new press waits again
        QVERIFY(QMetaObject::invokeMethod(spinner.get(), "repeatStep"));
        QCOMPARE(spinner->value(), 1001);
        release(*spinner, QPoint(8, 30));
    }

    void repeatStopsWhenHidden()
    {
        auto spinner = frequencySpinner();
        spinner->show();
        press(*spinner, QPoint(8, 3));
        QVERIFY(repeatTimer(*spinner)->isActive());
        spinner->hide();
        QVERIFY(!repeatTimer(*spinner)->isActive());
        QCOMPARE(spinner->heldArrow(), 0);
    }

    void arrowKeys()
    {
        auto spinner = frequencySpinner();
        QSignalSpy spy(spinner.get(), &UpDown::Change);
        QTest::keyClick(spinner.get(), Qt::Key_Up);
        QCOMPARE(spinner->value(), 1001);
        QTest::keyClick(spinner.get(), Qt::Key_Down);
        QTest::keyClick(spinner.get(), Qt::Key_Down);
        QCOMPARE(spinner->value(), 999);
        QTest::keyClick(spinner.get(), Qt::Key_Left);
        QTest::keyClick(spinner.get(), Qt::Key_A);
        QCOMPARE(spinner->value(), 999);
        QCOMPARE(spy.count(), 3);
    }

    void pressedArrowLooksPressed()
    {
        auto spinner = frequencySpinner();
        spinner->show();
        const QImage idle = spinner->grab().toImage();
        press(*spinner, QPoint(8, 3));
        const QImage pressed = spinner->grab().toImage();
        release(*spinner, QPoint(8, 3));
        const QImage released = spinner->grab().toImage();
        QVERIFY(idle != pressed);
        QCOMPARE(released, idle);
        idle.save(QStringLiteral(VELLOX_PANEL_PICTURES "/updown.png"));
        pressed.save(QStringLiteral(VELLOX_PANEL_PICTURES "/updown_pressed.png"));
    }
};

QTEST_MAIN(UpDownTest)
#include "UpDownTest.moc"
