#include "transfer/inputmap.h"

#include "common/backupquestion.h"
#include "common/celleditor.h"
#include "common/conventions.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "common/windowops.h"
#include "data/backup.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"
#include "transfer/columnspec.h"
#include "transfer/csv.h"
#include "transfer/importer.h"
#include "transfer/importrange.h"
#include "transfer/workbookrows.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace tombolix {

namespace {
const QString Section = QStringLiteral("ImputMap");

constexpr int SpecColumn = 4;
constexpr int PreviewRows = 20;
constexpr int PreviewCols = 60;

// Row j of the file into preview row j + 1, its field i into column i + 1.
void showPreview(grid::GridModel &preview, const QList<QStringList> &rows)
{
    preview.beginBulkChange();
    for (qsizetype j = 0; j < rows.size(); ++j) {
        const QStringList &fields = rows.at(j);
        for (qsizetype i = 0; i < fields.size(); ++i)
            preview.setTextMatrix(int(j) + 1, int(i) + 1, fields.at(i));
    }
    preview.endBulkChange();
}

} // namespace

QString InputMap::rangeFile() const
{
    return m_source.path + QLatin1Char('|') + m_source.sheet;
}

InputMap::InputMap(const transfer::ImportSource &source, grid::GridModel *entrants,
    std::function<qint64()> drawId, QWidget *parent)
    : QDialog(parent)
    , m_source(source)
    , m_entrants(entrants)
    , m_drawId(std::move(drawId))
{
    setObjectName(QStringLiteral("InputMap"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("您将要导入的EXCEL表格样式："), this));
    m_preview = new grid::GridModel(this);
    m_previewView = new grid::GridView(this);
    m_previewView->setObjectName(QStringLiteral("M0"));
    m_previewView->setGrid(m_preview);
    m_previewView->setMinimumSize(640, 300);
    layout->addWidget(m_previewView, 3);

    layout->addWidget(new QLabel(QStringLiteral("请按内容填入相应的对应列号："), this));
    m_mapping = new grid::GridModel(this);
    m_mappingView = new grid::GridView(this);
    m_mappingView->setObjectName(QStringLiteral("M1"));
    m_mappingView->setGrid(m_mapping);
    m_mappingView->setSelectionMode(QAbstractItemView::NoSelection);
    m_mappingView->setFixedHeight(96);
    layout->addWidget(m_mappingView);
    m_specEditor = new CellEditor(m_mappingView);
    m_specEditor->setClosesOnFocusLoss(true);
    connect(m_specEditor, &CellEditor::cellTextChanged, this, [this](const QString &text) {
        if (m_editRow >= 0)
            m_mapping->setTextMatrix(m_editRow, SpecColumn, text);
    });
    connect(m_mappingView, &grid::GridView::cellPressed, this, &InputMap::editSpec);
    buildAttributeList(layout);

    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("导入行数设置："), this));
    range->addWidget(new QLabel(QStringLiteral("第"), this));
    m_range[0] = new QLineEdit(QStringLiteral("2"), this);
    range->addWidget(m_range[0]);
    range->addWidget(new QLabel(QStringLiteral("行至第"), this));
    m_range[1] = new QLineEdit(QStringLiteral("100"), this);
    range->addWidget(m_range[1]);
    range->addWidget(new QLabel(QStringLiteral("行"), this));
    // Beside the range: a default range of 2 to 100 must not leave the rest
    // of a longer list behind unnoticed.
    m_fileRowsLabel = new QLabel(this);
    m_fileRowsLabel->setObjectName(QStringLiteral("FileRows"));
    range->addSpacing(12);
    range->addWidget(m_fileRowsLabel);
    for (int i = 0; i < 2; ++i) {
        m_range[i]->setObjectName(QStringLiteral("T_%1").arg(i));
        m_range[i]->setMaximumWidth(90);
    }
    range->addStretch(1);
    // Neither button answers Enter: an import is started by pressing 确定,
    // never by finishing what was typed into a cell or a row number.
    auto *ok = new QPushButton(QStringLiteral("确   定"), this);
    ok->setObjectName(QStringLiteral("Com_0"));
    ok->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("取   消"), this);
    cancel->setObjectName(QStringLiteral("Com_1"));
    cancel->setAutoDefault(false);
    range->addWidget(ok);
    range->addWidget(cancel);
    layout->addLayout(range);
    connect(m_range[0], &QLineEdit::textChanged, this, &InputMap::offerAttributes);
    connect(ok, &QPushButton::clicked, this, &InputMap::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    loadPreview();
    setupMapping();
    loadSettings();
    offerAttributes();
    resize(820, 640);
    CentreOnWorkArea(this);
}

