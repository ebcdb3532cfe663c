#include "StationThread.h"

#include "ThreadedDialog.h"
#include "TimingStation.h"
#include "data/DbError.h"
#include "data/Mailbox.h"
#include "data/TDM1.h"

#include <QEventLoop>
#include <exception>

namespace pistel {

StationThread::StationThread(const AppState& app, const TDM1& like, OperatorDialog& dialog,
                             ImpulseJournal* journal, TCustomCommX::PortResolver ports,
                             ByteSource* timerSource)
    : app_(app), dialog_(std::make_unique<ThreadedDialog>(dialog)) {
    thread_.setObjectName(QStringLiteral("station"));
    thread_.start();
    const QString connection = like.Db1.lastConnectionString();
    const int timeout = like.Db1.timeoutSeconds;
    // Made on its thread, so that its clocks, ports and datasets belong to that thread.
    auto* anchor = new QObject;
    anchor->moveToThread(&thread_);
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        anchor,
        [&] {
            anchor->deleteLater();
            try {
                dm_ = std::make_unique<TDM1>();
                dm_->Db1.timeoutSeconds = timeout;
                station_ =
                    new TimingStation(app_, *dm_, *dialog_, journal, std::move(ports), timerSource);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) {
        thread_.quit();
        thread_.wait();
        std::rethrow_exception(failure);
    }
    // Connected on the station's thread, before anything else the station is asked to do,
    // so the window does not wait for it either.
    if (!connection.isEmpty())
        station_->post([s = station_, dm = dm_.get(), connection] {
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
    QMetaObject::invokeMethod(
        station_,
        [this] {
            dialog_->abandon();
            // After a question that was open has returned: the station is not on the stack.
            QMetaObject::invokeMethod(station_, [this] {
                delete station_;
                dm_.reset();
                thread_.quit();
            });
        },
        Qt::QueuedConnection);
    thread_.wait();
}

void StationThread::call(const std::function<void()>& work) {
    QEventLoop loop;
    bool done = false;
    std::exception_ptr failure;
    const auto back = std::make_shared<Mailbox>(&loop);
    QMetaObject::invokeMethod(station_, [&work, back, &loop, &done, &failure] {
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
        call([&] { asking = dialog_->asking(); });
    call([] {}); // what the window did on hearing the station
}

} // namespace pistel
