// The real clock: a monotonic millisecond counter, QThread's sleep and Qt's event loop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "platform/clock.h"

namespace calvento {

namespace {

class QtClock final : public Clock {
public:
    QtClock() { m_timer.start(); }

    uint32_t tickCount() override { return static_cast<uint32_t>(m_timer.elapsed()); }

    void sleepMs(int ms) override {
        if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
    }

    void processEvents() override {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // Waits call this in a loop until something changes. Yielding a fraction of a millisecond
        // keeps such a loop from taking a whole core from the sound server on a small machine.
        QThread::usleep(300);
    }

private:
    QElapsedTimer m_timer;
};

}  // namespace

Clock& SystemClock() {
    static QtClock clock;
    return clock;
}

}  // namespace calvento
