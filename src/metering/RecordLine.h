// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/TextFormat.h"
#include "metering/LogRecord.h"

#include <QByteArray>

struct AppContext;

// The delimited text of data-array rows shared by the backup, the difference log and the export:
// 21 fields (slot 21 left out, the cleaned comment last) separated by the field delimiter, ended by the
// end-of-line string, numbers and dates in the user's locale.
class RecordLine
{
public:
    explicit RecordLine(const AppContext& ctx);

    QByteArray header() const;
    void append(QByteArray& out, const LogRecord& record) const;
    QByteArray line(const LogRecord& record) const;

    // Value texts, also used by the live file.
    void appendDate(QByteArray& out, const QDateTime& value) const;
    void appendDouble(QByteArray& out, double value) const;
    static void appendInt(QByteArray& out, qint64 value);
    const QByteArray& delimiter() const { return m_delimiter; }
    const QByteArray& endOfLine() const { return m_endOfLine; }

    static const char* const ColumnNames[21];

private:
    const AppContext& m_ctx;
    GeneralDateFormat m_dates;
    char m_decimalPoint;
    QByteArray m_delimiter;
    QByteArray m_endOfLine;
};
