#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QDialog;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace tombolix {

class CellEditor;

namespace grid {
class GridModel;
class GridView;
} // namespace grid

// The console: the window the program starts on and ends with. Four tabs of
// grids (draws, awards, entrants, results) with their buttons, and the help.
class FSet : public QMainWindow
{
    Q_OBJECT

public:
    explicit FSet(QWidget *parent = nullptr);
    ~FSet() override;

    static QString caption();
    // Names the application for the platform before the console is made:
    // every window, the console first, is captioned exactly as it sets.
    static void nameApplication();

    grid::GridModel *grid(int index) const;
    grid::GridView *gridView(int index) const;
    QComboBox *combo(int index) const;
    QTabWidget *tabs() const { return m_tabs; }
    // The draw chosen in a tab's combo: its leading number, 0 when none.
    qint64 chosenDraw(int tab) const;

    // Reloads the current tab (its combo goes back to the newest draw).
    void SST_Click();
    // Reloads grid `index` for the draw chosen in its combo.
    void comboClick(int index);
    // Buttons by their index (tab x 10 + n), as a click on them does.
    void pressButton(int index);

signals:
    void enterDrawRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildGridTab(int index, const QStringList &buttons);
    QWidget *buildHelpTab();
    void buildMenus();
    void setupGrid(int index);
    void loadDrawsTab();
    void deleteDraws();
    void deleteAwards();
    // Deletes the selected rows of a grid with what hangs on them through `remove`.
    void deleteWithDependents(int index, const QString &what,
        const std::function<bool(const QList<qint64> &)> &remove, bool askAgain, const QString &backupReason);
    // Deletes the selected rows of the entrants or results grid from their table.
    void deleteRows(int index, const QString &backupReason);
    void MoveAwardRow(int from, int to);
    void editDraw(bool existing);
    void editAward(bool existing);
    void addEntrant();
    void importEntrants();
    void showExportMenu(int index, const QPoint &globalPos);
    // Reveals the draw's seed and writes its record for tombolix-verify.
    void exportNotaryRecord(qint64 draw);
    void exportCommitmentSheet(qint64 draw);
    void refreshNotaryLine();
    void checkDuplicates();
    void checkLengths();
    void showAbout();
    void showGuide();
    void openEditorOf(QDialog *editor);
    void releaseEditor();
    // The tabs and the menu commands that change data wait while an editor is open.
    void lockForEditor(bool locked);
    // Locks the tabs while the window is open, as an editor does.
    void holdWhileOpen(QDialog *window);
    void backUpByHand();
    void restoreByHand();
    void openDataFolder();
    bool hasDataRowSelected(int index) const;

    // The in-grid editor of the entrants grid.
    void openCellEditor(int row, int col);
    void hideCellEditor();
    void writeCell(const QString &text);
    // The row of the entrant the editor was opened on, -1 when it is gone.
    int editedRow() const;

    QTabWidget *m_tabs = nullptr;
    grid::GridModel *m_grids[4] = {};
    grid::GridView *m_views[4] = {};
    QComboBox *m_combos[4] = {};
    QTextBrowser *m_help = nullptr;
    QPushButton *m_entr = nullptr;
    QAction *m_newDraw = nullptr;
    QAction *m_backUp = nullptr;
    QAction *m_restore = nullptr;
    // The draw, award or entrant editor while one is open.
    QPointer<QDialog> m_editor;
    CellEditor *m_cellEditor = nullptr;
    QLabel *m_entrantCount = nullptr;
    QLabel *m_notaryLine = nullptr; // the results tab's 公证码 // how many entrants the chosen draw has
    int m_editRow = -1;
    int m_editCol = -1;
    // The entrant being edited; 0 for a row not stored yet, which is known
    // by its place until its first write stores it.
    qint64 m_editKey = 0;
    // A refused write is reported once per opening, not at every keystroke.
    bool m_editFailureTold = false;
    bool m_fittedShown = false;
};

} // namespace tombolix
