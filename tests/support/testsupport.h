#pragma once

#include <QString>
#include <QTemporaryDir>

class QWidget;

namespace tombolix::test {

// A fresh Data.mdb with the five empty tables in a folder of its own, used by
// the database routines while the object lives; settings go to a file in the
// same folder, never to the user's.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    QString path() const;
    QString folder() const { return m_dir.path(); }
    bool isValid() const { return m_valid; }

    // Direct inserts for test set-up; each returns the new ID.
    qint64 addDraw(const QString &name, const QString &speed = QStringLiteral("50"),
        const QString &mask = QString(), const QString &timer = QStringLiteral("0"),
        const QString &length = QStringLiteral("0"), const QString &picture = QString());
    qint64 addAward(qint64 draw, int order, const QString &name, int count, int perRound, bool show = true,
        bool repeat = false, const QString &prize = QString());
    qint64 addEntrant(qint64 draw, const QString &number, const QString &name = QString());
    // Adds count entrants numbered from first, in one transaction.
    void addEntrants(qint64 draw, int count, int first = 1, int width = 0);

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// The visible top-level window with this caption, or nullptr.
QWidget *openWindow(const QString &caption);

// Saves the window as PNG when TOMBOLIX_SHOTS names a folder.
void saveShot(QWidget *widget, const QString &name);

} // namespace tombolix::test
