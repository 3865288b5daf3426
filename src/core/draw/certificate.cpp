#include "draw/certificate.h"

#include "common/notary.h"
#include "common/qrcode.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/resultstore.h"
#include "draw/commitment.h"
#include "draw/notaryrecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
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

// Where the rule's document lies on this computer: beside the program in a
// portable folder, under share/doc/tombolix where it is installed.
QString ruleDocumentPath()
{
    const QDir program(QCoreApplication::applicationDirPath());
    const QStringList candidates { program.filePath(QStringLiteral("verifiable-draw.md")),
        program.filePath(QStringLiteral("../share/doc/tombolix/verifiable-draw.md")),
        QStringLiteral("/usr/share/doc/tombolix/verifiable-draw.md") };
    for (const QString &path : candidates) {
        if (QFileInfo::exists(path))
            return QDir::toNativeSeparators(QFileInfo(path).canonicalFilePath());
    }
    return QString();
}

// Lines of text down a page, on to the next page when one is full.
class PageWriter
{
public:
    PageWriter(QPainter &painter, QPagedPaintDevice *pages, const QRect &page)
        : m_painter(painter)
        , m_pages(pages)
        , m_page(page)
        , m_y(page.top())
    { }

    // Hashes and codes in a fixed-width face without ligatures, so a text
    // copied from the PDF is the hash itself.
    void line(const QString &text, double points, bool bold = false, Qt::Alignment align = Qt::AlignLeft,
        bool code = false)
    {
        QFont font(code ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("Sans Serif"));
        if (code)
            font.setStyleHint(QFont::Monospace);
        font.setStyleStrategy(QFont::PreferNoShaping);
        font.setPointSizeF(points);
        font.setBold(bold);
        m_painter.setFont(font);
        const int flags = int(align) | Qt::TextWordWrap;
        QRect box = m_painter.boundingRect(
            QRect(m_page.left(), m_y, m_page.width(), m_page.bottom() - m_y), flags, text);
        if (box.bottom() > m_page.bottom() && m_y > m_page.top()) {
            newPage();
            box = m_painter.boundingRect(
                QRect(m_page.left(), m_y, m_page.width(), m_page.height()), flags, text);
        }
        m_painter.drawText(box, flags, text);
        m_y = box.bottom() + m_painter.fontMetrics().height() / 3;
    }
    void space(int height) { m_y += height; }
    int y() const { return m_y; }
    // Room of this height on the page, else a new page.
    void keepTogether(int height)
    {
        if (m_y + height > m_page.bottom() && m_y > m_page.top())
            newPage();
    }
    void drawQr(const QString &text, int side, const QString &caption)
    {
        const std::optional<QrCode> code = MakeQrCode(text.toUtf8());
        if (!code)
            return;
        keepTogether(side + 120);
        PaintQrCode(m_painter, QRectF(m_page.left(), m_y, side, side), *code);
        QFont font(QStringLiteral("Sans Serif"));
        font.setPointSizeF(8);
        m_painter.setFont(font);
        m_painter.drawText(QRect(m_page.left() + side + 40, m_y, m_page.width() - side - 40, side),
            Qt::AlignVCenter | Qt::TextWordWrap, caption);
        m_y += side + 40;
    }

private:
    void newPage()
    {
        if (m_pages)
            m_pages->newPage();
        m_y = m_page.top();
    }

    QPainter &m_painter;
    QPagedPaintDevice *m_pages;
    QRect m_page;
    int m_y;
};

} // namespace

