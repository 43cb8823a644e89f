// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QFrame;
class QTimer;

// The start-up banner. It stays on top until its 8-second timer fires, a key is pressed or its frame is
// clicked; start-up carries on underneath without waiting for it. It deletes itself when closed.
class SplashForm : public QWidget
{
    Q_OBJECT
public:
    explicit SplashForm(QWidget* parent = nullptr);

    static constexpr int DisplayMilliseconds = 8000;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QFrame* m_frame = nullptr;
    QTimer* m_timer = nullptr;
};
