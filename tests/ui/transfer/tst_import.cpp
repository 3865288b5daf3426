#include "common/indicator.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "console/fset.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "grid/entrantgrid.h"
#include "grid/gridexport.h"
#include "grid/gridmodel.h"
#include "grid/gridops.h"
#include "support/testsupport.h"
#include "transfer/csv.h"
#include "transfer/csvparse.h"
#include "transfer/exportdialog.h"
#include "transfer/importer.h"
#include "transfer/inputmap.h"
#include "transfer/sheets.h"
#include "transfer/textcodec.h"
#include "transfer/xlsxreader.h"
#include "transfer/xlsxwriter.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace tombolix;
using grid::GridModel;

namespace {

using test::storedEntrants;

using test::openWindow;

QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

// An entrant grid laid out as the console's.
void setupEntrants(GridModel &grid)
{
    grid::SetupGridHeader(
        grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    grid.setTag(QStringLiteral("号码表"));
    grid.setFixedCols(3);
}

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Queues a click that the next pass of the event loop delivers.
void postClick(QWidget *widget)
{
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QCoreApplication::postEvent(widget,
        new QMouseEvent(
            QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget,
        new QMouseEvent(
            QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

void postKey(QWidget *widget, Qt::Key key)
{
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

// The progress window of the program, which yields to the event loop; events
// can be queued for the moment an operation with a given text opens it.
class YieldingProgress : public ProgressSink
{
public:
    YieldingProgress() { m_previous = setProgressSink(this); }
    ~YieldingProgress() override { setProgressSink(m_previous); }

    void queueOnOpen(const QString &text, std::function<void()> post)
    {
        m_text = text;
        m_post = std::move(post);
    }
    void open(const QString &text, qint64 total) override
    {
        if (m_post && text == m_text)
            std::exchange(m_post, nullptr)();
        m_window.open(text, total);
    }
    void advance(qint64 step, const QString &text) override { m_window.advance(step, text); }
    void close() override { m_window.close(); }

private:
    IndicatorProgress m_window;
    ProgressSink *m_previous = nullptr;
    QString m_text;
    std::function<void()> m_post;
};

// Prompts whose question and message boxes yield to the event loop, as the
// modal boxes of the program do; what they answer is up to the script.
class YieldingPrompts : public ScopedScriptedPrompts
{
public:
    // Runs as a question is answered: what it queues arrives at the next yield.
    std::function<void()> afterQuestion;

    bool askYesNo(const QString &text, DefaultAnswer defaultAnswer) override
    {
        QCoreApplication::processEvents();
        const bool answer = ScriptedPrompts::askYesNo(text, defaultAnswer);
        if (afterQuestion)
            std::exchange(afterQuestion, nullptr)();
        return answer;
    }
    void message(const QString &text) override
    {
        QCoreApplication::processEvents();
        ScriptedPrompts::message(text);
    }
};

// The file (and sheet) the tests that open the mapping window directly
// import from, as the console's choosing would hand it over.
transfer::ImportSource chosenSource;

InputMap *openMap(GridModel &entrants, qint64 draw)
{
    auto *map = new InputMap(chosenSource, &entrants, [draw] { return draw; });
    map->show();
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B"));
    return map;
}

void setRange(InputMap *map, int first, int last)
{
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QString::number(first));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QString::number(last));
}

QString fileRowsShown(InputMap *map)
{
    return map->findChild<QLabel *>(QStringLiteral("FileRows"))->text();
}

// count entrants 100001.. under a header row, as a CSV file or a workbook.
QString writeEntrants(const QString &folder, const QString &kind, int count)
{
    if (kind == QLatin1String("csv")) {
        QByteArray text = "工号,姓名\r\n";
        for (int i = 1; i <= count; ++i)
            text += QByteArray::number(100000 + i) + ",名" + QByteArray::number(i) + "\r\n";
        return writeFile(folder, QStringLiteral("entrants.csv"), text);
    }
    GridModel sheet;
    sheet.setCols(2);
    sheet.setRows(count + 1);
    sheet.setFixedRows(1);
    sheet.setTextMatrix(0, 0, QStringLiteral("工号"));
    sheet.setTextMatrix(0, 1, QStringLiteral("姓名"));
    for (int i = 1; i <= count; ++i) {
        sheet.setTextMatrix(i, 0, QString::number(100000 + i));
        sheet.setTextMatrix(i, 1, QStringLiteral("名%1").arg(i));
    }
    sheet.setColWidth(0, 1000);
    sheet.setColWidth(1, 1000);
    const QString path = QDir(folder).filePath(QStringLiteral("entrants.xlsx"));
    const bool written
        = transfer::ExportGridToWorkbook(grid::ExportTableOf(sheet), path, QStringLiteral("名单"));
    return written ? path : QString();
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void csvFromTheConsoleToTheTable();
    void workbookThroughTheSheetChooser_data();
    void workbookThroughTheSheetChooser();
    void cancelNeverImportsAndSettingsComeBack();
    void rangeIsOrderedAndLimited();
    void failedReadStoresNothing();
    void officeExportsNamedXlsThroughTheSheetChooser_data();
    void officeExportsNamedXlsThroughTheSheetChooser();
    void filesThatAreNoWorkbookAreNamed_data();
    void filesThatAreNoWorkbookAreNamed();
    void importRunsOnceUnderQueuedCloseAndConfirm_data();
    void importRunsOnceUnderQueuedCloseAndConfirm();
    void consoleStaysDisabledWhileThePreviewReads();
    void closingTheConsoleWhileSheetsAreListedEndsTheProgram();
    void enterInASpecCellOnlyFinishesTheCell();
    void escapeSavesTheSettings();
    void unsupportedFileIsRefusedAtThePreview();
    void aShortRangeIsImportedOnlyWhenTheOperatorSaysSo_data();
    void aShortRangeIsImportedOnlyWhenTheOperatorSaysSo();
    void clicksDuringTheQuestionAndTheMessageImportOnce();
    void aHeaderRowIsImportedOnlyWhenTheOperatorSaysSo_data();
    void aHeaderRowIsImportedOnlyWhenTheOperatorSaysSo();
    void nobodyAboveTheRangeIsLeftOutSilently();
    void theMessageCountsSkippedEmptyRows_data();
    void theMessageCountsSkippedEmptyRows();
    void furtherColumnsAreOfferedAndOnlyTheTickedStored();
    void hiddenSheetsAreMarkedAndNotTickedFirst();
    void exportReadsBackCellByCell();
    void exportAsksBeforeOverwriting();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestImport::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    chosenSource = {};
}

void TestImport::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->objectName() != QStringLiteral("FSet"))
            window->close();
    }
    delete m_prompts;
    delete m_db;
}

void TestImport::csvFromTheConsoleToTheTable()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const QString csv = writeFile(m_db->folder(), QStringLiteral("Staff.CSV"),
        transfer::EncodeCsvText(QStringLiteral("工号,姓名,部门\n"
                                               "0012,\"O'Brien, Pat\",销售\n"
                                               "\n"
                                               "13800138000,张三,研发\n"
                                               "ζξ,李\"四\",行政\n")));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(csv);
    console.pressButton(20);
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    QVERIFY(!console.isEnabled());
    QCOMPARE(map->source().path, csv); // not lower-cased: Linux names are case-sensitive
    QCOMPARE(map->preview()->TextMatrix(1, 1), QStringLiteral("工号"));
    QCOMPARE(map->preview()->TextMatrix(2, 2), QStringLiteral("O'Brien, Pat"));
    QCOMPARE(map->findChild<QLabel *>(QStringLiteral("FileRows"))->text(), QStringLiteral("文件共有5行"));
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B,\"（\",C,\"）\""));
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("2"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("10"));
    test::saveShot(map, QStringLiteral("InputMap-csv"));
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!openWindow(InputMap::caption()));
    QTRY_VERIFY(console.isEnabled());

    QCOMPARE(storedEntrants(draw),
        (QStringList { QStringLiteral("0012|O'Brien, Pat（销售）"),
            QStringLiteral("13800138000|张三（研发）"),
            QStringLiteral("ζξ|李四（行政）") })); // quotes in an unquoted field quote
    // The empty line and the rows past the end of the file are not stored, nor left in the grid.
    GridModel *grid = console.grid(2);
    QCOMPARE(grid->Rows() - grid->FixedRows(), 3);
    QCOMPARE(grid->TextMatrix(4, 2), QStringLiteral("3"));
    QVERIFY(!grid->TextMatrix(4, 0).isEmpty());
    // The range reaches past the file's last row: nothing to ask.
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入3条记录，跳过1个空行。") });
}

