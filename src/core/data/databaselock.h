#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QTimer;

// One program per database file: a second copy drawing from the same file
// (two windows, or a second computer on a shared folder) would draw the same
// winner twice. A lock file beside the database names the computer and the
// process holding it; a lock left by a crash is recognised as stale: its
// process is gone (on this computer), or it has not been renewed for a while
// (on another one).
namespace tombolix::data {

class DatabaseLock : public QObject
{
public:
    enum class Result
    {
        Locked, // ours now
        HeldElsewhere, // another copy of the program holds the file
        NotPossible, // no lock can be written beside the file (a read-only folder): none is kept
    };

    explicit DatabaseLock(const QString &databasePath);
    ~DatabaseLock() override;

    Result lock();
    // Who holds it, for the operator: "电脑 X 上的进程 N".
    QString holder() const { return m_holder; }
    QString lockPath() const { return m_path; }

    // How long a lock of another computer stands without being renewed.
    static constexpr int StaleAfterMs = 90 * 1000;
    static constexpr int RenewEveryMs = 20 * 1000;

private:
    QString m_path;
    QLockFile m_file;
    QTimer *m_renew = nullptr;
    QString m_holder;
};

// The message for a file held by another copy.
QString HeldElsewhereMessage(const QString &databasePath, const QString &holder);

} // namespace tombolix::data
