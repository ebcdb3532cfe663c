#include "capture/ImpulseJournal.h"
#include "capture/Replay.h"
#include "support/ScopedEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pistel;

namespace {
JournalEntry entry(const QByteArray& line) {
    return {QDateTime(QDate(2026, 12, 20), QTime(10, 4, 55, 651)), 363046,
            QString::fromUtf8("大会'1"), line};
}
} // namespace

TEST(ImpulseJournal, FormatIsOneReadableTextLine) {
    EXPECT_EQ(ImpulseJournal::format(entry(" 0001 C0  10:04:55.6513 00")),
              "2026-12-20 10:04:55.651\t363046\t\\xe5\\xa4\\xa7\\xe4\\xbc\\x9a'1\t"
              " 0001 C0  10:04:55.6513 00");
}

TEST(ImpulseJournal, EveryByteSurvivesTheRoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r')
            all.append(static_cast<char>(b));
    for (const QByteArray& line : {all, QByteArray(), QByteArray("\\x41"), QByteArray("a\tb\nc")}) {
        const auto parsed = ImpulseJournal::parse(ImpulseJournal::format(entry(line)) + "\n");
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->line, line);
        EXPECT_EQ(parsed->receiptTenths, 363046);
        EXPECT_EQ(parsed->competitionCode, QString::fromUtf8("大会'1"));
        EXPECT_EQ(parsed->received, entry(line).received);
    }
}

TEST(ImpulseJournal, TimerLinesAreNotJournalLines) {
    EXPECT_FALSE(ImpulseJournal::parse(" 0001 C0  10:04:55.6513 00").has_value());
    EXPECT_FALSE(ImpulseJournal::parse("").has_value());
    EXPECT_FALSE(ImpulseJournal::parse("2026-12-20 10:04:55.651\tx\tA\tline").has_value());
    EXPECT_FALSE(ImpulseJournal::parse("2026-12-20 10:04:55.651\t1\tA\tbad\\x4").has_value());
}

TEST(ImpulseJournal, AppendsToOneFilePerDayAndCreatesTheFolder) {
    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/a/b";
    ImpulseJournal journal(folder);
    JournalEntry e = entry("first");
    journal.append(e);
    e.line = "second";
    journal.append(e);
    e.received = e.received.addDays(1);
    e.line = "next day";
    journal.append(e);

    QFile day1(journal.fileFor(QDate(2026, 12, 20)));
    ASSERT_TRUE(day1.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = day1.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3); // two lines and the empty rest after the last break
    EXPECT_EQ(ImpulseJournal::parse(lines[0])->line, "first");
    EXPECT_EQ(ImpulseJournal::parse(lines[1])->line, "second");
    EXPECT_TRUE(QFile::exists(journal.fileFor(QDate(2026, 12, 21))));
}

TEST(ImpulseJournal, UnwritableFolderIsAnError) {
    QTemporaryDir tmp;
    QFile blocker(tmp.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ImpulseJournal journal(tmp.path() + "/file/journal"); // a folder under a plain file
    EXPECT_THROW(journal.append(entry("x")), JournalError);
}

TEST(ImpulseJournal, FolderFromTheEnvironment) {
    pistel::test::ScopedEnv state("XDG_STATE_HOME", "/tmp/state");
    {
        pistel::test::ScopedEnv folder("PISTEL_JOURNAL_DIR", "/tmp/somewhere");
        EXPECT_EQ(ImpulseJournal::defaultFolder(), "/tmp/somewhere");
    }
    pistel::test::ScopedEnv noFolder("PISTEL_JOURNAL_DIR");
    EXPECT_EQ(ImpulseJournal::defaultFolder(), "/tmp/state/pistel/journal");
}

// A record torn by a failed write in an older file (before records were written whole) is
// skipped with a count, never taken for a timer line; the whole record glued behind it and
// the records after it are kept.
TEST(ImpulseJournal, TornRecordsAreSkippedNotReplayed) {
    const QByteArray whole = ImpulseJournal::format(entry(" 0023 C1  10:08:26.8000 00"));
    const QByteArray content =
        whole + "\n2026-12-09 02:33" + whole + "\n2026-12-0\n" + whole + "\n";
    int torn = 0;
    const QList<ReplayLine> lines = readReplayLines(content, &torn);
    EXPECT_EQ(torn, 2);
    ASSERT_EQ(lines.size(), 3);
    for (const ReplayLine& l : lines) {
        ASSERT_TRUE(l.entry.has_value());
        EXPECT_EQ(l.bytes, " 0023 C1  10:08:26.8000 00");
    }
    // Raw timer lines are never taken for torn records.
    EXPECT_EQ(readReplayLines(" 0001 C0  10:00:00.0000 00\n", &torn).size(), 1);
    EXPECT_EQ(torn, 2);
}
