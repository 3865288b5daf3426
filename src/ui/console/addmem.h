#pragma once

#include "console/editordialog.h"

#include <QList>
#include <QPointer>
#include <functional>

class QLineEdit;

namespace tombolix {

namespace grid {
class GridModel;
}

// Appends one entrant to the console's entrants grid and stores it at once
// for the draw chosen on the entrants tab, with a box for each attribute the
// grid shows (部门…), which may stay empty. Shown without modality; deletes
// itself when closed.
class AddMem : public EditorDialog
{
    Q_OBJECT

public:
    // drawId answers the draw chosen at the moment of confirming.
    AddMem(grid::GridModel *entrants, std::function<qint64()> drawId, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("添加名单"); }

signals:
    // The entrant is stored in this grid row.
    void added(int row);

protected:
    void confirm() override;

private:
    QPointer<grid::GridModel> m_entrants;
    std::function<qint64()> m_drawId;
    QLineEdit *m_number = nullptr;
    QLineEdit *m_name = nullptr;
    QList<QLineEdit *> m_attributes; // one for each of the grid's attribute columns
};

} // namespace tombolix
