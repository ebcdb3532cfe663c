#include "ChangeWatch.h"

#include "data/DbError.h"
#include "data/odbc/OdbcConnection.h"

namespace pistel {

ChangeWatch::ChangeWatch(QObject* parent)
    : QObject(parent), connection_(std::make_unique<odbc::Connection>()) {}

ChangeWatch::~ChangeWatch() {
    if (thread_)
        thread_->wait();
}

void ChangeWatch::look(const QString& connectionString, int timeoutSeconds, const QString& code) {
    if (thread_)
        return;
    thread_.reset(QThread::create([this, connectionString, timeoutSeconds, code] {
        changed_ = false;
        error_.clear();
        lost_ = false;
        if (forget_.exchange(false))
            digest_.forget();
        try {
            if (!connection_->isOpen() || connection_->lastConnectionString() != connectionString) {
                connection_->close();
                connection_->timeoutSeconds = timeoutSeconds;
                connection_->open(connectionString);
            }
            changed_ = digest_.changedSinceLastLook(*connection_, code);
        } catch (const DbError& e) {
            error_ = e.message();
            lost_ = e.connectionLost();
            connection_->close(); // opened afresh by the next look
            digest_.forget();
        }
    }));
    connect(thread_.get(), &QThread::finished, this, &ChangeWatch::finished, Qt::QueuedConnection);
    thread_->start();
}

void ChangeWatch::finished() {
    thread_->wait();
    thread_.reset();
    if (!error_.isEmpty()) {
        emit failed(error_, lost_);
        return;
    }
    emit answered();
    if (changed_)
        emit changed();
}

} // namespace pistel
