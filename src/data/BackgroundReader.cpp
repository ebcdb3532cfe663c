#include "BackgroundReader.h"

#include "DbError.h"
#include "odbc/OdbcConnection.h"

#include <QList>
#include <utility>

namespace pistel {

// What a read's thread uses. Shared with the thread, so that a reader closed during a read
// leaves the thread everything it still touches.
struct BackgroundReader::Job {
    odbc::Connection connection; // used by one read at a time
    QString error;
    bool lost = false;
};

namespace {
// Threads of reads whose reader was closed; touched on the asking thread only.
QList<QThread*>& abandoned() {
    static QList<QThread*> threads;
    return threads;
}
} // namespace

BackgroundReader::BackgroundReader(QObject* parent)
    : QObject(parent), job_(std::make_shared<Job>()) {}

BackgroundReader::~BackgroundReader() {
    if (!thread_)
        return;
    QThread* thread = thread_.release();
    disconnect(thread, nullptr, this, nullptr);
    abandoned().append(thread);
    const auto release = [thread] {
        if (abandoned().removeOne(thread)) {
            thread->wait();
            thread->deleteLater();
        }
    };
    connect(thread, &QThread::finished, thread, release);
    if (thread->isFinished()) // it ended before it could say so to the connection above
        release();
}

int BackgroundReader::abandonedReads() {
    return static_cast<int>(abandoned().size());
}

void BackgroundReader::waitForAbandonedReads() {
    for (QThread* thread : std::exchange(abandoned(), {})) {
        thread->disconnect();
        thread->wait();
        delete thread;
    }
}

bool BackgroundReader::read(const QString& connectionString, int timeoutSeconds, Work work,
                            Done done) {
    if (thread_)
        return false;
    done_ = std::move(done);
    thread_.reset(
        QThread::create([job = job_, connectionString, timeoutSeconds, work = std::move(work)] {
            job->error.clear();
            job->lost = false;
            odbc::Connection& db = job->connection;
            try {
                if (!db.isOpen() || db.lastConnectionString() != connectionString) {
                    db.close();
                    db.timeoutSeconds = timeoutSeconds;
                    db.open(connectionString);
                }
                work(db);
            } catch (const DbError& e) {
                job->error = e.message();
                job->lost = e.connectionLost();
                db.close(); // opened afresh by the next read
            } catch (const std::exception& e) {
                job->error = QString::fromUtf8(e.what());
                db.close();
            }
        }));
    connect(thread_.get(), &QThread::finished, this, &BackgroundReader::finished,
            Qt::QueuedConnection);
    thread_->start();
    return true;
}

bool BackgroundReader::read(const odbc::Connection& like, Work work, Done done) {
    return read(like.lastConnectionString(), like.timeoutSeconds, std::move(work), std::move(done));
}

void BackgroundReader::finished() {
    thread_->wait();
    thread_.reset();
    // Taken first: `done` may start the next read.
    const Done done = std::exchange(done_, {});
    if (done)
        done(job_->error, job_->lost);
    if (const auto again = std::exchange(again_, {}))
        again();
}

} // namespace pistel
