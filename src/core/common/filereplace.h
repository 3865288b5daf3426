#pragma once

#include <QString>

namespace tombolix {

// Puts the file `from` in the place of `to` in one step, so that `to` is
// never missing: it holds either the old content or the new. On Windows a
// file another program holds open for reading (an indexer, a virus scanner,
// Excel with the sheet shown) is replaced as the system allows it, trying
// again for a moment while it is held. Names are passed as Unicode.
bool ReplaceFileWith(const QString &from, const QString &to);

} // namespace tombolix
