// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/FindMark.h"

#include <QObject>

struct MeteringContext;
class CaptureComponent;

// One Find Mark watch of the running camera, whether the window or a command began it: feeds the survey tables
// to FindMark until it proposes, then ends by accept (the proposal into the settings record) or cancel
// (nothing changed). The survey grid is analysed only while the watch runs.
class FindMarkSession : public QObject
{
    Q_OBJECT

public:
    FindMarkSession(MeteringContext& ctx, CaptureComponent& capture, QObject* parent = nullptr);
    ~FindMarkSession() override;

    const FindMark& findMark() const { return m_findMark; }
    bool done() const { return m_done; }
    // "Watching the disc: 1 of 2 passes seen", or once proposed "The mark passed 2 times. Proposed settings:".
    QString statusText() const;
    // While watching: why the passes seen give no settings, or the hint that the disc may turn too slowly, once
    // due; once proposed, up to what power the settings count and what would help, where that is below the most a
    // household draws; otherwise empty.
    QString hintText() const;
    // The proposal's settings in words; empty until proposed.
    QString proposalText() const;
    QString marginsText() const;

    // The proposal into the settings record; nothing before there is one.
    void accept();
    void cancel();

signals:
    // Passes seen, hint or proposal changed.
    void progressed();
    // A survey table after the proposal, for a view of what the proposed settings would see.
    void surveyedAfterProposal(const CellTable& survey, double time);
    // Emitted once; on accept the proposal is in the settings record.
    void finished(bool accepted);

private:
    void onSurvey(const CellTable& survey, double time);
    void end(bool accepted);

    MeteringContext& m_ctx;
    CaptureComponent& m_capture;
    FindMark m_findMark;
    bool m_done = false;
    QString m_hintShown;
};
