// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/MeterRegister.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <optional>
#include <vector>

// The lines of METERREADING.DTA. Each is one event of the reading: a setting (S), a counted revolution (R)
// or an accuracy check (K), with a sequence number, its time and a checksum, so that a torn or damaged line
// is recognised and never read as a value. A two-rate meter has a register per tariff: the lines of tariff 2's
// carry the tariff after their kind (S2, R2, K2), those of tariff 1's are written as before there were two, so a
// file from then reads as tariff 1's register. Once a register counts the disc's direction, its setting and
// revolution lines carry the energy imported and exported after their older fields, and the revolution counts may be
// below 0; until then they are written as before. A revolution line holds the whole counting state, so any later
// good line makes up for a damaged one before it; a compacted file is the few lines that still matter, with
// their sequence numbers, so an older file and a newer one merge without counting anything twice.
namespace MeterReadingJournal {

inline constexpr int Tariffs = 2;

struct Line
{
    char kind = 0;
    int tariff = 1;
    qint64 seq = 0;
    QList<QByteArray> fields; // after the kind, the sequence number and the time
    QDateTime at;
};

// The line with its checksum and end; nullopt when it is not a whole, undamaged line.
QByteArray seal(char kind, int tariff, qint64 seq, const QDateTime& at, const QList<QByteArray>& fields);
std::optional<Line> parse(QByteArrayView text);

// One file's lines as read.
struct FileLines
{
    std::vector<Line> good;
    std::vector<int> badLines; // line numbers, from 1
    int count = 0;
    int lastGoodLine = 0;
};
FileLines read(const QList<QByteArray>& lines);

// One register's reading that a journal's lines add up to, with what is needed to go on writing it.
struct Register
{
    explicit Register(int ofTariff = 1) : tariff(ofTariff) {}

    int tariff;
    MeterRegister reading;
    qint64 setSeq = 0;             // the line that set the reading
    qint64 countedSeq = 0;         // the latest revolution line of that setting
    std::vector<qint64> checkSeqs; // the line of each check in reading.checks
    int orphanLines = 0;           // revolution lines whose setting was lost: not counted

    QByteArray setLine() const;
    QByteArray revolutionLine() const;
    QByteArray checkLine(std::size_t index) const;
    // The lines that still matter: the setting, the latest revolution, the checks.
    QByteArray compacted() const;
    void addCheck(qint64 seq, const AccuracyCheck& check);
};

// Every register, and the sequence numbers they share.
struct State
{
    std::array<Register, Tariffs> registers{Register(1), Register(2)};
    qint64 lastSeq = 0; // the highest sequence number seen

    Register& of(int tariff) { return registers[std::size_t(tariff - 1)]; }
    const Register& of(int tariff) const { return registers[std::size_t(tariff - 1)]; }
    bool anySet() const;
    QByteArray compacted() const;
};

// Replays the lines of one or more files in the order of their sequence numbers; a line found in two files
// counts once.
State replay(std::vector<Line> lines);

} // namespace MeterReadingJournal
