// Random sequences of what a candidate and the timer can do to the exam
// window (box clicks, Start, Score, Pass rate, timer ticks, a clock set by
// hand), each step checked against a small model of the exam's states that
// is written here from scratch: the answer key and bands typed out again,
// the remaining minutes counted from wall-minute boundaries.
//
// A failure prints the seed and the steps.
// Three sequences run on one window, one after the other, under one seed:
// KARVEL_MODEL_SEED=<n> replays that window, KARVEL_MODEL_SEQUENCES=<n> runs
// more or fewer sequences than the default.

#include "exam/examwindow.h"
#include "manualclock.h"
#include "recordingbackend.h"
#include "widgets/fonts.h"
#include "widgets/soundstrip.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

#include <array>

using namespace karvel;

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kDay = 24 * 60 * kMinute;

// The correct box and the points of questions 1 to 40.
constexpr int kChoice[40] = {3, 2, 3, 3, 3, 1, 4, 2, 1, 4, 3, 2, 4, 4, 2, 3, 3, 2, 4, 4,
                             2, 4, 1, 3, 4, 4, 2, 1, 4, 4, 1, 1, 4, 2, 3, 2, 3, 2, 3, 1};
constexpr int kPoints[40] = {3, 2, 3, 2, 2, 3, 3, 2, 3, 2, 3, 3, 2, 2, 3, 2, 3, 3, 3, 2,
                             2, 2, 3, 3, 2, 3, 2, 2, 3, 2, 2, 3, 2, 3, 3, 2, 2, 3, 3, 2};

// What the sound player was asked, read from its log.
struct SoundLog
{
    QStringList entries;
    int plays() const { return int(entries.count(QStringLiteral("play"))); }
    int opens() const
    {
        return int(std::count_if(entries.begin(), entries.end(), [](const QString &e) {
            return e.startsWith(QLatin1String("open "));
        }));
    }
    QString openedPath() const
    {
        for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
            if (it->startsWith(QLatin1String("open ")))
                return it->mid(5);
        }
        return {};
    }
    // Every chime is asked for right after going back to the start.
    bool playAfterRewind() const
    {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (entries[i] == QLatin1String("play")
                && (i == 0 || entries[i - 1] != QLatin1String("rewind")))
                return false;
        }
        return true;
    }
};

// What the exam window should show, kept by the rules of the exam.
struct Model
{
    bool timer = false;
    QString seconds;
    bool startEnabled = true;
    QString score;
    std::array<bool, 40> marks{};
    std::array<std::array<bool, 4>, 40> boxes{};
    int plays = 0;
    bool ticked = false; // a tick has happened since the window opened
    qint64 startMono = 0;
    qint64 startPhase = 0; // ms into the wall-clock minute at Start

    // Minutes left: one goes at each wall-minute boundary after Start. The
    // first boundary comes (60 s - phase) after Start, then one a minute;
    // only the monotonic clock measures how many have passed.
    int remaining(qint64 mono) const
    {
        const qint64 elapsed = mono - startMono;
        const qint64 first = kMinute - startPhase;
        int passed = 0;
        if (elapsed >= first)
            passed = 1 + int(std::min<qint64>((elapsed - first) / kMinute, 100));
        return passed >= 60 ? 0 : 60 - passed;
    }

    static QString clockText(int minutes)
    {
        if (minutes == 60)
            return QStringLiteral("1:00");
        return QStringLiteral("0:") + (minutes < 10 ? QStringLiteral("0") : QString())
            + QString::number(minutes);
    }

    void start(const ManualClock &clock)
    {
        timer = true;
        startMono = clock.mono;
        startPhase = clock.wall % kMinute;
        seconds = QStringLiteral("1:00");
        startEnabled = false;
        score.clear();
        marks.fill(false);
    }

    void tick(const ManualClock &clock)
    {
        ticked = true;
        seconds = clockText(remaining(clock.mono));
        if (seconds == QLatin1String("0:00")) {
            timer = false;
            ++plays;
        }
    }

    void scoreSheet()
    {
        startEnabled = true;
        seconds.clear();
        timer = false;
        int total = 0;
        for (int q = 0; q < 40; ++q) {
            bool right = boxes[q][kChoice[q] - 1];
            for (int k = 0; k < 4; ++k) {
                if (k != kChoice[q] - 1 && boxes[q][k])
                    right = false;
            }
            marks[q] = right;
            if (right)
                total += kPoints[q];
        }
        score = QString::number(total);
    }

