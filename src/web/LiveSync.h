#pragma once

#include "data/BackgroundReader.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace pistel {

struct AppState;
class TDM1;
class WebClient;
class WebCommands;

// Sends the race as it happens to our own live results server while the operator has chosen
// "Web" and real-time upload: the start list, then the whole race state (results, statuses,
// on course, next to start) shortly after every change and at least every few seconds, so
// that a lost request or a restarted server is mended by the next one. Nothing waits for the
// server, nor for the database: the race is read on a thread and a connection of its own, so
// timer lines keep being handled whatever either does.
class LiveSync : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 200;    // after a change: lines of one impulse come together
    static constexpr int kCheckMs = 2000;   // changes made by hand are found by looking
    static constexpr int kResendMs = 20000; // the same state again, for a restarted server
    static constexpr int kStartListMs = 300000; // names and classes again

    LiveSync(AppState& app, TDM1& dm, WebCommands& web, WebClient& client,
             QObject* parent = nullptr);

    // Something may have changed: the state goes out within kDelayMs.
    void changed();
    // Entries or start orders changed: the start list goes with the next send.
    void startListChanged();
    // Reads the state and sends what differs from the last sent (everything when `always`).
    // A read under way is followed by another once it is over.
    void sendNow(bool always = false);
    bool active() const;
    // Whether the database answers; while it does not, nothing is read for the live results.
    std::function<bool()> databaseUp;

signals:
    // The server took the state again, or it stopped taking it: said once per change.
    void healthChanged(const QString& text);

private:
    // What one read found, on the reader's thread.
    struct Read {
        bool withStartList = false;
        QByteArray startList;
        QByteArray state;
        QByteArray scoreLines;
        bool scored = false; // scoreLines made for this state
    };
    void readDone(const Read& read, const QString& code, qint64 at, bool always,
                  const QString& error);
    void sent(const QString& error);

    AppState& app_;
    TDM1& dm_;
    WebCommands& web_;
    WebClient& client_;
    BackgroundReader reader_;
    bool readAgainAlways_ = false; // everything asked for while a read was under way
    QTimer delay_, check_;
    QString code_;         // the competition the last state was of
    QByteArray lastState_; // without its stamp (session, seq and time lines)
    // The points and official lines as last made, for the race state they were made with; made
    // again when that changes or a change was told (a publication changes no time).
    QByteArray scoreLines_, scoredState_;
    bool scoreStale_ = true;
    qint64 lastSentAt_ = 0, startListAt_ = 0, seq_ = 0;
    QString error_;
};

} // namespace pistel
