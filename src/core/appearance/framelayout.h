#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The number frame: a coloured panel with rounded corners in which the
// rolling number is printed. Each draw keeps its layout as one text record;
// positions and sizes stay in twips, as stored.
namespace tombolix::appearance {

inline const QString FieldSeparator = QStringLiteral("】【");

struct FrameLayout
{
    float Left = 840;
    float Top = 1920;
    float Width = 5175;
    float Height = 975;
    QString AutoFit; // > 0: the number label sizes itself to its text
    qint32 BackColor = 0x0A0230; // a dark wine red that stands out on the red picture (0x00BBGGRR)
    qint16 Opaque = 1; // 0: the panel is not painted

    bool autoFit() const;
    QRectF rect() const { return QRectF(Left, Top, Width, Height); }
    void setRect(const QRectF &twips);
    bool operator==(const FrameLayout &other) const;
};

// Applies a stored record to the layout. A record with fewer than seven
// fields changes nothing; a field the frame refuses keeps its old value.
void ApplyFrameRecord(const QString &record, FrameLayout &layout);
// The record of a layout: seven fields joined by "】【".
QString FrameRecord(const FrameLayout &layout);
// A position or size as the record keeps it: the shortest decimal that reads
// back as the same float, so a stored 12.3 reads "12.3" again.
QString FrameNumberText(float value);

// The draw's stored layout applied over `layout` (the built-in one by default).
FrameLayout LoadFrameLayout(qint64 drawId, FrameLayout layout = FrameLayout());
[[nodiscard]] bool SaveFrameLayout(const FrameLayout &layout, qint64 drawId);

// Where the number label sits in the frame (twips). With auto-fit the label
// takes the size of its text, centred across the frame and hanging from its
// top; otherwise it fills the frame's width and is 20 twips shorter.
QRectF FitNumberLabel(const FrameLayout &layout, const QSizeF &textSize);

// A frame of 15 twips or less in width or height is repaired to 4500 x 750
// before painting; true when anything changed.
bool RepairFrameSize(FrameLayout &layout);

// The printed lines of the number: each centred across the label's box, the
// block centred vertically, lines 20 twips closer than the font's height of
// "1". lineWidth gives a line's width in twips.
struct PrintedLine
{
    QString text;
    double left = 0;
    double top = 0;
};
std::vector<PrintedLine> PrintFrameText(const QRectF &label, const QStringList &lines, double digitHeight,
    const std::function<double(const QString &)> &lineWidth);

} // namespace tombolix::appearance
