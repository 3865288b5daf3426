#include "common/notary.h"
#include "draw/recordcheck.h"
#include "draw/recordreplay.h"

// What a person reads of a record checked.
namespace tombolix::draw {

using record::Key;

QString OneLine(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 || u == 0x200E
            || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (!control)
            line += c;
        else if (u == '\n')
            line += QLatin1String("\\n");
        else if (u == '\r')
            line += QLatin1String("\\r");
        else if (u == '\t')
            line += QLatin1String("\\t");
        else
            line += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
    }
    return line;
}

QStringList SummaryLines(const RecordCheck &check, qsizetype listFileSize)
{
    const RecordFacts &facts = check.facts;
    QStringList summary;
    summary << QStringLiteral("抽奖：%1（规则 %2）")
                   .arg(check.drawName,
                       facts.rule == 2 ? QLatin1String(notary::Rule) : QLatin1String(notary::RuleV1));
    qsizetype w = 0;
    // Withdrawals are told where they came, between the commitments.
    auto withdrawalsBefore = [&](qsizetype entry) {
        for (; w < facts.withdrawals.size() && facts.withdrawals.at(w).entry < entry; ++w) {
            const RecordFacts::Withdrawal &each = facts.withdrawals.at(w);
            summary << QStringLiteral("撤销：%1，结果 %2（%3 %4），原因：%5")
                           .arg(each.time)
                           .arg(each.result)
                           .arg(each.award, record::PersonText(Key { each.number, each.name }), each.reason);
        }
    };
    for (const RecordFacts::Commit &commit : facts.commits) {
        withdrawalsBefore(commit.entry);
        summary << QStringLiteral("第%1次承诺：%2，公证码 %3，名单 %4 人")
                       .arg(commit.number)
                       .arg(commit.time, notary::GroupedCode(commit.code))
                       .arg(commit.entrants);
        if (facts.rule == 2)
            summary << QStringLiteral("　承诺哈希 %1").arg(commit.hash);
        if (!commit.awards.isEmpty())
            summary << QStringLiteral("　奖项：%1").arg(commit.awards.join(QStringLiteral("；")));
        if (commit.number > 1 && !commit.reason.isEmpty())
            summary << QStringLiteral("　原因：%1").arg(commit.reason);
        if (!commit.changes.isEmpty())
            summary << QStringLiteral("　名单变动：%1").arg(commit.changes);
        if (commit.cleared)
            summary << QStringLiteral("　重新开始：此前的结果和撤销已清除");
        if (facts.rule == 2 && commit.hallGiven) {
            if (commit.hallNumbers.isEmpty())
                summary << QStringLiteral(
                    "　未输入现场随机数：本次承诺下的中奖结果只取决于操作员电脑产生的种子");
            else
                summary << QStringLiteral("　现场随机数：%1（%2），请与现场报出的数字核对")
                               .arg(commit.hallNumbers, commit.hallTime);
        }
    }
    withdrawalsBefore(facts.entries);
    summary << QStringLiteral("%1 轮抽奖的中奖者全部由种子%2重新算出一致，撤销 %3 次")
                   .arg(facts.rounds)
                   .arg(facts.rule == 2 ? QStringLiteral("和现场随机数") : QString())
                   .arg(facts.withdrawals.size());
    qsizetype results = 0;
    for (const RecordFacts::Winners &winners : facts.winners)
        results += winners.people.size();
    summary << QStringLiteral("结果表 %1 条与记录相符").arg(results);
    if (!facts.shortAwards.isEmpty())
        summary << QStringLiteral("未抽满：%1").arg(facts.shortAwards.join(QStringLiteral("，")));
    if (listFileSize >= 0)
        summary << QStringLiteral("名单文件与每次承诺的名单一致（%1 人）").arg(listFileSize);
    if (listFileSize >= 0 && check.facts.rangesChecked > 0)
        summary << QStringLiteral("有范围的奖项可中奖的人与名单文件的属性列按范围算出的一致（%1 项次）")
                       .arg(check.facts.rangesChecked);
    summary
        << QStringLiteral("记录 %1 条，哈希链完整，最后一条哈希 %2").arg(facts.entries).arg(check.lastHash);
    return summary;
}

} // namespace tombolix::draw
