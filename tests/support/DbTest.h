#pragma once

#include "data/AppState.h"
#include "data/TDM1.h"
#include "support/QtPrinters.h"

#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace pistel::test {

// A competitor row as the race office prepares it.
struct Competitor {
    QString zek;
    int st1 = 0;
    int st2 = 0;
    int class1 = 0;
    QString dropm;
};

// A fixture connected to the test database (data source PistelTest), with every table
// emptied before each test.
class DbTest : public ::testing::Test {
protected:
    void SetUp() override;

    void exec(const QString& sql);
    // The first column of the first row of a select ("" when there is none; null reads "").
    QString scalar(const QString& sql);
    // Every row of a select, columns joined by '|'.
    QStringList rows(const QString& sql);
    void addCompetition(const QString& code, const QString& name = QStringLiteral("テスト大会"));
    void addCompetitors(const QString& code, const QList<Competitor>& list);
    // One column of one competitor.
    QString field(const QString& code, const QString& zek, const QString& column);

    AppState app;
    TDM1 dm;
};

// A table renamed away (a drill of a missing table) for as long as the guard lives, and
// renamed back even when the test fails meanwhile.
class RenamedTable {
public:
    RenamedTable(std::function<void(const QString&)> exec, QString table)
        : exec_(std::move(exec)), table_(std::move(table)) {
        exec_("rename table " + table_ + " to " + table_ + "_away");
    }
    ~RenamedTable() { restore(); }
    void restore() {
        if (std::exchange(away_, false))
            exec_("rename table " + table_ + "_away to " + table_);
    }

private:
    std::function<void(const QString&)> exec_;
    QString table_;
    bool away_ = true;
};

} // namespace pistel::test
