#pragma once

#include <QByteArray>
#include <QString>

// Text encodings of the CSV files this program reads and writes. Files come
// from Excel (ANSI code page, GBK for Chinese, or UTF-8 with a byte-order
// mark), from other spreadsheet programs and from editors (UTF-8 without a
// mark, now and then UTF-16), so the reader guesses; the writer always writes
// UTF-8 with a mark, which Excel opens with the right characters.
namespace tombolix::transfer {

// A byte-order mark decides (UTF-8, UTF-16 LE, UTF-16 BE) and is dropped;
// without one, bytes that are valid UTF-8 are read as UTF-8 and anything else
// as GB18030, the superset of GBK.
QString DecodeText(const QByteArray &bytes);

// UTF-8 with a byte-order mark.
QByteArray EncodeCsvText(const QString &text);

} // namespace tombolix::transfer
