// An independent reader for the send log: Python's csv module, run by the system's own Python
// (Debian's, not a version manager's shim, which may wait on a lock of its own when several
// tests start it at once).
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>

namespace calvento::test {

// Runs `script` with the log's path as sys.argv[1]; what it printed.
inline QString RunPythonOnCsv(const QString& script, const QString& path) {
    QProcess python;
    python.start(QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3")
                                                   : QStringLiteral("python3"),
                 {"-c", "import csv,sys\n" + script, path});
    if (!python.waitForFinished(60000)) return QStringLiteral("<python3 did not finish>");
    return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError());
}

}  // namespace calvento::test
