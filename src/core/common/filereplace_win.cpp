#include "common/filereplace.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <windows.h>

namespace tombolix {

namespace {

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}

bool heldByAnother(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED
        || error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

} // namespace

bool ReplaceFileWith(const QString &from, const QString &to)
{
    const std::wstring source = nativeName(from);
    const std::wstring target = nativeName(to);
    constexpr int Attempts = 20;
    constexpr int Pause = 50; // ms: a scanner lets go within a second
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        // ReplaceFileW swaps the content in while a reader holding the old
        // file with delete sharing keeps its handle; a missing target is
        // simply moved into place.
        const bool replaced = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
            ? ReplaceFileW(
                  target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                || MoveFileExW(
                    source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            : MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (replaced)
            return true;
        if (!heldByAnother(GetLastError()))
            return false;
        QThread::msleep(Pause);
    }
    return false;
}

} // namespace tombolix
