#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace karvel {

// Reads a GIF that holds one opaque picture covering its whole screen, as
// the window background is, at the GIF's own depth: an 8-bit indexed image
// with the GIF's colour table, a quarter of the memory of the 32-bit image
// Qt's reader makes, and quicker to decode. Anything else (several
// pictures, a transparent colour, interlacing, a picture smaller than the
// screen, damaged data) gives a null image, and the caller reads the file
// with Qt instead.
QImage readIndexedGif(QByteArrayView gif);

// Reads the picture file at `path` (usually a resource): a GIF as above at
// its own depth, everything else as Qt reads it.
QImage readPicture(const QString &path);

} // namespace karvel
