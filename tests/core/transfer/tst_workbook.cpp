#include "common/progress.h"
#include "common/prompts.h"
#include "data/entrantrow.h"
#include "grid/gridexport.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "support/testsupport.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"
#include "transfer/xlsreader.h"
#include "transfer/xlsxreader.h"
#include "transfer/xlsxwriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cerrno>
#ifdef Q_OS_UNIX
#include <sys/wait.h>
#endif
#include <zip.h>

using namespace tombolix;
using namespace tombolix::transfer;
using tombolix::grid::GridModel;

namespace {

using test::readFile;
using test::writeFile;

QString dataFile(const QString &name)
{
    return QStringLiteral(TOMBOLIX_TEST_DATA "/") + name;
}

// One part of a zip package as text, for looking at what the writer wrote.
QString zipPart(const QString &path, const char *name)
{
#ifdef Q_OS_WIN
    // libzip takes a name in UTF-8 on Windows.
    zip_t *archive = zip_open(path.toUtf8().constData(), ZIP_RDONLY, nullptr);
#else
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
#endif
    if (!archive)
        return QString();
    QByteArray bytes;
    if (zip_file_t *file = zip_fopen(archive, name, 0)) {
        char buffer[4096];
        zip_int64_t n;
        while ((n = zip_fread(file, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        zip_fclose(file);
    }
    zip_discard(archive);
    return QString::fromUtf8(bytes);
}

// The minimal package around one worksheet part, and its shared strings
// when given, written with libzip.
bool writePackage(
    const QString &path, const QByteArray &sheet, const QByteArray &sharedStrings = QByteArray())
{
    const QByteArray relationships = "<Relationships "
                                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                     "<Relationship Id=\"rId1\" Type=\"%1\" Target=\"%2\"/></Relationships>";
    const QByteArray officeRelationships
        = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray rels = QString::fromLatin1(relationships)
                                .arg(QString::fromLatin1(officeRelationships + "/officeDocument"),
                                    QStringLiteral("xl/workbook.xml"))
                                .toLatin1();
    const QByteArray book = "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\""
        + officeRelationships
        + "\"><sheets>"
          "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const QByteArray bookRels = QString::fromLatin1(relationships)
                                    .arg(QString::fromLatin1(officeRelationships + "/worksheet"),
                                        QStringLiteral("worksheets/sheet1.xml"))
                                    .toLatin1();
    const QByteArray bookAndStringRels = QByteArray(bookRels).replace("</Relationships>",
        "<Relationship Id=\"rId2\" Type=\"" + officeRelationships
            + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    if (!archive)
        return false;
    const bool withStrings = !sharedStrings.isEmpty();
    const std::pair<const char *, const QByteArray *> parts[]
        = { { "_rels/.rels", &rels }, { "xl/workbook.xml", &book },
              { "xl/_rels/workbook.xml.rels", withStrings ? &bookAndStringRels : &bookRels },
              { "xl/worksheets/sheet1.xml", &sheet }, { "xl/sharedStrings.xml", &sharedStrings } };
    for (const auto &[name, bytes] : parts) {
        if (bytes->isEmpty())
            continue;
        zip_source_t *source = zip_source_buffer(archive, bytes->constData(), zip_uint64_t(bytes->size()), 0);
        if (!source || zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

// Number and name of each row read.
QList<QStringList> entrantRows(const std::vector<data::EntrantRow> &rows)
{
    QList<QStringList> records;
    for (const data::EntrantRow &row : rows)
        records << QStringList { row.number, row.name };
    return records;
}

class RecordingProgress : public ProgressSink
{
public:
    void open(const QString &text, qint64 total) override
    {
        events << QStringLiteral("open %1 %2").arg(text).arg(total);
    }
    void advance(qint64 step, const QString &) override { steps += step; }
    void close() override { events << QStringLiteral("close"); }

    QStringList events;
    qint64 steps = 0;
};

// The roster as both fixtures hold it, columns A to E; the sheet's C column
// is left empty and row 5 is an empty row.
const QList<QStringList> Roster = {
    { "工号", "姓名", "", "手机", "入职" },
    { "0012", "张三", "", "13800138000", "2023-03-15" },
    { "12", "李四", "", "0.1", "2023-03-15 08:30:00" },
    { "1003", "王五", "", "13912345678", "08:30:00" },
    { "", "", "", "", "" },
    { "1005", "欧阳娜娜", "", "1.5", "" },
    { "1006", "Zhang San", "", "-3", "" },
    { "1007", "钱七", "", "123456789012", "" },
    { "1008", "孙八", "", "0.3", "" },
    { "1009", "周九", "", "", "" },
    { "1010", "吴十", "", "2.5e-07", "" },
};

const QString ReadingText = QStringLiteral("正在读取EXCEL数据……");

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsRosterCellByCell_data();
    void readsRosterCellByCell();
    void listsWorksheetsInOrder_data();
    void listsWorksheetsInOrder();
    void readsEveryXlsxCellKind();
    void reportsOpenErrors_data();
    void reportsOpenErrors();
    void damagedSheetIsNoWorkbook();
    void givesUpOnSpinningXlsReader();
    void unknownErrorMessage();
    void hugeDeclaredDimensionStaysSparse();
    void refusesZipBombs();
    void scopedReadKeepsWhatAFullReadKeeps_data();
    void scopedReadKeepsWhatAFullReadKeeps();
    void scopedReadStopsAfterItsLastRow();
    void scopedXlsReadHoldsOnlyItsSheetsCells();

    void readRowsOfTheRange_data();
    void readRowsOfTheRange();
    void readRowsComposesSpecs();
    void readRowsOfFewColumnsInTheMiddle_data();
    void readRowsOfFewColumnsInTheMiddle();
    void readRowsOfAWideSparseSheet();
    void readRowsReportsErrors_data();
    void readRowsReportsErrors();
    void previewFillsFirstRowsAndColumns();
    void listWorksheetsReportsErrors();

    void exportReadsBackCellByCell();
    void exportFormatsHeaderWidthsAndBorders();
    void exportWritesNumbersInNumericColumns();
    void exportOfATableWithoutHeader();
    void exportFailsWithoutLeavingFiles_data();
    void exportFailsWithoutLeavingFiles();

private:
    RecordingProgress m_progress;
    ProgressSink *m_previousProgress = nullptr;
};

void TestWorkbook::init()
{
    m_progress = RecordingProgress();
    m_previousProgress = setProgressSink(&m_progress);
}

void TestWorkbook::cleanup()
{
    setProgressSink(m_previousProgress);
}

void TestWorkbook::readsRosterCellByCell_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << QStringLiteral("entrants.xlsx");
    QTest::newRow("xls") << QStringLiteral("entrants.xls");
    QTest::newRow("XML Spreadsheet 2003") << QStringLiteral("entrants-xmlss.xls");
    QTest::newRow("HTML table in GBK") << QStringLiteral("entrants-html.xls");
}

// Every format gives the text an operator would have typed: the text "0012"
// keeps its zeros, phone numbers stored as numbers stay whole, binary
// fractions lose their noise (0.1 + 0.2 reads 0.3), and dates read the same.
void TestWorkbook::readsRosterCellByCell()
{
    QFETCH(QString, file);
    int error = -1;
    const std::unique_ptr<Workbook> book = OpenWorkbook(dataFile(file), &error);
    QVERIFY(book);
    QCOMPARE(error, 0);
    QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
    QCOMPARE(book->rowCount(), Roster.size());
    QCOMPARE(book->columnCount(), 5);
    for (int r = 0; r < Roster.size(); ++r) {
        for (int c = 0; c < 5; ++c)
            QCOMPARE(book->cell(r + 1, c + 1), Roster.at(r).at(c));
    }
    QCOMPARE(book->cell(0, 1), QString());
    QCOMPARE(book->cell(1, 0), QString());
    QCOMPARE(book->cell(12, 1), QString());
    QCOMPARE(book->cell(2, 6), QString());
    QCOMPARE(book->cell(2, 20000), QString());
}

void TestWorkbook::listsWorksheetsInOrder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("maxColumns");
    QTest::addColumn<QStringList>("names");
    const QStringList names = { "名单", "Sheet2" };
    QTest::newRow("xlsx") << QStringLiteral("entrants.xlsx") << 16384 << names;
    QTest::newRow("xls") << QStringLiteral("entrants.xls") << 256 << names;
    QTest::newRow("XML Spreadsheet 2003")
        << QStringLiteral("entrants-xmlss.xls") << 16384 << names + QStringList { "隐藏" };
    // The page's first table only frames the roster; the second has no caption.
    QTest::newRow("HTML tables") << QStringLiteral("entrants-html.xls") << 16384 << names;
}

// The xlsx lists a chart sheet between the two worksheets, its parts are not
// named after the sheets' positions, and the relationship ids run backwards.
void TestWorkbook::listsWorksheetsInOrder()
{
    QFETCH(QString, file);
    QFETCH(int, maxColumns);
    QFETCH(QStringList, names);
    int error = -1;
    const std::unique_ptr<Workbook> book = OpenWorkbook(dataFile(file), &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), names);
    QCOMPARE(book->maxColumns(), maxColumns);
    QCOMPARE(book->cell(1, 1), QString()); // nothing selected yet
    QCOMPARE(book->selectSheet(QStringLiteral("sheet2")), 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("奖品"));
    QCOMPARE(book->cell(2, 1), QStringLiteral("42"));
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet3")), int(NoSuchSheet));
    QCOMPARE(book->selectSheet(QStringLiteral("图表")), int(NoSuchSheet));
    QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
    QCOMPARE(book->cell(2, 1), QStringLiteral("0012"));
}

void TestWorkbook::readsEveryXlsxCellKind()
{
    int error = -1;
    const std::unique_ptr<XlsxWorkbook> book
        = XlsxWorkbook::open(dataFile(QStringLiteral("entrants.xlsx")), &error);
    QVERIFY(book);
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet2")), 0);
    const QList<std::tuple<int, int, QString>> expected = {
        { 1, 1, "奖品" }, { 1, 2, "TRUE" }, { 1, 3, "FALSE" }, // booleans as Excel shows them
        { 2, 1, "42" }, { 2, 2, "合计" }, { 2, 3, "#N/A" }, // formulas' cached values, an error cell
        { 3, 1, "甲乙" }, { 3, 2, "2" }, { 3, 3, "" }, // cells without references follow on
        { 3, 5, "5" }, { 3, 6, "6" }, // ... also after one with a reference
        { 4, 1, "第一行\r\n第二行" }, { 4, 2, "" }, // an escaped CR; an empty shared string
        { 5, 1, "5" }, // a row without a number
    };
    for (const auto &[row, col, text] : expected)
        QCOMPARE(book->cell(row, col), text);
    QCOMPARE(book->rowCount(), 5);
    QCOMPARE(book->columnCount(), 6);
}

void TestWorkbook::reportsOpenErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written to a temporary file unless null
    QTest::addColumn<int>("expected");

    QByteArray random(3000, '\0');
    QRandomGenerator generator(20240101);
    for (char &byte : random)
        byte = char(generator.bounded(256));
    const QByteArray roster = readFile(dataFile(QStringLiteral("entrants.xlsx")));
    const QByteArray ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

    QTest::newRow("missing file") << QStringLiteral("missing.xls") << QByteArray() << int(CannotOpen);
    QTest::newRow("folder") << QStringLiteral("folder.xlsx") << QByteArray() << int(CannotOpen);
    QTest::newRow("text named xlsx") << dataFile(QStringLiteral("not-a-workbook.xlsx")) << QByteArray()
                                     << int(NotAWorkbook);
    QTest::newRow("empty file") << QStringLiteral("empty.xlsx") << QByteArray("\0", 0) << int(NotAWorkbook);
    QTest::newRow("truncated zip") << QStringLiteral("cut.xlsx") << roster.left(roster.size() / 2)
                                   << int(NotAWorkbook);
    QTest::newRow("random bytes named xls") << QStringLiteral("noise.xls") << random << int(NotAWorkbook);
    QTest::newRow("OLE signature then noise")
        << QStringLiteral("noise2.xls") << ole + random << int(NotAWorkbook);
    QTest::newRow("zip signature then noise")
        << QStringLiteral("noise.xlsx") << QByteArray("PK\3\4") + random << int(NotAWorkbook);
    QTest::newRow("Word document named xlsx")
        << dataFile(QStringLiteral("word-document.xlsx")) << QByteArray() << int(NotAWorkbook);
    QTest::newRow("malformed workbook XML")
        << dataFile(QStringLiteral("broken-workbook.xlsx")) << QByteArray() << int(NotAWorkbook);
    // FreeXL 1.0.6 dies of this one (found by fuzz_xls); it must not take the program with it.
    QTest::newRow("xls that crashes FreeXL")
        << dataFile(QStringLiteral("freexl-segfault.xls")) << QByteArray() << int(NotAWorkbook);
    QTest::newRow("password protected xls")
        << dataFile(QStringLiteral("protected.xls")) << QByteArray() << int(NotAWorkbook);
    QTest::newRow("password protected xlsx")
        << dataFile(QStringLiteral("encrypted.xlsx")) << QByteArray() << int(NotAWorkbook);
    // The content decides, not the name.
    QTest::newRow("xls named xlsx") << QStringLiteral("roster.xlsx")
                                    << readFile(dataFile(QStringLiteral("entrants.xls"))) << 0;
    QTest::newRow("xlsx named xls") << QStringLiteral("roster.xls") << roster << 0;
    QTest::newRow("XML Spreadsheet named xlsx")
        << QStringLiteral("roster.xlsx") << readFile(dataFile(QStringLiteral("entrants-xmlss.xls"))) << 0;
    QTest::newRow("HTML table named xlsx")
        << QStringLiteral("roster.xlsx") << readFile(dataFile(QStringLiteral("entrants-html.xls"))) << 0;
    // Markup that is none of the workbook kinds, or holds nothing to read.
    QTest::newRow("plain XML named xls")
        << QStringLiteral("plain.xls") << QByteArray("<?xml version=\"1.0\"?><roster><row>1</row></roster>")
        << int(NotAWorkbook);
    QTest::newRow("Workbook element of another schema")
        << QStringLiteral("other.xls")
        << QByteArray("<Workbook xmlns=\"urn:example\"><Worksheet/></Workbook>") << int(NotAWorkbook);
    QTest::newRow("XML Spreadsheet cut short")
        << QStringLiteral("cut.xls") << readFile(dataFile(QStringLiteral("entrants-xmlss.xls"))).left(3000)
        << int(NotAWorkbook);
    QTest::newRow("web page without a table")
        << QStringLiteral("page.xls")
        << QByteArray("<!DOCTYPE html><html><body><p>导出失败</p></body></html>") << int(NotAWorkbook);
    QTest::newRow("web page with empty tables")
        << QStringLiteral("empty.xls")
        << QByteArray("<table><tr><td> </td><td>&nbsp;</td></tr></table><table></table>")
        << int(NotAWorkbook);
}

void TestWorkbook::reportsOpenErrors()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, expected);
    QTemporaryDir dir;
    QString path = QFileInfo(name).isAbsolute() ? name : dir.filePath(name);
    if (name == QLatin1String("folder.xlsx"))
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (!content.isNull())
        QVERIFY(writeFile(path, content));
    int error = -1;
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, &error);
    QCOMPARE(error, expected);
    QCOMPARE(bool(book), expected == 0);
    if (book) {
        QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
        QCOMPARE(book->cell(2, 4), QStringLiteral("13800138000"));
    }
}

