#pragma once

#include <QFont>
#include <QStringList>

namespace tombolix {

// The stage's built-in texts are set in a Chinese family with a real bold
// weight where the system has one: a bold made up from a regular face is
// dropped where large glyphs are filled from their outlines (at 1440 lines
// and up), leaving bold digits beside regular Chinese.
// The families looked for, in order of preference.
QStringList BoldChineseFamilies();

// `base` set in the first of them the system has with a bold style; `base`
// itself when it has none.
QFont StageFont(const QFont &base);

} // namespace tombolix
