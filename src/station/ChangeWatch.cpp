#include "ChangeWatch.h"

#include <memory>

namespace pistel {

void ChangeWatch::look(const QString& connectionString, int timeoutSeconds, const QString& code) {
    auto found = std::make_shared<bool>(false);
    reader_.read(
        connectionString, timeoutSeconds,
        [this, found, code](odbc::Connection& db) {
            if (forget_.exchange(false))
                digest_.forget();
            try {
                *found = digest_.changedSinceLastLook(db, code);
            } catch (...) {
                digest_.forget(); // the next look starts afresh
                throw;
            }
        },
        [this, found](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                emit failed(error, lost);
                return;
            }
            emit answered();
            if (*found)
                emit changed();
        });
}

} // namespace pistel
