// The demo competition raced through the capture, with statuses and a time set by hand, and
// its documents written by pistel-results: read back from the PDF's text, checked that no
// word leaves its column, and rendered for the README.
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "data/SjisText.h"
#include "results/Document.h"
#include "results/DocumentPdf.h"
#include "results/Ranking.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>

namespace pistel::test {
namespace {

constexpr char kCode[] = "2026GS01";
// A name and a team too long for their columns: they wrap, never overprint.
const QString kLongName = "長谷川　麻里子アレクサンドラ・ヴィクトリア";
const QString kLongTeam = "北海道ニセコ町立ニセコ高等学校スキー部アルペン班";

class DocumentsTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        QFile demo(PISTEL_SOURCE_DIR "/sql/demo.sql");
        ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
        exec(QString::fromUtf8(demo.readAll()));
        exec("update result set name='" + kLongName + "', team='" + kLongTeam +
             "' where tcode='2026GS01' and zek='0010'");
        app.competitionCode = kCode;
        app.timerPortOpen = true;
        handler.setCapture(&control);
        control.dialog = &dialog;
    }
    void line(const QString& flagAndBib, const char* channel, const QTime& t) {
        port.push(
            (flagAndBib + " " + channel + "  " + t.toString("HH:mm:ss.zzz") + "0 00\r").toLatin1());
        handler.CommX1Receive(port.InQueCount());
    }
    // Runs pistel-results; returns its exit code, its messages in `output`.
    int tool(const QStringList& args) {
        QProcess p;
        p.start(PISTEL_RESULTS_PATH, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }
    int report(const QString& kind, const QString& format, const QString& out,
               const QStringList& more = {}) {
        return tool(QStringList{"report", "--dsn", "PistelTest", "--code", kCode, "--kind", kind,
                                "--format", format, "--out", out} +
                    more);
    }
    // The PDF's text in reading order, as a viewer's search and copy give it.
    static QString pdfText(const QString& pdf, const QString& mode = "-layout") {
        QProcess p;
        p.start("pdftotext", {mode, pdf, "-"});
        EXPECT_TRUE(p.waitForFinished(30000));
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // Every word with its box (points), from pdftotext -bbox.
    struct Word {
        QString text;
        double xMin, yMin, xMax;
        int page;
    };
    static std::vector<Word> words(const QString& pdf) {
        QProcess p;
        p.start("pdftotext", {"-bbox", pdf, "-"});
        EXPECT_TRUE(p.waitForFinished(30000));
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        static const QRegularExpression page("<page "),
            word("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                 "yMax=\"[\\d.]+\">([^<]*)<");
        std::vector<Word> out;
        int pageNumber = 0;
        qsizetype at = 0;
        for (;;) {
            const auto w = word.match(html, at);
            if (!w.hasMatch())
                break;
            pageNumber += html.mid(at, w.capturedStart() - at).count(page);
            out.push_back({w.captured(4), w.captured(1).toDouble(), w.captured(2).toDouble(),
                           w.captured(3).toDouble(), pageNumber});
            at = w.capturedEnd();
        }
        return out;
    }

    // Both runs of 男子シニア (class 5) of the demo, with what happens in a real race.
    void raceClassFive() {
        // Run 1 of 男子シニア (class 5): 0001..0016 but 0007 (excluded). 0004 does not start,
        // 0003 does not finish, 0002 and 0008 tie.
        control.selection.selectRun1();
        QTime t(10, 0);
        const QList<int> hundredths{6512, 6600, 0,    0,    6402, 6790, 0,    6600,
                                    6888, 7001, 6955, 6543, 7100, 6633, 6700, 6666};
        for (int i = 1; i <= 16; ++i) {
            if (i == 4 || i == 7)
                continue;
            const QString bib = QString(" %1").arg(i, 4, 10, QChar('0'));
            line(bib, "C0", t);
            if (i != 3)
                line(bib, "C1", t.addMSecs(hundredths[i - 1] * 10));
            t = t.addSecs(60);
        }
        EXPECT_EQ(field(kCode, "0002", "ttime"), field(kCode, "0008", "ttime"));
        // End of run 1: DNS and DNF offered and stored; 0005 disqualified from the command line.
        const StatusControl::EndOfRun offer = control.statusControl.endOfRunCandidates(1, 5);
        EXPECT_EQ(offer.dns, QStringList{"0004"});
        EXPECT_EQ(offer.dnf, QStringList{"0003"});
        control.statusControl.setStatuses(offer.dns, 1, "DNS");
        control.statusControl.setStatuses(offer.dnf, 1, "DNF");
        ASSERT_EQ(
            tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "5",
                  "--set", "DSQ", "--gate", "12", "--reason", "旗門不通過、片スキー（右）"}),
            0)
            << output.toStdString();

        // Run 2 in st2 order among those allowed; 0016 finishes on a time set by hand.
        control.selection.selectRun2();
        EXPECT_EQ(control.page2.startList.recordCount(), 12); // 13 finishers, one disqualified
        t = QTime(12, 0);
        for (int st2 = 1; st2 <= 16; ++st2) {
            const int i = 17 - st2; // demo: st2 runs backwards
            if (i == 3 || i == 4 || i == 5 || i == 7)
                continue;
            const QString bib = QString(" %1").arg(i, 4, 10, QChar('0'));
            line(bib, "C0", t);
            if (i == 16) {
                // A finish left to the operator, who assigns it from the impulse list.
                control.page2.setFinishMode(RunPage::Manual);
                line("?0000", "C1", t.addMSecs(62340));
                control.page2.setFinishBox("0016");
                control.corrections.assignFinishImpulse(
                    scalar("select max(id) from pulsedata where stat='C1'"));
                control.page2.setFinishMode(RunPage::Auto);
            } else {
                line(bib, "C1", t.addMSecs(65000 + i * 10));
            }
            t = t.addSecs(60);
        }
        EXPECT_EQ(field(kCode, "0016", "ttime2"), "00:01:02.34");
    }

