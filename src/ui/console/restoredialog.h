#pragma once

#include "data/backup.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tombolix {

// Lists the automatic backups, newest first, with what each holds, and puts
// the chosen one, or any database file the operator picks, in place of the
// database. The database as it was goes into a backup first.
class RestoreDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RestoreDialog(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("恢复数据库"); }

signals:
    // The database was replaced; everything shown from it is out of date.
    void restored();

private:
    void listBackups();
    void restoreChosen();
    void restoreOtherFile();
    void restoreFrom(const QString &path);

    QList<data::BackupFile> m_backups;
    QLabel *m_folder = nullptr;
    QTableWidget *m_list = nullptr;
    QPushButton *m_restoreChosen = nullptr;
    bool m_restoring = false;
};

} // namespace tombolix
