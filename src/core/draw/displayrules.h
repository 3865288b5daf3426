#pragma once

#include <QString>

// The two rules that turn an entrant's number into the text on screen: first
// brought to the draw's fixed length, then masked.
namespace tombolix::draw {

// The longest fixed length a draw may have: a line of the number frame longer
// than this cannot be shown on any screen. Stored lengths above it are read
// as this, and the draw editor refuses them.
constexpr qint64 MaxFixedLength = 64;

// Cuts the text to `length` characters on the right, or pads it on the left:
// with "0" when it starts with an ASCII digit, with blanks otherwise. An empty
// text, or a length of 0 or less, leaves it unchanged; a length above
// MaxFixedLength counts as MaxFixedLength. Both rules count characters, so a
// character outside the Basic Multilingual Plane is never split.
void FixLength(QString &text, qint64 length);

// Each "*" of the mask hides the character at the same position; a text too
// short for a star gets the star appended. Other mask characters are
// placeholders. An empty text, or a mask without "*", is left unchanged.
void MaskText(QString &text, const QString &mask);

// FixLength, then MaskText, on a copy.
QString DisplayText(const QString &number, qint64 length, const QString &mask);

// A line of the number frame: the number as displayed, then, when asked for
// and the entrant has one, two blanks and the name.
QString StageLine(const QString &shown, const QString &name, bool withName);

} // namespace tombolix::draw
