// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DelimitedFields.h"

namespace {
const QChar Quote = QLatin1Char('"');
} // namespace

DelimitedFields::DelimitedFields(const QString& delimiter)
    : m_delimiter(delimiter), m_quoting(!delimiter.contains(Quote))
{
}

qsizetype DelimitedFields::findDelimiter(QStringView line, qsizetype from) const
{
    return m_delimiter.isEmpty() ? -1 : line.indexOf(m_delimiter, from, Qt::CaseInsensitive);
}

void DelimitedFields::split(QStringView line)
{
    m_fields.clear();
    m_unescaped.clear();
    qsizetype pos = 0;
    for (;;) {
        if (m_quoting && pos < line.size() && line[pos] == Quote) {
            qsizetype close = line.indexOf(Quote, pos + 1);
            bool doubled = false;
            while (close >= 0 && close + 1 < line.size() && line[close + 1] == Quote) {
                doubled = true;
                close = line.indexOf(Quote, close + 2);
            }
            if (close >= 0) {
                // Text between the closing quote and the delimiter is kept, as spreadsheets do.
                const qsizetype at = findDelimiter(line, close + 1);
                const qsizetype end = at < 0 ? line.size() : at;
                const QStringView inner = line.mid(pos + 1, close - pos - 1);
                if (doubled || end > close + 1) {
                    m_unescaped.push_back(inner.toString().replace(QStringLiteral("\"\""), QStringLiteral("\"")));
                    m_unescaped.back().append(line.mid(close + 1, end - close - 1));
                    m_fields.push_back(m_unescaped.back());
                } else {
                    m_fields.push_back(inner);
                }
                if (at < 0)
                    return;
                pos = at + m_delimiter.size();
                continue;
            }
        }
        const qsizetype at = findDelimiter(line, pos);
        if (at < 0) {
            m_fields.push_back(line.mid(pos));
            return;
        }
        m_fields.push_back(line.mid(pos, at - pos));
        pos = at + m_delimiter.size();
    }
}
