#include "common/prompts.h"
#include "support/testsupport.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"
#include "transfer/xlsreader.h"
#include "transfer/xlsstream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#ifdef Q_OS_UNIX
#include <sys/wait.h>
#endif

using namespace tombolix;
using namespace tombolix::transfer;

namespace {

using test::readFile;
using test::writeFile;

QString dataFile(const QString &name)
{
    return QStringLiteral(TOMBOLIX_TEST_DATA "/") + name;
}

// The helper's output for a file, read whole.
QByteArray helperOutput(const QString &file)
{
    QProcess helper;
    helper.start(XlsWorkbook::helperProgram(), { dataFile(file) });
    if (!helper.waitForFinished(30000) || helper.exitCode() != 0)
        return QByteArray();
    return helper.readAllStandardOutput();
}

QByteArray frame(quint8 kind, quint32 a = 0, quint32 b = 0, const QByteArray &payload = QByteArray(),
    qint64 declaredLength = -1)
{
    const quint32 length = declaredLength < 0 ? quint32(payload.size()) : quint32(declaredLength);
    QByteArray bytes(xlsstream::HeaderSize, '\0');
    bytes[0] = char(kind);
    std::memcpy(bytes.data() + 1, &a, 4);
    std::memcpy(bytes.data() + 5, &b, 4);
    std::memcpy(bytes.data() + 9, &length, 4);
    return bytes + payload;
}

QByteArray textCell(quint32 row, quint32 col, const QByteArray &utf8)
{
    return frame(xlsstream::CellFrame, row, col, QByteArray(1, xlsstream::TextCell) + utf8);
}

// Whatever a stream holds, a workbook made of it answers inside its bounds.
void readEverything(XlsWorkbook &book)
{
    for (const QString &name : book.sheetNames()) {
        QCOMPARE(book.selectSheet(name), 0);
        QVERIFY(book.rowCount() <= XlsWorkbook::MaxRows && book.columnCount() <= XlsWorkbook::MaxColumns);
        for (int r = 0; r <= std::min(book.rowCount(), 20) + 1; ++r) {
            for (int c = 0; c <= std::min(book.columnCount(), 20) + 1; ++c)
                book.cell(r, c);
        }
    }
}

// A stand-in for the helper that runs a shell script instead.
class FakeHelper
{
public:
    explicit FakeHelper(const QByteArray &script)
    {
        m_path = m_dir.filePath(QStringLiteral("fake-xlsread"));
        writeFile(m_path, "#!/bin/sh\n" + script + "\n");
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        XlsWorkbook::setHelperProgram(m_path);
    }
    ~FakeHelper() { XlsWorkbook::setHelperProgram(QString()); }

    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

class TestXlsHelper : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void helperLiesBesideTheProgram();
    void wholeStreamReadsLikeTheWorkbook();
    void streamCutAnywhereIsNoWorkbook();
    void malformedFramesAreNoWorkbook_data();
    void malformedFramesAreNoWorkbook();
    void garbledStreamsNeverCrash();
    void scopedReadChoosesTheSheetWithoutRegardToCase();
    void missingHelperCannotOpen_data();
    void missingHelperCannotOpen();
    void misbehavingHelperIsNoWorkbook_data();
    void misbehavingHelperIsNoWorkbook();
    void hungHelperIsStoppedInTime();
};

void TestXlsHelper::cleanup()
{
    XlsWorkbook::setHelperProgram(QString());
    XlsWorkbook::setReadTimeout(XlsWorkbook::DefaultReadTimeoutMs);
}

void TestXlsHelper::helperLiesBesideTheProgram()
{
    const QFileInfo helper(XlsWorkbook::helperProgram());
    QVERIFY2(helper.isExecutable(), qPrintable(helper.filePath()));
    QCOMPARE(helper.absolutePath(), QCoreApplication::applicationDirPath());
    QVERIFY(helper.fileName().startsWith(QLatin1String(xlsstream::HelperName)));
}

void TestXlsHelper::wholeStreamReadsLikeTheWorkbook()
{
    const QByteArray stream = helperOutput(QStringLiteral("entrants.xls"));
    QVERIFY(!stream.isEmpty());
    int error = -1;
    const std::unique_ptr<XlsWorkbook> book = XlsWorkbook::fromStream(stream, &error);
    QVERIFY(book);
    QCOMPARE(error, 0);
    QCOMPARE(book->sheetNames(), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
    QCOMPARE(book->rowCount(), 11);
    QCOMPARE(book->cell(2, 1), QStringLiteral("0012"));
    QCOMPARE(book->cell(3, 4), QStringLiteral("0.1"));
    QCOMPARE(book->cell(11, 4), QStringLiteral("2.5e-07"));
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet2")), 0);
    QCOMPARE(book->cell(1, 1), QStringLiteral("奖品"));
    QCOMPARE(book->cell(2, 1), QStringLiteral("42"));

    // A file the helper cannot find is told apart from one it cannot read.
    QProcess helper;
    helper.start(XlsWorkbook::helperProgram(), { QStringLiteral("/nonexistent/roster.xls") });
    QVERIFY(helper.waitForFinished());
    QCOMPARE(helper.exitCode(), 0);
    QVERIFY(!XlsWorkbook::fromStream(helper.readAllStandardOutput(), &error));
    QCOMPARE(error, int(CannotOpen));
}

// The stream ends with its own end mark, so a helper that dies half-way
// never passes for one that read a shorter sheet.
void TestXlsHelper::streamCutAnywhereIsNoWorkbook()
{
    const QByteArray stream = helperOutput(QStringLiteral("entrants.xls"));
    QVERIFY(stream.size() > 100);
    for (qsizetype cut = 0; cut < stream.size(); ++cut) {
        int error = -1;
        QVERIFY2(!XlsWorkbook::fromStream(stream.left(cut), &error), qPrintable(QString::number(cut)));
        QCOMPARE(error, int(NotAWorkbook));
    }
    int error = -1;
    QVERIFY(!XlsWorkbook::fromStream(stream + "x", &error));
    QCOMPARE(error, int(NotAWorkbook));
}

void TestXlsHelper::malformedFramesAreNoWorkbook_data()
{
    using namespace xlsstream;
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("expected");
    const QByteArray sheet = frame(SheetFrame, 0, 0, "名单") + frame(SelectFrame, 0);
    const QByteArray end = frame(EndFrame);
    QTest::newRow("well formed") << sheet + textCell(2, 3, "张三") + end << 0;
    QTest::newRow("nothing") << QByteArray() << int(NotAWorkbook);
    QTest::newRow("only the end") << end << 0;
    QTest::newRow("cell before any sheet") << textCell(1, 1, "x") + end << int(NotAWorkbook);
    QTest::newRow("sheet chosen that was not named")
        << frame(SheetFrame, 0, 0, "a") + frame(SelectFrame, 1) + end << int(NotAWorkbook);
    // Names after a chosen sheet grow the sheet list under the sheet being
    // filled (found by the fuzzer: the cell then went to freed memory).
    QByteArray lateNames;
    for (quint32 i = 1; i <= 40; ++i)
        lateNames += frame(SheetFrame, i, 0, "late");
    QTest::newRow("sheet named after one was chosen")
        << sheet + lateNames + textCell(2, 3, "张三") + end << int(NotAWorkbook);
    QTest::newRow("row 0") << sheet + textCell(0, 1, "x") + end << int(NotAWorkbook);
    QTest::newRow("row past the format") << sheet + textCell(65537, 1, "x") + end << int(NotAWorkbook);
    QTest::newRow("column past the format") << sheet + textCell(1, 257, "x") + end << int(NotAWorkbook);
    QTest::newRow("cell without a type") << sheet + frame(CellFrame, 1, 1) + end << int(NotAWorkbook);
    QTest::newRow("unknown cell type") << sheet + frame(CellFrame, 1, 1, "?1") + end << int(NotAWorkbook);
    QTest::newRow("integer of three bytes")
        << sheet + frame(CellFrame, 1, 1, QByteArray("i\1\2\3", 4)) + end << int(NotAWorkbook);
    QTest::newRow("double of four bytes")
        << sheet + frame(CellFrame, 1, 1, QByteArray("d\0\0\0\0", 5)) + end << int(NotAWorkbook);
    QTest::newRow("length past the stream")
        << sheet + frame(SheetFrame, 1, 0, "ab", 0xffffffffLL) + end << int(NotAWorkbook);
    QTest::newRow("unknown kind") << sheet + frame(0x7f) + end << int(NotAWorkbook);
    QTest::newRow("kind zero") << sheet + frame(0) + end << int(NotAWorkbook);
    QTest::newRow("helper could not find the file")
        << frame(ErrorFrame, ErrorCannotOpen) + end << int(CannotOpen);
    QTest::newRow("helper could not read the file")
        << frame(ErrorFrame, ErrorNotAWorkbook) + end << int(NotAWorkbook);
    QTest::newRow("helper reports a number of its own") << frame(ErrorFrame, 9) + end << int(NotAWorkbook);
}

void TestXlsHelper::malformedFramesAreNoWorkbook()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, expected);
    int error = -1;
    const std::unique_ptr<XlsWorkbook> book = XlsWorkbook::fromStream(stream, &error);
    QCOMPARE(error, expected);
    QCOMPARE(bool(book), expected == 0);
    if (book && !book->sheetNames().isEmpty()) {
        QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
        QCOMPARE(book->cell(2, 3), QStringLiteral("张三"));
        QCOMPARE(book->rowCount(), 2);
        QCOMPARE(book->columnCount(), 3);
    }
}

