#include "common/conventions.h"
#include "grid/gridops.h"
#include "grid/textwidth.h"
#include "transfer/csv.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

using namespace tombolix;
using namespace tombolix::grid;

namespace {

constexpr int MeasuredLength = 300;

// Every text measured, as the columns were fitted before sampling.
double measureAll(const QFontMetricsF &metrics, const std::vector<QString> &texts)
{
    double widest = 0;
    for (const QString &text : texts) {
        if (!text.isEmpty())
            widest = std::max(widest, metrics.horizontalAdvance(text.left(MeasuredLength)));
    }
    return widest;
}

const QString Surnames
    = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾萧田董潘袁蔡蒋余于杜叶"
                     "程魏苏吕丁任卢姚沈钟姜崔谭陆范汪廖石金韦贾夏付方邹熊白孟秦邱侯江尹薛闫段雷龙黎史陶贺毛"
                     "郝顾龚邵万覃武钱戴严欧莫孔向常汤康易乔赖文");
const QString Given = QStringLiteral(
    "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉兰萍红鹏飞建国志宏海燕晶欣怡子涵浩然宇轩梓萱一诺思远");

QString chineseName(QRandomGenerator &random)
{
    QString name = Surnames.at(random.bounded(Surnames.size()));
    const int length = random.bounded(100) < 70 ? 2 : (random.bounded(10) < 9 ? 1 : 3);
    for (int i = 0; i < length; ++i)
        name += Given.at(random.bounded(Given.size()));
    if (random.bounded(500) == 0)
        name += QStringLiteral("·阿卜杜拉");
    if (random.bounded(300) == 0)
        name = QStringLiteral("Li Wei") + QString(random.bounded(8), QLatin1Char('i'));
    return name;
}

QString phoneNumber(QRandomGenerator &random)
{
    QString number = QString::number(13000000000LL + random.bounded(999999999));
    if (random.bounded(200) == 0)
        number += QStringLiteral("-") + QString::number(random.bounded(1000));
    return number;
}

} // namespace

class TestTextWidth : public QObject
{
    Q_OBJECT

private slots:
    void sampleFindsTheWidestOfGeneratedLists_data();
    void sampleFindsTheWidestOfGeneratedLists();
    void wideGlyphsAndLongNarrowTexts();
    void fittingTheFixturesEqualsMeasuringEveryCell();
};

void TestTextWidth::sampleFindsTheWidestOfGeneratedLists_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("seed");
    for (int seed = 1; seed <= 4; ++seed) {
        for (int count : { 300, 401, 5000, 30000 }) {
            QTest::addRow("names %d seed %d", count, seed) << 0 << count << seed;
            QTest::addRow("numbers %d seed %d", count, seed) << 1 << count << seed;
            QTest::addRow("serials %d seed %d", count, seed) << 2 << count << seed;
        }
    }
}

void TestTextWidth::sampleFindsTheWidestOfGeneratedLists()
{
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(int, seed);
    QRandomGenerator random { quint32(seed) };
    std::vector<QString> texts;
    for (int i = 0; i < count; ++i) {
        if (kind == 0)
            texts.push_back(chineseName(random));
        else if (kind == 1)
            texts.push_back(phoneNumber(random));
        else
            texts.push_back(QString::number(i + 1));
        if (random.bounded(50) == 0)
            texts.back().clear();
    }
    for (const QFont &font : { QApplication::font(), QFont(QStringLiteral("WenQuanYi Micro Hei"), 15) }) {
        const QFontMetricsF metrics(font);
        CharAdvances advances(metrics);
        QCOMPARE(WidestTextWidth(metrics, advances, texts, MeasuredLength), measureAll(metrics, texts));
    }
}

void TestTextWidth::wideGlyphsAndLongNarrowTexts()
{
    const QFontMetricsF metrics(QApplication::font());
    std::vector<QString> texts(2000, QStringLiteral("iiiiiiiiiiiiiiii"));
    for (int i = 0; i < 200; ++i)
        texts[size_t(i * 7)] = QStringLiteral("iiiiiiiiiiiiiiiiiiiiii") + QString(i % 3, QLatin1Char('l'));
    texts[1777] = QStringLiteral("澄曜抽奖软件澄曜");
    texts[1500] = QStringLiteral("WWWWWWWW");
    texts[1999] = QString(5000, QLatin1Char('x')); // cut to its first characters
    CharAdvances advances(metrics);
    QCOMPARE(WidestTextWidth(metrics, advances, texts, MeasuredLength), measureAll(metrics, texts));
    texts[1999] = QStringLiteral("𠀀𠀁𠀂 surrogates");
    QCOMPARE(WidestTextWidth(metrics, advances, texts, MeasuredLength), measureAll(metrics, texts));
}

void TestTextWidth::fittingTheFixturesEqualsMeasuringEveryCell()
{
    // Each fixture's rows repeated until the list is long enough to be sampled.
    for (const char *fixture : { "entrants-utf8.csv", "entrants-gbk.csv", "entrants-lf.csv" }) {
        std::vector<data::EntrantRow> rows;
        QCOMPARE(transfer::ReadCsvRows(QStringLiteral(TOMBOLIX_TEST_DATA "/") + QLatin1String(fixture), 1, 4,
                     { QStringLiteral("A"), QStringLiteral("B,C") }, rows),
            0);
        GridModel grid;
        SetupGridHeader(
            grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
        grid.setFixedCols(3);
        const int copies = 700;
        grid.setRows(2 + copies * int(rows.size()));
        std::vector<QString> numbers;
        std::vector<QString> names;
        for (int r = 2; r < grid.Rows(); ++r) {
            const data::EntrantRow &row = rows[size_t(r - 2) % rows.size()];
            grid.setTextMatrix(r, 2, QString::number(r - 1));
            grid.setTextMatrix(r, 3, row.number + QString::number(r % 97));
            grid.setTextMatrix(r, 4, row.name);
            numbers.push_back(grid.TextMatrix(r, 3));
            names.push_back(grid.TextMatrix(r, 4));
        }
        const QFont font = QApplication::font();
        FitGridColumns(font, grid, 1, false);
        const QFontMetricsF metrics(font);
        const auto fitted = [&metrics](const std::vector<QString> &texts, const QString &caption) {
            return int(roundHalfEven(
                std::max(measureAll(metrics, texts), metrics.horizontalAdvance(caption)) * 15 + 100));
        };
        QCOMPARE(grid.ColWidth(3), fitted(numbers, QStringLiteral("抽奖号码")));
        QCOMPARE(grid.ColWidth(4), fitted(names, QStringLiteral("姓名")));
    }
}

QTEST_MAIN(TestTextWidth)
#include "tst_textwidth.moc"
