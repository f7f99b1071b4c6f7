#include "widgets/sound/waveoutput.h"

#include "widgets/sound/wavefile.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QSet>
#include <QTimer>

#include <mutex>
#include <thread>
#include <utility>

namespace karvel {

// What the reading threads share with the player: where to send what they
// read, or nowhere once the player is gone.
struct WaveOutput::Mailbox
{
    std::mutex mutex;
    WaveOutput *player = nullptr;
};

namespace {

// How far ahead of the speakers the stream runs, and how often it is
// topped up while the sound plays.
constexpr int kOutputLatencyMs = 40;
constexpr int kFeedIntervalMs = 10;

// Names the file and the reason on standard error, once for each reason.
void warnOnce(const QString &path, const QString &why)
{
    static QSet<QString> told;
    const QString line = path + QLatin1Char(' ') + why;
    if (told.contains(line))
        return;
    told.insert(line);
    qWarning("%s: the sound %s and will not play",
             qUtf8Printable(QCoreApplication::applicationName()), qUtf8Printable(line));
}

} // namespace

WaveOutput::WaveOutput()
    : m_mailbox(std::make_shared<Mailbox>()), m_feeder(new QTimer(this))
{
    m_mailbox->player = this;
    m_feeder->setInterval(kFeedIntervalMs);
    connect(m_feeder, &QTimer::timeout, this, &WaveOutput::feed);
}

WaveOutput::~WaveOutput()
{
    // A reading thread that is still waiting on its file finds nobody to
    // tell; the program does not wait for it.
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->player = nullptr;
    }
    close();
}

void WaveOutput::open(const QString &path, Opened opened)
{
    close();
    const quint64 ticket = ++m_ticket;
    // A file found unplayable is read again only once it has changed: the
    // exam opens its sound every second.
    std::optional<FileStamp> refused;
    if (path == m_refusedPath)
        refused = m_refusedStamp;
    std::thread([mailbox = m_mailbox, path, ticket, refused, opened = std::move(opened)]() mutable {
        const FileStamp stamp = stampFile(path);
        QString why;
        std::optional<WaveSound> sound;
        if (stamp != refused)
            sound = readWaveFile(path, &why);
        std::lock_guard lock(mailbox->mutex);
        if (!mailbox->player)
            return;
        WaveOutput *player = mailbox->player;
        // Delivered on the player's thread; dropped if the player goes first.
        QMetaObject::invokeMethod(
            player,
            [player, path, ticket, stamp, why, sound = std::move(sound),
             opened = std::move(opened)]() mutable {
                if (ticket != player->m_ticket)
                    return; // another file was asked for meanwhile, or none
                if (!sound) {
                    player->m_refusedPath = path;
                    player->m_refusedStamp = stamp;
                    if (!why.isEmpty())
                        warnOnce(path, why);
                    opened(false);
                    return;
                }
                player->m_refusedPath.clear();
                player->m_samples = std::move(sound->samples);
                player->m_format = sound->format;
                player->m_position = 0;
                player->startOutput();
                opened(true);
            },
            Qt::QueuedConnection);
    }).detach();
}

void WaveOutput::startOutput()
{
    releaseOutput();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || m_samples.isEmpty())
        return; // no audio output: the sound stays silent
    auto sink = std::make_unique<QAudioSink>(device, m_format);
    sink->setBufferSize(m_format.bytesForDuration(kOutputLatencyMs * 1000));
    // Written to as the sound plays; idle, and costing nothing, until then.
    m_stream = sink->start();
    if (m_stream)
        m_sink = std::move(sink);
}

// Lets go of the audio output. The feeding stops first: on PulseAudio the
// sink's destructor runs the event loop, and a feed from there would reach
// into its half-closed stream. The sink is stopped, which closes its
// stream, before it is destroyed, and is out of m_sink meanwhile, so that
// anything that event loop calls here finds no output.
void WaveOutput::releaseOutput()
{
    m_feeder->stop();
    m_stream = nullptr;
    if (std::unique_ptr<QAudioSink> sink = std::exchange(m_sink, nullptr))
        sink->stop();
}

void WaveOutput::feed()
{
    if (!m_stream || m_position >= m_samples.size()) {
        m_feeder->stop();
        return;
    }
    // As much as the stream takes now, in whole frames: the first write
    // fills it, which starts it at once.
    const qint64 frame = std::max(1, m_format.bytesPerFrame());
    qint64 n = std::min<qint64>(m_sink->bytesFree(), m_samples.size() - m_position);
    n -= n % frame;
    if (n > 0) {
        const qint64 written = m_stream->write(m_samples.constData() + m_position, n);
        if (written > 0)
            m_position += written;
    }
    if (m_position >= m_samples.size())
        m_feeder->stop();
    else if (!m_feeder->isActive())
        m_feeder->start();
}

void WaveOutput::rewind()
{
    m_feeder->stop();
    m_position = 0;
}

void WaveOutput::play()
{
    if (m_samples.isEmpty())
        return;
    // A stream that failed (the audio server went away, or was not there
    // when the sound was read) is set up again.
    if (!m_sink || m_sink->state() == QAudio::StoppedState)
        startOutput();
    // A sound that has played to its end starts again.
    if (m_position >= m_samples.size())
        m_position = 0;
    feed();
}

void WaveOutput::stop()
{
    m_feeder->stop();
}

void WaveOutput::close()
{
    ++m_ticket;
    m_samples.clear();
    m_position = 0;
    releaseOutput();
}

} // namespace karvel
