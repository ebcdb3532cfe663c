// A race with a second timer and hand times: system-B lines logged once in their own table
// (journaled, never captured), a missed finish replaced from system B before the hand times,
// a start missed by both replaced from the hand times, through pistel-backup.
#include "backup/BackupRun.h"
#include "capture/ImpulseJournal.h"
#include "capture/JournalRecovery.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "results/Race.h"
#include "support/DbTest.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace pistel::test {
namespace {

const TimeUnits kTen = 10LL * 3600 * 10000;

class SecondTimerTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "C1";
        addCompetition("C1");
        QList<Competitor> field;
        for (int i = 1; i <= 14; ++i)
            field.append({QString::asprintf("%04d", i), i, 15 - i, 1});
        field.append({"0099", 0, 0, 1, "9"}); // the forerunner
        addCompetitors("C1", field);
        // System A: starts 30 s apart from 10:00:00, runs of 60 s + 0.37 s per bib; the
        // forerunner a minute earlier. 0008's finish and 0011's start were missed.
        for (int i = 0; i <= 14; ++i) {
            const QString bib = i ? QString::asprintf("%04d", i) : "0099";
            const QString start = timeOfDayText(start1(i)), finish = timeOfDayText(finish1(i));
            exec(QString("update result set sttime='%1', altime='%2', FL='S' where zek='%3'")
                     .arg(i == 11 ? "" : start, i == 8 ? "" : finish, bib));
        }
    }
    static TimeUnits start1(int i) { return i ? kTen + (i - 1) * 300000 : kTen - 600000; }
    static TimeUnits finish1(int i) { return start1(i) + 600000 + i * 37 * 100; }
    // System B: A - B is 0.03 s + 1 ms per bib at the finish (the forerunner 0.5 s), the
    // starts 0.01 s; 0011's start is missing in B too.
    static TimeUnits bFinish(int i) { return finish1(i) - (i ? 300 + 10 * i : 5000); }

    int run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        output = QString::fromUtf8(p.readAllStandardOutput());
        errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
    int backup(const QString& command, const QString& channel, const QString& hand) {
        return run(PISTEL_BACKUP_PATH, {command, "--dsn", "PistelTest", "--code", "C1", "--run",
                                        "1", "--channel", channel, "--hand", hand});
    }
    QString write(const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    }

    QTemporaryDir dir;
    QString output, errors;
};

