#include "data/attributestore.h"

#include "data/storesupport.h"
#include "data/tables.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>
#include <sqlite3.h>

namespace tombolix::data {

namespace {
constexpr QChar Separator = QChar(0x1F);
constexpr QChar Escape = QChar(0x1B);

const QString NamesTable = QStringLiteral("属性名表");
const QString ValuesTable = QStringLiteral("人员属性表");
} // namespace

QString EncodeAttributes(const QStringList &values)
{
    qsizetype used = values.size();
    while (used > 0 && values.at(used - 1).isEmpty())
        --used;
    QString text;
    for (qsizetype i = 0; i < used; ++i) {
        if (i > 0)
            text += Separator;
        for (QChar c : values.at(i)) {
            if (c == Separator || c == Escape)
                text += Escape;
            text += c;
        }
    }
    return text;
}

QStringList DecodeAttributes(QStringView text)
{
    QStringList values;
    if (text.isEmpty())
        return values;
    QString value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == Escape && i + 1 < text.size()) {
            value += text[++i];
        } else if (c == Separator) {
            values << value;
            value.clear();
        } else {
            value += c;
        }
    }
    values << value;
    return values;
}

QString AttributeAt(QStringView text, int place)
{
    int at = 0;
    QString value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == Separator) {
            if (at == place)
                return value;
            ++at;
        } else if (at == place) {
            value += c == Escape && i + 1 < text.size() ? text[++i] : c;
        } else if (c == Escape) {
            ++i;
        }
    }
    return at == place ? value : QString();
}

namespace {

// Rows read through SQLite's own interface on the connection's handle: a
// million rows cost a fraction of what QtSql's values would. Nothing when
// the connection is not SQLite's.
// Rows of (integer, text) read on an SQLite connection; nothing when the
// statement could not be prepared.
std::optional<bool> readRows(sqlite3 *native, const QString &sql, const QList<qint64> &binds,
    const std::function<void(qint64, QStringView)> &each)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare16_v2(native, sql.utf16(), -1, &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    for (int i = 0; i < binds.size(); ++i)
        sqlite3_bind_int64(statement, i + 1, binds.at(i));
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(statement, 1));
        const qsizetype length = text ? sqlite3_column_bytes16(statement, 1) / 2 : 0;
        each(sqlite3_column_int64(statement, 0), QStringView(text, length));
    }
    sqlite3_finalize(statement);
    return step == SQLITE_DONE;
}

std::optional<bool> readNatively(Database &db, const QString &sql, const QList<qint64> &binds,
    const std::function<void(qint64, QStringView)> &each)
{
    if (!db.open())
        return false;
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return std::nullopt;
    return readRows(*static_cast<sqlite3 *const *>(handle.constData()), sql, binds, each);
}

QString valuesBetween()
{
    return QStringLiteral("SELECT 人员ID, 属性 FROM %1 WHERE 人员ID BETWEEN ? AND ? ORDER BY 人员ID")
        .arg(ValuesTable);
}

} // namespace

QString DecodeAttribute(QStringView text, qsizetype place)
{
    return AttributeAt(text, int(place));
}

std::optional<QStringList> AttributeStore::names(qint64 drawId)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT 名称 FROM %1 WHERE CID=? ORDER BY 序号").arg(NamesTable), { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QStringList names;
    for (; !rs.eof(); rs.moveNext())
        names << rs.field(0).toString();
    return names;
}

std::optional<QList<int>> AttributeStore::placesOf(qint64 drawId, const QStringList &wanted)
{
    std::optional<QStringList> known = names(drawId);
    if (!known)
        return std::nullopt;
    QList<int> places;
    for (const QString &name : wanted) {
        qsizetype place = known->indexOf(name);
        if (place < 0) {
            place = known->size();
            if (!m_db.execute(
                    QStringLiteral("INSERT INTO %1 (CID, 序号, 名称) VALUES (?, ?, ?)").arg(NamesTable),
                    { drawId, place, name }))
                return std::nullopt;
            known->append(name);
        }
        places << int(place);
    }
    return places;
}

std::optional<QStringList> AttributeStore::valuesOf(qint64 entrantId)
{
    Recordset rs
        = m_db.select(QStringLiteral("SELECT 属性 FROM %1 WHERE 人员ID=?").arg(ValuesTable), { entrantId });
    if (!rs.isOpen())
        return std::nullopt;
    return rs.eof() ? QStringList() : DecodeAttributes(rs.field(0).toString());
}

