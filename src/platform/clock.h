// The time seam: a millisecond tick counter, a blocking sleep and one turn of the event loop.
//
// The player and the board exchanges wait in two ways: short fixed pauses block the thread, and
// longer waits run event-loop turns until their condition holds so that the window stays alive.
// Both go through this interface so that tests can count the turns, advance a fake counter and
// skip the sleeps instead of waiting for real.
#pragma once

#include <cstdint>

namespace calvento {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since some fixed moment; wraps around after 2^32, like the classic counter.
    virtual uint32_t tickCount() = 0;

    // Blocks the thread for `ms` milliseconds without handling any event.
    virtual void sleepMs(int ms) = 0;

    // Handles every pending window, timer and device event, then returns.
    virtual void processEvents() = 0;
};

// The real clock of the running program.
Clock& SystemClock();

}  // namespace calvento
