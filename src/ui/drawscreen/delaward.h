#pragma once

#include <QDialog>
#include <vector>

class QButtonGroup;
class QLineEdit;

namespace tombolix {

class MF;

namespace grid {
class GridModel;
class GridView;
} // namespace grid

// Withdraws invalid wins of the draw on screen: the ticked results are
// deleted, their winners leave the pool, and the award is drawn again.
class DelAward : public QDialog
{
    Q_OBJECT

public:
    explicit DelAward(MF *screen);

    static QString caption() { return QStringLiteral("删除无效获奖"); }
    grid::GridModel *grid() const { return m_grid; }
    // Deletes the ticked results; returns how many were deleted, -1 when the
    // database refused and nothing changed.
    int DeleteMarkedResults();
    // Why the ticked wins go, as kept with them: 未到场, 不符合条件 or 其他,
    // with the note after a colon when one is written.
    QString reason() const;
    // Lists these results first, in this order, above the rest of the draw's:
    // the round the operator is looking at.
    void putFirst(const std::vector<qint64> &resultIds);

private:
    void FillResultGrid();
    bool hasMarkedRows() const;

    MF *m_screen;
    grid::GridModel *m_grid = nullptr;
    grid::GridView *m_view = nullptr;
    QButtonGroup *m_reasons = nullptr;
    QLineEdit *m_note = nullptr;
};

} // namespace tombolix
