// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/LogRecord.h"

#include <vector>

// The in-memory table of logged records. Rows are 1-based and always read oldest first. Storage grows with
// the records written, never beyond the capacity fixed at creation; once full, a new record replaces the
// oldest, so the table always holds the newest `capacity` records.
class DataArray
{
public:
    explicit DataArray(qint32 capacity = 0) : m_capacity(capacity) {}

    qint32 capacity() const { return m_capacity; }
    qint32 count() const { return m_count; }
    // lngGlobalDataArrayPointer: one past the last record of the data set.
    qint32 pointer() const { return m_count + 1; }
    bool IsDataInMemory() const { return m_count >= 1; }

    // Row r of the data set, 1 <= r <= count().
    const LogRecord& row(qint32 r) const;

    // Appends a logged record; when full, the oldest record gives way. Returns its sequence number.
    qint64 append(const LogRecord& record);
    // Stores row r (1 <= r <= count() + 1 and r <= capacity) and makes it the last row of the data set,
    // as the readers and generators that fill the table from row 1 do. False when r is out of range.
    bool store(qint32 r, const LogRecord& record);
    // Empties the data set (pointer back to 1); old rows may stay in storage until overwritten.
    void resetPointer();
    // Takes the newest record out again (the torn last line of a backup that happened to read as one).
    void dropNewest();

    // Every record appended since the last reset has a sequence number, 1, 2, ... so that a backup can
    // follow the table across its wrap. Row r holds sequence firstSequence() + r - 1.
    qint64 firstSequence() const { return m_lastSequence - m_count + 1; }
    qint64 lastSequence() const { return m_lastSequence; }
    // The record with that sequence number, or nullptr once it has been overwritten or the data set replaced.
    const LogRecord* record(qint64 sequence) const;
    // Changes whenever the data set is started afresh (reset, or filled again from row 1), so a writer
    // that waited between attempts can tell that the sequence numbers it holds name other records now.
    quint64 generation() const { return m_generation; }

private:
    size_t physical(qint32 r) const;
    void linearise();

    qint32 m_capacity = 0;
    std::vector<LogRecord> m_rows;
    size_t m_start = 0; // physical index of row 1
    qint32 m_count = 0;
    qint64 m_lastSequence = 0;
    quint64 m_generation = 0;
};
