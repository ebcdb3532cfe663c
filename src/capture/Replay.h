#pragma once

#include "ImpulseJournal.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace pistel {

// One line to feed through the receive handler again.
struct ReplayLine {
    QByteArray bytes;                  // without the ending CR
    std::optional<QDateTime> received; // from a journal entry; raw lines have none
    std::optional<JournalEntry> entry; // the whole journal entry, for a journal line
};

// The lines of a file that holds impulse journal entries or timer lines as a timer sends
// or prints them. Lines may end with CR, LF or CR LF; empty raw lines are skipped (a printed
// log spaces its lines), while a journaled empty line is kept (it was received). A journal
// record torn by a failed write is skipped and counted in `tornRecords`; a whole record glued
// behind it is kept.
QList<ReplayLine> readReplayLines(const QByteArray& content, int* tornRecords = nullptr);

// A duration as a timer prints it ("1:05.12", "00:01:05.12", "65.1234") in hundredths,
// the fraction truncated; nothing when the text is not a duration.
std::optional<std::int64_t> durationHundredths(const QString& text);

} // namespace pistel
