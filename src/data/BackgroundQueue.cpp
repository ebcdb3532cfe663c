#include "BackgroundQueue.h"

#include <utility>

namespace pistel {

void BackgroundQueue::run(const odbc::Connection& like, BackgroundReader::Work work,
                          BackgroundReader::Done done) {
    items_.push_back({&like, std::move(work), std::move(done)});
    if (items_.size() == 1 && !finishing_) // else the work that is finishing starts it
        next();
}

void BackgroundQueue::next() {
    if (reader_.busy()) { // after the read or work under way
        reader_.readAgainAfter([this] { next(); });
        return;
    }
    if (items_.empty()) {
        if (drained)
            drained();
        return;
    }
    reader_.read(*items_.front().like, items_.front().work,
                 [this](const QString& error, bool lost) {
                     const BackgroundReader::Done done = std::move(items_.front().done);
                     items_.pop_front();
                     finishing_ = true;
                     if (done)
                         done(error, lost);
                     finishing_ = false;
                     next();
                 });
}

} // namespace pistel
