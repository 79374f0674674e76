// The spin button of the settings dialogs: a pair of arrow buttons that hold
// a whole-number value between a minimum and a maximum. The box beside it
// shows the value; the dialog writes the box from the Change signal.
#pragma once

#include <QWidget>

class QToolButton;

namespace tarvic {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);

    int value() const { return m_value; }
    // Sets the value, held within [minimum, maximum]. Change fires only
    // when the value differs from the one held.
    void setValue(int value);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    // Sets both ends (swapped when given the wrong way round) and holds the
    // value within them.
    void setRange(int minimum, int maximum);

    int increment() const { return m_increment; }
    void setIncrement(int increment);

    // One click on the up or down arrow: the value moves by the increment
    // and stops at the ends (no wrapping).
    void stepUp();
    void stepDown();

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void Change();

private:
    int m_value = 0;
    int m_min = 0;
    int m_max = 10;
    int m_increment = 1;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
};

}  // namespace tarvic