void TestImport::workbookThroughTheSheetChooser_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << QStringLiteral("entrants.xlsx") << QStringLiteral("员工名单.xlsx");
    QTest::newRow("xls") << QStringLiteral("entrants.xls") << QStringLiteral("名单.xls");
}

void TestImport::workbookThroughTheSheetChooser()
{
    QFETCH(QString, fixture);
    QFETCH(QString, name);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    // Chinese names all the way, as the operator's files have them.
    const QString folder = QDir(m_db->folder()).filePath(QStringLiteral("年会"));
    QVERIFY(QDir().mkpath(folder));
    const QString workbook = QDir(folder).filePath(name);
    QFile::remove(workbook);
    QVERIFY(QFile::copy(QStringLiteral(TOMBOLIX_TEST_DATA "/") + fixture, workbook));
    m_prompts->queueFileName(workbook);
    test::whenWindowOpens(&console, Sheets::caption(), [](QWidget *chooser) {
        auto *sheets = qobject_cast<Sheets *>(chooser);
        GridModel *grid = sheets->grid();
        if (grid->Rows() < 3 || grid->TextMatrix(1, 1) != QStringLiteral("√"))
            return; // the first sheet must come ticked
        test::saveShot(chooser, QStringLiteral("Sheets"));
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("IMG_0")), Qt::LeftButton);
    });
    console.pressButton(20);
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    QCOMPARE(map->source().sheet, QStringLiteral("名单"));
    test::saveShot(map, QStringLiteral("InputMap-workbook"));
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B"));
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("2"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("4"));
    m_prompts->queueAnswer(true);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!openWindow(InputMap::caption()));
    QCOMPARE(m_prompts->questions(),
        QStringList { QStringLiteral("文件共有11行，当前只导入第2行至第4行，是否继续？") });
    const QStringList rows = storedEntrants(draw);
    QVERIFY2(rows.size() >= 2, qPrintable(rows.join(QLatin1Char(';'))));
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入%1条记录。").arg(rows.size()) });
}

