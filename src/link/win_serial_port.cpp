// The Win32 communications backend of the serial port seam. See win_serial_port.h.
#include "link/win_serial_port.h"

// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <QMetaObject>
#include <QRegularExpression>

namespace calvento {

namespace {

// Reads back the output lines (ntddser.h, which MinGW does not ship).
constexpr DWORD kGetDtrRts =
    CTL_CODE(FILE_DEVICE_SERIAL_PORT, 30, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD kDtrState = 0x1;
constexpr DWORD kRtsState = 0x2;

// A pending read ends after this long, so that line errors are looked at often, and once the
// line has been quiet for kReadGapMs after a byte (at 4800 baud a byte takes about 2 ms).
constexpr DWORD kReadPollMs = 50;
constexpr DWORD kReadGapMs = 5;

// A read that timed out, which Windows completes with what it has and Wine fails with a timeout.
bool timedOut(DWORD code) {
    return code == ERROR_TIMEOUT || code == WAIT_TIMEOUT;
}

// The system's own words for an error code, without the trailing line break.
QString systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = n ? QString::fromWCharArray(text, static_cast<qsizetype>(n)).trimmed()
                        : QStringLiteral("system error %1").arg(code);
    if (text) LocalFree(text);
    return message;
}

void setError(QString* error, DWORD code) {
    if (error) *error = systemMessage(code);
}

// The answer of a line call on a closed port.
bool notOpen(QString* error) {
    if (error) *error = QStringLiteral("the port is not open");
    return false;
}

// The EscapeCommFunction code that raises or drops a line.
DWORD escapeFunction(ModemLine line, bool on) {
    return line == ModemLine::Rts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
}

// Waits for an overlapped call that went pending; true when it succeeded.
bool finish(HANDLE port, OVERLAPPED& ov, BOOL started, DWORD* transferred) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(port, &ov, transferred, TRUE) != 0;
}

}  // namespace

WinSerialPort::WinSerialPort(QObject* parent) : SerialPort(parent) {}

WinSerialPort::~WinSerialPort() {
    close();
}

QString WinSerialPort::SystemPath(const QString& device) {
    static const QRegularExpression com(QStringLiteral("^COM[0-9]+$"),
                                        QRegularExpression::CaseInsensitiveOption);
    return com.match(device).hasMatch() ? QStringLiteral("\\\\.\\") + device : device;
}

bool WinSerialPort::open(const QString& device, QString* error) {
    close();
    m_device = device;
    const std::wstring path = SystemPath(device).toStdWString();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        setError(error, code);
        // Windows lets one program at a time have a port, and says only "Access is denied".
        if (error && (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION))
            *error += QStringLiteral(" (is another program using the port?)");
        return false;
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        setError(error, GetLastError());
        CloseHandle(h);
        return false;
    }
    dcb.BaudRate = CBR_4800;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    // The lines take their levels with the settings themselves, so neither flickers: DTR high as
    // the classic port control left it (some cables draw power from it), RTS low, each at its
    // idle level when it keys the transmitter.
    dcb.fDtrControl = dtrAtOpen() ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rtsAtOpen() ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;  // zero bytes are dropped by takeReceived when asked
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb)) {
        setError(error, GetLastError());
        CloseHandle(h);
        return false;
    }
    // A read ends once the line has been quiet for a few milliseconds after a byte, or after
    // kReadPollMs in all. (The "return at the first byte" setting of the timeouts would suit too,
    // but Wine never ends such a read.) A write may take 10 ms a byte at most (the line needs
    // about 2), plus two seconds.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadGapMs;
    timeouts.ReadTotalTimeoutConstant = kReadPollMs;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 2000;
    SetCommTimeouts(h, &timeouts);
    SetupComm(h, 4096, 4096);
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    DWORD stale = 0;
    ClearCommError(h, &stale, nullptr);
    // And once more explicitly, whatever the driver made of the settings. A device without modem
    // lines refuses both, which is fine here.
    EscapeCommFunction(h, rtsAtOpen() ? SETRTS : CLRRTS);
    EscapeCommFunction(h, dtrAtOpen() ? SETDTR : CLRDTR);

    {
        const std::lock_guard lock(m_handleMutex);
        m_handle = h;
    }
    {
        const std::lock_guard lock(m_receivedMutex);
        m_received.clear();
    }
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_reader = std::thread([this] { readLoop(); });
    return true;
}

void WinSerialPort::close() {
    if (!m_handle) return;
    SetEvent(m_stopEvent);
    if (m_reader.joinable()) m_reader.join();
    CloseHandle(m_stopEvent);
    m_stopEvent = nullptr;
    HANDLE h = nullptr;
    {
        const std::lock_guard lock(m_handleMutex);
        h = m_handle;
        m_handle = nullptr;
    }
    CloseHandle(h);
}

