#pragma once

#include "capture/OutsideChanges.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

namespace pistel {

namespace odbc {
class Connection;
}

// Looks, off the window thread, for changes other programs made to the competition: each look
// reads the competition's digest on a thread and a connection of its own and reports back as
// a signal. A server that stops answering is found by a look, so the window learns it is
// away without waiting for it.
class ChangeWatch : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatch(QObject* parent = nullptr);
    ~ChangeWatch() override; // waits for a look under way (at most its time-out)

    // Starts one look at competition `code` through `connectionString`, giving up after
    // `timeoutSeconds`; nothing when a look is under way.
    void look(const QString& connectionString, int timeoutSeconds, const QString& code);
    bool looking() const { return thread_ != nullptr; }
    // The next look takes what it finds as the starting point (after our own re-reads).
    void forget() { forget_ = true; }

signals:
    // A look read the digest; `changed` follows when it differed from the last.
    void answered();
    void changed();
    // The look failed; `lost`: the server did not answer or the connection is gone.
    void failed(const QString& message, bool lost);

private:
    void finished();

    std::unique_ptr<QThread> thread_;
    std::unique_ptr<odbc::Connection> connection_; // used by one look at a time
    OutsideChanges digest_;                        // likewise
    std::atomic<bool> forget_{false};
    // The last look's outcome, read once its thread has finished.
    bool changed_ = false;
    QString error_;
    bool lost_ = false;
};

} // namespace pistel
