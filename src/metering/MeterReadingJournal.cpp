// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MeterReadingJournal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <tuple>

namespace MeterReadingJournal {

namespace {

constexpr std::array<quint32, 256> crcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// CRC-32 (as zip and PNG use it): any burst of up to 32 damaged bits is caught.
quint32 crc32(QByteArrayView bytes)
{
    static constexpr std::array<quint32, 256> table = crcTable();
    quint32 c = 0xFFFFFFFFu;
    for (char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray number(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, result.ptr - buffer);
}

std::optional<double> toDouble(const QByteArray& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (error != std::errc() || end != text.constData() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> toSignedInteger(const QByteArray& text)
{
    qint64 value = 0;
    const auto [end, error] = std::from_chars(text.constData(), text.constData() + text.size(), value);
    if (error != std::errc() || end != text.constData() + text.size())
        return std::nullopt;
    return value;
}

std::optional<qint64> toInteger(const QByteArray& text)
{
    const auto value = toSignedInteger(text);
    return value && *value >= 0 ? value : std::nullopt;
}

QByteArray time(const QDateTime& at)
{
    return QByteArray::number(at.toSecsSinceEpoch());
}

// Seconds since 1970 up to the end of year 9999, which a date-time holds exactly.
std::optional<QDateTime> toTime(const QByteArray& text)
{
    const auto seconds = toInteger(text);
    if (!seconds || *seconds > 253402300799)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(*seconds);
}

// The numbers of a line's fields, all of them or none.
template <std::size_t N> std::optional<std::array<double, N>> doubles(const QList<QByteArray>& fields, qsizetype from)
{
    std::array<double, N> values{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto v = toDouble(fields[from + qsizetype(i)]);
        if (!v)
            return std::nullopt;
        values[i] = *v;
    }
    return values;
}

bool isEnergy(const std::optional<std::array<double, 2>>& kWh)
{
    return kWh && (*kWh)[0] >= 0 && (*kWh)[1] >= 0;
}

// A setting line: the reading set and its source, then the cost carried on from before when there is one, then
// the energy imported and exported so far once they are counted.
bool applySet(Register& s, const Line& line)
{
    const qsizetype n = line.fields.size();
    if (n != 2 && n != 3 && n != 5)
        return false;
    const auto kWh = toDouble(line.fields[0]);
    const MeterSource source = MeterSource::fromKey(QString::fromUtf8(QByteArray::fromPercentEncoding(line.fields[1])));
    const auto carried = n >= 3 ? toDouble(line.fields[2]) : std::optional<double>(0.0);
    const auto flows = n == 5 ? doubles<2>(line.fields, 3) : std::array<double, 2>{};
    if (!kWh || *kWh < 0 || source.isNone() || !carried || *carried < 0 || !isEnergy(flows))
        return false;
    MeterRegister& r = s.reading;
    r.setReading(*kWh, source, line.at, *carried);
    r.flows = n == 5;
    std::tie(r.carriedImportKWh, r.carriedExportKWh) = std::tuple((*flows)[0], (*flows)[1]);
    std::tie(r.closedImportKWh, r.closedExportKWh) = std::tuple((*flows)[0], (*flows)[1]);
    s.setSeq = line.seq;
    s.countedSeq = 0;
    return true;
}

// A revolution line: the setting it belongs to, then the whole counting state. Without the energy each way its
// counts are those of a disc that only turns forward; with it (the present run's backward revolutions, the
// energy imported and exported before that run) they are net and may be below 0.
bool applyRevolution(Register& s, const Line& line)
{
    const bool withFlows = line.fields.size() == 10;
    if (line.fields.size() != 7 && !withFlows)
        return false;
    const auto count = withFlows ? toSignedInteger : toInteger;
    const auto setSeq = toInteger(line.fields[0]);
    const auto revolutions = count(line.fields[1]);
    const auto runRevolutions = count(line.fields[2]);
    const auto values = doubles<4>(line.fields, 3);
    const auto runBackward = withFlows ? toInteger(line.fields[7]) : std::optional<qint64>(0);
    const auto flows = withFlows ? doubles<2>(line.fields, 8) : std::array<double, 2>{};
    if (!setSeq || !revolutions || !runRevolutions || !values || (*values)[0] <= 0 || (*values)[2] < 0 ||
        !runBackward || !isEnergy(flows))
        return false;
    const bool consistent = withFlows ? *runRevolutions + *runBackward >= 0 : *runRevolutions <= *revolutions;
    if (!consistent)
        return false;
    if (!s.reading.set || *setSeq != s.setSeq) {
        s.orphanLines += 1;
        return true;
    }
    MeterRegister& r = s.reading;
    r.revolutions = *revolutions;
    r.runRevolutions = *runRevolutions;
    r.revsPerKWh = (*values)[0];
    r.price = (*values)[1];
    r.closedKWh = (*values)[2];
    r.closedCost = (*values)[3];
    r.runBackward = *runBackward;
    if (withFlows) {
        r.flows = true;
        std::tie(r.closedImportKWh, r.closedExportKWh) = std::tuple((*flows)[0], (*flows)[1]);
    }
    r.countedAt = line.at;
    s.countedSeq = line.seq;
    return true;
}

bool applyCheck(Register& s, const Line& line)
{
    if (line.fields.size() != 3)
        return false;
    const auto since = toTime(line.fields[0]);
    const auto values = doubles<2>(line.fields, 1);
    if (!since || !values || (*values)[1] <= 0)
        return false;
    // A check is made of a set reading; with its setting lost it has nothing to stand with.
    if (!s.reading.set)
        return true;
    s.addCheck(line.seq, {line.at, *since, (*values)[0], (*values)[1]});
    return true;
}

bool apply(Register& s, const Line& line)
{
    switch (line.kind) {
    case 'S':
        return applySet(s, line);
    case 'R':
        return applyRevolution(s, line);
    case 'K':
        return applyCheck(s, line);
    default:
        return false;
    }
}

// "S" for tariff 1, "S2" for tariff 2.
QByteArray kindText(char kind, int tariff)
{
    QByteArray text(1, kind);
    if (tariff != 1)
        text += QByteArray::number(tariff);
    return text;
}

} // namespace

QByteArray seal(char kind, int tariff, qint64 seq, const QDateTime& at, const QList<QByteArray>& fields)
{
    QByteArray line;
    line.reserve(120);
    line += kindText(kind, tariff);
    line += ' ';
    line += QByteArray::number(seq);
    line += ' ';
    line += time(at);
    for (const QByteArray& field : fields) {
        line += ' ';
        line += field;
    }
    const quint32 checksum = crc32(line);
    line += '*';
    line += QByteArray::number(checksum, 16).rightJustified(8, '0');
    line += '\n';
    return line;
}

std::optional<Line> parse(QByteArrayView text)
{
    const qsizetype star = text.lastIndexOf('*');
    if (star < 0 || text.size() - star - 1 != 8)
        return std::nullopt;
    const QByteArrayView hex = text.sliced(star + 1);
    quint32 checksum = 0;
    const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), checksum, 16);
    const QByteArrayView body = text.first(star);
    if (error != std::errc() || end != hex.data() + hex.size() || checksum != crc32(body))
        return std::nullopt;
    QList<QByteArray> fields = body.toByteArray().split(' ');
    if (fields.size() < 3 || fields[0].isEmpty())
        return std::nullopt;
    const char kind = fields[0][0];
    const int tariff = fields[0].size() == 1 ? 1 : fields[0].sliced(1).toInt();
    const auto seq = toInteger(fields[1]);
    const auto at = toTime(fields[2]);
    if (!seq || !at || tariff < 1 || tariff > Tariffs || fields[0] != kindText(kind, tariff))
        return std::nullopt;
    Line line{kind, tariff, *seq, fields.mid(3), *at};
    // Replaying it alone says whether its fields make sense; a well-sealed line of nonsense is damage too.
    Register probe;
    probe.reading.set = true;
    if (line.kind == 'R')
        probe.setSeq = line.fields.isEmpty() ? 0 : toInteger(line.fields[0]).value_or(0);
    if (!apply(probe, line))
        return std::nullopt;
    return line;
}

FileLines read(const QList<QByteArray>& lines)
{
    FileLines out;
    for (const QByteArray& text : lines) {
        out.count += 1;
        if (auto line = parse(text)) {
            out.good.push_back(std::move(*line));
            out.lastGoodLine = out.count;
        } else {
            out.badLines.push_back(out.count);
        }
    }
    return out;
}

State replay(std::vector<Line> lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.seq < b.seq; });
    State s;
    // The checks last: a reading set again keeps its history, and a file rewritten whole puts the new setting's line
    // before checks that came earlier.
    for (const bool checks : {false, true})
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if ((i > 0 && lines[i].seq == lines[i - 1].seq) || (lines[i].kind == 'K') != checks)
                continue;
            apply(s.of(lines[i].tariff), lines[i]);
            s.lastSeq = std::max(s.lastSeq, lines[i].seq);
        }
    return s;
}

