// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/FindMarkForm.h"

#include "camera/DetectionGrid.h"
#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"
#include "metering/PulseSignal.h"
#include "ui/camera/IntensityStripChart.h"
#include "ui/capture/CapturePreviewWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QColor PlainColour(110, 110, 110);
const QColor PeakColour(0, 140, 60);
} // namespace

FindMarkForm::FindMarkForm(FindMarkSession& session, CaptureComponent& capture, QWidget* parent)
    : QDialog(parent), m_session(session), m_capture(capture)
{
    setObjectName(QStringLiteral("FindMarkForm"));
    setWindowTitle(QStringLiteral("Find Mark"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblFindMarkStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgFindMark"));
    m_progress->setRange(0, FindMark::PassesNeeded);
    m_progress->setFormat(QStringLiteral("%v of %m"));
    m_progress->setAccessibleName(QStringLiteral("Passes seen"));
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("lblFindMarkHint"));
    m_hint->setWordWrap(true);
    m_hint->hide();

    m_proposalBox = new QWidget(this);
    m_preview = new CapturePreviewWidget(m_proposalBox);
    m_preview->setObjectName(QStringLiteral("FindMarkPreview"));
    m_preview->setFixedSize(capture.displaySize());
    m_chart = new IntensityStripChart(m_history, m_proposalBox);
    m_chart->setObjectName(QStringLiteral("FindMarkChart"));
    m_chart->setMinimumSize(440, 200);
    m_chart->setAccessibleName(QStringLiteral("Image intensity with the proposed settings"));
    m_chart->setToolTip(QStringLiteral("Image intensity with the proposed settings. The mark must lift the trace "
                                       "above the trigger level (red line); the plain disc stays below it."));
    m_margins = new QLabel(m_proposalBox);
    m_margins->setObjectName(QStringLiteral("lblFindMarkMargins"));
    m_summary = new QLabel(m_proposalBox);
    m_summary->setObjectName(QStringLiteral("lblFindMarkProposal"));
    m_summary->setWordWrap(true);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(m_preview, 0, Qt::AlignTop);
    pictures->addWidget(m_chart, 1);
    auto* proposal = new QVBoxLayout(m_proposalBox);
    proposal->setContentsMargins(0, 0, 0, 0);
    proposal->addLayout(pictures);
    proposal->addWidget(m_margins);
    proposal->addWidget(m_summary);
    m_proposalBox->hide();

    m_use = new QPushButton(QStringLiteral("Use These Settings"), this);
    m_use->setObjectName(QStringLiteral("butUseTheseSettings"));
    m_use->setEnabled(false);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("butCancelFindMark"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_use);
    buttons->addWidget(m_cancel);

    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_hint);
    layout->addWidget(m_proposalBox, 1);
    layout->addLayout(buttons);

    connect(m_use, &QPushButton::clicked, &m_session, &FindMarkSession::accept);
    connect(m_cancel, &QPushButton::clicked, &m_session, &FindMarkSession::cancel);
    // Closed by its frame or Escape.
    connect(this, &QDialog::rejected, &m_session, &FindMarkSession::cancel);
    connect(&m_session, &FindMarkSession::finished, this,
            [this](bool accepted) { done(accepted ? Accepted : Rejected); });
    connect(&m_session, &FindMarkSession::progressed, this, [this] {
        showStatus();
        if (m_session.findMark().finished())
            showProposal();
    });
    connect(&m_session, &FindMarkSession::surveyedAfterProposal, this, &FindMarkForm::onSurvey);
    connect(&m_capture, &CaptureComponent::previewChanged, this, [this] {
        if (m_proposalBox->isVisible())
            m_preview->setImage(m_capture.previewImage());
    });
    showStatus();
    if (m_session.findMark().finished())
        showProposal();
}

void FindMarkForm::onSurvey(const CellTable& survey, double time)
{
    // With the proposal on screen the chart shows what the detector would see, a marker at each revolution.
    const FindMarkProposal& p = m_session.findMark().proposal();
    const qint32 v = p.intensityOf(survey);
    // As the detector: on at the trigger, off once below the release for longer than the debounce.
    const bool wasOn = m_markOn;
    if (v >= releaseLevel(p.triggerLevel, p.releasePercent) && (m_markOn || v >= p.triggerLevel)) {
        m_markOn = true;
        m_lastAbove = time;
    } else if (m_markOn && SecondsBetween(time, m_lastAbove) * 1000.0 > p.debounceMs) {
        m_markOn = false;
    }
    const bool revolution = m_markOn && !wasOn;
    m_history.add(time, v, revolution);
    m_chart->update();
}

void FindMarkForm::showStatus()
{
    m_status->setText(m_session.statusText());
    m_progress->setValue(std::min(m_session.findMark().passesSeen(), int(FindMark::PassesNeeded)));
    const QString hint = m_session.hintText();
    if (hint == m_hint->text())
        return;
    m_hint->setText(hint);
    m_hint->setVisible(!hint.isEmpty());
    // A longer hint wraps onto more lines: the window makes room for them rather than cut them off.
    layout()->activate();
    const int needed = std::max(layout()->totalHeightForWidth(width()), sizeHint().height());
    if (needed > height())
        resize(width(), needed);
}

void FindMarkForm::showProposal()
{
    const FindMarkProposal& p = m_session.findMark().proposal();
    m_preview->setGrid(DetectionGrid::fromString(p.grid));
    m_preview->setImage(m_capture.previewImage());
    m_chart->setTriggerLevel(p.triggerLevel);
    m_chart->setReferenceLines(
        {{p.plainHigh, PlainColour, QStringLiteral("plain disc")}, {p.markPeak, PeakColour, QStringLiteral("mark")}});
    m_margins->setText(m_session.marginsText());
    m_summary->setText(m_session.proposalText());
    m_proposalBox->show();
    m_use->setEnabled(true);
    m_use->setDefault(true);
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
}
