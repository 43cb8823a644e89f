// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/QueuedMessages.h"
#include "metering/MeterReadingJournal.h"
#include "metering/PulseObserver.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

class FileHandle;
struct MeteringContext;

struct ReadingTotal
{
    double kWh = 0.0;
    double cost = 0.0;
    double importedKWh = 0.0;
    double exportedKWh = 0.0;
};

// The meter's own reading, kept in METERREADING.DTA so that it survives anything. Every change is appended as
// one line at once, handed to the system in one write: a killed process loses nothing. The disk itself is made
// to write (fsync) at most once per SyncSeconds, so a power cut loses at most that much counting and a
// storage card is spared. When the file has grown past its limit, that moment rewrites it as the few lines
// that still matter, atomically, and the file it replaces stays beside it as METERREADING.BAK; a damaged file
// is put aside as METERREADING.BAD and the last good state is used.
//
// Revolutions move the reading only when they come from the source it was set for. A two-rate meter has a register
// per tariff (TARIFF_COUNT 2), each set on its own and moved only by the revolutions counted in its tariff, the tariff
// the working price is of; tariff 1's register is the one reading of a one-rate meter.
class MeterReadingStore : public QObject, public PulseObserver
{
    Q_OBJECT

public:
    static constexpr double SyncSeconds = 10.0;
    static constexpr qint64 CompactBytes = 64 * 1024;
    static constexpr double MaxKWh = 1e9;

    // Adds itself to the context's pulse observers; compactBytes is the size that makes a rewrite due.
    explicit MeterReadingStore(MeteringContext& ctx, qint64 compactBytes = CompactBytes, QObject* parent = nullptr);
    // Takes what is not yet on the disk there.
    ~MeterReadingStore() override;

    // Reads the file (with the previous one when it is damaged or missing), before anything else is asked of
    // the store. Returns what was damaged, what is used and what is missing, or "" when the file was whole or
    // there is none yet.
    QString load();

    const MeterRegister& reading(int tariff = 1) const { return m_state.of(tariff).reading; }
    // The registers the meter has: one per tariff.
    int registerCount() const;
    // What the registers add up to: tariff 1's with one tariff, the sum with two. Absent while one of them is not
    // set, as a sum that grew by a register when it was set would look like that much energy used at once.
    std::optional<ReadingTotal> total() const;
    // Why a reading typed or sent cannot be taken, or "" when it is a number from 0 to MaxKWh.
    static QString refusal(double kWh);
    // Sets the tariff's register for that source from now on; "" or why it was refused.
    QString setReading(double kWh, const MeterSource& source, int tariff = 1);
    // Checks counting against what the meter's register of the tariff shows now and keeps the check; "" or why it
    // was refused.
    QString checkAccuracy(double meterKWh, int tariff = 1);

    void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) override;

    // What the running camera shows (None while it is stopped), as the camera screen says when it starts or stops.
    const MeterSource& cameraSource() const { return m_cameraSource; }
    void setCameraSource(const MeterSource& source) { m_cameraSource = source; }
    // What a reading set now follows: the running camera's source; with none running, the camera remembered for
    // the next start; None when there is neither.
    MeterSource sourceForNewReading() const;
    // Makes the disk write what is due; shows what went wrong in between. The store's timer calls it.
    void tick();

signals:
    // After every change of the reading: a revolution, a setting, a check, a load.
    void changed();

private:
    QString path(const char* extension) const;
    QList<QByteArray> readLines(const QString& from, bool& readable);
    QString describeDamage(const MeterReadingJournal::FileLines& file, bool readable) const;
    void write(const QByteArray& line);
    void commitWhenDue();
    bool commit();
    bool compact();
    void report(const QString& problem);

    MeteringContext& m_ctx;
    qint64 m_compactBytes;
    QString m_path;
    MeterSource m_cameraSource;
    MeterReadingJournal::State m_state;
    std::unique_ptr<FileHandle> m_journal;
    qint64 m_fileBytes = 0;
    // The file holds only whole lines of this state, so lines may be appended to it and it may become the
    // previous file at the next rewrite.
    bool m_fileWhole = false;
    bool m_unsynced = false;
    bool m_lastCommitDone = false;
    double m_lastCommit = 0.0;
    bool m_failing = false;
    QueuedMessages m_messages;
    QTimer m_timer;
};
