#include "support/testsupport.h"

#include "common/settingsstore.h"
#include "data/database.h"
#include "data/schema.h"
#include "draw/stagepace.h"
#include "grid/gridmodel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <memory>

namespace tombolix::test {

namespace {

qint64 insert(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query(data::connection());
    query.prepare(sql);
    for (const QVariant &value : binds)
        query.addBindValue(value);
    if (!query.exec())
        return -1;
    return query.lastInsertId().toLongLong();
}

} // namespace

TestDatabase::TestDatabase()
{
    m_valid = m_dir.isValid() && schema::createEmptyDatabase(path());
    data::setDatabasePath(path());
    setSettingsFile(m_dir.filePath(QStringLiteral("settings.ini")));
    // Tests of other things than the hall's numbers go past them.
    draw::SetHallNumbersForTesting(QStringLiteral("7"));
    // and past the stage's guard after a stop and its landing.
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, false });
}

TestDatabase::~TestDatabase()
{
    draw::SetHallNumbersForTesting(std::nullopt);
    draw::SetStagePaceForTesting(std::nullopt);
    data::CloseConnection();
    data::setDatabasePath(QString());
    setSettingsFile(QString());
}

QString TestDatabase::path() const
{
    return m_dir.filePath(QStringLiteral("Data.mdb"));
}

qint64 TestDatabase::addDraw(const QString &name, const QString &speed, const QString &mask,
    const QString &timer, const QString &length, const QString &picture)
{
    return insert(
        QStringLiteral(
            "INSERT INTO 奖次表 (抽奖内容, 底图, 速度, 屏蔽, 定时, 定长) VALUES (?, ?, ?, ?, ?, ?)"),
        { name, picture, speed, mask, timer, length });
}

qint64 TestDatabase::addAward(qint64 draw, int order, const QString &name, int count, int perRound, bool show,
    bool repeat, const QString &prize)
{
    return insert(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 重复, 奖品) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        { draw, order, name, count, perRound, show ? 1 : 0, repeat ? 1 : 0, prize });
}

qint64 TestDatabase::addEntrant(qint64 draw, const QString &number, const QString &name)
{
    return insert(
        QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"), { draw, number, name });
}

void TestDatabase::addEntrants(qint64 draw, int count, int first, int width)
{
    data::Transaction transaction;
    QSqlQuery query(data::connection());
    query.prepare(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        const int number = first + i;
        query.bindValue(0, draw);
        query.bindValue(1, QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0')));
        query.bindValue(2, QStringLiteral("员工%1").arg(number));
        QVERIFY(query.exec());
    }
    QVERIFY(transaction.commit());
}

QWidget *openWindow(const QString &caption)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == caption)
            return window;
    }
    return nullptr;
}

void whenWindowOpens(QObject *context, const QString &caption, const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer(context);
    timer->setInterval(20);
    auto left = std::make_shared<int>(1500);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, caption, act, left] {
        QWidget *window = openWindow(caption);
        if (window || --*left <= 0) {
            timer->stop();
            timer->deleteLater();
        }
        if (window) {
            const std::function<void(QWidget *)> run = act; // the timer may go while it runs
            run(window);
        }
    });
    timer->start();
}

void saveShot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("TOMBOLIX_SHOTS");
    if (folder.isEmpty() || !widget)
        return;
    // What the audience sees is pictured from a real X server only (the
    // screen tests); off screen the stage can look right and be blank there.
    if (widget->window()->objectName() == QLatin1String("MF")
        && QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace tombolix::test

namespace tombolix::test {

QStringList column(const grid::GridModel &grid, int col)
{
    QStringList texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        texts << grid.TextMatrix(r, col);
    return texts;
}

int appendEntrantRow(grid::GridModel &grid, const QString &key, const QString &number, const QString &name)
{
    const int row = grid.addRow();
    grid.setTextMatrix(row, 0, key);
    grid.setTextMatrix(row, 3, number);
    grid.setTextMatrix(row, 4, name);
    return row;
}

QStringList storedEntrants(qint64 draw)
{
    QStringList rows;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT 号码, 姓名 FROM 号码表 WHERE CID=? ORDER BY ID"), { draw });
         !rs.eof(); rs.moveNext())
        rows << rs.field(0).toString() + QLatin1Char('|') + rs.field(1).toString();
    return rows;
}

QStringList wonAgainAfterANoRepeatWin(qint64 draw)
{
    QStringList again;
    QSet<QString> gone;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT 结果表.号码, 奖项表.重复 FROM 结果表 JOIN 奖项表 ON 结果表.WID=奖项表.ID "
                            "WHERE 结果表.CID=? ORDER BY 结果表.ID"),
             { draw });
         !rs.eof(); rs.moveNext()) {
        const QString number = rs.field(0).toString();
        if (gone.contains(number))
            again << number;
        if (!rs.field(1).toBool())
            gone.insert(number);
    }
    return again;
}

draw::StartReport startDraw(
    draw::DrawSession &session, qint64 draw, draw::Entry entry, const QString &hallNumbers)
{
    const draw::StartReport report = session.start(draw, entry);
    if (session.needsHallNumbers() && !session.lockHallNumbers(hallNumbers))
        qWarning("the hall's numbers were not stored");
    return report;
}

int drawToTheEnd(draw::DrawSession &session)
{
    int rounds = 0;
    while (!session.DrawFinished() && session.beginRound()) {
        if (session.StopAndRecord(true, false).recorded == 0)
            break;
        ++rounds;
    }
    return rounds;
}

std::vector<qint64> holdRounds(qint64 draw, int rounds)
{
    draw::DrawSession session;
    startDraw(session, draw, draw::Entry::Continue);
    std::vector<qint64> ids;
    for (int round = 0; round < rounds && session.beginRound(); ++round)
        ids = session.StopAndRecord(true, false).resultIds;
    return ids;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

RecordingProgress::RecordingProgress()
{
    m_previous = setProgressSink(this);
}

RecordingProgress::~RecordingProgress()
{
    setProgressSink(m_previous);
}

void RecordingProgress::open(const QString &text, qint64 total)
{
    opened << QStringLiteral("%1 %2").arg(text).arg(total);
}

void RecordingProgress::advance(qint64 step, const QString &)
{
    steps += step;
}

void RecordingProgress::close()
{
    ++closes;
}

QAction *menuAction(const QMenu *menu, const char *objectName)
{
    for (QAction *action : menu->actions()) {
        if (action->objectName() == QLatin1String(objectName))
            return action;
    }
    return nullptr;
}

QStringList OtherThanRecordSaved(const QStringList &messages)
{
    QStringList others;
    for (const QString &message : messages) {
        if (!message.startsWith(QStringLiteral("公证记录已保存：")))
            others << message;
    }
    return others;
}

} // namespace tombolix::test
