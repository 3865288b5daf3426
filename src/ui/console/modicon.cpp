#include "console/modicon.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "console/exclusionlist.h"
#include "console/rangeeditor.h"
#include "data/attributestore.h"
#include "data/awardstore.h"
#include "data/rangestore.h"
#include "draw/eligibleset.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tombolix {

ModiCon::ModiCon(QWidget *parent)
    : EditorDialog(QStringLiteral("ModiCon"), caption(), parent)
{
    addIdBox();
    m_drawId = addHiddenBox(QStringLiteral("CID"), QString());
    m_order = addHiddenBox(QStringLiteral("Ord"), QString());

    auto *group = new QGroupBox(QStringLiteral("抽奖设置"), this);

    m_name = new QLineEdit(group);
    m_name->setObjectName(QStringLiteral("TT_0"));
    m_name->setMinimumWidth(300);
    m_count = new QLineEdit(QStringLiteral("1"), group);
    m_count->setObjectName(QStringLiteral("TT_1"));
    m_count->setFixedWidth(90);
    m_prize = new QPlainTextEdit(group);
    m_prize->setObjectName(QStringLiteral("TT_2"));
    m_prize->setTabChangesFocus(true);
    m_prize->setMinimumHeight(110);
    m_perRound = new QLineEdit(QStringLiteral("1"), group);
    m_perRound->setObjectName(QStringLiteral("TT_3"));
    m_perRound->setFixedWidth(90);

    m_show = new QCheckBox(QStringLiteral("显示在公告中"), group);
    m_show->setObjectName(QStringLiteral("CK_0"));
    m_show->setChecked(true);
    m_repeat = new QCheckBox(QStringLiteral("获奖者可再次参与抽奖"), group);
    m_repeat->setObjectName(QStringLiteral("CK_1"));
    for (QCheckBox *check : { m_show, m_repeat })
        check->setToolTip(QStringLiteral("抽奖开始后是定时自动抽出，还是手动操作。"));

    QGridLayout *fields = addFieldGrid(3, group);
    fields->setContentsMargins(14, 14, 14, 14);

    fields->addWidget(fieldLabel(QStringLiteral("奖项名称：")), 0, 0);
    fields->addWidget(m_name, 0, 1, 1, 4);

    fields->addWidget(fieldLabel(QStringLiteral("奖项数量：")), 1, 0);
    fields->addWidget(m_count, 1, 1);
    fields->addWidget(fieldLabel(QStringLiteral("一次抽出数量：")), 1, 2);
    fields->addWidget(m_perRound, 1, 3, Qt::AlignLeft);

    fields->addWidget(fieldLabel(QStringLiteral("奖品说明："), Qt::AlignTop), 2, 0);
    fields->addWidget(m_prize, 2, 1, 1, 4);

    auto *checks = new QHBoxLayout;
    checks->setSpacing(24);
    checks->addWidget(m_show);
    checks->addWidget(m_repeat);
    checks->addStretch(1);
    fields->addLayout(checks, 3, 1, 1, 4);

    m_range = new RangeEditor(this);
    connect(m_range, &RangeEditor::grew, this,
        [this] { resize(width(), std::max(height(), minimumSizeHint().height())); });

    const ButtonRow buttons = addButtons(QStringLiteral("Com_1"), QStringLiteral("Com_2"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(group);
    layout->addWidget(m_range);
    layout->addLayout(buttons.layout);

    setTabOrder(m_name, m_count);
    setTabOrder(m_count, m_perRound);
    setTabOrder(m_perRound, m_prize);
    setTabOrder(m_prize, m_show);
    setTabOrder(m_show, m_repeat);
    setTabOrder(m_repeat, m_range);
    setTabOrder(m_range, buttons.ok);
    setTabOrder(buttons.ok, buttons.cancel);

    // The prize box would otherwise ask for far more height than a few lines need.
    resize(sizeHint().width(), minimumSizeHint().height());
}

void ModiCon::setAwardId(qint64 id)
{
    setRowId(id);
}

void ModiCon::setDrawId(qint64 id)
{
    m_drawId->setText(QString::number(id));
    offerAttributes(id);
}

void ModiCon::offerAttributes(qint64 drawId)
{
    m_range->setAttributes(data::AttributeStore().names(drawId).value_or(QStringList()));
}

void ModiCon::setOrder(const QString &order)
{
    m_order->setText(order);
}

void ModiCon::loadRow(qint64 id)
{
    const std::optional<data::AwardRecord> award = data::AwardStore().load(id);
    if (!award)
        return;
    m_drawId->setText(QString::number(award->drawId));
    m_order->setText(award->order);
    m_name->setText(award->name);
    m_count->setText(award->count);
    m_prize->setPlainText(award->prize);
    m_perRound->setText(award->perRound);
    m_show->setChecked(award->shown);
    m_repeat->setChecked(award->repeat);
    offerAttributes(award->drawId);
    m_range->setRange(data::RangeStore().ofAward(id).value_or(data::AwardRange()));
}

void ModiCon::confirm()
{
    // A round draws whole entrants: 2.5 is refused, not rounded.
    const double typed = numericValue(m_perRound->text());
    const qint64 perRound = integerValue(m_perRound->text());
    const double total = numericValue(m_count->text());
    if (!(typed == double(perRound) && perRound > 0 && total >= perRound)) {
        prompts().message(QStringLiteral("一次抽出获奖人数不能少于一人或大于总获奖人数！"));
        return;
    }
    QString problem;
    if (!m_range->range(problem)) {
        prompts().message(problem + QStringLiteral("请修改抽奖范围后再保存。"));
        return;
    }
    if (!save())
        return;
    emit saved();
    accept();
}

bool ModiCon::save()
{
    data::AwardRecord award;
    award.id = rowId();
    award.drawId = integerValue(m_drawId->text());
    award.order = m_order->text();
    award.name = m_name->text();
    award.count = m_count->text();
    award.prize = m_prize->toPlainText();
    award.perRound = m_perRound->text();
    award.shown = m_show->isChecked();
    award.repeat = m_repeat->isChecked();
    QString problem;
    const data::AwardRange range = m_range->range(problem).value_or(data::AwardRange());
    data::SaveResult saved = data::AwardStore().save(award);
    // The range has a transaction of its own, after the award's: a new
    // award's ID is only known now.
    if (saved.saved() && !data::RangeStore().saveAward(award.drawId, saved.id, range))
        saved.status = data::SaveResult::NotWritten;
    if (!reportSave(saved))
        return false;
    tellReach(award.drawId, saved.id, range.excluded);
    return true;
}

void ModiCon::tellReach(qint64 drawId, qint64 awardId, const QStringList &ownList)
{
    const std::optional<QHash<qint64, draw::AwardEligibility>> all = draw::ComputeEligibility(drawId);
    if (!all || !all->contains(awardId))
        return;
    const draw::AwardEligibility &award = all->value(awardId);
    if (award.range.everyone() && award.badConditions.isEmpty())
        return; // everyone, as always: nothing to tell
    QStringList lines { QStringLiteral("此奖项可抽 %1 人（%2）。").arg(award.count).arg(award.words) };
    const QStringList unreadable = draw::UnreadableLines(award);
    if (!unreadable.isEmpty())
        lines << QStringLiteral("以下值无法读取，这些人不符合条件：") << unreadable;
    QStringList unknown;
    for (const QString &number : award.unknownNumbers) {
        if (ownList.contains(number))
            unknown << number;
    }
    if (!unknown.isEmpty())
        lines << NumbersNotInDrawText(unknown);
    prompts().message(lines.join(QLatin1Char('\n')));
}

} // namespace tombolix
