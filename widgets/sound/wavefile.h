#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace karvel {

// A wave sound read whole into memory: its samples, interleaved, in a form
// an audio output takes as it is.
struct WaveSound
{
    QAudioFormat format;
    QByteArray samples;
};

// Reads the bytes of a RIFF/WAVE file holding PCM of 8, 16, 24 or 32 bits
// or 32-bit floating point, plain or in the extensible header, 1 to 8
// channels. 24-bit samples come out as 32-bit ones. Returns nothing when the
// bytes are no such file, with the reason in `why` (for a message: "no RIFF
// header", "compressed (format 85)" ...).
std::optional<WaveSound> parseWave(QByteArrayView bytes, QString *why = nullptr);

// Reads the wave file at `path`. Only a regular file is read: a pipe, a
// device or a folder is refused without being read, so nothing waits for a
// writer that never comes. It may still wait on a stalled file system, so
// call it away from the user-interface thread. `why` says what was wrong,
// ready to follow the path in a message: "is missing", "is not a regular
// file", "is empty", "cannot be read (Permission denied)", "is not a wave
// sound (no RIFF header)".
std::optional<WaveSound> readWaveFile(const QString &path, QString *why = nullptr);

// Files above this size are refused rather than read into memory.
inline constexpr qint64 kMaxWaveBytes = 64 * 1024 * 1024;

} // namespace karvel
