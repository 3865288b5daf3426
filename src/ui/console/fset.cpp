#include "console/fset.h"

#include "common/desktop.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "common/version.h"
#include "console/about.h"
#include "console/awardstab.h"
#include "console/drawstab.h"
#include "console/entrantstab.h"
#include "console/restoredialog.h"
#include "console/resultstab.h"
#include "data/backup.h"
#include "data/database.h"
#include "drawscreen/enterdraw.h"
#include "drawscreen/mf.h"
#include "drawscreen/stagescreenmenu.h"
#include "grid/gridops.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>

static void initConsoleResources()
{
    Q_INIT_RESOURCE(console);
}

static void initIconResources()
{
    Q_INIT_RESOURCE(icon);
}

namespace tombolix {

namespace {

// A draw held on another screen leaves the console in view, locked.
bool drawHeldBeside(const QWidget *console)
{
    if (!console->isVisible())
        return false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
        [](const QWidget *window) { return window->isVisible() && qobject_cast<const MF *>(window); });
}

} // namespace

FSet::FSet(QWidget *parent)
    : QMainWindow(parent)
{
    initConsoleResources();
    setObjectName(QStringLiteral("FSet"));
    setWindowTitle(caption());
    buildMenus();

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("SST"));
    buildGridTabs();
    m_tabs->addTab(buildHelpTab(), QStringLiteral("使用帮助"));
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buildStartButton(central));
    setCentralWidget(central);
    resize(1100, 700);

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { SST_Click(); });
    SST_Click();
}

FSet::~FSet() = default;

QString FSet::caption()
{
    return QStringLiteral("澄曜抽奖软件") + QLatin1String(ProgramVersion);
}

void FSet::nameApplication()
{
    QCoreApplication::setOrganizationName(AppName);
    QCoreApplication::setApplicationName(AppName);
    // The desktop matches the windows to the menu entry by this name, and
    // shows the icon the entry names; the icon set here serves where it
    // does not.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tombolix.Tombolix"));
    initIconResources();
    QIcon icon;
    for (const int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/tombolix/icon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // No display name: the platform would append it to every window title
    // that does not already end with it: the caption, " — ", "澄曜抽奖软件".
}

void FSet::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("文件"));
    file->setObjectName(QStringLiteral("m_File"));
    m_newDraw = file->addAction(QStringLiteral("新建"));
    m_newDraw->setObjectName(QStringLiteral("M_New"));
    connect(m_newDraw, &QAction::triggered, this, [this] { pressButton(0); });
    file->addSeparator();
    m_backUp = file->addAction(QStringLiteral("备份数据库…"));
    m_backUp->setObjectName(QStringLiteral("M_Backup"));
    connect(m_backUp, &QAction::triggered, this, &FSet::backUpByHand);
    m_restore = file->addAction(QStringLiteral("恢复数据库…"));
    m_restore->setObjectName(QStringLiteral("M_Restore"));
    connect(m_restore, &QAction::triggered, this, &FSet::restoreByHand);
    QAction *dataFolder = file->addAction(QStringLiteral("打开数据文件所在文件夹"));
    dataFolder->setObjectName(QStringLiteral("M_DataFolder"));
    connect(dataFolder, &QAction::triggered, this, &FSet::openDataFolder);
    file->addSeparator();
    file->addMenu(new StageScreenMenu(this));
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("退出"));
    exit->setObjectName(QStringLiteral("m_Exit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助"));
    help->setObjectName(QStringLiteral("m_help"));
    QAction *guide = help->addAction(QStringLiteral("使用帮助"));
    guide->setObjectName(QStringLiteral("M_UserHelp"));
    connect(guide, &QAction::triggered, this, [this] { m_tabs->setCurrentIndex(4); });
    QAction *about = help->addAction(QStringLiteral("关于本软件"));
    about->setObjectName(QStringLiteral("m_About"));
    connect(about, &QAction::triggered, this, &FSet::showAbout);
    help->addSeparator();
    // The program uses no network: the support links lead to the guide.
    for (const QString &text : { QStringLiteral("QQ在线帮助1"), QStringLiteral("QQ在线帮助2") })
        connect(help->addAction(text), &QAction::triggered, this, &FSet::showGuide);
}

