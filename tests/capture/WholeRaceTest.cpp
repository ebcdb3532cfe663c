#include "CaptureFixture.h"
#include "WholeRaceData.h"

#include <map>
#include <set>

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::Competitor;

namespace {

// Who the operator expects next, kept from the impulses alone.
struct RaceModel {
    QStringList startOrder;             // zek in start order of the run
    std::map<QString, QString> started; // zek -> start time of day
    std::set<QString> finished;
    std::map<QString, int> classOf;

    QString nextStarter(const QString& justStarted) const {
        for (qsizetype i = startOrder.indexOf(justStarted) + 1; i < startOrder.size(); ++i)
            if (!started.count(startOrder[i]))
                return startOrder[i];
        return justStarted; // nobody left: the box keeps the bib just timed
    }
    bool onCourse(const QString& zek) const { return started.count(zek) && !finished.count(zek); }
    // The earliest starter still on course, of one class or (-1) of any.
    QString earliestOnCourse(int cls = -1) const {
        QString best;
        for (const auto& [zek, time] : started) {
            if (finished.count(zek) || (cls >= 0 && classOf.at(zek) != cls))
                continue;
            if (best.isEmpty() || time < started.at(best))
                best = zek;
        }
        return best;
    }
};

} // namespace

class WholeRaceTest : public CaptureFixture {
protected:
    void runRace(const RaceImpulse* impulses, size_t count, RunPage& page, RaceModel& model) {
        for (size_t i = 0; i < count; ++i) {
            const QString text = impulses[i].line;
            const QString owner = impulses[i].owner;
            const bool isStart = text.mid(6, 2) == "C0";
            const QString finishBoxBefore = page.finishBox();
            const bool finishBoxOnCourse = model.onCourse(finishBoxBefore);
            line(text);
            SCOPED_TRACE(text.toStdString());
            if (isStart) {
                model.started[owner] = text.mid(10, 13);
                EXPECT_EQ(page.startBox(), model.nextStarter(owner));
                // A start does not take the finish box off a competitor on course; the first
                // start of the run puts it on that starter.
                if (finishBoxOnCourse) {
                    EXPECT_EQ(page.finishBox(), finishBoxBefore);
                } else if (model.started.size() == 1) {
                    EXPECT_EQ(page.finishBox(), owner);
                }
            } else {
                model.finished.insert(owner);
                QString expected = model.earliestOnCourse(model.classOf.at(owner));
                if (expected.isEmpty())
                    expected = model.earliestOnCourse();
                EXPECT_EQ(page.finishBox(), expected.isEmpty() ? owner : expected);
            }
        }
    }
};

TEST_F(WholeRaceTest, TwoRunsDrivenOnlyByTimerLines) {
    RaceModel run1, run2;
    for (const RaceCompetitor& c : kCompetitors)
        run1.classOf[c.zek] = run2.classOf[c.zek] = c.class1;
    addRaceField();
    // Start orders: classes from the highest down, then st1 (run 1) or st2 (run 2).
    auto order = [&](auto key) {
        QList<RaceCompetitor> list(std::begin(kCompetitors), std::end(kCompetitors));
        std::sort(list.begin(), list.end(), [&](const auto& a, const auto& b) {
            return a.class1 != b.class1 ? a.class1 > b.class1 : key(a) < key(b);
        });
        QStringList out;
        for (const auto& c : list)
            out << c.zek;
        return out;
    };
    run1.startOrder = order([](const RaceCompetitor& c) { return c.st1; });
    run2.startOrder = order([](const RaceCompetitor& c) { return c.st2; });
    // Run 2 is for those who finished run 1.
    run2.startOrder.removeAll("0015");
    run2.startOrder.removeAll("0025");

    control.selection.selectRun1();
    EXPECT_EQ(control.page1.startBox(), "0001");
    runRace(kRun1, std::size(kRun1), control.page1, run1);

    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startBox(), "0010");
    runRace(kRun2, std::size(kRun2), control.page2, run2);

    expectRaceResults();
    EXPECT_EQ(pulseCount(), int(std::size(kRun1) + std::size(kRun2)));
    expectOtherUntouched();
}
