#include "common/progress.h"
#include "common/prompts.h"
#include "data/entrantrow.h"
#include "support/testsupport.h"
#include "transfer/gb18030.h"
#include "transfer/htmltables.h"
#include "transfer/importer.h"
#include "transfer/markupworkbook.h"
#include "transfer/workbook.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using namespace tombolix::transfer;

Q_DECLARE_METATYPE(tombolix::transfer::MarkupKind)

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(TOMBOLIX_TEST_DATA "/") + name;
}

QByteArray gbk(const QString &text)
{
    return transfer::EncodeGb18030(text);
}

const QByteArray XmlHead = "<?xml version=\"1.0\"?>\n"
                           "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                           "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">";

QByteArray spreadsheetXml(const QByteArray &worksheets)
{
    return XmlHead + worksheets + "</Workbook>";
}

// Opens the bytes and selects the first sheet; null when they do not open.
std::unique_ptr<MarkupWorkbook> openFirstSheet(const QByteArray &bytes)
{
    int error = -1;
    std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(bytes, &error);
    if (!book || error != NoError || book->selectSheet(book->sheetNames().value(0)) != NoError)
        return nullptr;
    return book;
}

// The selected sheet's cells row by row, as far as they reach.
QList<QStringList> sheetRows(const Workbook &book)
{
    QList<QStringList> rows;
    for (int r = 1; r <= book.rowCount(); ++r) {
        QStringList row;
        for (int c = 1; c <= book.columnCount(); ++c)
            row << book.cell(r, c);
        rows << row;
    }
    return rows;
}

QList<bool> hiddenFlags(const Workbook &book)
{
    QList<bool> flags;
    for (const SheetInfo &sheet : book.sheets())
        flags << sheet.hidden;
    return flags;
}

} // namespace

class TestMarkupWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void sniffsTheKindFromTheContent_data();
    void sniffsTheKindFromTheContent();

    void placesSpreadsheetXmlCells();
    void showsSpreadsheetXmlValuesAsTheOtherReaders();
    void readsSpreadsheetXmlInItsDeclaredEncoding();
    void flagsHiddenWorksheets();
    void damagedSpreadsheetXmlIsNoWorkbook();

    void spreadsHtmlSpansOverEmptyCells();
    void namesTablesAfterCaptionsOrPositions();
    void takesCellTextAsABrowserShowsIt();
    void decodesThePageAsDeclared_data();
    void decodesThePageAsDeclared();
    void survivesMarkupErrorsAndHugeSpans();
    void importsWebPageRowsThroughTheSpecs();
};

void TestMarkupWorkbook::sniffsTheKindFromTheContent_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<MarkupKind>("kind");

    const QByteArray workbook = "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">";
    QTest::newRow("Excel's XML Spreadsheet")
        << QByteArray("<?xml version=\"1.0\"?>\r\n<?mso-application progid=\"Excel.Sheet\"?>\r\n") + workbook
        << MarkupKind::SpreadsheetXml;
    QTest::newRow("without a declaration") << workbook << MarkupKind::SpreadsheetXml;
    QTest::newRow("BOM, blanks and a comment first")
        << QByteArray("\xEF\xBB\xBF \n<?xml version=\"1.0\"?><!-- 导出 -->") + workbook
        << MarkupKind::SpreadsheetXml;
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    QTest::newRow("UTF-16 with its BOM")
        << QByteArray("\xFF\xFE") + QByteArray(utf16.encode(QString::fromLatin1(workbook)))
        << MarkupKind::SpreadsheetXml;
    QTest::newRow("prefixed root") << QByteArray(
        "<ss:Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">")
                                   << MarkupKind::SpreadsheetXml;
    QTest::newRow("Workbook of another schema")
        << QByteArray("<Workbook xmlns=\"urn:example\">") << MarkupKind::None;

    QTest::newRow("doctype") << QByteArray("<!DOCTYPE html>\n<p>") << MarkupKind::HtmlTables;
    QTest::newRow("XHTML") << QByteArray(
        "<?xml version=\"1.0\"?><!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0\">")
                           << MarkupKind::HtmlTables;
    QTest::newRow("HTML in capitals") << QByteArray("<HTML><BODY>") << MarkupKind::HtmlTables;
    QTest::newRow("a bare table") << QByteArray("\r\n  <table border=1>") << MarkupKind::HtmlTables;
    QTest::newRow("a meta tag first")
        << QByteArray("<meta charset=\"gbk\"><table>") << MarkupKind::HtmlTables;
    QTest::newRow("a comment first") << QByteArray("<!-- 系统导出 --><html>") << MarkupKind::HtmlTables;
    QTest::newRow("a style first") << QByteArray("<style>td{}</style><table>") << MarkupKind::HtmlTables;

    QTest::newRow("CSV") << QByteArray("工号,姓名\r\n0012,张三") << MarkupKind::None;
    QTest::newRow("other XML") << QByteArray("<?xml version=\"1.0\"?><roster/>") << MarkupKind::None;
    QTest::newRow("SVG") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\">") << MarkupKind::None;
    QTest::newRow("an endless comment") << QByteArray("<!-- <table>") << MarkupKind::None;
    QTest::newRow("empty") << QByteArray() << MarkupKind::None;
}

