// One run of the exam's hour, with the clock moved by hand: Start, the
// ticks that open the chime, then the tick that shows "0:00". Prints the
// monotonic time (CLOCK_MONOTONIC, seconds) at which that last tick began,
// so that bench/chime_onset.py can measure how long the chime takes from
// there to reach the sound server. The chime is the Zikan.wav beside this
// program, as beside the exam's own.
#include "exam/examwindow.h"
#include "tests/manualclock.h"
#include "widgets/fonts.h"
#include "widgets/soundstrip.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>

#include <cstdio>
#include <ctime>

namespace {

double monotonicSeconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Lets events run for `ms` milliseconds, or until `done` holds.
template<typename F>
void runEvents(int ms, F &&done)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    karvel::installFontFallbacks();
    karvel::ManualClock clock;
    clock.setWall(10 * 3600 * 1000 + 30000); // 10:00:30
    karvel::ExamWindow window(&clock);
    window.show();
    auto *seconds = window.findChild<QLabel *>(QStringLiteral("lbl秒"));

    window.start();
    // The first tick opens the chime; a few seconds of the hour pass, as
    // they do for a candidate, while it is read.
    clock.advance(1000);
    window.tick();
    runEvents(3000, [] { return false; });
    if (!window.soundStrip()->isOpen()) {
        std::fprintf(stderr, "the chime %s did not open\n",
                     qUtf8Printable(window.soundStrip()->fileName()));
        return 1;
    }
    // On to the last second before "0:00", every tick as the timer gives it.
    while (seconds->text() != QLatin1String("0:01")) {
        clock.advance(1000);
        window.tick();
    }
    for (;;) {
        clock.advance(1000);
        if (clock.timeOfDay().second() == 0)
            break;
        window.tick();
    }
    runEvents(500, [] { return false; });

    const double began = monotonicSeconds();
    window.tick();
    if (seconds->text() != QLatin1String("0:00")) {
        std::fprintf(stderr, "the last tick showed %s\n", qUtf8Printable(seconds->text()));
        return 1;
    }
    std::printf("0:00 %.6f\n", began);
    std::fflush(stdout);
    // The chime plays on; the run ends once it has.
    runEvents(3000, [] { return false; });
    return 0;
}