    int verdict() const
    {
        if (score.isEmpty())
            return 0;
        const int s = score.toInt();
        if (s == 100)
            return 1;
        if (s >= 80)
            return 2;
        if (s >= 60)
            return 3;
        if (s >= 40)
            return 4;
        if (s >= 1)
            return 5;
        return 6;
    }
};

// One exam window under test, with its controls found once.
struct Subject
{
    ManualClock clock;
    SoundLog sound;
    std::unique_ptr<ExamWindow> window;
    QPushButton *start = nullptr;
    QPushButton *score = nullptr;
    QPushButton *passRate = nullptr;
    QLabel *seconds = nullptr;
    QLabel *scoreLabel = nullptr;
    // std::vector, not QList: comparing empty QLists trips the sanitizers
    // inside Qt 6.4's own header (a memcmp of null pointers).
    std::vector<int> verdicts;

    Subject()
    {
        window = std::make_unique<ExamWindow>(&clock);
        window->soundStrip()->setBackend(std::make_unique<RecordingBackend>(&sound.entries));
        start = window->findChild<QPushButton *>(QStringLiteral("cmdスタート"));
        score = window->findChild<QPushButton *>(QStringLiteral("cmd得点"));
        passRate = window->findChild<QPushButton *>(QStringLiteral("cmd合格率"));
        seconds = window->findChild<QLabel *>(QStringLiteral("lbl秒"));
        scoreLabel = window->findChild<QLabel *>(QStringLiteral("lbl得点"));
        QObject::connect(window.get(), &ExamWindow::verdictRequested, window.get(),
                         [this](int n) { verdicts.push_back(n); });
    }
};

// A score text the exam can produce: empty, or 0..100 in plain digits
// without 1 and 99.
bool plausibleScore(const QString &text)
{
    if (text.isEmpty())
        return true;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    if (text.size() > 1 && text.startsWith(QLatin1Char('0')))
        return false;
    const int s = text.toInt();
    return s >= 0 && s <= 100 && s != 1 && s != 99;
}

struct Stats
{
    int sequences = 0;
    int steps = 0;
    int starts = 0;
    int ticks = 0;
    int timeUps = 0;
    int scoresDuringCountdown = 0;
    int wallSets = 0;
    qint64 buildMs = 0;
    std::array<int, 7> verdicts{};
};

class Run
{
public:
    Run(quint32 seed, Stats &stats) : m_rng(seed), m_seed(seed), m_stats(stats) {}

    // Opens a window and runs `sequences` sequences of up to `maxSteps`
    // steps on it, one after another (the first from the freshly opened
    // window, each later one from where the one before left off); returns
    // an empty text or what went wrong.
    QString go(int sequences, int maxSteps)
    {
        QElapsedTimer built;
        built.start();
        Subject s;
        m_stats.buildMs += built.elapsed();
        m_s = &s;
        // A random time of day, anywhere in its minute.
        s.clock.setWall(m_rng.bounded(int(kDay)));
        s.clock.mono = m_rng.bounded(1000000);
        QString error = compare();
        if (!error.isEmpty())
            return report(QStringLiteral("as built: ") + error);
        for (int n = 0; n < sequences; ++n) {
            if (n > 0)
                log(QStringLiteral("(next sequence)"));
            const int steps = 1 + m_rng.bounded(maxSteps);
            for (int i = 0; i < steps; ++i) {
                error = step();
                ++m_stats.steps;
                if (error.isEmpty())
                    error = compare();
                if (!error.isEmpty())
                    return report(error);
            }
            ++m_stats.sequences;
        }
        return QString();
    }

private:
    QString report(const QString &error) const
    {
        return QStringLiteral("seed %1, after step %2 of the window: %3\nsteps:\n  %4")
            .arg(m_seed)
            .arg(m_steps.size())
            .arg(error, m_steps.join(QStringLiteral("\n  ")));
    }

    void log(const QString &what) { m_steps.append(what); }

    QString wallText() const
    {
        return m_s->clock.timeOfDay().toString(QStringLiteral("HH:mm:ss.zzz"));
    }