void InputMap::loadPreview()
{
    m_preview->beginBulkChange();
    m_preview->setCols(PreviewCols);
    m_preview->setRows(PreviewRows);
    m_preview->setFixedRows(1);
    m_preview->setFixedCols(1);
    m_preview->setColWidth(0, 300);
    for (int c = 1; c < PreviewCols; ++c)
        m_preview->setTextMatrix(0, c, transfer::ColumnLetters(c));
    for (int r = 1; r < PreviewRows; ++r)
        m_preview->setTextMatrix(r, 0, QString::number(r));
    m_preview->endBulkChange();

    m_fileRows = -1;
    m_previewRows.clear();
    if (transfer::IsCsvPath(m_source.path)) {
        m_previewRows = transfer::PreviewCsvRows(m_source.path);
        showPreview(*m_preview, m_previewRows);
        m_fileRows = transfer::CountCsvRows(m_source.path);
    } else if (transfer::IsWorkbookPath(m_source.path)) {
        int rows = 0;
        const int error = transfer::PreviewWorkbookRows(m_source.path, m_source.sheet, m_previewRows, &rows);
        if (error == 0)
            m_fileRows = rows;
        else
            prompts().message(transfer::WorkbookErrorMessage(error));
        showPreview(*m_preview, m_previewRows);
    } else {
        prompts().message(QStringLiteral("您选择的文件格式不支持导入，请选择CSV或XLS文件！"));
        m_source.path.clear();
    }
    m_fileRowsLabel->setText(transfer::FileRowsText(m_fileRows));
    grid::FitGridColumns(font(), *m_preview, 0, true);
    m_preview->setColWidth(0, std::max(m_preview->ColWidth(0), 450));
}

void InputMap::setupMapping()
{
    m_mapping->beginBulkChange();
    m_mapping->setCols(5);
    m_mapping->setRows(1);
    m_mapping->setFixedRows(1);
    m_mapping->setFixedCols(0);
    const QStringList captions { QStringLiteral("Index"), QStringLiteral("ID"), QStringLiteral("序号"),
        QStringLiteral("要导入内容"), QStringLiteral("对应列号") };
    for (int c = 0; c < 5; ++c) {
        m_mapping->setTextMatrix(0, c, captions.at(c));
        m_mapping->setColAlignment(c, grid::Align::LeftCenter);
    }
    const QStringList rows[]
        = { { QStringLiteral("1"), QString(), QStringLiteral("1"), QStringLiteral("抽奖号") },
              { QStringLiteral("2"), QString(), QStringLiteral("2"), QStringLiteral("姓名") } };
    for (const QStringList &values : rows) {
        const int r = m_mapping->addRow();
        for (int c = 0; c < values.size(); ++c)
            m_mapping->setTextMatrix(r, c, values.at(c));
    }
    m_mapping->endBulkChange();
    grid::FitGridColumns(font(), *m_mapping, 0, true);
    // The row numbers and keys say nothing to an operator.
    m_mapping->setColWidth(0, 0);
    m_mapping->setColWidth(1, 0);
    m_mapping->setColWidth(3, 1800);
    m_mapping->setColWidth(SpecColumn, 3600);
}

