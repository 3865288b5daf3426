#pragma once

#include <QPixmap>
#include <QString>

namespace tombolix::draw {

// The picture compiled into the program, shown when a draw names none.
QPixmap BuiltInBackground();
// The picture in the file, or an empty pixmap when there is no such file or
// it is not a picture the program can read (or is absurdly large).
QPixmap LoadPictureIfExists(const QString &path);
// The picture scaled to cover the size, cut evenly at the sides that overflow.
QPixmap ScaledToCover(const QPixmap &picture, const QSize &size);

} // namespace tombolix::draw
