#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTime>

namespace pistel::sim {

// One line as the timer sends it, ended by CR: flag, bib, channel, time of day with four
// fraction digits. " 0012 C0  10:04:55.6513 00\r"
QByteArray timerLine(char flag, const QString& bib, const QString& channel, const QTime& time,
                     int tenThousandths);

struct Scheduled {
    qint64 atMs = 0; // after the first line
    QByteArray bytes;
};

// When to send each line of a recorded log: by the time of day in it, `speed` times faster
// than real (0: all at once). Lines without a readable time follow the one before them.
QList<Scheduled> schedule(const QList<QByteArray>& lines, double speed);

// The simulator's keys: digits type a bib, 's' sends a start impulse and 'f' a finish
// impulse (with the typed bib and flag ' ', or without one and flag '?'), backspace
// drops the last digit.
class KeyPad {
public:
    // The line a key sends now, or nothing.
    QByteArray press(char key, const QTime& now, int tenThousandths);
    const QString& typed() const { return typed_; }

private:
    QString typed_;
};

} // namespace pistel::sim