QByteArray Register::setLine() const
{
    // A first setting is written as before the cost was carried on, so older programs read it too.
    // The energy each way only once it is counted: a meter that never counts its direction is written as before.
    QList<QByteArray> fields{number(reading.setKWh), reading.source.key().toUtf8().toPercentEncoding()};
    if (reading.carriedCost != 0 || reading.flows)
        fields << number(reading.carriedCost);
    if (reading.flows)
        fields << number(reading.carriedImportKWh) << number(reading.carriedExportKWh);
    return seal('S', tariff, setSeq, reading.setAt, fields);
}

QByteArray Register::revolutionLine() const
{
    const MeterRegister& r = reading;
    QList<QByteArray> fields{QByteArray::number(setSeq),
                             QByteArray::number(r.revolutions),
                             QByteArray::number(r.runRevolutions),
                             number(r.revsPerKWh),
                             number(r.price),
                             number(r.closedKWh),
                             number(r.closedCost)};
    if (r.flows)
        fields << QByteArray::number(r.runBackward) << number(r.closedImportKWh) << number(r.closedExportKWh);
    return seal('R', tariff, countedSeq, r.countedAt, fields);
}

QByteArray Register::checkLine(std::size_t index) const
{
    const AccuracyCheck& c = reading.checks[index];
    return seal('K', tariff, checkSeqs[index], c.at, {time(c.since), number(c.countedKWh), number(c.advancedKWh)});
}

QByteArray Register::compacted() const
{
    QByteArray out;
    if (reading.set) {
        out += setLine();
        if (countedSeq > setSeq)
            out += revolutionLine();
    }
    for (std::size_t i = 0; i < reading.checks.size(); ++i)
        out += checkLine(i);
    return out;
}

void Register::addCheck(qint64 seq, const AccuracyCheck& check)
{
    reading.addCheck(check);
    checkSeqs.push_back(seq);
    if (checkSeqs.size() > reading.checks.size())
        checkSeqs.erase(checkSeqs.begin(), checkSeqs.end() - qsizetype(reading.checks.size()));
}

bool State::anySet() const
{
    return std::any_of(registers.begin(), registers.end(), [](const Register& r) { return r.reading.set; });
}

QByteArray State::compacted() const
{
    QByteArray out;
    for (const Register& r : registers)
        out += r.compacted();
    return out;
}

} // namespace MeterReadingJournal
