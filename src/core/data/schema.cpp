#include "data/schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace tombolix::schema {

QStringList schemaStatements()
{
    QString text;
    const QStringList lines = QString::fromUtf8(schemaSql()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            text += line + QLatin1Char('\n');
    }
    QStringList statements;
    for (const QString &part : text.split(QLatin1Char(';'))) {
        if (!part.trimmed().isEmpty())
            statements << part.trimmed();
    }
    return statements;
}

bool createEmptyDatabase(const QString &path, QString *error)
{
    if (QFileInfo::exists(path))
        return true;

    // Build the file under a temporary name and move it into place, so an
    // interrupted build never leaves a half-made database behind.
    const QString temporary = path + QLatin1String(".tmp-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString name = QLatin1String("tombolix-schema-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temporary);
        if (!db.open()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        // One transaction: a journal written and synced once, not once per
        // table and index.
        if (ok && !db.transaction()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        QSqlQuery query(db);
        for (const QString &statement : schemaStatements()) {
            if (!ok)
                break;
            if (!query.exec(statement)) {
                ok = false;
                if (error)
                    *error = query.lastError().text() + QLatin1String(": ") + statement;
            }
        }
        query.finish();
        if (ok && !db.commit()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !QFile::rename(temporary, path)) {
        ok = QFileInfo::exists(path); // someone else made it meanwhile
        if (!ok && error)
            *error = QStringLiteral("cannot move the new file to ") + path;
    }
    QFile::remove(temporary);
    return ok;
}

} // namespace tombolix::schema