void TestWorkbook::damagedSheetIsNoWorkbook()
{
    int error = -1;
    const std::unique_ptr<Workbook> book
        = OpenWorkbook(dataFile(QStringLiteral("broken-sheet.xlsx")), &error);
    QVERIFY(book);
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet1")), int(NotAWorkbook));
    QCOMPARE(book->cell(1, 1), QString());
    QCOMPARE(book->rowCount(), 0);
}

// FreeXL spends a minute on this file; the reader stops waiting in time and
// leaves no child behind to finish the job.
void TestWorkbook::givesUpOnSpinningXlsReader()
{
    XlsWorkbook::setReadTimeout(1000);
    QElapsedTimer clock;
    clock.start();
    int error = -1;
    const std::unique_ptr<Workbook> book = OpenWorkbook(dataFile(QStringLiteral("slow-dates.xls")), &error);
    const qint64 elapsed = clock.elapsed();
    XlsWorkbook::setReadTimeout(XlsWorkbook::DefaultReadTimeoutMs);
    QVERIFY(!book);
    QCOMPARE(error, int(NotAWorkbook));
    QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
#ifdef Q_OS_UNIX
    QVERIFY(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD); // no helper left behind
#endif
}

// The four known numbers are checked where the reader shows them.
void TestWorkbook::unknownErrorMessage()
{
    QCOMPARE(WorkbookErrorMessage(7), QStringLiteral("未知错误，错误号：7\u3000请检查输入值！"));
}

