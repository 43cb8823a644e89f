// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RegisterWatch.h"

#include "app/RegisterSettings.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "capture/RegisterReader.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QDebug>
#include <QLocale>
#include <QThread>
#include <cmath>
#include <memory>
#include <utility>

namespace {
// A still that never comes (the camera stopped in between) does not block the reads for longer than this.
constexpr qint64 StillWaitMs = 30'000;
// Between two whole reads, agreement allows half a unit of the last wheel: a wheel read whole stands within a
// quarter of a digit of its place, either way.
constexpr double AgreeUnits = 0.5;
// A check goes into the accuracy history once a day, and when the register is found to differ: enough to see
// counting drift day by day without filling the reading's journal.
constexpr qint64 RecordCheckSeconds = 24 * 3600;

// Holds the reader on the read thread: the recogniser takes a moment to load and is made there at the first read.
class ReadWorker : public QObject
{
public:
    RegisterRead read(const QImage& picture, const RegisterRegion& region, int digits, int decimals)
    {
        if (!m_reader)
            m_reader = std::make_unique<RegisterReader>();
        return m_reader->read(picture, region, digits, decimals);
    }

private:
    std::unique_ptr<RegisterReader> m_reader;
};
} // namespace

RegisterWatch::RegisterWatch(MeteringContext& ctx, MeterCamera& camera, MeterReadingStore& store, Timing timing,
                             QObject* parent)
    : QObject(parent), m_ctx(ctx), m_camera(camera), m_store(store), m_timing(timing)
{
    m_ctx.pulseObservers.push_back(this);
    connect(&m_camera.capture(), &CaptureComponent::stillTaken, this, &RegisterWatch::onStill);
    connect(&m_store, &MeterReadingStore::changed, this, [this] {
        // A reading set afresh, by anyone, is compared from then on.
        const MeterRegister& r = m_store.reading();
        const QDateTime setAt = r.set ? r.setAt : QDateTime();
        if (setAt == m_readingSetAt)
            return;
        m_readingSetAt = setAt;
        m_farInARow = 0;
        m_difference.reset();
        m_ctx.registerProblem.clear();
        if (std::exchange(m_problem, false))
            emit changed();
    });
    connect(&m_camera, &MeterCamera::runningChanged, this, [this](bool running) {
        if (!running)
            forgetConfirmations();
    });
    m_timer.setInterval(m_timing.tickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &RegisterWatch::tick);
    m_timer.start();
    takeSettings();
}

RegisterWatch::~RegisterWatch()
{
    std::erase(m_ctx.pulseObservers, this);
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
        delete m_worker;
    }
}

void RegisterWatch::takeSettings()
{
    const GlobalSettings& s = m_ctx.settings;
    const QString text = s.REGISTER_REGION.trimmed();
    const int decimals = RegisterRules::decimalsInUse(s);
    if (text == m_regionText && s.REGISTER_DIGITS == m_digits && decimals == m_decimals)
        return;
    m_regionText = text;
    m_digits = s.REGISTER_DIGITS;
    m_decimals = decimals;
    QString problem;
    m_region = RegisterRegion::parse(text, &problem);
    m_refusal = problem;
    restartReads();
    emit changed();
}

void RegisterWatch::restartReads()
{
    m_lastRead.reset();
    m_seen.reset();
    m_difference.reset();
    forgetConfirmations();
}

void RegisterWatch::forgetConfirmations()
{
    m_ctx.registerProblem.clear();
    m_confirmed.reset();
    m_unconfirmed.reset();
    m_farInARow = 0;
    m_lastAttempt = {};
    if (std::exchange(m_problem, false))
        emit changed();
}

void RegisterWatch::tick()
{
    takeSettings();
    QString refusal = m_region ? QString() : m_refusal;
    if (m_region && m_store.registerCount() > 1)
        refusal = QStringLiteral("The register is read for a meter with one register; with two tariffs each "
                                 "register has its own window.");
    if (refusal != m_refusal) {
        m_refusal = refusal;
        emit changed();
    }
    const QDateTime now = m_ctx.services.clock.now();
    if (m_awaitingStill && m_askedAt.msecsTo(now) > StillWaitMs)
        m_awaitingStill = false;
    if (!active() || !m_camera.running() || m_awaitingStill || m_reading || !readDue(now))
        return;
    m_awaitingStill = true;
    m_askedAt = now;
    m_camera.capture().requestStill();
}

bool RegisterWatch::readDue(const QDateTime& now) const
{
    if (!m_lastAttempt.isValid())
        return true;
    const double sinceAttempt = m_lastAttempt.msecsTo(now) / 1000.0;
    const bool lastWhole = m_lastRead && m_lastRead->whole();
    if (!lastWhole)
        return sinceAttempt >= m_timing.retrySeconds;
    // Unset: confirm a read, then keep the proposal fresh. Set: a check every REGISTER_CHECK_MINUTES, sooner while a
    // read far from the count waits for the one that confirms or clears it.
    if (!m_store.reading().set || m_farInARow > 0)
        return sinceAttempt >= m_timing.confirmSeconds;
    return sinceAttempt >= 60.0 * std::max(1, m_ctx.settings.REGISTER_CHECK_MINUTES);
}

