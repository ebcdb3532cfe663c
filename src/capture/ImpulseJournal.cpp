#include "ImpulseJournal.h"

#include <QDir>
#include <QList>
#include <fcntl.h>
#include <unistd.h>

namespace pistel {
namespace {

const char kDateTimeFormat[] = "yyyy-MM-dd HH:mm:ss.zzz";

QByteArray escape(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.append(ch);
        } else {
            out.append("\\x");
            out.append(QByteArray::number(c, 16).rightJustified(2, '0'));
        }
    }
    return out;
}

std::optional<QByteArray> unescape(const QByteArray& text) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.append(text[i]);
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x') // "\xHH" needs four characters
            return std::nullopt;
        bool ok = false;
        const int v = text.mid(i + 2, 2).toInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        out.append(static_cast<char>(v));
        i += 3;
    }
    return out;
}

} // namespace

QString ImpulseJournal::defaultFolder() {
    const QString explicitDir = qEnvironmentVariable("PISTEL_JOURNAL_DIR");
    if (!explicitDir.isEmpty())
        return explicitDir;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/pistel/journal");
}

namespace {
bool syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
} // namespace

ImpulseJournal::ImpulseJournal(QString folder) : folder_(std::move(folder)) {}

QString ImpulseJournal::fileFor(const QDate& day) const {
    return folder_ + QStringLiteral("/impulses-") + day.toString(Qt::ISODate) +
           QStringLiteral(".log");
}

void ImpulseJournal::append(const JournalEntry& entry) {
    const QDate day = entry.received.date();
    if (!file_.isOpen() || day != fileDay_) {
        file_.close();
        if (!QDir().mkpath(folder_))
            throw JournalError("cannot create the impulse journal folder " + folder_.toStdString());
        file_.setFileName(fileFor(day));
        const bool created = !QFile::exists(file_.fileName());
        if (!file_.open(QIODevice::Append | QIODevice::WriteOnly))
            throw JournalError("cannot open the impulse journal " + file_.fileName().toStdString() +
                               ": " + file_.errorString().toStdString());
        // A new day's file survives a power cut only once its folder entry is on disk too.
        if (created && !syncFolder(folder_)) {
            file_.close();
            throw JournalError("cannot sync the impulse journal folder " + folder_.toStdString());
        }
        fileDay_ = day;
    }
    const QByteArray text = format(entry) + '\n';
    // On disk, not only in the page cache, before the database is touched.
    if (file_.write(text) != text.size() || !file_.flush() || ::fsync(file_.handle()) != 0) {
        const std::string why = file_.errorString().toStdString();
        file_.close();
        throw JournalError("cannot write the impulse journal " + file_.fileName().toStdString() +
                           ": " + why);
    }
}

void ImpulseJournal::keepPending(const JournalEntry& entry) {
    if (!QDir().mkpath(folder_))
        throw JournalError("cannot create the impulse journal folder " + folder_.toStdString());
    QFile f(pendingFile());
    const QByteArray text = format(entry) + '\n';
    if (!f.open(QIODevice::Append | QIODevice::WriteOnly) || f.write(text) != text.size() ||
        !f.flush() || ::fsync(f.handle()) != 0)
        throw JournalError("cannot write " + pendingFile().toStdString() + ": " +
                           f.errorString().toStdString());
}

QList<JournalEntry> ImpulseJournal::pendingEntries() const {
    QList<JournalEntry> out;
    QFile f(pendingFile());
    if (!f.open(QIODevice::ReadOnly))
        return out; // nothing ever waited
    for (const QByteArray& text : f.readAll().split('\n')) {
        if (const auto entry = parse(text))
            out.append(*entry);
    }
    return out;
}

void ImpulseJournal::clearPending() {
    QFile f(pendingFile());
    if (f.exists() && !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw JournalError("cannot empty " + pendingFile().toStdString() + ": " +
                           f.errorString().toStdString());
}

QByteArray ImpulseJournal::format(const JournalEntry& entry) {
    return entry.received.toString(QLatin1String(kDateTimeFormat)).toLatin1() + '\t' +
           QByteArray::number(entry.receiptTenths) + '\t' + escape(entry.competitionCode.toUtf8()) +
           '\t' + escape(entry.line);
}

std::optional<JournalEntry> ImpulseJournal::parse(const QByteArray& text) {
    QByteArray t = text;
    while (t.endsWith('\n') || t.endsWith('\r'))
        t.chop(1);
    const QList<QByteArray> parts = t.split('\t');
    if (parts.size() != 4)
        return std::nullopt;
    JournalEntry e;
    e.received =
        QDateTime::fromString(QString::fromLatin1(parts[0]), QLatin1String(kDateTimeFormat));
    bool ok = false;
    e.receiptTenths = parts[1].toInt(&ok);
    const auto code = unescape(parts[2]);
    const auto line = unescape(parts[3]);
    if (!e.received.isValid() || !ok || !code || !line)
        return std::nullopt;
    e.competitionCode = QString::fromUtf8(*code);
    e.line = *line;
    return e;
}

} // namespace pistel
