// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct GlobalSettings;
class DataArray;
struct LogRecord;

// One of the eight history graphs: which slot it shows, how a group of records becomes one point, and its
// titles (which follow the unit settings).
struct GraphType
{
    enum class Group
    {
        Average,
        Sum,
        Last
    };

    QString listText;
    int slot = 0;
    Group group = Group::Average;
    QString graphTitle;
    QString yAxisTitle;

    double value(const LogRecord& record) const;
};

// The eight types in list order.
std::vector<GraphType> graphTypes(const GlobalSettings& settings);
QStringList graphTypeListTexts();

// A point's x: the recorded wall-clock date and time counted in seconds from 1970-01-01 00:00 as if it were
// UTC. The axis then shows the times exactly as logged, and no time-zone lookup is made per record, which
// would cost more than all the rest of the calculation.
double graphTime(const QDateTime& when);
QDateTime graphTimeToDateTime(double seconds);

// The work array of one calculation: x as graphTime(), y the point's value.
struct GraphSeries
{
    std::vector<double> times;
    std::vector<double> values;
    QString graphTitle;
    QString yAxisTitle;

    size_t size() const { return times.size(); }
};

// Combines every `factor` consecutive records of rows 1 to `records` into one point, timed at the last
// record of its group; incomplete trailing groups are left out. A factor below 1 counts as 1.
// `keepAlive` (may be empty) runs now and then so a long calculation leaves the window responsive.
GraphSeries CalculateGraph(const DataArray& data, qint32 records, const GraphType& type, qint64 factor,
                           const std::function<void()>& keepAlive = {});

// The compaction field after a change: digits only, "1" when empty or above a third of the records.
QString cleanCompactionText(const QString& text, qint32 records);