void RegisterWatch::onStill(const QImage& picture)
{
    if (!m_awaitingStill || !active())
        return;
    m_awaitingStill = false;
    m_reading = true;
    const Seen taken{0.0, m_countedNet, m_ctx.services.clock.now()};
    m_lastAttempt = taken.at;
    if (!m_thread) {
        m_thread = new QThread(this);
        m_worker = new ReadWorker;
        m_worker->moveToThread(m_thread);
        m_thread->start();
    }
    auto* worker = static_cast<ReadWorker*>(m_worker);
    QMetaObject::invokeMethod(
        m_worker,
        [this, worker, picture, region = *m_region, digits = m_digits, decimals = m_decimals, taken] {
            const RegisterRead read = worker->read(picture, region, digits, decimals);
            QMetaObject::invokeMethod(
                this, [this, read, taken] { onRead(read, taken); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void RegisterWatch::onRead(const RegisterRead& read, const Seen& taken)
{
    m_reading = false;
    m_lastRead = read;
    if (const std::optional<double> kWh = read.kWh()) {
        Seen seen = taken;
        seen.kWh = *kWh;
        m_seen = seen;
        if (m_store.reading().set)
            compare(seen);
        else
            propose(seen);
    }
    emit changed();
}

void RegisterWatch::propose(const Seen& seen)
{
    // Agrees with the earlier read once what was counted between them is added, so a register that moved while the
    // disc turned still confirms.
    const Seen& earlier = m_confirmed ? *m_confirmed : (m_unconfirmed ? *m_unconfirmed : seen);
    const bool farEnough = earlier.at.msecsTo(seen.at) >= m_timing.confirmSeconds * 1000.0;
    const double expected = earlier.kWh + (seen.countedAt - earlier.countedAt);
    if (&earlier != &seen && std::abs(seen.kWh - expected) <= AgreeUnits * unitKWh()) {
        if (farEnough || m_confirmed)
            m_confirmed = seen;
        return;
    }
    m_confirmed.reset();
    m_unconfirmed = seen;
}

void RegisterWatch::compare(const Seen& seen)
{
    const MeterRegister& r = m_store.reading();
    // The count at the moment the frame was taken.
    const double counted = r.kWh() - (m_countedNet - seen.countedAt);
    m_difference = seen.kWh - counted;
    const bool far = std::abs(*m_difference) > unitKWh() * (1.0 + 1e-9);
    m_farInARow = far ? m_farInARow + 1 : 0;
    const bool problem = m_farInARow >= 2;
    const bool turnedOn = problem && !m_problem;
    if (problem != m_problem) {
        m_problem = problem;
        m_ctx.registerProblem = problemText();
        if (problem)
            qWarning().noquote() << problemText();
        else
            qInfo().noquote() << QStringLiteral("The register agrees with the counted reading again.");
    }
    const bool recordDue =
        !m_lastRecordedCheck.isValid() || m_lastRecordedCheck.secsTo(seen.at) >= RecordCheckSeconds || turnedOn;
    if (recordDue && seen.kWh > r.setKWh && m_store.checkAccuracy(seen.kWh).isEmpty())
        m_lastRecordedCheck = seen.at;
}

std::optional<double> RegisterWatch::seenKWh() const
{
    if (!m_seen)
        return std::nullopt;
    return m_seen->kWh;
}

std::optional<double> RegisterWatch::proposal() const
{
    if (m_store.reading().set || !m_confirmed || !active())
        return std::nullopt;
    return m_confirmed->kWh + (m_countedNet - m_confirmed->countedAt);
}

QString RegisterWatch::problemText() const
{
    if (!m_problem || !m_seen || !m_difference)
        return {};
    // Written as the register shows it, without group separators.
    QLocale locale = m_ctx.locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString seen = locale.toString(m_seen->kWh, 'f', m_decimals);
    const QString by = locale.toString(std::abs(*m_difference), 'f', m_decimals + 1);
    return QStringLiteral("The register reads %1 kWh, %2 kWh %3 than counted.")
        .arg(seen, by, *m_difference > 0 ? QStringLiteral("more") : QStringLiteral("less"));
}

QString RegisterWatch::takeReading()
{
    std::optional<double> kWh = proposal();
    if (!kWh && m_problem && m_seen)
        kWh = m_seen->kWh + (m_countedNet - m_seen->countedAt);
    if (!kWh) {
        if (!active())
            return m_refusal.isEmpty() ? QStringLiteral("no register region is set (Camera Setup)") : m_refusal;
        if (m_store.reading().set)
            return QStringLiteral("the camera's reading agrees with the count");
        return QStringLiteral("the camera has not yet read the register whole twice a minute apart");
    }
    return m_store.setReading(*kWh, m_store.sourceForNewReading());
}

void RegisterWatch::revolutionCounted(const MeteringContext& ctx, const MeterSource& source)
{
    if (source != m_camera.capture().meterSource() || ctx.pulse.counted.revsPerKWh <= 0)
        return;
    m_countedNet += TurnSign(ctx.pulse) / ctx.pulse.counted.revsPerKWh;
}

double RegisterWatch::unitKWh() const
{
    return std::pow(10.0, -m_decimals);
}