    void clickBox(int q, int k)
    {
        m_s->window->box(q + 1, k + 1)->click();
        m_model.boxes[q][k] = !m_model.boxes[q][k];
    }

    // Clicks boxes until question q holds `want`.
    void setQuestion(int q, const std::array<bool, 4> &want)
    {
        for (int k = 0; k < 4; ++k) {
            if (m_model.boxes[q][k] != want[k])
                clickBox(q, k);
        }
    }

    std::array<bool, 4> rightAnswer(int q) const
    {
        std::array<bool, 4> a{};
        a[kChoice[q] - 1] = true;
        return a;
    }

    std::array<bool, 4> randomAnswer()
    {
        std::array<bool, 4> a{};
        for (bool &b : a)
            b = m_rng.bounded(3) == 0;
        return a;
    }

    // Advances the clock as time passes before a timer tick: mostly about a
    // second, sometimes a doubled tick, a late one, a very late one, or just
    // up to the next minute boundary (or 1 ms short of it).
    qint64 tickDelay()
    {
        const int kind = m_rng.bounded(100);
        if (kind < 55)
            return 950 + m_rng.bounded(101);
        if (kind < 67)
            return m_rng.bounded(301);
        if (kind < 82)
            return 2000 + m_rng.bounded(int(5 * kMinute));
        if (kind < 87)
            return 5 * kMinute + m_rng.bounded(int(70 * kMinute));
        // The exact moment of the next wall-minute boundary after Start.
        const qint64 elapsed = m_s->clock.mono - m_model.startMono;
        const qint64 first = kMinute - m_model.startPhase;
        qint64 next = first;
        if (elapsed >= first)
            next = first + ((elapsed - first) / kMinute + 1) * kMinute;
        qint64 delay = next - elapsed - (m_rng.bounded(2) == 0 ? 1 : 0);
        return std::max<qint64>(0, delay);
    }

    QString step()
    {
        const int kind = m_rng.bounded(100);
        const int before = m_s->sound.plays();
        const bool wasRunning = m_model.timer;
        if (kind < 22) {
            const int q = m_rng.bounded(40);
            const int k = m_rng.bounded(4);
            log(QStringLiteral("click box %1 of question %2").arg(k + 1).arg(q + 1));
            clickBox(q, k);
        } else if (kind < 27) {
            // Answer many questions at once, often all of them right, so
            // that every band of scores comes up.
            const bool allRight = m_rng.bounded(3) == 0;
            const int share = m_rng.bounded(101);
            log(QStringLiteral("answer the sheet (%1, %2% right)")
                    .arg(allRight ? QStringLiteral("all") : QStringLiteral("some"))
                    .arg(share));
            for (int q = 0; q < 40; ++q) {
                if (allRight || m_rng.bounded(100) < share)
                    setQuestion(q, rightAnswer(q));
                else
                    setQuestion(q, randomAnswer());
            }
        } else if (kind < 36) {
            log(QStringLiteral("press Start at %1").arg(wallText()));
            const bool enabled = m_model.startEnabled;
            QTest::mouseClick(m_s->start, Qt::LeftButton);
            if (enabled) {
                m_model.start(m_s->clock);
                ++m_stats.starts;
            }
        } else if (kind < 42) {
            log(QStringLiteral("press Score"));
            if (m_model.timer)
                ++m_stats.scoresDuringCountdown;
            QTest::mouseClick(m_s->score, Qt::LeftButton);
            m_model.scoreSheet();
            if (m_s->sound.plays() != before)
                return QStringLiteral("Score asked for the chime");
        } else if (kind < 48) {
            log(QStringLiteral("press Pass rate"));
            m_s->verdicts.clear();
            QTest::mouseClick(m_s->passRate, Qt::LeftButton);
            const int want = m_model.verdict();
            const std::vector<int> expected = want ? std::vector<int>{want} : std::vector<int>{};
            ++m_stats.verdicts[want];
            if (m_s->verdicts != expected)
                return QStringLiteral("Pass rate asked for windows %1, expected %2")
                    .arg(list(m_s->verdicts), list(expected));
        } else if (kind < 52) {
            // The user sets the system clock; the monotonic clock goes on.
            const qint64 shift = (m_rng.bounded(2) ? 1 : -1)
                * qint64(1 + m_rng.bounded(int(3 * 3600 * 1000)));
            log(QStringLiteral("set the wall clock by %1 ms").arg(shift));
            m_s->clock.setWall(m_s->clock.wall + shift);
            ++m_stats.wallSets;
        } else {
            const qint64 delay = tickDelay();
            m_s->clock.advance(delay);
            if (m_model.timer) {
                log(QStringLiteral("%1 ms, tick at %2").arg(delay).arg(wallText()));
                const QString shownBefore = m_model.seconds;
                m_s->window->tick();
                m_model.tick(m_s->clock);
                ++m_stats.ticks;
                if (m_s->sound.plays() != before) {
                    if (m_s->seconds->text() != QLatin1String("0:00"))
                        return QStringLiteral("the chime came on a tick showing \"%1\"")
                            .arg(m_s->seconds->text());
                    if (shownBefore == QLatin1String("0:00"))
                        return QStringLiteral("the chime came again after \"0:00\"");
                    ++m_stats.timeUps;
                }
            } else {
                log(QStringLiteral("%1 ms pass").arg(delay));
            }
        }
        if (m_s->sound.plays() - before > 1)
            return QStringLiteral("the chime was asked for %1 times in one step")
                .arg(m_s->sound.plays() - before);
        if (m_s->sound.plays() != before && !wasRunning)
            return QStringLiteral("the chime came with no countdown running");
        return QString();
    }

