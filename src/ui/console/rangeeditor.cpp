#include "console/rangeeditor.h"

#include "console/exclusionlist.h"
#include "draw/eligibility.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tombolix {

using data::ConditionKind;

namespace {

struct KindChoice
{
    ConditionKind kind;
    const char16_t *words;
    const char16_t *hint;
};
const KindChoice Kinds[] = {
    { ConditionKind::OneOf, u"等于其中之一", u"一个或几个值，以“、”或“/”分隔，如 员工、顾问" },
    { ConditionKind::OnOrBefore, u"日期不晚于", u"日期，如 2025-12-09、2025/12/9 或 2025年12月9日" },
    { ConditionKind::OnOrAfter, u"日期不早于", u"日期，如 2025-12-09、2025/12/9 或 2025年12月9日" },
    { ConditionKind::AtLeast, u"数字不小于", u"数字，如 3 或 2.5" },
    { ConditionKind::AtMost, u"数字不大于", u"数字，如 3 或 2.5" },
};

int kindIndex(ConditionKind kind)
{
    for (int i = 0; i < int(std::size(Kinds)); ++i) {
        if (Kinds[i].kind == kind)
            return i;
    }
    return 0;
}

} // namespace

RangeEditor::RangeEditor(QWidget *parent)
    : QGroupBox(QStringLiteral("抽奖范围"), parent)
{
    setObjectName(QStringLiteral("Range"));
    m_everyone
        = new QLabel(QStringLiteral("所有人都可以抽中此奖项。可添加条件，只让符合条件的人参与。"), this);
    m_everyone->setObjectName(QStringLiteral("RangeEveryone"));
    m_add = new QPushButton(QStringLiteral("添加条件"), this);
    m_add->setObjectName(QStringLiteral("RangeAdd"));
    m_add->setAutoDefault(false);
    m_exclusions = new ExclusionList(QStringLiteral("此奖项"), this);
    m_grid = new QGridLayout;
    m_grid->setColumnStretch(3, 1);

    auto *addRow = new QHBoxLayout;
    addRow->addWidget(m_add);
    addRow->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->addWidget(m_everyone);
    layout->addLayout(m_grid);
    layout->addLayout(addRow);
    layout->addWidget(m_exclusions);
    // The new row's attribute takes the keys, its suggested name chosen so
    // that what is typed replaces it.
    connect(m_add, &QPushButton::clicked, this, [this] {
        QComboBox *const attribute = m_rows.at(addCondition()).attribute;
        attribute->setFocus();
        attribute->lineEdit()->selectAll();
    });
    placeRows();
}

void RangeEditor::setAttributes(const QStringList &names)
{
    m_attributes = names;
    for (const Row &row : std::as_const(m_rows)) {
        const QString chosen = row.attribute->currentText();
        row.attribute->clear();
        row.attribute->addItems(names);
        row.attribute->setEditText(chosen);
    }
}

int RangeEditor::addCondition()
{
    Row row {};
    row.joiner = new QLabel(this);
    row.attribute = new QComboBox(this);
    row.attribute->setObjectName(QStringLiteral("RangeAttribute"));
    row.attribute->setEditable(true);
    row.attribute->addItems(m_attributes);
    row.attribute->setMinimumWidth(110);
    row.attribute->setToolTip(QStringLiteral("人员名单中的一列，如 部门、入职日期、类别"));
    row.kind = new QComboBox(this);
    row.kind->setObjectName(QStringLiteral("RangeKind"));
    for (const KindChoice &choice : Kinds)
        row.kind->addItem(QString::fromUtf16(choice.words));
    row.values = new QLineEdit(this);
    row.values->setObjectName(QStringLiteral("RangeValues"));
    row.values->setMinimumWidth(200);
    row.remove = new QPushButton(QStringLiteral("删除"), this);
    row.remove->setObjectName(QStringLiteral("RangeRemove"));
    row.remove->setAutoDefault(false);
    auto hint = [values = row.values, kind = row.kind] {
        values->setPlaceholderText(QString::fromUtf16(Kinds[std::max(0, kind->currentIndex())].hint));
    };
    connect(row.kind, &QComboBox::currentIndexChanged, row.values, hint);
    hint();
    connect(row.remove, &QPushButton::clicked, this, [this, remove = row.remove] {
        for (int i = 0; i < m_rows.size(); ++i) {
            if (m_rows.at(i).remove == remove)
                removeCondition(i);
        }
    });
    // Tab goes along the new row, then on to 添加条件, as the rows stand
    // above it.
    setTabOrder(row.attribute, row.kind);
    setTabOrder(row.kind, row.values);
    setTabOrder(row.values, row.remove);
    setTabOrder(row.remove, m_add);
    m_rows << row;
    placeRows();
    emit grew();
    return int(m_rows.size()) - 1;
}

