// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>
#include <deque>

// The field syntax of the delimited data files, shared by the writers and the reader so that what one writes
// the other reads. Fields are separated by the delimiter string, matched without regard to case. A field that
// starts with a double quote is quoted as spreadsheets write CSV: it runs to the closing quote, may hold the
// delimiter, and each doubled quote inside stands for one. Unquoted fields are taken as they are, quotes and
// all, so files written before fields were ever quoted still read.
class DelimitedFields
{
public:
    explicit DelimitedFields(const QString& delimiter);

    // Splits one line (without its line break). A quote that is never closed on the line is plain text.
    void split(QStringView line);
    qsizetype size() const { return m_fields.size(); }
    QStringView operator[](qsizetype i) const { return m_fields[i]; }

    // Puts the text appended to out since `from` in quotes when a reader would otherwise split it at a
    // delimiter or take one of its quotes for field quotes.
    void quoteIfNeeded(QByteArray& out, qsizetype from) const;

private:
    qsizetype findDelimiter(QStringView line, qsizetype from) const;

    QString m_delimiter;
    QByteArray m_delimiterBytes;
    bool m_delimiterHasCase = false; // may match other text without regard to case: compared as text, not bytes
    bool m_quoting = true;           // off when the delimiter itself holds a quote
    QVarLengthArray<QStringView, 24> m_fields;
    std::deque<QString> m_unescaped; // quoted fields whose doubled quotes were undone; views point here
};
