#include "Expected.h"

namespace pistel::expected {
namespace {
QString noStatusIn(int run) {
    return QStringLiteral(" and not exists (select 1 from run_status s where s.tcode = "
                          "result.tcode and s.zek = result.zek and s.run = %1)")
        .arg(run);
}
} // namespace

QString mayStartRun2Condition() {
    return QStringLiteral(" and dropm <> '9' and FL = 'F'") + noStatusIn(1);
}

QString inRunCondition(int run) {
    return (run == 2 ? mayStartRun2Condition() : QStringLiteral(" and dropm <> '9'")) +
           noStatusIn(run);
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
