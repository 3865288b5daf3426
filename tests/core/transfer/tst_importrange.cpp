#include "common/prompts.h"
#include "support/testsupport.h"
#include "transfer/csvparse.h"
#include "transfer/gb18030.h"
#include "transfer/importrange.h"
#include "transfer/textcodec.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"

#include <QBuffer>
#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using namespace tombolix::transfer;

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(TOMBOLIX_TEST_DATA "/") + name;
}

// A device that hands out a few bytes per read, so that line ends, marks and
// two-byte units fall across the counter's reads.
class TricklingDevice : public QIODevice
{
public:
    explicit TricklingDevice(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>({ maxSize, 3, m_bytes.size() - m_position });
        memcpy(data, m_bytes.constData() + m_position, size_t(n));
        m_position += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

// The rows as the import's reader sees them: its records up to the last one
// that is not an empty line.
qint64 rowsTheReaderReads(const QByteArray &bytes)
{
    CsvLines lines(DecodeText(bytes));
    qint64 records = 0;
    qint64 lastFilled = 0;
    bool emptyLine = false;
    while (NextCsvRecord(lines, &emptyLine)) {
        ++records;
        if (!emptyLine)
            lastFilled = records;
    }
    return lastFilled;
}

QByteArray utf16(const QString &text, QStringEncoder::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return QByteArray(encoder.encode(text));
}

} // namespace

class TestImportRange : public QObject
{
    Q_OBJECT

private slots:
    void countsCsvRowsAsTheReaderReadsThem_data();
    void countsCsvRowsAsTheReaderReadsThem();
    void linesLongerThanAReadAreCountedOnce();
    void countsRowsOfFilesAndSheets();
    void asksOnlyWhenTheRangeStopsShort();
    void tellsWhatWasImportedAndSkipped();
    void marksHiddenSheets();
};

void TestImportRange::countsCsvRowsAsTheReaderReadsThem_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("rows");
    QTest::newRow("empty file") << QByteArray() << qint64(0);
    QTest::newRow("one line") << QByteArray("a,b\r\n") << qint64(1);
    QTest::newRow("no final line end") << QByteArray("工号,姓名\r\n1,a\r\n2,b") << qint64(3);
    QTest::newRow("LF only") << QByteArray("h\n1\n2\n") << qint64(3);
    QTest::newRow("CR only") << QByteArray("h\r1\r2\r") << qint64(3);
    QTest::newRow("mixed line ends") << QByteArray("h\r\n1\n2\r3") << qint64(4);
    QTest::newRow("quoted line break") << QByteArray("h\r\n1,\"张\r\n三\"\r\n2,b\r\n") << qint64(3);
    QTest::newRow("quoted empty line") << QByteArray("1,\"a\r\n\r\nb\"\r\n2\r\n") << qint64(2);
    QTest::newRow("escaped quotes") << QByteArray("1,\"a\"\"b\",\"\"\r\n2,\"\"\"\"\r\n") << qint64(2);
    QTest::newRow("quote inside an unquoted field") << QByteArray("1,a\"b\r\nc\"\r\n3\r\n") << qint64(2);
    QTest::newRow("quote open at the end") << QByteArray("h\r\n1,\"x\r\n2\r\n") << qint64(2);
    QTest::newRow("empty line between") << QByteArray("h\r\n\r\n2\r\n") << qint64(3);
    QTest::newRow("empty lines after the last row") << QByteArray("h\r\n1\r\n\r\n\n\r") << qint64(2);
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n") << qint64(0);
    QTest::newRow("spaces make a row") << QByteArray("1\r\n \r\n") << qint64(2);
    QTest::newRow("UTF-8 mark alone") << QByteArray("\xEF\xBB\xBF") << qint64(0);
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF"
                                              "a\r\nb")
                                << qint64(2);
    QTest::newRow("GB18030") << transfer::EncodeGb18030(QStringLiteral("工号,姓名\r\n张三,\"1\r\n2\"\r\n"))
                             << qint64(2);
    const QString text = QStringLiteral("h\r\n1,\"甲\r\n乙\"\r\n\r\n3\r\n\r\n");
    QTest::newRow("UTF-16 LE") << utf16(text, QStringEncoder::Utf16LE) << qint64(4);
    QTest::newRow("UTF-16 BE") << utf16(text, QStringEncoder::Utf16BE) << qint64(4);
}

void TestImportRange::countsCsvRowsAsTheReaderReadsThem()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, rows);
    QCOMPARE(rowsTheReaderReads(bytes), rows);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(CountCsvRows(buffer), rows);
    TricklingDevice trickling(bytes);
    QCOMPARE(CountCsvRows(trickling), rows);
}

// The counter reads a megabyte at a time; a CR LF split by a read ends one
// line, not two.
void TestImportRange::linesLongerThanAReadAreCountedOnce()
{
    QTemporaryDir folder;
    QByteArray bytes(1 << 20, 'x');
    bytes[(1 << 20) - 1] = '\r';
    bytes += "\n2,b\r\n\"3\r\n" + QByteArray(1 << 20, 'y') + "\"\r\n";
    const QString path = QDir(folder.path()).filePath(QStringLiteral("long.csv"));
    QVERIFY(test::writeFile(path, bytes));
    QCOMPARE(CountCsvRows(path), 3);
    QCOMPARE(rowsTheReaderReads(bytes), 3);
}

