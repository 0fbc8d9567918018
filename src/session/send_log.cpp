// The send log. See send_log.h.
#include "session/send_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/program_folder.h"

namespace calvento {

namespace {

QString field(QString text) {
    // Every record stays on one line of the file: a reason's line breaks become spaces.
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString number(double ms) {
    return QString::number(ms, 'g', 10);
}

// The fields of one line, split as RFC 4180 says (a quoted field may hold commas and doubled
// quotes).
QStringList splitLine(const QString& line) {
    QStringList fields;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                current += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

}  // namespace

QString SendOutcomeText(const SendReport& report, int signal, bool byUser) {
    const KeyedSendResult& sent = report.sent;
    if (signal && report.outcome != SendOutcome::NotReleased)
        return QStringLiteral("stopped by signal %1").arg(signal);
    switch (report.outcome) {
        case SendOutcome::Completed:
            return QStringLiteral("completed");
        case SendOutcome::KeyingFailed:
            return QStringLiteral("keying failed: ") + sent.keyingError;
        case SendOutcome::NotReleased:
            return QStringLiteral("transmitter may still be keyed: ") + sent.releaseError;
        case SendOutcome::Failed:
            return QStringLiteral("failed: ") + sent.play.failure;
        case SendOutcome::StoppedByGuard:
            return QStringLiteral("stopped by the keyed-time guard");
        case SendOutcome::Stopped:
            return byUser ? QStringLiteral("stopped by the user") : QStringLiteral("stopped");
    }
    return QString();
}

SendLogEntry SendLogEntryOf(const SendReport& report, int signal, bool byUser) {
    SendLogEntry e;
    e.when = QDateTime::currentDateTime();
    e.settings = report.used;
    e.outcome = SendOutcomeText(report, signal, byUser);
    e.effectiveTimeMs = report.sent.play.played ? report.sent.play.effectiveTimeMs : -1;
    return e;
}

QString SendLog::DefaultPath() {
    return QDir::toNativeSeparators(ProgramFile(QStringLiteral("logs")) + QDir::separator() +
                                    QStringLiteral("sends.csv"));
}

QStringList SendLog::columns() {
    return {QStringLiteral("utc_time"), QStringLiteral("local_time"),
            QStringLiteral("site"),     QStringLiteral("source"),
            QStringLiteral("command"),  QStringLiteral("sequence"),
            QStringLiteral("digit_ms"), QStringLiteral("gap_ms"),
            QStringLiteral("pause_ms"), QStringLiteral("tx_delay_ms"),
            QStringLiteral("ptt"),      QStringLiteral("sound_device"),
            QStringLiteral("outcome"),  QStringLiteral("effective_time_ms"),
            QStringLiteral("reply")};
}

QByteArray SendLog::formatLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields) {
        if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) ||
            f.contains(QLatin1Char('\r')) || f.contains(QLatin1Char('\n')))
            quoted << QLatin1Char('"') +
                          QString(f).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
                          QLatin1Char('"');
        else
            quoted << f;
    }
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

// A log of another year, or one grown past kRotateBytes, moves aside under the year it was
// last written in.
bool SendLog::rotateIfDue(const QDateTime& now, QString* error) const {
    const QFileInfo info(m_path);
    if (!info.exists()) return true;
    const int year = info.lastModified().date().year();
    if (info.size() < kRotateBytes && year == now.date().year()) return true;
    const QString stem = info.dir().filePath(QStringLiteral("sends-%1").arg(year));
    QString target = stem + QStringLiteral(".csv");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QStringLiteral("-%1.csv").arg(n);
    if (QFile::rename(m_path, target)) return true;
    if (error) *error = QStringLiteral("%1 could not be moved to %2").arg(m_path, target);
    return false;
}

bool SendLog::append(const SendLogEntry& e, QString* error) const {
    QString why;
    if (!MakeFolder(QFileInfo(m_path).absolutePath(), &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(QFileInfo(m_path).absolutePath(), why);
        return false;
    }
    if (!rotateIfDue(e.when, error)) return false;
    const QDateTime utc = e.when.toUTC();
    const QByteArray line = formatLine(
        {utc.toString(Qt::ISODate), e.when.toLocalTime().toString(Qt::ISODate), field(e.site),
         field(e.source), field(e.commandName), field(e.sequence), number(e.settings.digitMs),
         number(e.settings.gapMs), number(e.settings.pauseMs), number(e.settings.txDelayMs),
         e.pttMethod.isEmpty() ? QStringLiteral("none") : field(e.pttMethod), field(e.soundDevice),
         field(e.outcome), e.effectiveTimeMs < 0 ? QString() : QString::number(e.effectiveTimeMs),
         field(e.reply)});
    QFile file(m_path);
    // Append mode and one write a line: the system puts each line whole at the end, whoever
    // else appends at the same time.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error) *error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.size() == 0 ? formatLine(columns()) + line : line;
    if (file.write(bytes) != bytes.size()) {
        if (error) *error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

bool SendLog::read(const QString& path, std::vector<QStringList>* records, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    bool header = true;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty()) continue;
        if (header) {
            header = false;
            continue;
        }
        records->push_back(splitLine(line));
    }
    return true;
}

}  // namespace calvento