QString InputMap::spec(int index) const
{
    return m_mapping->TextMatrix(1 + index, SpecColumn);
}

void InputMap::setSpec(int index, const QString &spec)
{
    m_mapping->setTextMatrix(1 + index, SpecColumn, spec);
    offerAttributes();
}

// The rest of the file's columns can come along as the entrants' attributes
// (部门, 入职日期…), captioned from the row above the range.
void InputMap::buildAttributeList(QVBoxLayout *layout)
{
    layout->addWidget(new QLabel(QStringLiteral("其他列（勾选的列作为人员属性一并导入）："), this));
    m_attributes = new QListWidget(this);
    m_attributes->setObjectName(QStringLiteral("Attributes"));
    m_attributes->setFlow(QListView::LeftToRight);
    m_attributes->setWrapping(true);
    m_attributes->setFixedHeight(72);
    layout->addWidget(m_attributes);
    connect(m_attributes, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        m_attributeChoice.insert(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    });
    connect(m_specEditor, &CellEditor::cellTextChanged, this, &InputMap::offerAttributes);
}

void InputMap::offerAttributes()
{
    if (!m_attributes)
        return;
    const int first = int(integerValue(m_range[0]->text()));
    const QList<transfer::FurtherColumn> further
        = transfer::FurtherColumns(m_previewRows, first - 1, { spec(0), spec(1) });
    const QSignalBlocker quiet(m_attributes);
    m_attributes->clear();
    for (const transfer::FurtherColumn &column : further) {
        auto *item = new QListWidgetItem(
            QStringLiteral("%1（%2列）").arg(column.name, transfer::ColumnLetters(column.column)),
            m_attributes);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setData(Qt::UserRole, column.column);
        item->setData(Qt::UserRole + 1, column.name);
        item->setCheckState(
            m_attributeChoice.value(column.column, column.chosen) ? Qt::Checked : Qt::Unchecked);
    }
}

void InputMap::chosenAttributes(QStringList &specs, QStringList &names) const
{
    for (int i = 0; i < m_attributes->count(); ++i) {
        const QListWidgetItem *item = m_attributes->item(i);
        if (item->checkState() != Qt::Checked)
            continue;
        specs << transfer::ColumnLetters(item->data(Qt::UserRole).toInt());
        names << item->data(Qt::UserRole + 1).toString();
    }
}

void InputMap::loadSettings()
{
    // A range belongs to the file it was chosen for: the staff workbook's
    // start row left a guests' file's first entrant out.
    const QString file = ReadRegValue(AppName, Section, QStringLiteral("F"), QString());
    const bool sameFile = file.isEmpty() || file == rangeFile();
    for (int i = 0; i < 2; ++i) {
        const QString range = ReadRegValue(AppName, Section, QStringLiteral("T(%1)").arg(i), QString());
        if (!range.isEmpty() && sameFile)
            m_range[i]->setText(range);
        setSpec(i, ReadRegValue(AppName, Section, QStringLiteral("I(%1)").arg(i), QString()));
    }
    // A range remembered from a longer list, or the default end, is brought
    // back to this file's last row.
    int first = int(integerValue(m_range[0]->text()));
    int last = int(integerValue(m_range[1]->text()));
    const int shownFirst = first;
    const int shownLast = last;
    transfer::KeepRangeInFile(m_fileRows, first, last);
    if (first != shownFirst)
        m_range[0]->setText(QString::number(first));
    if (last != shownLast)
        m_range[1]->setText(QString::number(last));
}

void InputMap::saveSettings()
{
    WriteRegValue(AppName, Section, QStringLiteral("F"), rangeFile());
    for (int i = 0; i < 2; ++i) {
        WriteRegValue(AppName, Section, QStringLiteral("T(%1)").arg(i), m_range[i]->text());
        WriteRegValue(AppName, Section, QStringLiteral("I(%1)").arg(i), spec(i));
    }
}

