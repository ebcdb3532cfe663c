#include "StartDraw.h"

#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"

#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <random>
#include <stdexcept>

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

QStringList writeStartOrder(odbc::Connection& db, const QString& code, int cls,
                            const QStringList& order, const DrawSettings& draw) {
    const QString tcode = quoted(code);
    const QString inClass = " where tcode = " + tcode + " and class1 = " + QString::number(cls);
    QStringList bibs = order;
    QStringList batch;
    if (draw.firstBib != 0) {
        // Bibs from the first number in start order. Each moves through a name no bib has
        // (bibs are digits), so two competitors of the class may trade numbers.
        Query others(db, QStringLiteral("draw"),
                     {"select zek,class1 from result where tcode = " + tcode + " and class1 <> " +
                      QString::number(cls)});
        others.open();
        QSet<int> taken;
        int before = 0; // the highest bib of the classes that start before this one
        for (int r = 0; r < others.recordCount(); ++r) {
            taken.insert(others.text(r, 0).toInt());
            if (others.text(r, 1).toInt() > cls)
                before = std::max(before, others.text(r, 0).toInt());
        }
        const int first = draw.firstBib < 0 ? before + 1 : draw.firstBib;
        for (int i = 0; i < order.size(); ++i) {
            const int number = first + i;
            if (number > 9999 || taken.contains(number))
                throw std::invalid_argument(
                    QStringLiteral("ビブ %1 は別のクラスの選手のものです（または 9999 を超えます）")
                        .arg(number)
                        .toStdString());
            bibs[i] = bibText(number);
        }
        const QString where = " where tcode = " + tcode + " and zek = ";
        for (const char* table : {"result", "entry_detail", "run_status"}) {
            for (int i = 0; i < order.size(); ++i)
                batch << QString("update ") + table + " set zek = " +
                             quoted(QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0'))) + where +
                             quoted(order[i]);
            for (int i = 0; i < order.size(); ++i)
                batch << QString("update ") + table + " set zek = " + quoted(bibs[i]) + where +
                             quoted(QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0')));
        }
    }
    for (int i = 0; i < bibs.size(); ++i)
        batch << "update result set st1 = " + QString::number(i + 1) + inClass +
                     " and zek = " + quoted(bibs[i]);
    batch << "insert into start_draw (tcode,class1,method,seed,seeded,drawn_at) values (" + tcode +
                 "," + QString::number(cls) + ",'" + methodName(draw.method) + "'," +
                 QString::number(draw.seed) + "," + QString::number(draw.seeded) + ",now())";
    QString what =
        QStringLiteral("1本目スタート順: クラス %1 %2").arg(cls).arg(methodName(draw.method));
    if (draw.method != DrawMethod::Given)
        what += QStringLiteral(" シード %1").arg(draw.seed);
    QString after = bibs.join(u' ');
    if (bibs != order)
        after += QStringLiteral("（ビブ付け替え: %1）").arg(order.join(u' '));
    batch << officeHistory(code, {{{}, 1, what, {}, after}}).join(u'\n');
    writeTogether(db, batch);
    return bibs;
}

} // namespace pistel
