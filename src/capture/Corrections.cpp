// The operator's corrections on the run pages: moving the boxes, assigning a logged impulse
// by hand, and cancelling start or finish times.
#include "RunControl.h"
#include "TimeText.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <stdexcept>

namespace pistel {

const char* const kNoImpulseSelected =
    "時刻が選択されていません。割り当てる時刻を一覧で選択してください。";
const char* const kBibNotANumber = "ビブ番号は数字で入力してください。";

const char* const kImpulseGone = "選択した時刻が見つかりません。一覧を確認してください。";
const char* const kConfirmCaption = "確認";
const char* const kTimeUsedTwice =
    "この時刻は既にビブ %1 に割り当てられています。ビブ %2 にも割り当てますか？";
const char* const kFinishBeforeStart =
    "フィニッシュ時刻 %1 がスタート時刻 %2 より前です。このまま割り当てますか？";
const char* const kBibNotInCompetition =
    "ビブ %1 はこの大会に登録されていません。このビブにしますか？";

namespace {
void tell(OperatorDialog* dialog, const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    dialog->showMessage(text);
}
} // namespace

bool RunControl::confirm(const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    return dialog->askYesNo(text, QString::fromUtf8(kConfirmCaption));
}

QString RunControl::currentZek(const Query& list) {
    return list.fieldByName(u"zek").asString();
}

void RunControl::moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&),
                         RunPage& page) {
    // The lists run backwards (latest first), so the competitor who comes next is above.
    if (step < 0)
        list.prior();
    else
        list.next();
    (page.*setBox)(currentZek(list));
}

void RunControl::DBGrid2CellClick() {
    page1.setFinishBox(currentZek(page1.finishList));
    const int cls = page1.finishList.fieldByName(u"class1").asInteger();
    if (cls == resultsGridClass)
        return;
    resultsGridClass = cls;
    openWith(dm.QresultBib, resultsStatement(QStringLiteral("FL"), cls, QStringLiteral("altime")));
}

QString RunControl::selectedImpulseId(const Query& impulses) {
    if (!impulses.isOpen() || impulses.currentRow() < 0)
        return {};
    return impulses.fieldByName(u"id").asString();
}

bool RunControl::selectedImpulseTime(const Query& impulses, const QString& impulseId,
                                     QString& time) {
    // Assigning without a selected impulse would store an empty time of day.
    const QString id = impulseId.isEmpty() ? selectedImpulseId(impulses) : impulseId;
    if (id.isEmpty()) {
        tell(dialog, QString::fromUtf8(kNoImpulseSelected));
        return false;
    }
    // Read by its row id: the list may have been re-read since the operator chose it.
    openWith(dm.Qedit, {"select dtime from pulsedata where tcode = '" + code() + "'",
                        "and id = '" + sqlValue(id) + "'"});
    if (dm.Qedit.recordCount() == 0) {
        tell(dialog, QString::fromUtf8(kImpulseGone));
        return false;
    }
    time = dm.Qedit.fieldByName(u"dtime").asString();
    return true;
}

bool RunControl::confirmSingleUse(const QString& timeColumn, const QString& time,
                                  const QString& bib) {
    openWith(dm.Qedit, {"select zek from result where tcode = '" + code() + "'",
                        "and " + timeColumn + " = '" + sqlValue(time) + "'",
                        "and zek <> '" + sqlValue(bib) + "' order by zek"});
    if (dm.Qedit.recordCount() == 0)
        return true;
    return confirm(
        QString::fromUtf8(kTimeUsedTwice).arg(dm.Qedit.fieldByName(u"zek").asString(), bib));
}

void RunControl::N1Click(const QString& impulseId) {
    RunPage& p = currentPage();
    const QString b = p.startBox();
    QString t;
    if (!selectedImpulseTime(p.startPulses, impulseId, t))
        return;
    if (!confirmSingleUse(isRun1() ? QStringLiteral("sttime") : QStringLiteral("sttime2"), t, b))
        return;
    const QString set = isRun1() ? QStringLiteral("update result set sttime = '")
                                 : QStringLiteral("update result set sttime2 = '");
    const QString state = isRun1() ? QStringLiteral("',fl = 'S'") : QStringLiteral("',fl2 = 'S'");
    execWith(dm.Qedit, {set + sqlValue(t) + state, "where tcode = '" + code() + "'",
                        "and zek = '" + sqlValue(b) + "'"});
    p.startList.reread();
    position(p.startList, b);
    // On to the next starter (the row above), as "次" does: the row below started before.
    p.startList.prior();
    p.setStartBox(currentZek(p.startList));
    const QString f = p.finishBox();
    p.finishList.reread();
    position(p.finishList, f);
}