void TestImport::cancelNeverImportsAndSettingsComeBack()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const QString csv = writeFile(m_db->folder(), QStringLiteral("a.csv"), "1,a\r\n2,b\r\n");
    GridModel entrants;
    chosenSource.path = csv;
    {
        InputMap map(chosenSource, &entrants, [draw] { return draw; });
        map.show();
        map.setSpec(0, QStringLiteral("B"));
        map.setSpec(1, QStringLiteral("A"));
        map.findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("1"));
        map.findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("2"));
        click(&map, QStringLiteral("Com_1"));
    }
    QVERIFY(storedEntrants(draw).isEmpty());
    InputMap again(chosenSource, &entrants, [draw] { return draw; });
    QCOMPARE(again.spec(0), QStringLiteral("B"));
    QCOMPARE(again.spec(1), QStringLiteral("A"));
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("T_0"))->text(), QStringLiteral("1"));
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("T_1"))->text(), QStringLiteral("2"));
}

void TestImport::rangeIsOrderedAndLimited()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    QByteArray text;
    for (int i = 1; i <= 120; ++i)
        text += QByteArray::number(1000 + i) + ",n" + QByteArray::number(i) + "\r\n";
    chosenSource.path = writeFile(m_db->folder(), QStringLiteral("many.csv"), text);
    GridModel entrants;
    setupEntrants(entrants);
    auto run = [&](const QString &from, const QString &to) {
        auto *map = new InputMap(chosenSource, &entrants, [draw] { return draw; });
        map->show();
        map->setSpec(0, QStringLiteral("A"));
        map->setSpec(1, QStringLiteral("B"));
        map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(from);
        map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(to);
        click(map, QStringLiteral("Com_0"));
        const bool stillOpen = map->isVisible();
        if (stillOpen)
            map->close();
        return !stillOpen;
    };
    m_prompts->queueAnswer(false); // row 1 is left out on purpose
    m_prompts->queueAnswer(true); // the file has 120 rows
    QVERIFY(run(QStringLiteral("100"), QStringLiteral("2")));
    QCOMPARE(storedEntrants(draw).size(), 99);
    QCOMPARE(m_prompts->questions(),
        (QStringList {
            QStringLiteral("第1行（1001 n1）不在导入范围内，看上去也是名单中的人。是否从第1行起导入？"),
            QStringLiteral("文件共有120行，当前只导入第2行至第100行，是否继续？") }));
    QVERIFY(!run(QStringLiteral("1"), QStringLiteral("30001")));
    QCOMPARE(m_prompts->messages().last(), QStringLiteral("一次性导入数据不得超过3万条记录，请重新设置！"));
    QVERIFY(!run(QStringLiteral("abc"), QStringLiteral("-5")));
    QCOMPARE(storedEntrants(draw).size(), 99);
    QVERIFY(run(QStringLiteral("1"), QStringLiteral("30000"))); // a span of 29,999 is accepted
    QCOMPARE(storedEntrants(draw).size(), 99 + 120);
    QCOMPARE(m_prompts->questions().size(), 2);
    QCOMPARE(m_prompts->messages().last(), QStringLiteral("已导入120条记录。"));
}

void TestImport::failedReadStoresNothing()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    GridModel entrants;
    FSet console; // the entrant grid as the console sets it up
    console.tabs()->setCurrentIndex(2);
    GridModel *grid = console.grid(2);
    const int before = grid->Rows();
    const QString fake
        = writeFile(m_db->folder(), QStringLiteral("fake.xlsx"), "just some text, not a workbook");
    const grid::ImportResult result = grid::ImportEntrants(
        *grid, fake, QStringLiteral("Sheet1"), 1, 10, { QStringLiteral("A"), QStringLiteral("B") }, draw);
    QCOMPARE(result.error, 438);
    QCOMPARE(grid->Rows(), before);
    QCOMPARE(
        transfer::ImportErrorMessage(fake, result.error), QStringLiteral("文件类型不对，请选择Excel文档！"));
    QVERIFY(storedEntrants(draw).isEmpty());

    const grid::ImportResult missing
        = grid::ImportEntrants(*grid, m_db->folder() + QStringLiteral("/none.csv"), QString(), 1, 10,
            { QStringLiteral("A"), QString() }, draw);
    QVERIFY(missing.error != 0);
    QCOMPARE(grid->Rows(), before);
    QVERIFY(storedEntrants(draw).isEmpty());
}

void TestImport::filesThatAreNoWorkbookAreNamed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    const QString notExcel = QStringLiteral("文件类型不对，请选择Excel文档！");
    // A Word document renamed .xlsx is a zip package too, with no sheets.
    QTest::newRow("Word document named .xlsx")
        << QStringLiteral(TOMBOLIX_TEST_DATA "/word-document.xlsx") << notExcel;
    QTest::newRow("text named .xlsx")
        << QStringLiteral(TOMBOLIX_TEST_DATA "/not-a-workbook.xlsx") << notExcel;
    QTest::newRow("text named .xls") << QStringLiteral("list.xls") << notExcel;
    QTest::newRow(".txt") << QStringLiteral("list.txt")
                          << QStringLiteral("您选择的文件格式不支持导入，请选择CSV或XLS文件！");
}

// Chosen from the console, a file that is no workbook is named for what it
// is, and neither the sheet chooser nor the mapping dialog opens.
void TestImport::filesThatAreNoWorkbookAreNamed()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    if (!file.contains(u'/'))
        file = writeFile(m_db->folder(), file, "工号\t姓名\r\n1001\t甲\r\n");
    m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(file);
    QTimer::singleShot(2000, &console, [] { // a chooser that did open is closed, so the test goes on
        if (QWidget *chooser = openWindow(Sheets::caption()))
            chooser->close();
    });
    console.pressButton(20);
    QCOMPARE(m_prompts->messages(), QStringList { message });
    QVERIFY(!openWindow(Sheets::caption()));
    QVERIFY(!openWindow(InputMap::caption()));
    QVERIFY(console.isEnabled());
}