    static QString list(const std::vector<int> &l)
    {
        QStringList parts;
        for (int n : l)
            parts.append(QString::number(n));
        return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
    }

    // Every observable against the model, and the invariants. The texts
    // are made only for what differs: this runs after every step.
    QString compare() const
    {
        const Subject &s = *m_s;
        const Model &m = m_model;
        QStringList diffs;
        if (s.window->timerActive() != m.timer)
            diffs.append(QStringLiteral("timer %1, expected %2").arg(!m.timer).arg(m.timer));
        if (s.seconds->text() != m.seconds)
            diffs.append(QStringLiteral("lbl秒 \"%1\", expected \"%2\"").arg(s.seconds->text(), m.seconds));
        if (s.start->isEnabled() != m.startEnabled)
            diffs.append(QStringLiteral("Start enabled %1, expected %2").arg(!m.startEnabled).arg(m.startEnabled));
        if (s.scoreLabel->text() != m.score)
            diffs.append(QStringLiteral("lbl得点 \"%1\", expected \"%2\"").arg(s.scoreLabel->text(), m.score));
        if (!plausibleScore(s.scoreLabel->text()))
            diffs.append(QStringLiteral("lbl得点 \"%1\" is no score").arg(s.scoreLabel->text()));
        for (int q = 0; q < 40; ++q) {
            if (s.window->mark(q + 1)->isHidden() == m.marks[q])
                diffs.append(QStringLiteral("mark %1 shown %2, expected %3").arg(q + 1).arg(!m.marks[q]).arg(m.marks[q]));
            for (int k = 0; k < 4; ++k) {
                if (s.window->box(q + 1, k + 1)->isChecked() != m.boxes[q][k])
                    diffs.append(QStringLiteral("box %1 of question %2 ticked %3").arg(k + 1).arg(q + 1).arg(!m.boxes[q][k]));
            }
        }
        if (s.sound.plays() != m.plays)
            diffs.append(QStringLiteral("%1 chimes asked for, expected %2").arg(s.sound.plays()).arg(m.plays));
        if (!s.sound.playAfterRewind())
            diffs.append(QStringLiteral("the chime was not rewound before playing"));
        // The chime is opened once, from the program's folder, and only
        // after the first tick.
        if (s.sound.opens() != (m.ticked ? 1 : 0))
            diffs.append(QStringLiteral("the player opened a file %1 times").arg(s.sound.opens()));
        if (s.sound.opens() && s.sound.openedPath() != m_chime)
            diffs.append(QStringLiteral("the player opened %1").arg(s.sound.openedPath()));
        return diffs.join(QStringLiteral("; "));
    }