void RunControl::N2Click(const QString& impulseId) {
    RunPage& p = currentPage();
    const QString b = p.finishBox();
    QString fin;
    if (!selectedImpulseTime(p.finishPulses, impulseId, fin))
        return;
    if (!confirmSingleUse(isRun1() ? QStringLiteral("altime") : QStringLiteral("altime2"), fin, b))
        return;
    const QString where = "where tcode = '" + code() + "'";
    const QString bib = "and zek = '" + sqlValue(b) + "'";
    openWith(dm.Qedit, {"select sttime,sttime2,ttime2 from result " + where, bib});
    const QString s = dm.Qedit.fieldByName(isRun1() ? u"sttime" : u"sttime2").asString();
    const QString run2Time = dm.Qedit.fieldByName(u"ttime2").asString();
    if (!s.isEmpty() && timeOfDayUnits(fin) < timeOfDayUnits(s) &&
        !confirm(QString::fromUtf8(kFinishBeforeStart).arg(fin.trimmed(), s.trimmed())))
        return;
    const QString d = runTimeText(s, fin);
    const QString n = isRun1() ? QString() : QStringLiteral("2");
    const QString parts = ",TH" + n + " = '" + d.mid(0, 2) + "',TM" + n + " = '" + d.mid(3, 2) +
                          "' ,TS" + n + " = '" + d.mid(6, 2) + "' ,TMS" + n + " = '" + d.mid(9, 2) +
                          "'";
    if (isRun1()) {
        // The total includes a run-2 time that is already stored.
        execWith(dm.Qedit,
                 {"update result set altime = '" + sqlValue(fin) + "', ttime = '" + d + "'",
                  ",totaltime = '" + totalTimeText(d, run2Time) + "' ,fl = 'F'", parts, where,
                  bib});
    } else {
        execWith(dm.Qedit,
                 {"update result set altime2 = '" + sqlValue(fin) + "', ttime2 = '" + d + "'",
                  parts, where, bib});
        calcruntime(b, 2);
    }
    p.finishList.reread();
    position(p.finishList, b);
    p.finishList.prior();
    p.setFinishBox(currentZek(p.finishList));
    p.finishPulses.reread();
    p.results.reread();
    position(p.results, b);
}

void RunControl::N3Click(const QString& bib) {
    RunPage& p = currentPage();
    const QString b = bib.isEmpty() ? p.startBox() : bib;
    execWith(dm.Qedit, {isRun1() ? QStringLiteral("update result set sttime = '',fl = 'N'")
                                 : QStringLiteral("update result set sttime2 = '',fl2 = 'N'"),
                        "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
    p.startList.reread();
    position(p.startList, b);
    // The finish box keeps its competitor, as after a start: left on the list's first row
    // it would hand the next finish impulse to the latest starter instead.
    const QString f = p.finishBox();
    p.finishList.reread();
    position(p.finishList, f);
}

void RunControl::N4Click(const QString& bib) {
    RunPage& p = currentPage();
    const QString b = bib.isEmpty() ? p.finishBox() : bib;
    execWith(dm.Qedit, {isRun1() ? QStringLiteral("update result set altime = '',fl = 'S'")
                                 : QStringLiteral("update result set altime2 = '',fl2 = 'S'"),
                        "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
    p.finishList.reread();
    position(p.finishList, b);
    p.results.prior();
    const QString above = currentZek(p.results);
    p.results.reread();
    position(p.results, above);
}

bool RunControl::enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                          const QString& typed) {
    bool ok = false;
    const int number = typed.trimmed().toInt(&ok);
    if (!ok) {
        tell(dialog, QString::fromUtf8(kBibNotANumber));
        return false;
    }
    const QString bib = QString::asprintf("%.4d", number);
    openWith(dm.Qedit, {"select zek from result where tcode = '" + code() + "'",
                        "and zek = '" + sqlValue(bib) + "'"});
    if (dm.Qedit.recordCount() == 0 && !confirm(QString::fromUtf8(kBibNotInCompetition).arg(bib)))
        return false;
    (page.*setBox)(bib);
    if (list.isOpen())
        position(list, bib);
    return true;
}

bool RunControl::EdStnmKeyDown(RunPage& page, const QString& typed) {
    return enterBib(page.startList, &RunPage::setStartBox, page, typed);
}

bool RunControl::EdFinnmKeyDown(RunPage& page, const QString& typed) {
    return enterBib(page.finishList, &RunPage::setFinishBox, page, typed);
}

} // namespace pistel
