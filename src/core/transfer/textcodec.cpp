#include "transfer/textcodec.h"

#include <QStringDecoder>

namespace tombolix::transfer {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);
const QByteArray Utf16LeBom("\xFF\xFE", 2);
const QByteArray Utf16BeBom("\xFE\xFF", 2);

QString decodeWith(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QString DecodeText(const QByteArray &bytes)
{
    const QByteArrayView view(bytes);
    if (view.startsWith(Utf8Bom))
        return decodeWith(QStringDecoder::Utf8, view.sliced(Utf8Bom.size()));
    if (view.startsWith(Utf16LeBom))
        return decodeWith(QStringDecoder::Utf16LE, view.sliced(Utf16LeBom.size()));
    if (view.startsWith(Utf16BeBom))
        return decodeWith(QStringDecoder::Utf16BE, view.sliced(Utf16BeBom.size()));

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;

    // Excel's "CSV (逗号分隔)" on a Chinese Windows writes the ANSI code page.
    QStringDecoder gb18030("GB18030", QStringDecoder::Flag::Stateless);
    if (gb18030.isValid())
        return gb18030.decode(view);
    return text; // Qt without ICU: the UTF-8 reading with replacement characters
}

QByteArray EncodeCsvText(const QString &text)
{
    return Utf8Bom + text.toUtf8();
}

} // namespace tombolix::transfer
