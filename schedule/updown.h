#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace relaybox {

// A pair of arrow buttons that step the number in a buddy field within a range, wrapping at the
// ends. The position is the buddy's number whenever the buddy holds one.
class UpDown : public QWidget
{
    Q_OBJECT

public:
    explicit UpDown(QLineEdit *buddy, QWidget *parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const;
    void setPosition(int position);

    void stepUp() { step(1); }
    void stepDown() { step(-1); }

private:
    void step(int delta);

    QLineEdit *m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 99;
    int m_position = 0;
};

} // namespace relaybox
