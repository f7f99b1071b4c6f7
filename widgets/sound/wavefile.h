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

// What the file system says of a file, enough to tell whether it has changed
// since it was last looked at: its identity, size, type and times, or the
// error that looking at it gave (a missing file has a stamp too).
struct FileStamp
{
    int error = 0;
    quint64 device = 0;
    quint64 inode = 0;
    quint32 mode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;  // nanoseconds; a new owner or permissions change it
    bool operator==(const FileStamp &) const = default;
};

// Looks at the file at `path` without opening it.
FileStamp stampFile(const QString &path);

// Files above this size are refused rather than read into memory.
inline constexpr qint64 kMaxWaveBytes = 64 * 1024 * 1024;

} // namespace karvel
