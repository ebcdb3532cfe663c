#include "QueryMirror.h"

#include "Mailbox.h"
#include "Query.h"

#include <QMetaObject>
#include <QRecursiveMutex>
#include <functional>

namespace pistel {

// What the mirror and its dataset share. Either may go first (a window's grids outlive its
// station by a moment): the mirror closes its mailbox, the dataset forgets itself under the
// lock. The lock is recursive because on one thread a click is followed within the call.
struct QueryMirror::Link {
    Link(QueryMirror* m, Query* s) : mailbox(m), mirror(m), source(s) {}

    Mailbox mailbox;
    QueryMirror* const mirror;
    QRecursiveMutex sourceMutex;
    Query* source;
    quint64 version = 0; // changes of rows reported, counted on the dataset's thread
    int inserting = -1;  // where the row being put in goes

    // Runs `apply` on the mirror's thread, after everything posted before it.
    void post(std::function<void(QueryMirror&)> apply) {
        mailbox.post([m = mirror, apply = std::move(apply)] { apply(*m); });
    }
    // The dataset's rows whole, as the mirror's start or after a read.
    void postRows(const Query& rowsOf) {
        post([rows = rowsOf.rows(), open = rowsOf.isOpen(), current = rowsOf.currentRow(),
              version = version](QueryMirror& m) {
            emit m.aboutToReset();
            m.rows_ = rows;
            m.open_ = open;
            m.current_ = current;
            m.version_ = version;
            m.synced_ = true;
            emit m.reset();
        });
    }
    // A change of rows, applied once the mirror holds the rows it changes.
    void postChange(std::function<void(QueryMirror&)> apply) {
        post([apply = std::move(apply), version = version](QueryMirror& m) {
            if (!m.synced_)
                return; // the rows it will get already hold the change
            apply(m);
            m.version_ = version;
        });
    }
};

QueryMirror::QueryMirror(Query& source, QObject* parent)
    : QObject(parent), link_(std::make_shared<Link>(this, &source)) {
    followSource(source);
    // The rows to start from are taken on the dataset's thread, after the reports above are
    // connected, so no change falls between them.
    QMetaObject::invokeMethod(&source, [link = link_, &source] { link->postRows(source); });
}

QueryMirror::~QueryMirror() {
    link_->mailbox.close();
}

void QueryMirror::followSource(Query& source) {
    // These run where the dataset changes, on its thread, while its rows are as reported.
    const auto link = link_;
    const auto direct = Qt::DirectConnection;
    connect(
        &source, &QObject::destroyed, &source,
        [link] {
            QMutexLocker lock(&link->sourceMutex);
            link->source = nullptr;
        },
        direct);
    connect(
        &source, &Query::reset, &source,
        [link, &source] {
            ++link->version;
            link->postRows(source);
        },
        direct);
    connect(
        &source, &Query::rowAboutToBeRemoved, &source,
        [link](int row) {
            ++link->version;
            link->postChange([row](QueryMirror& m) {
                emit m.rowAboutToBeRemoved(row);
                m.rows_.removeRow(row);
                emit m.rowRemoved();
            });
        },
        direct);
    connect(
        &source, &Query::rowAboutToBeInserted, &source, [link](int row) { link->inserting = row; },
        direct);
    connect(
        &source, &Query::rowInserted, &source,
        [link, &source] {
            ++link->version;
            link->postChange([at = link->inserting,
                              row = source.rows().rowCopy(link->inserting)](QueryMirror& m) {
                emit m.rowAboutToBeInserted(at);
                m.rows_.insertRow(at, row, 0);
                emit m.rowInserted();
            });
        },
        direct);
    connect(
        &source, &Query::rowsChanged, &source,
        [link] { link->postChange([](QueryMirror& m) { emit m.rowsChanged(); }); }, direct);
    connect(
        &source, &Query::currentRowChanged, &source,
        [link, &source] {
            link->postChange([current = source.currentRow()](QueryMirror& m) {
                m.current_ = current;
                emit m.currentRowChanged();
            });
        },
        direct);
}

QString QueryMirror::currentText(QStringView field) const {
    const int column = rows_.columnIndex(field);
    if (current_ < 0 || current_ >= recordCount() || column < 0)
        return {};
    return rows_.text(current_, column);
}

void QueryMirror::moveTo(int row) {
    // Read at once (the view already shows the row chosen); the dataset follows and says so,
    // or says where it stands instead.
    if (row < recordCount())
        current_ = row;
    QMutexLocker lock(&link_->sourceMutex);
    Query* source = link_->source;
    if (!source)
        return;
    QMetaObject::invokeMethod(source, [link = link_, source, row, seen = version_] {
        if (link->version != seen) {
            // Rows changed under the operator's click: show where the dataset stands.
            link->postChange([current = source->currentRow()](QueryMirror& m) {
                m.current_ = current;
                emit m.currentRowChanged();
            });
            return;
        }
        if (source->isOpen() && row < source->recordCount())
            source->moveTo(row);
    });
}

} // namespace pistel
