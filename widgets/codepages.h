#pragma once

#include <QByteArrayView>
#include <QString>

namespace karvel {

// The two code pages the program's RTF documents are written in, decoded
// without a conversion library (which would cost the program a megabyte of
// memory at start): code page 932, Japanese (Shift-JIS with Microsoft's
// extensions), and code page 1252, Western.
//
// A byte or pair of bytes the page leaves undefined becomes U+FFFD; so does a
// lead byte of 932 that no valid trail byte follows, and the byte after it is
// then read on its own. Bytes below 0x80 are ASCII.
QString decodeCp932(QByteArrayView bytes);
QString decodeCp1252(QByteArrayView bytes);

} // namespace karvel