bool AttributeStore::save(qint64 entrantId, const QStringList &values)
{
    const QString text = EncodeAttributes(values);
    if (text.isEmpty())
        return deleteWhere(m_db, ValuesTable, QStringLiteral("人员ID"), entrantId);
    return m_db.execute(
        QStringLiteral("INSERT OR REPLACE INTO %1 (人员ID, 属性) VALUES (?, ?)").arg(ValuesTable),
        { entrantId, text });
}

bool AttributeStore::forEachNumber(qint64 drawId, const std::function<void(qint64, QStringView)> &each)
{
    const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4=? ORDER BY %1")
                            .arg(entrants::Id, entrants::Number, entrants::Table, entrants::DrawId);
    if (const std::optional<bool> done = readNatively(m_db, sql, { drawId }, each))
        return *done;
    Recordset rs = m_db.select(sql, { drawId });
    if (!rs.isOpen())
        return false;
    for (; !rs.eof(); rs.moveNext())
        each(rs.field(0).toLongLong(), rs.field(1).toString());
    return true;
}

bool AttributeStore::forEachWithinDraw(qint64 drawId, const std::function<void(qint64, QStringView)> &each)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT MIN(%1), MAX(%1) FROM %2 WHERE %3=?")
                                   .arg(entrants::Id, entrants::Table, entrants::DrawId),
        { drawId });
    if (!rs.isOpen())
        return false;
    if (rs.eof() || rs.field(0).isNull())
        return true;
    const qint64 first = rs.field(0).toLongLong();
    const qint64 last = rs.field(1).toLongLong();
    rs.close();
    return forEachBetween(first, last, each);
}

