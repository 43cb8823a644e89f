// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/RegisterRead.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

struct MeteringContext;
class MeterCamera;
class MeterReadingStore;

// Reads the register's number wheels from the meter's camera while a register region is set: with no reading set,
// to propose one; with one set, every REGISTER_CHECK_MINUTES to compare the register with the counted reading. The
// reads run on a thread of their own. Nothing is changed without someone asking (takeReading).
class RegisterWatch : public QObject
{
    Q_OBJECT

public:
    // How often it looks; tests shorten these.
    struct Timing
    {
        int tickMilliseconds = 5000; // how often it asks whether a read is due
        double confirmSeconds = 60.0; // a proposal needs two whole reads at least this far apart
        double retrySeconds = 10.0;   // a read that was not whole is tried again after this
    };

    RegisterWatch(MeteringContext& ctx, MeterCamera& camera, MeterReadingStore& store, Timing timing,
                  QObject* parent = nullptr);
    RegisterWatch(MeteringContext& ctx, MeterCamera& camera, MeterReadingStore& store, QObject* parent = nullptr)
        : RegisterWatch(ctx, camera, store, Timing{}, parent)
    {
    }
    ~RegisterWatch() override;

    // The register settings taken again (after a save or the files read again); a changed region starts afresh.
    void applySettings();
    // A register region is set and valid.
    bool active() const;

    // The last read, whole or not; absent before the first.
    const std::optional<RegisterRead>& lastRead() const { return m_lastRead; }
    // The register's reading from the last whole read, and when that read was taken.
    std::optional<double> seenKWh() const { return m_seenKWh; }
    QDateTime checkedAt() const { return m_checkedAt; }
    // With no reading set: what the camera reads now, confirmed by two whole reads; absent while there is none.
    std::optional<double> proposal() const;
    // Two whole reads in a row differed from the counted reading by more than one unit of the last wheel.
    bool problem() const { return m_problem; }
    // The register minus the counted reading at the last whole read; absent before one was compared.
    std::optional<double> difference() const { return m_difference; }
    // Sets the meter's reading to what the camera reads (the proposal, or while a problem is on the last whole read
    // with what was counted since); "" or why not.
    QString takeReading();

signals:
    // After every read, proposal and change of the problem.
    void changed();

private:
    class Worker;

    void tick();
    bool readDue() const;
    void requestRead();
    void onRead(const RegisterRead& read, const QDateTime& at, double countedAt);
    std::optional<double> countedKWh() const;
    void compare(double seen, double counted);

    MeteringContext& m_ctx;
    MeterCamera& m_camera;
    MeterReadingStore& m_store;
    Timing m_timing;
    QTimer m_timer;
    Worker* m_worker = nullptr;
    QThread* m_thread = nullptr;
    bool m_reading = false;
    QDateTime m_lastAttempt;
    std::optional<RegisterRead> m_lastRead;
    std::optional<double> m_seenKWh;
    QDateTime m_checkedAt;
    std::optional<double> m_difference;
    bool m_problem = false;
    int m_farInARow = 0;
    // The proposal's first whole read, with the reading counted then.
    std::optional<double> m_firstSeen;
    QDateTime m_firstAt;
    std::optional<double> m_proposal;
};