void TestImport::importRunsOnceUnderQueuedCloseAndConfirm_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("during");
    for (const char *kind : { "csv", "xlsx" }) {
        for (const char *during : { "cancel", "escape", "close box", "second OK" })
            QTest::addRow("%s, %s", kind, during) << QString::fromLatin1(kind) << QString::fromLatin1(during);
    }
}

// The reader and the column fitting yield to the event loop through the
// progress window. What the operator does meanwhile on the dialog neither
// deletes it under the import nor starts the import again.
void TestImport::importRunsOnceUnderQueuedCloseAndConfirm()
{
    QFETCH(QString, kind);
    QFETCH(QString, during);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const int count = 300; // past 200 rows the column fitting shows progress too
    chosenSource.path = writeEntrants(m_db->folder(), kind, count);
    QVERIFY(!chosenSource.path.isEmpty());
    chosenSource.sheet = kind == QLatin1String("xlsx") ? QStringLiteral("名单") : QString();
    YieldingProgress progress;
    GridModel entrants;
    setupEntrants(entrants);
    QPointer<InputMap> map = new InputMap(chosenSource, &entrants, [draw] { return draw; });
    map->show();
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B"));
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("2"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QString::number(count + 1));

    if (during == QLatin1String("cancel"))
        postClick(map->findChild<QPushButton *>(QStringLiteral("Com_1")));
    else if (during == QLatin1String("escape"))
        postKey(map->focusWidget() ? map->focusWidget() : map.data(), Qt::Key_Escape);
    else if (during == QLatin1String("close box"))
        QCoreApplication::postEvent(map->windowHandle(), new QCloseEvent);
    else
        postClick(map->findChild<QPushButton *>(QStringLiteral("Com_0")));
    click(map, QStringLiteral("Com_0"));

    QTRY_VERIFY(!map); // closed by the import's end, then deleted
    const QStringList stored = storedEntrants(draw);
    QCOMPARE(stored.size(), count);
    QCOMPARE(stored.first(), QStringLiteral("100001|名1"));
    QCOMPARE(stored.last(), QStringLiteral("100300|名300"));
    QCOMPARE(entrants.Rows() - entrants.FixedRows(), count);
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入300条记录。") });
    QVERIFY(!openWindow(Indicator::caption()));
}

// A click on the console's import button while the mapping dialog reads the
// workbook's preview finds the console disabled; it does not start a second
// import that would take the file away from the first.
void TestImport::consoleStaysDisabledWhileThePreviewReads()
{
    m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    const QString xlsx = QStringLiteral(TOMBOLIX_TEST_DATA "/entrants.xlsx");
    m_prompts->queueFileName(xlsx);
    YieldingProgress progress;
    progress.queueOnOpen(QStringLiteral("正在读取EXCEL数据……"),
        [&console] { postClick(console.findChild<QPushButton *>(QStringLiteral("Com_20"))); });
    test::whenWindowOpens(&console, Sheets::caption(), [](QWidget *chooser) {
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("IMG_0")), Qt::LeftButton);
    });
    console.pressButton(20);
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    QCoreApplication::processEvents(); // anything still queued
    QCOMPARE(m_prompts->texts(QStringLiteral("open")).size(), 1);
    QVERIFY(m_prompts->messages().isEmpty());
    QCOMPARE(map->source().path, xlsx);
    QCOMPARE(map->preview()->TextMatrix(2, 2), QStringLiteral("张三"));
    QVERIFY(!console.isEnabled());
}

// Closing the console ends the program. Closed while the sheets are listed,
// the quit comes before the chooser is shown; the wait for the chooser then
// gives up at once instead of spinning where no event loop runs any more.
void TestImport::closingTheConsoleWhileSheetsAreListedEndsTheProgram()
{
    m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(QStringLiteral(TOMBOLIX_TEST_DATA "/entrants.xlsx"));
    YieldingProgress progress;
    progress.queueOnOpen(QStringLiteral("正在读取EXCEL文件数据……"), [&console] {
        QCoreApplication::postEvent(console.windowHandle(), new QCloseEvent); // the close box
    });
    bool returned = false;
    QTimer::singleShot(0, &console, [&] {
        console.pressButton(20);
        returned = true;
    });
    QCoreApplication::exec(); // the program's run, until the console's close quits it
    QVERIFY(returned);
    QVERIFY(!console.isVisible());
    QVERIFY(!openWindow(InputMap::caption()));
}

// Enter in the cell editor of a spec commits the cell; only 确定 imports.
void TestImport::officeExportsNamedXlsThroughTheSheetChooser_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sheets");
    QTest::newRow("web page") << QStringLiteral("entrants-html.xls") << 2;
    QTest::newRow("XML Spreadsheet 2003") << QStringLiteral("entrants-xmlss.xls") << 3;
}

