#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// GB18030, the superset of GBK that Chinese Windows writes as its ANSI code
// page. Qt reads it through ICU where Qt has ICU; Qt for Windows is built
// without ICU, and there the system's own code page 54936 does it.
namespace tombolix::transfer {

// Whether this build can convert GB18030 at all.
bool Gb18030Available();

// Whole characters of GB18030 as text; a malformed sequence becomes U+FFFD.
// Callers cut long input at line breaks, which never lie inside a character.
QString DecodeGb18030(QByteArrayView bytes);

// Text as GB18030; empty, with *ok false, when a character cannot be
// written (an unpaired surrogate) or the conversion is missing.
QByteArray EncodeGb18030(QStringView text, bool *ok = nullptr);

// Bytes in the encoding a file declares by name (an HTML page's charset, an
// XML declaration: "windows-1252", "Shift_JIS", "GB2312"…); nothing when
// this build cannot convert that encoding.
std::optional<QString> DecodeCharset(QByteArrayView charset, QByteArrayView bytes);

} // namespace tombolix::transfer
