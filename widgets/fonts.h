#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace karvel {

// Maps the faces the documents and windows name ("ＭＳ ゴシック", "平成明朝",
// "Times", ...) to faces of this system where the named face is missing, and
// makes the windows' default face, ＭＳ Ｐゴシック 9 pt, the application's.
// Call once at start-up, before any font is resolved.
void installFontFallbacks();

// The face that shows what the program sets in the face `named`: `named`
// itself where this system has it, else the first of its fallbacks that it
// has (IPAGothic for "ＭＳ ゴシック", IPAMincho for "平成明朝", Liberation
// Serif for "Times" ...), else `named`. Asked for a face it lacks, Qt would
// search the whole font configuration for it, once for every script of the
// text; asked for an installed face, it finds it at once. Any thread may ask.
QString installedFace(const QString &named);

// The families of a font in the face `named`: the installed face alone. (A
// second family would make Qt look up fallbacks for it at once.)
QStringList faceFamilies(const QString &named);

// A font in the face `named`, resolved as above.
QFont namedFont(const QString &named, qreal points, bool bold = false);

// Says so on standard error, in one line naming the Debian packages to
// install, when no installed font covers Japanese: every text of the
// program would show as empty boxes. Returns whether a font covers it.
bool checkJapaneseFonts();

} // namespace karvel