    const QString m_chime = ExamWindow::AppFolder() + QStringLiteral("Zikan.wav");
    QRandomGenerator m_rng;
    quint32 m_seed;
    Stats &m_stats;
    Subject *m_s = nullptr;
    Model m_model;
    QStringList m_steps;
};

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installFontFallbacks(); }

    // The model itself, on the cases the exam's rules spell out, so that a
    // fault in it is not mistaken for one in the window.
    void modelFollowsTheRules()
    {
        ManualClock clock;
        clock.setWall(10 * 3600 * 1000 + 30000); // 10:00:30
        Model m;
        m.start(clock);
        QCOMPARE(m.remaining(clock.mono + 29999), 60);
        QCOMPARE(m.remaining(clock.mono + 30000), 59);
        QCOMPARE(m.remaining(clock.mono + 30000 + 58 * kMinute), 1);
        QCOMPARE(m.remaining(clock.mono + 30000 + 59 * kMinute - 1), 1);
        QCOMPARE(m.remaining(clock.mono + 30000 + 59 * kMinute), 0);
        QCOMPARE(m.remaining(clock.mono + 10 * 3600 * 1000), 0);
        QCOMPARE(Model::clockText(60), QStringLiteral("1:00"));
        QCOMPARE(Model::clockText(9), QStringLiteral("0:09"));
        QCOMPARE(Model::clockText(0), QStringLiteral("0:00"));

        // Started right on a boundary, the first minute goes a full minute later.
        clock.setWall(0);
        m.start(clock);
        QCOMPARE(m.remaining(clock.mono + kMinute - 1), 60);
        QCOMPARE(m.remaining(clock.mono + kMinute), 59);

        int points = 0;
        for (int q = 0; q < 40; ++q) {
            points += kPoints[q];
            m.boxes[q][kChoice[q] - 1] = true;
        }
        QCOMPARE(points, 100);
        m.scoreSheet();
        QCOMPARE(m.score, QStringLiteral("100"));
        QCOMPARE(m.verdict(), 1);
        m.boxes[0][0] = true; // question 1 (3 points) with a second tick
        m.scoreSheet();
        QCOMPARE(m.score, QStringLiteral("97"));
        QVERIFY(!m.marks[0]);
        QCOMPARE(m.verdict(), 2);
        m.start(clock);
        QCOMPARE(m.verdict(), 0);
    }

    void randomSequences()
    {
        const int sequences = qEnvironmentVariableIsSet("KARVEL_MODEL_SEQUENCES")
            ? qEnvironmentVariableIntValue("KARVEL_MODEL_SEQUENCES") : 3000;
        const bool one = qEnvironmentVariableIsSet("KARVEL_MODEL_SEED");
        const quint32 first = one ? quint32(qEnvironmentVariableIntValue("KARVEL_MODEL_SEED")) : 20240001;
        Stats stats;
        QElapsedTimer timer;
        timer.start();
        // Three sequences to a window: building one costs more than the steps.
        constexpr int kPerWindow = 3;
        for (int i = 0; i < (one ? 1 : (sequences + kPerWindow - 1) / kPerWindow); ++i) {
            Run run(first + quint32(i), stats);
            const QString error = run.go(kPerWindow, 80);
            if (!error.isEmpty())
                QFAIL(qPrintable(error));
        }
        qInfo("%d sequences, %d steps, %d starts, %d ticks, %d time-ups, %d scores while "
              "running, %d clock sets, verdicts none/1..6: %d/%d/%d/%d/%d/%d/%d, %lld ms (%lld ms "
              "building windows)",
              stats.sequences, stats.steps, stats.starts, stats.ticks, stats.timeUps,
              stats.scoresDuringCountdown, stats.wallSets, stats.verdicts[0], stats.verdicts[1],
              stats.verdicts[2], stats.verdicts[3], stats.verdicts[4], stats.verdicts[5],
              stats.verdicts[6], timer.elapsed(), stats.buildMs);
        if (!one) {
            // The sequences reach what they are meant to reach.
            QVERIFY(stats.timeUps >= sequences / 20);
            QVERIFY(stats.scoresDuringCountdown >= sequences / 10);
            for (int v = 0; v <= 6; ++v)
                QVERIFY2(stats.verdicts[v] > 0, qPrintable(QStringLiteral("verdict %1 never came").arg(v)));
        }
    }
};

QTEST_MAIN(TestModel)
#include "tst_model.moc"
