#include "ImpulseJournal.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstring>
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

// Why a write failed, in the operator's language.
std::string whyInJapanese(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return "ディスクがいっぱいです";
    case EFBIG:
        return "ファイルの大きさが上限に達しました";
    case EACCES:
    case EPERM:
        return "書き込みの権限がありません";
    case EROFS:
        return "読み取り専用のディスクです";
    case EIO:
        return "ディスクの入出力エラーです";
    default:
        return std::string("書き込みエラー（") + std::strerror(err) + "）";
    }
}

[[noreturn]] void fail(const char* what, const QString& file, int err) {
    throw JournalError(std::string(what) + " " + file.toStdString() + ": " + whyInJapanese(err));
}

int openForAppend(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("ジャーナルを開けません", file, errno);
    return fd;
}

void makeFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        fail("ジャーナルのフォルダを作れません", folder, errno ? errno : EACCES);
}
} // namespace

void appendWhole(int fd, const QByteArray& record, const QString& file) {
    const off_t before = ::lseek(fd, 0, SEEK_END);
    qsizetype done = 0;
    int err = 0;
    while (done < record.size()) {
        const ssize_t n =
            ::write(fd, record.constData() + done, static_cast<size_t>(record.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EINTR) {
            err = errno; // the disk filled up under it, or the file may grow no more
            break;
        }
    }
    // On disk, not only in the page cache, before the database is touched.
    if (err == 0 && ::fsync(fd) == 0)
        return;
    if (err == 0)
        err = errno;
    // Whole records or nothing: a torn one would be glued to the next.
    if (before >= 0 && ::ftruncate(fd, before) == 0)
        ::fsync(fd);
    fail("ジャーナルに書き込めません", file, err);
}

ImpulseJournal::ImpulseJournal(QString folder) : folder_(std::move(folder)) {}

ImpulseJournal::~ImpulseJournal() {
    if (fd_ >= 0)
        ::close(fd_);
}

QString ImpulseJournal::fileFor(const QDate& day) const {
    return folder_ + QStringLiteral("/impulses-") + day.toString(Qt::ISODate) +
           QStringLiteral(".log");
}

void ImpulseJournal::append(const JournalEntry& entry) {
    const QDate day = entry.received.date();
    const QString file = fileFor(day);
    if (fd_ < 0 || day != fileDay_) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        makeFolder(folder_);
        const bool created = !QFile::exists(file);
        const int fd = openForAppend(file);
        // A new day's file survives a power cut only once its folder entry is on disk too.
        if (created && !syncFolder(folder_)) {
            const int err = errno;
            ::close(fd);
            fail("ジャーナルのフォルダを同期できません", folder_, err);
        }
        fd_ = fd;
        fileDay_ = day;
    }
    appendWhole(fd_, format(entry) + '\n', file);
}

void ImpulseJournal::keepPending(const JournalEntry& entry) {
    makeFolder(folder_);
    const int fd = openForAppend(pendingFile());
    try {
        appendWhole(fd, format(entry) + '\n', pendingFile());
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
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

QList<JournalEntry> ImpulseJournal::dayEntries(const QDate& day) const {
    QList<JournalEntry> out;
    QFile f(fileFor(day));
    if (!f.open(QIODevice::ReadOnly))
        return out; // no line that day
    for (const QByteArray& text : f.readAll().split('\n')) {
        if (const auto entry = parse(text))
            out.append(*entry);
        else if (const auto glued = salvage(text))
            out.append(*glued);
    }
    return out;
}

void ImpulseJournal::clearPending() {
    QFile f(pendingFile());
    if (f.exists() && !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail("待機中の時刻のファイルを空にできません", pendingFile(), errno);
}

QByteArray ImpulseJournal::format(const JournalEntry& entry) {
    return entry.received.toString(QLatin1String(kDateTimeFormat)).toLatin1() + '\t' +
           QByteArray::number(entry.receiptTenths) + '\t' + escape(entry.competitionCode.toUtf8()) +
           '\t' + escape(entry.line) +
           (entry.receipt.isEmpty() ? QByteArray() : '\t' + escape(entry.receipt.toLatin1()));
}

std::optional<JournalEntry> ImpulseJournal::parse(const QByteArray& text) {
    QByteArray t = text;
    while (t.endsWith('\n') || t.endsWith('\r'))
        t.chop(1);
    const QList<QByteArray> parts = t.split('\t');
    if (parts.size() != 4 && parts.size() != 5)
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
    if (parts.size() == 5) {
        const auto receipt = unescape(parts[4]);
        if (!receipt || receipt->isEmpty())
            return std::nullopt;
        e.receipt = QString::fromLatin1(*receipt);
    }
    return e;
}

bool ImpulseJournal::looksTorn(const QByteArray& text) {
    static const QRegularExpression start(QStringLiteral(R"(^\d{4}-)"));
    return start.match(QString::fromLatin1(text)).hasMatch();
}

std::optional<JournalEntry> ImpulseJournal::salvage(const QByteArray& text) {
    // A torn record glued to the front of the next one: the whole record is the tail that
    // starts with a receipt time.
    static const QRegularExpression record(
        QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t)"));
    const QString latin = QString::fromLatin1(text);
    auto it = record.globalMatch(latin);
    std::optional<JournalEntry> found;
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.capturedStart() > 0)
            found = parse(text.mid(m.capturedStart()));
    }
    return found;
}

QString ImpulseJournal::newReceipt() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace pistel