void TestWorkbook::hugeDeclaredDimensionStaysSparse()
{
    int error = -1;
    const std::unique_ptr<Workbook> book
        = OpenWorkbook(dataFile(QStringLiteral("huge-dimension.xlsx")), &error);
    QVERIFY(book);
    QCOMPARE(book->selectSheet(QStringLiteral("大表")), 0);
    QCOMPARE(book->rowCount(), 1048576);
    QCOMPARE(book->columnCount(), 16384);
    QCOMPARE(book->cell(1, 1), QStringLiteral("1"));
    QCOMPARE(book->cell(1048576, 16384), QStringLiteral("末"));
    QCOMPARE(book->cell(1048576, 16383), QString());
    QCOMPARE(book->cell(1048577, 1), QString());
}

// A zip bomb either owns up to its inflated size in its headers or lies
// about it. The same small sheet reads while its headers tell the truth, and
// is refused when they claim 300 MB or less than it really holds.
void TestWorkbook::refusesZipBombs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bomb.xlsx"));
    QByteArray sheet = "<worksheet><sheetData>";
    sheet += QByteArray("<row/>").repeated(5000);
    sheet += "<row><c><v>1</v></c></row></sheetData></worksheet>";
    QVERIFY(writePackage(path, sheet));
    const QByteArray bytes = readFile(path);

    auto withDeclaredSize = [&bytes](quint32 size) {
        QByteArray patched = bytes;
        const QByteArray name = "xl/worksheets/sheet1.xml";
        const quint32 stored = qToLittleEndian(size);
        const QByteArray field(reinterpret_cast<const char *>(&stored), 4);
        for (qsizetype at = patched.indexOf(name); at >= 0; at = patched.indexOf(name, at + 1)) {
            if (patched.mid(at - 30, 4) == "PK\3\4")
                patched.replace(at - 30 + 22, 4, field);
            else if (patched.mid(at - 46, 4) == "PK\1\2")
                patched.replace(at - 46 + 24, 4, field);
        }
        return patched;
    };
    const QList<std::pair<quint32, int>> cases
        = { { quint32(sheet.size()), 0 }, { 300u * 1024 * 1024, NotAWorkbook }, { 1000u, NotAWorkbook } };
    for (const auto &[declared, expected] : cases) {
        int error = -1;
        const std::unique_ptr<XlsxWorkbook> book = XlsxWorkbook::openData(withDeclaredSize(declared), &error);
        QVERIFY(book);
        QCOMPARE(book->selectSheet(QStringLiteral("Sheet1")), expected);
        QCOMPARE(book->cell(5001, 1), expected == 0 ? QStringLiteral("1") : QString());
    }
}

