#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
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

} // namespace pistel::test
