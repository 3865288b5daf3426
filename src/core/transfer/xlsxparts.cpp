#include "transfer/xlsxparts.h"

#include "transfer/xlsxreader.h"

#include <QStringList>
#include <QUrl>

namespace tombolix::transfer::xlsx {

PartStatus openPart(zip_t *zip, const QString &name, zip_file_t **file, qint64 *limit)
{
    const zip_int64_t index = zip_name_locate(zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return PartStatus::Missing;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0)
        return PartStatus::Broken;
    // A few hundred bytes of zip can declare, or inflate to, gigabytes.
    *limit = XlsxWorkbook::MaxPartSize;
    if (stat.valid & ZIP_STAT_SIZE) {
        if (stat.size > zip_uint64_t(*limit))
            return PartStatus::Broken;
        *limit = qint64(stat.size);
    }
    *file = zip_fopen_index(zip, zip_uint64_t(index), 0);
    return *file ? PartStatus::Ok : PartStatus::Broken;
}

namespace {

QString folderOf(const QString &part)
{
    const int slash = int(part.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? QString() : part.left(slash);
}

QString relationshipsPartOf(const QString &part)
{
    const QString folder = folderOf(part);
    const QString file = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QLatin1String("_rels/") + file
        + QLatin1String(".rels");
}

// A relationship target is a URI relative to the source part's folder, or
// absolute from the package root.
QString resolveTarget(const QString &folder, const QString &target)
{
    const QString path = QUrl::fromPercentEncoding(target.toUtf8());
    QStringList segments;
    if (!path.startsWith(QLatin1Char('/')))
        segments = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == QLatin1String("."))
            continue;
        if (piece == QLatin1String("..")) {
            if (!segments.isEmpty())
                segments.removeLast();
            continue;
        }
        segments << piece;
    }
    return segments.join(QLatin1Char('/'));
}

} // namespace

bool readRelationships(zip_t *zip, const QString &sourcePart, QVector<Relationship> &out)
{
    const QString folder = folderOf(sourcePart);
    const PartStatus status = parsePart(zip, relationshipsPartOf(sourcePart), [&](QXmlStreamReader &xml) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
                continue;
            out.push_back({ attributes.value(QLatin1String("Id")).toString(),
                attributes.value(QLatin1String("Type")).toString(),
                resolveTarget(folder, attributes.value(QLatin1String("Target")).toString()) });
        }
    });
    return status != PartStatus::Broken;
}

} // namespace tombolix::transfer::xlsx
