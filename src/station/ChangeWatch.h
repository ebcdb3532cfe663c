#pragma once

#include "capture/OutsideChanges.h"
#include "data/BackgroundReader.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

namespace pistel {

// Looks, off the window thread, for changes other programs made to the competition: each look
// reads the competition's digest on a thread and a connection of its own and reports back as
// a signal. A server that stops answering is found by a look, so the window learns it is
// away without waiting for it.
class ChangeWatch : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatch(QObject* parent = nullptr) : QObject(parent) {}

    // Starts one look at competition `code` through the data source `like` was opened with,
    // giving up after its time-out; nothing when a look is under way.
    void look(const odbc::Connection& like, const QString& code);
    bool looking() const { return reader_.busy(); }
    // The next look takes what it finds as the starting point (after our own re-reads).
    void forget() { state_->forget = true; }

signals:
    // A look read the digest; `changed` follows, with what changed, when it differed from
    // the last.
    void answered();
    void changed(const pistel::OutsideChange& change);
    // The look failed; `lost`: the server did not answer or the connection is gone.
    void failed(const QString& message, bool lost);

private:
    // Shared with a look under way, which may outlive the watch.
    struct State {
        OutsideChanges digest; // read and written by one look at a time
        std::atomic<bool> forget{false};
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    BackgroundReader reader_;
};

} // namespace pistel
