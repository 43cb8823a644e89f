// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// The named child of a screen; a missing one fails the test.
template <typename T> T* child(const QWidget* in, const char* name)
{
    T* w = in->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Clicks the named button as a person would.
inline void press(const QWidget* in, const char* name)
{
    QTest::mouseClick(child<QPushButton>(in, name), Qt::LeftButton);
}

// Shows the screen and waits until it is the active window, as a person's keys and clicks need.
inline void showActive(QWidget& w)
{
    w.show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
}

// Runs `answer` on the next modal dialog, from inside its own event loop.
inline void answerNextDialog(const std::function<void(QDialog&)>& answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(*dialog);
        }
    });
    poll->start(10);
}

// Enters the field and types over its text, as a person would.
inline void retype(QLineEdit* field, const QString& text)
{
    field->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}