void PaintCertificate(
    QPainter &painter, QPagedPaintDevice *pages, const QRect &page, const RecordCheck &check)
{
    const RecordFacts &facts = check.facts;
    PageWriter out(painter, pages, page);
    out.line(QStringLiteral("抽奖公证证书"), 22, true, Qt::AlignHCenter);
    out.line(QStringLiteral("澄曜抽奖软件 · 规则 %1")
                 .arg(facts.rule == 2 ? QLatin1String(notary::Rule) : QLatin1String(notary::RuleV1)),
        9, false, Qt::AlignHCenter);
    if (!check.passed())
        out.line(QStringLiteral("此记录现在还不能验证：%1").arg(check.problem), 11, true);
    out.line(QStringLiteral("抽奖：%1").arg(check.drawName), 12, true);
    out.line(QStringLiteral("证书打印时间：%1")
                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
        9);
    if (!facts.commits.isEmpty()) {
        const RecordFacts::Commit &first = facts.commits.constFirst();
        out.line(QStringLiteral("首次承诺：%1　名单 %2 人").arg(first.time).arg(first.entrants), 10);
        out.line(
            QStringLiteral("公证码 %1").arg(notary::GroupedCode(first.code)), 13, true, Qt::AlignLeft, true);
        out.line(QStringLiteral("请与抽奖前舞台上拍下的公证码或公布的承诺单核对。"), 8);
    }
    for (const RecordFacts::Commit &commit : facts.commits) {
        if (commit.number > 1) {
            out.line(QStringLiteral("第%1次承诺：%2　公证码 %3")
                         .arg(commit.number)
                         .arg(commit.time, notary::GroupedCode(commit.code)),
                9, true);
            if (!commit.reason.isEmpty())
                out.line(QStringLiteral("　原因：%1").arg(commit.reason), 9);
            if (!commit.changes.isEmpty())
                out.line(QStringLiteral("　名单变动：%1").arg(commit.changes), 9);
        }
        if (commit.hallGiven) {
            out.line(commit.hallNumbers.isEmpty()
                    ? QStringLiteral("　第%1次承诺未输入现场随机数：其中奖结果只取决于操作员电脑产生的种子。")
                          .arg(commit.number)
                    : QStringLiteral("　第%1次承诺的现场随机数：%2")
                          .arg(commit.number)
                          .arg(commit.hallNumbers),
                10, commit.hallNumbers.isEmpty());
        }
    }
    if (!facts.withdrawals.isEmpty()) {
        out.line(QStringLiteral("撤销的中奖（%1 次）").arg(facts.withdrawals.size()), 11, true);
        for (const RecordFacts::Withdrawal &each : facts.withdrawals)
            out.line(QStringLiteral("%1　%2　%3 %4　原因：%5")
                         .arg(each.time, each.award, each.number, each.name, each.reason),
                9);
    }
    out.line(QStringLiteral("获奖名单"), 12, true);
    for (const RecordFacts::Winners &winners : facts.winners) {
        const QString prize
            = winners.prize.isEmpty() ? QString() : QStringLiteral("（%1）").arg(winners.prize);
        out.line(QStringLiteral("%1%2　%3/%4 名")
                     .arg(winners.award, prize)
                     .arg(winners.people.size())
                     .arg(winners.count),
            10, true);
        if (!winners.people.isEmpty())
            out.line(winners.people.join(QStringLiteral("，")), 9);
    }
    if (!facts.shortAwards.isEmpty())
        out.line(QStringLiteral("未抽满：%1").arg(facts.shortAwards.join(QStringLiteral("，"))), 10, true);

    out.space(60);
    out.keepTogether(900);
    out.line(
        QStringLiteral("操作员签名：________________　　监督人签名：________________　　日期：____________"),
        10);
    out.space(40);
    out.line(QStringLiteral("记录最后一条哈希（二维码同此）："), 9, true);
    out.line(check.lastHash, 9, false, Qt::AlignLeft, true);
    out.drawQr(check.lastHash, 420, QStringLiteral("用手机扫描此码，与验证结果最后一行的哈希核对。"));
    out.line(QStringLiteral("验证方法：在澄曜抽奖软件的“抽奖结果”页用公证记录文件（及抽奖名单）验证，或运行"),
        9, true);
    out.line(QStringLiteral("tombolix-verify 公证记录.json 名单.xlsx"), 9, false, Qt::AlignLeft, true);
    const QString document = ruleDocumentPath();
    out.line(QStringLiteral("显示“验证通过”即说明每位获奖者都由抽奖前公布的公证码和现场随机数算出，且记录未被"
                            "改动。规则全文：%1")
                 .arg(document.isEmpty() ? QStringLiteral("随软件安装的 verifiable-draw.md") : document),
        8);
}

