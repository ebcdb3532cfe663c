#include "LiveStore.h"

#include <QDateTime>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <stdexcept>

namespace pistel::live {

LiveStore::LiveStore(const QString& file)
    : connection_(QStringLiteral("live-") + QUuid::createUuid().toString()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(file);
    // A store another process has locked answers at once (the request gets a 503) instead of
    // holding up every phone's request for seconds.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    if (!db.open())
        throw std::runtime_error("cannot open " + file.toStdString() + ": " +
                                 db.lastError().text().toStdString());
    for (const char* sql : {
             "CREATE TABLE IF NOT EXISTS state (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
             "CREATE TABLE IF NOT EXISTS points (code TEXT NOT NULL, bib TEXT NOT NULL, "
             "race_points TEXT NOT NULL, final_points TEXT NOT NULL, PRIMARY KEY (code, bib))",
             "CREATE TABLE IF NOT EXISTS competitions (code TEXT PRIMARY KEY, title TEXT NOT NULL)",
             "CREATE TABLE IF NOT EXISTS classes (code TEXT PRIMARY KEY, name TEXT NOT NULL)",
             "CREATE TABLE IF NOT EXISTS competitors (code TEXT NOT NULL, bib TEXT NOT NULL, "
             "name TEXT NOT NULL, team TEXT NOT NULL, class TEXT NOT NULL, "
             "PRIMARY KEY (code, bib))",
             "CREATE TABLE IF NOT EXISTS results (code TEXT NOT NULL, bib TEXT NOT NULL, "
             "class TEXT NOT NULL, time1 TEXT NOT NULL, time2 TEXT NOT NULL, "
             "ttime TEXT NOT NULL, timeod TEXT NOT NULL, altime TEXT NOT NULL, "
             "updated INTEGER NOT NULL, PRIMARY KEY (code, bib))",
             "CREATE TABLE IF NOT EXISTS statuses (code TEXT NOT NULL, bib TEXT NOT NULL, "
             "run INTEGER NOT NULL, status TEXT NOT NULL, PRIMARY KEY (code, bib, run))",
             "CREATE TABLE IF NOT EXISTS course (code TEXT NOT NULL, bib TEXT NOT NULL, "
             "started INTEGER NOT NULL, PRIMARY KEY (code, bib))",
             "CREATE TABLE IF NOT EXISTS next_start (code TEXT NOT NULL, position INTEGER NOT "
             "NULL, bib TEXT NOT NULL, PRIMARY KEY (code, position))",
         })
        exec(QString::fromLatin1(sql));
}

LiveStore::~LiveStore() {
    QSqlDatabase::database(connection_).close();
    QSqlDatabase::removeDatabase(connection_);
}

QSqlQuery LiveStore::exec(const QString& sql, const QVariantList& values) const {
    QSqlQuery q(QSqlDatabase::database(connection_));
    if (!q.prepare(sql))
        throw std::runtime_error(q.lastError().text().toStdString());
    for (const QVariant& v : values) {
        // A text not given is an empty text, never NULL.
        if (v.typeId() == QMetaType::QString && v.toString().isNull())
            q.addBindValue(QString(QLatin1String("")));
        else
            q.addBindValue(v);
    }
    // A read that fails (a store locked by another process) must not pass for "nothing".
    if (!q.exec())
        throw std::runtime_error(q.lastError().text().toStdString());
    return q;
}

QString LiveStore::single(const QString& sql, const QString& key) const {
    QSqlQuery q = exec(sql, {key});
    return q.next() ? q.value(0).toString() : QString();
}

QString LiveStore::value(const QString& key) const {
    return single(QStringLiteral("SELECT value FROM state WHERE key = ?"), key);
}

void LiveStore::setValue(const QString& key, const QString& v) {
    exec(QStringLiteral("INSERT OR REPLACE INTO state (key, value) VALUES (?, ?)"), {key, v});
}

void LiveStore::bump() {
    setValue(QStringLiteral("version"), QString::number(version() + 1));
}

qint64 LiveStore::version() const {
    return value(QStringLiteral("version")).toLongLong();
}

void LiveStore::setRace(const RaceKey& race) {
    setValue(QStringLiteral("race_code"), race.code);
    setValue(QStringLiteral("race_class"), race.classCode);
    setValue(QStringLiteral("race_chosen"), QStringLiteral("1"));
    bump();
}

bool LiveStore::raceChosen() const {
    return !value(QStringLiteral("race_chosen")).isEmpty();
}

RaceKey LiveStore::racingNow() const {
    const QString code = value(QStringLiteral("last_state"));
    if (code.isEmpty())
        return {};
    QString cls = single(QStringLiteral("SELECT c.class FROM course r JOIN competitors c ON "
                                        "c.code = r.code AND c.bib = r.bib WHERE r.code = ? "
                                        "ORDER BY r.started DESC LIMIT 1"),
                         code);
    if (cls.isEmpty())
        cls = single(QStringLiteral("SELECT class FROM results WHERE code = ? AND class <> '' "
                                    "ORDER BY altime DESC LIMIT 1"),
                     code);
    return {code, cls};
}

RaceKey LiveStore::race() const {
    return {value(QStringLiteral("race_code")), value(QStringLiteral("race_class"))};
}

void LiveStore::setMessage(const QString& text) {
    setValue(QStringLiteral("message"), text);
    bump();
}

QString LiveStore::message() const {
    return value(QStringLiteral("message"));
}

void LiveStore::setResult(const QString& code, const ResultRow& r) {
    exec(QStringLiteral("INSERT OR REPLACE INTO results (code, bib, class, time1, time2, ttime, "
                        "timeod, altime, updated) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
         {code, r.bib, r.classCode, r.time1, r.time2, r.ttime, r.timeod, r.altime,
          QDateTime::currentMSecsSinceEpoch()});
    bump();
}

void LiveStore::removeResult(const QString& code, const QString& bib) {
    exec(QStringLiteral("DELETE FROM results WHERE code = ? AND bib = ?"), {code, bib});
    bump();
}

void LiveStore::inTransaction(const std::function<void()>& writes) {
    QSqlDatabase db = QSqlDatabase::database(connection_);
    if (!db.transaction())
        throw std::runtime_error(db.lastError().text().toStdString());
    try {
        writes();
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const std::string why = db.lastError().text().toStdString();
        db.rollback();
        throw std::runtime_error(why);
    }
}

bool LiveStore::applyRaceState(const QString& code, const RaceState& state, qint64 nowMs) {
    const QString seqKey = QStringLiteral("seq:") + code;
    const QString sessionKey = QStringLiteral("session:") + code;
    // Requests of one session may overtake each other on their way: an older state never
    // undoes a newer one. A new session (the workstation started again, its clock perhaps
    // set back) replaces the old one whatever its numbers.
    if (value(sessionKey) == state.session && !value(seqKey).isEmpty() &&
        value(seqKey).toLongLong() >= state.seq)
        return false;
    constexpr qint64 kDay = 24 * 3600 * 1000;
    const qint64 midnight = nowMs - state.nowMs; // the workstation's midnight on our clock
    inTransaction([&] {
        setValue(seqKey, QString::number(state.seq));
        setValue(sessionKey, state.session);
        setValue(QStringLiteral("run:") + code, QString::number(state.run));
        setValue(QStringLiteral("last_state"), code);
        QSet<QString> finished;
        for (const BatchUpdate& u : state.results) {
            finished.insert(u.bib);
            // A row keeps its update time while its times stay the same, so that the latest
            // finisher's highlight is not renewed by every state.
            exec(QStringLiteral(
                     "INSERT INTO results (code, bib, class, time1, time2, ttime, timeod, "
                     "altime, updated) VALUES (?, ?, COALESCE((SELECT class FROM competitors "
                     "WHERE code = ? AND bib = ?), ''), ?, ?, ?, ?, ?, ?) ON CONFLICT (code, bib) "
                     "DO UPDATE SET updated = CASE WHEN (time1, time2, ttime, timeod, altime) "
                     "IS (excluded.time1, excluded.time2, excluded.ttime, excluded.timeod, "
                     "excluded.altime) THEN updated ELSE excluded.updated END, "
                     "time1 = excluded.time1, time2 = excluded.time2, ttime = excluded.ttime, "
                     "timeod = excluded.timeod, altime = excluded.altime"),
                 {code, u.bib, code, u.bib, u.time1, u.time2, u.ttime, u.timeod, u.altime, nowMs});
        }
        // A result the workstation no longer has (taken back, reset) leaves the page.
        QSqlQuery q = exec(QStringLiteral("SELECT bib FROM results WHERE code = ?"), {code});
        QStringList gone;
        while (q.next())
            if (!finished.contains(q.value(0).toString()))
                gone << q.value(0).toString();
        for (const QString& bib : gone)
            exec(QStringLiteral("DELETE FROM results WHERE code = ? AND bib = ?"), {code, bib});
        exec(QStringLiteral("DELETE FROM statuses WHERE code = ?"), {code});
        for (const StatusEntry& e : state.statuses)
            exec(QStringLiteral("INSERT OR REPLACE INTO statuses (code, bib, run, status) "
                                "VALUES (?, ?, ?, ?)"),
                 {code, e.bib, e.run, e.code});
        exec(QStringLiteral("DELETE FROM course WHERE code = ?"), {code});
        for (const auto& [bib, startMs] : state.course) {
            // A start later in the day than the state itself was before midnight.
            const qint64 started =
                midnight + startMs - (startMs > state.nowMs + 3600000 ? kDay : 0);
            exec(QStringLiteral("INSERT OR REPLACE INTO course (code, bib, started) VALUES (?, ?, "
                                "?)"),
                 {code, bib, started});
        }
        exec(QStringLiteral("DELETE FROM next_start WHERE code = ?"), {code});
        for (int i = 0; i < state.next.size(); ++i)
            exec(QStringLiteral("INSERT INTO next_start (code, position, bib) VALUES (?, ?, ?)"),
                 {code, i, state.next[i]});
        exec(QStringLiteral("DELETE FROM points WHERE code = ?"), {code});
        for (const auto& [bib, values] : state.points)
            exec(QStringLiteral("INSERT OR REPLACE INTO points (code, bib, race_points, "
                                "final_points) VALUES (?, ?, ?, ?)"),
                 {code, bib, values.first, values.second});
        setValue(QStringLiteral("official:") + code, state.official);
        bump();
    });
    return true;
}

QList<LiveStore::Runner> LiveStore::runners(const QString& sql, const QString& code,
                                            const QString& classCode) const {
    QSqlQuery q = exec(sql, {code, classCode});
    QList<Runner> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                    q.value(3).toLongLong()});
    return out;
}

