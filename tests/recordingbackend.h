#pragma once

#include "widgets/soundstrip.h"

#include <QStringList>

namespace karvel {

// Stands in for the player behind the sound strip and writes down what it
// is asked: "open PATH", "rewind", "play", "stop", "close". Files named in
// `refuse` turn out unplayable (a test may change the list as it goes). The
// answer to an open comes at once, or, with `holdAnswers`, only when the
// test calls answer(), oldest first.
class RecordingBackend : public SoundBackend
{
public:
    explicit RecordingBackend(QStringList *log, QStringList refuse = {})
        : refuse(std::move(refuse)), m_log(log)
    {
    }

    void open(const QString &path, Opened opened) override
    {
        m_log->append(QStringLiteral("open ") + path);
        m_pending.append([this, path, opened] { opened(!refuse.contains(path)); });
        if (!holdAnswers)
            answer();
    }
    void rewind() override { m_log->append(QStringLiteral("rewind")); }
    void play() override { m_log->append(QStringLiteral("play")); }
    void stop() override { m_log->append(QStringLiteral("stop")); }
    void close() override { m_log->append(QStringLiteral("close")); }

    // Gives the answer to the oldest open not yet answered.
    void answer()
    {
        if (!m_pending.isEmpty())
            m_pending.takeFirst()();
    }

    QStringList refuse;
    bool holdAnswers = false;

private:
    QStringList *m_log;
    QList<std::function<void()>> m_pending;
};

} // namespace karvel