void TestMarkupWorkbook::sniffsTheKindFromTheContent()
{
    QFETCH(QByteArray, head);
    QFETCH(MarkupKind, kind);
    QCOMPARE(SniffMarkupKind(head), kind);
}

// Rows and cells follow one another unless they carry an index; a merged
// cell holds its value in its first cell and pushes the next one past its
// area; a row's span counts the identical rows Excel leaves out.
void TestMarkupWorkbook::placesSpreadsheetXmlCells()
{
    const std::unique_ptr<MarkupWorkbook> book = openFirstSheet(spreadsheetXml(
        "<Worksheet ss:Name=\"表\"><Table>"
        "<Row><Cell><Data ss:Type=\"String\">A1</Data></Cell><Cell ss:Index=\"3\"><Data "
        "ss:Type=\"String\">C1</Data></Cell><Cell><Data ss:Type=\"String\">D1</Data></Cell></Row>"
        "<Row ss:Span=\"1\"/>"
        "<Row><Cell ss:MergeAcross=\"1\" ss:MergeDown=\"1\"><Data ss:Type=\"String\">合并</Data></Cell>"
        "<Cell><Data ss:Type=\"String\">C4</Data></Cell></Row>"
        "<Row><Cell Index=\"4\"><Data Type=\"String\">无前缀</Data></Cell></Row>"
        "<Row ss:Index=\"7\"><Cell><Data ss:Type=\"String\">A7</Data></Cell><Cell/>"
        "<Cell><Data ss:Type=\"String\">C7</Data></Cell></Row>"
        "<Row ss:Index=\"6\"><Cell ss:Index=\"2\"><Data ss:Type=\"String\">B6</Data></Cell></Row>"
        "</Table></Worksheet>"));
    QVERIFY(book);
    QCOMPARE(book->kind(), MarkupKind::SpreadsheetXml);
    QCOMPARE(sheetRows(*book),
        QList<QStringList>(
            { { "A1", "", "C1", "D1" }, { "", "", "", "" }, { "", "", "", "" }, { "合并", "", "C4", "" },
                { "", "", "", "无前缀" }, { "", "B6", "", "" }, { "A7", "", "C7", "" } }));
    QCOMPARE(book->maxColumns(), 16384);
}

