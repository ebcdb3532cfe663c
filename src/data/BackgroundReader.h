#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace pistel {

namespace odbc {
class Connection;
}

// Runs one read at a time on a thread and a database connection of its own, so that the
// window thread never waits for a server that is slow or away. What the read found comes back
// on the thread that asked, once the read is over.
class BackgroundReader : public QObject {
    Q_OBJECT
public:
    // Runs on the reader's thread; what it finds it keeps where `Done` reads it. A DbError (or
    // any exception) it throws is the read's failure. It may outlive the reader (see below), so
    // it owns what it touches (values, shared pointers), never the asker's members.
    using Work = std::function<void(odbc::Connection&)>;
    // Runs on the asking thread: `error` empty when the read succeeded; `lost` when the server
    // did not answer or the connection is gone.
    using Done = std::function<void(const QString& error, bool lost)>;

    explicit BackgroundReader(QObject* parent = nullptr);
    // A read under way is left to end by itself (at most its time-out) without its `done`:
    // closing a view while the server is away never holds the window.
    ~BackgroundReader() override;

    // Starts `work` through `connectionString` (opened anew when it changed or after a
    // failure), each statement giving up after `timeoutSeconds`; false, and nothing started,
    // while a read is under way.
    bool read(const QString& connectionString, int timeoutSeconds, Work work, Done done);
    // The same through the data source `like` was last opened with, and its time-out.
    bool read(const odbc::Connection& like, Work work, Done done);
    bool busy() const { return thread_ != nullptr; }
    // Asked while a read is under way: `again` runs once that read is over and its `done` has
    // run (the latest asked replaces an earlier one), so the newest state is read once more.
    void readAgainAfter(std::function<void()> again) { again_ = std::move(again); }

    // Reads left by closed readers that have not ended yet; waits for them (before the
    // program ends, so that no thread still uses the driver while it unloads).
    static int abandonedReads();
    static void waitForAbandonedReads();

private:
    struct Job;
    void finished();

    std::unique_ptr<QThread> thread_;
    std::shared_ptr<Job> job_; // the connection and the last outcome, shared with the thread
    Done done_;
    std::function<void()> again_;
};

} // namespace pistel
