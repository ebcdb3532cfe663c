#include "ChangeWatch.h"

#include <memory>

namespace pistel {

void ChangeWatch::look(const odbc::Connection& like, const QString& code) {
    auto found = std::make_shared<OutsideChange>();
    reader_.read(
        like,
        [state = state_, found, code](odbc::Connection& db) {
            if (state->forget.exchange(false))
                state->digest.forget();
            try {
                *found = state->digest.changedSinceLastLook(db, code);
            } catch (...) {
                state->digest.forget(); // the next look starts afresh
                throw;
            }
        },
        [this, found](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                emit failed(error, lost);
                return;
            }
            emit answered();
            if (found->any())
                emit changed(*found);
        });
}

} // namespace pistel