void TestMarkupWorkbook::showsSpreadsheetXmlValuesAsTheOtherReaders()
{
    const QList<std::pair<QByteArray, QString>> cases = {
        { "<Data ss:Type=\"Number\">13800138000</Data>", "13800138000" },
        { "<Data ss:Type=\"Number\">1.3800138E10</Data>", "13800138000" },
        { "<Data ss:Type=\"Number\"> 0.30000000000000004 </Data>", "0.3" },
        { "<Data ss:Type=\"Number\">1E+20</Data>", "1e+20" },
        { "<Data ss:Type=\"Number\">一百</Data>", "一百" },
        { "<Data ss:Type=\"String\">0012</Data>", "0012" },
        { "<Data ss:Type=\"String\"> 两边 </Data>", " 两边 " },
        { "<Data ss:Type=\"String\">第一行&#10;第二行</Data>", "第一行\n第二行" },
        { "<Data ss:Type=\"DateTime\">2024-02-29T00:00:00.000</Data>", "2024-02-29" },
        { "<Data ss:Type=\"DateTime\">2024-02-29T18:05:09.000</Data>", "2024-02-29 18:05:09" },
        { "<Data ss:Type=\"DateTime\">1899-12-31T18:05:09.000</Data>", "18:05:09" },
        { "<Data ss:Type=\"DateTime\">不是日期T</Data>", "不是日期 " },
        { "<Data ss:Type=\"Boolean\">1</Data>", "TRUE" },
        { "<Data ss:Type=\"Boolean\">0</Data>", "FALSE" },
        { "<Data ss:Type=\"Error\">#DIV/0!</Data>", "#DIV/0!" },
        { "<ss:Data ss:Type=\"String\" "
          "xmlns=\"http://www.w3.org/TR/REC-html40\"><B>欧阳</B><I>娜娜</I></ss:Data>",
            "欧阳娜娜" },
        { "<Comment><Data>批注</Data></Comment>", "" },
        { "<NamedCell ss:Name=\"Print_Area\"/><Data ss:Type=\"String\">有名字</Data>", "有名字" },
    };
    for (const auto &[data, expected] : cases) {
        const std::unique_ptr<MarkupWorkbook> book = openFirstSheet(spreadsheetXml(
            "<Worksheet ss:Name=\"S\"><Table><Row><Cell>" + data + "</Cell></Row></Table></Worksheet>"));
        QVERIFY2(book, data.constData());
        QVERIFY2(
            book->cell(1, 1) == expected, qPrintable(QString::fromUtf8(data) + " -> " + book->cell(1, 1)));
    }
}

// Excel on a Chinese Windows may declare the ANSI code page.
void TestMarkupWorkbook::readsSpreadsheetXmlInItsDeclaredEncoding()
{
    const QString sheet
        = QStringLiteral("<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                         "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
                         "<Worksheet ss:Name=\"名单\"><Table><Row><Cell><Data ss:Type=\"String\">"
                         "欧阳娜娜</Data></Cell></Row></Table></Worksheet></Workbook>");
    for (const char *declared : { "GB2312", "GBK", "gb18030" }) {
        int error = -1;
        const QByteArray bytes
            = "<?xml version=\"1.0\" encoding=\"" + QByteArray(declared) + "\"?>\n" + gbk(sheet);
        const std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(bytes, &error);
        QVERIFY2(book, declared);
        QCOMPARE(book->sheetNames(), QStringList { "名单" });
        QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
        QCOMPARE(book->cell(1, 1), QStringLiteral("欧阳娜娜"));
    }
}

