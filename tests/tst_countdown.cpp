// The countdown's arithmetic, driven by a clock the test moves by hand.

#include "exam/countdown.h"
#include "manualclock.h"

#include <QtTest>

using namespace karvel;

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
