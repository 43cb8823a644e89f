// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/DetectionGrid.h"

#include <algorithm>

namespace {
// Leading and trailing spaces only: other blanks are cells like any other character.
QString trimSpaceCharacters(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

template <typename RowFn> void forEachRow(const QString& trimmed, RowFn fn)
{
    int row = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype space = trimmed.indexOf(u' ', start);
        if (space < 0) {
            fn(QStringView(trimmed).mid(start), row);
            return;
        }
        fn(QStringView(trimmed).mid(start, space - start), row);
        start = space + 1;
        ++row;
    }
}
} // namespace

bool parse_grid_string(const QString& strpGridString, QList<GridCell>& varActiveCells)
{
    const QString text = trimSpaceCharacters(strpGridString);
    varActiveCells.clear();
    if (text.isEmpty())
        return false;
    forEachRow(text, [&](QStringView rowText, int row) {
        for (qsizetype p = 0; p < rowText.size(); ++p) {
            if (rowText[p] != u'0')
                varActiveCells.append(GridCell{int(p), row});
        }
    });
    return !varActiveCells.isEmpty();
}

DetectionGrid DetectionGrid::fromString(const QString& text)
{
    DetectionGrid g;
    g.m_text = text;
    const QString trimmed = trimSpaceCharacters(text);
    if (trimmed.isEmpty())
        return g;
    for (QChar c : trimmed) {
        if (c != u' ' && (c < u'0' || c > u'9'))
            return g;
    }
    int rows = 0;
    qsizetype columns = 0;
    forEachRow(trimmed, [&](QStringView rowText, int) {
        ++rows;
        columns = std::max(columns, rowText.size());
    });
    if (columns == 0 || columns > MaxDimension || rows > MaxDimension)
        return g;
    g.m_columns = int(columns);
    g.m_rows = rows;
    g.m_cells.assign(std::size_t(g.m_columns) * std::size_t(rows), 0);
    forEachRow(trimmed, [&](QStringView rowText, int row) {
        for (qsizetype p = 0; p < rowText.size(); ++p)
            g.m_cells[std::size_t(row) * std::size_t(g.m_columns) + std::size_t(p)] = char(rowText[p].unicode() - u'0');
    });
    g.m_accepted = true;
    return g;
}

int DetectionGrid::sensitivity(int column, int row) const
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return 0;
    return m_cells[std::size_t(row) * std::size_t(m_columns) + std::size_t(column)];
}

QString DetectionGrid::displayText() const
{
    QString out;
    out.reserve((m_columns + 2) * m_rows);
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c)
            out += QChar(u'0' + sensitivity(c, r));
        out += QStringLiteral("\r\n");
    }
    return out;
}

void DetectionGrid::setSensitivity(int column, int row, int value)
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return;
    m_cells[std::size_t(row) * std::size_t(m_columns) + std::size_t(column)] = char(std::clamp(value, 0, 9));
    QStringList rows;
    for (int r = 0; r < m_rows; ++r) {
        QString line;
        for (int c = 0; c < m_columns; ++c)
            line += QChar(u'0' + sensitivity(c, r));
        rows << line;
    }
    m_text = rows.join(u' ');
}