void TestMarkupWorkbook::flagsHiddenWorksheets()
{
    int error = -1;
    const std::unique_ptr<Workbook> book
        = OpenWorkbook(dataFile(QStringLiteral("entrants-xmlss.xls")), &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList({ "名单", "Sheet2", "隐藏" }));
    QCOMPARE(hiddenFlags(*book), QList<bool>({ false, false, true }));
    // Hidden sheets still read, as Excel would let them be unhidden.
    QCOMPARE(book->selectSheet(QStringLiteral("隐藏")), 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("不显示"));

    const std::unique_ptr<MarkupWorkbook> veryHidden = openFirstSheet(spreadsheetXml(
        "<Worksheet ss:Name=\"V\"><Table/><WorksheetOptions xmlns=\"urn:schemas-microsoft-com:"
        "office:excel\"><Visible>SheetVeryHidden</Visible></WorksheetOptions></Worksheet>"
        "<Worksheet ss:Name=\"W\"><Table><Row><Cell><Data ss:Type=\"String\">x</Data></Cell></Row>"
        "</Table><WorksheetOptions><Visible>SheetVisible</Visible></WorksheetOptions></Worksheet>"));
    QVERIFY(veryHidden);
    QCOMPARE(hiddenFlags(*veryHidden), QList<bool>({ true, false }));
    // Sheets without a value are listed too, as the other kinds list them.
    QCOMPARE(veryHidden->rowCount(), 0);
    QCOMPARE(veryHidden->cell(1, 1), QString());

    const std::unique_ptr<MarkupWorkbook> page = openFirstSheet("<table><tr><td>1</td></tr></table>");
    QVERIFY(page);
    QCOMPARE(hiddenFlags(*page), QList<bool> { false });
}

// Every cut of the file, and markup XML does not allow, is refused as no
// workbook; none of them crashes or hangs.
void TestMarkupWorkbook::damagedSpreadsheetXmlIsNoWorkbook()
{
    const QByteArray whole = test::readFile(dataFile(QStringLiteral("entrants-xmlss.xls")));
    QVERIFY(whole.size() > 3000);
    const qsizetype end = whole.lastIndexOf("</Workbook>");
    for (qsizetype length = 0; length < end; length += 37) {
        int error = -1;
        QVERIFY(!MarkupWorkbook::openData(whole.left(length), &error));
        QCOMPARE(error, int(NotAWorkbook));
    }
    const QList<QByteArray> damaged = {
        spreadsheetXml("<Worksheet ss:Name=\"S\"><Table><Row><Cell><Data>&nbsp;</Data></Cell></Row></Table>"
                       "</Worksheet>"),
        spreadsheetXml("<Worksheet ss:Name=\"S\"><Table><Row></Cell></Row></Table></Worksheet>"),
        spreadsheetXml("<Worksheet ss:Name=\"S\"></Worksheet>") + "<Workbook/>",
        spreadsheetXml(""), // no worksheet at all
    };
    for (const QByteArray &bytes : damaged) {
        int error = -1;
        QVERIFY2(!MarkupWorkbook::openData(bytes, &error), bytes.constData());
        QCOMPARE(error, int(NotAWorkbook));
    }
}

// Cells under a colspan or rowspan stay empty, so the columns of the rows
// below line up with the header, as Excel shows the page.
void TestMarkupWorkbook::spreadsHtmlSpansOverEmptyCells()
{
    const std::unique_ptr<MarkupWorkbook> book = openFirstSheet(
        "<table>"
        "<tr><th colspan=2>姓名</th><th>部门</th><th>手机</th></tr>"
        "<tr><td rowspan=\"3\">张</td><td>三</td><td rowspan=2 colspan=2>财务部 全体</td></tr>"
        "<tr><td>四</td></tr>"
        "<tr><td>五</td><td>人事部</td><td>13800138000</td></tr>"
        "<tr><td rowspan=0>零</td><td colspan=\"x\">坏</td><td colspan=-1>负</td></tr>"
        "</table>");
    QVERIFY(book);
    QCOMPARE(book->kind(), MarkupKind::HtmlTables);
    QCOMPARE(sheetRows(*book),
        QList<QStringList>({ { "姓名", "", "部门", "手机" }, { "张", "三", "财务部 全体", "" },
            { "", "四", "", "" }, { "", "五", "人事部", "13800138000" }, { "零", "坏", "负", "" } }));
}

