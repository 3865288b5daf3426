#include "console/exclusionlist.h"

#include "common/prompts.h"
#include "draw/eligibility.h"
#include "transfer/importer.h"
#include "transfer/sheets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tombolix {

ExclusionList::ExclusionList(const QString &who, QWidget *parent)
    : QWidget(parent)
{
    m_box = new QPlainTextEdit(this);
    m_box->setObjectName(QStringLiteral("ExcludedNumbers"));
    m_box->setTabChangesFocus(true);
    m_box->setPlaceholderText(
        QStringLiteral("不能抽中%1的号码：每行一个，或以逗号、空格、顿号分隔").arg(who));
    m_box->setToolTip(QStringLiteral("这些号码不能抽中%1。").arg(who));
    m_box->setMinimumHeight(60);
    m_box->setMaximumHeight(110);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("ExcludedCount"));
    m_import = new QPushButton(QStringLiteral("从文件导入…"), this);
    m_import->setObjectName(QStringLiteral("ExcludedImport"));
    m_import->setAutoDefault(false);
    m_import->setToolTip(QStringLiteral("读取CSV或Excel文件第一列的号码，加入名单。"));

    auto *head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("不参与名单："), this));
    head->addWidget(m_count, 1);
    head->addWidget(m_import);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(head);
    layout->addWidget(m_box);

    connect(m_box, &QPlainTextEdit::textChanged, this, &ExclusionList::showCount);
    connect(m_import, &QPushButton::clicked, this, &ExclusionList::importFile);
    showCount();
}

QStringList ExclusionList::numbers() const
{
    static const QRegularExpression separators(QStringLiteral("[\\s,，、;；]+"));
    return draw::NormalNumbers(m_box->toPlainText().split(separators, Qt::SkipEmptyParts));
}

void ExclusionList::setNumbers(const QStringList &numbers)
{
    m_box->setPlainText(numbers.join(QLatin1Char('\n')));
}

void ExclusionList::showCount()
{
    const qsizetype count = numbers().size();
    m_count->setText(count == 0 ? QStringLiteral("（无）") : QStringLiteral("共 %1 个号码").arg(count));
}

void ExclusionList::importFile()
{
    const transfer::ImportSource source = ChooseImportFile(window(), 1);
    if (!source.ready())
        return;
    QStringList read;
    const int error = transfer::ReadNumberList(source.path, source.sheet, read);
    if (error != 0) {
        prompts().message(transfer::ImportErrorMessage(source.path, error));
        return;
    }
    if (read.isEmpty()) {
        prompts().message(QStringLiteral("文件的第一列没有号码。"));
        return;
    }
    const QStringList before = numbers();
    setNumbers(draw::NormalNumbers(before + read));
    prompts().message(
        QStringLiteral("从文件读到 %1 个号码，名单共 %2 个号码。").arg(read.size()).arg(numbers().size()));
}

QString NumbersNotInDrawText(const QStringList &unknown)
{
    if (unknown.isEmpty())
        return QString();
    constexpr qsizetype Shown = 20;
    QString text = QStringLiteral("不参与名单中有 %1 个号码不在此抽奖的名单中：").arg(unknown.size())
        + unknown.mid(0, Shown).join(QStringLiteral("、"));
    if (unknown.size() > Shown)
        text += QStringLiteral("……");
    return text;
}

} // namespace tombolix
