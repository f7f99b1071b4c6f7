#include "countdown.h"

#include <algorithm>

namespace karvel {

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
