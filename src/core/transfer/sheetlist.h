#pragma once

#include "transfer/workbook.h"

#include <QList>
#include <QString>
#include <QStringList>

// What every workbook reader answers about its list of worksheets, answered
// once: the readers keep their sheets in workbook order, each with a name
// and, where the format can tell, whether it is hidden, and otherwise what
// they need.
namespace tombolix::transfer {

// Whether a sheet of this name is the one asked for: offices take sheet
// names without regard to case.
inline bool IsSheetNamed(const QString &sheet, const QString &name)
{
    return sheet.compare(name, Qt::CaseInsensitive) == 0;
}

template<typename Sheets> QStringList SheetNames(const Sheets &sheets)
{
    QStringList names;
    for (const auto &sheet : sheets)
        names << sheet.name;
    return names;
}

template<typename Sheets> QList<SheetInfo> SheetInfos(const Sheets &sheets)
{
    QList<SheetInfo> infos;
    for (const auto &sheet : sheets)
        infos.append({ sheet.name, sheet.hidden });
    return infos;
}

// The index of the first sheet of the name, or -1 when there is none.
template<typename Sheets> int FindSheet(const Sheets &sheets, const QString &name)
{
    int index = 0;
    for (const auto &sheet : sheets) {
        if (IsSheetNamed(sheet.name, name))
            return index;
        ++index;
    }
    return -1;
}

} // namespace tombolix::transfer