TEST_F(SecondTimerTest, MissedImpulsesAreReplacedFromSystemBFirstThenFromHandTimes) {
    // The second timer's lines: starts with bibs, finishes without (photocell only).
    ImpulseJournal journal(dir.filePath("system-b"));
    QueueByteSource port;
    ReceiveHandler b(app, dm, port, &journal);
    b.setImpulseLog(kSecondTimerLog);
    int sent = 0;
    for (int i = 0; i <= 14; ++i) {
        const QString bib = i ? QString::asprintf(" %04d", i) : " 0099";
        if (i != 11) {
            port.push((bib + " C0  " + timeOfDayText(start1(i) - 100) + " 00\r").toLatin1());
            ++sent;
        }
        port.push(("?0000 C1  " + timeOfDayText(bFinish(i)) + " 00\r").toLatin1());
        ++sent;
        b.CommX1Receive(port.InQueCount());
    }
    EXPECT_EQ(scalar("select count(*) from backup_impulse where tcode='C1'").toInt(), sent);
    // No run was selected while they came: they wait for one, used by no run meanwhile.
    EXPECT_EQ(BackupRun::read(dm.Db1, "C1", 1).secondTimerLinesWithoutRun(), sent);
    EXPECT_TRUE(BackupRun::read(dm.Db1, "C1", 1).secondTimer(Channel::Finish).empty());
    EXPECT_EQ(giveSecondTimerLinesARun(dm.Db1, "C1", 1), sent);
    EXPECT_EQ(scalar("select count(*) from pulsedata"), "0");
    EXPECT_EQ(scalar("select count(*) from result where altime2<>'' or ttime<>''"), "0");
    // Journaled, and never logged twice: the journal's lines are all found by their receipts.
    QFile day(journal.fileFor(QDate::currentDate()));
    ASSERT_TRUE(day.open(QIODevice::ReadOnly));
    QList<JournalEntry> entries;
    for (const QByteArray& text : day.readAll().split('\n'))
        if (const auto e = ImpulseJournal::parse(text))
            entries << *e;
    EXPECT_EQ(entries.size(), sent);
    const RecoveryCount again = writeMissingImpulses(dm, entries, kSecondTimerLog);
    EXPECT_EQ(again.alreadyLogged, sent);
    EXPECT_EQ(again.written, 0);

    // Hand times: every start 0.2 s early with scatter (0011 too), every finish as well.
    const double scatter[] = {0, .01, -.01, .02, 0, 0, -.02, .01, 0, .01, -.01, .03, 0, 0, 0};
    QString starts, finishes;
    for (int i = 1; i <= 14; ++i) {
        const TimeUnits e = static_cast<TimeUnits>(scatter[i] * 10000);
        starts += timeOfDayText(start1(i) - 2000 + e).left(11).replace('.', ',') + "\n";
        finishes += timeOfDayText(finish1(i) - 2000).left(11) + "\n";
    }
    const QString startFile = write("start.txt", starts);
    const QString finishFile = write("finish.txt", "\n" + finishes);

    // Matching: every hand start goes to its competitor, 0011's between its neighbours.
    ASSERT_EQ(backup("match", "start", startFile), 0) << errors.toStdString();
    QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[0], "hand,bib,a_time,difference,unmatched");
    EXPECT_EQ(lines[1], "09:59:59.8100,0001,10:00:00.0000,0.1900,");
    EXPECT_EQ(lines[2], "10:00:29.7900,0002,10:00:30.0000,0.2100,");
    EXPECT_EQ(lines[11], "10:04:59.8300,0011,,,");

    // 0011's start: missed by A and B; from the hand times. References 0010..0001 (A - hand
    // 0.2 s less the scatter, sum 1.99 s): correction 0.20 (0.199 rounded half up).
    // With each proposal its competitor and the run time it gives (10:06:04.07 - 10:05:00.03).
    const QString header = "bib,channel,backup,source,correction,replacement,name,run_time\n";
    ASSERT_EQ(backup("propose", "start", startFile), 0) << errors.toStdString();
    EXPECT_EQ(output, header + "0011,start,10:04:59.8300,hand,0.20,10:05:00.0300," +
                          field("C1", "0011", "name") + ",00:01:04.04\n");
    // 0008's finish: from system B although hand times are there. References 0007..0001 and
    // 0009..0011 (never the forerunner): A - B sum 0.358 s, correction 0.04.
    ASSERT_EQ(backup("propose", "finish", finishFile), 0) << errors.toStdString();
    const QString proposed8 = header + "0008,finish,10:04:32.9220,B,0.04,10:04:32.9620," +
                              field("C1", "0008", "name") + ",00:01:02.96\n";
    EXPECT_EQ(output, proposed8);

    ASSERT_EQ(backup("apply", "finish", finishFile), 0) << errors.toStdString();
    ASSERT_EQ(backup("apply", "start", startFile), 0) << errors.toStdString();
    EXPECT_EQ(field("C1", "0008", "altime"), "10:04:32.9620");
    EXPECT_EQ(field("C1", "0008", "ttime"), "00:01:02.96");
    EXPECT_EQ(field("C1", "0011", "sttime"), "10:05:00.0300");
    EXPECT_EQ(field("C1", "0011", "ttime"), "00:01:04.04"); // 10:06:04.0700 - 10:05:00.0300
    EXPECT_EQ(scalar("select group_concat(zek order by zek) from change_history where "
                     "source='backup'"),
              "0008,0011");
    EXPECT_EQ(scalar("select count(*) from hand_time where channel='start'"), "14");
    // A second apply changes nothing and proposes the same.
    ASSERT_EQ(backup("apply", "finish", finishFile), 0);
    EXPECT_EQ(output, proposed8);
    EXPECT_EQ(scalar("select count(*) from change_history"), "2");
    // The documents mark the replaced run times.
    Race race;
    ASSERT_TRUE(readRace(dm.Db1, "C1", race));
    for (const auto& c : race.competitors)
        EXPECT_EQ(c.markOf(1), c.zek == "0008" || c.zek == "0011" ? "R" : "")
            << c.zek.toStdString();
    // ... and so does their text: the mark after every digit of the time.
    const QString results1 = dir.filePath("results1.pdf");
    ASSERT_EQ(run(PISTEL_RESULTS_PATH, {"report", "--dsn", "PistelTest", "--code", "C1", "--kind",
                                        "results1", "--format", "pdf", "--out", results1}),
              0)
        << errors.toStdString();
    QProcess results1Text;
    results1Text.start("pdftotext", {"-layout", results1, "-"});
    ASSERT_TRUE(results1Text.waitForFinished(30000));
    const QString listed = QString::fromUtf8(results1Text.readAllStandardOutput());
    EXPECT_TRUE(listed.contains("1:02.96R") && listed.contains("1:04.04R")) << listed.toStdString();

    // The report: each replaced time with its references, then the hand times nobody got.
    write("extra.txt", finishes + "10:30:00,00\n");
    ASSERT_EQ(backup("apply", "finish", dir.filePath("extra.txt")), 0);
    const QString pdf = dir.filePath("report.pdf");
    ASSERT_EQ(run(PISTEL_BACKUP_PATH,
                  {"report", "--dsn", "PistelTest", "--code", "C1", "--run", "1", "--out", pdf}),
              0)
        << errors.toStdString();
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString report = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& wanted :
         {QString("代替時刻報告書 1本目"), QString("ビブ 0011"), QString("手動計時 10:04:59.8300"),
          QString("補正 +0.20 秒"), QString("代替時刻 10:05:00.0300"), QString("ビブ 0008"),
          QString("システムB 10:04:32.9220"), QString("代替時刻 10:04:32.9620"),
          QString("一致しない手動計時"), QString("10:30:00.0000"), QString("計時責任者 署名"),
          QString("レフェリー 署名")})
        EXPECT_TRUE(report.contains(wanted)) << wanted.toStdString() << "\n"
                                             << report.toStdString();
    // 0008's references in order, the forerunner never among them.
    const qsizetype from = report.indexOf("ビブ 0008");
    static const QRegularExpression ref("\\n\\s*(\\d+)\\s+(\\d{4})\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)");
    QStringList bibsSeen;
    for (auto m = ref.globalMatch(report.mid(from)); m.hasNext() && bibsSeen.size() < 10;)
        bibsSeen << m.next().captured(2);
    EXPECT_EQ(bibsSeen, (QStringList{"0007", "0006", "0005", "0004", "0003", "0002", "0001", "0009",
                                     "0010", "0011"}));
    EXPECT_FALSE(report.mid(from).contains("0099"));
    QDir().mkpath(PISTEL_SCREENSHOT_DIR);
    QProcess png;
    png.start("pdftoppm", {"-png", "-r", "70", "-f", "1", "-l", "1", "-singlefile", pdf,
                           PISTEL_SCREENSHOT_DIR "/replacement-report"});
    ASSERT_TRUE(png.waitForFinished(30000));
    EXPECT_EQ(png.exitCode(), 0);

    // Bad arguments and files.
    EXPECT_EQ(backup("propose", "middle", startFile), 2);
    // A sheet of three times: too few pairs to rely on; said, with what to do.
    ASSERT_EQ(backup("match", "start",
                     write("few.txt", "0001 09:59:59,81\n0002 10:00:29,79\n"
                                      "0003 10:00:59,80\n")),
              0);
    EXPECT_TRUE(errors.contains("hand times: 手動計時と主計時の確かな組が 3 組しかなく") &&
                errors.contains("ビブを書き添えてください"))
        << errors.toStdString();
    EXPECT_EQ(backup("propose", "start", write("bad.txt", "10:00:00,00\nten o'clock\n")), 2);
    EXPECT_TRUE(errors.contains("2 行目")) << errors.toStdString();
    EXPECT_EQ(run(PISTEL_BACKUP_PATH, {"match", "--dsn", "NoSuchSource", "--code", "C1", "--run",
                                       "1", "--channel", "start", "--hand", startFile}),
              1);
}

} // namespace
} // namespace pistel::test

