#include "draw/certificate.h"

#include "common/notary.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "draw/notaryrecord.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace tombolix::draw {

namespace {

// A file name from a draw's name: the characters Windows refuses become "_".
QString safeName(QString name)
{
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    for (QChar &c : name) {
        if (refused.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    }
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("抽奖") : name;
}

} // namespace

bool PaintCertificate(QPainter &painter, const QRect &page, const QJsonObject &record)
{
    const QJsonArray entries = record.value(QLatin1String("entries")).toArray();
    QJsonObject entered;
    QString seed;
    QHash<qint64, QString> awardNames;
    for (const QJsonValue &each : entries) {
        const QJsonObject entry = each.toObject();
        const QJsonObject content
            = QJsonDocument::fromJson(entry.value(QLatin1String("content")).toString().toUtf8()).object();
        const QString type = entry.value(QLatin1String("type")).toString();
        if (type == QLatin1String("entered")) {
            entered = content;
            for (const QJsonValue &award : content.value(QLatin1String("awards")).toArray())
                awardNames.insert(award.toObject().value(QLatin1String("id")).toInteger(),
                    award.toObject().value(QLatin1String("name")).toString());
        } else if (content.contains(QLatin1String("seed"))) {
            seed = content.value(QLatin1String("seed")).toString();
        }
    }
    if (entered.isEmpty() || entries.isEmpty())
        return false;
    // The winners per award, in the order they were stored.
    QList<qint64> order;
    QMap<qint64, QStringList> winners;
    for (const QJsonValue &each : record.value(QLatin1String("results")).toArray()) {
        const QJsonObject result = each.toObject();
        const qint64 award = result.value(QLatin1String("award")).toInteger();
        if (!winners.contains(award))
            order << award;
        const QString name = result.value(QLatin1String("name")).toString();
        winners[award] << result.value(QLatin1String("number")).toString()
                + (name.isEmpty() ? QString() : QStringLiteral(" ") + name);
    }

    int y = page.top();
    auto line = [&](const QString &text, int points, bool bold = false, Qt::Alignment align = Qt::AlignLeft) {
        QFont font(QStringLiteral("Sans Serif"));
        font.setPointSizeF(points);
        font.setBold(bold);
        painter.setFont(font);
        const QRect box = painter.boundingRect(
            QRect(page.left(), y, page.width(), page.bottom() - y), int(align) | Qt::TextWordWrap, text);
        painter.drawText(box, int(align) | Qt::TextWordWrap, text);
        y = box.bottom() + painter.fontMetrics().height() / 3;
    };
    const QString name
        = record.value(QLatin1String("draw")).toObject().value(QLatin1String("name")).toString();
    const QString last = entries.last().toObject().value(QLatin1String("hash")).toString();
    line(QStringLiteral("抽奖公证证书"), 22, true, Qt::AlignHCenter);
    line(QStringLiteral("澄曜抽奖软件 · 规则 %1").arg(QLatin1String(notary::Rule)), 9, false,
        Qt::AlignHCenter);
    line(QStringLiteral("抽奖：%1").arg(name), 12, true);
    line(QStringLiteral("时间：%1")
             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
        10);
    line(QStringLiteral("名单人数：%1").arg(entered.value(QLatin1String("entrants")).toInteger()), 10);
    line(QStringLiteral("公证码：%1")
             .arg(notary::GroupedCode(entered.value(QLatin1String("code")).toString())),
        12, true);
    line(QStringLiteral("名单指纹：%1").arg(entered.value(QLatin1String("fingerprint")).toString()), 8);
    line(QStringLiteral("种子承诺：%1").arg(entered.value(QLatin1String("commitment")).toString()), 8);
    line(QStringLiteral("种子：%1").arg(seed.isEmpty() ? QStringLiteral("（尚未公开）") : seed), 8);
    line(QStringLiteral("记录最后一条哈希：%1").arg(last), 8);
    line(QStringLiteral("获奖名单"), 12, true);
    const int bottomRoom = 520; // the verification lines at the foot
    for (qint64 award : order) {
        const QStringList &list = winners.value(award);
        QString text
            = QStringLiteral("%1（%2名）：").arg(awardNames.value(award), QString::number(list.size()));
        text += list.join(QStringLiteral("，"));
        if (y > page.bottom() - bottomRoom) {
            line(QStringLiteral("……其余获奖者见公证记录文件"), 9);
            break;
        }
        line(text, 9);
    }
    y = std::max(y, page.bottom() - bottomRoom + 60);
    line(QStringLiteral("验证方法：用公证记录文件（及抽奖名单）运行"), 9, true);
    line(QStringLiteral("tombolix-verify 公证记录.json 名单.xlsx"), 9);
    line(QStringLiteral(
             "显示“验证通过”即说明每位获奖者都由抽奖前公布的公证码所对应的种子算出，且记录未被改动。"
             "规则见 docs/verifiable-draw.md。"),
        8);
    return true;
}

bool WriteCertificate(const QJsonObject &record, const QString &pdfPath)
{
    QPdfWriter pdf(pdfPath);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("抽奖公证证书"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    if (!PaintCertificate(painter, painter.viewport().adjusted(180, 180, -180, -180), record)) {
        painter.end();
        return false;
    }
    return painter.end();
}

std::optional<NotaryFiles> WriteNotaryFiles(qint64 drawId, const QString &recordPath)
{
    if (!RevealSeed(drawId))
        return std::nullopt;
    const std::optional<QJsonObject> record = ExportRecord(drawId);
    const QFileInfo where(recordPath);
    if (!record || !QDir().mkpath(where.absolutePath()))
        return std::nullopt;
    NotaryFiles files { recordPath, where.dir().filePath(where.completeBaseName() + QStringLiteral(".pdf")) };
    QSaveFile json(files.record);
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(*record).toJson()) < 0 || !json.commit())
        return std::nullopt;
    if (!WriteCertificate(*record, files.certificate))
        return std::nullopt;
    return files;
}

QString NotaryRecordPathAtTheEnd(qint64 drawId)
{
    const QString name = data::DrawStore::load(drawId).value_or(data::DrawRecord {}).name;
    const QDir folder(QFileInfo(data::DatabasePath()).dir().filePath(QStringLiteral("公证记录")));
    return folder.filePath(safeName(name) + QStringLiteral("-公证记录-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".json"));
}

} // namespace tombolix::draw
