#pragma once

#include "common/progress.h"
#include "draw/drawsession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class QObject;

class QAction;
class QMenu;
class QWidget;

namespace tombolix::grid {
class GridModel;
}

namespace tombolix::test {

// A fresh Data.mdb with the five empty tables in a folder of its own, used by
// the database routines while the object lives; settings go to a file in the
// same folder, never to the user's. Draws entered meanwhile take "7" as the
// hall's numbers (SetHallNumbersForTesting) unless a test turns that off,
// and the stage keeps no guard after a stop and lands at once
// (SetStagePaceForTesting).
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

// Hands the window with this caption to `act` once it is open, looking every
// 20 ms for up to 30 s, so a machine slowed by its load is waited for; the
// looking ends with `context`.
void whenWindowOpens(QObject *context, const QString &caption, const std::function<void(QWidget *)> &act);

// Saves the window as PNG when TOMBOLIX_SHOTS names a folder.
void saveShot(QWidget *widget, const QString &name);

// The texts of one column over the data rows of a grid.
QStringList column(const grid::GridModel &grid, int col);
// Appends a row to an entrants grid (key, number and name in columns 0, 3
// and 4) and returns its index.
int appendEntrantRow(
    grid::GridModel &grid, const QString &key, const QString &number, const QString &name = QString());
// The draw's stored entrants in the order they were stored, "number|name".
QStringList storedEntrants(qint64 draw);
// Numbers stored as winners again after a win in an award that allows no
// repeat: empty for a sound draw, whose pool let go of them.
QStringList wonAgainAfterANoRepeatWin(qint64 draw);

// Starts the session on the draw and, when it asks for them, gives the
// hall's numbers, as the stage asks before a commitment's first round.
draw::StartReport startDraw(draw::DrawSession &session, qint64 draw, draw::Entry entry = draw::Entry::Afresh,
    const QString &hallNumbers = QStringLiteral("7"));
// Holds every round left, as stops of the stage do; the rounds recorded.
int drawToTheEnd(draw::DrawSession &session);
// Holds `rounds` rounds of the draw in a session of their own, as a sitting
// on the stage does, so its results stand in its record; the last round's
// result IDs.
std::vector<qint64> holdRounds(qint64 draw, int rounds = 1);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Records the progress a routine reports while the object lives.
class RecordingProgress : public ProgressSink
{
public:
    RecordingProgress();
    ~RecordingProgress() override;
    void open(const QString &text, qint64 total) override;
    void advance(qint64 step, const QString &text) override;
    void close() override;

    QStringList opened; // "text total" per opening
    qint64 steps = 0;
    int closes = 0;

private:
    ProgressSink *m_previous = nullptr;
};

// The menu's action of that object name; null when there is none.
QAction *menuAction(const QMenu *menu, const char *objectName);

// The messages but the one closing a finished draw's screen gives, saying
// where its record went ("公证记录已保存：…").
QStringList OtherThanRecordSaved(const QStringList &messages);

} // namespace tombolix::test
