// The send log: one line for every send, from the window, the console or the tool, so that the
// operator knows what went out, when, to which site, and how it ended.
//
// The log is logs/sends.csv in the program folder: a header row, then one record a line in the
// comma-separated form of RFC 4180 (fields quoted when they hold a comma, a quote or a line
// break, quotes doubled; CR LF line ends), UTF-8. A line is appended whole with one write when
// the send has ended, so that a program killed afterwards has lost no finished line and one killed
// during the write leaves a file that still parses; two programs appending at once never mix
// their lines. The file is started afresh each year and past 10 MB, the old one kept beside it
// as sends-YEAR.csv (sends-YEAR-2.csv, ...). A log that cannot be written never stops a send:
// the caller says that the log failed.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

#include "session/send_job.h"

namespace calvento {

struct SendLogEntry {
    QDateTime when;       // when the send ended
    QString site;         // "Default" for the classic settings
    QString source;       // "window", "console" or "tool"
    QString commandName;  // empty for a typed sequence
    QString sequence;
    SendSettings settings;     // as used, after the send rules
    QString pttMethod;         // "RTS of /dev/ttyUSB0", "Hamlib rig 2 on ..."; empty: none
    QString soundDevice;       // empty for the system's default
    QString outcome;           // SendOutcomeText()
    int effectiveTimeMs = -1;  // -1 when the sequence did not play whole
    QString reply;             // what was heard back; empty until something listens
};

// How a send ended, for the log: "completed", "failed: <reason>", "keying failed: <reason>",
// "transmitter may still be keyed: <reason>", "stopped by the keyed-time guard", "stopped".
// A send stopped by a signal is "stopped by signal N", one the user stopped (the console's Stop)
// "stopped by the user".
QString SendOutcomeText(const SendReport& report, int signal = 0, bool byUser = false);

// The entry of a send that has just ended: when, the settings it used, its outcome (`signal` when
// one stopped it) and its effective time. The caller adds where it came from and what it sent.
SendLogEntry SendLogEntryOf(const SendReport& report, int signal = 0, bool byUser = false);

class SendLog {
public:
    static constexpr qint64 kRotateBytes = 10 * 1024 * 1024;

    explicit SendLog(QString path) : m_path(std::move(path)) {}
    // logs/sends.csv in the program folder.
    static QString DefaultPath();
    QString path() const { return m_path; }

    // Appends the entry as one line (the folder and the header made when missing); false with
    // the system's reason.
    bool append(const SendLogEntry& entry, QString* error) const;

    // The header's column names, in order.
    static QStringList columns();
    // The records of a log, header excluded, each as its fields; false with the reason when it
    // cannot be read.
    static bool read(const QString& path, std::vector<QStringList>* records, QString* error);

    // One record as a line of the file, CR LF included.
    static QByteArray formatLine(const QStringList& fields);

private:
    bool rotateIfDue(const QDateTime& now, QString* error) const;
    QString m_path;
};

}  // namespace calvento
