// Termination signals through the event loop. See termination_signals.h.
#include "platform/termination_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#else
#include <windows.h>
#include <QMetaObject>

#include <chrono>
#include <thread>
#endif

namespace calvento {

#ifdef Q_OS_UNIX

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Nothing else is safe in a signal handler; a full pipe only loses a repeated signal.
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}

}  // namespace

void HandleTerminationSignals(std::function<void(int signal)> handler) {
    if (g_pipe[0] >= 0 || pipe(g_pipe) != 0) return;
    for (int fd : g_pipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto* notifier =
        new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [handler = std::move(handler)] {
                         unsigned char byte = 0;
                         while (read(g_pipe[0], &byte, 1) == 1) handler(byte);
                     });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

#else

namespace {

std::function<void(int)> g_handler;

// Runs on a thread the system starts for the event. Ctrl+C and Ctrl+Break are handled once
// passed on; for a closed console, a logoff or a shutdown the system ends the process as soon as
// this returns, so it gives the event loop a few seconds to close properly first.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    const int signal = interrupt ? SIGINT : SIGTERM;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [signal] { g_handler(signal); }, Qt::QueuedConnection);
    if (!interrupt) std::this_thread::sleep_for(std::chrono::seconds(4));
    return TRUE;
}

}  // namespace

void HandleTerminationSignals(std::function<void(int signal)> handler) {
    if (g_handler) return;
    g_handler = std::move(handler);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#endif

}  // namespace calvento
