// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RegisterRegion.h"
#include "capture/RegisterRead.h"
#include "metering/PulseObserver.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <optional>

struct MeteringContext;
class MeterCamera;
class MeterReadingStore;
class QThread;

// How often the register is looked at; tests shorten these.
struct RegisterReadTiming
{
    int tickMilliseconds = 5000;  // how often it asks whether a read is due
    double confirmSeconds = 60.0; // a proposal needs two whole reads at least this far apart
    double retrySeconds = 10.0;   // a read that was not whole is tried again after this
};

// Reads the register's number wheels from the meter's camera while a register region is set: with no reading set,
// to propose one; with one set, every REGISTER_CHECK_MINUTES to compare the register with the counted reading. The
// reads run on a thread of their own, on a whole frame asked of the camera. Nothing is changed without someone
// asking (takeReading).
class RegisterWatch : public QObject, public PulseObserver
{
    Q_OBJECT

public:
    using Timing = RegisterReadTiming;

    // Adds itself to the context's pulse observers.
    RegisterWatch(MeteringContext& ctx, MeterCamera& camera, MeterReadingStore& store, Timing timing = {},
                  QObject* parent = nullptr);
    ~RegisterWatch() override;

    // A valid register region is set for a meter with one register.
    bool active() const { return m_region.has_value() && m_refusal.isEmpty(); }
    // Why the register is not read although a region is set (a bad region, two tariffs); "" otherwise.
    const QString& refusal() const { return m_refusal; }

    // The last read, whole or not; absent before the first.
    const std::optional<RegisterRead>& lastRead() const { return m_lastRead; }
    // The register's reading from the last whole read, and when that read was taken.
    std::optional<double> seenKWh() const;
    QDateTime checkedAt() const { return m_seen ? m_seen->at : QDateTime(); }
    // With no reading set: what the camera reads now (the last whole read and what was counted since), once two
    // whole reads at least confirmSeconds apart agreed with each other and the count between them.
    std::optional<double> proposal() const;
    // Two whole reads in a row differed from the counted reading by more than one unit of the last wheel.
    bool problem() const { return m_problem; }
    // The register minus the counted reading at the last comparison; absent before one.
    std::optional<double> difference() const { return m_difference; }
    // What the problem is, for the screens and the log: "The register reads 12345.6 kWh, 0.4 kWh more than
    // counted." ("" without a problem).
    QString problemText() const;
    // Sets the meter's reading to what the camera reads (the proposal, or while a problem is on the last whole read
    // with what was counted since); "" or why not.
    QString takeReading();

    void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) override;

signals:
    // After every read, proposal and change of the problem.
    void changed();

private:
    struct Seen
    {
        double kWh = 0.0;
        double countedAt = 0.0; // the net energy counted from the camera when the frame was taken
        QDateTime at;
    };

    void tick();
    // The settings taken again; a changed region starts afresh.
    void takeSettings();
    bool readDue(const QDateTime& now) const;
    void onStill(const QImage& picture);
    void onRead(const RegisterRead& read, const Seen& taken);
    void propose(const Seen& seen);
    void compare(const Seen& seen);
    void restartReads();
    // The camera stopped: the disc may turn unseen, so what was counted since a read no longer carries it on.
    void forgetConfirmations();
    double unitKWh() const;

    MeteringContext& m_ctx;
    MeterCamera& m_camera;
    MeterReadingStore& m_store;
    Timing m_timing;
    QTimer m_timer;
    QThread* m_thread = nullptr;
    QObject* m_worker = nullptr; // lives on m_thread, holds the reader

    QString m_regionText;
    std::optional<RegisterRegion> m_region;
    QString m_refusal;
    int m_digits = 0;
    int m_decimals = 0;

    double m_countedNet = 0.0; // kWh counted from the camera since the start, backwards turns negative
    bool m_awaitingStill = false;
    bool m_reading = false;
    QDateTime m_askedAt;
    QDateTime m_lastAttempt;
    std::optional<RegisterRead> m_lastRead;
    std::optional<Seen> m_seen;        // the last whole read
    std::optional<Seen> m_confirmed;   // the last whole read that agreed with one before it
    std::optional<Seen> m_unconfirmed; // a whole read waiting for a second one
    std::optional<double> m_difference;
    int m_farInARow = 0;
    bool m_problem = false;
    QDateTime m_lastRecordedCheck;
    QDateTime m_readingSetAt; // of the reading compared with
};
