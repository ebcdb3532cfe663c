#include "RequestMeter.h"

#include <QList>
#include <algorithm>
#include <limits>

namespace pistel::live {
namespace {
// The value of a header in a head, trimmed; empty when it is absent.
QByteArray headerValue(QByteArrayView head, QByteArrayView name) {
    for (const QByteArray& line : head.toByteArray().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}
// The end of a chunked body: the last chunk (size 0) and the blank line after it.
constexpr QByteArrayView kLastChunk = "\r\n0\r\n\r\n";
} // namespace

qint64 RequestMeter::declaredLength(QByteArrayView head) {
    const QByteArray value = headerValue(head, "content-length");
    if (value.isEmpty())
        return -1;
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    return ok && n >= 0 ? n : std::numeric_limits<qint64>::max();
}

bool RequestMeter::isChunked(QByteArrayView head) {
    return headerValue(head, "transfer-encoding").toLower().contains("chunked");
}

RequestMeter::Verdict RequestMeter::take(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (bodyLeft_ > 0) {
            const qsizetype n = static_cast<qsizetype>(std::min<qint64>(bodyLeft_, bytes.size()));
            bodyLeft_ -= n;
            bytes = bytes.sliced(n);
            continue;
        }
        const Verdict v = chunked_ ? takeChunked(bytes) : takeHead(bytes);
        if (v != Verdict::Fine)
            return v;
    }
    return Verdict::Fine;
}

RequestMeter::Verdict RequestMeter::takeHead(QByteArrayView& bytes) {
    // Blank lines between requests are allowed before a head.
    const qsizetype from = std::max<qsizetype>(0, head_.size() - 3);
    head_.append(bytes);
    const qsizetype end = head_.indexOf("\r\n\r\n", from);
    if (end < 0) {
        bytes = {};
        return head_.size() > maxHead_ ? Verdict::HeadTooLarge : Verdict::Fine;
    }
    const qsizetype headSize = end + 4;
    if (headSize > maxHead_ + 4)
        return Verdict::HeadTooLarge;
    const QByteArray head = head_.left(headSize);
    // What came after the head in this read is the body (or the next request).
    bytes = bytes.sliced(bytes.size() - (head_.size() - headSize));
    head_.clear();
    if (isChunked(head)) {
        chunked_ = true;
        chunkedSeen_ = 0;
        chunkTail_ = "\r\n"; // a body of only the last chunk ends as any other
        return Verdict::Fine;
    }
    const qint64 length = declaredLength(head);
    if (length > maxBody_)
        return Verdict::BodyTooLarge;
    bodyLeft_ = std::max<qint64>(0, length);
    return Verdict::Fine;
}

RequestMeter::Verdict RequestMeter::takeChunked(QByteArrayView& bytes) {
    const qsizetype kept = chunkTail_.size();
    const QByteArray window =
        chunkTail_ + bytes.first(std::min<qsizetype>(bytes.size(), 1 << 16)).toByteArray();
    const qsizetype end = window.indexOf(kLastChunk);
    const qsizetype taken = end < 0 ? window.size() - kept : end + kLastChunk.size() - kept;
    chunkedSeen_ += taken;
    if (chunkedSeen_ > maxBody_ + static_cast<qint64>(kLastChunk.size()))
        return Verdict::BodyTooLarge;
    bytes = bytes.sliced(taken);
    if (end >= 0) {
        chunked_ = false;
        chunkTail_.clear();
    } else {
        chunkTail_ = window.right(kLastChunk.size() - 1);
    }
    return Verdict::Fine;
}

} // namespace pistel::live
