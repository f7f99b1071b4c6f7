#pragma once

namespace karvel {

// Maps the faces the documents and windows name ("ＭＳ ゴシック", "平成明朝",
// "Times", ...) to faces of this system where the named face is missing.
// Call once at start-up, before any font is resolved.
void installFontFallbacks();

// Says so on standard error, in one line naming the Debian packages to
// install, when no installed font covers Japanese: every text of the
// program would show as empty boxes. Returns whether a font covers it.
bool checkJapaneseFonts();

} // namespace karvel
