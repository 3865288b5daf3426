#include "transfer/gb18030.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tombolix::transfer {

bool Gb18030Available()
{
    static const bool available = QStringDecoder("GB18030").isValid();
    return available;
}

QString DecodeGb18030(QByteArrayView bytes)
{
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    return decoder.isValid() ? decoder.decode(bytes) : QString();
}

QByteArray EncodeGb18030(QStringView text, bool *ok)
{
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    QByteArray bytes;
    if (encoder.isValid())
        bytes = encoder.encode(text);
    const bool encoded = encoder.isValid() && !encoder.hasError();
    if (ok)
        *ok = encoded;
    return encoded ? bytes : QByteArray();
}

std::optional<QString> DecodeCharset(QByteArrayView charset, QByteArrayView bytes)
{
    QStringDecoder decoder(
        QByteArray(charset.data(), charset.size()).constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(bytes);
}

} // namespace tombolix::transfer