namespace pistel::test {
namespace {

// Drill: the second timer's table is gone while its lines arrive (the server refuses every
// write). Each line is still journaled and kept; once the table is back the pending lines
// are written once each: lines sent equal lines stored.
TEST_F(SecondTimerTest, DrillLinesArrivingWhileTheirTableIsGoneAreKeptAndWrittenOnce) {
    ImpulseJournal journal(dir.filePath("system-b"));
    QueueByteSource port;
    ReceiveHandler b(app, dm, port, &journal);
    b.setImpulseLog(kSecondTimerLog);
    auto send = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            port.push(("?0000 C1  " + timeOfDayText(kTen + i * 10000) + " 00\r").toLatin1());
            try {
                b.CommX1Receive(port.InQueCount());
            } catch (const std::exception&) {
                // The window shows it; the line is in the journal and the pending file.
            }
        }
    };
    send(0, 3);
    {
        RenamedTable away([this](const QString& sql) { exec(sql); }, "backup_impulse");
        send(3, 8);
        EXPECT_EQ(b.setAsideCount(), 5);
    }
    send(8, 10);
    const RecoveryCount recovered = b.recoverPending();
    EXPECT_EQ(recovered.written, 5);
    EXPECT_EQ(scalar("select count(*) from backup_impulse").toInt(), 10);
    EXPECT_EQ(scalar("select count(distinct dtime) from backup_impulse").toInt(), 10);
    EXPECT_EQ(scalar("select count(*) from pulsedata"), "0");
    // Recovering again writes nothing more.
    EXPECT_EQ(b.recoverPending().written, 0);
    EXPECT_EQ(scalar("select count(*) from backup_impulse").toInt(), 10);
}

} // namespace
} // namespace pistel::test

