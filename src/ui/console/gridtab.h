#pragma once

#include "grid/gridmodel.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QComboBox;
class QDialog;
class QHBoxLayout;
class QMenu;
class QVBoxLayout;

namespace tombolix {

namespace grid {
class GridView;
}

// One of the console's grid tabs: a bar of buttons over a grid and, on all
// but the draws tab, the draw whose rows the grid shows. The tab's place
// among the console's tabs names its controls: the page Pic_n, the draw
// chooser CMB_n, the grid MSF_n and the buttons Com_n0, Com_n1 and on.
class GridTab : public QWidget
{
    Q_OBJECT

public:
    // What a tab is: its place, its grid's columns and how they are shown.
    struct Shape
    {
        int place = 0; // among the console's tabs
        QStringList fields;
        QStringList captions;
        QString table;
        int fixedCols = 0;
        // The field the grid's rows are sorted by when it is filled.
        QString sortField;
        QList<int> alignedCols;
        grid::Align alignment = grid::Align::General;
        // Whether the grid shows one draw's rows, chosen beside the buttons.
        bool choosesDraw = true;
        bool sortsOnHeader = true;
    };
    // A button of the bar and what it does.
    struct Button
    {
        QString caption;
        std::function<void()> act;
    };

    grid::GridModel *grid() const { return m_grid; }
    grid::GridView *view() const { return m_view; }
    // The draw chooser; none on the draws tab.
    QComboBox *chooser() const { return m_chooser; }
    // The draw chosen: its leading number, 0 when none.
    qint64 chosenDraw() const;

    // Fills the tab afresh as it comes into view: the grid's header, the
    // draws to choose from and the chosen draw's rows.
    virtual void load();
    // Fills the grid with the rows of the draw chosen.
    void reload();
    // Runs button n as a click on it does.
    void press(int n);
    // Asked before a button acts, which it does only on true: the console
    // gets ready for it, or answers false while an editor is open.
    void setReadiness(std::function<bool()> ready) { m_ready = std::move(ready); }
    // Closes the editor standing over a cell of the grid, on a tab that has
    // one; what it held is stored already. Done before the rows move.
    virtual void closeCellEditor() { }

signals:
    // An editor to show: one at a time, and nothing in the console changes
    // under it until it closes.
    void editorOpened(QDialog *editor);
    // A window shown already that the console waits for as for an editor.
    void windowHeld(QDialog *window);

protected:
    // Made with the console as its parent, whose font the grid is fitted to.
    GridTab(const Shape &shape, const QList<Button> &buttons, QWidget *console);

    // Sets the header, the columns and their widths.
    void setupGrid();
    void alignColumns();
    QFont gridFont() const;
    QHBoxLayout *bar() const { return m_bar; }
    QVBoxLayout *pageLayout() const { return m_layout; }
    bool hasDataRowSelected() const;
    void exportGrid() const;
    // Deletes the selected rows with what hangs on them through `remove`.
    void deleteWithDependents(const QString &what, const std::function<bool(const QList<qint64> &)> &remove,
        bool askAgain, const QString &backupReason);
    // Deletes the selected rows' records through `remove`.
    void deleteSelectedRows(
        const QString &backupReason, const std::function<bool(const QList<qint64> &)> &remove);

    // Fills the columns no table field fills, after the rows are read.
    virtual void fillComputedColumns() { }
    // What the tab adds to its grid's export menu after 导出表格.
    virtual void addExportCommands(QMenu &menu);

private:
    void buildBar(const QList<Button> &buttons);
    void buildGrid();
    void showExportMenu(const QPoint &globalPos);

    const Shape m_shape;
    QList<std::function<void()>> m_actions;
    std::function<bool()> m_ready;
    QVBoxLayout *m_layout = nullptr;
    QHBoxLayout *m_bar = nullptr;
    QComboBox *m_chooser = nullptr;
    grid::GridModel *m_grid = nullptr;
    grid::GridView *m_view = nullptr;
};

} // namespace tombolix
