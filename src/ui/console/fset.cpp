#include "console/fset.h"

#include "common/backupquestion.h"
#include "common/celleditor.h"
#include "common/conventions.h"
#include "common/desktop.h"
#include "common/gridview.h"
#include "common/idlist.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "common/version.h"
#include "console/about.h"
#include "console/addmem.h"
#include "console/checkdialog.h"
#include "console/modi.h"
#include "console/modicon.h"
#include "console/restoredialog.h"
#include "data/awardstore.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/entrantstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/certificate.h"
#include "drawscreen/enterdraw.h"
#include "drawscreen/mf.h"
#include "drawscreen/stagescreenmenu.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"
#include "transfer/exportdialog.h"
#include "transfer/inputmap.h"
#include "transfer/sheets.h"

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
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

static void initConsoleResources()
{
    Q_INIT_RESOURCE(console);
}

static void initIconResources()
{
    Q_INIT_RESOURCE(icon);
}

namespace tombolix {

using grid::Align;
using grid::GridModel;
using grid::GridView;

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

struct GridLayout
{
    QStringList fields;
    QStringList captions;
    QString table;
    int fixedCols;
};

const GridLayout &gridLayout(int index)
{
    static const GridLayout layouts[4] = {
        { { "ID", "", "抽奖内容", "速度", "定时", "定长", "屏蔽", "底图" },
            { "", "序号", "抽奖名称", "滚动速度", "定时", "定长", "屏蔽规则", "背景图" },
            QStringLiteral("奖次表"), 2 },
        { { "ID", "顺序", "名称", "数量", "同时", "显示", "重复", "奖品" },
            { "", "抽奖顺序", "奖项名称", "奖项数量", "每次抽出人数", "公告显示", "可重复获奖", "奖品说明" },
            QStringLiteral("奖项表"), 2 },
        { { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" },
            QStringLiteral("号码表"), 3 },
        { { "ID", "CID", "", "WID:奖项表:ID:名称", "WID:奖项表:ID:奖品", "号码", "姓名" },
            { "ID", "CID", "序号", "获得奖项", "奖品", "抽奖号码", "姓名" }, QStringLiteral("结果表"), 3 },
    };
    return layouts[index];
}

// The sort field of the awards, entrants and results grids.
QString sortFieldOf(int index)
{
    switch (index) {
    case 1:
        return QStringLiteral("顺序");
    case 2:
        return QStringLiteral("号码");
    case 3:
        return QStringLiteral("WID");
    default:
        return QStringLiteral("ID");
    }
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
    m_tabs->addTab(buildGridTab(0, { "新建抽奖", "修改设置", "删除设置" }), QStringLiteral("抽奖设置"));
    m_tabs->addTab(buildGridTab(1, { "添加奖项", "修改奖项", "删除奖项", "顺序移前", "顺序移后" }),
        QStringLiteral("奖项设置"));
    m_tabs->addTab(
        buildGridTab(2, { "导入数据", "检查重复", "检查号长", "删除数据", "添加数据", "导出数据" }),
        QStringLiteral("抽奖数据"));
    m_tabs->addTab(buildGridTab(3, { "删除数据", "导出数据" }), QStringLiteral("抽奖结果"));
    m_tabs->addTab(buildHelpTab(), QStringLiteral("使用帮助"));
    layout->addWidget(m_tabs, 1);

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
    layout->addLayout(side);
    setCentralWidget(central);
    resize(1100, 700);

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

QWidget *FSet::buildGridTab(int index, const QStringList &buttons)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("Pic_%1").arg(index));
    auto *layout = new QVBoxLayout(page);
    auto *bar = new QHBoxLayout;
    if (index > 0) {
        bar->addWidget(new QLabel(QStringLiteral("抽奖名称："), page));
        m_combos[index] = new QComboBox(page);
        m_combos[index]->setObjectName(QStringLiteral("CMB_%1").arg(index));
        m_combos[index]->setMinimumWidth(260);
        m_combos[index]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        bar->addWidget(m_combos[index]);
        connect(m_combos[index], &QComboBox::activated, this, [this, index] { comboClick(index); });
        bar->addSpacing(16);
    }
    for (int n = 0; n < buttons.size(); ++n) {
        auto *button = new QPushButton(buttons.at(n), page);
        const int id = index * 10 + n;
        button->setObjectName(QStringLiteral("Com_%1").arg(id));
        button->setMinimumWidth(88);
        connect(button, &QPushButton::clicked, this, [this, id] { pressButton(id); });
        bar->addWidget(button);
    }
    bar->addStretch(1);
    layout->addLayout(bar);

    m_grids[index] = new GridModel(this);
    if (index == 2) {
        m_entrantCount = new QLabel(page);
        m_entrantCount->setObjectName(QStringLiteral("EntrantCount"));
        bar->addWidget(m_entrantCount);
        GridModel *entrants = m_grids[index];
        // The draw's entrants as stored, not the grid's rows: counted once
        // for however many changes one turn of the event loop brings.
        auto *recount = new QTimer(this);
        recount->setSingleShot(true);
        recount->setInterval(0);
        connect(recount, &QTimer::timeout, this, [this] {
            const qint64 draw = chosenDraw(2);
            const std::optional<qint64> stored
                = draw > 0 ? data::EntrantStore().countForDraw(draw) : std::nullopt;
            m_entrantCount->setText(stored ? QStringLiteral("共%1人").arg(*stored) : QString());
        });
        const auto count = [recount] { recount->start(); };
        connect(entrants, &QAbstractItemModel::rowsInserted, this, count);
        connect(entrants, &QAbstractItemModel::rowsRemoved, this, count);
        connect(entrants, &QAbstractItemModel::modelReset, this, count);
        connect(entrants, &GridModel::layoutPropertiesChanged, this, count);
    }
    if (index == 3) {
        // The draw's 公证码 and commitment in full, to be read out, photographed
        // or posted before the first round.
        m_notaryLine = new QLabel(page);
        m_notaryLine->setObjectName(QStringLiteral("NotaryCode"));
        m_notaryLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(m_notaryLine);
        connect(m_grids[index], &QAbstractItemModel::modelReset, this, &FSet::refreshNotaryLine);
    }
    m_views[index] = new GridView(page);
    m_views[index]->setObjectName(QStringLiteral("MSF_%1").arg(index));
    m_views[index]->setGrid(m_grids[index]);
    layout->addWidget(m_views[index], 1);
    setupGrid(index);

    GridView *view = m_views[index];
    if (index != 1) {
        connect(view, &GridView::headerPressed, this, [this, index](int col) {
            hideCellEditor();
            grid::HandleHeaderClick(font(), *m_grids[index], col);
        });
    }
    if (index == 0)
        connect(view, &GridView::cellDoubleClicked, this, [this] { pressButton(1); });
    if (index == 1)
        connect(view, &GridView::cellDoubleClicked, this, [this] { pressButton(11); });
    if (index == 2) {
        connect(view, &GridView::cellClicked, this, &FSet::openCellEditor);
        // Anything that moves the rows under the editor closes it first.
        connect(view, &GridView::cellPressStarted, this, &FSet::hideCellEditor);
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &FSet::hideCellEditor);
        connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &FSet::hideCellEditor);
    }
    connect(view, &GridView::pointerMoved, this, &FSet::hideCellEditor);
    connect(view, &GridView::contextRequested, this,
        [this, index](const QPoint &pos) { showExportMenu(index, pos); });

    if (index == 2) {
        m_cellEditor = new CellEditor(view);
        connect(m_cellEditor, &CellEditor::cellTextChanged, this, &FSet::writeCell);
    }
    return page;
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