    ScriptedDialog dialog;
    QueueByteSource port;
    RunControl control{app, dm};
    ReceiveHandler handler{app, dm, port, nullptr};
    QTemporaryDir dir;
    QString output;
};

TEST_F(DocumentsTest, TheDemoRaceEndsWithItsStartAndResultLists) {
    raceClassFive();

    // Documents.
    const QString start1 = dir.filePath("start1.pdf"), results = dir.filePath("results.pdf"),
                  results1 = dir.filePath("results1.pdf"), start2 = dir.filePath("start2.pdf");
    ASSERT_EQ(report("startlist1", "pdf", start1), 0) << output.toStdString();
    ASSERT_EQ(report("startlist2", "pdf", start2, {"--class", "5"}), 0) << output.toStdString();
    ASSERT_EQ(report("results1", "pdf", results1, {"--class", "5"}), 0) << output.toStdString();
    ASSERT_EQ(report("results", "pdf", results), 0) << output.toStdString();

    // pdftotext reads every blank, the ideographic space included, as the gap between two
    // words: it gives a space where the page has one (the PDF's own text map has U+3000).
    const auto read = [](QString printed) { return printed.replace(QChar(0x3000), u' '); };
    const QString name = read("第１回　白馬ジャイアントスラローム大会");
    // The start list of run 1: every class, each from page 1 of its own, 0007 nowhere.
    const QString s1 = pdfText(start1);
    EXPECT_TRUE(s1.contains(name));
    EXPECT_TRUE(s1.contains(read("スタートリスト　１本目")));
    for (const char* cls : {"男子シニア", "女子シニア", "男子ジュニア", "女子ジュニア"})
        EXPECT_TRUE(s1.contains(QString(cls))) << cls;
    EXPECT_TRUE(s1.contains(QRegularExpression("\\b1\\s*/\\s*4\\b")) &&
                s1.contains(QRegularExpression("\\b4\\s*/\\s*4\\b")))
        << s1.toStdString();
    // 0004 reported as a non-starter is not in the order; 0003 (DNF) and 0005 (DSQ) started.
    EXPECT_FALSE(s1.contains("0007"));
    EXPECT_FALSE(s1.contains("0004"));
    EXPECT_TRUE(s1.contains("0003") && s1.contains("0005"));
    EXPECT_LT(s1.indexOf("男子シニア"), s1.indexOf("女子シニア"));

    // Run 2's start list: only those allowed, in st2 order (16 first).
    const QString s2 = pdfText(start2);
    for (const char* out : {"0003", "0004", "0005", "0007"})
        EXPECT_FALSE(s2.contains(out)) << out;
    EXPECT_LT(s2.indexOf("0016"), s2.indexOf("0015"));
    EXPECT_LT(s2.indexOf("0002"), s2.indexOf("0001"));

    // Run-1 results: 0005 fastest but disqualified; the tie shares rank 3 and 5 follows.
    const QString r1 = pdfText(results1);
    const QStringList order{"0001", "0012", "0002", "0008", "0014", "0016",
                            "0015", "0006", "0009", "0011", "0010", "0013"};
    for (int i = 1; i < order.size(); ++i)
        EXPECT_LT(r1.indexOf(order[i - 1]), r1.indexOf(order[i])) << order[i].toStdString();
    static const QRegularExpression tie("\\b3\\s+0002\\s.*\\n\\s*\\n\\s*3\\s+0008\\s");
    EXPECT_TRUE(r1.contains(tie)) << r1.toStdString();
    EXPECT_TRUE(r1.contains(QRegularExpression("\\b5\\s+0014\\s.*1:06\\.33\\s+\\+1\\.21")));
    const qsizetype dns = r1.indexOf("欠場/DNS (1名)"), dnf = r1.indexOf("途中棄権/DNF (1名)"),
                    dsq = r1.indexOf("失格/DSQ (1名)");
    EXPECT_LT(r1.indexOf("0014"), dns);
    EXPECT_LT(dns, dnf);
    EXPECT_LT(dnf, dsq);
    EXPECT_LT(dns, r1.indexOf("0004"));
    EXPECT_LT(dsq, r1.indexOf("旗門 12"));
    EXPECT_TRUE(r1.contains(read("高橋　健太")));

    // Final results, not published: unofficial. Each run's time with its rank; the total
    // built from the time set by hand carries the mark.
    const QString r = pdfText(results);
    EXPECT_TRUE(r.contains(QRegularExpression("非公式 印刷 \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}")));
    EXPECT_TRUE(
        r.contains(QRegularExpression("1:06\\.66\\s+\\d+\\s+1:02\\.34\\*\\s+\\d+\\s+2:09\\.00\\*")))
        << r.toStdString();
    EXPECT_TRUE(r.contains(QRegularExpression("印刷 \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}")));
    // The DSQ reason wraps in the narrow remarks column between its phrases, never inside one.
    for (const QString& list : {r, r1}) {
        const QString remarks = list.mid(list.indexOf("旗門 12"), 800);
        for (const QString phrase : {"旗門不通過、", "片スキー", "（右）"})
            EXPECT_TRUE(remarks.contains(phrase)) << phrase.toStdString() << " in\n"
                                                  << remarks.toStdString();
    }

    // Every document's text reads back as printed, as a viewer's search and copy give it: the
    // competition, its venue and every competitor's name and club exactly as stored (unified
    // ideographs, never radicals: 白馬, 長野県, 高橋; ideographic spaces), and every time with
    // its mark and digits.
    const QStringList names =
        rows("select name from result where tcode='" + QString(kCode) + "' and dropm <> '9'");
    const QStringList teams = rows("select distinct team from result where tcode='" +
                                   QString(kCode) + "' and dropm <> '9' and team <> ''");
    // The result lists leave out the classes nobody raced.
    const QString ran = "tcode='" + QString(kCode) + "' and dropm <> '9' and class1 in (select " +
                        "class1 from result where tcode='" + QString(kCode) +
                        "' and (sttime <> '' or altime <> ''))";
    const QStringList racedNames = rows("select name from result where " + ran);
    const QStringList racedTeams =
        rows("select distinct team from result where " + ran + " and team <> ''");
    EXPECT_LT(racedNames.size(), names.size());
    ASSERT_GE(names.size(), 30);
    static const QRegularExpression blank("\\s", QRegularExpression::UseUnicodePropertiesOption);
    for (const QString& pdf : {start1, start2, results1, results}) {
        const QString text = pdfText(pdf, "-raw");
        EXPECT_TRUE(text.contains(name) && text.contains(read("長野県白馬村　八方尾根")))
            << pdf.toStdString();
        if (pdf == start2 || pdf == results1)
            continue; // one class only
        // A long name wraps between its phrases (the blank at the break is not printed).
        const QString unwrapped = QString(text).remove(blank);
        for (const QString& n : pdf == results ? racedNames + racedTeams : names + teams)
            EXPECT_TRUE(unwrapped.contains(QString(n).remove(blank)))
                << n.toStdString() << " in " << pdf.toStdString();
    }
    for (const QString& pdf : {start1, start2, results1, results})
        EXPECT_FALSE(pdfText(pdf).contains(QRegularExpression("[\\x{2E80}-\\x{2FDF}\\x{2027}]")))
            << "a radical or a hyphenation point in " << pdf.toStdString();

    // No word of the table crosses into another column (section titles span the page).
    Race race;
    ASSERT_TRUE(readRace(dm.Db1, kCode, race));
    for (const auto& [pdf, kind] :
         {std::pair{results, DocumentKind::Results}, std::pair{start1, DocumentKind::StartList1}}) {
        const Document doc = buildDocument(race, kind);
        std::vector<double> edges;
        for (double mm : columnEdgesMm(doc))
            edges.push_back(mm * 72 / 25.4);
        // Section titles and text blocks span the page.
        QSet<QString> headings;
        static const QRegularExpression gap("[ 　]");
        for (const ClassDocument& part : doc.classes)
            for (const DocumentSection& section : part.sections) {
                for (const QString& w : section.heading().split(' '))
                    headings.insert(w);
                for (const QString& line : section.lines)
                    for (const QString& w : line.split(gap))
                        headings.insert(w);
            }
        int checked = 0;
        bool longNameSeen = false;
        for (const Word& w : words(pdf)) {
            const double top = 47 * 72 / 25.4, bottom = (doc.landscape ? 185 : 272) * 72 / 25.4;
            if (w.yMin < top || w.yMin > bottom || headings.contains(w.text))
                continue;
            ++checked;
            longNameSeen = longNameSeen || w.text.contains("アレ");
            const auto column = std::upper_bound(edges.begin(), edges.end(), w.xMin + 0.5);
            ASSERT_TRUE(column != edges.begin() && column != edges.end()) << w.text.toStdString();
            EXPECT_LE(w.xMax, *column + 0.5)
                << w.text.toStdString() << " on page " << w.page << " crosses into the next column";
        }
        EXPECT_GT(checked, 100);
        EXPECT_TRUE(longNameSeen);
    }

    // Renders of the demo's documents for the README.
    QDir().mkpath(PISTEL_SCREENSHOT_DIR);
    for (const auto& [pdf, png] :
         {std::pair{start1, "startlist1"}, std::pair{results, "results"}}) {
        QProcess p;
        p.start("pdftoppm", {"-png", "-r", "70", "-f", "1", "-l", "1", "-singlefile", pdf,
                             QString(PISTEL_SCREENSHOT_DIR "/") + png});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_GT(QFile(QString(PISTEL_SCREENSHOT_DIR "/") + png + ".png").size(), 10000);
    }

    // CSV in Shift-JIS, with the status codes.
    const QString csv = dir.filePath("results.csv");
    ASSERT_EQ(report("results", "csv", csv, {"--class", "5", "--encoding", "sjis"}), 0);
    QFile csvFile(csv);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QString text = fromSjis(csvFile.readAll());
    EXPECT_TRUE(text.contains(",0005,") && text.contains(",DSQ,1,12,旗門不通過、片スキー（右）,"));
    EXPECT_TRUE(text.contains(",0016,高橋　") || text.contains(",0016,"));
    EXPECT_EQ(text.count("\r\n"), 1 + 15);
}