namespace pistel::test {
namespace {

// "HH:MM:SS,cc" of a time, as a stopwatch sheet gives it.
QString sheetTime(TimeUnits t) {
    return timeOfDayText(t).left(8) + "," + timeOfDayText(t).mid(9, 2);
}

// Hand timing as timekeepers keep it: a bib beside most times, a few stray times (a test time
// before the race, the forerunner, a time 20 min off, a bib written beside another's time),
// main times missing at the start and the finish, a DNS next to a competitor to be matched.
// Every proposal is the rule's, worked out below.
TEST_F(SecondTimerTest, HandSheetsWithBibsAndStrayTimesGiveTheRulesReplacements) {
    // 0005's start was missed; 0006 did not start; 0013's finish was missed too (0008's
    // finish and 0011's start already are).
    exec("update result set sttime='' where zek='0005'");
    exec("update result set sttime='', altime='', FL='N' where zek='0006'");
    exec("insert into run_status (tcode,zek,run,code) values ('C1','0006',1,'DNS')");
    exec("update result set altime='' where zek='0013'");
    // Start sheet: hand = A - 0.20 s + e, e = 0, +0.01, -0.01 from 0001 on. No bib beside
    // 0003's and 0005's times; none for 0006.
    const auto e = [](int i) { return (i - 1) % 3 == 1 ? 100 : (i - 1) % 3 == 2 ? -100 : 0; };
    QString starts = "09:50:00,00\n" + sheetTime(start1(0) - 2000) + "\n"; // test, forerunner
    starts += "0005 " + sheetTime(start1(2) - 2000) + "\n"; // 0002's time under 0005's bib
    for (int i = 1; i <= 14; ++i) {
        if (i == 6)
            continue;
        const QString bib = i == 3 || i == 5 ? QString() : QString::asprintf("%04d ", i);
        starts += bib + sheetTime(start1(i) - 2000 + e(i)) + "\n";
    }
    starts += "10:20:00,00\n"; // 20 min off: nobody's
    // Finish sheet: hand = A - 0.30 s, but 0011's 0.10 s late (A - hand 0.20); no bib beside
    // 0004's time; a stray at 10:30.
    QString finishes;
    for (int i = 1; i <= 14; ++i) {
        if (i == 6)
            continue;
        const QString bib = i == 4 ? QString() : QString::asprintf("%04d ", i);
        finishes += bib + sheetTime(finish1(i) - 3000 + (i == 11 ? 1000 : 0)) + "\n";
    }
    finishes += "10:30:00,00\n";

    BackupRun data = BackupRun::read(dm.Db1, "C1", 1);
    std::vector<HandTime> times;
    ASSERT_TRUE(parseHandTimes(starts, times, nullptr));
    data.setHandTimes(Channel::Start, times);
    const MatchResult m = data.match(Channel::Start, times, kDefaultTolerance);
    ASSERT_TRUE(m.refused.isEmpty()) << m.refused.toStdString();
    EXPECT_EQ(m.offset, -2000);
    QStringList left;
    for (const MatchRow& row : m.rows)
        if (row.bib.isEmpty())
            left << QString::number(row.hand.line) + ": " + row.unmatched;
    // The test time, 0002's time under 0005's bib (0005 has no A time: the time is not between
    // 0004's and 0007's), 10:20.
    ASSERT_EQ(left.size(), 3) << left.join('\n').toStdString();
    EXPECT_TRUE(left[1].startsWith("3: ビブ 0005: 前後の選手の時刻の間にありません"))
        << left[1].toStdString();

    // 0005's start (between 0004 and the DNS 0006: one time left in that gap). References:
    // 0004..0001 before it, the forerunner never, then 0007, 0008, 0009, 0010, 0012, 0013
    // (0011 has no A start). A - hand = 0.20 - e: e sums to -0.01, so 2.01 / 10 = 0.201:
    // correction +0.20, replacement 10:01:59.81 + 0.20 = 10:02:00.01.
    // 0011's start: 0010..0007, 0004..0001, then 0012, 0013: again 2.01 / 10, +0.20;
    // 10:04:59.81 + 0.20 = 10:05:00.01.
    std::vector<Proposal> p = data.propose(Channel::Start, kDefaultTolerance);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].replacement.zek, "0005");
    EXPECT_EQ(p[0].replacement.correction, 2000);
    EXPECT_EQ(timeOfDayText(p[0].replacement.time).toStdString(), "10:02:00.0100");
    QStringList refs;
    for (const Reference& r : p[0].replacement.references)
        refs << r.zek;
    EXPECT_EQ(refs.join(',').toStdString(), "0004,0003,0002,0001,0007,0008,0009,0010,0012,0013");
    EXPECT_EQ(p[1].replacement.zek, "0011");
    EXPECT_EQ(timeOfDayText(p[1].replacement.time).toStdString(), "10:05:00.0100");