namespace {

// Worksheet XML as writers write it, and as they might: the scanner that
// reads plain sheets must agree with the XML reader it hands the rest to.
QByteArray sheetXml(const QByteArray &rows)
{
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<dimension ref=\"A1:Z20\"/><sheetData>"
        + rows + "</sheetData><pageMargins left=\"0.7\"/></worksheet>";
}

} // namespace

void TestWorkbook::scopedReadKeepsWhatAFullReadKeeps_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QByteArray>("strings");
    const QByteArray sharedRow
        = "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\" t=\"s\"><v>1</v></c>"
          "<c r=\"C2\" t=\"s\"><v>2</v></c><c r=\"D2\" t=\"s\"><v>3</v></c>"
          "<c r=\"E2\" t=\"s\"><v>4</v></c><c r=\"F2\" t=\"s\"><v>9</v></c></row>";
    QTest::newRow("shared strings")
        << sheetXml(sharedRow)
        << QByteArray(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sst xmlns=\"http://schemas.openxmlformats.org/"
               "spreadsheetml/2006/main\" count=\"5\"><si><t>张三</t></si><si><t xml:space=\"preserve\"> "
               "a&amp;b_x000D_</t></si><si><r><rPr><b/><sz val=\"11\"/></rPr><t>红</t></r><r><t>色</t></r>"
               "<rPh sb=\"0\" eb=\"1\"><t>hong</t></rPh><phoneticPr fontId=\"1\"/></si><si/>"
               "<si><t>&#20116;</t></si></sst>");
    QTest::newRow("shared strings left to the XML reader") << sheetXml(
        sharedRow) << QByteArray("<sst><si><t><![CDATA[甲]]></t></si><!-- --><si><t>乙</t></si></sst>");
    QTest::newRow("cut short after a bracket") << QByteArray("<") << QByteArray("<");
    QTest::newRow("broken shared strings")
        << sheetXml(sharedRow) << QByteArray("<sst><si><t>甲</t></si></ss>");
    QTest::newRow("plain") << sheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>甲&amp;乙</t></is></c>"
        "<c r=\"B1\"><v>1.5</v></c><c r=\"C1\" t=\"n\"><v>13800138000</v></c></row>"
        "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>x</t><t>y</t></is></c></row>")
                           << QByteArray();
    QTest::newRow("declaration and byte order mark")
        << "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
            + sheetXml("<row r=\"1\"><c r=\"B1\"><v>7</v></c></row>")
        << QByteArray();
    QTest::newRow("other encoding") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
            + sheetXml("<row r=\"2\"><c r=\"B2\" t=\"str\"><v>caf\xE9</v></c></row>")
                                    << QByteArray();
    QTest::newRow("prefixed") << QByteArray("<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/"
                                            "spreadsheetml/2006/main\"><x:sheetData><x:row r=\"2\"><x:c "
                                            "r=\"B2\"><x:v>7</x:v></x:c></x:row></x:sheetData></x:worksheet>")
                              << QByteArray();
    QTest::newRow("comment and CDATA") << sheetXml(
        "<row r=\"2\"><c r=\"B2\" t=\"str\"><v><![CDATA[a<b]]></v></c><!-- note --><c><v>2</v></c></row>")
                                       << QByteArray();
    QTest::newRow("rich and phonetic text") << sheetXml(
        "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><r><t>红</t></r><r><rPr><b/></rPr><t>色</t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>hong</t></rPh></is></c></row>")
                                            << QByteArray();
    QTest::newRow("references and escapes")
        << sheetXml("<row r=\"2\"><c r=\"A2\" t=\"str\"><v>&#x4E00;&#20108;&lt;&gt;&quot;&apos;</v></c>"
                    "<c r=\"B2\" t=\"str\"><v>line&#13;&#10;two_x0009_end</v></c>"
                    "<c r=\"C2\" t=\"str\"><v>raw\r\nbreak</v></c><c r=\"D2\" t=\"str\"><v> 2 </v></c></row>")
        << QByteArray();
    QTest::newRow("sparse rows and cells") << sheetXml(
        "<row><c><v>1</v></c><c r=\"D1\"><v>4</v></c><c><v>5</v></c></row><row/>"
        "<row r=\"7\"><c><v>9</v></c><c><v>10</v></c></row><row><c r=\"B8\" s=\"1\"><v>3</v></c></row>"
        "<row><c/><c t=\"inlineStr\"/><c t=\"b\"><v>0</v></c></row>")
                                           << QByteArray();
    QTest::newRow("cell kinds") << sheetXml(
        "<row r=\"2\" spans=\"1:6\" ht=\"15\"><c r=\"A2\" t=\"b\"><v>1</v></c>"
        "<c r=\"B2\" t=\"e\"><v>#DIV/0!</v></c><c r=\"C2\" t=\"d\"><v>2024-01-02T03:04:05</v></c>"
        "<c r=\"D2\"><f>1+1</f><v>2</v></c><c r=\"E2\" t=\"s\"><v>0</v></c>"
        "<c r=\"F2\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>共享</v></c></row>")
                                << QByteArray();
    QTest::newRow("unordered and repeated cells") << sheetXml(
        "<row r=\"3\"><c r=\"B3\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\"><v>2</v></c><c "
        "r=\"B2\"><v>3</v></c>"
        "</row>") << QByteArray();
    QTest::newRow("odd attributes") << sheetXml("<row r=\" 2\"><c r=\"B2 \" s=\" 0\"><v>5</v></c></row><row "
                                                "r='3' ><c r = 'B3' ><v >x</v ></c ></row>")
                                    << QByteArray();
    QTest::newRow("unknown element in a row") << sheetXml(
        "<row r=\"2\"><c r=\"B2\"><v>1</v><extLst><ext/></extLst></c><x14:y/><c><v>2</v></c></row>")
                                              << QByteArray();
    QTest::newRow("broken") << QByteArray("<worksheet><sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row>"
                                          "</sheetData></worksheet><extra/>")
                            << QByteArray();
    QTest::newRow("unclosed") << QByteArray(
        "<worksheet><sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row>"
        "</sheetData>") << QByteArray();
    QTest::newRow("mismatched") << QByteArray("<worksheet><sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c>"
                                              "</sheetData></row></worksheet>")
                                << QByteArray();
}

