#include "countdown.h"

#include <algorithm>
#include <chrono>

#include <time.h>

namespace karvel {

qint64 SystemClock::monotonicMs() const
{
#ifdef CLOCK_BOOTTIME
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
    // Where there is no boot clock, the standard steady clock: it may stop
    // while the machine sleeps.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Countdown::start()
{
    const QTime now = m_clock.timeOfDay();
    m_startMs = m_clock.monotonicMs();
    m_phaseMs = now.isValid() ? now.second() * 1000 + now.msec() : 0;
    m_remaining = kMinutes;
}

bool Countdown::update()
{
    const qint64 elapsed = std::max<qint64>(0, m_clock.monotonicMs() - m_startMs);
    const qint64 boundaries = (m_phaseMs + elapsed) / 60000;
    const int remaining = kMinutes - int(std::min<qint64>(boundaries, kMinutes));
    if (remaining == m_remaining)
        return false;
    m_remaining = remaining;
    return true;
}

QString Countdown::format(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace karvel
