#pragma once

#include <QString>
#include <QTime>

namespace karvel {

// The clocks the countdown reads: a steady clock for how much time has
// passed, and the wall clock for where in its minute the exam started.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds on a clock that never jumps (not the time of day) and
    // runs on while the machine sleeps: a candidate's hour passes with the
    // lid closed too.
    virtual qint64 monotonicMs() const = 0;
    // The time of day on the system clock.
    virtual QTime timeOfDay() const = 0;
};

// The machine's clocks: the boot clock, which unlike Qt's elapsed timer
// counts the time spent suspended, and the time of day.
class SystemClock : public Clock
{
public:
    qint64 monotonicMs() const override;
    QTime timeOfDay() const override { return QTime::currentTime(); }
};

// The one-hour countdown in whole minutes. The display drops by one minute
// each time the wall clock's second turns 0, as the candidate expects, but
// each minute boundary is counted exactly once: at start the position within
// the wall-clock minute is taken, and from then on only the steady clock
// says how many boundaries have passed. A late or merged timer tick, two
// ticks in one second, the system clock being set or the machine sleeping
// neither lengthens nor shortens the exam: "0:00" comes between 59 and 60
// minutes after start; the minutes slept go at the first tick after waking.
class Countdown
{
public:
    static constexpr int kMinutes = 60;

    explicit Countdown(const Clock &clock) : m_clock(clock) {}

    void start();
    // Recomputes the remaining minutes; true when they changed.
    bool update();
    int remainingMinutes() const { return m_remaining; }

    // "h:mm": 60 → "1:00", 59 → "0:59", 0 → "0:00".
    static QString format(int minutes);

private:
    const Clock &m_clock;
    qint64 m_startMs = 0;
    qint64 m_phaseMs = 0; // milliseconds into the wall-clock minute at start
    int m_remaining = kMinutes;
};

} // namespace karvel
