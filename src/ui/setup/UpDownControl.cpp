// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/UpDownControl.h"

#include <QAccessible>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

UpDownControl::UpDownControl(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_up(new QToolButton(this)), m_down(new QToolButton(this)), m_minimum(minimum),
      m_maximum(std::max(minimum, maximum))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(18, 12);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { stepUp(); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepDown(); });
}

void UpDownControl::showEvent(QShowEvent* event)
{
    // Named when shown, as the field's label is given after this control is made: the arrows are
    // announced by the field's name as a screen reader gives it.
    const QAccessibleInterface* field = QAccessible::queryAccessibleInterface(m_buddy);
    const QString name = field ? field->text(QAccessible::Name) : QString();
    m_up->setAccessibleName(QStringLiteral("Increase ") + name);
    m_down->setAccessibleName(QStringLiteral("Decrease ") + name);
    QWidget::showEvent(event);
}

void UpDownControl::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
}

void UpDownControl::step(int delta)
{
    bool ok = false;
    const double typed = m_buddy->text().toDouble(&ok);
    const double start = ok && std::isfinite(typed) ? std::round(typed) : double(m_minimum);
    const double next = std::clamp(start + delta, double(m_minimum), double(m_maximum));
    m_buddy->setText(QString::number(qint64(next)));
}
