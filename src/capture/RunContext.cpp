#include "RunContext.h"

#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <stdexcept>

namespace pistel {

const char* const kChangedWhileAsked = "質問の間にビブ %1 の時刻か状態が変わりました。"
                                       "何も変更していません。もう一度操作してください。";

namespace {
const char* const kConfirmCaption = "確認";
}

RunColumns RunColumns::of(int run) {
    if (run == 1)
        return {1,
                QString(),
                QStringLiteral("sttime"),
                QStringLiteral("altime"),
                QStringLiteral("st1"),
                QStringLiteral("FL")};
    return {2,
            QStringLiteral("2"),
            QStringLiteral("sttime2"),
            QStringLiteral("altime2"),
            QStringLiteral("st2"),
            QStringLiteral("FL2")};
}

RunContext::RunContext(AppState& app_, TDM1& dm_, OperatorDialog* dialog_, QObject* parent)
    : QObject(parent), app(app_), dm(dm_), dialog(dialog_),
      page1(1, dm.Qdpst, dm.Qdpfn, dm.QPulseSt, dm.QPulseFn, dm.QresultBib, this),
      page2(2, dm.Qdpst2, dm.Qdpfn2, dm.QPulseSt2, dm.QPulseFn2, dm.QresultBib2, this) {}

bool RunContext::isRun1() const {
    return app.isRun1();
}

QString RunContext::code() const {
    return sqlValue(app.competitionCode);
}

void RunContext::tell(const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    dialog->showMessage(text);
}

bool RunContext::confirm(const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    return dialog->askYesNo(text, QString::fromUtf8(kConfirmCaption));
}

bool RunContext::unchangedSinceAsked(const QString& bib, const RowSnapshot& asked) {
    // Timer lines are captured while a question is open: what the answer acts on must still
    // be what the question was about, or the answer would undo a captured time.
    if (readSnapshots(dm.Db1, app.competitionCode, bib).value(bib) == asked)
        return true;
    tell(QString::fromUtf8(kChangedWhileAsked).arg(bib));
    return false;
}

void RunContext::rereadStatuses() {
    Query& q = dm.Qedit;
    q.setSql({"select zek,run,code,gate,reason from run_status where tcode = '" + code() + "'"});
    q.open();
    marks_.statuses[0].clear();
    marks_.statuses[1].clear();
    for (int r = 0; r < q.recordCount(); ++r) {
        const int run = q.text(r, 1).toInt();
        if (run == 1 || run == 2)
            marks_.statuses[run - 1].insert(q.text(r, 0),
                                            {q.text(r, 2), q.text(r, 3), q.text(r, 4)});
    }
    q.close();
}

void RunContext::rereadMarks() {
    ManualTimes marks =
        readManualTimes(dm.Db1, app.competitionCode, readSnapshots(dm.Db1, app.competitionCode));
    if (marks == marks_.manualTimes)
        return;
    marks_.manualTimes = std::move(marks);
    emit statusesChanged();
}

RunMarks RunContext::marks() const {
    RunMarks m = marks_;
    m.resultsGridClass = resultsGridClass;
    return m;
}

void RunContext::rereadUnassigned() {
    Query& q = dm.Qedit;
    q.setSql({"select pulse_id from pulse_unassigned where tcode = '" + code() + "'"});
    q.open();
    QSet<QString> ids;
    for (int r = 0; r < q.recordCount(); ++r)
        ids.insert(q.text(r, 0));
    QStringList missing;
    if (!app.currentRun.isEmpty()) {
        const RunColumns c = RunColumns::of(isRun1() ? 1 : 2);
        q.setSql({"select zek from result where tcode = '" + code() + "'",
                  "and " + c.finish + " <> '' and " + c.start + " = '' order by zek"});
        q.open();
        for (int r = 0; r < q.recordCount(); ++r)
            missing << q.text(r, 0);
    }
    q.close();
    if (ids == marks_.unassigned && missing == marks_.missingStarts)
        return;
    marks_.unassigned = ids;
    marks_.missingStarts = missing;
    emit unassignedChanged();
}

} // namespace pistel
