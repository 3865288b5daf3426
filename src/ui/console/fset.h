#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QDialog;
class QLayout;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace tombolix {

class GridTab;

namespace grid {
class GridModel;
class GridView;
} // namespace grid

// The console: the window the program starts on and ends with. Four tabs of
// grids (draws, awards, entrants, results) with their buttons, the help, the
// menus and the button that starts the draw. One editor is open at a time,
// and nothing in the tabs changes while it is.
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
    // The four grid tabs, each reporting its editors to the console.
    void buildGridTabs();
    QWidget *buildHelpTab();
    // The button that starts the draw, beside the tabs.
    QLayout *buildStartButton(QWidget *central);
    void buildMenus();
    void showAbout();
    void showGuide();
    void openEditorOf(QDialog *editor);
    void releaseEditor();
    // The tabs and the menu commands that change data wait while an editor is open.
    void lockForEditor(bool locked);
    // Locks the tabs while the window is open, as an editor does.
    void holdWhileOpen(QDialog *window);
    // Closes the editor over a grid's cell, where one is open.
    void hideCellEditor();
    void backUpByHand();
    void restoreByHand();
    void openDataFolder();

    QTabWidget *m_tabs = nullptr;
    GridTab *m_gridTabs[4] = {};
    QTextBrowser *m_help = nullptr;
    QPushButton *m_entr = nullptr;
    QAction *m_newDraw = nullptr;
    QAction *m_backUp = nullptr;
    QAction *m_restore = nullptr;
    // The draw, award or entrant editor while one is open.
    QPointer<QDialog> m_editor;
    bool m_fittedShown = false;
};

} // namespace tombolix