void RangeEditor::removeCondition(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    const Row row = m_rows.takeAt(index);
    for (QWidget *widget :
        std::initializer_list<QWidget *> { row.joiner, row.attribute, row.kind, row.values, row.remove }) {
        widget->hide();
        widget->deleteLater();
    }
    placeRows();
}

void RangeEditor::placeRows()
{
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows.at(i);
        row.joiner->setText(i == 0 ? QStringLiteral("仅限") : QStringLiteral("并且"));
        m_grid->addWidget(row.joiner, i, 0);
        m_grid->addWidget(row.attribute, i, 1);
        m_grid->addWidget(row.kind, i, 2);
        m_grid->addWidget(row.values, i, 3);
        m_grid->addWidget(row.remove, i, 4);
        // Made while the editor is on show: shown now, so the editor can
        // grow to hold them at once.
        for (QWidget *widget :
            std::initializer_list<QWidget *> { row.joiner, row.attribute, row.kind, row.values, row.remove })
            widget->show();
    }
    m_everyone->setVisible(m_rows.isEmpty());
}

void RangeEditor::setRow(const Row &row, const data::RangeCondition &condition)
{
    row.attribute->setEditText(condition.attribute);
    row.kind->setCurrentIndex(kindIndex(condition.kind));
    row.values->setText(condition.values.join(QStringLiteral("、")));
}

void RangeEditor::setRange(const data::AwardRange &range)
{
    while (!m_rows.isEmpty())
        removeCondition(int(m_rows.size()) - 1);
    for (const data::RangeCondition &condition : range.conditions)
        setRow(m_rows.at(addCondition()), condition);
    m_exclusions->setNumbers(range.excluded);
}

std::optional<data::RangeCondition> RangeEditor::readRow(const Row &row, int index, QString &problem) const
{
    data::RangeCondition condition;
    condition.attribute = row.attribute->currentText().trimmed();
    condition.kind = Kinds[std::max(0, row.kind->currentIndex())].kind;
    const QString typed = row.values->text().trimmed();
    const QString named = QStringLiteral("第%1个条件“%2 %3 %4”")
                              .arg(index + 1)
                              .arg(condition.attribute, row.kind->currentText(), typed);
    if (condition.attribute.isEmpty()) {
        problem = named + QStringLiteral("没有选择属性。");
        return std::nullopt;
    }
    if (condition.kind == ConditionKind::OneOf) {
        static const QRegularExpression separators(QStringLiteral("[、/／\\n\\r]+"));
        condition.values = typed.split(separators, Qt::SkipEmptyParts);
        for (QString &value : condition.values)
            value = value.trimmed();
        condition.values.removeAll(QString());
    } else if (!typed.isEmpty()) {
        condition.values = QStringList { typed };
    }
    if (condition.values.isEmpty()) {
        problem = named + QStringLiteral("没有填写值。");
        return std::nullopt;
    }
    const bool date
        = condition.kind == ConditionKind::OnOrBefore || condition.kind == ConditionKind::OnOrAfter;
    if (date && !draw::ReadDate(typed)) {
        problem = named + QStringLiteral("中的“%1”不是日期。").arg(typed);
        return std::nullopt;
    }
    if (!date && condition.kind != ConditionKind::OneOf && !draw::NormalNumber(typed)) {
        problem = named + QStringLiteral("中的“%1”不是数字。").arg(typed);
        return std::nullopt;
    }
    const std::optional<data::RangeCondition> normal = draw::NormalCondition(condition);
    if (!normal)
        problem = named + QStringLiteral("无法读取。");
    return normal;
}

std::optional<data::AwardRange> RangeEditor::range(QString &problem) const
{
    data::AwardRange range;
    for (int i = 0; i < m_rows.size(); ++i) {
        const std::optional<data::RangeCondition> condition = readRow(m_rows.at(i), i, problem);
        if (!condition)
            return std::nullopt;
        range.conditions << *condition;
    }
    range.excluded = m_exclusions->numbers();
    return range;
}

} // namespace tombolix
