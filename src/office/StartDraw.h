#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

// One competitor of a class before run 1.
struct DrawEntry {
    QString bib;
    double points = -1; // the federation's points (lower is better); negative: none
};

enum class DrawMethod {
    Given,  // by bib
    Random, // drawn
    Seeded, // the best `seeded` by points drawn first, the rest by points, those without drawn last
};

// The run-1 start order of one class, bibs from the first starter on. A draw is repeatable:
// the same entries and seed give the same order on every machine.
QStringList drawStartOrder(std::vector<DrawEntry> entries, DrawMethod method, std::uint64_t seed,
                           int seeded = 15);

// A fresh seed for a draw.
std::uint64_t newDrawSeed();

// The class's entries (not the excluded) with their points, and who has a run-1 time already.
struct ClassDraw {
    std::vector<DrawEntry> entries;
    QStringList timed;
};
ClassDraw readClassDraw(odbc::Connection& db, const QString& code, int cls);
// How a class's start order was drawn, and its bibs.
struct DrawSettings {
    DrawMethod method = DrawMethod::Random;
    std::uint64_t seed = 0;
    int seeded = 15;
    // Bibs are given in start order from this number; 0: the competitors keep theirs; negative:
    // from one after the highest bib of the classes that start before (numbers continue across
    // classes).
    int firstBib = 0;
};
// Writes `order` as st1 1 to n of class `cls` (with the bibs the settings give), records the
// draw with its seed and its change-history row, in one transaction. Returns the bibs in start
// order. Throws DbError; std::invalid_argument when a bib to give belongs to another class.
QStringList writeStartOrder(odbc::Connection& db, const QString& code, int cls,
                            const QStringList& order, const DrawSettings& draw);

} // namespace pistel