// Read with a scope, every cell the scope names reads as a full read reads
// it, and every other cell is left out; a sheet one reader refuses the other
// refuses too.
void TestWorkbook::scopedReadKeepsWhatAFullReadKeeps()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, strings);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scoped.xlsx"));
    QVERIFY(writePackage(path, sheet, strings));
    int error = -1;
    const std::unique_ptr<XlsxWorkbook> full = XlsxWorkbook::open(path, &error);
    const int fullResult = full ? full->selectSheet(QStringLiteral("Sheet1")) : error;

    CellScope everything { QStringLiteral("sheet1"), {}, 1, 100 };
    for (int c = 1; c <= 30; ++c)
        everything.columns.push_back(c);
    const CellScope middle { QStringLiteral("Sheet1"), { 2, 4 }, 2, 7 };
    for (const CellScope &scope : { everything, middle }) {
        const std::unique_ptr<XlsxWorkbook> scoped = XlsxWorkbook::open(path, &error, &scope);
        QCOMPARE(scoped ? scoped->selectSheet(QStringLiteral("Sheet1")) : error, fullResult);
        if (!full)
            continue;
        for (int r = 1; r <= 12; ++r) {
            for (int c = 1; c <= 8; ++c) {
                const QString expected = scope.wants(r, c) ? full->cell(r, c) : QString();
                QVERIFY2(scoped->cell(r, c) == expected,
                    qPrintable(QStringLiteral("%1,%2: %3").arg(r).arg(c).arg(scoped->cell(r, c))));
            }
        }
    }
}

// Rows after the last one asked for are not read, so a sheet damaged only
// there reads; read to its end it does not.
void TestWorkbook::scopedReadStopsAfterItsLastRow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tail.xlsx"));
    QVERIFY(writePackage(path,
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\" "
        "t=\"inlineStr\">"
        "<is><t>二</t></is></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c><broken"));
    int error = -1;
    const CellScope twoRows { QStringLiteral("Sheet1"), { 1 }, 1, 2 };
    const std::unique_ptr<XlsxWorkbook> scoped = XlsxWorkbook::open(path, &error, &twoRows);
    QVERIFY(scoped);
    QCOMPARE(scoped->selectSheet(QStringLiteral("Sheet1")), 0);
    QCOMPARE(scoped->cell(2, 1), QStringLiteral("二"));
    QCOMPARE(scoped->rowCount(), 2);
    const CellScope allRows { QStringLiteral("Sheet1"), { 1 }, 1, 10 };
    const std::unique_ptr<XlsxWorkbook> whole = XlsxWorkbook::open(path, &error, &allRows);
    QVERIFY(whole);
    QCOMPARE(whole->selectSheet(QStringLiteral("Sheet1")), int(NotAWorkbook));
}

// The .xls child sends every sheet's name but only the scope's cells, from
// the sheet named without regard to case; a names-only listing of a file
// that crashes the child is still no workbook.
void TestWorkbook::scopedXlsReadHoldsOnlyItsSheetsCells()
{
    int error = -1;
    const CellScope scope { QStringLiteral("名单"), { 2, 4 }, 3, 4 };
    const std::unique_ptr<XlsWorkbook> book
        = XlsWorkbook::open(dataFile(QStringLiteral("entrants.xls")), &error, &scope);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
    for (int r = 1; r <= Roster.size(); ++r) {
        for (int col = 1; col <= 5; ++col)
            QCOMPARE(book->cell(r, col), scope.wants(r, col) ? Roster.at(r - 1).at(col - 1) : QString());
    }
    QCOMPARE(book->cell(3, 4), QStringLiteral("0.1"));
    QCOMPARE(book->rowCount(), 4);
    QCOMPARE(book->selectSheet(QStringLiteral("sheet2")), 0);
    QCOMPARE(book->cell(1, 1), QString());

    ScopedScriptedPrompts prompts;
    QCOMPARE(
        ListWorksheets(dataFile(QStringLiteral("entrants.xls")), &error), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(error, 0);
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("freexl-segfault.xls")), &error), QStringList());
    QCOMPARE(error, int(NotAWorkbook));
}

void TestWorkbook::readRowsOfTheRange_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << QStringLiteral("entrants.xlsx");
    QTest::newRow("xls") << QStringLiteral("entrants.xls");
    QTest::newRow("XML Spreadsheet 2003") << QStringLiteral("entrants-xmlss.xls");
    QTest::newRow("HTML table") << QStringLiteral("entrants-html.xls");
}

// Rows 2 to 6 become five new rows, the empty row 5 included; the progress
// counts the one row a list already shows above them.
void TestWorkbook::readRowsOfTheRange()
{
    QFETCH(QString, file);
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> rows;
    const int result = ReadWorkbookRows(
        dataFile(file), QStringLiteral("名单"), 2, 6, { QStringLiteral("A"), QStringLiteral("B") }, rows, 1);
    QCOMPARE(result, 0);
    QCOMPARE(prompts.messages(), QStringList());
    QCOMPARE(entrantRows(rows),
        QList<QStringList>({ { "0012", "张三" }, { "12", "李四" }, { "1003", "王五" }, { "", "" },
            { "1005", "欧阳娜娜" } }));
    for (const data::EntrantRow &row : rows)
        QCOMPARE(row.state, data::EntrantRow::State::New);
    QCOMPARE(m_progress.events.first(), QStringLiteral("open %1 100").arg(ReadingText));
    QVERIFY(m_progress.events.contains(QStringLiteral("open %1 6").arg(ReadingText)));
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
    QCOMPARE(m_progress.steps, 5);
}

void TestWorkbook::readRowsComposesSpecs()
{
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> rows;
    // Literals, concatenation, spaces and line breaks around pieces, a piece
    // naming column 0, full-width quotes and commas in the name's spec, and a
    // column far right of the data (fine in an .xlsx).
    const QStringList specs = { "\"NO.\", A ,\r\n\"-\",ABC", " “【”，B，“】”,IV,XF " };
    QCOMPARE(ReadWorkbookRows(
                 dataFile(QStringLiteral("entrants.xlsx")), QStringLiteral("名单"), 1, 3, specs, rows),
        0);
    QCOMPARE(entrantRows(rows),
        QList<QStringList>(
            { { "NO.工号-", "【姓名】" }, { "NO.0012-", "【张三】" }, { "NO.12-", "【李四】" } }));
}

void TestWorkbook::readRowsOfFewColumnsInTheMiddle_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << QStringLiteral("entrants.xlsx");
    QTest::newRow("xls") << QStringLiteral("entrants.xls");
}

