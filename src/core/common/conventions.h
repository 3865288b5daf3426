#pragma once

#include <QColor>
#include <QString>
#include <QVariant>

// Conventions shared by every part of the program: how numbers are read from
// text, how flags are written, and the stored units of positions and colours.
namespace tombolix {

// The value of the decimal number at the start of the text (after leading
// blanks), 0 when there is none: "12abc" is 12, "-3.5" is -3.5, "abc" is 0.
double numericValue(const QString &text);
double numericValue(const QVariant &value);

// Rounds to the nearest integer, halves to the even neighbour: 2.5 -> 2, 3.5 -> 4.
qint64 roundHalfEven(double value);

// The numeric value of a text, rounded half to even; the way every integer
// setting, grid cell and list entry is read.
qint64 integerValue(const QString &text);
qint64 integerValue(const QVariant &value);

// A number as text the way the program writes it: integers without a decimal
// point, other values in the shortest exact form.
QString numberText(double value);

// True flags are shown and stored as "√", false as the empty text.
QString flagText(bool flag);
// Any text that is not blank reads as true.
bool flagFromText(const QString &text);
// A yes/no column: Null and 0 are No.
bool flagFromColumn(const QVariant &value);

// Positions and sizes are stored in twips; the screen works in logical pixels.
constexpr int TwipsPerPixel = 15;
int twipsToPixels(double twips);
double pixelsToTwips(double pixels);

// Colours are stored as 32-bit values 0x00BBGGRR. Values with the high bit set
// name a system colour by index; the common ones map to the palette.
QColor colorFromStored(qint64 stored);
qint64 storedFromColor(const QColor &color);

// Text for a statement: a null QString would be bound as NULL, so an empty
// box is stored as empty text instead.
QString textForStorage(const QString &text);

// The text of a value read from a table: Null and invalid become "".
QString textOf(const QVariant &value);

} // namespace tombolix
