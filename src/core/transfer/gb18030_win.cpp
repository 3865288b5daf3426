#include "transfer/gb18030.h"

#include <windows.h>

namespace tombolix::transfer {

namespace {
constexpr UINT Gb18030CodePage = 54936;
} // namespace

bool Gb18030Available()
{
    static const bool available = IsValidCodePage(Gb18030CodePage);
    return available;
}

QString DecodeGb18030(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(Gb18030CodePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return QString();
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(
        Gb18030CodePage, 0, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()), length);
    return text;
}

QByteArray EncodeGb18030(QStringView text, bool *ok)
{
    if (ok)
        *ok = true;
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = int(text.size());
    const int length = WideCharToMultiByte(
        Gb18030CodePage, WC_ERR_INVALID_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        if (ok)
            *ok = false;
        return QByteArray();
    }
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(
        Gb18030CodePage, WC_ERR_INVALID_CHARS, wide, size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace tombolix::transfer