bool ForEachValueWithinDraw(
    const QString &path, qint64 drawId, const std::function<void(qint64, QStringView)> &each)
{
    sqlite3 *native = nullptr;
    const QByteArray file = QFileInfo(path).absoluteFilePath().toUtf8();
    if (sqlite3_open_v2(file.constData(), &native, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(native);
        return false;
    }
    sqlite3_busy_timeout(native, 5000);
    qint64 first = 0, last = -1;
    const QString span = QStringLiteral("SELECT MIN(%1), MAX(%1) FROM %2 WHERE %3=?")
                             .arg(entrants::Id, entrants::Table, entrants::DrawId);
    // The last ID comes as the text of the second column; none for a draw
    // without entrants.
    bool done = readRows(native, span, { drawId }, [&](qint64 id, QStringView text) {
        first = id;
        last = text.isEmpty() ? -1 : text.toLongLong();
    }).value_or(false);
    if (done && last >= first)
        done = readRows(native, valuesBetween(), { first, last }, each).value_or(false);
    sqlite3_close(native);
    return done;
}

bool AttributeStore::forEachBetween(
    qint64 first, qint64 last, const std::function<void(qint64, QStringView)> &each)
{
    const QString sql = valuesBetween();
    if (const std::optional<bool> done = readNatively(m_db, sql, { first, last }, each))
        return *done;
    Recordset rs = m_db.select(sql, { first, last });
    if (!rs.isOpen())
        return false;
    for (; !rs.eof(); rs.moveNext())
        each(rs.field(0).toLongLong(), rs.field(1).toString());
    return true;
}

namespace {

// The values laid out at their places among the draw's names.
QStringList placed(const QStringList &values, const QList<int> &places)
{
    QStringList laid;
    for (qsizetype k = 0; k < values.size() && k < places.size(); ++k) {
        const int place = places.at(k);
        while (laid.size() <= place)
            laid << QString();
        laid[place] = values.at(k);
    }
    return laid;
}

bool inOrder(const QList<int> &places)
{
    for (qsizetype k = 0; k < places.size(); ++k) {
        if (places.at(k) != k)
            return false;
    }
    return true;
}

} // namespace

namespace {

// Stores one entrant's text, or removes its row for an empty one, through
// SQLite's own interface on the connection's handle: for the thousands of
// an import, binding through QtSql costs more than storing them does.
class NativeStatements
{
public:
    explicit NativeStatements(Database &db)
    {
        const QVariant handle = db.connection().driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        sqlite3 *const connection = *static_cast<sqlite3 *const *>(handle.constData());
        const QByteArray store = QStringLiteral("INSERT OR REPLACE INTO %1 (人员ID, 属性) VALUES (?, ?)")
                                     .arg(ValuesTable)
                                     .toUtf8();
        const QByteArray remove = QStringLiteral("DELETE FROM %1 WHERE 人员ID=?").arg(ValuesTable).toUtf8();
        if (sqlite3_prepare_v2(connection, store.constData(), int(store.size()), &m_store, nullptr)
                != SQLITE_OK
            || sqlite3_prepare_v2(connection, remove.constData(), int(remove.size()), &m_remove, nullptr)
                != SQLITE_OK) {
            sqlite3_finalize(m_store);
            sqlite3_finalize(m_remove);
            m_store = m_remove = nullptr;
        }
    }
    ~NativeStatements()
    {
        sqlite3_finalize(m_store);
        sqlite3_finalize(m_remove);
    }
    NativeStatements(const NativeStatements &) = delete;
    NativeStatements &operator=(const NativeStatements &) = delete;

    bool isValid() const { return m_store != nullptr; }

    bool run(qint64 id, const QString &text)
    {
        sqlite3_stmt *const statement = text.isEmpty() ? m_remove : m_store;
        bool bound = sqlite3_bind_int64(statement, 1, id) == SQLITE_OK;
        if (!text.isEmpty()) {
            m_utf8 = text.toUtf8();
            bound = bound
                && sqlite3_bind_text(statement, 2, m_utf8.constData(), int(m_utf8.size()), SQLITE_STATIC)
                    == SQLITE_OK;
        }
        const bool done = bound && sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return done;
    }

private:
    sqlite3_stmt *m_store = nullptr;
    sqlite3_stmt *m_remove = nullptr;
    QByteArray m_utf8;
};

} // namespace

bool AttributeStore::saveAll(
    const std::vector<std::pair<qint64, const QStringList *>> &entrants, const QList<int> &places)
{
    if (entrants.empty())
        return true;
    const bool direct = inOrder(places);
    const auto textOf = [&](const QStringList &values) {
        return EncodeAttributes(direct && values.size() <= places.size() ? values : placed(values, places));
    };
    NativeStatements native(m_db);
    if (native.isValid()) {
        for (const auto &[id, values] : entrants) {
            if (!native.run(id, textOf(*values)))
                return false;
        }
        return true;
    }
    QSqlQuery store(m_db.connection());
    QSqlQuery remove(m_db.connection());
    if (!store.prepare(
            QStringLiteral("INSERT OR REPLACE INTO %1 (人员ID, 属性) VALUES (?, ?)").arg(ValuesTable))
        || !remove.prepare(QStringLiteral("DELETE FROM %1 WHERE 人员ID=?").arg(ValuesTable)))
        return false;
    for (const auto &[id, values] : entrants) {
        const QString text = textOf(*values);
        QSqlQuery &query = text.isEmpty() ? remove : store;
        query.bindValue(0, id);
        if (!text.isEmpty())
            query.bindValue(1, text);
        if (!query.exec())
            return false;
    }
    return true;
}

bool AttributeStore::forEach(qint64 drawId, const std::function<void(qint64, QStringView)> &each)
{
    const QString sql = QStringLiteral("SELECT a.人员ID, a.属性 FROM %1 a JOIN %2 e ON e.%3 = a.人员ID "
                                       "WHERE e.%4=? ORDER BY a.人员ID")
                            .arg(ValuesTable, entrants::Table, entrants::Id, entrants::DrawId);
    if (const std::optional<bool> done = readNatively(m_db, sql, { drawId }, each))
        return *done;
    Recordset rs = m_db.select(sql, { drawId });
    if (!rs.isOpen())
        return false;
    for (; !rs.eof(); rs.moveNext()) {
        const QString text = rs.field(1).toString();
        each(rs.field(0).toLongLong(), text);
    }
    return true;
}

bool AttributeStore::deleteForDraw(qint64 drawId)
{
    return m_db.execute(QStringLiteral("DELETE FROM %1 WHERE 人员ID IN (SELECT %2 FROM %3 WHERE %4=?)")
                            .arg(ValuesTable, entrants::Id, entrants::Table, entrants::DrawId),
               { drawId })
        && deleteWhere(m_db, NamesTable, QStringLiteral("CID"), drawId);
}

bool AttributeStore::deleteForEntrants(const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return true;
    QSqlQuery remove(m_db.connection());
    if (!remove.prepare(QStringLiteral("DELETE FROM %1 WHERE 人员ID=?").arg(ValuesTable)))
        return false;
    for (qint64 id : ids) {
        remove.bindValue(0, id);
        if (!remove.exec())
            return false;
    }
    return true;
}

} // namespace tombolix::data
