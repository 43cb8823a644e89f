// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/FindMarkForm.h"

#include "camera/DetectionGrid.h"
#include "camera/MarkDetector.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "ui/camera/IntensityStripChart.h"
#include "ui/capture/CaptureComponent.h"
#include "ui/capture/CapturePreviewWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QColor PlainColour(110, 110, 110);
const QColor PeakColour(0, 140, 60);

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}
} // namespace

FindMarkForm::FindMarkForm(MeteringContext& ctx, CaptureComponent& capture, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_capture(capture)
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
    m_hint = new QLabel(QStringLiteral("No clear pass of the mark yet. Switch on a large load such as a kettle so the "
                                       "disc turns faster; watching goes on."),
                        this);
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

    connect(m_use, &QPushButton::clicked, this, &FindMarkForm::useSettings);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_capture, &CaptureComponent::surveyAnalysed, this, &FindMarkForm::onSurvey);
    connect(&m_capture, &CaptureComponent::previewChanged, this, [this] {
        if (m_proposalBox->isVisible())
            m_preview->setImage(m_capture.previewImage());
    });
    m_findMark.reset(ctx.settings.REDUCE_VIDEO_NOISE, ctx.settings.REVS_PER_KWH);
    m_capture.setSurveyGrid(FindMark::SurveyColumns, FindMark::SurveyRows);
    showStatus();
}

FindMarkForm::~FindMarkForm()
{
    m_capture.setSurveyGrid(0, 0);
}

void FindMarkForm::onSurvey(const CellTable& survey, double time)
{
    if (!m_findMark.finished()) {
        m_findMark.addFrame(survey, time);
        showStatus();
        if (m_findMark.finished())
            showProposal();
        return;
    }
    // With the proposal on screen the chart shows what the detector would see, a marker at each revolution.
    const FindMarkProposal& p = m_findMark.proposal();
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
    const int seen = std::min(m_findMark.passesSeen(), int(FindMark::PassesNeeded));
    m_status->setText(QStringLiteral("Watching the disc: %1 of %2 passes seen").arg(seen).arg(FindMark::PassesNeeded));
    m_progress->setValue(seen);
    m_hint->setVisible(m_findMark.hintDue());
}

void FindMarkForm::showProposal()
{
    const FindMarkProposal& p = m_findMark.proposal();
    m_status->setText(QStringLiteral("The mark passed %1 times. Proposed settings:").arg(p.passes));
    m_progress->setValue(FindMark::PassesNeeded);
    m_hint->hide();
    m_preview->setGrid(DetectionGrid::fromString(p.grid));
    m_preview->setImage(m_capture.previewImage());
    m_chart->setTriggerLevel(p.triggerLevel);
    m_chart->setReferenceLines(
        {{p.plainHigh, PlainColour, QStringLiteral("plain disc")}, {p.markPeak, PeakColour, QStringLiteral("mark")}});
    m_margins->setText(p.marginsText().replace(0, 1, p.marginsText().at(0).toUpper()) + QLatin1Char('.'));
    QStringList channels;
    if (p.red)
        channels << QStringLiteral("red");
    if (p.green)
        channels << QStringLiteral("green");
    if (p.blue)
        channels << QStringLiteral("blue");
    m_summary->setText(
        QStringLiteral("Active cells: %1 of %2 (tinted). Colours: %3. Invert: %4. Reduce noise: %5. "
                       "Intensity factor: %6. Trigger level: %7; a mark ends %8 ms below %9 % of it. Both levels "
                       "follow the light on the whole picture.")
            .arg(p.grid.count(QLatin1Char('9')))
            .arg(FindMark::SurveyColumns * FindMark::SurveyRows)
            .arg(channels.join(QStringLiteral(", ")), yesNo(p.invert), yesNo(p.reduceNoise))
            .arg(p.intensityFactor)
            .arg(p.triggerLevel)
            .arg(p.debounceMs)
            .arg(p.releasePercent));
    m_proposalBox->show();
    m_use->setEnabled(true);
    m_use->setDefault(true);
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
}

void FindMarkForm::useSettings()
{
    m_findMark.proposal().applyTo(m_ctx.settings);
    emit settingsAccepted();
    accept();
}