TEST_F(DocumentsTest, TheCommandLineRefusesWhatItCannotDo) {
    const QString out = dir.filePath("x.pdf");
    EXPECT_EQ(report("results9", "pdf", out), 2);
    EXPECT_TRUE(output.contains("--kind"));
    EXPECT_EQ(report("results", "doc", out), 2);
    EXPECT_EQ(report("results", "pdf", out, {"--class", "9"}), 2);
    EXPECT_EQ(tool({"report", "--dsn", "PistelTest", "--code", "NOPE", "--kind", "results",
                    "--format", "csv", "--out", out}),
              2);
    EXPECT_EQ(report("results", "pdf", "/nonexistent/dir/x.pdf"), 1);
    EXPECT_EQ(tool({"report", "--dsn", "NoSuchSource", "--code", kCode, "--kind", "results",
                    "--format", "csv", "--out", out}),
              1);
    EXPECT_TRUE(output.contains("database error")) << output.toStdString();
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "3", "--bib", "1",
                    "--set", "DNS"}),
              2);
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--set", "XYZ"}),
              2);
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "9999",
                    "--set", "DNS"}),
              2);
    // DNS on a competitor with a start needs --force; --clear takes it away again.
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='2026GS01' and zek='0001'");
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--set", "DNS"}),
              2);
    // In the window's words (the window asks with the same text).
    EXPECT_TRUE(output.contains("ビブ 0001 には1本目のスタート時刻があります。"))
        << output.toStdString();
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--set", "DNS", "--force"}),
              0);
    EXPECT_EQ(scalar("select code from run_status where zek='0001'"), "DNS");
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--clear"}),
              0);
    EXPECT_EQ(scalar("select count(*) from run_status"), "0");
    EXPECT_EQ(scalar("select count(*) from change_history where source='status'"), "2");
    // A finished competitor is never DNF without --force, whatever other status is set.
    exec("update result set altime='10:01:00.0000', ttime='00:01:00.00', FL='F' where "
         "tcode='2026GS01' and zek='0001'");
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--set", "DSQ", "--gate", "7"}),
              0);
    EXPECT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "1", "--bib", "1",
                    "--set", "DNF"}),
              2);
    EXPECT_TRUE(output.contains("ビブ 0001 には1本目のタイムがあります。")) << output.toStdString();
    EXPECT_EQ(scalar("select code from run_status where zek='0001'"), "DSQ");
}

} // namespace
} // namespace pistel::test

