#include "ConnectionKeeper.h"

#include "DbError.h"
#include "TDM1.h"

#include <QThread>

namespace pistel {

ConnectionKeeper::ConnectionKeeper(TDM1& dm, QObject* parent) : QObject(parent), dm_(dm) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &ConnectionKeeper::probe);
}

ConnectionKeeper::~ConnectionKeeper() {
    if (probeThread_)
        probeThread_->wait(); // a probe ends within the connection time-out
}

void ConnectionKeeper::connectionLost() {
    if (!down_) {
        down_ = true;
        downSince_ = QDateTime::currentDateTime();
        nextRetryMs_ = firstRetryMs;
        emit stateChanged();
    }
    dm_.Db1.close();
    if (!retry_.isActive() && !probeThread_)
        retry_.start(nextRetryMs_);
}

void ConnectionKeeper::probe() {
    const QString where = dm_.Db1.lastConnectionString();
    const int timeout = dm_.Db1.timeoutSeconds;
    probeOk_ = false;
    probeThread_.reset(QThread::create([this, where, timeout] {
        odbc::Connection trial;
        trial.timeoutSeconds = timeout;
        try {
            trial.open(where);
            probeOk_ = true;
        } catch (const DbError&) {
            // Still away: the keeper tries again after the back-off.
        }
    }));
    connect(probeThread_.get(), &QThread::finished, this, &ConnectionKeeper::probeFinished,
            Qt::QueuedConnection);
    probeThread_->start();
}

void ConnectionKeeper::probeFinished() {
    probeThread_->wait();
    probeThread_.reset();
    if (probeOk_) {
        try {
            dm_.Db1.reopen();
            dm_.useSjisNames();
            down_ = false;
            if (afterReconnect)
                afterReconnect();
            emit stateChanged();
            return;
        } catch (const DbError&) {
            // Lost again between the probe and now: go on probing.
            down_ = true;
            dm_.Db1.close();
        }
    }
    nextRetryMs_ = std::min(nextRetryMs_ * 2, maxRetryMs);
    retry_.start(nextRetryMs_);
}

} // namespace pistel