bool WriteCertificate(const RecordCheck &check, const QString &pdfPath)
{
    QPdfWriter pdf(pdfPath);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("抽奖公证证书"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    PaintCertificate(painter, &pdf, painter.viewport().adjusted(180, 180, -180, -180), check);
    return painter.end();
}

std::optional<NotaryFiles> WriteNotaryFiles(qint64 drawId, const QString &recordPath, bool reveal)
{
    if (reveal && !RevealSeed(drawId))
        return std::nullopt;
    const std::optional<QByteArray> record = ExportRecord(drawId);
    const QFileInfo where(recordPath);
    if (!record || !QDir().mkpath(where.absolutePath()))
        return std::nullopt;
    NotaryFiles files;
    files.record = recordPath;
    files.certificate = where.dir().filePath(where.completeBaseName() + QStringLiteral(".pdf"));
    QSaveFile json(files.record);
    if (!json.open(QIODevice::WriteOnly) || json.write(*record) < 0 || !json.commit())
        return std::nullopt;
    const RecordCheck check = CheckRecord(*record);
    files.checkable = check.passed();
    files.problem = check.problem;
    if (!WriteCertificate(check, files.certificate))
        return std::nullopt;
    return files;
}

QString NotaryRecordPathAtTheEnd(qint64 drawId)
{
    const QString name = data::DrawStore().load(drawId).value_or(data::DrawRecord {}).name;
    const QDir folder(QFileInfo(data::DatabasePath()).dir().filePath(QStringLiteral("公证记录")));
    return folder.filePath(safeName(name) + QStringLiteral("-公证记录-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".json"));
}

namespace {

void paintSheet(QPainter &painter, const QRect &page, const QString &drawName, const Commitment &commitment)
{
    PageWriter out(painter, nullptr, page);
    out.line(QStringLiteral("抽奖承诺单"), 24, true, Qt::AlignHCenter);
    out.line(QStringLiteral("澄曜抽奖软件 · 规则 %1").arg(QLatin1String(notary::Rule)), 9, false,
        Qt::AlignHCenter);
    out.space(30);
    out.line(QStringLiteral("抽奖：%1").arg(drawName), 14, true);
    out.line(QStringLiteral("承诺时间：%1").arg(commitment.time), 11);
    out.space(20);
    out.line(QStringLiteral("公证码"), 12, true);
    out.line(notary::GroupedCode(commitment.code), 20, true, Qt::AlignLeft, true);
    out.line(QStringLiteral(
                 "抽奖当晚，舞台上在第一轮前显示的公证码必须与此完全相同；随后由现场各桌报出现场随机数，"
                 "中奖者由本承诺和现场随机数共同算出，任何人事先都无法知道或指定。"),
        10);
    out.space(20);
    out.drawQr(notary::CommitmentQrText(commitment.entryHash), 520,
        QStringLiteral("承诺全文哈希（二维码同此）：\n%1").arg(commitment.entryHash));
    out.line(
        QStringLiteral("种子承诺（SHA-256）：%1").arg(commitment.commitment), 9, false, Qt::AlignLeft, true);
    out.line(QStringLiteral("名单：%1 人，指纹 %2").arg(commitment.entrants).arg(commitment.fingerprint), 9,
        false, Qt::AlignLeft, true);
    out.space(20);
    out.line(QStringLiteral("奖项（按抽奖顺序）"), 12, true);
    for (const record::CommittedAward &award : commitment.awards) {
        out.line(QStringLiteral("%1%2：共 %3 名，每次抽 %4 名%5")
                     .arg(award.name,
                         award.prize.isEmpty() ? QString() : QStringLiteral("（%1）").arg(award.prize))
                     .arg(award.count)
                     .arg(award.perRound)
                     .arg(award.repeat ? QStringLiteral("，可重复中奖") : QString()),
            10);
    }
}

} // namespace

CommitmentSheet WriteCommitmentSheet(qint64 drawId, const QString &pdfPath)
{
    CommitmentSheet sheet;
    const RecordState state = InspectRecord(drawId);
    const std::optional<qint64> results = data::ResultStore().countForDraw(drawId);
    if (!state.readable || !results) {
        sheet.problem = QStringLiteral("无法读取此抽奖的公证记录，请检查数据库！");
        return sheet;
    }
    if (state.kind == RecordState::Kind::Broken || state.kind == RecordState::Kind::OlderRule || state.hasWins
        || *results > 0) {
        sheet.problem = QStringLiteral("该抽奖已经开始抽奖，承诺单只能在抽奖开始前导出。");
        return sheet;
    }
    EntrantPool pool;
    LoadEntrantPool(pool, drawId);
    TakenUp taken = TakeUpCommitment(drawId, Entry::Afresh, pool);
    if (!taken.commitment) {
        sheet.problem = taken.problem;
        return sheet;
    }
    if (taken.commitment->roundsUnder > 0) {
        sheet.problem = QStringLiteral("该抽奖已经开始抽奖，承诺单只能在抽奖开始前导出。");
        return sheet;
    }
    const QString drawName = data::DrawStore().load(drawId).value_or(data::DrawRecord {}).name;
    const QFileInfo where(pdfPath);
    if (!QDir().mkpath(where.absolutePath())) {
        sheet.problem = QStringLiteral("文件保存出错！");
        return sheet;
    }
    sheet.pdf = pdfPath;
    sheet.png = where.dir().filePath(where.completeBaseName() + QStringLiteral(".png"));
    sheet.code = notary::GroupedCode(taken.commitment->code);
    {
        QPdfWriter pdf(sheet.pdf);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("抽奖承诺单"));
        QPainter painter;
        if (!painter.begin(&pdf)) {
            sheet.problem = QStringLiteral("文件保存出错！");
            return sheet;
        }
        paintSheet(painter, painter.viewport().adjusted(180, 180, -180, -180), drawName, *taken.commitment);
        painter.end();
    }
    // The same page as a picture, for the company chat (A4 at 150 dpi).
    QImage image(1240, 1754, QImage::Format_RGB32);
    image.fill(Qt::white);
    // Fonts are sized as on the PDF's page (300 dpi), then drawn at half.
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        // The PDF's page in its units (300 dpi), drawn at half the size.
        painter.scale(0.5, 0.5);
        paintSheet(painter, QRect(180, 180, 2480 - 360, 3508 - 360), drawName, *taken.commitment);
    }
    image.setDotsPerMeterX(5906);
    image.setDotsPerMeterY(5906);
    if (!image.save(sheet.png, "PNG"))
        sheet.problem = QStringLiteral("文件保存出错！");
    return sheet;
}

} // namespace tombolix::draw
