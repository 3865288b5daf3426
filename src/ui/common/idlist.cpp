#include "common/idlist.h"

#include "data/database.h"
#include "data/tables.h"

#include <QComboBox>

namespace tombolix::data {

void FillIdList(QComboBox *list, const QString &table, const QString &idColumn, const QString &textColumn,
    const QString &condition)
{
    list->clear();
    const QStringList items = IdListItems(table, idColumn, textColumn, condition);
    if (items.isEmpty())
        return;
    list->addItems(items);
    list->setCurrentIndex(0);
}

void FillDrawList(QComboBox *list)
{
    FillIdList(list, draws::Table, draws::Id, draws::Name, QString());
}

} // namespace tombolix::data
