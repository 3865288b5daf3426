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

QString decodeCodePage(UINT codePage, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return QString();
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()), length);
    return text;
}

// The Windows code page of an encoding's name, as pages and XML name them;
// 0 when none is known.
UINT codePageOf(QByteArray name)
{
    name = name.trimmed().toLower();
    if (name.startsWith("windows-"))
        return name.mid(8).toUInt();
    if (name.startsWith("cp"))
        return name.mid(2).toUInt();
    if (name.startsWith("iso-8859-"))
        return 28590 + name.mid(9).toUInt();
    static const struct
    {
        const char *name;
        UINT codePage;
    } known[] = { { "us-ascii", 20127 }, { "ascii", 20127 }, { "latin1", 28591 }, { "shift_jis", 932 },
        { "sjis", 932 }, { "euc-jp", 20932 }, { "euc-kr", 949 }, { "ks_c_5601-1987", 949 }, { "big5", 950 },
        { "koi8-r", 20866 }, { "koi8-u", 21866 }, { "utf-8", CP_UTF8 }, { "utf8", CP_UTF8 } };
    for (const auto &entry : known) {
        if (name == entry.name)
            return entry.codePage;
    }
    return 0;
}

// The 2000 edition of GB18030, which some Windows versions keep (and GBK
// where it stands in), has ḿ (U+1E3F) and U+E7C7 the other way round from
// the 2005 edition that ICU and the record checker's document follow: a
// system that gives U+E7C7 for A8 BC has the two swapped on the way in and
// out.
bool swapsM()
{
    static const bool swapped = [] {
        const QString m = decodeCodePage(gb18030CodePage(), QByteArrayView("\xA8\xBC"));
        return m.size() == 1 && m.at(0).unicode() == 0xE7C7;
    }();
    return swapped;
}

void swapM(QString &text)
{
    for (QChar &c : text) {
        if (c.unicode() == 0x1E3F)
            c = QChar(0xE7C7);
        else if (c.unicode() == 0xE7C7)
            c = QChar(0x1E3F);
    }
}

} // namespace

std::optional<QString> DecodeCharset(QByteArrayView charset, QByteArrayView bytes)
{
    const QByteArray name = QByteArray(charset.data(), charset.size()).toLower();
    static const QByteArray chinese[] = { "gb2312", "gbk", "x-gbk", "gb18030", "cp936", "windows-936",
        "gb_2312-80", "csgb2312", "chinese" };
    for (const QByteArray &each : chinese) {
        if (name == each)
            return Gb18030Available() ? std::optional<QString>(DecodeGb18030(bytes)) : std::nullopt;
    }
    const UINT codePage = codePageOf(name);
    if (codePage == 0 || !IsValidCodePage(codePage))
        return std::nullopt;
    return decodeCodePage(codePage, bytes);
}

bool Gb18030Available()
{
    return gb18030CodePage() != 0;
}

QString DecodeGb18030(QByteArrayView bytes)
{
    QString text = decodeCodePage(gb18030CodePage(), bytes);
    if (swapsM())
        swapM(text);
    return text;
}

QByteArray EncodeGb18030(QStringView text, bool *ok)
{
    if (ok)
        *ok = true;
    if (text.isEmpty())
        return QByteArray();
    const UINT codePage = gb18030CodePage();
    QString swapped;
    if (swapsM() && (text.contains(QChar(0x1E3F)) || text.contains(QChar(0xE7C7)))) {
        swapped = text.toString();
        swapM(swapped);
        text = swapped;
    }
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
