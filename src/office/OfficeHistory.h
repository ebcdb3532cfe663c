#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace pistel {

// One change the office makes, as the change history shows it: a competitor's entry (`bib`),
// or a class's start order (no bib).
struct OfficeChange {
    QString bib;
    int run = 0;
    QString what, before, after;
};

// The statement that records `changes` in the change history of competition `code`, to be
// written in the same transaction as the change itself (empty for none).
QStringList officeHistory(const QString& code, const std::vector<OfficeChange>& changes);

} // namespace pistel
