#include "browser/FileNames.h"

#include <QStringDecoder>
#include <QStringList>
#include <optional>

namespace vekdc {

namespace {

// Decodes `bytes` with the decoder; nothing when some byte does not decode.
std::optional<QString> DecodeStrictly(QStringDecoder& decoder, const QByteArray& bytes) {
    if (!decoder.isValid()) {
        return std::nullopt;
    }
    decoder.resetState();  // an earlier error would stick
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

// UTF-8 runs as text, every byte outside them as \xNN.
QString EscapeInvalidBytes(const QByteArray& bytes) {
    QString text;
    qsizetype start = 0;
    while (start < bytes.size()) {
        // The longest prefix of what remains that decodes.
        qsizetype end = bytes.size();
        while (end > start && !IsUtf8(bytes.mid(start, end - start))) {
            --end;
        }
        text += QString::fromUtf8(bytes.mid(start, end - start));
        if (end < bytes.size()) {
            text += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(bytes[end]), 2, 16,
                                                QLatin1Char('0'));
            ++end;
        }
        start = end;
    }
    return text;
}

}  // namespace

bool IsUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return DecodeStrictly(utf8, bytes).has_value();
}

QString DisplayName(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    if (auto text = DecodeStrictly(utf8, bytes)) {
        return *text;
    }
    // Each folder of a path may come from elsewhere: one name at a time ('/'
    // is never part of a CP932 character), each at most a few hundred bytes.
    QStringList names;
    QStringDecoder cp932("CP932", QStringDecoder::Flag::Stateless);
    for (const QByteArray& name : bytes.split('/')) {
        if (auto text = DecodeStrictly(utf8, name)) {
            names << *text;
        } else if (auto shown = DecodeStrictly(cp932, name)) {
            names << *shown;
        } else {
            names << EscapeInvalidBytes(name);
        }
    }
    return names.join(QLatin1Char('/'));
}

}  // namespace vekdc