void TestImportRange::countsRowsOfFilesAndSheets()
{
    QTemporaryDir folder;
    const QString csv = QDir(folder.path()).filePath(QStringLiteral("list.CSV"));
    QVERIFY(test::writeFile(csv, "工号,姓名\r\n1,a\r\n\r\n3,c\r\n\r\n"));
    QCOMPARE(CountRows(csv, QString()), 4);
    QCOMPARE(CountRows(QDir(folder.path()).filePath(QStringLiteral("none.csv")), QString()), -1);
    QCOMPARE(CountCsvRows(folder.path()), -1); // a folder is no file

    // The roster's header and ten rows, one of them empty.
    QCOMPARE(CountRows(dataFile(QStringLiteral("entrants.xlsx")), QStringLiteral("名单")), 11);
    QCOMPARE(CountRows(dataFile(QStringLiteral("entrants.xls")), QStringLiteral("名单")), 11);
    QCOMPARE(CountRows(dataFile(QStringLiteral("hidden-sheets.xlsx")), QStringLiteral("名单")), 6);
    QCOMPARE(CountRows(dataFile(QStringLiteral("hidden-sheets.xlsx")), QStringLiteral("Sheet4")), 0);
    QCOMPARE(CountRows(dataFile(QStringLiteral("hidden-sheets.xlsx")), QStringLiteral("无此表")), -1);
    QCOMPARE(CountRows(dataFile(QStringLiteral("not-a-workbook.xlsx")), QStringLiteral("名单")), -1);

    // The mapping dialog takes the count from the preview, which has read the sheet.
    ScopedScriptedPrompts prompts;
    QList<QStringList> cells;
    int rows = -1;
    QCOMPARE(
        PreviewWorkbookRows(dataFile(QStringLiteral("entrants.xls")), QStringLiteral("名单"), cells, &rows),
        0);
    QCOMPARE(rows, 11);
    QCOMPARE(
        PreviewWorkbookRows(dataFile(QStringLiteral("entrants.xls")), QStringLiteral("无此表"), cells, &rows),
        int(NoSuchSheet));
    QCOMPARE(rows, 0);
}

void TestImportRange::asksOnlyWhenTheRangeStopsShort()
{
    QCOMPARE(FileRowsText(301), QStringLiteral("文件共有301行"));
    QCOMPARE(FileRowsText(0), QStringLiteral("文件共有0行"));
    QCOMPARE(FileRowsText(-1), QString());
    QCOMPARE(ShortRangeQuestion(301, 2, 100),
        QStringLiteral("文件共有301行，当前只导入第2行至第100行，是否继续？"));
    QCOMPARE(ShortRangeQuestion(301, 2, 300),
        QStringLiteral("文件共有301行，当前只导入第2行至第300行，是否继续？"));
    QCOMPARE(ShortRangeQuestion(301, 2, 301), QString());
    QCOMPARE(ShortRangeQuestion(301, 5, 400), QString()); // a later start leaves out header rows
    QCOMPARE(ShortRangeQuestion(0, 2, 100), QString());
    QCOMPARE(ShortRangeQuestion(-1, 2, 100), QString()); // not known: nothing to say
}

void TestImportRange::tellsWhatWasImportedAndSkipped()
{
    QCOMPARE(SkippedEmptyRows(301, 2, 301, 300), 0);
    QCOMPARE(SkippedEmptyRows(301, 2, 1000, 298), 2); // rows past the file are not empty rows
    QCOMPARE(SkippedEmptyRows(301, 2, 100, 97), 2);
    QCOMPARE(SkippedEmptyRows(10, 20, 30, 0), 0); // a range past the file
    QCOMPARE(SkippedEmptyRows(-1, 2, 100, 5), 0);
    QCOMPARE(ImportedMessage(300, 0), QStringLiteral("已导入300条记录。"));
    QCOMPARE(ImportedMessage(0, 0), QStringLiteral("已导入0条记录。"));
    QCOMPARE(ImportedMessage(298, 2), QStringLiteral("已导入298条记录，跳过2个空行。"));
}

void TestImportRange::marksHiddenSheets()
{
    int error = -1;
    const QList<SheetInfo> sheets = ListWorksheetInfo(dataFile(QStringLiteral("hidden-sheets.xlsx")), &error);
    QCOMPARE(error, 0);
    QStringList listed;
    for (const SheetInfo &sheet : sheets)
        listed << sheet.name + (sheet.hidden ? QStringLiteral(" hidden") : QString());
    QCOMPARE(listed, QStringList({ "封面 hidden", "名单", "备用 hidden", "Sheet4" }));
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("hidden-sheets.xlsx")), &error),
        QStringList({ "封面", "名单", "备用", "Sheet4" }));

    // FreeXL does not tell a hidden .xls sheet from a shown one.
    for (const char *file : { "entrants.xlsx", "entrants.xls" }) {
        const QList<SheetInfo> shown = ListWorksheetInfo(dataFile(QString::fromLatin1(file)), &error);
        QCOMPARE(shown.size(), 2);
        QVERIFY(!shown.at(0).hidden && !shown.at(1).hidden);
    }
    QVERIFY(ListWorksheetInfo(dataFile(QStringLiteral("missing.xls")), &error).isEmpty());
    QCOMPARE(error, int(CannotOpen));
}

QTEST_MAIN(TestImportRange)
#include "tst_importrange.moc"
