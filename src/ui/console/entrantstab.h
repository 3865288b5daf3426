#pragma once

#include "console/gridtab.h"

class QLabel;

namespace tombolix {

class CellEditor;

// The console's 抽奖数据 tab: the entrants of the draw chosen, imported,
// checked, added, deleted and exported here, and typed into in the grid
// itself. Beside its buttons it tells how many entrants the draw has.
class EntrantsTab : public GridTab
{
    Q_OBJECT

public:
    explicit EntrantsTab(QWidget *console);

    void closeCellEditor() override;

protected:
    void beforeFill() override;
    void afterFill() override;

private:
    void buildCount();
    void buildCellEditor();
    void importEntrants();
    void checkDuplicates();
    void checkLengths();
    void deleteEntrants();
    void addEntrant();

    void openCellEditor(int row, int col);
    void writeCell(const QString &text);
    // The row of the entrant the editor was opened on, -1 when it is gone.
    int editedRow() const;

    QLabel *m_count = nullptr;
    CellEditor *m_cellEditor = nullptr;
    int m_editRow = -1;
    int m_editCol = -1;
    // The entrant being edited; 0 for a row not stored yet, which is known
    // by its place until its first write stores it.
    qint64 m_editKey = 0;
    // A refused write is reported once per opening, not at every keystroke.
    bool m_editFailureTold = false;
};

} // namespace tombolix