void TestMarkupWorkbook::namesTablesAfterCaptionsOrPositions()
{
    int error = -1;
    const std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(
        "<table><caption>名单</caption><tr><td>1</td></tr></table>"
        "<table><tr><td>2</td></tr></table>"
        "<table><caption> 名单 </caption><tr><td>3</td></tr></table>" // taken: named by position
        "<table><caption>sheet2</caption><tr><td>4</td></tr></table>" // names differ in case only: taken
        "<table><caption></caption><tr><td>\n</td></tr></table>" // holds nothing: no sheet
        "<table><tr><td>外<table><caption>内\n表</caption><tr><td>6</td></tr></table>层</td></tr></table>",
        &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList({ "名单", "Sheet2", "Sheet3", "Sheet4", "Sheet5", "内 表" }));
    QCOMPARE(book->selectSheet(QStringLiteral("SHEET5")), 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("外\n层"));
    QCOMPARE(book->selectSheet(QStringLiteral("内 表")), 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("6"));
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet6")), int(NoSuchSheet));

    // A caption that another table's position name needs makes way for it.
    const std::unique_ptr<MarkupWorkbook> clash = MarkupWorkbook::openData(
        "<table><caption>Sheet2</caption><tr><td>1</td></tr></table><table><tr><td>2</td></tr></table>",
        &error);
    QVERIFY(clash);
    QCOMPARE(clash->sheetNames(), QStringList({ "Sheet2", "Sheet2_2" }));
}

void TestMarkupWorkbook::takesCellTextAsABrowserShowsIt()
{
    const std::unique_ptr<MarkupWorkbook> book = openFirstSheet(
        "<html><head><title>不是表</title><style>table{}</style>"
        "<script>document.write('<table><tr><td>脚本</td></tr></table>')</script></head><body>"
        "说明文字<TABLE Border=1><TR><TD Class=\"x>y\" Style='a>b'>  欧阳\r\n\t  娜娜  </TD>"
        "<td>&nbsp;0012&nbsp;</td><td>第一行<br>第二行<BR/>第三行</td>"
        "<td><p>段一</p><p>段二</p><div>块</div></td></tr>"
        "<tr><td>&#20013;&#x6587;&amp;&lt;&gt;&quot;&#39;&unknown;&#0;&#xD800;</td><td>a < b</td>"
        "<td><!-- 注释 -->可见<o:p></o:p></td><td><span>张</span><b>三</b></td></tr>"
        "<tr><td>未闭合<td>单元格<tr><td>新的一行</table>");
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList { "Sheet1" });
    QCOMPARE(sheetRows(*book),
        QList<QStringList>({ { "欧阳 娜娜", "0012", "第一行\n第二行\n第三行", "段一\n段二\n块" },
            { "中文&<>\"'&unknown;\uFFFD\uFFFD", "a < b", "可见", "张三" }, { "未闭合", "单元格", "", "" },
            { "新的一行", "", "", "" } }));
}

void TestMarkupWorkbook::decodesThePageAsDeclared_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString name = QStringLiteral("张三·欧阳");
    const QByteArray cell = "<table><tr><td>";
    const QByteArray end = "</td></tr></table>";
    QTest::newRow("meta charset gb2312, GBK bytes")
        << "<meta charset=\"gb2312\">" + cell + gbk(name) + end << name;
    QTest::newRow("http-equiv with GBK")
        << "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GBK\"></head>" + cell
            + gbk(name) + end
        << name;
    QTest::newRow("no declaration, GBK bytes") << cell + gbk(name) + end << name;
    QTest::newRow("no declaration, UTF-8") << cell + name.toUtf8() + end << name;
    QTest::newRow("UTF-8 BOM over a wrong declaration")
        << "\xEF\xBB\xBF<meta charset=gb2312>" + cell + name.toUtf8() + end << name;
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    QTest::newRow("UTF-16 with its BOM") << QByteArray("\xFF\xFE")
            + QByteArray(utf16.encode(QString::fromLatin1(cell) + name + QString::fromLatin1(end)))
                                         << name;
    QTest::newRow("declared UTF-8 but saved as GBK")
        << "<meta charset=utf-8>" + cell + gbk(name) + end << name;
    QTest::newRow("declared windows-1252")
        << "<meta http-equiv=Content-Type content='text/html;charset=windows-1252'>" + cell
            + QByteArray("Caf\xE9") + end
        << QStringLiteral("Café");
    QTest::newRow("XHTML declaration")
        << "<?xml version=\"1.0\" encoding=\"GBK\"?><!DOCTYPE html><html>" + cell + gbk(name) + end << name;
    QTest::newRow("unknown charset falls back")
        << "<meta charset=\"x-made-up\">" + cell + name.toUtf8() + end << name;
}

