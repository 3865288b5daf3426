#include "common/progress.h"
#include "common/prompts.h"
#include "data/entrantrow.h"
#include "grid/gridexport.h"
#include "grid/gridops.h"
#include "support/testsupport.h"
#include "transfer/columnspec.h"
#include "transfer/csv.h"
#include "transfer/csvparse.h"
#include "transfer/gb18030.h"
#include "transfer/textcodec.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;
using namespace tombolix::transfer;
using tombolix::grid::GridModel;
using Records = QList<QStringList>;

namespace {

using test::readFile;
using test::RecordingProgress;
using test::writeFile;

const QByteArray Bom("\xEF\xBB\xBF");

// Laid out like the console's entrant grid.
void setupEntrantGrid(GridModel &grid)
{
    grid::SetupGridHeader(
        grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    grid.setFixedCols(3);
}

// Number and name of each row read.
Records entrantRows(const std::vector<data::EntrantRow> &rows)
{
    Records records;
    for (const data::EntrantRow &row : rows)
        records << QStringList { row.number, row.name };
    return records;
}

// The marker algorithm that ParseCsvLine stands for, transcribed step by step:
// odd quote runs marked with ζ, even runs left as escaped quotes, pairs of
// quotes made one, commas between ζ pairs hidden as ξ, the rest turned into
// the field separator ζζ. One change to it: a field that is nothing but an
// even run of quotes is a quoted field, so its outer quotes are marked too.
// std::nullopt while a quoted section is still open.
std::optional<QString> markerParse(const QString &text)
{
    const QChar quote = QLatin1Char('"');
    const QChar comma = QLatin1Char(',');
    const QChar mark(0x03B6);
    const QChar hidden(0x03BE);
    if (text.isEmpty())
        return QString();
    QString s = text;
    int oddRuns = 0;
    for (qsizetype a = s.indexOf(quote); a >= 0;) {
        const int b = QuoteRunLength(s, quote, int(a) + 1);
        if (b % 2 == 1) {
            s[oddRuns % 2 == 0 ? a : a + b - 1] = mark;
            ++oddRuns;
        } else if (oddRuns % 2 == 0 && (a == 0 || s.at(a - 1) == comma)
            && (a + b == s.size() || s.at(a + b) == comma)) {
            s[a] = mark;
            s[a + b - 1] = mark;
        }
        a = s.indexOf(quote, a + b);
    }
    if (CountOccurrences(s, QString(mark)) % 2 == 1)
        return std::nullopt;
    s.replace(QString(2, quote), QString(quote));
    for (qsizetype p = s.indexOf(mark), q = s.indexOf(mark, p + 1); p >= 0 && q >= 0;
         p = s.indexOf(mark), q = p < 0 ? -1 : s.indexOf(mark, p + 1)) {
        for (qsizetype i = p + 1; i < q; ++i) {
            if (s.at(i) == comma)
                s[i] = hidden;
        }
        s.remove(q, 1);
        s.remove(p, 1);
    }
    s.replace(comma, QString(2, mark));
    s.replace(hidden, comma);
    return s;
}

// All the text a reader gives, piece by piece, from bytes read in chunks
// of chunkSize.
QString streamedText(const QByteArray &bytes, qsizetype chunkSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    TextFileReader reader(buffer, chunkSize);
    QString text;
    for (QString piece = reader.read(); !piece.isEmpty(); piece = reader.read())
        text += piece;
    return text;
}

// Each line with the line end that closed it.
QStringList linesOf(CsvLines &lines)
{
    QStringList out;
    while (!lines.atEnd()) {
        out << lines.next();
        out.last() += lines.lineEnd();
    }
    return out;
}

QByteArray gb18030(const QString &text)
{
    return transfer::EncodeGb18030(text);
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    void parseLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("comma in quotes")
            << "1001,\"Zhang, San\"" << false << QStringList { "1001", "Zhang, San" };
        QTest::newRow("escaped quotes")
            << "\"say \"\"hi\"\"\",2" << false << QStringList { "say \"hi\"", "2" };
        QTest::newRow("three quotes end") << "\"abc\"\"\",x" << false << QStringList { "abc\"", "x" };
        QTest::newRow("three quotes open") << "\"\"\"abc\",x" << false << QStringList { "\"abc", "x" };
        // Python's csv module, pandas and database tools quote every field,
        // empty ones as "".
        QTest::newRow("field of two quotes is empty") << "1,\"\",2" << false << QStringList { "1", "", "2" };
        QTest::newRow("every field quoted")
            << "\"1001\",\"\",\"张三\"" << false << QStringList { "1001", "", "张三" };
        QTest::newRow("two quotes at start and end") << "\"\",a,\"\"" << false << QStringList { "", "a", "" };
        QTest::newRow("two quotes alone") << "\"\"" << false << QStringList { "" };
        QTest::newRow("four quotes are one quote") << "\"\"\"\",x" << false << QStringList { "\"", "x" };
        QTest::newRow("six quotes are two quotes") << "\"\"\"\"\"\"" << false << QStringList { "\"\"" };
        QTest::newRow("pair inside a quoted field") << "\"a\"\"b\"" << false << QStringList { "a\"b" };
        QTest::newRow("pair quoted inside a section") << "\"a,\"\",b\"" << false << QStringList { "a,\",b" };
        QTest::newRow("pair before text") << "\"\"x,y\"\"" << false << QStringList { "\"x", "y\"" };
        QTest::newRow("quote inside a field") << "ab\"c,d\"e,f" << false << QStringList { "abc,de", "f" };
        QTest::newRow("empty fields") << ",a,, " << false << QStringList { "", "a", "", " " };
        QTest::newRow("trailing comma") << "a," << false << QStringList { "a", "" };
        QTest::newRow("marker characters")
            << "ζ,ξ,\"ζ,ξ\",ζζ" << false << QStringList { "ζ", "ξ", "ζ,ξ", "ζζ" };
        QTest::newRow("empty") << "" << false << QStringList();
        QTest::newRow("unclosed") << "1,\"abc" << true << QStringList();
        QTest::newRow("opened inside a field") << "ab\"c,d" << true << QStringList();
    }

    void parseLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, open);
        QFETCH(QStringList, fields);
        const std::optional<QStringList> parsed = ParseCsvLine(line);
        QCOMPARE(!parsed, open);
        if (parsed)
            QCOMPARE(*parsed, fields);
    }

    // Lines built from the characters that matter to quoting; the marker
    // characters themselves are left out, which the parser reads as text.
    void parseLineAgreesWithTheMarkerAlgorithm()
    {
        const QString alphabet = QStringLiteral("\"\"\"\",,,ab 张\r\n");
        QRandomGenerator random(20240517);
        for (int n = 0; n < 20000; ++n) {
            QString line;
            const int length = int(random.bounded(14));
            for (int i = 0; i < length; ++i)
                line += alphabet.at(random.bounded(int(alphabet.size())));
            const std::optional<QString> marked = markerParse(line);
            const std::optional<QStringList> parsed = ParseCsvLine(line);
            const std::optional<QStringList> expected = !marked ? std::nullopt
                : line.isEmpty()                                ? std::optional<QStringList>(QStringList())
                                                                : marked->split(QString(2, QChar(0x03B6)));
            if (parsed != expected)
                QFAIL(qPrintable(QStringLiteral("line [%1]: [%2] instead of [%3]")
                                     .arg(line, parsed ? parsed->join(u'|') : QStringLiteral("open"),
                                         expected ? expected->join(u'|') : QStringLiteral("open"))));
        }
    }

    void records_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Records>("records");

        const Records two { { "a", "b" }, { "c", "d" } };
        QTest::newRow("CRLF") << "a,b\r\nc,d\r\n" << two;
        QTest::newRow("LF") << "a,b\nc,d\n" << two;
        QTest::newRow("CR") << "a,b\rc,d" << two;
        QTest::newRow("mixed, empty lines")
            << "a\r\n\r\nb\nc\r\n\rd" << Records { { "a" }, {}, { "b" }, { "c" }, {}, { "d" } };
        QTest::newRow("joined with CRLF")
            << "1,\"x\r\ny\",2\r\n3" << Records { { "1", "x\r\ny", "2" }, { "3" } };
        QTest::newRow("joined with the file's LF")
            << "1,\"x\n\ny\"\n3" << Records { { "1", "x\n\ny" }, { "3" } };
        QTest::newRow("joined with the file's CR") << "1,\"x\ry\"\r3" << Records { { "1", "x\ry" }, { "3" } };
        // Excel: LF inside a cell, CR LF between records.
        QTest::newRow("Excel's breaks in a cell") << "1,\"张三\n李四\"\r\n2,王五\r\n"
                                                  << Records { { "1", "张三\n李四" }, { "2", "王五" } };
        QTest::newRow("quote in a field joins") << "ab\"c\r\nd\"e,f" << Records { { "abc\r\nde", "f" } };
        QTest::newRow("open at end of file") << "0\r\n1,\"abc\r\ndef\r\n"
                                             << Records { { "0" }, { "1", "abc\r\ndef" } };
    }

    void records()
    {
        QFETCH(QString, text);
        QFETCH(Records, records);
        CsvLines lines(text);
        bool empty = false;
        for (const QStringList &expected : std::as_const(records)) {
            QCOMPARE(NextCsvRecord(lines, &empty), expected);
            QCOMPARE(empty, expected.isEmpty());
        }
        QVERIFY(lines.atEnd());
        QCOMPARE(NextCsvRecord(lines, &empty), std::nullopt);
    }

    void recordKeepsQuoteStateBeyondKeptFields()
    {
        CsvLines lines(QStringLiteral("a,b,c,\"d\r\ne,\"\"\",f\r\ng,h"));
        QCOMPARE(NextCsvRecord(lines, nullptr, 2), QStringList({ "a", "b" }));
        QCOMPARE(NextCsvRecord(lines, nullptr, 2), QStringList({ "g", "h" }));
    }

    void recordOverManyLinesIsLinear()
    {
        // A stray quote near the top of a long file makes the rest one field;
        // re-reading the growing record for every joined line would take hours.
        const int count = 1000000;
        const QString text
            = QStringLiteral("1,\"") + QStringLiteral("a\n").repeated(count) + QStringLiteral("\",x");
        QElapsedTimer timer;
        timer.start();
        CsvLines lines(text);
        const std::optional<QStringList> record = NextCsvRecord(lines, nullptr);
        QVERIFY(record && record->size() == 3 && record->at(1).size() == 2 * count);
        const auto cell = [&](int column) { return record->at(column - 1); };
        QCOMPARE(ComposeSpecValue(QStringLiteral("B"), cell, false).size(), qsizetype(3) * count);
        // Linear takes well under a second; the bound leaves room for a
        // sanitizer build on a busy machine and still catches the hours.
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString names = QStringLiteral("1001,张三\r\n1002,欧阳娜娜,镕\r\n");
        QStringEncoder le(QStringEncoder::Utf16LE);
        QStringEncoder be(QStringEncoder::Utf16BE);
        QTest::newRow("UTF-8 with BOM") << Bom + names.toUtf8();
        QTest::newRow("UTF-8") << names.toUtf8();
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + QByteArray(le.encode(names));
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + QByteArray(be.encode(names));
        QTest::newRow("GBK") << gb18030(names);
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(DecodeText(bytes), QStringLiteral("1001,张三\r\n1002,欧阳娜娜,镕\r\n"));
        QCOMPARE(DecodeText(EncodeCsvText(DecodeText(bytes))), DecodeText(bytes));
        QVERIFY(EncodeCsvText(QStringLiteral("x")) == Bom + "x");
    }

    // GB18030 as its 2005 edition maps ḿ, on every system; the four-byte
    // half where the system reads four-byte codes (Wine may have only GBK).
    void gb18030IsThe2005Edition()
    {
        QCOMPARE(transfer::DecodeGb18030("\xA8\xBC"), QString(QChar(0x1E3F)));
        QCOMPARE(transfer::EncodeGb18030(QString(QChar(0x1E3F))), QByteArray("\xA8\xBC"));
        if (transfer::DecodeGb18030("\x81\x30\x81\x30") == QString(QChar(0x80))) {
            QCOMPARE(transfer::DecodeGb18030("\x81\x35\xF4\x37"), QString(QChar(0xE7C7)));
            QCOMPARE(transfer::EncodeGb18030(QString(QChar(0xE7C7))), QByteArray("\x81\x35\xF4\x37"));
        }
    }

    void columnSpecs()
    {
        const QList<std::pair<QString, int>> numbers { { "A", 1 }, { "a", 1 }, { " z ", 26 }, { "ab", 28 },
            { "ZZ", 702 }, { "3", 1 }, { "A1", 11 }, { "ABC", 0 }, { " ", 0 }, { "张", 1 }, { "Ｂ", 1 } };
        for (const auto &[piece, number] : numbers)
            QVERIFY2(ColumnNumber(piece) == number, qPrintable(piece));
        const QList<std::pair<int, QString>> letters { { 1, "A" }, { 26, "Z" }, { 27, "AA" }, { 52, "AZ" },
            { 59, "BG" } };
        for (const auto &[number, text] : letters)
            QCOMPARE(ColumnLetters(number), text);
        for (int n = 1; n <= 702; ++n)
            QCOMPARE(ColumnNumber(ColumnLetters(n)), n);

        QCOMPARE(QuoteRunLength(QStringLiteral("a\"\"\"b"), QLatin1Char('"'), 3), 2);
        QCOMPARE(QuoteRunLength(QStringLiteral("a\"\"\"b"), QLatin1Char('"'), 1), 0);
        QCOMPARE(QuoteRunLength(QStringLiteral("a\""), QLatin1Char('"'), 3), 0);
        QCOMPARE(CountOccurrences(QStringLiteral("aaaaa"), QStringLiteral("aa")), 2);

        QStringList specs { "“No.”，A", "  “先生”，B，", ",,C,", "，" };
        NormaliseColumnSpecs(specs);
        QCOMPARE(specs, QStringList({ "“No.”，A", "\"先生\",B", ",C", "" }));
    }

    void composeSpecValue_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<QString>("value");

        QTest::newRow("literal and column") << "\"No.\",A" << false << "No.1001";
        QTest::newRow("two columns") << "A,B" << false << "1001Zhang San";
        QTest::newRow("column 0 and empty pieces") << "ABC,,D,A" << false << "1001";
        QTest::newRow("line breaks") << "C,\"a\nb\",\"c\rd\"" << false << "x//ya//bc//d";
        QTest::newRow("lone quote") << "\",A" << false << "1001";
        QTest::newRow("spaced literal, untrimmed") << " \"lit\"" << false << "";
        QTest::newRow("spaced literal, trimmed") << " \"lit\"" << true << "lit";
        QTest::newRow("line break in piece, trimmed") << "A\r\n" << true << "1001";
    }

    void composeSpecValue()
    {
        QFETCH(QString, spec);
        QFETCH(bool, trim);
        QFETCH(QString, value);
        const QStringList row { "1001", "Zhang San", "x\r\ny" };
        const auto cell = [&](int column) {
            if (column < 1)
                qFatal("column %d asked for", column);
            return column <= row.size() ? row.at(column - 1) : QString();
        };
        QCOMPARE(ComposeSpecValue(spec, cell, trim), value);
    }

    void readFixture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("GBK") << "entrants-gbk.csv";
        QTest::newRow("UTF-8 with BOM") << "entrants-utf8.csv";
        QTest::newRow("UTF-8, LF") << "entrants-lf.csv";
    }

    void readFixture()
    {
        QFETCH(QString, file);
        ScopedScriptedPrompts prompts;
        std::vector<data::EntrantRow> rows;
        QCOMPARE(ReadCsvRows(QStringLiteral(TOMBOLIX_TEST_DATA "/") + file, 2, 4, { "A", "B" }, rows), 0);
        QCOMPARE(entrantRows(rows),
            Records({ { "1001", "张三" }, { "1002", "李四, 经理" }, { "1003", "欧阳娜娜" } }));
        for (const data::EntrantRow &row : rows) {
            QCOMPARE(row.state, data::EntrantRow::State::New);
            QCOMPARE(row.key, qint64(0));
        }
        QVERIFY(prompts.messages().isEmpty());
    }

    void readRangeAndEmptyLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("range.CSV"));
        QVERIFY(writeFile(path, "h\r\n1,a\r\n\r\n3,c\n4,\"d\r\nd\"\r5,e\r\n"));
        std::vector<data::EntrantRow> rows(1); // whatever was there goes

        // Five records, one an empty line, and a range of eight rows.
        QCOMPARE(ReadCsvRows(path, 2, 9, { "A", "B" }, rows), 0);
        QCOMPARE(entrantRows(rows),
            Records({ { "1", "a" }, { "", "" }, { "3", "c" }, { "4", "d//d" }, { "5", "e" }, { "", "" },
                { "", "" }, { "", "" } }));

        // Skipping counts physical lines, the empty one too.
        std::vector<data::EntrantRow> later;
        QCOMPARE(ReadCsvRows(path, 4, 4, { "B" }, later), 0);
        QCOMPARE(entrantRows(later), Records({ { "c", "" } }));
    }

    void readLineBreakInQuotedCell_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Excel: LF in the cell, CR LF between records")
            << QByteArray("工号,姓名\r\n1001,\"张三\n李四\"\r\n1002,王五\r\n");
        QTest::newRow("CR LF everywhere")
            << QByteArray("工号,姓名\r\n1001,\"张三\r\n李四\"\r\n1002,王五\r\n");
        QTest::newRow("LF everywhere") << QByteArray("工号,姓名\n1001,\"张三\n李四\"\n1002,王五\n");
        QTest::newRow("CR everywhere") << QByteArray("工号,姓名\r1001,\"张三\r李四\"\r1002,王五\r");
    }

    // One break in the cell is one "//" in the name, with no CR left over.
    void readLineBreakInQuotedCell()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("excel.csv"));
        QVERIFY(writeFile(path, bytes));
        std::vector<data::EntrantRow> rows;
        QCOMPARE(ReadCsvRows(path, 2, 3, { "A", "B" }, rows), 0);
        QCOMPARE(entrantRows(rows), Records({ { "1001", "张三//李四" }, { "1002", "王五" } }));
    }

    void readAppliesSpecs()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("specs.csv"));
        QVERIFY(writeFile(path, "1,\"Li, Si\",x\r\n2,ζ\"ξ\",y\r\n3,\"open"));
        std::vector<data::EntrantRow> rows;
        // Full-width punctuation is understood in the name's spec only.
        QCOMPARE(ReadCsvRows(path, 1, 3, { "“No.”，A", "C，“先生”,B" }, rows), 0);
        QCOMPARE(
            entrantRows(rows), Records({ { "", "x先生Li, Si" }, { "", "y先生ζξ" }, { "", "先生open" } }));

        std::vector<data::EntrantRow> plain;
        QCOMPARE(ReadCsvRows(path, 1, 1, { "\"No.\",A", "B, \"lit\"" }, plain), 0);
        QCOMPARE(entrantRows(plain), Records({ { "No.1", "Li, Si" } }));
    }

    void readFailureGivesNoRows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.csv";
        QTest::newRow("not named .csv") << "entrants.txt";
        QTest::newRow("a folder") << "folder.csv";
    }

    void readFailureGivesNoRows()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("entrants.txt")), "1,a\r\n"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.csv")));
        ScopedScriptedPrompts prompts;
        std::vector<data::EntrantRow> rows(3);

        QCOMPARE(ReadCsvRows(dir.filePath(name), 1, 10, { "A", "B" }, rows), 5);
        QVERIFY(prompts.messages().isEmpty());
        QVERIFY(rows.empty());
    }

    void readHugeSingleLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.csv"));
        const QByteArray filler = "abcdefg,\"h,i\",";
        QVERIFY(writeFile(path, "1001,张三," + filler.repeated(10 * 1024 * 1024 / filler.size())));
        std::vector<data::EntrantRow> rows;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(ReadCsvRows(path, 1, 2, { "A", "B,D" }, rows), 0);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(entrantRows(rows), Records({ { "1001", "张三h,i" }, { "", "" } }));
    }

    void previewFillsNineteenRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("preview.csv"));
        QString text = QStringLiteral("=,").repeated(64) + QStringLiteral("65\r\n\r\n1,\"a\r\nb\",c\n");
        for (int i = 4; i <= 25; ++i)
            text += QStringLiteral("%1,名%1\r\n").arg(i);
        QVERIFY(writeFile(path, text.toUtf8()));
        const Records preview = PreviewCsvRows(path);

        QCOMPARE(preview.size(), 19);
        QCOMPARE(preview.at(0).size(), 59);
        QCOMPARE(preview.at(0).at(58), QStringLiteral("="));
        QCOMPARE(preview.at(1), QStringList());
        QCOMPARE(preview.at(2), QStringList({ "1", "a\r\nb", "c" }));
        QCOMPARE(preview.at(18), QStringList({ "19", "名19" }));
        QCOMPARE(PreviewCsvRows(dir.filePath(QStringLiteral("missing.csv"))), Records()); // silently nothing
    }

    void exportQuotesAndLeavesOutHidden()
    {
        GridModel grid;
        setupEntrantGrid(grid);
        grid.setRows(7);
        const QStringList cells { "Zhang, San", "\"", "a\r\nb", "a\r//b", "say \"hi\"", "", "ζξ", "", "",
            "1" };
        for (int i = 0; i < cells.size(); ++i)
            grid.setTextMatrix(2 + i / 2, 3 + i % 2, cells.at(i));
        grid.setTextMatrix(2, 0, QStringLiteral("key"));
        grid.setColWidth(0, 0);
        grid.setColWidth(1, 0);
        grid.setRowHeight(5, 0);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        RecordingProgress progress;
        QVERIFY(ExportGridToCsv(grid::ExportTableOf(grid), path));
        QCOMPARE(readFile(path),
            Bom
                + QStringLiteral("序号,抽奖号码,姓名\r\n"
                                 ",\"Zhang, San\",\"\"\"\"\r\n"
                                 ",\"a\r\nb\",\"a\r//b\"\r\n"
                                 ",\"say \"\"hi\"\"\",\r\n"
                                 ",,1\r\n")
                      .toUtf8());
        QCOMPARE(progress.opened, QStringList { QStringLiteral("正在导出数据至CSV格式文件…… 7") });
        QCOMPARE(progress.steps, 7); // the hidden rows count too
        QCOMPARE(progress.closes, 1);
    }

    // A table made by hand: the hidden rows it names count in the progress,
    // and a row without columns is an empty line.
    void exportWritesTheTableAsGiven()
    {
        ExportTable table;
        table.rowCount = 2;
        table.hiddenRows = 3;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.csv"));
        RecordingProgress progress;
        QVERIFY(ExportGridToCsv(table, path));
        QCOMPARE(readFile(path), Bom + "\r\n\r\n");
        QCOMPARE(progress.opened, QStringList { QStringLiteral("正在导出数据至CSV格式文件…… 5") });
        QCOMPARE(progress.steps, 5);

        table.columnCount = 2;
        table.cells = { "a", "", "", "b,c" };
        QVERIFY(ExportGridToCsv(table, path));
        QCOMPARE(readFile(path), Bom + "a,\r\n,\"b,c\"\r\n");
    }

    void exportManyRowsReadsBack()
    {
        const QStringList names { "张三", "Li, Si", "\"Bo\"", "a\"\"b", "ζξ", "", "欧阳,\"娜娜\"", "\"" };
        const int count = 40000;
        GridModel grid;
        setupEntrantGrid(grid);
        grid.setRows(2 + count);
        for (int i = 0; i < count; ++i) {
            grid.setTextMatrix(2 + i, 0, QString::number(i + 7));
            grid.setTextMatrix(2 + i, 3, QString::number(100000 + i));
            grid.setTextMatrix(2 + i, 4, names.at(i % names.size()));
        }
        grid::RenumberGrid(grid);
        grid::FitGridColumns(QFont(), grid, 1, false);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.csv"));
        QVERIFY(ExportGridToCsv(grid::ExportTableOf(grid), path));
        // Read back: the serial as a number of its own, then number and name.
        std::vector<data::EntrantRow> serials;
        QCOMPARE(ReadCsvRows(path, 2, count + 1, { "A" }, serials), 0);
        std::vector<data::EntrantRow> back;
        QCOMPARE(ReadCsvRows(path, 2, count + 1, { "B", "C" }, back), 0);
        QCOMPARE(int(back.size()), count);
        for (int i = 0; i < count; ++i) {
            const int r = 2 + i;
            const QStringList read { serials[size_t(i)].number, back[size_t(i)].number,
                back[size_t(i)].name };
            for (int c = 2; c <= 4; ++c) {
                if (read.at(c - 2) != grid.TextMatrix(r, c))
                    QFAIL(qPrintable(QStringLiteral("(%1, %2): %3").arg(r).arg(c).arg(read.at(c - 2))));
            }
        }
    }

    void exportFailureLeavesNoFile()
    {
        GridModel grid;
        grid.setRows(1);
        grid.setCols(1);
        QTemporaryDir dir;
        RecordingProgress progress;
        QVERIFY(!ExportGridToCsv(
            grid::ExportTableOf(grid), dir.filePath(QStringLiteral("no-such-folder/out.csv"))));
        QCOMPARE(progress.closes, 1);
        // The written file cannot take the target's place: no temporary is left.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken.csv/inside")));
        QVERIFY(!ExportGridToCsv(grid::ExportTableOf(grid), dir.filePath(QStringLiteral("taken.csv"))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList { QStringLiteral("taken.csv") });
    }

    void streamingDecodesAsTheWholeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString rows
            = QStringLiteral("抽奖号码,姓名\r\n1001,张三\r\n1002,\"李四\r\n经理\"\n𠀀,王\u00e9\r1004,𠀁\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("ascii") << QByteArray("1,a\r\n2,b\r3,c\n");
        QTest::newRow("utf-8 with mark") << Bom + rows.toUtf8();
        QTest::newRow("utf-8 without mark") << rows.toUtf8();
        QTest::newRow("utf-8 mark twice") << Bom + Bom + rows.toUtf8();
        QTest::newRow("mark after a line break") << QByteArray("a\n") + Bom + rows.toUtf8();
        QTest::newRow("gb18030") << gb18030(rows);
        QTest::newRow("gb18030 ascii first") << QByteArray("x,y\r\n") + gb18030(rows);
        QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE", 2)
                + QByteArray(reinterpret_cast<const char *>(rows.utf16()), rows.size() * 2);
        QStringEncoder be(QStringEncoder::Utf16BE);
        QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF", 2) + QByteArray(be.encode(rows));
        QTest::newRow("cut inside a character") << rows.toUtf8().chopped(1);
        QTest::newRow("invalid utf-8") << rows.toUtf8() + QByteArray("\xC3(\xFF\n\x81");
        QTest::newRow("cr only")
            << QString(rows).replace(QLatin1String("\r\n"), QLatin1String("\r")).toUtf8();
    }

    void streamingDecodesAsTheWholeFile()
    {
        QFETCH(QByteArray, bytes);
        const QString whole = DecodeText(bytes);
        CsvLines wholeLines(whole);
        const QStringList expected = linesOf(wholeLines);
        for (qsizetype chunk : { 16, 17, 19, 64, 1 << 16 }) {
            QCOMPARE(streamedText(bytes, chunk), whole);
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            TextFileReader reader(buffer, chunk);
            CsvLines lines([&reader] { return reader.read(); });
            QCOMPARE(linesOf(lines), expected);
        }
    }

    // A line far longer than a chunk is searched for its end once.
    void longLineWithoutBreak()
    {
        const QString line = QString(1 << 20, QChar(0x5F20));
        const QByteArray bytes = Bom + line.toUtf8() + "\r\nx,y";
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        TextFileReader reader(buffer, 64);
        CsvLines lines([&reader] { return reader.read(); });
        QCOMPARE(lines.next(), line);
        QCOMPARE(lines.next(), QStringLiteral("x,y"));
        QVERIFY(lines.atEnd());
    }

    // The encoding is told from the first bytes that are not ASCII, however
    // far into the file they come.
    void lateNonAsciiDecidesTheEncoding_data()
    {
        QTest::addColumn<bool>("gb");
        QTest::newRow("utf-8") << false;
        QTest::newRow("gb18030") << true;
    }

    void lateNonAsciiDecidesTheEncoding()
    {
        QFETCH(bool, gb);
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("%1,name%1\r\n").arg(100000 + i);
        QVERIFY(text.size() > 4 * TextFileReader::DecisionWindow);
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("%1,张%2\r\n").arg(200000 + i).arg(QChar(0x4E00 + i % 500));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("late.csv"));
        QVERIFY(writeFile(path, gb ? gb18030(text) : text.toUtf8()));
        ScopedScriptedPrompts prompts;
        std::vector<data::EntrantRow> rows;
        QCOMPARE(ReadCsvRows(path, 19999, 40002, { QStringLiteral("A"), QStringLiteral("B") }, rows), 0);
        QCOMPARE(rows.size(), size_t(40002 - 19999 + 1));
        QCOMPARE(rows[0].name, QStringLiteral("name119998"));
        QCOMPARE(rows[2].name, QStringLiteral("张") + QChar(0x4E00));
        QCOMPARE(rows[20001].name, QStringLiteral("张") + QChar(0x4E00 + 19999 % 500));
        QCOMPARE(rows.back().name, QString()); // past the end
        QVERIFY(prompts.shown().isEmpty());
    }

    // Rows past the last one wanted are never read: a broken tail does not
    // spoil the head, and a long file is read no further than needed.
    void readingStopsAfterTheLastRow()
    {
        QString head = QStringLiteral("号码,姓名\r\n");
        for (int i = 0; i < 8000; ++i)
            head += QStringLiteral("%1,李%2\r\n").arg(i).arg(QChar(0x4E00 + i % 700));
        QVERIFY(head.toUtf8().size() > TextFileReader::DecisionWindow);
        const QByteArray tail = QByteArray("\xFF\xFE\x81,\"open quote\r\n9,x\r\n").repeated(1000);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tail.csv"));
        QVERIFY(writeFile(path, head.toUtf8() + tail));
        ScopedScriptedPrompts prompts;
        std::vector<data::EntrantRow> rows;
        QCOMPARE(ReadCsvRows(path, 2, 8001, { QStringLiteral("A"), QStringLiteral("B") }, rows), 0);
        QCOMPARE(rows.size(), size_t(8000));
        for (int i : { 0, 1, 4321, 7999 })
            QCOMPARE(entrantRows({ rows[size_t(i)] }).first(),
                (QStringList { QString::number(i), QStringLiteral("李") + QChar(0x4E00 + i % 700) }));
        QVERIFY(prompts.shown().isEmpty());

        QBuffer buffer;
        QByteArray big = head.toUtf8().repeated(40);
        buffer.setData(big);
        buffer.open(QIODevice::ReadOnly);
        TextFileReader reader(buffer);
        CsvLines lines([&reader] { return reader.read(); });
        for (int i = 0; i < 100; ++i)
            QVERIFY(NextCsvRecord(lines, nullptr).has_value());
        QVERIFY(buffer.pos() <= 4 * TextFileReader::DecisionWindow);
    }
};

QTEST_MAIN(TestCsv)
#include "tst_csv.moc"