void WinSerialPort::readLoop() {
    HANDLE h = m_handle;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[4096];
    bool failed = false;
    for (;;) {
        ResetEvent(ov.hEvent);
        DWORD got = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &got, &ov)) {
            const DWORD code = GetLastError();
            if (timedOut(code)) {
                got = 0;
            } else if (code != ERROR_IO_PENDING) {
                failed = true;
                break;
            } else {
                HANDLE waits[2] = {ov.hEvent, m_stopEvent};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    CancelIoEx(h, &ov);
                    GetOverlappedResult(h, &ov, &got, TRUE);
                    break;
                }
                if (!GetOverlappedResult(h, &ov, &got, FALSE)) {
                    if (!timedOut(GetLastError())) {
                        failed = true;
                        break;
                    }
                    got = 0;
                }
            }
        }
        if (got > 0) {
            {
                const std::lock_guard lock(m_receivedMutex);
                m_received.append(buffer, static_cast<qsizetype>(got));
            }
            if (!m_receivedPosted.exchange(true))
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_receivedPosted = false;
                        emit received();
                    },
                    Qt::QueuedConnection);
        }
        reportLineErrors();
        if (WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) break;
    }
    CloseHandle(ov.hEvent);
    if (failed) {
        // The device went away: nothing more will come from it. The port closes on its own
        // thread, which waits for this one to end.
        QMetaObject::invokeMethod(
            this,
            [this, h] {
                if (m_handle != h) return;  // closed (and maybe opened again) meanwhile
                close();
                emit lineError(CommEvent::Dcb);
            },
            Qt::QueuedConnection);
    }
}

std::vector<int> WinSerialPort::LineErrorEvents(unsigned long errors) {
    static constexpr struct {
        DWORD flag;
        int event;
    } kEvents[] = {{CE_BREAK, CommEvent::Break},       {CE_FRAME, CommEvent::Frame},
                   {CE_OVERRUN, CommEvent::Overrun},   {CE_RXOVER, CommEvent::RxOver},
                   {CE_RXPARITY, CommEvent::RxParity}, {CE_TXFULL, CommEvent::TxFull}};
    std::vector<int> events;
    for (const auto& e : kEvents)
        if (errors & e.flag) events.push_back(e.event);
    return events;
}

// The errors Windows recorded since the last look, each posted with its event code.
void WinSerialPort::reportLineErrors() {
    DWORD errors = 0;
    if (!ClearCommError(m_handle, &errors, nullptr) || errors == 0) return;
    for (const int code : LineErrorEvents(errors))
        QMetaObject::invokeMethod(
            this, [this, code] { emit lineError(code); }, Qt::QueuedConnection);
}

bool WinSerialPort::write(const QByteArray& bytes) {
    if (!m_handle) return false;
    if (bytes.isEmpty()) return true;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    const BOOL started =
        WriteFile(m_handle, bytes.constData(), static_cast<DWORD>(bytes.size()), &written, &ov);
    const bool ok = finish(m_handle, ov, started, &written) && written == DWORD(bytes.size());
    CloseHandle(ov.hEvent);
    return ok;
}

bool WinSerialPort::setLine(ModemLine line, bool on, QString* error) {
    if (!m_handle) return notOpen(error);
    if (EscapeCommFunction(m_handle, escapeFunction(line, on))) return true;
    setError(error, GetLastError());
    return false;
}

bool WinSerialPort::setRts(bool on, QString* error) {
    return setLine(ModemLine::Rts, on, error);
}

bool WinSerialPort::setDtr(bool on, QString* error) {
    return setLine(ModemLine::Dtr, on, error);
}

bool WinSerialPort::lineState(ModemLine line, bool* on, QString* error) {
    if (!m_handle) return notOpen(error);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD bits = 0, returned = 0;
    const BOOL started =
        DeviceIoControl(m_handle, kGetDtrRts, nullptr, 0, &bits, sizeof bits, &returned, &ov);
    const bool ok = finish(m_handle, ov, started, &returned);
    const DWORD code = GetLastError();
    CloseHandle(ov.hEvent);
    if (!ok) {
        setError(error, code);
        return false;
    }
    *on = (bits & (line == ModemLine::Rts ? kRtsState : kDtrState)) != 0;
    return true;
}

void WinSerialPort::setLineFromAnyThread(ModemLine line, bool on) {
    const std::lock_guard lock(m_handleMutex);
    if (!m_handle) return;
    EscapeCommFunction(m_handle, escapeFunction(line, on));
}

QByteArray WinSerialPort::takeReceived() {
    QByteArray bytes;
    {
        const std::lock_guard lock(m_receivedMutex);
        bytes.swap(m_received);
    }
    if (m_nullDiscard) bytes.replace(QByteArray(1, '\0'), QByteArray());
    return bytes;
}

}  // namespace calvento
