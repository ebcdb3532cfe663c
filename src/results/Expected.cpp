#include "Expected.h"

#include "data/SqlValue.h"

namespace pistel::expected {
namespace {
// The competition code as a literal, not result.tcode: the server then looks up the few
// statuses of this competition instead of materialising the statuses of every competition.
QString noStatusIn(int run, const QString& code) {
    return " and not exists (select 1 from run_status s where s.tcode = '" + sqlValue(code) +
           "' and s.zek = result.zek and s.run = " + QString::number(run) + ")";
}
} // namespace

QString mayStartRun2Condition(const QString& code) {
    return QStringLiteral(" and dropm <> '9' and FL = 'F'") + noStatusIn(1, code);
}

QString inRunCondition(int run, const QString& code) {
    return (run == 2 ? mayStartRun2Condition(code) : QStringLiteral(" and dropm <> '9'")) +
           noStatusIn(run, code);
}

bool mayStartRun2(const QString& dropm, const QString& fl1, bool statusInRun1) {
    return dropm != u"9" && fl1 == u"F" && !statusInRun1;
}

bool inRun(int run, const QString& dropm, const QString& fl1, bool statusInRun1, bool statusInRun) {
    if (dropm == u"9" || statusInRun)
        return false;
    return run == 1 || mayStartRun2(dropm, fl1, statusInRun1);
}

} // namespace pistel::expected
