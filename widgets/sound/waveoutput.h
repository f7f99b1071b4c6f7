#pragma once

#include "widgets/sound/wavefile.h"
#include "widgets/soundstrip.h"

#include <QAudioFormat>
#include <QObject>

#include <memory>
#include <optional>

class QAudioSink;
class QIODevice;
class QTimer;

namespace karvel {

// Plays one wave file through the system's default audio output.
//
// Opening reads the file on a thread of its own and returns at once, so
// that a pipe, a device or a file on a stalled file system holds up neither
// the user-interface thread nor the end of the program. Once the sound is
// read, its output stream is opened and left idle: Play then writes the
// sound's start straight into it, which reaches the speakers within the
// stream's latency instead of after the stream is set up. A file that
// cannot be played is named on standard error with the reason, once for
// each reason; opening it again looks at the file first and reads it only
// if it has changed since. A missing audio server is Qt's to report.
class WaveOutput final : public QObject, public SoundBackend
{
public:
    WaveOutput();
    ~WaveOutput() override;

    void open(const QString &path, Opened opened) override;
    void rewind() override;
    void play() override;
    void stop() override;
    void close() override;

private:
    struct Mailbox;
    void startOutput();
    void releaseOutput();
    void feed();

    std::shared_ptr<Mailbox> m_mailbox;
    quint64 m_ticket = 0;
    // The last file found unplayable, as it was then.
    QString m_refusedPath;
    std::optional<FileStamp> m_refusedStamp;
    QByteArray m_samples;
    QAudioFormat m_format;
    qint64 m_position = 0; // the next byte of m_samples to play
    QTimer *m_feeder;      // tops the stream up while the sound plays
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_stream = nullptr; // the sink's, while it is open
};

} // namespace karvel