    // The finishes, with no start sheet loaded: 0011 (no start time anywhere) still started
    // and stands after 0010. 0008: 0007, 0005..0001 (0006 did not start), then 0009, 0010,
    // 0011, 0012: 9 x 0.30 + 0.20 = 2.90, +0.29; 0013: 0012, 0011, 0010, 0009, 0007,
    // 0005..0001: +0.29 too (without 0011 in the sequence both would be +0.30).
    data = BackupRun::read(dm.Db1, "C1", 1);
    ASSERT_TRUE(parseHandTimes(finishes, times, nullptr));
    data.setHandTimes(Channel::Finish, times);
    p = data.propose(Channel::Finish, kDefaultTolerance);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].replacement.zek, "0008");
    EXPECT_EQ(p[0].replacement.correction, 2900);
    EXPECT_EQ(p[0].replacement.time, finish1(8) - 3000 + 2900);
    EXPECT_EQ(p[1].replacement.zek, "0013");
    EXPECT_EQ(p[1].replacement.correction, 2900);
    refs.clear();
    for (const Reference& r : p[1].replacement.references)
        refs << r.zek;
    EXPECT_EQ(refs.join(',').toStdString(), "0012,0011,0010,0009,0007,0005,0004,0003,0002,0001");

    // An offset that cannot be relied on: four pairs only, or pairs scattered over seconds.
    ASSERT_TRUE(parseHandTimes("0001 " + sheetTime(start1(1)) + "\n0002 " + sheetTime(start1(2)) +
                                    "\n0003 " + sheetTime(start1(3)) + "\n0004 " +
                                    sheetTime(start1(4)) + "\n",
                                times, nullptr));
    const MatchResult few = data.match(Channel::Start, times, kDefaultTolerance);
    EXPECT_TRUE(few.refused.contains("4 組しかなく")) << few.refused.toStdString();
    EXPECT_TRUE(std::all_of(few.rows.begin(), few.rows.end(),
                            [](const MatchRow& r) { return r.bib.isEmpty(); }));
    QString scattered;
    for (int i = 1; i <= 8; ++i)
        scattered +=
            QString::asprintf("%04d ", i) + sheetTime(start1(i) + (i % 2 ? 20000 : -20000)) + "\n";
    ASSERT_TRUE(parseHandTimes(scattered, times, nullptr));
    EXPECT_TRUE(data.match(Channel::Start, times, kDefaultTolerance).refused.contains("ばらつき"));
}

