#pragma once

#include <QString>

// Small routines several windows share.
namespace tombolix {

// The filter of the import file dialog.
inline const QString ImportFilter
    = QStringLiteral("Microsoft Office Excel 工作簿(*.xls;*.xlsx)|*.xls;*.xlsx|CSV (逗号分隔)(*.csv)|*.csv");

// The open-file dialog; an empty filter becomes the import filter, also in the
// caller's variable. Returns the chosen path, "" when cancelled.
QString AskOpenFileName(QString &filter);
// The colour dialog starting at a stored colour (0x00BBGGRR); -1 when cancelled.
qint64 AskColour(qint64 start);

} // namespace tombolix
