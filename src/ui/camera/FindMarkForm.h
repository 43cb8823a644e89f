// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/IntensityHistory.h"
#include "capture/FindMarkSession.h"

#include <QDialog>

class CaptureComponent;
class CapturePreviewWidget;
class IntensityStripChart;
class QLabel;
class QProgressBar;
class QPushButton;

// The "Find Mark" window: watches the running camera over the survey grid until the mark has passed twice,
// then shows the proposed set-up on the live picture and on an intensity chart with its margins in words.
// "Use These Settings" accepts the session's proposal; Cancel changes nothing. The window closes when the
// session ends, also when a command ended it.
class FindMarkForm : public QDialog
{
    Q_OBJECT

public:
    FindMarkForm(FindMarkSession& session, CaptureComponent& capture, QWidget* parent = nullptr);

    const FindMark& findMark() const { return m_session.findMark(); }

private:
    void onSurvey(const CellTable& survey, double time);
    void showStatus();
    void showProposal();

    FindMarkSession& m_session;
    CaptureComponent& m_capture;
    IntensityHistory m_history;
    bool m_markOn = false;
    double m_lastAbove = 0.0;

    QLabel* m_status;
    QProgressBar* m_progress;
    QLabel* m_hint;
    QWidget* m_proposalBox;
    CapturePreviewWidget* m_preview;
    IntensityStripChart* m_chart;
    QLabel* m_margins;
    QLabel* m_summary;
    QPushButton* m_use;
    QPushButton* m_cancel;
};
