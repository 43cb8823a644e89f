// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/FindMarkSession.h"

#include "capture/CaptureComponent.h"
#include "metering/MeteringContext.h"

namespace {
QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}
} // namespace

FindMarkSession::FindMarkSession(MeteringContext& ctx, CaptureComponent& capture, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_capture(capture)
{
    connect(&m_capture, &CaptureComponent::surveyAnalysed, this, &FindMarkSession::onSurvey);
    m_findMark.reset(ctx.settings.REDUCE_VIDEO_NOISE, ctx.settings.REVS_PER_KWH);
    m_capture.setSurveyGrid(FindMark::SurveyColumns, FindMark::SurveyRows);
}

FindMarkSession::~FindMarkSession()
{
    if (!m_done)
        m_capture.setSurveyGrid(0, 0);
}

void FindMarkSession::onSurvey(const CellTable& survey, double time)
{
    if (m_done)
        return;
    if (m_findMark.finished()) {
        emit surveyedAfterProposal(survey, time);
        return;
    }
    const int seen = m_findMark.passesSeen();
    m_findMark.addFrame(survey, time);
    if (m_findMark.passesSeen() != seen || m_findMark.finished() || hintText() != m_hintShown) {
        m_hintShown = hintText();
        emit progressed();
    }
}

QString FindMarkSession::statusText() const
{
    if (m_findMark.finished())
        return QStringLiteral("The mark passed %1 times. Proposed settings:").arg(m_findMark.proposal().passes);
    const int seen = std::min(m_findMark.passesSeen(), int(FindMark::PassesNeeded));
    return QStringLiteral("Watching the disc: %1 of %2 passes seen").arg(seen).arg(FindMark::PassesNeeded);
}

QString FindMarkSession::hintText() const
{
    if (m_findMark.finished())
        return m_findMark.proposal().limitText;
    if (!m_findMark.refusal().isEmpty())
        return m_findMark.refusal();
    if (!m_findMark.hintDue())
        return {};
    return QStringLiteral("No clear pass of the mark yet. Switch on a large load such as a kettle so the disc turns "
                          "faster; watching goes on.");
}

QString FindMarkSession::marginsText() const
{
    if (!m_findMark.finished())
        return {};
    QString text = m_findMark.proposal().marginsText();
    return text.replace(0, 1, text.at(0).toUpper()) + QLatin1Char('.');
}

QString FindMarkSession::proposalText() const
{
    if (!m_findMark.finished())
        return {};
    const FindMarkProposal& p = m_findMark.proposal();
    QStringList channels;
    if (p.red)
        channels << QStringLiteral("red");
    if (p.green)
        channels << QStringLiteral("green");
    if (p.blue)
        channels << QStringLiteral("blue");
    return QStringLiteral("Active cells: %1 of %2 (tinted). Colours: %3. Invert: %4. Reduce noise: %5. "
                          "Intensity factor: %6. Trigger level: %7; a mark ends %8 ms below %9 % of it. Both levels "
                          "follow the light on the whole picture.")
               .arg(p.grid.count(QLatin1Char('9')))
               .arg(FindMark::SurveyColumns * FindMark::SurveyRows)
               .arg(channels.join(QStringLiteral(", ")), yesNo(p.invert), yesNo(p.reduceNoise))
               .arg(p.intensityFactor)
               .arg(p.triggerLevel)
               .arg(p.debounceMs)
               .arg(p.releasePercent) +
           (p.forwardDegrees ? QStringLiteral(" Forward: the mark moves at %1 degrees (0 to the right, 90 down).")
                                   .arg(std::lround(*p.forwardDegrees))
                             : QString());
}

void FindMarkSession::accept()
{
    if (m_done || !m_findMark.finished())
        return;
    m_findMark.proposal().applyTo(m_ctx.settings);
    end(true);
}

void FindMarkSession::cancel()
{
    if (!m_done)
        end(false);
}

void FindMarkSession::end(bool accepted)
{
    m_done = true;
    m_capture.setSurveyGrid(0, 0);
    emit finished(accepted);
}