// HR systems' .xls files that are a web page or XML take the road of any
// workbook: listed, ticked, previewed and stored.
void TestImport::officeExportsNamedXlsThroughTheSheetChooser()
{
    QFETCH(QString, file);
    QFETCH(int, sheets);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(QStringLiteral(TOMBOLIX_TEST_DATA "/") + file);
    int listed = -1;
    test::whenWindowOpens(&console, Sheets::caption(), [&listed](QWidget *window) {
        auto *chooser = qobject_cast<Sheets *>(window);
        if (!chooser || chooser->grid()->TextMatrix(1, 1) != QStringLiteral("√"))
            return;
        listed = chooser->grid()->Rows() - 1;
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("IMG_0")), Qt::LeftButton);
    });
    console.pressButton(20);
    QCOMPARE(listed, sheets);
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    QCOMPARE(map->source().sheet, QStringLiteral("名单"));
    QCOMPARE(map->preview()->TextMatrix(2, 1), QStringLiteral("0012"));
    QCOMPARE(map->preview()->TextMatrix(2, 4), QStringLiteral("13800138000"));
    map->setSpec(0, QStringLiteral("A"));
    map->setSpec(1, QStringLiteral("B"));
    map->findChild<QLineEdit *>(QStringLiteral("T_0"))->setText(QStringLiteral("2"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("11"));
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!openWindow(InputMap::caption()));
    // The empty row 5 is not stored.
    QCOMPARE(storedEntrants(draw),
        QStringList({ "0012|张三", "12|李四", "1003|王五", "1005|欧阳娜娜", "1006|Zhang San", "1007|钱七",
            "1008|孙八", "1009|周九", "1010|吴十" }));
    const QStringList readerErrors = { QStringLiteral("无法打开XLS文件！"), transfer::WorkbookErrorMessage(5),
        transfer::WorkbookErrorMessage(9), transfer::WorkbookErrorMessage(438) };
    for (const QString &message : m_prompts->messages())
        QVERIFY2(!readerErrors.contains(message), qPrintable(message));
}

void TestImport::enterInASpecCellOnlyFinishesTheCell()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeEntrants(m_db->folder(), QStringLiteral("csv"), 120);
    GridModel entrants;
    setupEntrants(entrants);
    QPointer<InputMap> map = new InputMap(chosenSource, &entrants, [draw] { return draw; });
    map->show();
    map->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(map));
    auto *view = map->findChild<QAbstractItemView *>(QStringLiteral("M1"));
    auto typeIntoSpec = [&](int row, const QString &text, Qt::Key enter) {
        const QRect cell = view->visualRect(map->mapping()->index(map->mapping()->modelRow(row), 4));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor->objectName() == QStringLiteral("TT"));
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, enter);
        QVERIFY(map && map->isVisible());
        QVERIFY(!editor->isVisible());
    };
    typeIntoSpec(1, QStringLiteral("A"), Qt::Key_Return);
    QCOMPARE(map->spec(0), QStringLiteral("A"));
    QVERIFY(storedEntrants(draw).isEmpty());
    typeIntoSpec(2, QStringLiteral("B"), Qt::Key_Enter);
    QCOMPARE(map->spec(1), QStringLiteral("B"));
    // Enter again, on whatever has the focus now, still imports nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(map->findChild<QLineEdit *>(QStringLiteral("T_1")), Qt::Key_Return);
    QVERIFY(map->isVisible());
    QVERIFY(storedEntrants(draw).isEmpty());

    m_prompts->queueAnswer(true); // the default range stops short of the file's 121 rows
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->questions().size(), 1);
    const QStringList stored = storedEntrants(draw);
    QCOMPARE(stored.size(), 99);
    QCOMPARE(stored.first(), QStringLiteral("100001|名1"));
}

void TestImport::escapeSavesTheSettings()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeEntrants(m_db->folder(), QStringLiteral("csv"), 10);
    GridModel entrants;
    QPointer<InputMap> map = new InputMap(chosenSource, &entrants, [draw] { return draw; });
    map->show();
    map->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(map));
    map->setSpec(0, QStringLiteral("B"));
    map->setSpec(1, QStringLiteral("A,\"先生\""));
    auto *from = map->findChild<QLineEdit *>(QStringLiteral("T_0"));
    from->setFocus();
    from->selectAll();
    QTest::keyClicks(from, QStringLiteral("3"));
    map->findChild<QLineEdit *>(QStringLiteral("T_1"))->setText(QStringLiteral("7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!map);
    QVERIFY(storedEntrants(draw).isEmpty());

    const QString section = QStringLiteral("ImputMap");
    QCOMPARE(ReadRegValue(AppName, section, QStringLiteral("T(0)"), QString()), QStringLiteral("3"));
    QCOMPARE(ReadRegValue(AppName, section, QStringLiteral("T(1)"), QString()), QStringLiteral("7"));
    QCOMPARE(ReadRegValue(AppName, section, QStringLiteral("I(0)"), QString()), QStringLiteral("B"));
    QCOMPARE(ReadRegValue(AppName, section, QStringLiteral("I(1)"), QString()), QStringLiteral("A,\"先生\""));
    InputMap again(chosenSource, &entrants, [draw] { return draw; });
    QCOMPARE(again.spec(1), QStringLiteral("A,\"先生\""));
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("T_0"))->text(), QStringLiteral("3"));
}

void TestImport::unsupportedFileIsRefusedAtThePreview()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeFile(m_db->folder(), QStringLiteral("list.txt"), "1,a\r\n");
    chosenSource.sheet = QStringLiteral("x");
    GridModel entrants;
    InputMap map(chosenSource, &entrants, [draw] { return draw; });
    QCOMPARE(m_prompts->messages(),
        QStringList { QStringLiteral("您选择的文件格式不支持导入，请选择CSV或XLS文件！") });
    QVERIFY(map.source().path.isEmpty());
    map.show();
    click(&map, QStringLiteral("Com_0"));
    QVERIFY(!map.isVisible());
    QVERIFY(storedEntrants(draw).isEmpty());
}

void TestImport::aShortRangeIsImportedOnlyWhenTheOperatorSaysSo_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("csv") << QStringLiteral("csv");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
}

