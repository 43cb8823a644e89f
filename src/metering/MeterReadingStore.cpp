// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MeterReadingStore.h"

#include "app/Clock.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "metering/Tariffs.h"

#include <QDir>
#include <cmath>

namespace {
const QString FileName = QStringLiteral("METERREADING.DTA");

QString kWhText(const QLocale& locale, double kWh)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(kWh, 'f', 3);
}
} // namespace

MeterReadingStore::MeterReadingStore(MeteringContext& ctx, qint64 compactBytes, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_compactBytes(compactBytes)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &MeterReadingStore::tick);
    m_ctx.pulseObservers.push_back(this);
}

MeterReadingStore::~MeterReadingStore()
{
    std::erase(m_ctx.pulseObservers, this);
    if (m_unsynced)
        commit();
}

QString MeterReadingStore::path(const char* extension) const
{
    return QDir::toNativeSeparators(
        QDir(m_ctx.paths.folder).absoluteFilePath(QStringLiteral("METERREADING.") + QLatin1String(extension)));
}

MeterSource MeterReadingStore::sourceForNewReading() const
{
    const GlobalSettings& s = m_ctx.settings;
    if (!m_cameraSource.isNone() || !s.REMEMBER_CAMERA)
        return m_cameraSource;
    return MeterSource::ofDevice(s.CAMERA_DEVICE, s.CAMERA_VIDEO_FILE);
}

QList<QByteArray> MeterReadingStore::readLines(const QString& from, bool& readable)
{
    QList<QByteArray> lines;
    auto file = m_ctx.services.files.open(from, FileIo::Mode::Read);
    readable = file != nullptr;
    QByteArray line;
    while (file && file->readLine(line))
        lines << line;
    if (file && !file->atEnd())
        readable = false;
    return lines;
}

QString MeterReadingStore::load()
{
    using namespace MeterReadingJournal;
    FileIo& files = m_ctx.services.files;
    m_path = path("DTA");
    m_journal.reset();
    const bool present = files.exists(m_path);
    bool readable = true;
    const FileLines current = present ? read(readLines(m_path, readable)) : FileLines{};
    const bool damaged = present && (!readable || current.count == 0 || !current.badLines.empty());

    std::vector<Line> lines = current.good;
    if ((damaged || !present) && files.exists(path("BAK"))) {
        bool unused = true;
        const FileLines previous = read(readLines(path("BAK"), unused));
        lines.insert(lines.end(), previous.good.begin(), previous.good.end());
    }
    m_state = replay(std::move(lines));
    // Missing while a reading was kept: a rewrite was cut off, and the previous file holds it.
    m_fileWhole = present ? !damaged && files.tail(m_path, 1) == "\n" : !m_state.anySet();
    m_fileBytes = present && m_fileWhole ? files.size(m_path) : 0;

    QString message;
    if (damaged) {
        // Put aside, so the next rewrite neither appends to it nor makes it the previous file.
        files.remove(path("BAD"));
        const bool putAside = files.rename(m_path, path("BAD"));
        message = describeDamage(current, readable) + CrLf +
                  (putAside ? QStringLiteral("The damaged file is kept as METERREADING.BAD.")
                            : QStringLiteral("The damaged file could not be put aside and is replaced at the next "
                                             "write."));
    }
    if (!m_fileWhole && m_state.anySet() && compact()) {
        m_lastCommitDone = true;
        m_lastCommit = m_ctx.services.clock.timer();
    }
    emit changed();
    return message;
}

