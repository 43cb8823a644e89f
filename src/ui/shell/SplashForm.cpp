// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/SplashForm.h"

#include "ui/shell/ProductInfo.h"
#include "ui/shell/WattsightLogo.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QLabel* addLabel(QWidget* parent, QVBoxLayout* column, const QString& name, const QString& text, double scale,
                 bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    label->setFont(font);
    column->addWidget(label);
    return label;
}
} // namespace

SplashForm::SplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameShape(QFrame::Box);
    m_frame->setLineWidth(2);
    m_frame->installEventFilter(this);

    auto* logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(WattsightLogo(160));

    auto* column = new QVBoxLayout;
    addLabel(m_frame, column, QStringLiteral("lblProductName"), ProductInfo::ProductName, 2.6, true);
    addLabel(m_frame, column, QStringLiteral("lblVersion"), ProductInfo::VersionText, 1.2, false);
    column->addSpacing(12);
    addLabel(m_frame, column, QStringLiteral("lblCompanyProduct"), ProductInfo::Slogan, 1.1, false);
    column->addStretch();
    addLabel(m_frame, column, QStringLiteral("lblWebAddress"), ProductInfo::WebAddress, 1.0, false);
    addLabel(m_frame, column, QStringLiteral("lblCopyright"), ProductInfo::Copyright, 0.9, false);

    auto* row = new QHBoxLayout(m_frame);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    row->addWidget(logo, 0, Qt::AlignTop);
    row->addLayout(column, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_frame);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(DisplayMilliseconds);
    connect(m_timer, &QTimer::timeout, this, &QWidget::close);
}

void SplashForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (!m_timer->isActive())
        m_timer->start();
    activateWindow();
    setFocus();
}

void SplashForm::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    close();
}

bool SplashForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_frame && event->type() == QEvent::MouseButtonPress) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