void FSet::buildGridTabs()
{
    auto *draws = new DrawsTab(this);
    m_gridTabs[0] = draws;
    m_gridTabs[1] = new AwardsTab(this);
    m_gridTabs[2] = new EntrantsTab(this);
    m_gridTabs[3] = new ResultsTab(this);
    const QString captions[4] = { QStringLiteral("抽奖设置"), QStringLiteral("奖项设置"),
        QStringLiteral("抽奖数据"), QStringLiteral("抽奖结果") };
    for (int index = 0; index < 4; ++index) {
        GridTab *tab = m_gridTabs[index];
        m_tabs->addTab(tab, captions[index]);
        tab->setReadiness([this] {
            if (m_editor)
                return false;
            hideCellEditor();
            return true;
        });
        connect(tab, &GridTab::editorOpened, this, &FSet::openEditorOf);
        connect(tab, &GridTab::windowHeld, this, &FSet::holdWhileOpen);
    }
    connect(draws, &DrawsTab::editorClosed, this, [this] {
        releaseEditor();
        SST_Click();
    });
}

QLayout *FSet::buildStartButton(QWidget *central)
{
    auto *side = new QVBoxLayout;
    m_entr = new QPushButton(QStringLiteral("开  始\n\n抽  奖"), central);
    m_entr->setObjectName(QStringLiteral("Entr"));
    m_entr->setMinimumSize(110, 110);
    QFont big = m_entr->font();
    big.setPointSizeF(14.25);
    big.setBold(true);
    m_entr->setFont(big);
    m_entr->setStyleSheet(QStringLiteral(
        "QPushButton { color: #ffe9a8; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #b3202f, "
        "stop:1 #7a0e1c); border: 1px solid #5c0a14; border-radius: 8px; padding: 8px; }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c92a3a, stop:1 "
        "#8c1222); }"
        "QPushButton:pressed { background: #6a0c18; }"));
    side->addSpacing(m_tabs->tabBar()->sizeHint().height());
    side->addWidget(m_entr);
    side->addStretch(1);

    connect(m_entr, &QPushButton::clicked, this, [this] {
        emit enterDrawRequested();
        MF *screen = EnterDraw(this);
        if (screen && isVisible()) {
            // Held on another screen the draw leaves the console in view: it
            // may be looked at, but what the draw stands on must not change.
            lockForEditor(true);
            connect(screen, &MF::closed, this, [this] { lockForEditor(!m_editor.isNull()); });
        }
    });
    return side;
}

QWidget *FSet::buildHelpTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("Pic_4"));
    auto *layout = new QHBoxLayout(page);
    m_help = new QTextBrowser(page);
    m_help->setObjectName(QStringLiteral("THelp"));
    m_help->setOpenLinks(false);
    QFile guide(QStringLiteral(":/tombolix/guide.html"));
    if (guide.open(QIODevice::ReadOnly))
        m_help->setHtml(QString::fromUtf8(guide.readAll()));
    layout->addWidget(m_help, 1);

    auto *frame = new QGroupBox(page);
    frame->setObjectName(QStringLiteral("FRM7"));
    auto *buttons = new QVBoxLayout(frame);
    auto *copyright = new QPushButton(QStringLiteral("版权说明"), frame);
    connect(copyright, &QPushButton::clicked, this, &FSet::showAbout);
    buttons->addWidget(copyright);
    for (const QString &text :
        { QStringLiteral("在线帮助1"), QStringLiteral("在线帮助2"), QStringLiteral("更多帮助") }) {
        auto *button = new QPushButton(text, frame);
        connect(button, &QPushButton::clicked, this, &FSet::showGuide);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    layout->addWidget(frame);
    return page;
}

grid::GridModel *FSet::grid(int index) const
{
    return index >= 0 && index < 4 ? m_gridTabs[index]->grid() : nullptr;
}

grid::GridView *FSet::gridView(int index) const
{
    return index >= 0 && index < 4 ? m_gridTabs[index]->view() : nullptr;
}

