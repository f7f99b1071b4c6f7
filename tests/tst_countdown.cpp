// The countdown's arithmetic, driven by a clock the test moves by hand, and
// the system clock it reads in the program.

#include "exam/countdown.h"
#include "manualclock.h"

#include <QtTest>

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

using namespace karvel;

namespace {

// Time this process is told the machine spent suspended, and by how much
// its wall clock was set by hand: added to what the kernel says.
qint64 g_asleepMs = 0;
qint64 g_wallSetMs = 0;

} // namespace

// The clocks as this process sees them. While the machine sleeps, the boot
// clock and the wall clock run on and the monotonic clock stops.
extern "C" int clock_gettime(clockid_t id, timespec *ts) noexcept
{
    const int result = int(syscall(SYS_clock_gettime, id, ts));
    const qint64 add = id == CLOCK_BOOTTIME ? g_asleepMs
        : id == CLOCK_REALTIME              ? g_asleepMs + g_wallSetMs
                                            : 0;
    if (result == 0 && add != 0) {
        const qint64 ns = qint64(ts->tv_sec) * 1000000000 + ts->tv_nsec + add * 1000000;
        ts->tv_sec = time_t(ns / 1000000000);
        ts->tv_nsec = long(ns % 1000000000);
    }
    return result;
}

namespace {

// Runs ticks every `interval` ms from start until the countdown reaches 0
// and returns the monotonic time that took.
qint64 runToZero(ManualClock &clock, Countdown &c, qint64 interval)
{
    const qint64 start = clock.mono;
    while (c.remainingMinutes() > 0) {
        clock.advance(interval);
        c.update();
        if (clock.mono - start > 2 * 3600 * 1000)
            break;
    }
    return clock.mono - start;
}

} // namespace

class TestCountdown : public QObject
{
    Q_OBJECT

private slots:
    void format()
    {
        QCOMPARE(Countdown::format(60), QStringLiteral("1:00"));
        QCOMPARE(Countdown::format(59), QStringLiteral("0:59"));
        QCOMPARE(Countdown::format(9), QStringLiteral("0:09"));
        QCOMPARE(Countdown::format(0), QStringLiteral("0:00"));
    }

    void firstMinuteAndEnd_data()
    {
        QTest::addColumn<qint64>("startWall");
        QTest::newRow("at second 0") << qint64(10 * 3600 * 1000);
        QTest::newRow("at second 0.999") << qint64(10 * 3600 * 1000 + 999);
        QTest::newRow("at second 30") << qint64(10 * 3600 * 1000 + 30000);
        QTest::newRow("at second 59.5") << qint64(10 * 3600 * 1000 + 59500);
        QTest::newRow("before midnight") << qint64(86400000 - 20000);
    }

    void firstMinuteAndEnd()
    {
        QFETCH(qint64, startWall);
        ManualClock clock;
        clock.setWall(startWall);
        Countdown c(clock);
        c.start();
        QCOMPARE(c.remainingMinutes(), 60);

        // The first minute is counted at the first tick after the wall
        // clock's second turns 0: between 1 and 60 s after start.
        qint64 first = 0;
        while (c.remainingMinutes() == 60) {
            clock.advance(1000);
            c.update();
            first += 1000;
        }
        QVERIFY2(first >= 1000 && first <= 60000, qPrintable(QString::number(first)));
        QCOMPARE(c.remainingMinutes(), 59);
        // With a tick every second, the counting tick falls in second 0.
        QCOMPARE(clock.timeOfDay().second(), 0);

        // "0:00" between 59 and 60 minutes after start, never below.
        const qint64 total = first + runToZero(clock, c, 1000);
        QVERIFY2(total >= 59 * 60000 && total <= 60 * 60000, qPrintable(QString::number(total)));
        clock.advance(3600000);
        c.update();
        QCOMPARE(c.remainingMinutes(), 0);
    }

    void lateTicksLoseNoMinute()
    {
        // A tick delayed by several seconds across second 0 still counts
        // that minute.
        ManualClock clock;
        clock.setWall(12 * 3600 * 1000 + 55000);
        Countdown c(clock);
        c.start();
        clock.advance(1000); // :56
        QVERIFY(!c.update());
        clock.advance(8000); // :04 of the next minute, second 0 skipped
        QVERIFY(c.update());
        QCOMPARE(c.remainingMinutes(), 59);
        // Ticks merged across two whole minutes count both.
        clock.advance(125000);
        c.update();
        QCOMPARE(c.remainingMinutes(), 57);
    }

