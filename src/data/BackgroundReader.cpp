#include "BackgroundReader.h"

#include "DbError.h"
#include "odbc/OdbcConnection.h"

#include <utility>

namespace pistel {

BackgroundReader::BackgroundReader(QObject* parent)
    : QObject(parent), connection_(std::make_unique<odbc::Connection>()) {}

BackgroundReader::~BackgroundReader() {
    if (thread_)
        thread_->wait();
}

bool BackgroundReader::read(const QString& connectionString, int timeoutSeconds, Work work,
                            Done done) {
    if (thread_)
        return false;
    done_ = std::move(done);
    thread_.reset(QThread::create([this, connectionString, timeoutSeconds, work = std::move(work)] {
        error_.clear();
        lost_ = false;
        try {
            if (!connection_->isOpen() || connection_->lastConnectionString() != connectionString) {
                connection_->close();
                connection_->timeoutSeconds = timeoutSeconds;
                connection_->open(connectionString);
            }
            work(*connection_);
        } catch (const DbError& e) {
            error_ = e.message();
            lost_ = e.connectionLost();
            connection_->close(); // opened afresh by the next read
        } catch (const std::exception& e) {
            error_ = QString::fromUtf8(e.what());
            connection_->close();
        }
    }));
    connect(thread_.get(), &QThread::finished, this, &BackgroundReader::finished,
            Qt::QueuedConnection);
    thread_->start();
    return true;
}

void BackgroundReader::finished() {
    thread_->wait();
    thread_.reset();
    // Taken first: `done` may start the next read.
    const Done done = std::exchange(done_, {});
    if (done)
        done(error_, lost_);
    if (const auto again = std::exchange(again_, {}))
        again();
}

} // namespace pistel
