#pragma once

namespace karvel {

// Maps the faces the documents and windows name ("ＭＳ ゴシック", "平成明朝",
// "Times", ...) to faces of this system where the named face is missing.
// Call once at start-up, before any font is resolved.
void installFontFallbacks();

} // namespace karvel
