#pragma once

#include <QJsonObject>
#include <QRect>
#include <QString>
#include <optional>

// What a checkable draw leaves for anyone to check: its record file and a
// one-page certificate.
class QPainter;

namespace tombolix::draw {

// The certificate's one page painted into `page`: the draw, when, how many
// entrants, the fingerprint, the commitment and the seed, the winners per
// award, the last entry's hash and the command that checks it all. False
// when the record holds no commitment.
bool PaintCertificate(QPainter &painter, const QRect &page, const QJsonObject &record);

// The certificate as a one-page PDF: the draw, when, how many entrants, the fingerprint, the
// commitment and the seed, the winners per award, the last entry's hash and
// the command that checks it all. False when the file cannot be written.
bool WriteCertificate(const QJsonObject &record, const QString &pdfPath);

struct NotaryFiles
{
    QString record; // the JSON record
    QString certificate; // the PDF
};

// Reveals the draw's seed and writes the record to recordPath and the
// certificate beside it (the same name, .pdf). Nothing when the draw has no
// record or a file could not be written.
std::optional<NotaryFiles> WriteNotaryFiles(qint64 drawId, const QString &recordPath);

// Where the end of a draw leaves its files: a folder 公证记录 beside the
// database, the draw's name and the time in the file's name.
QString NotaryRecordPathAtTheEnd(qint64 drawId);

} // namespace tombolix::draw
