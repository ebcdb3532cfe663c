#include "TimerSim.h"

namespace pistel::sim {

QByteArray timerLine(char flag, const QString& bib, const QString& channel, const QTime& time,
                     int tenThousandths) {
    const QString b = bib.isEmpty() ? QStringLiteral("0000") : bib.right(4).rightJustified(4, '0');
    return (QLatin1Char(flag) + b + QLatin1Char(' ') + channel.left(2) + QStringLiteral("  ") +
            time.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('.') +
            QStringLiteral("%1").arg(tenThousandths % 10000, 4, 10, QLatin1Char('0')) +
            QStringLiteral(" 00\r"))
        .toLatin1();
}

QList<Scheduled> schedule(const QList<QByteArray>& lines, double speed) {
    QList<Scheduled> out;
    qint64 first = -1, last = 0;
    for (const QByteArray& raw : lines) {
        QByteArray line = raw;
        while (line.endsWith('\r') || line.endsWith('\n'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QTime t = QTime::fromString(QString::fromLatin1(line.mid(10, 12)),
                                          QStringLiteral("HH:mm:ss.zzz"));
        qint64 at = last;
        if (t.isValid() && speed > 0) {
            const qint64 ms = t.msecsSinceStartOfDay();
            if (first < 0)
                first = ms;
            at = std::max(last, static_cast<qint64>((ms - first) / speed));
        }
        last = at;
        out.append({at, line + '\r'});
    }
    return out;
}

QByteArray KeyPad::press(char key, const QTime& now, int tenThousandths) {
    if (key >= '0' && key <= '9') {
        typed_ = (typed_ + QLatin1Char(key)).right(4);
        return {};
    }
    if (key == 0x7f || key == '\b') {
        typed_.chop(1);
        return {};
    }
    if (key != 's' && key != 'f')
        return {};
    const char flag = typed_.isEmpty() ? '?' : ' ';
    const QByteArray line = timerLine(flag, typed_, key == 's' ? "C0" : "C1", now, tenThousandths);
    typed_.clear();
    return line;
}

} // namespace pistel::sim
