// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/TextFormat.h"
#include "metering/DelimitedFields.h"
#include "metering/LogRecord.h"

#include <QByteArray>

struct AppContext;

// The delimited text of data-array rows shared by the backup, the difference log and the export, and read
// back by the import and the reload: 21 fields (slot 21 left out, the cleaned comment last) separated by the
// field delimiter, ended by the end-of-line string, numbers and dates in the user's locale. No field is ever
// quoted: the comment and, where the delimiter occurs in dates, the date are written without it.
class RecordLine
{
public:
    explicit RecordLine(const AppContext& ctx);

    QByteArray header() const;
    void append(QByteArray& out, const LogRecord& record) const;
    QByteArray line(const LogRecord& record) const;

    enum class Fields
    {
        Values, // fields 1 to 20 and whatever follows them: files from anywhere, read as far as their values
        Whole   // exactly 21: the backup a run resumes, where anything else is a damaged line
    };
    // Fields 1 to 20 of one line (without its line break) into a fresh record; the comment is not read.
    // Returns why the line is not a record, empty when it is one.
    QString read(QStringView line, LogRecord& record, Fields fields = Fields::Values) const;
    // The comment field of the line read last, for a resumed run that takes its comments back.
    QString lastComment() const { return m_fields.size() == 21 ? m_fields[20].toString() : QString(); }

    // Value texts, also used by the live file; each is one field.
    void appendDate(QByteArray& out, const QDateTime& value) const;
    void appendDouble(QByteArray& out, double value) const;
    void appendInt(QByteArray& out, qint64 value) const;
    const QByteArray& delimiter() const { return m_delimiter; }
    const QByteArray& endOfLine() const { return m_endOfLine; }
    const GeneralDateFormat& dates() const { return m_dates; }
    char decimalPoint() const { return m_decimalPoint; }

    // The locale's decimal separator, unless it is the field delimiter (a comma on many desktops) or not a
    // single ASCII character: then a point, which every reader of the file takes for one.
    static char dataDecimalPoint(const QLocale& locale, const QString& delimiter);

    static const char* const ColumnNames[21];

private:
    template <class Int> QString readInteger(int field, Int& out) const;
    QString readDouble(int field, double& out) const;
    QString readDateTime(LogRecord& record) const;
    bool showsSameMinute(QStringView text, const QDate& date, const QTime& time) const;
    QString fieldProblem(int field, const QString& what) const;

    const AppContext& m_ctx;
    GeneralDateFormat m_dates;
    char m_decimalPoint;
    QChar m_localePoint;       // also read
    char m_plainDelimiter = 0; // a one-byte delimiter that matches no other character
    QChar m_dateStandIn;       // written where a date holds the delimiter
    QByteArray m_delimiter;
    QByteArray m_endOfLine;
    mutable DelimitedFields m_fields;
};
