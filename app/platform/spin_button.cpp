#include "platform/spin_button.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace tarvic {

SpinButton::SpinButton(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_up->setAutoRepeat(true);
    m_up->setFocusPolicy(Qt::NoFocus);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    m_down->setAutoRepeat(true);
    m_down->setFocusPolicy(Qt::NoFocus);
    for (QToolButton* b : {m_up, m_down}) {
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    connect(m_up, &QToolButton::clicked, this, &SpinButton::stepUp);
    connect(m_down, &QToolButton::clicked, this, &SpinButton::stepDown);
}

void SpinButton::setValue(int value)
{
    const int held = std::clamp(value, m_min, m_max);
    if (held == m_value)
        return;
    m_value = held;
    emit Change();
}

void SpinButton::setRange(int minimum, int maximum)
{
    if (minimum > maximum)
        std::swap(minimum, maximum);
    m_min = minimum;
    m_max = maximum;
    setValue(m_value);
}

void SpinButton::setIncrement(int increment)
{
    m_increment = std::max(1, increment);
}

void SpinButton::stepUp()
{
    const long long next = static_cast<long long>(m_value) + m_increment;
    setValue(static_cast<int>(std::min<long long>(next, m_max)));
}

void SpinButton::stepDown()
{
    const long long next = static_cast<long long>(m_value) - m_increment;
    setValue(static_cast<int>(std::max<long long>(next, m_min)));
}

}  // namespace tarvic
