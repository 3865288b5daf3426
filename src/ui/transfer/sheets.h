#pragma once

#include "transfer/importer.h"

#include <QDialog>
#include <functional>

namespace tombolix {

namespace grid {
class GridModel;
class GridView;
} // namespace grid

// The worksheet chooser: lists the sheets of a workbook and says which were
// ticked through chosen() as 确定 closes it. Mode 1 allows one tick at a time.
class Sheets : public QDialog
{
    Q_OBJECT

public:
    Sheets(const QString &workbook, int mode, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("选择要导入数据所在的工作表"); }
    // Lists the workbook's sheets; false (after a message) when it cannot be read.
    bool load();
    grid::GridModel *grid() const { return m_grid; }
    // The real name of a listed sheet: a hidden one is shown with a mark.
    QString sheetName(int row) const;

signals:
    // The ticked sheets' names, joined by "‖".
    void chosen(const QString &sheets);

private:
    void pressRow(int row, int col);
    void pressHeader(int col);
    void finish(bool accept);

    QString m_workbook;
    int m_mode = 1;
    QStringList m_names; // of rows 1.., as the workbook has them
    grid::GridModel *m_grid = nullptr;
    grid::GridView *m_view = nullptr;
};

// Asks for the import file; for a workbook, lets the operator choose the
// sheet, waiting for the chooser to close. What was chosen; an empty path
// when nothing was.
transfer::ImportSource ChooseImportFile(QWidget *console, int mode);
// Opens the mapping dialog when a CSV file, or a workbook and its sheet, was
// chosen. Returns the dialog, or nullptr.
QDialog *StartImportMapping(QWidget *console, const transfer::ImportSource &source, grid::GridModel *entrants,
    std::function<qint64()> drawId);

} // namespace tombolix