    void doubleTicksCountOnce()
    {
        // Two ticks inside one second 0 count one minute.
        ManualClock clock;
        clock.setWall(8 * 3600 * 1000 + 59800);
        Countdown c(clock);
        c.start();
        clock.advance(300); // second 0, .100
        QVERIFY(c.update());
        clock.advance(400); // second 0, .500
        QVERIFY(!c.update());
        clock.advance(300); // second 0, .800
        QVERIFY(!c.update());
        QCOMPARE(c.remainingMinutes(), 59);
    }

    void settingTheSystemClockChangesNothing()
    {
        for (qint64 jump : {qint64(-3600000), qint64(3600000), qint64(-59000), qint64(86399000)}) {
            ManualClock clock;
            clock.setWall(15 * 3600 * 1000 + 20000);
            Countdown c(clock);
            c.start();
            for (int i = 0; i < 600; ++i) { // ten minutes
                clock.advance(1000);
                c.update();
            }
            QCOMPARE(c.remainingMinutes(), 50);
            clock.setWall(clock.wall + jump); // the user sets the clock
            const qint64 rest = runToZero(clock, c, 1000);
            QVERIFY2(rest > 49 * 60000 && rest <= 50 * 60000, qPrintable(QString::number(rest)));
        }
    }

    // The machine sleeps (no tick) and wakes: the minutes slept go at the
    // first tick after, each minute still counted once, "0:00" reached once
    // between 59 and 60 minutes after start.
    void sleepCounts_data()
    {
        QTest::addColumn<qint64>("awake");  // ms of ticks before the sleep
        QTest::addColumn<qint64>("asleep");
        QTest::addColumn<int>("afterWaking"); // minutes left at the first tick
        QTest::newRow("25 minutes") << qint64(600000) << qint64(1500000) << 25;
        QTest::newRow("past the end") << qint64(600000) << qint64(3 * 3600000) << 0;
        QTest::newRow("across one boundary") << qint64(20000) << qint64(15000) << 59;
    }

    void sleepCounts()
    {
        QFETCH(qint64, awake);
        QFETCH(qint64, asleep);
        QFETCH(int, afterWaking);
        ManualClock clock;
        clock.setWall(11 * 3600 * 1000 + 30000); // 11:00:30
        Countdown c(clock);
        c.start();
        for (qint64 t = 0; t < awake; t += 1000) {
            clock.advance(1000);
            c.update();
        }
        clock.advance(asleep);
        clock.advance(1000); // the first tick after waking
        c.update();
        QCOMPARE(c.remainingMinutes(), afterWaking);
        for (int left = afterWaking, ticks = 0; left > 0 && ticks < 3600; ++ticks) {
            clock.advance(1000);
            if (c.update())
                QCOMPARE(c.remainingMinutes(), --left);
        }
        QCOMPARE(c.remainingMinutes(), 0);
        // An hour that ended during the sleep ends at waking.
        if (afterWaking > 0)
            QVERIFY2(clock.mono >= 59 * 60000 && clock.mono <= 60 * 60000, qPrintable(QString::number(clock.mono)));
        else
            QCOMPARE(clock.mono, awake + asleep + 1000);
    }

    // The program's clock counts the time the machine was suspended, and
    // not the wall clock being set.
    void systemClockCountsSleep()
    {
        SystemClock clock;
        const qint64 before = clock.monotonicMs();
        g_asleepMs = 25 * 60000;
        g_wallSetMs = -3600000;
        const qint64 after = clock.monotonicMs();
        g_asleepMs = g_wallSetMs = 0;
        QVERIFY2(after - before >= 25 * 60000 && after - before < 26 * 60000,
                 qPrintable(QString::number(after - before)));
    }

    void restartBeginsAgain()
    {
        ManualClock clock;
        clock.setWall(9 * 3600 * 1000);
        Countdown c(clock);
        c.start();
        runToZero(clock, c, 1000);
        QCOMPARE(c.remainingMinutes(), 0);
        c.start();
        QCOMPARE(c.remainingMinutes(), 60);
        QVERIFY(!c.update());
    }
};

QTEST_APPLESS_MAIN(TestCountdown)
#include "tst_countdown.moc"
