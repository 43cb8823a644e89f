// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DelimitedFields.h"

#include <algorithm>

namespace {
const QChar Quote = QLatin1Char('"');
} // namespace

DelimitedFields::DelimitedFields(const QString& delimiter)
    : m_delimiter(delimiter), m_delimiterBytes(delimiter.toLocal8Bit()),
      m_delimiterHasCase(
          std::any_of(delimiter.begin(), delimiter.end(), [](QChar c) { return c.unicode() > 0x7f || c.isLetter(); })),
      m_quoting(!delimiter.contains(Quote))
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

void DelimitedFields::quoteIfNeeded(QByteArray& out, qsizetype from) const
{
    if (!m_quoting)
        return;
    const QByteArrayView field(out.constData() + from, out.size() - from);
    bool quote = field.contains('"');
    if (!quote && (m_delimiterHasCase || m_delimiter.size() > 1)) {
        // Also a field ending in the start of a longer delimiter: with the delimiter after it, the reader
        // would find the delimiter too early.
        const QString text = QString::fromLocal8Bit(field);
        for (qsizetype n = m_delimiter.size(); n >= 1 && !quote; --n)
            quote = n == m_delimiter.size() ? text.contains(m_delimiter, Qt::CaseInsensitive)
                                            : text.endsWith(QStringView(m_delimiter).left(n), Qt::CaseInsensitive);
    } else if (!quote) {
        quote = !m_delimiterBytes.isEmpty() && field.contains(m_delimiterBytes);
    }
    if (!quote)
        return;
    QByteArray text = field.toByteArray().replace("\"", "\"\"");
    out.truncate(from);
    out.append('"').append(text).append('"');
}