// Every byte of a real stream overwritten in turn, and streams of noise:
// the reader answers a workbook or an error, and a workbook it answers stays
// inside its bounds.
void TestXlsHelper::garbledStreamsNeverCrash()
{
    const QByteArray stream = helperOutput(QStringLiteral("entrants.xls"));
    QVERIFY(!stream.isEmpty());
    for (qsizetype at = 0; at < stream.size(); ++at) {
        for (const char value : { '\0', '\x7f', '\xff' }) {
            QByteArray garbled = stream;
            garbled[at] = value;
            int error = -1;
            const std::unique_ptr<XlsWorkbook> book = XlsWorkbook::fromStream(garbled, &error);
            QVERIFY(book ? error == 0 : error == NotAWorkbook || error == CannotOpen);
            if (book)
                readEverything(*book);
        }
    }
    QRandomGenerator random(15);
    for (int i = 0; i < 2000; ++i) {
        QByteArray noise(int(random.bounded(200)), '\0');
        for (char &byte : noise)
            byte = char(random.bounded(256));
        // Half of them start like a real stream, to get past its first frame.
        if (i % 2)
            noise.prepend(stream.left(int(random.bounded(int(stream.size())))));
        int error = -1;
        const std::unique_ptr<XlsWorkbook> book = XlsWorkbook::fromStream(noise, &error);
        if (book)
            readEverything(*book);
        else
            QVERIFY(error == NotAWorkbook || error == CannotOpen);
    }
}