void FSet::setupGrid(int index)
{
    const GridLayout &layout = gridLayout(index);
    GridModel &grid = *m_grids[index];
    grid::SetupGridHeader(grid, layout.fields, layout.captions);
    grid.setTag(layout.table);
    grid.setFixedCols(layout.fixedCols);
    if (index == 0) {
        for (int c : { 3, 4, 5 })
            grid.setColAlignment(c, Align::RightBottom);
    } else if (index == 1) {
        for (int c : { 3, 4, 5, 6 })
            grid.setColAlignment(c, Align::CenterCenter);
    }
    grid::FitGridColumns(font(), grid, 1, true);
}

grid::GridModel *FSet::grid(int index) const
{
    return index >= 0 && index < 4 ? m_grids[index] : nullptr;
}

grid::GridView *FSet::gridView(int index) const
{
    return index >= 0 && index < 4 ? m_views[index] : nullptr;
}

QComboBox *FSet::combo(int index) const
{
    return index >= 1 && index < 4 ? m_combos[index] : nullptr;
}

qint64 FSet::chosenDraw(int tab) const
{
    QComboBox *box = combo(tab);
    return box ? integerValue(box->currentText()) : 0;
}

void FSet::SST_Click()
{
    hideCellEditor();
    const int tab = m_tabs->currentIndex();
    if (tab == 0) {
        loadDrawsTab();
        return;
    }
    if (tab >= 1 && tab <= 3) {
        setupGrid(tab);
        data::FillDrawList(m_combos[tab]);
        comboClick(tab);
    }
}

