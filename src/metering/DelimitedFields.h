// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVarLengthArray>
#include <deque>

// How the readers of the delimited data files split a line into fields. Fields are separated by the delimiter
// string, matched without regard to case. The writers never quote a field (TextFormat::unquotedField), but a
// spreadsheet saving a file again may: a field that starts with a double quote runs to the closing quote, may
// hold the delimiter, and each doubled quote inside stands for one. Unquoted fields are taken as they are.
class DelimitedFields
{
public:
    explicit DelimitedFields(const QString& delimiter);

    // Splits one line (without its line break). A quote that is never closed on the line is plain text.
    void split(QStringView line);
    qsizetype size() const { return m_fields.size(); }
    QStringView operator[](qsizetype i) const { return m_fields[i]; }

private:
    qsizetype findDelimiter(QStringView line, qsizetype from) const;

    QString m_delimiter;
    bool m_quoting = true; // off when the delimiter itself holds a quote
    QVarLengthArray<QStringView, 24> m_fields;
    std::deque<QString> m_unescaped; // quoted fields whose doubled quotes were undone; views point here
};
