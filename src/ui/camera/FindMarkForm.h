// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/FindMark.h"
#include "camera/IntensityHistory.h"

#include <QDialog>

struct MeteringContext;
class CaptureComponent;
class CapturePreviewWidget;
class IntensityStripChart;
class QLabel;
class QProgressBar;
class QPushButton;

// The "Find Mark" window: watches the running camera over the survey grid until the mark has passed twice,
// then shows the proposed set-up on the live picture and on an intensity chart with its margins in words.
// "Use These Settings" writes the proposal into the settings record and reports it; Cancel changes nothing.
class FindMarkForm : public QDialog
{
    Q_OBJECT

public:
    FindMarkForm(MeteringContext& ctx, CaptureComponent& capture, QWidget* parent = nullptr);
    ~FindMarkForm() override;

    const FindMark& findMark() const { return m_findMark; }

signals:
    // The proposal is in the settings record; the screens and the detector must take it up.
    void settingsAccepted();

private:
    void onSurvey(const CellTable& survey, double time);
    void showStatus();
    void showProposal();
    void useSettings();

    MeteringContext& m_ctx;
    CaptureComponent& m_capture;
    FindMark m_findMark;
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