void FSet::loadDrawsTab()
{
    setupGrid(0);
    grid::TellIfNotAllShown(
        *m_grids[0], grid::FillGrid(*m_grids[0], QString(), QStringLiteral("ID"), false, font()));
    for (int c : { 3, 4, 5 })
        m_grids[0]->setColAlignment(c, Align::RightBottom);
}

void FSet::comboClick(int index)
{
    if (index < 1 || index > 3)
        return;
    hideCellEditor();
    grid::TellIfNotAllShown(*m_grids[index],
        grid::FillGrid(*m_grids[index], data::DrawStore::rowsOfDraw(chosenDraw(index)), sortFieldOf(index),
            false, font()));
}

bool FSet::hasDataRowSelected(int index) const
{
    const GridModel &grid = *m_grids[index];
    return grid.Rows() > grid.FixedRows() && grid.Row() >= grid.FixedRows();
}

void FSet::pressButton(int index)
{
    // The tabs are locked while an editor is open; a press that still
    // arrives (a queued one, the menu) finds nothing to act on.
    if (m_editor)
        return;
    hideCellEditor();
    switch (index) {
    case 0:
        editDraw(false);
        break;
    case 1:
        if (hasDataRowSelected(0))
            editDraw(true);
        break;
    case 2:
        if (hasDataRowSelected(0))
            deleteDraws();
        break;
    case 10:
        editAward(false);
        break;
    case 11:
        if (hasDataRowSelected(1))
            editAward(true);
        break;
    case 12:
        if (hasDataRowSelected(1))
            deleteAwards();
        break;
    case 13:
        MoveAwardRow(m_grids[1]->Row(), m_grids[1]->Row() - 1);
        break;
    case 14:
        MoveAwardRow(m_grids[1]->Row(), m_grids[1]->Row() + 1);
        break;
    case 21:
        checkDuplicates();
        break;
    case 22:
        checkLengths();
        break;
    case 23:
        if (hasDataRowSelected(2))
            deleteRows(2, data::backupreason::DeleteEntrants);
        break;
    case 24:
        addEntrant();
        break;
    case 25:
        ExportGrid(*m_grids[2], QStringLiteral("澄曜抽奖"));
        break;
    case 30:
        if (hasDataRowSelected(3))
            deleteRows(3, data::backupreason::DeleteResults);
        break;
    case 20:
        importEntrants();
        break;
    case 31:
        ExportGrid(*m_grids[3], QStringLiteral("澄曜抽奖"));
        break;
    default:
        break;
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

void FSet::editDraw(bool existing)
{
    auto *editor = new Modi(this);
    editor->setWindowFlag(Qt::Window);
    connect(editor, &Modi::closedEditor, this, [this] {
        releaseEditor();
        SST_Click();
    });
    openEditorOf(editor);
    if (existing)
        editor->setDrawId(integerValue(m_grids[0]->TextMatrix(m_grids[0]->Row(), 0)));
}

void FSet::editAward(bool existing)
{
    if (!existing && chosenDraw(1) < 1) {
        prompts().message(QStringLiteral("请选择抽奖名称后再添加奖项！"));
        return;
    }
    auto *editor = new ModiCon(this);
    editor->setWindowFlag(Qt::Window);
    connect(editor, &ModiCon::saved, this, [this] { comboClick(1); });
    openEditorOf(editor);
    if (existing) {
        editor->setAwardId(integerValue(m_grids[1]->TextMatrix(m_grids[1]->Row(), 0)));
    } else {
        editor->setDrawId(chosenDraw(1));
        editor->setOrder(QString::number(m_grids[1]->Rows() - m_grids[1]->FixedRows() + 1));
    }
}

void FSet::deleteDraws()
{
    deleteWithDependents(
        0, QStringLiteral("抽奖内容"), [](const QList<qint64> &ids) { return data::DrawStore().remove(ids); },
        false, data::backupreason::DeleteDraws);
}

void FSet::deleteAwards()
{
    deleteWithDependents(
        1, QStringLiteral("奖项内容"),
        [](const QList<qint64> &ids) { return data::AwardStore().remove(ids); }, true,
        data::backupreason::DeleteAwards);
}

void FSet::deleteWithDependents(int index, const QString &what,
    const std::function<bool(const QList<qint64> &)> &remove, bool askAgain, const QString &backupReason)
{
    GridModel &grid = *m_grids[index];
    int first = 0;
    int last = 0;
    grid::SelectedRows(grid, first, last);
    if (!prompts().askYesNo(QStringLiteral("您确认要删除") + what + QStringLiteral("：第")
                + QString::number(first - 1) + QStringLiteral("行至第") + QString::number(last - 1)
                + QStringLiteral("行？"),
            DefaultAnswer::No))
        return;
    // Awards are asked about twice; nothing goes before the second Yes, not
    // even their winners.
    if (askAgain && !prompts().askYesNo(grid::DeletionQuestion(grid, first, last), DefaultAnswer::No))
        return;
    if (!BackUpBefore(backupReason))
        return;
    // The rows and all that hangs on them go together: all of it or, when the
    // database refuses, none of it, and the grid keeps its rows.
    QList<qint64> ids;
    for (int r = first; r <= last; ++r)
        ids << integerValue(grid.TextMatrix(r, 0));
    if (!remove(ids)) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    grid::DeleteGridRows(grid, first, last, {}, false);
}

void FSet::deleteRows(int index, const QString &backupReason)
{
    hideCellEditor();
    GridModel &grid = *m_grids[index];
    int first = 0;
    int last = 0;
    grid::SelectedRows(grid, first, last);
    first = std::max(first, grid.FixedRows());
    last = std::min(last, grid.Rows() - 1);
    if (last < first || !prompts().askYesNo(grid::DeletionQuestion(grid, first, last), DefaultAnswer::No))
        return;
    // The copy is made once the operator has said yes, before any row goes.
    if (!BackUpBefore(backupReason))
        return;
    // The records go first, all of them or none; the grid lets go of its rows
    // only once they are gone. A result deleted here is kept as withdrawn, so
    // a continued draw leaves its winner out as the stage does.
    QList<qint64> ids;
    for (int r = first; r <= last; ++r) {
        const QString key = grid.TextMatrix(r, 0).trimmed();
        if (!key.isEmpty())
            ids << integerValue(key);
    }
    const bool deleted = index == 3 ? data::ResultStore().withdraw(ids, data::withdrawreason::ResultsTab)
                                    : data::EntrantStore().remove(ids).has_value();
    if (!deleted) {
        prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
        return;
    }
    grid::DeleteGridRows(grid, first, last, {}, false);
}

void FSet::MoveAwardRow(int from, int to)
{
    GridModel &grid = *m_grids[1];
    const int firstData = grid.FixedRows();
    if (from < firstData || to < firstData || from >= grid.Rows() || to >= grid.Rows())
        return;
    for (int c = 0; c < grid.Cols(); ++c) {
        if (c == 1)
            continue; // the order numbers stay in place
        const QString moving = grid.TextMatrix(from, c);
        grid.setTextMatrix(from, c, grid.TextMatrix(to, c));
        grid.setTextMatrix(to, c, moving);
    }
    // Every award of the draw takes its place in the grid as its order.
    QList<qint64> awards;
    for (int r = firstData; r < grid.Rows(); ++r)
        awards << integerValue(grid.TextMatrix(r, 0));
    data::AwardStore().reorder(chosenDraw(1), awards);
    m_views[1]->showGridRow(to);
    grid.setRow(to);
    grid.setRowSel(to);
    grid.setCol(2);
    grid.setColSel(grid.Cols() - 1);
}

void FSet::importEntrants()
{
    const transfer::ImportSource source = ChooseImportFile(this, 1);
    QDialog *mapping = StartImportMapping(this, source, m_grids[2], [this] { return chosenDraw(2); });
    if (auto *map = qobject_cast<InputMap *>(mapping)) {
        connect(map, &InputMap::imported, this, [this](int firstRow, int stored) {
            if (stored > 0)
                m_views[2]->showGridRow(firstRow);
        });
    }
}

void FSet::showExportMenu(int index, const QPoint &globalPos)
{
    QMenu menu(QStringLiteral("导出"), this);
    menu.setObjectName(QStringLiteral("M_Out"));
    QAction *exportGrid = menu.addAction(QStringLiteral("导出表格"));
    exportGrid->setObjectName(QStringLiteral("M_OutMSF"));
    connect(exportGrid, &QAction::triggered, this,
        [this, index] { ExportGrid(*m_grids[index], QStringLiteral("澄曜抽奖")); });
    if (index == 3) {
        QAction *record = menu.addAction(QStringLiteral("导出公证记录…"));
        record->setObjectName(QStringLiteral("M_OutRecord"));
        connect(record, &QAction::triggered, this, [this] { exportNotaryRecord(chosenDraw(3)); });
        QAction *sheet = menu.addAction(QStringLiteral("导出承诺单…"));
        sheet->setObjectName(QStringLiteral("M_OutCommitment"));
        connect(sheet, &QAction::triggered, this, [this] { exportCommitmentSheet(chosenDraw(3)); });
    }
    menu.exec(globalPos);
}

void FSet::exportNotaryRecord(qint64 draw)
{
    if (draw < 1)
        return;
    const QString path
        = prompts().saveFileName(QStringLiteral("公证记录(*.json)|*.json"), QStringLiteral("公证记录.json"));
    if (path.isEmpty())
        return;
    // The seed is revealed with it, so the record checks, and a revealed
    // seed draws no further rounds; not while the draw's screen still draws
    // from it.
    const bool onStage = DrawScreenOpenFor(draw);
    const std::optional<draw::NotaryFiles> files = draw::WriteNotaryFiles(draw, path, !onStage);
    if (!files) {
        prompts().message(
            QStringLiteral("公证记录导出失败：该抽奖还没有公证记录（尚未进入过抽奖），或文件无法写入！"));
        return;
    }
    QString told = QStringLiteral("已导出公证记录：%1 和公证证书：%2")
                       .arg(QFileInfo(files->record).fileName(), QFileInfo(files->certificate).fileName());
    told += files->checkable
        ? QStringLiteral("\n可用 tombolix-verify 验证。")
        : QStringLiteral("\n抽奖还在进行，种子尚未公开：这份记录要到抽奖结束后重新导出才能验证。");
    prompts().message(told);
}

void FSet::refreshNotaryLine()
{
    const std::optional<data::NotarySeed> seed = data::NotaryStore().seedOf(chosenDraw(3));
    // Rule v2 keeps the commitment's entry hash, whose first digits are the code.
    m_notaryLine->setText(!seed || seed->seed.isEmpty()
            ? QString()
            : QStringLiteral("公证码 %1　　种子承诺 %2%3")
                  .arg(notary::GroupedCode(
                           seed->code.size() == 64 ? notary::CodeOfHash(seed->code) : seed->code),
                      seed->commitment, seed->revealed ? QStringLiteral("　　（种子已公开）") : QString()));
}

void FSet::exportCommitmentSheet(qint64 draw)
{
    if (draw < 1)
        return;
    const QString path
        = prompts().saveFileName(QStringLiteral("承诺单(*.pdf)|*.pdf"), QStringLiteral("承诺单.pdf"));
    if (path.isEmpty())
        return;
    const draw::CommitmentSheet sheet = draw::WriteCommitmentSheet(draw, path);
    if (!sheet.problem.isEmpty()) {
        prompts().message(sheet.problem);
        return;
    }
    // The console's line shows the code that was committed to now.
    refreshNotaryLine();
    prompts().message(QStringLiteral("已导出承诺单：%1 和 %2\n公证码 %3\n抽奖时舞台上会显示同一个公证码。")
                          .arg(QFileInfo(sheet.pdf).fileName(), QFileInfo(sheet.png).fileName(), sheet.code));
}

void FSet::addEntrant()
{
    auto *dialog = new AddMem(
        m_grids[2], [this] { return chosenDraw(2); }, this);
    dialog->setWindowFlag(Qt::Window);
    connect(dialog, &AddMem::added, this, [this](int row) { m_views[2]->showGridRow(row); });
    openEditorOf(dialog);
}

void FSet::checkDuplicates()
{
    hideCellEditor();
    CheckDialog *dialog = CheckDialog::showDuplicates(this, chosenDraw(2));
    if (!dialog)
        return;
    // What it found must still stand when its deletion runs: nothing in the
    // tabs changes under it.
    holdWhileOpen(dialog);
    connect(dialog, &CheckDialog::changed, this, [this] { comboClick(2); });
}

void FSet::checkLengths()
{
    hideCellEditor();
    const qint64 draw = chosenDraw(2);
    const qint64 length = integerValue(data::DrawStore().setting(draw, data::DrawStore::Setting::Length));
    if (CheckDialog *dialog = CheckDialog::showLengths(this, draw, length))
        holdWhileOpen(dialog);
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

void FSet::openCellEditor(int row, int col)
{
    hideCellEditor();
    GridModel &grid = *m_grids[2];
    if (row < grid.FixedRows() || row >= grid.Rows() || col <= 2)
        return;
    m_editRow = row;
    m_editCol = col;
    m_editKey = std::llabs(integerValue(grid.TextMatrix(row, 0)));
    m_editFailureTold = false;
    m_cellEditor->openOver(grid.index(grid.modelRow(row), col), grid.TextMatrix(row, col));
}

void FSet::hideCellEditor()
{
    if (m_cellEditor)
        m_cellEditor->closeEditor();
}

int FSet::editedRow() const
{
    const GridModel &grid = *m_grids[2];
    auto keyOf = [&grid](int row) { return std::llabs(integerValue(grid.TextMatrix(row, 0))); };
    const bool placed = m_editRow >= grid.FixedRows() && m_editRow < grid.Rows();
    if (placed && keyOf(m_editRow) == m_editKey)
        return m_editRow;
    if (m_editKey == 0)
        return -1;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        if (keyOf(r) == m_editKey)
            return r;
    }
    return -1;
}

void FSet::writeCell(const QString &text)
{
    if (!m_cellEditor->isVisible() || m_editRow < 0)
        return;
    const int row = editedRow();
    if (row < 0) {
        hideCellEditor();
        return;
    }
    m_editRow = row;
    GridModel &grid = *m_grids[2];
    const qint64 draw = chosenDraw(2);
    // A refusal is told once for the edit: every keystroke stores the cell.
    if (grid::EditEntrantCell(grid, row, m_editCol, text, draw).failed() && !m_editFailureTold) {
        m_editFailureTold = true;
        prompts().message(data::EntrantSaveFailedMessage());
    }
    if (m_editKey == 0)
        m_editKey = std::llabs(integerValue(grid.TextMatrix(row, 0)));
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
            grid::FitGridColumns(font(), *m_grids[tab], 1, true);
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