// The helper lists the names, the reader names the sheet back without
// regard to case, and only that sheet's wanted cells come.
void TestXlsHelper::scopedReadChoosesTheSheetWithoutRegardToCase()
{
    int error = -1;
    const CellScope scope { QStringLiteral("SHEET2"), { 1 }, 2, 10 };
    const std::unique_ptr<XlsWorkbook> book
        = XlsWorkbook::open(dataFile(QStringLiteral("entrants.xls")), &error, &scope);
    QVERIFY(book);
    QCOMPARE(error, 0);
    QCOMPARE(book->sheetNames(), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(book->selectSheet(QStringLiteral("Sheet2")), 0);
    QCOMPARE(book->cell(1, 1), QString());
    QCOMPARE(book->cell(2, 1), QStringLiteral("42"));
    QCOMPARE(book->selectSheet(QStringLiteral("名单")), 0);
    QCOMPARE(book->rowCount(), 0);

    const CellScope nowhere { QStringLiteral("奖品"), { 1, 2 }, 1, 100 };
    const std::unique_ptr<XlsWorkbook> none
        = XlsWorkbook::open(dataFile(QStringLiteral("entrants.xls")), &error, &nowhere);
    QVERIFY(none);
    QCOMPARE(none->sheetNames(), QStringList({ "名单", "Sheet2" }));
    QCOMPARE(none->selectSheet(QStringLiteral("名单")), 0);
    QCOMPARE(none->rowCount(), 0);
    QCOMPARE(none->selectSheet(QStringLiteral("奖品")), int(NoSuchSheet));
}

void TestXlsHelper::missingHelperCannotOpen_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("no such file") << false;
    QTest::newRow("a file that may not run") << true;
}