// A list of 300 under its header, and the dialog's default range of 2 to 100:
// the operator is asked before 201 entrants are left behind.
void TestImport::aShortRangeIsImportedOnlyWhenTheOperatorSaysSo()
{
    QFETCH(QString, kind);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeEntrants(m_db->folder(), kind, 300);
    QVERIFY(!chosenSource.path.isEmpty());
    chosenSource.sheet = kind == QLatin1String("xlsx") ? QStringLiteral("名单") : QString();
    GridModel entrants;
    setupEntrants(entrants);
    const QString question = QStringLiteral("文件共有301行，当前只导入第2行至第100行，是否继续？");

    QPointer<InputMap> map = openMap(entrants, draw);
    QCOMPARE(map->findChild<QLineEdit *>(QStringLiteral("T_0"))->text(), QStringLiteral("2"));
    QCOMPARE(map->findChild<QLineEdit *>(QStringLiteral("T_1"))->text(), QStringLiteral("100"));
    QCOMPARE(fileRowsShown(map), QStringLiteral("文件共有301行"));
    test::saveShot(map, QStringLiteral("InputMap-file-rows-") + kind);
    click(map, QStringLiteral("Com_0")); // 否, the default: back to the dialog
    QCOMPARE(m_prompts->questions(), QStringList { question });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QVERIFY(map && map->isVisible());
    QVERIFY(storedEntrants(draw).isEmpty());
    QCOMPARE(entrants.Rows(), entrants.FixedRows());
    QVERIFY(m_prompts->messages().isEmpty());

    m_prompts->queueAnswer(true); // 是: the range as set
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->questions(), QStringList({ question, question }));
    QCOMPARE(storedEntrants(draw).size(), 99);
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入99条记录。") });

    // A range that reaches the last row, or past it, asks nothing.
    for (const int last : { 301, 500 }) {
        m_prompts->clear();
        map = openMap(entrants, draw);
        setRange(map, 2, last);
        click(map, QStringLiteral("Com_0"));
        QTRY_VERIFY(!map);
        QVERIFY(m_prompts->questions().isEmpty());
        QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入300条记录。") });
    }
    QCOMPARE(storedEntrants(draw).size(), 99 + 300 + 300);
}

// The question and the closing message are modal boxes that yield: a second
// 确定 and a close arriving meanwhile neither import twice nor delete the
// dialog under its import.
void TestImport::clicksDuringTheQuestionAndTheMessageImportOnce()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeEntrants(m_db->folder(), QStringLiteral("csv"), 150);
    GridModel entrants;
    setupEntrants(entrants);
    YieldingPrompts prompts;
    QPointer<InputMap> map = openMap(entrants, draw);
    setRange(map, 2, 100);
    auto *ok = map->findChild<QPushButton *>(QStringLiteral("Com_0"));
    auto pressAndClose = [&] {
        postClick(ok);
        QCoreApplication::postEvent(map->windowHandle(), new QCloseEvent);
        postKey(map->focusWidget() ? map->focusWidget() : map.data(), Qt::Key_Escape);
    };
    pressAndClose(); // arrives during the question
    prompts.afterQuestion = pressAndClose; // and these during the import and the message
    prompts.queueAnswer(true);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(prompts.questions().size(), 1);
    QCOMPARE(prompts.messages(), QStringList { QStringLiteral("已导入99条记录。") });
    QCOMPARE(storedEntrants(draw).size(), 99);
    QCOMPARE(entrants.Rows() - entrants.FixedRows(), 99);
}

void TestImport::aHeaderRowIsImportedOnlyWhenTheOperatorSaysSo_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("first"); // 0: the range as the dialog shows it
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("stored");
    const QByteArray titled = "2024年会名单\r\n工号,姓名\r\n1001,甲\r\n1002,乙\r\n";
    const QString titledQuestion = QStringLiteral("第2行像是表头（工号、姓名），是否也作为名单导入？");
    QTest::newRow("title above the header, 否")
        << titled << 0 << 0 << false << titledQuestion << QStringList { "1001|甲", "1002|乙" };
    QTest::newRow("title above the header, 是")
        << titled << 0 << 0 << true << titledQuestion << QStringList { "工号|姓名", "1001|甲", "1002|乙" };
    QTest::newRow("only the header in the range")
        << titled << 2 << 2 << false << titledQuestion << QStringList();
    QTest::newRow("text where the numbers are digits")
        << QByteArray("Staff No,Full name\r\n1001,甲\r\n1002,乙\r\n") << 1 << 3 << false
        << QStringLiteral("第1行像是表头（Staff No、Full name），是否也作为名单导入？")
        << QStringList { "1001|甲", "1002|乙" };
    QTest::newRow("no header") << QByteArray("1001,甲\r\nA-7,乙\r\n") << 1 << 2 << false << QString()
                               << QStringList { "1001|甲", "A-7|乙" };
}

// A title row above the header pushes the header into the default range: the
// operator is asked, and 否 (the default) leaves out that row only. The range
// the dialog offers never reaches past the file's last row.
void TestImport::aHeaderRowIsImportedOnlyWhenTheOperatorSaysSo()
{
    QFETCH(QByteArray, text);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QStringList, stored);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeFile(m_db->folder(), QStringLiteral("名单.csv"), text);
    GridModel entrants;
    setupEntrants(entrants);
    QPointer<InputMap> map = openMap(entrants, draw);
    QCOMPARE(map->findChild<QLineEdit *>(QStringLiteral("T_1"))->text(), QString::number(map->fileRows()));
    if (first > 0)
        setRange(map, first, last);
    if (yes)
        m_prompts->queueAnswer(true);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->questions(), question.isEmpty() ? QStringList() : QStringList { question });
    if (!question.isEmpty())
        QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(storedEntrants(draw), stored);
    QCOMPARE(m_prompts->messages(), QStringList { QStringLiteral("已导入%1条记录。").arg(stored.size()) });
}

