#include "TDM1.h"

namespace pistel {

QString connectionString(const QString& dsn, const QString& user, const QString& password) {
    return QStringLiteral("DSN=%1;UID=%2;PWD=%3;CHARSET=sjis").arg(dsn, user, password);
}

namespace {
const QStringList kResult{QStringLiteral("select * from result")};
const QStringList kPulses{QStringLiteral("select * from pulsedata")};
} // namespace

TDM1::TDM1(QObject* parent)
    : QObject(parent), Qtaikai(Db1, "Qtaikai"), Qtemp(Db1, "Qtemp"), Qtemp2(Db1, "Qtemp2"),
      Qedit(Db1, "Qedit"), Query2(Db1, "Query2"), Query4(Db1, "Query4"), Qstnm(Db1, "Qstnm"),
      Qftnm(Db1, "Qftnm"), Qdpst(Db1, "Qdpst", kResult), Qdpfn(Db1, "Qdpfn", kResult),
      QPulseSt(Db1, "QPulseSt", kPulses), QPulseFn(Db1, "QPulseFn", kPulses),
      QresultBib(Db1, "QresultBib", kResult), Qdpst2(Db1, "Qdpst2", kResult),
      Qdpfn2(Db1, "Qdpfn2", kResult), QPulseSt2(Db1, "QPulseSt2", kPulses),
      QPulseFn2(Db1, "QPulseFn2", kPulses), QresultBib2(Db1, "QresultBib2", kResult) {}

void TDM1::useSjisNames() {
    Qtemp.setSql({QStringLiteral("/*!40101 set names sjis */")});
    Qtemp.execSql();
}

} // namespace pistel