QList<LiveStore::Runner> LiveStore::onCourse(const QString& code, const QString& classCode) const {
    return runners(QStringLiteral("SELECT r.bib, c.name, c.team, r.started FROM course r JOIN "
                                  "competitors c ON c.code = r.code AND c.bib = r.bib "
                                  "WHERE r.code = ? AND c.class = ? ORDER BY r.started, r.bib"),
                   code, classCode);
}

QList<LiveStore::Runner> LiveStore::nextToStart(const QString& code,
                                                const QString& classCode) const {
    return runners(QStringLiteral("SELECT n.bib, c.name, c.team, 0 FROM next_start n JOIN "
                                  "competitors c ON c.code = n.code AND c.bib = n.bib "
                                  "WHERE n.code = ? AND c.class = ? ORDER BY n.position"),
                   code, classCode);
}

int LiveStore::currentRun(const QString& code) const {
    return value(QStringLiteral("run:") + code).toInt();
}

QList<LiveStore::StatusRow> LiveStore::statuses(const QString& code,
                                                const QString& classCode) const {
    QSqlQuery q =
        exec(QStringLiteral("SELECT s.bib, c.name, c.team, s.run, s.status FROM statuses s "
                            "JOIN competitors c ON c.code = s.code AND c.bib = s.bib "
                            "WHERE s.code = ? AND c.class = ? ORDER BY s.run, s.status, s.bib"),
             {code, classCode});
    QList<StatusRow> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                    q.value(3).toInt(), q.value(4).toString()});
    return out;
}

