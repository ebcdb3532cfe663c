#pragma once

#include "BackgroundReader.h"

#include <deque>
#include <functional>

namespace pistel {

namespace odbc {
class Connection;
}

// Works (writes, or reads that belong with them) run one after another through a reader,
// each after the read or work under way, in the order asked: nothing asked is dropped while
// another runs, and the window thread never waits for any of them.
class BackgroundQueue {
public:
    explicit BackgroundQueue(BackgroundReader& reader) : reader_(reader) {}

    // Queues `work` through the data source `like` was last opened with; `done` runs on this
    // thread once it is over (see BackgroundReader).
    void run(const odbc::Connection& like, BackgroundReader::Work work,
             BackgroundReader::Done done);
    // Works are queued or running.
    bool busy() const { return !items_.empty(); }
    // Runs once the last queued work is done.
    std::function<void()> drained;

private:
    struct Item {
        const odbc::Connection* like;
        BackgroundReader::Work work;
        BackgroundReader::Done done;
    };
    void next();

    BackgroundReader& reader_;
    std::deque<Item> items_;
    bool finishing_ = false; // a work's `done` is running
};

} // namespace pistel
