#include "data/datalocation.h"

#include "data/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tombolix::data {

namespace {

const QString FileName = QStringLiteral("Data.mdb");

// Makes the folder and every missing folder above it; on success lists the
// ones made, deepest last, so a failure after it can take them away again.
bool makeFolder(const QString &path, QStringList *made)
{
    QStringList missing;
    for (QString folder = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(folder);
         folder = QFileInfo(folder).path())
        missing.prepend(folder);
    for (const QString &folder : std::as_const(missing)) {
        if (!QDir().mkdir(folder))
            return false;
        made->append(folder);
    }
    return true;
}

void removeFolders(const QStringList &made)
{
    for (auto it = made.crbegin(); it != made.crend(); ++it)
        QDir().rmdir(*it);
}

// Copies under a hidden name first: a copy cut short by a full disk never
// stands under the database's name. The installed file is read-only for the
// user; the copy is the user's to write.
bool copyShipped(const QString &shipped, const QString &target)
{
    const QFileInfo info(target);
    const QString partial
        = info.absoluteDir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".part"));
    QFile::remove(partial);
    if (!QFile::copy(shipped, partial))
        return false;
    QFile copy(partial);
    if (!copy.setPermissions(copy.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || !copy.rename(target)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

} // namespace

DataLocation ChooseDataLocation(const DataLocationInputs &inputs)
{
    if (!inputs.requested.isEmpty()) {
        const QString path = QFileInfo(inputs.requested).absoluteFilePath();
        return { path, QFileInfo(path).isFile() };
    }

    const QString besideProgram = QDir(inputs.programFolder).filePath(FileName);
    if (!inputs.programFolder.isEmpty() && QFileInfo(besideProgram).isFile())
        return { besideProgram, true };

    const QString userCopy = QDir(inputs.userFolder).filePath(FileName);
    if (inputs.userFolder.isEmpty())
        return { userCopy, false };
    if (QFileInfo(userCopy).isFile())
        return { userCopy, true };
    if (inputs.shippedDatabase.isEmpty() || !QFileInfo(inputs.shippedDatabase).isFile())
        return { userCopy, false };

    QStringList made;
    if (!makeFolder(inputs.userFolder, &made) || !copyShipped(inputs.shippedDatabase, userCopy)) {
        removeFolders(made);
        return { userCopy, false };
    }
    return { userCopy, true };
}

DataLocationInputs DataLocationInputsOfThisRun(const QString &requested)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    return { requested, programFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral("../share/tombolix/") + FileName)) };
}

DataLocation UseDataLocation(const QString &requested)
{
    const DataLocation location = ChooseDataLocation(DataLocationInputsOfThisRun(requested));
    setDatabasePath(location.path);
    return location;
}

} // namespace tombolix::data
