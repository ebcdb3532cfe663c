#include "SjisText.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <stdexcept>

namespace pistel {
namespace {

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(QStringView text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The server's sjis table and the code page 932 table disagree on a few characters;
// these two are typed on Japanese keyboards and must reach the code page 932 form.
QString normalizeForCp932(QStringView text) {
    QString s = text.toString();
    s.replace(QChar(0x301C), QChar(0xFF5E)); // wave dash -> fullwidth tilde
    s.replace(QChar(0x2212), QChar(0xFF0D)); // minus sign -> fullwidth hyphen-minus
    return s;
}

// Qt 6.4's ICU converters keep their error count through resetState(), so a converter that
// met one bad character would report an error for every later text: a converter that
// failed is replaced by a fresh one, and each text converts as if it were the first.
template <typename Converter> Converter& freshAfterError(Converter& converter) {
    if (converter.hasError())
        converter = Converter("Shift_JIS", QStringConverter::Flag::Stateless);
    return converter;
}

} // namespace

QByteArray toSjis(QStringView text) {
    if (isAscii(text))
        return text.toLatin1();
    thread_local QStringEncoder encoder("Shift_JIS", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        throw std::runtime_error("Qt has no Shift_JIS encoder (Qt built without ICU?)");
    QByteArray out;
    const QString s = normalizeForCp932(text);
    // Encode per character so that an unencodable one becomes a plain '?'.
    for (qsizetype i = 0; i < s.size(); ++i) {
        const qsizetype n = (s.at(i).isHighSurrogate() && i + 1 < s.size()) ? 2 : 1;
        const QStringView ch = QStringView(s).mid(i, n);
        i += n - 1;
        if (ch.size() == 1 && ch.at(0).unicode() < 0x80) {
            out.append(static_cast<char>(ch.at(0).unicode()));
            continue;
        }
        QByteArray enc = freshAfterError(encoder).encode(ch);
        // ICU substitutes "\xfc\xfc" (no character of code page 932) where it has no form.
        if (encoder.hasError() || enc.isEmpty() || enc == "?" || enc == "\x1a" ||
            enc == "\xfc\xfc") {
            out.append('?');
        } else {
            out.append(enc);
        }
    }
    return out;
}

QString fromSjis(QByteArrayView bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder("Shift_JIS", QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        throw std::runtime_error("Qt has no Shift_JIS decoder (Qt built without ICU?)");
    const QString s = freshAfterError(decoder).decode(bytes);
    freshAfterError(decoder).resetState(); // an incomplete last character is not kept
    return s;
}

} // namespace pistel
