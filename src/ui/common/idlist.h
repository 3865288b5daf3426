#pragma once

#include <QString>

class QComboBox;

namespace tombolix::data {

// Refills the list with the rows of the table, highest ID first, each as an
// ID list item, and shows the first; an empty table leaves the list empty.
void FillIdList(QComboBox *list, const QString &table, const QString &idColumn, const QString &textColumn,
    const QString &condition);
// The draws, newest first, each as its ID list item.
void FillDrawList(QComboBox *list);

} // namespace tombolix::data