// The evening's guest: the staff file's start row 3 was kept for the
// guests' file, whose first guest is on row 2. A range belongs to the file
// it was chosen for, and an entrant above the range is named before importing.
void TestImport::nobodyAboveTheRangeIsLeftOutSilently()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    GridModel entrants;
    setupEntrants(entrants);
    chosenSource.path = writeFile(
        m_db->folder(), QStringLiteral("员工.csv"), "2024年会名单\r\n工号,姓名\r\n1001,甲\r\n1002,乙\r\n");
    QPointer<InputMap> map = openMap(entrants, draw);
    setRange(map, 3, 4);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->questions(), QStringList());

    const QString guests = writeFile(
        m_db->folder(), QStringLiteral("来宾.csv"), "编号,姓名\r\nG001,夏敏英\r\nG002,王芳\r\nG003,李雷\r\n");
    chosenSource.path = guests;
    map = openMap(entrants, draw);
    QCOMPARE(map->findChild<QLineEdit *>(QStringLiteral("T_0"))->text(), QStringLiteral("2"));
    // Set to start below the first guest, the operator is asked, 是 first.
    setRange(map, 3, 4);
    m_prompts->queueAnswer(true);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->questions(),
        QStringList { QStringLiteral(
            "第2行（G001 夏敏英）不在导入范围内，看上去也是名单中的人。是否从第2行起导入？") });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::Yes);
    QCOMPARE(storedEntrants(draw),
        (QStringList { "1001|甲", "1002|乙", "G001|夏敏英", "G002|王芳", "G003|李雷" }));
    // Back to the same file, its own range comes back.
    map = openMap(entrants, draw);
    QCOMPARE(map->findChild<QLineEdit *>(QStringLiteral("T_0"))->text(), QStringLiteral("3"));
    map->close();
}

void TestImport::theMessageCountsSkippedEmptyRows_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("message");
    // An empty line, a line without number and name, empty lines at the end.
    QTest::newRow("csv") << QStringLiteral("gaps.csv") << QString() << 6 << 6
                         << QStringLiteral("已导入3条记录，跳过2个空行。");
    QTest::newRow("csv, range past the end") << QStringLiteral("gaps.csv") << QString() << 6 << 40
                                             << QStringLiteral("已导入3条记录，跳过2个空行。");
    QTest::newRow("csv, range before the gaps")
        << QStringLiteral("gaps.csv") << QString() << 6 << 2 << QStringLiteral("已导入1条记录。");
    QTest::newRow("xlsx, an empty row")
        << QStringLiteral(TOMBOLIX_TEST_DATA "/hidden-sheets.xlsx") << QStringLiteral("名单") << 6 << 6
        << QStringLiteral("已导入4条记录，跳过1个空行。");
}

void TestImport::theMessageCountsSkippedEmptyRows()
{
    QFETCH(QString, file);
    QFETCH(QString, sheet);
    QFETCH(int, fileRows);
    QFETCH(int, last);
    QFETCH(QString, message);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = file.endsWith(QLatin1String(".csv"))
        ? writeFile(m_db->folder(), file, "工号,姓名\r\n1,a\r\n\r\n3,c\r\n,,备注\r\n5,e\r\n\r\n\r\n")
        : file;
    chosenSource.sheet = sheet;
    GridModel entrants;
    setupEntrants(entrants);
    QPointer<InputMap> map = openMap(entrants, draw);
    QCOMPARE(map->fileRows(), fileRows);
    setRange(map, 2, last);
    m_prompts->queueAnswer(true);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(m_prompts->messages(), QStringList { message });
}

// The file's other columns are offered under their captions, ticked when
// they have one (but for the file's own 序号); what the operator unticks,
// and a column without a caption, stays out of the draw.
void TestImport::furtherColumnsAreOfferedAndOnlyTheTickedStored()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    chosenSource.path = writeFile(m_db->folder(), QStringLiteral("staff.csv"),
        "序号,工号,姓名,部门, 入职 \t日期 ,,类别\r\n1,1001,张三,销售部,2020-01-05,x,A\r\n"
        "2,1002,李四,研发部,2021-03-04,y,B\r\n");
    GridModel entrants;
    setupEntrants(entrants);
    QPointer<InputMap> map = openMap(entrants, draw);
    map->setSpec(0, QStringLiteral("B"));
    map->setSpec(1, QStringLiteral("C"));
    setRange(map, 2, 3);
    QListWidget *list = map->attributeList();
    QStringList offered;
    for (int i = 0; i < list->count(); ++i)
        offered << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "-");
    QCOMPARE(offered,
        QStringList({ "序号（A列）-", "部门（D列）+", "入职 日期（E列）+", "列F（F列）-", "类别（G列）+" }));
    test::saveShot(map, QStringLiteral("InputMap-attributes"));
    list->setCurrentRow(4);
    QTest::keyClick(list, Qt::Key_Space);
    click(map, QStringLiteral("Com_0"));
    QTRY_VERIFY(!map);
    QCOMPARE(storedEntrants(draw), QStringList({ "1001|张三", "1002|李四" }));
    data::AttributeStore store;
    QCOMPARE(store.names(draw), std::optional<QStringList>({ "部门", "入职 日期" }));
    QCOMPARE(grid::AttributeNamesOf(entrants), store.names(draw).value());
    QCOMPARE(store.valuesOf(entrants.TextMatrix(3, 0).toLongLong()),
        std::optional<QStringList>({ "研发部", "2021-03-04" }));
}

