// Build step: places an empty Data.mdb at the path given, unless a file is
// already there.
#include "data/schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tombolix-mkdb PATH\n");
        return 2;
    }
    const QString path = args.at(1);
    if (QFileInfo::exists(path))
        return 0;
    QString error;
    if (!tombolix::schema::createEmptyDatabase(path, &error)) {
        std::fprintf(stderr, "tombolix-mkdb: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Made an empty database at %s\n", qPrintable(path));
    return 0;
}
