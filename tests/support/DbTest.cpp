#include "DbTest.h"

#include "data/SqlValue.h"

namespace pistel::test {

void DbTest::SetUp() {
    const QString dsn = qEnvironmentVariable("PISTEL_TEST_DSN", QStringLiteral("PistelTest"));
    dm.Db1.open(connectionString(dsn));
    for (const char* table : {"result", "pulsedata", "taikai", "execcheck", "cs_master", "handtm",
                              "pulse_receipt", "pulse_unassigned", "pulse_run", "capture_holder",
                              "run_status", "change_history", "backup_impulse", "backup_receipt",
                              "hand_time", "entry_detail", "start_draw", "race_data", "run2_rule",
                              "publication"})
        exec(QStringLiteral("delete from ") + QLatin1String(table));
}

void DbTest::exec(const QString& sql) {
    Query q(dm.Db1, QStringLiteral("test"));
    q.setSql({sql});
    q.execSql();
}

QString DbTest::scalar(const QString& sql) {
    Query q(dm.Db1, QStringLiteral("test"));
    q.setSql({sql});
    q.open();
    return q.recordCount() == 0 ? QString() : q.text(0, 0);
}

QStringList DbTest::rows(const QString& sql) {
    Query q(dm.Db1, QStringLiteral("test"));
    q.setSql({sql});
    q.open();
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.rows().columnCount(); ++c)
            cells << q.text(r, c);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

void DbTest::addCompetition(const QString& code, const QString& name) {
    exec("insert into taikai (tcode,tname,tdate) values ('" + sqlValue(code) + "','" +
         sqlValue(name) + "','2026-12-20')");
}

void DbTest::addCompetitors(const QString& code, const QList<Competitor>& list) {
    for (const Competitor& c : list)
        exec(QStringLiteral("insert into result (tcode,zek,st1,st2,class1,dropm) values "
                            "('%1','%2',%3,%4,%5,'%6')")
                 .arg(sqlValue(code), sqlValue(c.zek))
                 .arg(c.st1)
                 .arg(c.st2)
                 .arg(c.class1)
                 .arg(sqlValue(c.dropm)));
}

QString DbTest::field(const QString& code, const QString& zek, const QString& column) {
    return scalar("select " + column + " from result where tcode='" + sqlValue(code) +
                  "' and zek='" + sqlValue(zek) + "'");
}

} // namespace pistel::test
