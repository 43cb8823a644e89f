// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CaptureComponent;
class QWidget;

// Tells the capture component while a view of its picture is on screen, so that pictures come often only while
// someone looks. Lives as long as the view; the component must outlive it.
class PreviewWatch : public QObject
{
public:
    PreviewWatch(CaptureComponent& capture, QWidget& view);
    ~PreviewWatch() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setWatching(bool on);

    CaptureComponent& m_capture;
    bool m_watching = false;
};
