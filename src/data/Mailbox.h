#pragma once

#include <QMetaObject>
#include <QObject>
#include <QRecursiveMutex>
#include <functional>

namespace pistel {

// Work handed from any thread to an object's own thread, for as long as the object takes it.
// Work posted from the object's thread runs at once; from another thread it runs there
// later, in the order posted. The lock is recursive because work run at once may post more.
class Mailbox {
public:
    explicit Mailbox(QObject* receiver) : receiver_(receiver) {}
    void post(std::function<void()> work) {
        QMutexLocker lock(&mutex_);
        if (receiver_)
            QMetaObject::invokeMethod(receiver_, std::move(work));
    }
    // The receiver is going: nothing posted from now on runs (what is queued goes with it).
    void close() {
        QMutexLocker lock(&mutex_);
        receiver_ = nullptr;
    }

private:
    QRecursiveMutex mutex_;
    QObject* receiver_;
};

} // namespace pistel
