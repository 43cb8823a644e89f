// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/CameraReadingBox.h"

#include "app/AppContext.h"
#include "app/FieldValidation.h"
#include "app/RegisterSettings.h"
#include "capture/RegisterWatch.h"
#include "metering/MeterReadingStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

CameraReadingBox::CameraReadingBox(AppContext& ctx, MeterReadingStore& store, RegisterWatch& watch, QWidget* parent)
    : QGroupBox(QStringLiteral("Register seen by the camera"), parent), m_ctx(ctx), m_store(store), m_watch(watch)
{
    setObjectName(QStringLiteral("grpCameraReading"));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblCameraReading"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_take = new QPushButton(QStringLiteral("Take the camera's reading"), this);
    m_take->setObjectName(QStringLiteral("btnTakeCameraReading"));
    m_take->setAutoDefault(false);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_take, 0, Qt::AlignTop);

    connect(m_take, &QPushButton::clicked, this, &CameraReadingBox::takeReading);
    connect(&m_watch, &RegisterWatch::changed, this, &CameraReadingBox::showRead);
    // A reading set or cleared turns a proposal into a check and back.
    connect(&m_store, &MeterReadingStore::changed, this, &CameraReadingBox::showRead);
    showRead();
}

void CameraReadingBox::takeReading()
{
    const QString refused = m_watch.takeReading();
    if (!refused.isEmpty())
        FieldValidation::ShowValidationMessage(m_ctx.services.dialogs,
                                               QStringLiteral("The camera's reading was not taken: %1.").arg(refused));
}

void CameraReadingBox::showRead()
{
    // No region and no refusal: the register is not meant to be read.
    const bool regionSet = m_watch.active() || !m_watch.refusal().isEmpty();
    setVisible(regionSet);
    if (!regionSet)
        return;
    m_text->setText(readText());
    m_take->setVisible(m_watch.active() && (m_watch.proposal() || m_watch.problem()));
}

QString CameraReadingBox::readText() const
{
    if (!m_watch.active())
        return m_watch.refusal();
    QStringList lines;
    // A proposal comes only while no reading is set, a problem only while one is.
    if (const std::optional<double> proposal = m_watch.proposal()) {
        lines << QStringLiteral("The camera reads %1 kWh").arg(wheelsText(*proposal));
    } else if (m_watch.problem()) {
        lines << m_watch.problemText();
    } else if (const std::optional<double> seen = m_watch.seenKWh()) {
        const QDateTime at = m_watch.checkedAt();
        const bool today = at.date() == m_ctx.services.clock.now().date();
        const bool compared = m_store.reading().set && m_watch.difference();
        lines << QStringLiteral("The register read %1 kWh at %2%3")
                     .arg(wheelsText(*seen),
                          m_ctx.locale.toString(at,
                                                today ? QStringLiteral("HH:mm") : QStringLiteral("d MMM yyyy HH:mm")),
                          compared ? QStringLiteral("; the count agrees") : QString());
    }
    if (const std::optional<RegisterRead>& last = m_watch.lastRead(); last && !last->whole())
        lines << (last->problem.isEmpty() ? QStringLiteral("The camera last read ") + last->text()
                                          : QStringLiteral("The camera could not read the register: ") + last->problem);
    if (lines.isEmpty())
        lines << QStringLiteral("The camera has not read the register yet; it is read while the camera runs.");
    return lines.join(QLatin1Char('\n'));
}

QString CameraReadingBox::wheelsText(double kWh) const
{
    const int decimals = RegisterRules::decimalsInUse(m_ctx.settings);
    const int width = m_ctx.settings.REGISTER_DIGITS + (decimals > 0 ? 1 : 0);
    return QStringLiteral("%1")
        .arg(kWh, width, 'f', decimals, QLatin1Char('0'))
        .replace(QLatin1Char('.'), m_ctx.locale.decimalPoint());
}
