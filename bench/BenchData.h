#pragma once
// The competition the benchmarks time lines against, and the lines themselves.
#include "data/Query.h"
#include "data/TDM1.h"

#include <QStringList>
#include <cstdint>
#include <ctime>

namespace pistel::bench {

inline const QString kCode = QStringLiteral("BENCH");

inline void exec(TDM1& dm, const QString& sql) {
    Query q(dm.Db1, QStringLiteral("bench"));
    q.setSql({sql});
    q.execSql();
}

inline QString timeOfDay(std::int64_t tenThousandths) {
    const std::int64_t s = tenThousandths / 10000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        .arg(tenThousandths % 10000, 4, 10, QLatin1Char('0'));
}

inline QByteArray timerLine(const QString& bib, const char* channel, std::int64_t t) {
    return (QStringLiteral(" ") + bib + QStringLiteral(" ") + QLatin1String(channel) +
            QStringLiteral("  ") + timeOfDay(t) + QStringLiteral(" 00\r"))
        .toLatin1();
}

// Every row a benchmark leaves, in the tables of our own too: each run starts from the
// same tables, so that runs can be compared. Rows of impulses that are gone (left by runs
// before these were deleted) go as well; the benchmarks' server is their own.
inline void clean(TDM1& dm) {
    for (const char* table : {"pulse_run", "pulse_receipt"}) {
        exec(dm, QStringLiteral("delete t from %1 t join pulsedata p on p.id = t.pulse_id "
                                "where p.tcode = '%2'")
                     .arg(QLatin1String(table), kCode));
        exec(dm, QStringLiteral("delete t from %1 t left join pulsedata p on p.id = t.pulse_id "
                                "where p.id is null")
                     .arg(QLatin1String(table)));
    }
    for (const char* table :
         {"pulse_unassigned", "run_status", "change_history", "result", "pulsedata", "handtm"})
        exec(dm,
             QStringLiteral("delete from %1 where tcode = '%2'").arg(QLatin1String(table), kCode));
}

// `competitors` in four classes and `impulses` already logged (bibs 9000 up, so that none
// is captured again).
inline void prepare(TDM1& dm, int competitors, int impulses) {
    clean(dm);
    const int classes = 4;
    const int perClass = (competitors + classes - 1) / classes;
    QStringList values;
    for (int i = 0; i < competitors; ++i) {
        values << QStringLiteral("('%1','%2',%3,%4,%5)")
                      .arg(kCode)
                      .arg(i + 1, 4, 10, QLatin1Char('0'))
                      .arg(i % perClass + 1)
                      .arg(perClass - i % perClass)
                      .arg(classes - i / perClass);
    }
    if (!values.isEmpty())
        exec(dm, "insert into result (tcode,zek,st1,st2,class1) values " + values.join(','));
    values.clear();
    for (int i = 0; i < impulses; ++i) {
        values << QStringLiteral("('%1',%2,' ','%3','%4','%5')")
                      .arg(kCode)
                      .arg(360000 + i)
                      .arg(9000 + i % 1000, 4, 10, QLatin1Char('0'))
                      .arg(i % 2 ? "C1" : "C0")
                      .arg(timeOfDay(std::int64_t(8) * 3600 * 10000 + std::int64_t(i) * 10000));
    }
    if (!values.isEmpty())
        exec(dm,
             "insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values " + values.join(','));
}

inline double ownCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace pistel::bench
