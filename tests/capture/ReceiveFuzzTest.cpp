// Random lines through the receive handler into the real server: no crash, no statement
// error, every line journaled byte for byte and logged exactly once, its fields as split.
// PISTEL_FUZZ_LINES sets how many (the suite runs 20,000; a million on demand).
#include "capture/ImpulseJournal.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "data/SjisText.h"
#include "support/DbTest.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace pistel;
using pistel::test::DbTest;

namespace {

// A random line without its CR: random length, bytes biased towards the ones that break
// careless code (NUL, quotes, backslash, Shift-JIS lead bytes, LF, 0xA5 and 0x7E).
QByteArray randomLine(QRandomGenerator& rng) {
    static const char special[] = {'\0',   '\'',   '"',    '\\', '\t', '\x81', '\x83', '\x9f',
                                   '\xe0', '\xef', '\xa5', '~',  '%',  ';',    '\x1a', '\xff'};
    const int length = rng.bounded(0, 41);
    QByteArray line;
    for (int i = 0; i < length; ++i) {
        char c;
        if (rng.bounded(4) == 0)
            c = special[rng.bounded(int(sizeof special))];
        else
            c = static_cast<char>(rng.bounded(256));
        if (c == '\r' || c == '\n') // line ends
            c = ' ';
        line.append(c);
    }
    // Now and then a well-formed start or finish line, so the fields are exercised too.
    if (rng.bounded(8) == 0)
        line = (rng.bounded(2) ? " 0012 C0  " : "?0000 C1  ") + line.left(13);
    return line;
}

// What the database gives back of a field: through Shift-JIS.
QString stored(const QString& field) {
    return fromSjis(toSjis(field));
}

} // namespace

class ReceiveFuzzTest : public DbTest {};

TEST_F(ReceiveFuzzTest, RandomLinesAreJournaledAndLoggedExactlyOnce) {
    const int count = qEnvironmentVariableIntValue("PISTEL_FUZZ_LINES") > 0
                          ? qEnvironmentVariableIntValue("PISTEL_FUZZ_LINES")
                          : 20000;
    QTemporaryDir dir;
    ImpulseJournal journal(dir.path());
    QueueByteSource port;
    app.competitionCode = "FZ";
    app.timerPortOpen = true;
    app.currentRun = "1";
    // The impulse lists show a channel the fuzz never sends, so they are not re-read.
    for (Query* q : {&dm.QPulseSt, &dm.QPulseFn})
        q->setSql({"select * from pulsedata where tcode = 'none'", "and stat = '\x01\x02'"});
    ReceiveHandler handler(app, dm, port, &journal);
    const QDateTime when(QDate(2026, 12, 20), QTime(11, 0));
    handler.setClock([&] { return when; });

    QRandomGenerator rng(20261220);
    QList<QByteArray> sent;
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QByteArray line = randomLine(rng);
        sent.append(line);
        port.push(line + '\r');
        // An "RT" line ends a delivery; the rest waits for the next announcement.
        while (port.InQueCount() > 0)
            ASSERT_NO_THROW(handler.CommX1Receive(port.InQueCount())) << line.toHex().data();
        const TimerLine t = splitTimerLine(QString::fromLatin1(line));
        if (!t.endsDelivery())
            expected << QStringList{stored(t.tstat), stored(t.bib), stored(t.stat), stored(t.dtime)}
                            .join(QChar(0x1f));
    }

    // Journaled byte for byte, in order.
    QFile file(journal.fileFor(when.date()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> journaled = file.readAll().split('\n');
    ASSERT_EQ(journaled.size(), count + 1); // the last line break ends the file
    for (int i = 0; i < count; ++i) {
        const auto entry = ImpulseJournal::parse(journaled[i]);
        ASSERT_TRUE(entry.has_value()) << i;
        ASSERT_EQ(entry->line, sent[i]) << i;
    }
    // Logged once each, as split.
    Query rows(dm.Db1, "rows",
               {"select tstat,bib,stat,dtime from pulsedata where tcode = 'FZ' order by id"});
    rows.open();
    ASSERT_EQ(rows.recordCount(), expected.size());
    for (int r = 0; r < rows.recordCount(); ++r) {
        const QString got =
            QStringList{rows.text(r, 0), rows.text(r, 1), rows.text(r, 2), rows.text(r, 3)}.join(
                QChar(0x1f));
        ASSERT_EQ(got, expected[r]) << r;
    }
    // A byte without a Shift-JIS form is stored as "?"; none is ever turned into a quote or
    // a backslash that would end or change the statement.
    EXPECT_EQ(stored(QString(QChar(0xa5))), "?");
    EXPECT_EQ(stored(QString(QChar(0xff))), "?");
}
