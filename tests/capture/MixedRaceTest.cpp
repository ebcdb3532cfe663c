#include "CaptureFixture.h"
#include "WholeRaceData.h"
#include "support/ScriptedDialog.h"

#include <functional>
#include <map>

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::Competitor;
using pistel::test::ScriptedDialog;

// The race of WholeRaceTest again, with impulses missed or wrong and put right by hand as an
// operator would; it must end with the same results as the clean race.
class MixedRaceTest : public CaptureFixture {
protected:
    struct Step {
        std::function<QString(const QString&)> change; // how the line arrives
        std::function<void()> before;                  // what the operator does before it
        std::function<void()> after;                   // and after it
    };
    using Script = std::map<std::pair<QString, QString>, Step>; // (owner, channel) -> step

    void run(const RaceImpulse* impulses, size_t count, const Script& script) {
        for (size_t i = 0; i < count; ++i) {
            QString text = impulses[i].line;
            const auto it = script.find({impulses[i].owner, text.mid(6, 2)});
            const Step* step = it == script.end() ? nullptr : &it->second;
            if (step && step->change)
                text = step->change(text);
            if (step && step->before)
                step->before();
            line(text);
            if (step && step->after)
                step->after();
        }
    }
    static QString timeOf(const RaceImpulse* impulses, size_t count, const QString& owner,
                          const QString& channel) {
        for (size_t i = 0; i < count; ++i)
            if (owner == impulses[i].owner && QString(impulses[i].line).mid(6, 2) == channel)
                return QString(impulses[i].line).mid(10, 13);
        ADD_FAILURE() << "no impulse " << owner.toStdString();
        return {};
    }
    // Select the impulse with this time of day in an impulse list.
    void pick(Query& impulses, const QString& dtime) {
        ASSERT_TRUE(impulses.locate(u"dtime", dtime)) << dtime.toStdString();
    }
    ScriptedDialog dialog;
};

TEST_F(MixedRaceTest, MissedAndWrongImpulsesPutRightByHand) {
    control.dialog = &dialog;
    addRaceField();
    RunPage& p1 = control.page1;
    RunPage& p2 = control.page2;
    const size_t n1 = std::size(kRun1), n2 = std::size(kRun2);

    Script run1{
        // The start channel is left in manual mode for 0003 and 0004; then the operator
        // assigns both starts from the impulse list, the later one first.
        {{"0003", "C0"}, {nullptr, [&] { p1.setStartMode(RunPage::Manual); }, nullptr}},
        {{"0004", "C0"},
         {nullptr, nullptr,
          [&] {
              p1.setStartMode(RunPage::Auto);
              control.selection.findStartBib(p1, "4");
              pick(dm.QPulseSt, timeOf(kRun1, n1, "0004", "C0"));
              control.corrections.assignStartImpulse();
              EXPECT_EQ(p1.startBox(), "0005"); // N1 moves on to the next starter
              control.selection.findStartBib(p1, "3");
              pick(dm.QPulseSt, timeOf(kRun1, n1, "0003", "C0"));
              control.corrections.assignStartImpulse();
              control.selection.findStartBib(p1, "5");
          }}},
        // A finish the timer marked "m" is assigned by hand.
        {{"0006", "C1"},
         {[](const QString& l) { return "m" + l.mid(1); }, nullptr,
          [&] {
              EXPECT_EQ(f("0006", "altime"), "");
              control.selection.findFinishBib(p1, "6");
              pick(dm.QPulseFn, timeOf(kRun1, n1, "0006", "C1"));
              control.corrections.assignFinishImpulse();
          }}},
        // The start of 0008 arrives with the wrong bib 0018.
        {{"0008", "C0"},
         {[](const QString& l) { return " 0018" + l.mid(5); }, nullptr,
          [&] {
              EXPECT_NE(f("0018", "sttime"), "");
              control.selection.findStartBib(p1, "18");
              control.corrections.cancelStartTime();
              control.selection.findStartBib(p1, "8");
              pick(dm.QPulseSt, timeOf(kRun1, n1, "0008", "C0"));
              control.corrections.assignStartImpulse();
              control.selection.findStartBib(p1, "9");
          }}},
    };
    Script run2{
        // One finish is missed in manual mode and assigned from the list at once.
        {{"0012", "C1"},
         {nullptr, [&] { p2.setFinishMode(RunPage::Manual); },
          [&] {
              EXPECT_EQ(f("0012", "altime2"), "");
              EXPECT_EQ(p2.finishBox(), "0012");
              pick(dm.QPulseFn2, timeOf(kRun2, n2, "0012", "C1"));
              control.corrections.assignFinishImpulse();
              p2.setFinishMode(RunPage::Auto);
          }}},
        // The operator typed a wrong bib: 0027's start goes to 0026. Put right.
        {{"0027", "C0"},
         {nullptr, [&] { control.selection.findStartBib(p2, "26"); },
          [&] {
              EXPECT_EQ(f("0026", "sttime2"), timeOf(kRun2, n2, "0027", "C0"));
              control.selection.findStartBib(p2, "26");
              control.corrections.cancelStartTime();
              control.selection.findStartBib(p2, "27");
              pick(dm.QPulseSt2, timeOf(kRun2, n2, "0027", "C0"));
              control.corrections.assignStartImpulse();
              control.selection.findStartBib(p2, "26");
          }}},
    };

    control.selection.selectRun1();
    run(kRun1, n1, run1);
    control.selection.selectRun2();
    run(kRun2, n2, run2);

    EXPECT_TRUE(dialog.messages.isEmpty());
    expectRaceResults();
    EXPECT_EQ(pulseCount(), int(n1 + n2));
    expectOtherUntouched();
}