// Two rows from the middle, one spec naming the last column and one
// combining two others; the empty column C on its own gives empty names.
void TestWorkbook::readRowsOfFewColumnsInTheMiddle()
{
    QFETCH(QString, file);
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> rows;
    QCOMPARE(ReadWorkbookRows(dataFile(file), QStringLiteral("名单"), 3, 4, { "E", "B,\"/\",D" }, rows), 0);
    QCOMPARE(entrantRows(rows),
        QList<QStringList>({ { "2023-03-15 08:30:00", "李四/0.1" }, { "08:30:00", "王五/13912345678" } }));
    QCOMPARE(ReadWorkbookRows(dataFile(file), QStringLiteral("名单"), 6, 8, { "C", "C" }, rows), 0);
    QCOMPARE(entrantRows(rows), QList<QStringList>({ { "", "" }, { "", "" }, { "", "" } }));
    QCOMPARE(prompts.messages(), QStringList());
}

// A sheet of 26 columns whose rows and cells mostly go without references:
// the columns kept are the ones the specs name, wherever they lie.
void TestWorkbook::readRowsOfAWideSparseSheet()
{
    QByteArray rows;
    for (int r = 1; r <= 20; ++r) {
        rows += r % 3 == 0 ? QByteArray("<row>") : "<row r=\"" + QByteArray::number(r) + "\">";
        for (int c = 1; c <= 26; ++c) {
            if (c == 3 && r % 2 == 0)
                continue; // a gap the next referenced cell closes
            const QByteArray text
                = "<is><t>" + QByteArray(1, char('A' + c - 1)) + QByteArray::number(r) + "</t></is>";
            if (c % 4 == 0 || c == 26 || c == 1 || c == 4 || (c == 3 && r % 2 == 1))
                rows += "<c r=\"" + QByteArray(1, char('A' + c - 1)) + QByteArray::number(r)
                    + "\" t=\"inlineStr\">" + text + "</c>";
            else if (c == 2 || c > 4)
                rows += "<c t=\"inlineStr\">" + text + "</c>";
        }
        rows += "</row>";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.xlsx"));
    QVERIFY(writePackage(path, sheetXml(rows)));
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> read;
    QCOMPARE(ReadWorkbookRows(path, QStringLiteral("Sheet1"), 8, 10, { "Z", "A,\"-\",C,Y" }, read), 0);
    QCOMPARE(entrantRows(read),
        QList<QStringList>({ { "Z8", "A8-Y8" }, { "Z9", "A9-C9Y9" }, { "Z10", "A10-Y10" } }));
    QCOMPARE(ReadWorkbookRows(path, QStringLiteral("Sheet1"), 19, 22, { "AA", "B" }, read), 0);
    QCOMPARE(entrantRows(read), QList<QStringList>({ { "", "B19" }, { "", "B20" }, { "", "" }, { "", "" } }));
    QCOMPARE(prompts.messages(), QStringList());
}

void TestWorkbook::readRowsReportsErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("nameSpec");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("message");

    const QString roster = QStringLiteral("名单");
    QTest::newRow("missing file") << "missing.xlsx" << roster << "B" << 5
                                  << "无法打开Excel文件，请检查后重新输入文件名及路径！";
    QTest::newRow("no such sheet") << "entrants.xls"
                                   << "Sheet9"
                                   << "B" << 9 << "输入表格名称有误，无法打开表格，请重新输入！";
    QTest::newRow("text named xlsx") << "not-a-workbook.xlsx" << roster << "B" << 438
                                     << "文件类型不对，请选择Excel文档！";
    QTest::newRow("Word document named xlsx")
        << "word-document.xlsx" << roster << "B" << 438 << "文件类型不对，请选择Excel文档！";
    QTest::newRow("damaged sheet") << "broken-sheet.xlsx"
                                   << "Sheet1"
                                   << "B" << 438 << "文件类型不对，请选择Excel文档！";
    QTest::newRow("no such table in a web page")
        << "entrants-html.xls"
        << "Sheet3"
        << "B" << 9 << "输入表格名称有误，无法打开表格，请重新输入！";
    // IW is column 257, one past the last column of an .xls sheet.
    QTest::newRow("column beyond xls")
        << "entrants.xls" << roster << "\"x\",IW" << 1004 << "输入表格列号超界，请重新输入！";
}

void TestWorkbook::readRowsReportsErrors()
{
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    QFETCH(QString, nameSpec);
    QFETCH(int, expected);
    QFETCH(QString, message);
    ScopedScriptedPrompts prompts;
    std::vector<data::EntrantRow> rows(2);
    QCOMPARE(
        ReadWorkbookRows(dataFile(file), sheet, 2, 100, { QStringLiteral("A"), nameSpec }, rows), expected);
    QCOMPARE(WorkbookErrorMessage(expected), message);
    QVERIFY(prompts.messages().isEmpty());
    QVERIFY(rows.empty());
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
}

void TestWorkbook::previewFillsFirstRowsAndColumns()
{
    ScopedScriptedPrompts prompts;
    QList<QStringList> cells;
    QCOMPARE(PreviewWorkbookRows(dataFile(QStringLiteral("entrants.xls")), QStringLiteral("名单"), cells), 0);
    QCOMPARE(cells.size(), 19);
    for (const QStringList &row : std::as_const(cells))
        QCOMPARE(row.size(), 59);
    for (int r = 0; r < Roster.size(); ++r) {
        for (int c = 0; c < 5; ++c)
            QCOMPARE(cells.at(r).at(c), Roster.at(r).at(c));
    }
    QCOMPARE(cells.at(Roster.size()).at(0), QString());
    QCOMPARE(m_progress.events.first(), QStringLiteral("open %1 20").arg(ReadingText));
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
    QCOMPARE(prompts.messages(), QStringList());

    QCOMPARE(
        PreviewWorkbookRows(dataFile(QStringLiteral("entrants.xlsx")), QStringLiteral("Sheet3"), cells), 9);
    QVERIFY(prompts.messages().isEmpty()); // the mapping window says it
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
    QVERIFY(cells.isEmpty());

    QCOMPARE(
        PreviewWorkbookRows(dataFile(QStringLiteral("word-document.xlsx")), QStringLiteral("名单"), cells),
        438);
    QVERIFY(prompts.messages().isEmpty());
    QVERIFY(cells.isEmpty());
}

