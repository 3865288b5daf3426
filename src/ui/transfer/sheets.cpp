#include "transfer/sheets.h"

#include "common/dialogparts.h"
#include "common/gridview.h"
#include "common/helpers.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "grid/gridops.h"
#include "transfer/importer.h"
#include "transfer/inputmap.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tombolix {

namespace {
constexpr int SelectColumn = 1;
constexpr int NameColumn = 2;
} // namespace

Sheets::Sheets(const QString &workbook, int mode, QWidget *parent)
    : QDialog(parent)
    , m_workbook(workbook)
    , m_mode(mode)
{
    setObjectName(QStringLiteral("Sheets"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setProperty("mode", QString::number(mode)); // the chooser's tag

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请在要导入数据所在的表格行打“√”"), this));
    m_grid = new grid::GridModel(this);
    m_grid->setCols(3);
    m_grid->setRows(1);
    m_grid->setFixedRows(1);
    m_grid->setFixedCols(0);
    const QStringList captions { QStringLiteral("No."), QStringLiteral("选择"),
        QStringLiteral("工作表名称") };
    const int widths[] = { 500, 600, 4400 };
    for (int c = 0; c < 3; ++c) {
        m_grid->setTextMatrix(0, c, captions.at(c));
        m_grid->setColWidth(c, widths[c]);
        m_grid->setColAlignment(c, grid::Align::LeftCenter);
    }
    m_grid->setColAlignment(SelectColumn, grid::Align::CenterCenter);
    m_view = new grid::GridView(this);
    m_view->setObjectName(QStringLiteral("SHL"));
    m_view->setGrid(m_grid);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setMinimumSize(400, 220);
    layout->addWidget(m_view, 1);
    connect(m_view, &grid::GridView::cellPressed, this, &Sheets::pressRow);
    connect(m_view, &grid::GridView::headerPressed, this, &Sheets::pressHeader);

    const ButtonRow buttons = makeButtonRow(this, QStringLiteral("确   定"), QStringLiteral("IMG_0"),
        QStringLiteral("取   消"), QStringLiteral("IMG_1"));
    layout->addLayout(buttons.layout);
    connect(buttons.ok, &QPushButton::clicked, this, [this] { finish(true); });
    connect(buttons.cancel, &QPushButton::clicked, this, [this] { finish(false); });
    MakeTopmost(this);
}

bool Sheets::load()
{
    int error = 0;
    const QList<transfer::SheetInfo> sheets = transfer::ListWorksheetInfo(m_workbook, &error);
    if (error != 0) {
        // A file whose content is no workbook (a Word document or a text
        // file renamed) is told apart from one that cannot be read.
        prompts().message(error == transfer::NotAWorkbook ? transfer::WorkbookErrorMessage(error)
                                                          : QStringLiteral("无法打开XLS文件！"));
        return false;
    }
    m_grid->beginBulkChange();
    m_grid->setRows(1);
    m_names.clear();
    // A hidden sheet often holds a cover, lookups or last year's list: it is
    // marked, and the first sheet the office shows comes ticked.
    int ticked = 0;
    for (const transfer::SheetInfo &sheet : sheets) {
        const int r = m_grid->addRow();
        m_grid->setTextMatrix(r, 0, QString::number(r));
        m_grid->setTextMatrix(
            r, NameColumn, sheet.hidden ? sheet.name + QStringLiteral("(隐藏)") : sheet.name);
        m_names << sheet.name;
        if (ticked == 0 && !sheet.hidden)
            ticked = r;
    }
    if (m_grid->Rows() > 1)
        m_grid->setTextMatrix(ticked > 0 ? ticked : 1, SelectColumn, QStringLiteral("√"));
    m_grid->endBulkChange();
    adjustSize();
    CentreOnWorkArea(this);
    return true;
}

QString Sheets::sheetName(int row) const
{
    return m_names.value(row - 1);
}

void Sheets::pressRow(int row, int)
{
    if (row < 1 || row >= m_grid->Rows())
        return;
    if (m_grid->TextMatrix(row, SelectColumn).isEmpty()) {
        if (m_mode == 1) {
            for (int r = 1; r < m_grid->Rows(); ++r)
                m_grid->setTextMatrix(r, SelectColumn, QString());
        }
        m_grid->setTextMatrix(row, SelectColumn, QStringLiteral("√"));
    } else {
        m_grid->setTextMatrix(row, SelectColumn, QString());
    }
}

void Sheets::pressHeader(int col)
{
    if (m_mode <= 1 || col != SelectColumn || m_grid->Rows() < 2)
        return;
    const QString value = grid::ToggleMark(m_grid->TextMatrix(1, SelectColumn));
    for (int r = 1; r < m_grid->Rows(); ++r) {
        if (!m_grid->TextMatrix(r, NameColumn).isEmpty())
            m_grid->setTextMatrix(r, SelectColumn, value);
    }
}

void Sheets::finish(bool accept)
{
    if (accept) {
        QStringList ticked;
        for (int r = 1; r < m_grid->Rows(); ++r) {
            if (!m_grid->TextMatrix(r, SelectColumn).isEmpty())
                ticked << sheetName(r);
        }
        emit chosen(ticked.join(QStringLiteral("‖")));
    }
    close();
}

transfer::ImportSource ChooseImportFile(QWidget *console, int mode)
{
    transfer::ImportSource source;
    QString filter;
    // The path is kept as chosen: on a case-sensitive file system a lower-cased
    // name would name no file. Extensions are compared without case.
    source.path = AskOpenFileName(filter);
    if (source.path.isEmpty() || transfer::IsCsvPath(source.path))
        return source;
    if (!transfer::IsWorkbookPath(source.path)) {
        prompts().message(QStringLiteral("您选择的文件格式不支持导入，请选择CSV或XLS文件！"));
        return {};
    }
    // Top-level windows of their own: disabling the console must not
    // disable them.
    auto *chooser = new Sheets(source.path, mode);
    QObject::connect(
        chooser, &Sheets::chosen, chooser, [&source](const QString &sheets) { source.sheet = sheets; });
    if (console)
        console->setEnabled(false);
    const bool listed = chooser->load();
    if (listed) {
        chooser->show();
        WaitUntilClosed(chooser);
    } else {
        chooser->deleteLater();
    }
    if (console)
        console->setEnabled(true);
    return source;
}

QDialog *StartImportMapping(QWidget *console, const transfer::ImportSource &source, grid::GridModel *entrants,
    std::function<qint64()> drawId)
{
    if (!source.ready())
        return nullptr;
    // Disabled before the dialog reads its preview: the progress window
    // yields to the event loop, and a click on the console then could start
    // a second import that changes the file under the first.
    if (console)
        console->setEnabled(false);
    auto *dialog = new InputMap(source, entrants, std::move(drawId));
    if (console)
        QObject::connect(dialog, &QObject::destroyed, console, [console] { console->setEnabled(true); });
    dialog->show();
    return dialog;
}

} // namespace tombolix
