#include "common/filereplace.h"

#include <QFile>
#include <cstdio>

namespace tombolix {

bool ReplaceFileWith(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace tombolix
