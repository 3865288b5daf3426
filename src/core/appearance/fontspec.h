#pragma once

#include "data/tables.h"

#include <QFont>
#include <QString>

// The font and text colour of a draw-screen element (board title, board
// list, number), kept per draw as seven text fields joined by "】【": face,
// bold, italic, size, strikeout, underline, colour (0x00BBGGRR).
namespace tombolix::appearance {

struct FontSpec
{
    QFont font;
    qint64 colour = 0;
};

// Applies a stored record over a FontSpec. A record with fewer than seven
// fields changes nothing; a field the font refuses (a size of 0 or less, a
// colour beyond 32 bits) keeps its old value. Returns whether the record had
// seven fields.
bool ApplyFontRecord(const QString &record, FontSpec &spec);
QString FontRecord(const FontSpec &spec);

// The columns of 奖次表 that hold the three elements' fonts.
inline const QString &TitleFontColumn = data::draws::TitleFont;
inline const QString &ListFontColumn = data::draws::ListFont;
inline const QString &NumberFontColumn = data::draws::NumberFont;

// The draw's stored font of an element applied over `spec`.
FontSpec LoadElementFont(qint64 drawId, const QString &column, FontSpec spec);
[[nodiscard]] bool SaveElementFont(qint64 drawId, const QString &column, const FontSpec &spec);

} // namespace tombolix::appearance
