#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace pistel {

class TDM1;

// Brings the data module's connection back by itself after it was lost (a server restart,
// a stalled network). While it is down, callers skip the database instead of waiting for the
// time-out on every statement. Whether the server answers again is probed on a worker
// thread with a connection of its own, so the window thread never waits for a server that
// is away; only when a probe succeeds is the module's connection opened again, on the
// window thread, with the session settings restored.
class ConnectionKeeper : public QObject {
    Q_OBJECT
public:
    explicit ConnectionKeeper(TDM1& dm, QObject* parent = nullptr);
    ~ConnectionKeeper() override;

    // The connection was found lost: probing starts, with back-off between attempts.
    void connectionLost();
    bool isDown() const { return down_; }
    QDateTime downSince() const { return downSince_; }

    // Runs after the connection is back and its session settings are restored (write what
    // waited, re-read the lists). An error in it counts as the connection lost again.
    std::function<void()> afterReconnect;

    int firstRetryMs = 500; // back-off: doubled after each failed attempt...
    int maxRetryMs = 1000;  // ...up to this: a server that answers again is noticed within 2 s

signals:
    void stateChanged();

private:
    void probe();
    void probeFinished();

    TDM1& dm_;
    bool down_ = false;
    QDateTime downSince_;
    int nextRetryMs_ = 0;
    QTimer retry_;
    std::unique_ptr<QThread> probeThread_;
    std::atomic<bool> probeOk_{false};
};

} // namespace pistel