// An installation without the helper tells the operator it cannot open the
// workbook, as for a file it cannot open, and carries on.
void TestXlsHelper::missingHelperCannotOpen()
{
    QFETCH(bool, fileExists);
    QTemporaryDir dir;
    const QString helper = dir.filePath(QStringLiteral("tombolix-xlsread"));
    if (fileExists)
        QVERIFY(writeFile(helper, "not a program"));
    XlsWorkbook::setHelperProgram(helper);
    int error = -1;
    QVERIFY(!OpenWorkbook(dataFile(QStringLiteral("entrants.xls")), &error));
    QCOMPARE(error, int(CannotOpen));
    const CellScope scope { QStringLiteral("名单"), { 1 }, 1, 10 };
    QVERIFY(!OpenWorkbook(dataFile(QStringLiteral("entrants.xls")), &error, &scope));
    QCOMPARE(error, int(CannotOpen));
    ScopedScriptedPrompts prompts;
    QCOMPARE(ListWorksheets(dataFile(QStringLiteral("entrants.xls")), &error), QStringList());
    QCOMPARE(error, int(CannotOpen));
    // The other formats do without it.
    QVERIFY(OpenWorkbook(dataFile(QStringLiteral("entrants.xlsx")), &error));
}

void TestXlsHelper::misbehavingHelperIsNoWorkbook_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("scoped");
    QTest::addColumn<int>("expected");
    const QByteArray whole = helperOutput(QStringLiteral("entrants.xls"));
    QTest::newRow("a whole stream") << QByteArray("cat \"$OUT\"") << whole << false << 0;
    QTest::newRow("garbage") << QByteArray("cat \"$OUT\"") << QByteArray("garbage\n") << false
                             << int(NotAWorkbook);
    QTest::newRow("cut short") << QByteArray("cat \"$OUT\"") << whole.left(whole.size() / 2) << false
                               << int(NotAWorkbook);
    QTest::newRow("whole stream, then fails")
        << QByteArray("cat \"$OUT\"; exit 3") << whole << false << int(NotAWorkbook);
    QTest::newRow("crashes") << QByteArray("cat \"$OUT\"; kill -SEGV $$") << whole << false
                             << int(NotAWorkbook);
    QTest::newRow("says nothing") << QByteArray("exit 0") << QByteArray() << false << int(NotAWorkbook);
    QTest::newRow("never asks which sheet") << QByteArray("cat \"$OUT\"") << whole << true << 0;
    QTest::newRow("asks, then ends without an answer")
        << QByteArray("cat \"$OUT\"")
        << frame(xlsstream::SheetFrame, 0, 0, "名单") + frame(xlsstream::ChooseFrame) << true
        << int(NotAWorkbook);
}

void TestXlsHelper::misbehavingHelperIsNoWorkbook()
{
#ifdef Q_OS_WIN
    QSKIP("the misbehaving helpers are shell scripts");
#endif
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, output);
    QFETCH(bool, scoped);
    QFETCH(int, expected);
    FakeHelper helper("OUT=\"$(dirname \"$0\")/output\"\n" + script);
    QVERIFY(writeFile(helper.filePath(QStringLiteral("output")), output));
    const CellScope scope { QStringLiteral("名单"), { 1, 2 }, 1, 100 };
    int error = -1;
    const std::unique_ptr<Workbook> book
        = OpenWorkbook(dataFile(QStringLiteral("entrants.xls")), &error, scoped ? &scope : nullptr);
    QCOMPARE(error, expected);
    QCOMPARE(bool(book), expected == 0);
}

// A helper that hangs, with or without its output closed, is stopped once
// its time is up and leaves no process behind.
void TestXlsHelper::hungHelperIsStoppedInTime()
{
#ifdef Q_OS_WIN
    QSKIP("the misbehaving helpers are shell scripts");
#endif
    for (const QByteArray &script : { QByteArray("exec sleep 60"), QByteArray("exec >&-; exec sleep 60") }) {
        FakeHelper helper(script);
        XlsWorkbook::setReadTimeout(500);
        QElapsedTimer clock;
        clock.start();
        int error = -1;
        QVERIFY(!OpenWorkbook(dataFile(QStringLiteral("entrants.xls")), &error));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(error, int(NotAWorkbook));
        QVERIFY2(elapsed >= 450 && elapsed < 5000, qPrintable(QString::number(elapsed)));
#ifdef Q_OS_UNIX
#ifdef Q_OS_UNIX
        QVERIFY(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD); // no helper left behind
#endif // no helper left behind
#endif
    }
}

QTEST_MAIN(TestXlsHelper)
#include "tst_xlshelper.moc"