void TestWorkbook::listWorksheetsReportsErrors()
{
    ScopedScriptedPrompts prompts;
    int error = -1;
    QCOMPARE(
        ListWorksheets(dataFile(QStringLiteral("entrants.xlsx")), &error), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(error, 0);
    const QString text = QStringLiteral("正在读取EXCEL文件数据……");
    QCOMPARE(m_progress.events,
        QStringList(
            { QStringLiteral("open %1 100").arg(text), QStringLiteral("open %1 2").arg(text), "close" }));
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("entrants-html.xls")), &error),
        QStringList({ "名单", "Sheet2" }));
    QCOMPARE(error, 0);
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("missing.xls")), &error), QStringList());
    QCOMPARE(error, 5);
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("not-a-workbook.xlsx")), &error), QStringList());
    QCOMPARE(error, 438);
    error = -1;
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("word-document.xlsx")), &error), QStringList());
    QCOMPARE(error, 438);
    QCOMPARE(prompts.messages(), QStringList());
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
}

namespace {

// A results grid as the console shows it: a hidden field row, the caption
// row, hidden key columns, and one hidden data row.
void setupExportGrid(GridModel &grid)
{
    grid::SetupGridHeader(grid, { "ID", "CID", "", "号码", "姓名", "备注" },
        { "ID", "CID", "序号", "抽奖号码", "姓名", "备注" });
    const QList<QStringList> rows = {
        { "11", "1", "1", "0012", "张三", "A,B" },
        { "12", "1", "2", "13800138000", "李 四", "" },
        { "13", "1", "3", "hidden", "隐藏行", "x" },
        { "14", "1", "4", "440101199001011234", "王五", "甲\r\n乙\x01" },
        { "15", "1", "5", "", "", "_x0041_x0042_ stays" },
    };
    for (const QStringList &values : rows) {
        const int row = grid.addRow();
        for (int c = 0; c < values.size(); ++c)
            grid.setTextMatrix(row, c, values.at(c));
    }
    grid.setRowHeight(4, 0);
    grid.setColWidth(0, 0);
    grid.setColWidth(1, 0);
    grid.setColWidth(2, 600);
    grid.setColWidth(3, 1500);
    grid.setColWidth(4, 1000);
    grid.setColWidth(5, 2460);
}

} // namespace

void TestWorkbook::exportReadsBackCellByCell()
{
    ScopedScriptedPrompts prompts;
    GridModel grid;
    setupExportGrid(grid);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("结果")); // no extension, kept as given
    QVERIFY(writeFile(path, "an older export, replaced"));
    QVERIFY(ExportGridToWorkbook(grid::ExportTableOf(grid), path, QStringLiteral("澄曜抽奖")));
    QCOMPARE(prompts.messages(), QStringList());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "结果" });
    QCOMPARE(m_progress.events,
        QStringList({ QStringLiteral("open 正在将数据导出到EXCEL文件 … %1").arg(grid.Rows() - 1), "close" }));
    QCOMPARE(m_progress.steps, grid.Rows() + 2);

    int error = -1;
    const std::unique_ptr<XlsxWorkbook> book = XlsxWorkbook::open(path, &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList { "澄曜抽奖" });
    QCOMPARE(book->selectSheet(QStringLiteral("澄曜抽奖")), 0);
    const QList<QStringList> expected = {
        { "序号", "抽奖号码", "姓名", "备注" },
        { "1", "0012", "张三", "A,B" },
        { "2", "13800138000", "李 四", "" },
        { "4", "440101199001011234", "王五", "甲\r\n乙\x01" },
        { "5", "", "", "_x0041_x0042_ stays" },
    };
    for (int r = 0; r < expected.size(); ++r) {
        for (int c = 0; c < expected.at(r).size(); ++c)
            QCOMPARE(book->cell(r + 1, c + 1), expected.at(r).at(c));
    }
    QCOMPARE(book->rowCount(), 5);
    QCOMPARE(book->columnCount(), 4);
}

void TestWorkbook::exportFormatsHeaderWidthsAndBorders()
{
    ScopedScriptedPrompts prompts;
    GridModel grid;
    setupExportGrid(grid);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("结果.xlsx"));
    QVERIFY(ExportGridToWorkbook(grid::ExportTableOf(grid), path, QStringLiteral("澄曜抽奖")));

    const QString styles = zipPart(path, "xl/styles.xml");
    QVERIFY2(styles.contains(QLatin1String("<b/>")), qPrintable(styles));
    QVERIFY2(styles.contains(QLatin1String("rgb=\"FFFFC080\"")), qPrintable(styles));
    QVERIFY2(styles.contains(QLatin1String("<left style=\"thin\">")), qPrintable(styles));

    // 600, 1500, 1000 and 2460 twips are 4, 12, 8 and 20 characters wide.
    const QString sheet = zipPart(path, "xl/worksheets/sheet1.xml");
    QStringList widths;
    const QRegularExpression column(
        QStringLiteral("<col min=\"(\\d+)\" max=\"\\1\" width=\"(\\d+)\\.7109375\""));
    for (auto match = column.globalMatch(sheet); match.hasNext();)
        widths << match.next().captured(2);
    QCOMPARE(widths, QStringList({ "4", "12", "8", "20" }));

    // Every cell of the 5 x 4 block carries a style, empty ones too; the
    // header row's differs from the body's.
    const QRegularExpression cell(QStringLiteral("<c r=\"([A-Z]+\\d+)\" s=\"(\\d+)\""));
    QMap<QString, QString> styleOf;
    for (auto match = cell.globalMatch(sheet); match.hasNext();) {
        const auto found = match.next();
        styleOf.insert(found.captured(1), found.captured(2));
    }
    QCOMPARE(styleOf.size(), 20);
    QCOMPARE(styleOf.value("A1"), styleOf.value("D1"));
    QCOMPARE(styleOf.value("B5"), styleOf.value("B2"));
    QVERIFY(styleOf.value("A1") != styleOf.value("B2"));
    QVERIFY(styleOf.value("A1") != styleOf.value("A2"));
}