void InputMap::editSpec(int row, int col)
{
    hideSpecEditor();
    if (row < 1 || row >= m_mapping->Rows() || col != SpecColumn)
        return;
    m_editRow = row;
    m_specEditor->openOver(m_mapping->index(m_mapping->modelRow(row), col), m_mapping->TextMatrix(row, col));
}

void InputMap::hideSpecEditor()
{
    m_editRow = -1;
    m_specEditor->closeEditor();
}

void InputMap::confirm()
{
    // The import yields to the event loop (progress window, column fitting);
    // an OK that arrives meanwhile would store every row a second time.
    if (m_importing)
        return;
    hideSpecEditor();
    if (!m_source.ready()) {
        close();
        return;
    }
    const QStringList specs { spec(0), spec(1) };
    // What is offered follows the specs and the range as they stand now.
    offerAttributes();
    int first = int(integerValue(m_range[0]->text()));
    int last = int(integerValue(m_range[1]->text()));
    grid::OrderPair(last, first);
    if (last - first > 29999) {
        prompts().message(QStringLiteral("一次性导入数据不得超过3万条记录，请重新设置！"));
        return;
    }
    if (first < 1) {
        prompts().message(QStringLiteral("导入行数应从第1行起，请重新设置！"));
        return;
    }
    const qint64 draw = m_drawId ? m_drawId() : 0;
    if (draw <= 0) {
        prompts().message(QStringLiteral("请先选择抽奖名称！"));
        return;
    }
    {
        // The question and the closing message yield to the event loop too.
        m_importing = true;
        const auto finished = qScopeGuard([this] { m_importing = false; });
        const QString path = m_source.path;
        const QString sheet = m_source.sheet;
        const qint64 fileRows = m_fileRows;
        // A header row (a title above it pushed it into the range) is left
        // out unless the operator wants it as an entrant.
        // Rows above the range that look like entrants are named: nobody is
        // left out without a word.
        int from = first;
        const QString above = transfer::RowsAboveRangeQuestion(m_previewRows, first, specs, from);
        if (!above.isEmpty() && prompts().askYesNo(above, DefaultAnswer::Yes))
            first = from;
        const QString header = transfer::HeaderRowQuestion(m_previewRows, first, specs);
        if (!header.isEmpty() && !prompts().askYesNo(header, DefaultAnswer::No))
            ++first;
        if (first > last) {
            prompts().message(transfer::ImportedMessage(0, 0)); // the range held only that row
        } else {
            const QString question = transfer::ShortRangeQuestion(fileRows, first, last);
            if (!question.isEmpty() && !prompts().askYesNo(question, DefaultAnswer::No))
                return;
            // Before a row is read, a copy of the database as it was; without
            // one the operator may choose to stay in the dialog.
            if (!BackUpBefore(data::backupreason::Import))
                return;
            const int oldRows = m_entrants->Rows();
            QStringList columns = specs;
            QStringList names;
            chosenAttributes(columns, names);
            const grid::ImportResult result
                = grid::ImportEntrants(*m_entrants, path, sheet, first, last, columns, names, draw, font());
            if (result.error == 0) {
                emit imported(oldRows, result.stored);
                prompts().message(transfer::ImportedMessage(
                    result.stored, transfer::SkippedEmptyRows(fileRows, first, last, result.stored)));
            } else {
                prompts().message(result.error == grid::ImportResult::NotStored
                        ? data::EntrantSaveFailedMessage()
                        : transfer::ImportErrorMessage(path, result.error));
            }
        }
    }
    close();
}

// Every way of closing ends here (the buttons, the close box and Escape), so
// the settings are saved here. While the import runs, the dialog is not
// closed: it would be deleted under the running import.
void InputMap::done(int result)
{
    if (m_importing)
        return;
    saveSettings();
    QDialog::done(result);
}

void InputMap::closeEvent(QCloseEvent *event)
{
    if (m_importing) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace tombolix
