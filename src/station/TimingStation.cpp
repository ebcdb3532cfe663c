#include "TimingStation.h"

#include "capture/ImpulseJournal.h"
#include "data/AppState.h"
#include "data/DbError.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"

namespace pistel {

TimingStation::TimingStation(AppState& app, TDM1& dm, OperatorDialog& dialog,
                             ImpulseJournal* journal, TCustomCommX::PortResolver resolver,
                             ByteSource* timerSource, QObject* parent)
    : QObject(parent), CommX1(resolver), CommBoard(resolver), CommB(resolver),
      control(app, dm, &dialog), keeper(dm),
      receiver(app, dm, timerSource ? *timerSource : timerBytes, journal),
      backupJournal(journal ? std::make_unique<ImpulseJournal>(ImpulseJournal::defaultFolder() +
                                                               QStringLiteral("/system-b"))
                            : nullptr),
      backupReceiver(app, dm, backupBytes, backupJournal.get()),
      ports(CommX1, CommBoard, app.timerPortNo, app.boardPortNo, app.timerPortOpen),
      web(app, dm, dialog, webClient), liveSync(app, dm, web, webClient), app_(app) {
    web.baseUrl = app.webBaseUrl;
    webClient.key = app.webKey;
    // The operator's line settings go on each port as it opens.
    ports.prepareTimer = [this](TCustomCommX& port) { port.setLine(app_.timerLine); };
    ports.prepareBoard = [this](TCustomCommX& port) { port.setLine(app_.boardLine); };
    ports.showMessage = [&dialog](const QString& m) { dialog.showMessage(m); };
    // What the timers sent while nobody listened is read, journaled and logged (never
    // assigned), not thrown away.
    CommX1.purgeReceiveOnOpen = false;
    CommB.purgeReceiveOnOpen = false;
    CommX1.OnReceive = [this](TCustomCommX*, int n) { receive(receiver, n, {}); };
    CommB.OnReceive = [this](TCustomCommX*, int n) {
        receive(backupReceiver, n, QStringLiteral("予備計時: "));
    };
    CommX1.OnLost = [this](TCustomCommX*, const QString&) { timerLost(); };
    reopenTimer_.setInterval(kReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &TimingStation::tryReopenTimer);
    connect(&ports, &PortSettings::timerOpened, this, [this] {
        receiver.startFreshLine(CommX1.InQueCount());
        emit timerHealthChanged();
    });

    receiver.setCapture(&control);
    // The database and the journal report through the status line, never a box per line.
    receiver.setKeeper(&keeper);
    backupReceiver.setImpulseLog(kSecondTimerLog);
    backupReceiver.setKeeper(&keeper);
    keeper.afterReconnect = [this] { afterReconnect(); };
    connect(&control, &RunControl::impulsesDeleted, &receiver, &ReceiveHandler::dropPending);
    connect(&receiver, &ReceiveHandler::lineHandled, this, &TimingStation::lineHandled);
    connect(&control, &RunControl::unassignedChanged, this, [this] {
        // An error of the capture is seen to once every impulse it left is dealt with.
        if (control.unassigned().isEmpty())
            receiver.acknowledgeCaptureError();
        emit dataHealthChanged();
    });
    connect(&keeper, &ConnectionKeeper::stateChanged, this, &TimingStation::dataHealthChanged);
    connect(&receiver, &ReceiveHandler::statusChanged, this, &TimingStation::dataHealthChanged);

    // The live results follow the race while real-time upload is on.
    liveSync.databaseUp = [this] { return !keeper.isDown(); };
    connect(&receiver, &ReceiveHandler::lineHandled, &liveSync, &LiveSync::changed);
    connect(&control, &RunControl::statusesChanged, &liveSync, &LiveSync::changed);
    connect(&control, &RunControl::unassignedChanged, &liveSync, &LiveSync::changed);

    connect(&changeWatch_, &ChangeWatch::changed, this, &TimingStation::followOutsideChanges);
    connect(&changeWatch_, &ChangeWatch::failed, this, &TimingStation::outsideLookFailed);
    connect(&changeWatch_, &ChangeWatch::answered, this, [this] {
        failedLooks_ = 0;
        if (watchError_.isEmpty())
            return;
        watchError_.clear();
        emit dataHealthChanged();
    });
    healthClock_.setInterval(1000);
    connect(&healthClock_, &QTimer::timeout, this, &TimingStation::healthTick);
    healthClock_.start();
}

TimingStation::~TimingStation() = default;

void TimingStation::start() {
    recoverPendingLines();
    ports.windowShown();
    openBackupPort();
    emit timerHealthChanged();
}

void TimingStation::stop() {
    ports.windowClosed();
    CommB.Close();
    reopenTimer_.stop();
    emit timerHealthChanged();
}

void TimingStation::selectRun(int run) {
    control.selection.selectRun(run);
    changeWatch_.forget();
    lookForOutsideChanges();
    emit runSelected(run);
}

bool TimingStation::openBackupPort() {
    CommB.Close();
    if (app_.backupPortNo <= 0)
        return false;
    CommB.setPortNo(app_.backupPortNo);
    CommB.setLine(app_.backupLine);
    try {
        CommB.Open();
    } catch (const ECommError& e) {
        control.dialog->showMessage(
            QStringLiteral("予備計時のポート COM%1 を開けません。\n").arg(app_.backupPortNo) +
            e.message());
        return false;
    }
    backupReceiver.startFreshLine(CommB.InQueCount());
    return true;
}

void TimingStation::readClassNames() {
    Query q(control.dm.Db1, QStringLiteral("classNames"),
            {QStringLiteral("select cname from cs_master order by ccode desc")});
    q.open();
    QStringList names;
    for (int r = 0; r < q.recordCount(); ++r)
        names << q.text(r, 0);
    emit classNamesRead(names);
}

void TimingStation::receive(ReceiveHandler& handler, int bytes, const QString& what) {
    try {
        handler.CommX1Receive(bytes);
        return;
    } catch (const DbError& e) {
        lineError_ = what + e.message();
    } catch (const std::exception& e) {
        lineError_ = what + QString::fromStdString(e.what());
    }
    emit dataHealthChanged();
}

void TimingStation::timerLost() {
    // A timer device that goes away (an adapter pulled out) is opened again as soon as it is
    // back; lines then resume by themselves.
    app_.timerPortOpen = false;
    timerLost_ = true;
    receiver.startFreshLine();
    reopenTimer_.start();
    emit timerHealthChanged();
}

void TimingStation::tryReopenTimer() {
    if (!ports.reopenTimer())
        return;
    timerLost_ = false;
    reopenTimer_.stop();
    emit timerHealthChanged();
}

void TimingStation::lineHandled() {
    lastLine_ = QDateTime::currentDateTime();
    ++linesReceived_;
    emit timerHealthChanged();
}

void TimingStation::healthTick() {
    // A statement anywhere (a correction, a web command) may have found the connection lost;
    // the keeper brings it back.
    if (!keeper.isDown() && control.dm.Db1.wasOpened() && !control.dm.Db1.isOpen())
        keeper.connectionLost();
    // Lines a full disk kept out of the journal go in once it takes writes again.
    receiver.retryJournal();
    backupReceiver.retryJournal();
    lookForOutsideChanges();
    emit timerHealthChanged(); // the time since the last line grows
}

void TimingStation::afterReconnect() {
    if (!app_.currentRun.isEmpty())
        control.rereadCurrentPage();
    receiver.flushPending();
    receiver.recoverPending();
    backupReceiver.flushPending();
    backupReceiver.recoverPending();
    lineError_.clear();
}

void TimingStation::recoverPendingLines() {
    // Lines a previous run kept waiting for the database go to pulsedata before new ones.
    try {
        receiver.recoverPending();
        backupReceiver.recoverPending();
    } catch (const DbError& e) {
        if (!e.connectionLost())
            throw;
        keeper.connectionLost(); // written when it is back
    }
}

void TimingStation::lookForOutsideChanges() {
    if (keeper.isDown() || !control.dm.Db1.isOpen() || app_.competitionCode.isEmpty())
        return;
    changeWatch_.look(control.dm.Db1, app_.competitionCode);
}

void TimingStation::followOutsideChanges(const OutsideChange& change) {
    if (keeper.isDown() || !control.dm.Db1.isOpen())
        return;
    try {
        control.selection.followOutsideChanges(change);
        // A start order or a name the office changed reaches the live page now, not at the
        // next periodic start list.
        if (change.entries || change.everything)
            liveSync.startListChanged();
        else
            liveSync.changed();
    } catch (const DbError& e) {
        // Shown once in the status line; the keeper takes over a lost connection.
        if (e.connectionLost())
            keeper.connectionLost();
        else
            lineError_ = e.message();
        emit dataHealthChanged();
    }
}

void TimingStation::outsideLookFailed(const QString& message, bool lost) {
    // A server that did not answer the look will not answer the next line either: the keeper
    // takes over at once, so lines wait in the journal instead of the window waiting for them.
    if (lost) {
        keeper.connectionLost();
        emit dataHealthChanged();
        return;
    }
    // Any other failure (a statement the server refuses) is shown once it persists for a
    // few looks: one that the next look no longer meets is not worth the operator's eye.
    if (++failedLooks_ < kFailedLooksShown || watchError_ == message)
        return;
    watchError_ = message;
    emit dataHealthChanged();
}

void TimingStation::post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, [this, work = std::move(work)] {
        try {
            work();
        } catch (const std::exception& e) {
            const auto* db = dynamic_cast<const DbError*>(&e);
            emit commandFailed(QString::fromStdString(e.what()), db && db->connectionLost(),
                               db && db->outcomeUnknown());
        }
    });
}

DataHealth TimingStation::dataHealth() const {
    DataHealth health;
    health.databaseDown = keeper.isDown();
    health.downSince = keeper.downSince();
    health.waiting = receiver.pendingCount();
    health.setAside = receiver.setAsideCount();
    health.journalProblem = receiver.journalProblem();
    health.lineError = lineError_;
    health.captureError = receiver.captureError();
    health.unassigned = static_cast<int>(control.unassigned().size());
    health.missingStarts = control.missingStarts();
    health.recovered = receiver.recoveredCount() + backupReceiver.recoveredCount();
    health.watchError = watchError_;
    return health;
}

TimerHealth TimingStation::timerHealth() const {
    return {app_.timerPortNo, CommX1.isOpen() && app_.timerPortOpen, timerLost_, lastLine_};
}

} // namespace pistel