namespace pistel::test {
namespace {

// The final list a jury signs, of the demo race (race data and entries' points from the demo
// data): every part, the race points and the penalty worked out by hand, and the list
// unofficial until published, official with its time, unofficial again after a change.
TEST_F(DocumentsTest, TheFinalListAJurySignsAndItsPublication) {
    raceClassFive();
    const QString pdf = dir.filePath("final.pdf"), csv = dir.filePath("final.csv");
    ASSERT_EQ(report("results", "pdf", pdf), 0) << output.toStdString();
    const QString text = pdfText(pdf);
    // Only the class that raced; each part in its order.
    EXPECT_FALSE(text.contains("女子シニア"));
    qsizetype at = 0;
    for (const char* part :
         {"大会データ", "技術代表 (TD) 山本 一郎", "レフェリー 佐藤 恵子", "公認番号 12345/01/22",
          "１本目: コースセッター 中村 大輔", "前走者 A 木村 翔、B 清水 陸", "天候 晴れ",
          "登録番号", "＋ペナルティ", "１本目 欠場/DNS", "１本目 途中棄権/DNF", "１本目 失格/DSQ",
          "集計", "順位のついた選手 12 名", "ペナルティ", "記号", "計時", "代替時刻: なし",
          "署名"}) {
        const qsizetype found = text.indexOf(QString::fromUtf8(part), at);
        EXPECT_GE(found, 0) << part << " after " << at;
        at = std::max(at, found);
    }
    // The penalty, by hand: the five best points among the first ten, 0011 25.43, 0015 33.95,
    // 0008 34.04, 0001 35.13, 0012 42.56: A = 171.11, and they are the starters' five best
    // too: B = 171.11. Their race points (winner 0016, 2:09.00 = 12900): 0011 2:14.66:
    // 1010 × 566 / 12900 = 44.31; 0015 2:12.15: 24.66; 0008 2:11.08: 16.29; 0001 2:10.13:
    // 1010 × 113 / 12900 = 8.847…: 8.85; 0012 2:10.55: 12.14; C = 106.25.
    // (171.11 + 171.11 − 106.25) ÷ 10 = 23.597: 23.60.
    ASSERT_EQ(tool({"penalty", "--dsn", "PistelTest", "--code", kCode}), 0) << output.toStdString();
    EXPECT_EQ(output, "class,A,B,C,penalty\n5,171.11,171.11,106.25,23.60\n");
    EXPECT_TRUE(text.contains("ペナルティ = (A + B − C) ÷ 10 = 23.60")) << text.toStdString();
    // Every classified competitor's race points, P = 1010 × T / 12900 − 1010 to 1/100 from
    // 0.005 up, and the final points with the penalty, in the CSV and on the list.
    ASSERT_EQ(report("results", "csv", csv, {"--class", "5"}), 0);
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int classified = 0;
    for (const QString& line : QString::fromUtf8(file.readAll().mid(3)).split("\r\n")) {
        const QStringList f = line.split(',');
        if (f.size() < 22 || f[2].isEmpty() || f[2] == "rank")
            continue;
        ++classified;
        const long long t = hundredthsOf(f[10]);
        const long long p = (2 * 1010LL * 100 * (t - 12900) + 12900) / (2 * 12900);
        const QString points = QString::asprintf("%lld.%02lld", p / 100, p % 100);
        EXPECT_EQ(f[20], points) << f[3].toStdString();
        EXPECT_EQ(f[21], QString::asprintf("%lld.%02lld", (p + 2360) / 100, (p + 2360) % 100));
        EXPECT_TRUE(text.contains(
            QRegularExpression(f[3] + ".*\\s" + QRegularExpression::escape(points) + "\\s")))
            << f[3].toStdString() << " " << points.toStdString();
    }
    EXPECT_EQ(classified, 12);

    // The pages as a reader sees them.
    QDir().mkpath(PISTEL_SCREENSHOT_DIR);
    QProcess render;
    render.start("pdftoppm",
                 {"-png", "-r", "60", pdf, QString(PISTEL_SCREENSHOT_DIR "/final-results")});
    ASSERT_TRUE(render.waitForFinished(30000));
    EXPECT_EQ(render.exitCode(), 0);

    // Unofficial until published; official with the time of publication; unofficial again
    // after a change; official again when published again, unofficial when taken back.
    const auto state = [&] {
        EXPECT_EQ(report("results", "pdf", pdf), 0);
        const QString t = pdfText(pdf);
        static const QRegularExpression label(
            "(非公式 印刷|公式 発表) \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}");
        const auto m = label.match(t);
        return m.hasMatch() ? m.captured(1) : QString("none");
    };
    EXPECT_EQ(state(), "非公式 印刷");
    const auto publish = [&](const QStringList& more) {
        return tool(QStringList{"publish", "--dsn", "PistelTest", "--code", kCode} + more);
    };
    ASSERT_EQ(publish({"--run", "race"}), 0) << output.toStdString();
    EXPECT_TRUE(output.startsWith("published race at ")) << output.toStdString();
    EXPECT_EQ(state(), "公式 発表");
    EXPECT_EQ(scalar("select what from change_history where source='publish'"), "公式発表: 大会");
    ASSERT_EQ(tool({"status", "--dsn", "PistelTest", "--code", kCode, "--run", "2", "--bib", "13",
                    "--set", "DSQ", "--gate", "3", "--force"}),
              0)
        << output.toStdString();
    EXPECT_EQ(state(), "非公式 印刷");
    ASSERT_EQ(publish({"--run", "race"}), 0);
    EXPECT_EQ(state(), "公式 発表");
    ASSERT_EQ(publish({"--run", "race", "--undo"}), 0);
    EXPECT_EQ(state(), "非公式 印刷");
    EXPECT_EQ(publish({"--run", "3"}), 2);
    // The run-1 list has its own publication.
    ASSERT_EQ(publish({"--run", "1"}), 0);
    ASSERT_EQ(report("results1", "pdf", pdf), 0);
    EXPECT_TRUE(pdfText(pdf).contains("公式 発表"));
    EXPECT_EQ(scalar("select count(*) from change_history where source='publish'"), "4");
}

} // namespace
} // namespace pistel::test
