#include "StationThread.h"

#include "ThreadedDialog.h"
#include "TimingStation.h"
#include "data/DbError.h"
#include "data/Mailbox.h"
#include "data/TDM1.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QList>
#include <QThread>
#include <algorithm>
#include <exception>
#include <utility>

namespace pistel {

// What the station's thread owns. The window's side ends it, and deletes it once the thread
// has ended, on the window's thread (where its dialog's mailbox lives).
struct StationThread::Core {
    explicit Core(const AppState& state, OperatorDialog& window)
        : app(state), dialog(std::make_unique<ThreadedDialog>(window)) {}
    QThread thread;
    AppState app; // the station's own copy
    std::unique_ptr<ThreadedDialog> dialog;
    std::unique_ptr<TDM1> dm;
    TimingStation* station = nullptr;
    // Names it among the ending stations (an address may be taken again once deleted).
    const quint64 serial = ++lastSerial;
    static inline quint64 lastSerial = 0;
};

namespace {
// How long closing the window waits for its station to end; one held longer by the server
// ends by itself.
constexpr int kEndWaitMs = 20;

// Stations left to end by themselves; touched on the window's thread only.
QList<StationThread::Core*>& ending() {
    static QList<StationThread::Core*> cores;
    return cores;
}
} // namespace

StationThread::StationThread(const AppState& app, const TDM1& like, OperatorDialog& dialog,
                             ImpulseJournal* journal, TCustomCommX::PortResolver ports,
                             ByteSource* timerSource)
    : core_(std::make_unique<Core>(app, dialog)) {
    // A station whose window closed during an outage may still hold the ports and write to
    // the journal: this one begins once it has ended (at most its statement's time-out).
    waitForEndingStations();
    Core& core = *core_;
    core.thread.setObjectName(QStringLiteral("station"));
    core.thread.start();
    const QString connection = like.Db1.lastConnectionString();
    const int timeout = like.Db1.timeoutSeconds;
    // Made on its thread, so that its clocks, ports and datasets belong to that thread.
    auto* anchor = new QObject;
    anchor->moveToThread(&core.thread);
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        anchor,
        [&] {
            anchor->deleteLater();
            try {
                core.dm = std::make_unique<TDM1>();
                core.dm->Db1.timeoutSeconds = timeout;
                core.station = new TimingStation(core.app, *core.dm, *core.dialog, journal,
                                                 std::move(ports), timerSource);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) {
        core.thread.quit();
        core.thread.wait();
        std::rethrow_exception(failure);
    }
    // Connected on the station's thread, before anything else the station is asked to do,
    // so the window does not wait for it either.
    if (!connection.isEmpty())
        core.station->post([s = core.station, dm = core.dm.get(), connection] {
            if (!openConnection(*dm, connection))
                s->keeper.connectionLost();
        });
}

bool StationThread::openConnection(TDM1& dm, const QString& connection) {
    try {
        dm.Db1.openRemembering(connection);
        dm.useSjisNames();
        return true;
    } catch (const DbError& e) {
        if (!e.connectionLost())
            throw;
        return false; // the keeper connects once the server answers
    }
}

StationThread::~StationThread() {
    Core* core = core_.release();
    QMetaObject::invokeMethod(
        core->station,
        [core] {
            core->dialog->abandon();
            // After a question that was open has returned: the station is not on the stack.
            QMetaObject::invokeMethod(core->station, [core] {
                delete core->station;
                core->dm.reset();
                core->thread.quit();
            });
        },
        Qt::QueuedConnection);
    if (core->thread.wait(kEndWaitMs)) {
        delete core;
        return;
    }
    ending().append(core);
    const auto release = [serial = core->serial] {
        QList<Core*>& cores = ending();
        const auto it = std::find_if(cores.begin(), cores.end(),
                                     [serial](const Core* c) { return c->serial == serial; });
        if (it == cores.end())
            return; // waited for already
        Core* ended = *it;
        cores.erase(it);
        ended->thread.wait();
        delete ended;
    };
    QObject::connect(&core->thread, &QThread::finished, QCoreApplication::instance(), release,
                     Qt::QueuedConnection);
    if (core->thread.isFinished()) // it ended before it could say so to the connection above
        release();
}

TimingStation& StationThread::station() {
    return *core_->station;
}

int StationThread::endingStations() {
    return static_cast<int>(ending().size());
}

void StationThread::waitForEndingStations() {
    for (Core* core : std::exchange(ending(), {})) {
        core->thread.disconnect();
        core->thread.wait();
        delete core;
    }
}

void StationThread::call(const std::function<void()>& work) {
    QEventLoop loop;
    bool done = false;
    std::exception_ptr failure;
    const auto back = std::make_shared<Mailbox>(&loop);
    QMetaObject::invokeMethod(core_->station, [&work, back, &loop, &done, &failure] {
        std::exception_ptr thrown;
        try {
            work();
        } catch (...) {
            thrown = std::current_exception();
        }
        back->post([&loop, &done, &failure, thrown] {
            failure = thrown;
            done = true;
            loop.quit();
        });
    });
    while (!done)
        loop.exec();
    back->close();
    if (failure)
        std::rethrow_exception(failure);
}

void StationThread::settle() {
    bool asking = true;
    while (asking)
        call([&] { asking = core_->dialog->asking(); });
    call([] {}); // what the window did on hearing the station
}

} // namespace pistel
