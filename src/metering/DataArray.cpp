// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DataArray.h"

#include <algorithm>

size_t DataArray::physical(qint32 r) const
{
    return (m_start + static_cast<size_t>(r - 1)) % m_rows.size();
}

const LogRecord& DataArray::row(qint32 r) const
{
    Q_ASSERT(r >= 1 && r <= m_count);
    return m_rows[physical(r)];
}

const LogRecord* DataArray::record(qint64 sequence) const
{
    if (sequence < firstSequence() || sequence > m_lastSequence)
        return nullptr;
    return &row(static_cast<qint32>(sequence - firstSequence() + 1));
}

qint64 DataArray::append(const LogRecord& record)
{
    if (m_capacity < 1)
        return m_lastSequence;
    ++m_lastSequence;
    if (m_count < m_capacity) {
        const size_t at = m_start + static_cast<size_t>(m_count);
        if (at < m_rows.size())
            m_rows[at] = record;
        else
            m_rows.push_back(record);
        ++m_count;
    } else {
        m_rows[m_start] = record;
        m_start = (m_start + 1) % m_rows.size();
    }
    return m_lastSequence;
}

void DataArray::linearise()
{
    if (m_start == 0)
        return;
    std::rotate(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(m_start), m_rows.end());
    m_start = 0;
}

bool DataArray::store(qint32 r, const LogRecord& record)
{
    if (r < 1 || r > m_count + 1 || r > m_capacity)
        return false;
    linearise();
    const size_t at = static_cast<size_t>(r - 1);
    if (at < m_rows.size())
        m_rows[at] = record;
    else
        m_rows.push_back(record);
    if (r == 1)
        ++m_generation;
    m_count = r;
    m_lastSequence = r;
    return true;
}

void DataArray::dropNewest()
{
    if (m_count == 0)
        return;
    linearise(); // appending assumes row 1 at the front until the table is full again
    --m_count;
    --m_lastSequence;
}

void DataArray::resetPointer()
{
    linearise();
    m_count = 0;
    m_lastSequence = 0;
    ++m_generation;
}