void TestMarkupWorkbook::decodesThePageAsDeclared()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(SniffMarkupKind(bytes), MarkupKind::HtmlTables);
    const std::unique_ptr<MarkupWorkbook> book = openFirstSheet(bytes);
    QVERIFY(book);
    QCOMPARE(book->cell(1, 1), expected);
}

// Indexes and spans far outside a sheet are passed over without growing
// anything to their size; markup cut anywhere still reads what came before.
void TestMarkupWorkbook::survivesMarkupErrorsAndHugeSpans()
{
    const std::unique_ptr<MarkupWorkbook> xml = openFirstSheet(spreadsheetXml(
        "<Worksheet ss:Name=\"S\"><Table>"
        "<Row><Cell ss:Index=\"2147483647\" ss:MergeAcross=\"2147483647\"><Data "
        "ss:Type=\"String\">远</Data></Cell>"
        "<Cell><Data ss:Type=\"String\">更远</Data></Cell></Row>"
        "<Row ss:Index=\"2147483647\" ss:Span=\"2147483647\"/><Row><Cell><Data "
        "ss:Type=\"String\">底</Data></Cell></Row>"
        "<Row ss:Index=\"1048576\"><Cell ss:Index=\"16384\"><Data ss:Type=\"String\">末</Data></Cell></Row>"
        "</Table></Worksheet>"));
    QVERIFY(xml);
    QCOMPARE(xml->rowCount(), 1048576);
    QCOMPARE(xml->columnCount(), 16384);
    QCOMPARE(xml->cell(1048576, 16384), QStringLiteral("末"));

    const std::unique_ptr<MarkupWorkbook> html
        = openFirstSheet("<table><tr><td colspan=2147483647 rowspan=2147483647>宽</td><td>右</td></tr>"
                         "<tr><td>下</td></tr></table>");
    QVERIFY(html);
    QCOMPARE(html->cell(1, 1), QStringLiteral("宽"));
    QCOMPARE(html->cell(1, 1001), QStringLiteral("右"));
    QCOMPARE(html->cell(2, 1001), QStringLiteral("下"));

    const QByteArray page = test::readFile(dataFile(QStringLiteral("entrants-html.xls")));
    for (qsizetype length = 0; length <= page.size(); length += 23) {
        int error = -1;
        const std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(page.left(length), &error);
        QCOMPARE(error, book ? int(NoError) : int(NotAWorkbook));
    }
}

// The import takes a web page saved as .xls like any workbook: a line break
// in a cell becomes "//", and a literal joins the cells.
void TestMarkupWorkbook::importsWebPageRowsThroughTheSpecs()
{
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> rows;
    QCOMPARE(ReadImportRows(dataFile(QStringLiteral("entrants-html.xls")), QStringLiteral("Sheet2"), 3, 6,
                 { QStringLiteral("A"), QStringLiteral("B,\"-\",C") }, rows),
        0);
    QCOMPARE(prompts.messages(), QStringList());
    QList<QStringList> read;
    for (const data::EntrantRow &row : rows)
        read << QStringList { row.number, row.name };
    QCOMPARE(read,
        QList<QStringList>({ { "一等奖（合并）", "-" }, { "上下合并", "第一行//第二行-<A&B>" },
            { "", "下一行-第三列" }, { "", "-" } }));
}

QTEST_GUILESS_MAIN(TestMarkupWorkbook)
#include "tst_markupworkbook.moc"
