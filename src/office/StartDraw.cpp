#include "StartDraw.h"

#include "OfficeBatch.h"
#include "data/Query.h"
#include "data/SqlValue.h"

#include <QRandomGenerator>
#include <algorithm>
#include <random>

namespace pistel {
namespace {

// A number below `n` from the generator without modulo bias; std::uniform_int_distribution and
// std::shuffle differ between standard libraries, the engine's output does not.
std::uint64_t below(std::mt19937_64& engine, std::uint64_t n) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    std::uint64_t x = engine();
    while (x >= limit)
        x = engine();
    return x % n;
}

void shuffle(std::vector<DrawEntry>& entries, std::mt19937_64& engine) {
    for (size_t i = entries.size(); i > 1; --i)
        std::swap(entries[i - 1], entries[below(engine, i)]);
}

bool byBib(const DrawEntry& a, const DrawEntry& b) {
    return a.bib.toInt() < b.bib.toInt();
}

const char* methodName(DrawMethod m) {
    return m == DrawMethod::Given ? "given" : m == DrawMethod::Random ? "random" : "seeded";
}

} // namespace

QStringList drawStartOrder(std::vector<DrawEntry> entries, DrawMethod method, std::uint64_t seed,
                           int seeded) {
    // Drawn from the entries in bib order, so the file's row order never changes a draw.
    std::sort(entries.begin(), entries.end(), byBib);
    std::mt19937_64 engine(seed);
    std::vector<DrawEntry> order;
    if (method == DrawMethod::Given) {
        order = entries;
    } else if (method == DrawMethod::Random) {
        order = entries;
        shuffle(order, engine);
    } else {
        std::vector<DrawEntry> ranked, without;
        for (const DrawEntry& e : entries)
            (e.points >= 0 ? ranked : without).push_back(e);
        std::stable_sort(ranked.begin(), ranked.end(), [](const DrawEntry& a, const DrawEntry& b) {
            return a.points < b.points;
        });
        // The best `seeded`, and everybody on the points of the last of them.
        size_t group = std::min<size_t>(ranked.size(), std::max(seeded, 0));
        while (group > 0 && group < ranked.size() &&
               ranked[group].points == ranked[group - 1].points)
            ++group;
        std::vector<DrawEntry> best(ranked.begin(), ranked.begin() + std::ptrdiff_t(group));
        shuffle(best, engine);
        order = best;
        order.insert(order.end(), ranked.begin() + std::ptrdiff_t(group), ranked.end());
        shuffle(without, engine);
        order.insert(order.end(), without.begin(), without.end());
    }
    QStringList bibs;
    for (const DrawEntry& e : order)
        bibs << e.bib;
    return bibs;
}

std::uint64_t newDrawSeed() {
    return QRandomGenerator::system()->generate64();
}

ClassDraw readClassDraw(odbc::Connection& db, const QString& code, int cls) {
    Query q(db, QStringLiteral("draw"),
            {"select r.zek,coalesce(d.points,''),r.sttime,r.altime from result r",
             "left join entry_detail d on d.tcode = r.tcode and d.zek = r.zek",
             "where r.tcode = '" + sqlValue(code) + "' and r.class1 = " + QString::number(cls),
             "and r.dropm <> '9' order by r.zek"});
    q.open();
    ClassDraw c;
    for (int r = 0; r < q.recordCount(); ++r) {
        bool ok = false;
        const double points = q.text(r, 1).toDouble(&ok);
        c.entries.push_back({q.text(r, 0), ok && points >= 0 ? points : -1});
        if (!q.text(r, 2).isEmpty() || !q.text(r, 3).isEmpty())
            c.timed << q.text(r, 0);
    }
    return c;
}

void writeStartOrder(odbc::Connection& db, const QString& code, int cls, const QStringList& order,
                     DrawMethod method, std::uint64_t seed, int seeded) {
    const QString where =
        " where tcode = '" + sqlValue(code) + "' and class1 = " + QString::number(cls);
    QStringList batch;
    for (int i = 0; i < order.size(); ++i)
        batch << "update result set st1 = " + QString::number(i + 1) + where + " and zek = '" +
                     sqlValue(order[i]) + "'";
    batch << "insert into start_draw (tcode,class1,method,seed,seeded,drawn_at) values ('" +
                 sqlValue(code) + "'," + QString::number(cls) + ",'" + methodName(method) + "'," +
                 QString::number(seed) + "," + QString::number(seeded) + ",now())";
    writeTogether(db, batch);
}

} // namespace pistel
