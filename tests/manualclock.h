#pragma once

#include "exam/countdown.h"

#include <QTime>

namespace karvel {

// A steady clock and a wall clock (ms since midnight) that a test moves by
// hand; the wall clock can also be set on its own, as a user setting the
// time would. Both run on while the machine sleeps: a sleep is time advanced
// with no tick in between.
class ManualClock : public Clock
{
public:
    static constexpr qint64 kDay = 24 * 3600 * 1000;

    qint64 monotonicMs() const override { return mono; }
    QTime timeOfDay() const override { return QTime(0, 0).addMSecs(int(wall)); }
    void advance(qint64 ms)
    {
        mono += ms;
        setWall(wall + ms);
    }
    void setWall(qint64 ms) { wall = ((ms % kDay) + kDay) % kDay; }

    qint64 mono = 0;
    qint64 wall = 0;
};

} // namespace karvel