QString MeterReadingStore::describeDamage(const MeterReadingJournal::FileLines& file, bool readable) const
{
    QString what;
    if (!readable)
        what = QStringLiteral("could not be read");
    else if (file.count == 0)
        what = QStringLiteral("is empty");
    else if (file.good.empty())
        what = QStringLiteral("holds nothing Wattsight can read");
    else if (file.badLines.size() == 1 && file.badLines.front() == file.count)
        what = QStringLiteral("ends in a line that was cut short (by a power cut or a full disk)");
    else {
        QStringList numbers;
        for (std::size_t i = 0; i < file.badLines.size() && i < 5; ++i)
            numbers << QString::number(file.badLines[i]);
        if (file.badLines.size() > 5)
            numbers << QStringLiteral("...");
        what = QStringLiteral("has %1 damaged line(s) of %2 (line %3)")
                   .arg(file.badLines.size())
                   .arg(file.count)
                   .arg(numbers.join(QStringLiteral(", ")));
    }
    QString text = FileName + QStringLiteral(" ") + what + QStringLiteral(".") + CrLf;
    QStringList kept;
    int orphanLines = 0;
    bool anyKept = false;
    for (int tariff = 1; tariff <= registerCount(); ++tariff) {
        const MeterReadingJournal::Register& r = m_state.of(tariff);
        const QString name = registerCount() > 1 ? TariffName(m_ctx.settings, tariff) + QLatin1Char(' ') : QString();
        kept << (r.reading.set ? name + QStringLiteral("%1 kWh, as counted at %2")
                                            .arg(kWhText(m_ctx.locale, r.reading.kWh()),
                                                 m_ctx.locale.toString(r.reading.countedAt, QLocale::ShortFormat))
                               : name + QStringLiteral("not set"));
        orphanLines += r.orphanLines;
        anyKept = anyKept || r.reading.set;
    }
    if (!anyKept)
        return text + QStringLiteral("No reading could be recovered, so the meter reading is not set: set it again "
                                     "in Setup, Meter Reading.");
    text +=
        QStringLiteral("The meter reading goes on from the last good state kept: ") + kept.join(QStringLiteral("; "));
    if (file.good.empty())
        text += QStringLiteral(" (from METERREADING.BAK)");
    const int linesAfter = file.count - file.lastGoodLine;
    if (linesAfter > 0)
        text += QStringLiteral(". What its last %1 line(s) held is missing: at most that many revolutions, "
                               "or a setting or a check.")
                    .arg(linesAfter);
    else
        text += QStringLiteral(". The lines after the damage hold the whole reading, so nothing is missing.");
    if (orphanLines > 0)
        text += CrLf + QStringLiteral("A later setting of the reading was lost with the damage: the reading is the "
                                      "one set before it, and the revolutions counted for the lost one are not in it.");
    return text;
}

QString MeterReadingStore::refusal(double kWh)
{
    if (!std::isfinite(kWh) || kWh < 0 || kWh > MaxKWh)
        return QStringLiteral("The meter reading must be a number of kWh from 0 to %1").arg(MaxKWh, 0, 'f', 0);
    return {};
}

int MeterReadingStore::registerCount() const
{
    return m_ctx.settings.TARIFF_COUNT > 1 ? MeterReadingJournal::Tariffs : 1;
}

std::optional<ReadingTotal> MeterReadingStore::total() const
{
    ReadingTotal sum;
    for (int tariff = 1; tariff <= registerCount(); ++tariff) {
        const MeterRegister& r = reading(tariff);
        if (!r.isSet())
            return std::nullopt;
        sum.kWh += r.kWh();
        sum.cost += r.cost();
        sum.importedKWh += r.importedKWh();
        sum.exportedKWh += r.exportedKWh();
    }
    return sum;
}

QString MeterReadingStore::setReading(double kWh, const MeterSource& source, int tariff)
{
    if (const QString refused = refusal(kWh); !refused.isEmpty())
        return refused;
    if (source.isNone())
        return QStringLiteral("No camera is running or remembered, so the reading would follow nothing. Start the "
                              "camera that watches your meter, then set the reading.");
    MeterReadingJournal::Register& r = m_state.of(tariff);
    r.reading.setReading(kWh, source, WholeSecondsNow(m_ctx), r.reading.set ? r.reading.cost() : 0.0);
    r.setSeq = ++m_state.lastSeq;
    r.countedSeq = 0;
    write(r.setLine());
    emit changed();
    return {};
}