// Cells of numeric columns (and the serial column) that hold a plain number
// are numbers in Excel; anything else, and every cell of a text column,
// stays text exactly as the grid shows it.
void TestWorkbook::exportWritesNumbersInNumericColumns()
{
    ScopedScriptedPrompts prompts;
    GridModel grid;
    grid::SetupGridHeader(
        grid, { "ID", "", "号码", "数量", "金额" }, { "ID", "序号", "抽奖号码", "数量", "金额" });
    grid.setColWidth(0, 0);
    for (int c = 1; c < 5; ++c)
        grid.setColWidth(c, 1200);
    grid.setColAlignment(3, grid::Align::RightBottom);
    grid.setColAlignment(4, grid::Align::CenterCenter);
    // Quantity column: the text, and whether it goes out as a number.
    const QList<std::pair<QString, bool>> quantities = { { "12", true }, { "0", true }, { "-3", true },
        { "0.5", true }, { "1.50", true }, { "-0.25", true }, { "123456789012345", true },
        { "0.000000000000001", true }, { "0012", false }, { "1234567890123456", false }, { "1e5", false },
        { " 12", false }, { "12 ", false }, { "+5", false }, { ".5", false }, { "5.", false },
        { "-0", false }, { "1,000", false }, { "abc", false }, { "", false } };
    for (int i = 0; i < quantities.size(); ++i) {
        const int r = grid.addRow();
        grid.setTextMatrix(r, 1, QString::number(i + 1));
        grid.setTextMatrix(r, 2, i % 2 ? QStringLiteral("13800138000") : QStringLiteral("12"));
        grid.setTextMatrix(r, 3, quantities.at(i).first);
        grid.setTextMatrix(r, 4, QStringLiteral("7"));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("数量.xlsx"));
    QVERIFY(ExportGridToWorkbook(grid::ExportTableOf(grid), path, QStringLiteral("澄曜抽奖")));

    // Numeric cells carry no type; text cells are shared strings.
    const QString sheet = zipPart(path, "xl/worksheets/sheet1.xml");
    QMap<QString, bool> isNumber;
    const QRegularExpression cell(QStringLiteral("<c r=\"([A-Z]+\\d+)\"([^>]*?)(/?)>"));
    for (auto match = cell.globalMatch(sheet); match.hasNext();) {
        const auto found = match.next();
        if (found.captured(3).isEmpty()) // a blank cell has no value at all
            isNumber.insert(found.captured(1), !found.captured(2).contains(QLatin1String(" t=\"")));
    }
    for (const char *header : { "A1", "B1", "C1", "D1" })
        QVERIFY2(!isNumber.value(QLatin1String(header), true), header);
    for (int i = 0; i < quantities.size(); ++i) {
        const QString row = QString::number(i + 2);
        const auto &[text, number] = quantities.at(i);
        QVERIFY2(isNumber.value(QStringLiteral("A") + row), qPrintable(row)); // 序号
        QVERIFY2(!isNumber.value(QStringLiteral("B") + row, true), qPrintable(row)); // a text column
        if (!text.isEmpty())
            QVERIFY2(isNumber.value(QStringLiteral("C") + row, !number) == number, qPrintable(text));
        QVERIFY2(isNumber.value(QStringLiteral("D") + row), qPrintable(row));
    }

    // The numbers are the grid's; decimals keep the grid's places through
    // the cell's format.
    int error = -1;
    const std::unique_ptr<XlsxWorkbook> book = XlsxWorkbook::open(path, &error);
    QVERIFY(book && book->selectSheet(QStringLiteral("澄曜抽奖")) == 0);
    for (int i = 0; i < quantities.size(); ++i) {
        const auto &[text, number] = quantities.at(i);
        if (number && text.contains(QLatin1Char('.')))
            QCOMPARE(book->cell(i + 2, 3).toDouble(), text.toDouble());
        else
            QCOMPARE(book->cell(i + 2, 3), text);
    }
    const QString styles = zipPart(path, "xl/styles.xml");
    for (const char *code : { "formatCode=\"0\"", "formatCode=\"0.00\"", "formatCode=\"0.000000000000000\"" })
        QVERIFY2(styles.contains(QLatin1String(code)), code);
}

// A table without header rows or widths: every row is a body row, so its
// numbers in a numeric column go out as numbers, and no column is sized.
void TestWorkbook::exportOfATableWithoutHeader()
{
    ScopedScriptedPrompts prompts;
    ExportTable table;
    table.rowCount = 2;
    table.columnCount = 2;
    table.cells = { "12", "12", "0.5", "x" };
    table.numeric = { true, false };
    table.hiddenRows = 1;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("表.xlsx"));
    QVERIFY(ExportGridToWorkbook(table, path, QStringLiteral("澄曜抽奖")));
    QCOMPARE(
        m_progress.events, QStringList({ QStringLiteral("open 正在将数据导出到EXCEL文件 … 2"), "close" }));
    QCOMPARE(m_progress.steps, 5);

    const QString sheet = zipPart(path, "xl/worksheets/sheet1.xml");
    QVERIFY2(!sheet.contains(QLatin1String("<col ")), qPrintable(sheet));
    QMap<QString, bool> isNumber;
    const QRegularExpression cell(QStringLiteral("<c r=\"([A-Z]+\\d+)\"([^>]*?)>"));
    for (auto match = cell.globalMatch(sheet); match.hasNext();) {
        const auto found = match.next();
        isNumber.insert(found.captured(1), !found.captured(2).contains(QLatin1String(" t=\"")));
    }
    QCOMPARE(isNumber.value("A1"), true);
    QCOMPARE(isNumber.value("A2"), true);
    QCOMPARE(isNumber.value("B1", true), false);
    int error = -1;
    const std::unique_ptr<XlsxWorkbook> book = XlsxWorkbook::open(path, &error);
    QVERIFY(book && book->selectSheet(QStringLiteral("澄曜抽奖")) == 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("12"));
    QCOMPARE(book->cell(2, 1).toDouble(), 0.5);
    QCOMPARE(book->cell(2, 2), QStringLiteral("x"));
    QCOMPARE(prompts.messages(), QStringList());
}

void TestWorkbook::exportFailsWithoutLeavingFiles_data()
{
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<QString>("sheetName");
    QTest::newRow("folder missing") << "no/such/folder"
                                    << "澄曜抽奖";
    QTest::newRow("sheet name refused") << ""
                                        << "a/b";
    QTest::newRow("sheet name too long") << "" << QString(32, QLatin1Char('x'));
    QTest::newRow("no sheet name") << ""
                                   << "";
}

void TestWorkbook::exportFailsWithoutLeavingFiles()
{
    QFETCH(QString, subfolder);
    QFETCH(QString, sheetName);
    ScopedScriptedPrompts prompts;
    GridModel grid;
    setupExportGrid(grid);
    QTemporaryDir dir;
    const QString path = QDir(dir.filePath(subfolder)).filePath(QStringLiteral("out.xlsx"));
    QVERIFY(!ExportGridToWorkbook(grid::ExportTableOf(grid), path, sheetName));
    QVERIFY(prompts.messages().isEmpty()); // the export window says it
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(m_progress.events.last(), QStringLiteral("close"));
}

QTEST_MAIN(TestWorkbook)
#include "tst_workbook.moc"
