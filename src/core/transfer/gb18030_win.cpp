#include "transfer/gb18030.h"

#include <windows.h>

namespace tombolix::transfer {

namespace {

// GB18030 itself where the system has it; GBK (936), which every Chinese
// file of Excel's stays within, where it does not (Wine).
UINT gb18030CodePage()
{
    static const UINT codePage = IsValidCodePage(54936) ? 54936 : IsValidCodePage(936) ? 936 : 0;
    return codePage;
}

} // namespace

bool Gb18030Available()
{
    return gb18030CodePage() != 0;
}

QString DecodeGb18030(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(gb18030CodePage(), 0, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return QString();
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(
        gb18030CodePage(), 0, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()), length);
    return text;
}

QByteArray EncodeGb18030(QStringView text, bool *ok)
{
    if (ok)
        *ok = true;
    if (text.isEmpty())
        return QByteArray();
    const UINT codePage = gb18030CodePage();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = int(text.size());
    // GB18030 writes every character, so only an unpaired surrogate fails;
    // GBK tells of a character it lacks through the default it used.
    const DWORD flags = codePage == 54936 ? WC_ERR_INVALID_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL *defaultUse = codePage == 54936 ? nullptr : &usedDefault;
    const int length = codePage == 0
        ? 0
        : WideCharToMultiByte(codePage, flags, wide, size, nullptr, 0, nullptr, defaultUse);
    if (length <= 0 || usedDefault) {
        if (ok)
            *ok = false;
        return QByteArray();
    }
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(codePage, flags, wide, size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace tombolix::transfer
