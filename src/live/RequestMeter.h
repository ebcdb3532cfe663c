#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace pistel::live {

// Follows the requests of one connection through the bytes it receives, however they are
// split into reads: a head is measured from its first byte to the blank line that ends it,
// a body by its declared length or, when chunked, until its last chunk. Requests kept alive
// one after the other are measured one by one.
class RequestMeter {
public:
    enum class Verdict { Fine, HeadTooLarge, BodyTooLarge };

    RequestMeter(qsizetype maxHead, qint64 maxBody) : maxHead_(maxHead), maxBody_(maxBody) {}
    // The bytes received next; once a verdict is not Fine the connection is to be refused.
    Verdict take(QByteArrayView bytes);

    // The body length a request head declares: -1 when it declares none, the largest number
    // when the declaration is not a number.
    static qint64 declaredLength(QByteArrayView head);
    static bool isChunked(QByteArrayView head);

private:
    Verdict takeHead(QByteArrayView& bytes);
    Verdict takeChunked(QByteArrayView& bytes);

    qsizetype maxHead_;
    qint64 maxBody_;
    QByteArray head_;      // the current head so far
    qint64 bodyLeft_ = 0;  // declared body bytes still to come
    bool chunked_ = false; // in a chunked body
    qint64 chunkedSeen_ = 0;
    QByteArray chunkTail_; // the last bytes of a chunked body, to find its end across reads
};

} // namespace pistel::live
