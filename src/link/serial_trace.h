// A record of a board exchange, byte by byte, for reading when a run fails in the field.
//
// Every burst sent or received goes on a line of its own with the time since the trace began,
// in seconds with milliseconds, and its direction: "12.345 > FF CC" for bytes sent,
// "12.412 < FF AA 44 54 ..." for bytes received. Bytes that follow one another in the same
// direction within a few milliseconds are one burst (the flush's 256 single writes, a reply
// that arrives in pieces). Waits that end without their reply get a line marked "!". The
// trace is written as it goes, so that a program that is killed still leaves what it saw.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

namespace calvento {

class Clock;

class SerialTrace {
public:
    explicit SerialTrace(Clock& clock);
    ~SerialTrace();

    // Starts a trace in `path`, replacing what was there; false with the reason.
    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    void sent(const QByteArray& bytes) { add('>', bytes); }
    void received(const QByteArray& bytes) { add('<', bytes); }
    // A line of its own, marked "!": a wait that ended without its reply, say.
    void note(const QString& text);

    // Writes out the burst under way and ends the trace.
    void close();

    // Why a line of the trace could not be written (a full disk, a removed drive), empty while
    // every line went out; kept after close() until the next open().
    QString error() const { return m_error; }

private:
    void add(char direction, const QByteArray& bytes);
    void endBurst();
    void writeLine(const QByteArray& line);
    QString stamp(uint32_t tick) const;

    Clock& m_clock;
    QFile m_file;
    uint32_t m_start = 0;
    char m_direction = 0;  // of the burst under way, 0 when none
    uint32_t m_burstStart = 0;
    uint32_t m_lastByte = 0;
    QByteArray m_burst;
    QString m_error;
};

}  // namespace calvento
