#include "data/databaselock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace tombolix::data {

DatabaseLock::DatabaseLock(const QString &databasePath)
    : m_path(databasePath + QStringLiteral(".lock"))
    , m_file(m_path)
{
    m_file.setStaleLockTime(StaleAfterMs);
}

DatabaseLock::~DatabaseLock()
{
    m_file.unlock();
}

DatabaseLock::Result DatabaseLock::lock()
{
    if (m_file.tryLock(0)) {
        // Renewed while the program runs, so another computer can tell a
        // live lock from one a crash left behind.
        m_renew = new QTimer(this);
        m_renew->setInterval(RenewEveryMs);
        connect(m_renew, &QTimer::timeout, this, [this] {
            QFile file(m_path);
            if (file.open(QIODevice::ReadWrite))
                file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
        });
        m_renew->start();
        return Result::Locked;
    }
    if (m_file.error() != QLockFile::LockFailedError)
        return Result::NotPossible;
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_file.getLockInfo(&pid, &host, &application))
        m_holder = QStringLiteral("电脑 %1 上的进程 %2").arg(host).arg(pid);
    else
        m_holder = QStringLiteral("另一个程序");
    return Result::HeldElsewhere;
}

QString HeldElsewhereMessage(const QString &databasePath, const QString &holder)
{
    return QStringLiteral(
        "数据文件 %1 已在另一个澄曜抽奖软件中打开（%2）。同一个数据文件同时只能由一个程序使用，"
        "否则同一位中奖者可能被抽中两次。请先关闭那边的程序，再打开本程序。")
        .arg(QDir::toNativeSeparators(QFileInfo(databasePath).absoluteFilePath()), holder);
}

} // namespace tombolix::data
