#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

namespace pistel::test {

// Runs the event loop until `done` or `ms` have passed; returns whether it happened.
inline bool waitFor(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace pistel::test
