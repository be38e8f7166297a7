#include "updown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace relaybox {

UpDown::UpDown(QLineEdit *buddy, QWidget *parent)
    : QWidget(parent)
    , m_buddy(buddy)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton *button : { m_up, m_down }) {
        button->setArrowType(button == m_up ? Qt::UpArrow : Qt::DownArrow);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
}

void UpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

int UpDown::position() const
{
    bool ok = false;
    const int value = m_buddy->text().toInt(&ok);
    if (ok && value >= m_minimum && value <= m_maximum)
        return value;
    return m_position;
}

void UpDown::setPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::step(int delta)
{
    int next = position() + delta;
    if (next > m_maximum)
        next = m_minimum;
    else if (next < m_minimum)
        next = m_maximum;
    m_position = next;
    m_buddy->setText(QString::number(next));
    m_buddy->setFocus(Qt::OtherFocusReason);
}

} // namespace relaybox
