#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pistel::test {

// Runs pistel-office on the test database; `output` gets what it printed (both streams).
inline int runOffice(const QStringList& args, QString& output) {
    const QString dsn = qEnvironmentVariable("PISTEL_TEST_DSN", QStringLiteral("PistelTest"));
    QProcess p;
    p.start(PISTEL_OFFICE_PATH, QStringList{args} << "--dsn" << dsn);
    EXPECT_TRUE(p.waitForFinished(20000));
    output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

// The text of a document pistel-results writes for competition `code` (`kind`: startlist1 …;
// `format`: csv, or pdf read back with pdftotext); empty (a failure recorded) when none.
inline QString documentText(const QString& code, const QString& kind, const QString& format) {
    const QString dsn = qEnvironmentVariable("PISTEL_TEST_DSN", QStringLiteral("PistelTest"));
    QTemporaryDir out;
    const QString file = out.filePath("document." + format);
    QProcess results;
    results.start(PISTEL_RESULTS_PATH, {"report", "--dsn", dsn, "--code", code, "--kind", kind,
                                        "--format", format, "--out", file});
    EXPECT_TRUE(results.waitForFinished(30000));
    EXPECT_EQ(results.exitCode(), 0) << results.readAllStandardError().toStdString();
    QProcess read;
    if (format == u"pdf")
        read.start("pdftotext", {"-layout", file, "-"});
    else
        read.start("cat", {file});
    EXPECT_TRUE(read.waitForFinished(20000));
    return QString::fromUtf8(read.readAllStandardOutput());
}

} // namespace pistel::test