QList<std::pair<QString, QString>> LiveStore::competitions() const {
    QSqlQuery q = exec(QStringLiteral(
        "SELECT k.code, COALESCE(t.title, '') FROM (SELECT code FROM competitors UNION "
        "SELECT code FROM results) k LEFT JOIN competitions t ON t.code = k.code "
        "ORDER BY k.code"));
    QList<std::pair<QString, QString>> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString()});
    return out;
}

QStringList LiveStore::classesOf(const QString& code) const {
    QSqlQuery q =
        exec(QStringLiteral("SELECT class FROM competitors WHERE code = ? AND class <> '' UNION "
                            "SELECT class FROM results WHERE code = ? AND class <> '' "
                            "ORDER BY 1 DESC"),
             {code, code});
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

int LiveStore::applyBatch(const BatchFileContent& batch) {
    inTransaction([&] {
        for (const BatchUpdate& u : batch.updates) {
            // The class of a row comes from the start list, else stays as a result gave it.
            exec(
                QStringLiteral(
                    "INSERT INTO results (code, bib, class, time1, time2, ttime, timeod, altime, "
                    "updated) VALUES (?, ?, COALESCE((SELECT class FROM competitors WHERE code = ? "
                    "AND bib = ?), ''), ?, ?, ?, ?, ?, ?) ON CONFLICT (code, bib) DO UPDATE SET "
                    "time1 = excluded.time1, time2 = excluded.time2, ttime = excluded.ttime, "
                    "timeod = excluded.timeod, altime = excluded.altime"),
                {u.code, u.bib, u.code, u.bib, u.time1, u.time2, u.ttime, u.timeod, u.altime,
                 QDateTime::currentMSecsSinceEpoch()});
        }
    });
    bump();
    return static_cast<int>(batch.updates.size());
}

void LiveStore::setTitle(const QString& code, const QString& title) {
    exec(QStringLiteral("INSERT OR REPLACE INTO competitions (code, title) VALUES (?, ?)"),
         {code, title});
    bump();
}

QString LiveStore::title(const QString& code) const {
    return single(QStringLiteral("SELECT title FROM competitions WHERE code = ?"), code);
}

void LiveStore::setClassName(const QString& classCode, const QString& name) {
    exec(QStringLiteral("INSERT OR REPLACE INTO classes (code, name) VALUES (?, ?)"),
         {classCode, name});
}

QString LiveStore::className(const QString& classCode) const {
    return single(QStringLiteral("SELECT name FROM classes WHERE code = ?"), classCode);
}

void LiveStore::setStartList(const QString& code, const QList<StartListEntry>& entries) {
    inTransaction([&] {
        for (const StartListEntry& e : entries)
            exec(QStringLiteral("INSERT OR REPLACE INTO competitors (code, bib, name, team, class) "
                                "VALUES (?, ?, ?, ?, ?)"),
                 {code, e.bib, e.name, e.team, e.classCode});
    });
    bump();
}

QList<ResultRow> LiveStore::results(const QString& code, const QString& classCode) const {
    QSqlQuery q =
        exec(QStringLiteral("SELECT r.bib, COALESCE(c.name, ''), COALESCE(c.team, ''), "
                            "CASE WHEN r.class <> '' THEN r.class ELSE COALESCE(c.class, '') END, "
                            "r.time1, r.time2, r.ttime, r.timeod, r.altime, r.updated "
                            "FROM results r LEFT JOIN competitors c ON c.code = r.code AND c.bib = "
                            "r.bib WHERE r.code = ?"),
             {code});
    QList<ResultRow> out;
    while (q.next()) {
        ResultRow r{q.value(0).toString(),  q.value(1).toString(), q.value(2).toString(),
                    q.value(3).toString(),  q.value(4).toString(), q.value(5).toString(),
                    q.value(6).toString(),  q.value(7).toString(), q.value(8).toString(),
                    q.value(9).toLongLong()};
        // A row of no known class (excluded from the lists, not in the start list) belongs to
        // no class's page.
        if (r.classCode == classCode)
            out.append(r);
    }
    return out;
}

QString LiveStore::officialSince(const QString& code) const {
    return value(QStringLiteral("official:") + code);
}

QHash<QString, std::pair<QString, QString>> LiveStore::points(const QString& code) const {
    QSqlQuery q = exec(
        QStringLiteral("SELECT bib, race_points, final_points FROM points WHERE code = ?"), {code});
    QHash<QString, std::pair<QString, QString>> out;
    while (q.next())
        out.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toString()});
    return out;
}

} // namespace pistel::live
