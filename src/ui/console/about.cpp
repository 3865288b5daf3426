#include "console/about.h"

#include "common/version.h"
#include "common/windowops.h"
#include "data/database.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace tombolix {

namespace {

const QColor AccentColour(0x1e, 0x63, 0xd6);
const QColor QuietColour(0x6b, 0x72, 0x80);
// What the data file's line may take of the box's fixed width.
const int DataFileWidth = 330;

// The studio's emblem: the character 澄 on a blue rounded square, drawn at the
// screen's pixel ratio so it stays sharp.
QPixmap emblem(int side, qreal ratio)
{
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, side, side);
    fill.setColorAt(0, AccentColour.lighter(125));
    fill.setColorAt(1, AccentColour.darker(115));
    QPainterPath square;
    square.addRoundedRect(QRectF(0, 0, side, side), side / 5.0, side / 5.0);
    painter.fillPath(square, fill);
    QFont glyph = painter.font();
    glyph.setPixelSize(side * 11 / 20);
    glyph.setBold(true);
    painter.setFont(glyph);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, QStringLiteral("澄"));
    return pixmap;
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void setQuiet(QLabel *label)
{
    QPalette shades = label->palette();
    shades.setColor(QPalette::WindowText, QuietColour);
    label->setPalette(shades);
}

QFrame *makeRule(QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    QPalette shades = rule->palette();
    shades.setColor(QPalette::WindowText, QColor(0xe3, 0xe8, 0xef));
    rule->setPalette(shades);
    return rule;
}

// The emblem beside the product's name, version and purpose.
QHBoxLayout *heading(QDialog *box)
{
    auto *mark = new QLabel(box);
    mark->setObjectName(QStringLiteral("Emblem"));
    mark->setPixmap(emblem(64, box->devicePixelRatioF()));
    mark->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *product = makeLabel(QStringLiteral("Product"), QStringLiteral("澄曜抽奖软件"), box);
    QFont productFont = product->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 1.6);
    productFont.setBold(true);
    product->setFont(productFont);

    auto *version
        = makeLabel(QStringLiteral("Version"), QStringLiteral("版本 ") + QLatin1String(ProgramVersion), box);
    setQuiet(version);

    auto *description = makeLabel(
        QStringLiteral("Description"), QStringLiteral("专为公司年会、庆典活动打造的现场抽奖软件。"), box);
    description->setWordWrap(true);

    auto *lines = new QVBoxLayout;
    lines->setSpacing(4);
    lines->addWidget(product);
    lines->addWidget(version);
    lines->addSpacing(6);
    lines->addWidget(description);

    auto *top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(mark, 0, Qt::AlignTop);
    top->addLayout(lines, 1);
    return top;
}

QLabel *makerLine(QWidget *parent)
{
    auto *maker = makeLabel(QStringLiteral("Maker"), QStringLiteral("澄曜软件工作室"), parent);
    QFont makerFont = maker->font();
    makerFont.setBold(true);
    maker->setFont(makerFont);
    return maker;
}

// The maker's contact lines and the data file, a key and a value each.
QGridLayout *contactLines(QWidget *parent)
{
    auto *contact = new QGridLayout;
    contact->setHorizontalSpacing(6);
    contact->setVerticalSpacing(4);
    const QList<QPair<QString, QString>> lines = {
        { QStringLiteral("客服邮箱："), QStringLiteral("support@chengyao-soft.example") },
        { QStringLiteral("客服电话："), QStringLiteral("400-000-0000（工作日 9:00—18:00）") },
        { QStringLiteral("官方网站："), QStringLiteral("www.chengyao-soft.example") },
    };
    for (int row = 0; row < lines.size(); ++row) {
        auto *key = makeLabel(QString(), lines[row].first, parent);
        setQuiet(key);
        auto *value = makeLabel(QStringLiteral("Contact_%1").arg(row), lines[row].second, parent);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        contact->addWidget(key, row, 0);
        contact->addWidget(value, row, 1);
    }
    // Where the draws are kept, for the operator who copies or backs up the
    // file by hand. A long path is shortened in its middle; the whole of it
    // shows as the tip.
    const QString dataFile = QDir::toNativeSeparators(QFileInfo(data::DatabasePath()).absoluteFilePath());
    auto *dataKey = makeLabel(QString(), QStringLiteral("数据文件："), parent);
    setQuiet(dataKey);
    auto *dataValue = makeLabel(QStringLiteral("DataFile"), dataFile, parent);
    dataValue->setToolTip(dataFile);
    dataValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dataValue->setText(dataValue->fontMetrics().elidedText(dataFile, Qt::ElideMiddle, DataFileWidth));
    contact->addWidget(dataKey, lines.size(), 0);
    contact->addWidget(dataValue, lines.size(), 1);
    contact->setColumnStretch(1, 1);
    return contact;
}

// The copyright line and the button that closes the box.
QHBoxLayout *closingRow(QDialog *box)
{
    auto *copyright
        = makeLabel(QStringLiteral("Copyright"), QStringLiteral("版权所有 © 澄曜软件工作室"), box);
    setQuiet(copyright);

    auto *ok = new QPushButton(QStringLiteral("确定"), box);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setMinimumWidth(88);
    QObject::connect(ok, &QPushButton::clicked, box, &QDialog::accept);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(copyright, 1, Qt::AlignVCenter);
    bottom->addWidget(ok);
    return bottom;
}

} // namespace

About::About(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(caption());

    QPalette shades = palette();
    shades.setColor(QPalette::Window, Qt::white);
    setPalette(shades);
    setAutoFillBackground(true);

    QHBoxLayout *top = heading(this);
    QLabel *maker = makerLine(this);
    QGridLayout *contact = contactLines(this);
    QHBoxLayout *bottom = closingRow(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 24, 26, 18);
    layout->setSpacing(12);
    layout->addLayout(top);
    layout->addWidget(makeRule(this));
    layout->addWidget(maker);
    layout->addLayout(contact);
    layout->addWidget(makeRule(this));
    layout->addLayout(bottom);

    setFixedWidth(460);
    adjustSize();
    setFixedSize(size());
    CentreOnWorkArea(this);
}

} // namespace tombolix
