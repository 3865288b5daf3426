#include "drawscreen/delaward.h"

#include "common/backupquestion.h"
#include "common/conventions.h"
#include "common/dialogparts.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "common/windowops.h"
#include "data/backup.h"
#include "data/drawstore.h"
#include "data/resultstore.h"
#include "data/tables.h"
#include "drawscreen/mf.h"
#include "grid/gridops.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tombolix {

namespace {
constexpr int SerialColumn = 2;
constexpr int MarkColumn = 3;
constexpr int NumberColumn = 6;
constexpr int NameColumn = 7;

// The shift keys as a bit mask: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) | (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0)
        | (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}
} // namespace

DelAward::DelAward(MF *screen)
    : QDialog(screen)
    , m_screen(screen)
{
    setObjectName(QStringLiteral("DelAward"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请在要重新抽奖的所在行打“√”"), this));
    m_grid = new grid::GridModel(this);
    m_view = new grid::GridView(this);
    m_view->setObjectName(QStringLiteral("MSF"));
    m_view->setGrid(m_grid);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setMinimumSize(620, 360);
    layout->addWidget(m_view, 1);

    // Why the wins go: kept with them in 撤销表 and in the draw's record.
    auto *reasonBox = new QGroupBox(QStringLiteral("撤销原因"), this);
    auto *reasonRow = new QHBoxLayout(reasonBox);
    m_reasons = new QButtonGroup(this);
    const struct
    {
        const char *name;
        QString caption;
    } choices[] = { { "reasonAbsent", data::withdrawreason::Absent },
        { "reasonIneligible", data::withdrawreason::Ineligible },
        { "reasonOther", data::withdrawreason::Other } };
    for (const auto &choice : choices) {
        auto *button = new QRadioButton(choice.caption, reasonBox);
        button->setObjectName(QString::fromLatin1(choice.name));
        m_reasons->addButton(button);
        reasonRow->addWidget(button);
    }
    m_reasons->buttons().constFirst()->setChecked(true); // an absent winner is the usual case
    m_note = new QLineEdit(reasonBox);
    m_note->setObjectName(QStringLiteral("reasonNote"));
    m_note->setPlaceholderText(QStringLiteral("说明（选“其他”时必填）"));
    m_note->setMaxLength(200);
    reasonRow->addWidget(m_note, 1);
    layout->addWidget(reasonBox);

    const ButtonRow buttons = makeButtonRow(this, QStringLiteral("确    定"), QStringLiteral("Com_0"),
        QStringLiteral("取    消"), QStringLiteral("Com_1"));
    QPushButton *ok = buttons.ok;
    ok->setDefault(false); // withdrawing wins takes a deliberate click
    QPushButton *cancel = buttons.cancel;
    layout->addLayout(buttons.layout);

    // A Shift press marks from the row that was current, so the marks are
    // set before the view moves the current cell to the pressed one.
    connect(m_view, &grid::GridView::cellPressStarted, this,
        [this](int row, int col, Qt::KeyboardModifiers modifiers) {
            grid::ClickMarkColumn(*m_grid, shiftState(modifiers), row, col, true);
        });
    connect(m_view, &grid::GridView::headerPressed, this, [this](int col) {
        grid::ClickMarkColumn(
            *m_grid, shiftState(QApplication::keyboardModifiers()), m_grid->FixedRows() - 1, col, true);
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        // The withdrawn wins stay in a backup; without one the operator may
        // choose to stay here, with the ticks in place.
        if (hasMarkedRows() && m_reasons->checkedButton()->text() == data::withdrawreason::Other
            && m_note->text().simplified().isEmpty()) {
            prompts().message(QStringLiteral("撤销原因选了“其他”，请在说明中写明原因。"));
            m_note->setFocus();
            return;
        }
        if (hasMarkedRows() && !BackUpBefore(data::backupreason::Withdraw))
            return;
        if (DeleteMarkedResults() < 0) {
            // Stay open with the ticks in place: nothing was withdrawn.
            prompts().message(QStringLiteral("删除失败，数据库未作改动！"));
            return;
        }
        close();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    FillResultGrid();
    adjustSize();
    CentreOnWorkArea(this);
}

void DelAward::FillResultGrid()
{
    grid::SetupGridHeader(*m_grid,
        { QStringLiteral("ID"), QStringLiteral("CID"), QString(), QString(),
            QStringLiteral("WID:奖项表:ID:名称"), QStringLiteral("WID:奖项表:ID:奖品"),
            QStringLiteral("号码"), QStringLiteral("姓名") },
        { QStringLiteral("ID"), QStringLiteral("CID"), QStringLiteral("序号"), QStringLiteral("选择"),
            QStringLiteral("获得奖项"), QStringLiteral("奖品"), QStringLiteral("抽奖号码"),
            QStringLiteral("姓名") });
    m_grid->setTag(data::results::Table);
    m_grid->setFixedCols(3);
    grid::TellIfNotAllShown(*m_grid,
        grid::FillGrid(*m_grid, data::DrawStore::rowsOfDraw(m_screen->session().drawId()),
            QStringLiteral("WID"), false, font()));
    grid::FitGridColumns(font(), *m_grid, 1, true);
    m_grid->setColAlignment(MarkColumn, grid::Align::CenterCenter);
    m_grid->setColWidth(MarkColumn, std::max(m_grid->ColWidth(MarkColumn), 600));
}

bool DelAward::hasMarkedRows() const
{
    for (int r = m_grid->FixedRows(); r < m_grid->Rows(); ++r) {
        if (!m_grid->TextMatrix(r, MarkColumn).isEmpty())
            return true;
    }
    return false;
}

int DelAward::DeleteMarkedResults()
{
    std::vector<draw::DrawSession::WithdrawnResult> marked;
    for (int r = m_grid->FixedRows(); r < m_grid->Rows(); ++r) {
        if (m_grid->TextMatrix(r, MarkColumn).isEmpty())
            continue;
        marked.push_back({ integerValue(m_grid->TextMatrix(r, 0)), m_grid->TextMatrix(r, NumberColumn),
            m_grid->TextMatrix(r, NameColumn) });
    }
    if (marked.empty())
        return 0;
    return m_screen->withdrawResults(marked, reason());
}

void DelAward::putFirst(const std::vector<qint64> &resultIds)
{
    std::vector<QStringList> first(resultIds.size());
    QList<QStringList> rest;
    for (int r = m_grid->FixedRows(); r < m_grid->Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < m_grid->Cols(); ++c)
            cells << m_grid->TextMatrix(r, c);
        const auto at = std::find(resultIds.begin(), resultIds.end(), integerValue(cells.at(0)));
        if (at == resultIds.end())
            rest << cells;
        else
            first[size_t(at - resultIds.begin())] = cells;
    }
    QList<QStringList> rows;
    for (const QStringList &cells : first) {
        if (!cells.isEmpty())
            rows << cells;
    }
    rows << rest;
    // The serial numbers stay where they are, counting the rows as listed.
    for (qsizetype i = 0; i < rows.size(); ++i) {
        for (int c = 0; c < m_grid->Cols(); ++c) {
            if (c != SerialColumn)
                m_grid->setTextMatrix(m_grid->FixedRows() + int(i), c, rows.at(i).at(c));
        }
    }
    m_grid->setTopRow(m_grid->FixedRows());
}

QString DelAward::reason() const
{
    return data::withdrawreason::Stated(m_reasons->checkedButton()->text(), m_note->text());
}

} // namespace tombolix
