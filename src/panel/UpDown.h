#pragma once

// The up-down spinner: a vertical pair of arrows with no text. A change signal is
// emitted only when the value really changes, at once (synchronously) when code sets
// the value, so a handler connected to it runs inside the assignment.

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
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int singleStep() const { return m_singleStep; }
    int value() const { return m_value; }

    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    void setSingleStep(int step);

public slots:
    // Clamped to the range; emits Change only when the stored value differs.
    void setValue(int value);
    void stepUp(); // one step up, as the upper arrow
    void stepDown(); // one step down, as the lower arrow

signals:
    void Change(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QSize sizeHint() const override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_singleStep = 1;
    int m_value = 0;
    int m_heldArrow = 0; // +1 upper arrow held, -1 lower, 0 none
    QTimer* m_repeat = nullptr; // auto-repeat while an arrow is held
};

} // namespace vellox