QString MeterReadingStore::checkAccuracy(double meterKWh, int tariff)
{
    MeterReadingJournal::Register& journal = m_state.of(tariff);
    const MeterRegister& r = journal.reading;
    if (!r.set)
        return QStringLiteral("The meter reading is not set: set it first, then check it some days later.");
    if (!std::isfinite(meterKWh) || meterKWh <= r.setKWh)
        return QStringLiteral("The meter showed %1 kWh when the reading was set: enter what it shows now, which is "
                              "more.")
            .arg(kWhText(m_ctx.locale, r.setKWh));
    journal.addCheck(++m_state.lastSeq, r.check(meterKWh, WholeSecondsNow(m_ctx)));
    write(journal.checkLine(r.checks.size() - 1));
    emit changed();
    return {};
}

void MeterReadingStore::revolutionCounted(const MeteringContext& ctx, const MeterSource& source)
{
    // The register of the tariff in force when the revolution was counted, at that moment's meter constant and
    // price: a run's working values follow the settings only at its minute, and without a run not at all.
    const MeterValues& counted = ctx.pulse.counted;
    MeterReadingJournal::Register& journal = m_state.of(registerCount() > 1 ? counted.tariff : 1);
    MeterRegister& r = journal.reading;
    if (!r.set || source != r.source)
        return;
    r.countRevolution(counted.revsPerKWh, counted.costPerKWh, WholeSecondsNow(m_ctx), ctx.pulse.lastTurn,
                      ctx.settings.COUNT_DIRECTION);
    journal.countedSeq = ++m_state.lastSeq;
    write(journal.revolutionLine());
    emit changed();
}

void MeterReadingStore::write(const QByteArray& line)
{
    m_unsynced = true;
    // A file that is not whole is rewritten from the state at the next commit; until then nothing is appended
    // to it, since a line after a torn one would be torn too.
    if (m_fileWhole) {
        if (!m_journal)
            m_journal = m_ctx.services.files.open(m_path, FileIo::Mode::Append, FileIo::Commit::Journal);
        if (m_journal && m_journal->write(line)) {
            m_fileBytes += line.size();
            m_failing = false;
        } else {
            m_journal.reset();
            m_fileWhole = false;
            report(QStringLiteral("Couldn't write data to file"));
        }
    }
    commitWhenDue();
}

void MeterReadingStore::commitWhenDue()
{
    if (!m_unsynced)
        return;
    const double now = m_ctx.services.clock.timer();
    const double since = m_lastCommitDone ? SecondsBetween(now, m_lastCommit) : SyncSeconds;
    if (since < SyncSeconds) {
        if (!m_timer.isActive())
            m_timer.start(int(std::ceil((SyncSeconds - since) * 1000.0)));
        return;
    }
    m_lastCommitDone = true;
    m_lastCommit = now;
    m_unsynced = !commit();
    if (m_unsynced)
        m_timer.start(int(SyncSeconds * 1000.0));
}

bool MeterReadingStore::commit()
{
    if (!m_fileWhole || m_fileBytes > m_compactBytes)
        return compact();
    if (m_journal && m_journal->sync())
        return true;
    m_journal.reset();
    m_fileWhole = false;
    report(QStringLiteral("Couldn't write data to file"));
    return false;
}

bool MeterReadingStore::compact()
{
    FileIo& files = m_ctx.services.files;
    m_journal.reset();
    if (m_fileWhole && files.exists(m_path)) {
        files.remove(path("BAK"));
        files.rename(m_path, path("BAK"));
    }
    const QByteArray content = m_state.compacted();
    auto file = files.open(m_path, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!file || !file->write(content) || !file->close()) {
        m_fileWhole = false;
        report(file ? QStringLiteral("Couldn't write data to file")
                    : QStringLiteral("Couldn't open the file for writing"));
        return false;
    }
    m_fileWhole = true;
    m_fileBytes = content.size();
    m_failing = false;
    return true;
}

void MeterReadingStore::report(const QString& problem)
{
    if (m_failing)
        return;
    m_failing = true;
    m_messages.post(QStringLiteral("Problem keeping the meter reading in %1: %2").arg(FileName, problem) + CrLf +
                    QStringLiteral("The reading goes on here and is written again as soon as the disk takes it."));
    m_timer.start(0); // its tick shows it, and takes up the waiting commit again
}

void MeterReadingStore::tick()
{
    commitWhenDue();
    m_messages.showAll(m_ctx.services.dialogs);
}
