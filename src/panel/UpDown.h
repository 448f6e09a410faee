#pragma once

// The up-down spinner: a vertical pair of arrows with no text. A change signal is
// emitted only when the value really changes, at once (synchronously) when code sets
// the value, so a handler connected to it runs inside the assignment.
//
// Pointer: a press of the left button on the upper half steps up, on the lower half
// steps down; while the button stays down the step repeats, first after 400 ms and then
// every 50 ms, until the release. Keyboard (when focused): Up steps up, Down steps down.
// Steps that would leave the range stop at its end; an end already reached emits nothing.

#include <QWidget>

class QTimer;

namespace vellox {

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int singleStep READ singleStep WRITE setSingleStep)
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY Change)

public:
    // Delay before the first repetition and interval of the following ones, in ms.
    static constexpr int RepeatDelayMs = 400;
    static constexpr int RepeatIntervalMs = 50;

    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int singleStep() const { return m_singleStep; }
    int value() const { return m_value; }

    // A new minimum above the maximum raises the maximum with it (and the reverse);
    // a value outside the new range is pulled into it, which emits Change.
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    void setSingleStep(int step);

    // +1 while the upper arrow is held down, -1 for the lower one, 0 when none is.
    int heldArrow() const { return m_heldArrow; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Clamped to the range; emits Change only when the stored value differs.
    void setValue(int value);
    // The value a change made elsewhere stands for: stored (clamped) without Change, whose
    // handler would make the change again.
    void showValue(int value);
    void stepUp(); // one step up, as the upper arrow
    void stepDown(); // one step down, as the lower arrow

signals:
    void Change(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void repeatStep(); // one repetition of the held arrow's step

private:
    void stepBy(int direction);
    void releaseArrow();

    int m_minimum = 0;
    int m_maximum = 100;
    int m_singleStep = 1;
    int m_value = 0;
    int m_heldArrow = 0; // +1 upper arrow held, -1 lower, 0 none
    QTimer* m_repeat = nullptr; // auto-repeat while an arrow is held
};

} // namespace vellox