// Runs 5 minutes apart, run 2 in reverse order, the second timer naming the same bibs in both:
// each line is tagged with the run being timed when it arrived, and run 2's proposals use
// run-2 lines only.
TEST_F(SecondTimerTest, SystemBLinesBelongToTheRunTimedWhenTheyArrived) {
    // Run 2: 0014 first, 5 min after run 1's last start; A - B 0.05 s at every start; 0003's
    // run-2 start missed by A.
    const auto start2 = [](int i) { return start1(14) + 3000000 + (14 - i) * 300000; };
    for (int i = 1; i <= 14; ++i)
        exec(QString("update result set sttime2='%1', FL='F' where zek='%2'")
                 .arg(i == 3 ? QString() : timeOfDayText(start2(i)), QString::asprintf("%04d", i)));
    QueueByteSource port;
    ReceiveHandler b(app, dm, port, nullptr);
    b.setImpulseLog(kSecondTimerLog);
    for (const QString run : {"1", "2"}) {
        app.currentRun = run;
        for (int i = 1; i <= 14; ++i) {
            const TimeUnits t = (run == "1" ? start1(i) : start2(i)) - 500;
            port.push((QString::asprintf(" %04d C0  ", i) + timeOfDayText(t) + " 00\r").toLatin1());
            b.CommX1Receive(port.InQueCount());
        }
    }
    EXPECT_EQ(scalar("select count(*) from backup_impulse where run = 2"), "14");
    // 0003's run-2 start (due at 10:17:00, 11 starters after 0014's 10:11:30): the ten
    // references' A - B are all 0.05 (run-1 lines would give differences of minutes):
    // 10:16:59.95 + 0.05 = 10:17:00.00.
    const BackupRun data = BackupRun::read(dm.Db1, "C1", 2);
    const std::vector<Proposal> p = data.propose(Channel::Start, kDefaultTolerance);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].replacement.zek, "0003");
    EXPECT_EQ(p[0].source, "B");
    EXPECT_EQ(p[0].replacement.correction, 500);
    EXPECT_EQ(p[0].replacement.time, start2(3));
    for (const Reference& r : p[0].replacement.references)
        EXPECT_EQ(r.difference(), 500) << r.zek.toStdString();
}

} // namespace
} // namespace pistel::test