// Sheets kept out of sight are marked and not ticked first; the one chosen is
// handed on under its own name.
void TestImport::hiddenSheetsAreMarkedAndNotTickedFirst()
{
    m_db->addDraw(QStringLiteral("年会"));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(2);
    m_prompts->queueFileName(QStringLiteral(TOMBOLIX_TEST_DATA "/hidden-sheets.xlsx"));
    QStringList listed;
    test::whenWindowOpens(&console, Sheets::caption(), [&listed](QWidget *window) {
        auto *chooser = qobject_cast<Sheets *>(window);
        if (!chooser)
            return;
        GridModel *grid = chooser->grid();
        for (int r = 1; r < grid->Rows(); ++r)
            listed << grid->TextMatrix(r, 1) + QLatin1Char('|') + grid->TextMatrix(r, 2);
        test::saveShot(chooser, QStringLiteral("Sheets-hidden"));
        // The hidden cover is the one wanted this time.
        auto *view = chooser->findChild<QAbstractItemView *>(QStringLiteral("SHL"));
        const QRect cell = view->visualRect(grid->index(grid->modelRow(1), 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("IMG_0")), Qt::LeftButton);
    });
    console.pressButton(20);
    QCOMPARE(listed, QStringList({ "|封面(隐藏)", "√|名单", "|备用(隐藏)", "|Sheet4" }));
    auto *map = qobject_cast<InputMap *>(openWindow(InputMap::caption()));
    QVERIFY(map);
    QCOMPARE(map->source().sheet, QStringLiteral("封面"));
    QCOMPARE(map->preview()->TextMatrix(1, 1), QStringLiteral("年会名单"));
    QCOMPARE(fileRowsShown(map), QStringLiteral("文件共有1行"));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestImport::exportReadsBackCellByCell()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 award
        = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1, true, false, QStringLiteral("电视, 55\""));
    const QString insert = QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)");
    QVERIFY(data::ExecuteSql(
        insert, { draw, award, QStringLiteral("0012"), QStringLiteral("O'Brien, \"Pat\"") }));
    QVERIFY(data::ExecuteSql(insert, { draw, award, QStringLiteral("13800138000"), QStringLiteral("张三") }));
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(3);
    GridModel *results = console.grid(3);
    QCOMPARE(results->Rows(), 4);

    // The visible block: the caption row and the data rows, columns 2..6.
    QStringList expected;
    for (int r = 1; r < results->Rows(); ++r) {
        QStringList cells;
        for (int c = 2; c < results->Cols(); ++c)
            cells << results->TextMatrix(r, c);
        expected << cells.join(QLatin1Char('|'));
    }

    const QString csv = QDir(m_db->folder()).filePath(QStringLiteral("获奖名单.CSV"));
    m_prompts->queueFileName(csv);
    console.pressButton(31);
    QFile written(csv);
    QVERIFY(written.open(QIODevice::ReadOnly));
    transfer::CsvLines lines(transfer::DecodeText(written.readAll()));
    QStringList read;
    while (const std::optional<QStringList> record = transfer::NextCsvRecord(lines, nullptr))
        read << record->join(QLatin1Char('|'));
    QCOMPARE(read, expected);

    const QString workbook = QDir(m_db->folder()).filePath(QStringLiteral("获奖名单.xlsx"));
    m_prompts->queueFileName(workbook);
    console.pressButton(31);
    int error = 0;
    auto book = transfer::XlsxWorkbook::open(workbook, &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList { QStringLiteral("澄曜抽奖") });
    QCOMPARE(book->selectSheet(QStringLiteral("澄曜抽奖")), 0);
    QStringList sheet;
    for (int r = 1; r <= 3; ++r) {
        QStringList cells;
        for (int c = 1; c <= 5; ++c)
            cells << book->cell(r, c);
        sheet << cells.join(QLatin1Char('|'));
    }
    QCOMPARE(sheet, expected);
    QCOMPARE(m_prompts->messages(),
        QStringList(
            { QStringLiteral("已导出2行：获奖名单.CSV"), QStringLiteral("已导出2行：获奖名单.xlsx") }));
}

void TestImport::exportAsksBeforeOverwriting()
{
    GridModel grid;
    grid.setCols(2);
    grid.setRows(2);
    grid.setTextMatrix(0, 0, QStringLiteral("a"));
    const QString path = writeFile(m_db->folder(), QStringLiteral("old.csv"), "old");
    m_prompts->queueFileName(path);
    m_prompts->queueAnswer(false);
    QVERIFY(!ExportGrid(grid, QStringLiteral("澄曜抽奖")));
    QCOMPARE(m_prompts->questions(), QStringList { QStringLiteral("该文件已存在，是否覆盖？") });
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
    file.close();
    QVERIFY(ExportGrid(grid, QStringLiteral("澄曜抽奖"))); // cancelled: nothing written
    GridModel empty;
    QVERIFY(!ExportGrid(empty, QStringLiteral("澄曜抽奖")));
    // A CSV file that cannot be written is told, as a workbook is.
    m_prompts->queueFileName(m_db->folder() + QStringLiteral("/gone/名单.csv"));
    QVERIFY(!ExportGrid(grid, QStringLiteral("澄曜抽奖")));
    QCOMPARE(m_prompts->messages(),
        QStringList({ QStringLiteral("表格中没有数据！"), QStringLiteral("文件保存出错！") }));
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
