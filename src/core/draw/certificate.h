#pragma once

#include "draw/recordcheck.h"

#include <QRect>
#include <QString>
#include <optional>

// What a checkable draw leaves for people to keep: the record file with its
// certificate, which the operator and a supervisor sign, and, before the
// party, the 承诺单 to publish.
class QPainter;
class QPagedPaintDevice;

namespace tombolix::draw {

// The certificate's pages: the draw, the first 公证码 and its time, the hall's
// numbers, every recommitment and withdrawal with its reason, the winners
// per award, lines to sign, and a QR code of the record's last hash. A record
// that does not check says so at the top.
void PaintCertificate(
    QPainter &painter, QPagedPaintDevice *pages, const QRect &page, const RecordCheck &check);
bool WriteCertificate(const RecordCheck &check, const QString &pdfPath);

struct NotaryFiles
{
    QString record; // the JSON record
    QString certificate; // the PDF
    bool checkable = false; // the record checks as it stands
    QString problem; // what keeps it from checking (while the draw's screen is open, its seed)
};

// Writes the draw's record to recordPath and the certificate beside it (the
// same name, .pdf); with `reveal`, the seed of its commitment is revealed
// first, so the record checks. Nothing when the draw has no record or a file
// could not be written.
std::optional<NotaryFiles> WriteNotaryFiles(qint64 drawId, const QString &recordPath, bool reveal = true);

// Where the end of a draw leaves its files: a folder 公证记录 beside the
// database, the draw's name and the time in the file's name.
QString NotaryRecordPathAtTheEnd(qint64 drawId);

// The 承诺单 of a draw not begun yet, as PDF and as PNG beside it: the
// 公证码, the commitment in full as text and as a QR code, the entrants'
// number and fingerprint, the awards, the time. The draw is committed to
// now unless a commitment stands; entering it later keeps that commitment.
struct CommitmentSheet
{
    QString problem; // why none was written
    QString pdf;
    QString png;
    QString code; // grouped
};
CommitmentSheet WriteCommitmentSheet(qint64 drawId, const QString &pdfPath);

} // namespace tombolix::draw