QComboBox *FSet::combo(int index) const
{
    return index >= 1 && index < 4 ? m_gridTabs[index]->chooser() : nullptr;
}

qint64 FSet::chosenDraw(int tab) const
{
    return tab >= 1 && tab < 4 ? m_gridTabs[tab]->chosenDraw() : 0;
}

void FSet::SST_Click()
{
    hideCellEditor();
    const int tab = m_tabs->currentIndex();
    if (tab >= 0 && tab < 4)
        m_gridTabs[tab]->load();
}

void FSet::comboClick(int index)
{
    if (index < 1 || index > 3)
        return;
    hideCellEditor();
    m_gridTabs[index]->reload();
}

void FSet::pressButton(int index)
{
    if (index >= 0 && index < 40)
        m_gridTabs[index / 10]->press(index % 10);
}

void FSet::hideCellEditor()
{
    for (GridTab *tab : m_gridTabs) {
        if (tab)
            tab->closeCellEditor();
    }
}

void FSet::openEditorOf(QDialog *editor)
{
    // One editor at a time, and nothing changes under it: every tab's grids
    // and buttons wait until it closes.
    hideCellEditor();
    holdWhileOpen(editor);
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void FSet::holdWhileOpen(QDialog *window)
{
    m_editor = window;
    lockForEditor(true);
    // Closed by its button, its close box or Esc, a dialog finishes.
    connect(window, &QDialog::finished, this, &FSet::releaseEditor);
}

void FSet::releaseEditor()
{
    m_editor = nullptr;
    // An editor opened before the draw began closes while it is held.
    lockForEditor(drawHeldBeside(this));
}

void FSet::lockForEditor(bool locked)
{
    m_tabs->setEnabled(!locked);
    for (QAction *action : { m_newDraw, m_backUp, m_restore })
        action->setEnabled(!locked);
}

void FSet::backUpByHand()
{
    if (m_editor)
        return;
    hideCellEditor();
    const QString suggested = QStringLiteral("Data-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".mdb");
    const QString path = prompts().saveFileName(QStringLiteral("数据库文件(*.mdb)|*.mdb"), suggested);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && !prompts().askYesNo(QStringLiteral("该文件已存在，是否覆盖？"), DefaultAnswer::No))
        return;
    if (data::SaveDatabaseCopy(path))
        prompts().message(QStringLiteral("数据库已备份到：") + QDir::toNativeSeparators(path));
    else
        prompts().message(QStringLiteral("数据库备份失败，没有写入任何文件！"));
}

void FSet::openDataFolder()
{
    const QString folder = QFileInfo(data::DatabasePath()).absolutePath();
    if (!OpenUrl(QUrl::fromLocalFile(folder)))
        prompts().message(QStringLiteral("无法打开文件夹：") + QDir::toNativeSeparators(folder));
}

void FSet::restoreByHand()
{
    if (m_editor)
        return;
    auto *dialog = new RestoreDialog(this);
    dialog->setWindowModality(Qt::WindowModal);
    // Everything the console shows came from the database that was replaced.
    connect(dialog, &RestoreDialog::restored, this, &FSet::SST_Click);
    openEditorOf(dialog);
}

void FSet::showAbout()
{
    auto *about = new About(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

void FSet::showGuide()
{
    m_tabs->setCurrentIndex(4);
    m_help->scrollToAnchor(QStringLiteral("top"));
}

void FSet::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The first tab was filled before the window had its size, while a
    // column may take at most half of the grid's width: fit it again now
    // that the grid is as wide as it will be seen.
    if (!m_fittedShown && !event->spontaneous()) {
        m_fittedShown = true;
        const int tab = m_tabs->currentIndex();
        if (tab >= 0 && tab < 4)
            grid::FitGridColumns(font(), *m_gridTabs[tab]->grid(), 1, true);
    }
}

void FSet::closeEvent(QCloseEvent *event)
{
    // Closing the console ends the program, whatever else is open, and at
    // once: quit() would first close every other window, whose closing steps
    // (an editor reloading the console, the draw screen's question) would
    // then run with the console gone. What they hold is stored already.
    event->accept();
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

} // namespace tombolix
