#pragma once

// What the fuzzers do with a workbook once it opens: every worksheet's
// corner of cells, a row and a column past its edges, and its last cell, as
// the import's callers read them.
#include "transfer/workbook.h"

#include <algorithm>

inline qsizetype ReadWorksheetCorners(tombolix::transfer::Workbook *book)
{
    qsizetype total = 0;
    if (!book)
        return total;
    for (const tombolix::transfer::SheetInfo &sheet : book->sheets()) {
        total += sheet.hidden ? 1 : 0;
        if (book->selectSheet(sheet.name) != 0)
            continue;
        const int rows = std::min(book->rowCount(), 64);
        const int columns = std::min(book->columnCount(), 64);
        for (int r = 0; r <= rows + 1; ++r) {
            for (int c = 0; c <= columns + 1; ++c)
                total += book->cell(r, c).size();
        }
        total += book->cell(book->rowCount(), book->columnCount()).size();
    }
    return total;
}
