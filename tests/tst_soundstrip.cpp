// The sound player strip: what its commands ask of the player behind it,
// its buttons, and the real player with files that are missing, cannot be
// played or are no files at all.

#include "recordingbackend.h"
#include "widgets/sound/waveoutput.h"
#include "widgets/soundstrip.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>


using namespace karvel;

namespace {

QString chimePath()
{
    return QStringLiteral(KARVEL_SOURCE_DIR "/resources/Zikan.wav");
}

} // namespace

class TestSoundStrip : public QObject
{
    Q_OBJECT

private:
    QStringList m_log;

    QToolButton *button(SoundPlayerStrip &strip, const char *name)
    {
        return strip.findChild<QToolButton *>(QLatin1String(name));
    }

private slots:
    void initTestCase()
    {
        // Qt's player must find no audio server, whatever runs on this
        // machine: point it at a socket that does not exist.
        qputenv("PULSE_SERVER", "unix:/nonexistent/karvel-test/native");
    }

    void init() { m_log.clear(); }

    void openingTheOpenFileAgainCostsNothing()
    {
        SoundPlayerStrip strip;
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        // The exam's timer sends "Open" every second.
        for (int i = 0; i < 5; ++i)
            strip.command(QStringLiteral("Open"));
        QCOMPARE(m_log, QStringList{QStringLiteral("open /a/Zikan.wav")});
        QVERIFY(strip.isOpen());
        QCOMPARE(strip.openFile(), QStringLiteral("/a/Zikan.wav"));

        // Another file is opened, and the first one again after it.
        strip.setFileName(QStringLiteral("/b/other.wav"));
        strip.command(QStringLiteral("Open"));
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Open"));
        QCOMPARE(m_log, (QStringList{QStringLiteral("open /a/Zikan.wav"),
                                     QStringLiteral("open /b/other.wav"),
                                     QStringLiteral("open /a/Zikan.wav")}));

        // After Close the next Open asks the player again.
        strip.command(QStringLiteral("Close"));
        QVERIFY(!strip.isOpen());
        strip.command(QStringLiteral("Open"));
        QCOMPARE(m_log.mid(3), (QStringList{QStringLiteral("close"),
                                            QStringLiteral("open /a/Zikan.wav")}));
    }

    void nothingPlaysBeforeOpen()
    {
        SoundPlayerStrip strip;
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        for (const char *c : {"Prev", "Play", "Stop", "Close"})
            strip.command(QLatin1String(c));
        QVERIFY(m_log.isEmpty());
        // An empty file name opens nothing either.
        strip.setFileName(QString());
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Play"));
        QVERIFY(m_log.isEmpty());
        QVERIFY(!strip.isOpen());
    }

    void commandsOnceOpen()
    {
        SoundPlayerStrip strip;
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        // Command names are taken in any case; unknown ones are ignored.
        strip.command(QStringLiteral("open"));
        strip.command(QStringLiteral("PREV"));
        strip.command(QStringLiteral("Play"));
        strip.command(QStringLiteral("Record"));
        strip.command(QStringLiteral(""));
        QCOMPARE(m_log, (QStringList{QStringLiteral("open /a/Zikan.wav"), QStringLiteral("rewind"),
                                     QStringLiteral("play")}));
    }

    // A file found unplayable is asked for again on every Open (the player
    // looks at it, cheaply); once it is put right, it opens.
    void unplayableFileIsAskedForAgain()
    {
        SoundPlayerStrip strip;
        auto backend = std::make_unique<RecordingBackend>(
            &m_log, QStringList{QStringLiteral("/gone/Zikan.wav")});
        RecordingBackend *player = backend.get();
        strip.setBackend(std::move(backend));
        strip.setFileName(QStringLiteral("/gone/Zikan.wav"));
        for (int i = 0; i < 3; ++i)
            strip.command(QStringLiteral("Open"));
        QVERIFY(!strip.isOpen());
        for (const char *c : {"Prev", "Play", "Stop"})
            strip.command(QLatin1String(c));
        QCOMPARE(m_log, QStringList(3, QStringLiteral("open /gone/Zikan.wav")));
        for (QToolButton *b : strip.findChildren<QToolButton *>())
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        player->refuse.clear();
        strip.command(QStringLiteral("Open"));
        QVERIFY(strip.isOpen());
        // Another file is asked for.
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        QVERIFY(strip.isOpen());
        QCOMPARE(m_log.size(), 5);
    }

    void answersThatComeLate()
    {
        SoundPlayerStrip strip;
        auto backend = std::make_unique<RecordingBackend>(
            &m_log, QStringList{QStringLiteral("/b/Zikan.wav")});
        RecordingBackend *player = backend.get();
        player->holdAnswers = true;
        strip.setBackend(std::move(backend));

        // While the player opens the file, Open waits, and Play waits for
        // the file: it plays once the file turns out playable.
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Prev"));
        strip.command(QStringLiteral("Play"));
        QVERIFY(!strip.isOpen());
        QVERIFY(!button(strip, "Play")->isEnabled());
        player->answer();
        QVERIFY(strip.isOpen());
        QVERIFY(button(strip, "Play")->isEnabled());
        QCOMPARE(m_log, (QStringList{QStringLiteral("open /a/Zikan.wav"), QStringLiteral("play")}));

        // An answer about a file no longer wanted changes nothing, and plays
        // nothing; nor does the answer that a file is unplayable.
        m_log.clear();
        strip.setFileName(QStringLiteral("/c/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Play"));
        strip.setFileName(QStringLiteral("/b/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Play"));
        player->answer(); // /c: playable, but stale
        QVERIFY(!strip.isOpen());
        player->answer(); // /b: unplayable
        QVERIFY(!strip.isOpen());
        strip.command(QStringLiteral("Close"));
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        strip.command(QStringLiteral("Play"));
        strip.command(QStringLiteral("Close"));
        player->answer(); // after Close: stale too
        QVERIFY(!strip.isOpen());
        QCOMPARE(m_log, (QStringList{QStringLiteral("open /c/Zikan.wav"),
                                     QStringLiteral("open /b/Zikan.wav"),
                                     QStringLiteral("close"),
                                     QStringLiteral("open /a/Zikan.wav"),
                                     QStringLiteral("close")}));
    }

    void buttonsFollowTheOpenFile()
    {
        SoundPlayerStrip strip;
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        strip.show();
        QCOMPARE(strip.findChildren<QToolButton *>().size(), 9);
        QVERIFY(!button(strip, "Play")->isEnabled());
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        for (const char *name : {"Prev", "Play", "Pause", "Back", "Stop", "Eject"})
            QVERIFY2(button(strip, name)->isEnabled(), name);
        for (const char *name : {"Next", "Step", "Record"})
            QVERIFY2(!button(strip, name)->isEnabled(), name);

        m_log.clear();
        button(strip, "Prev")->click();
        button(strip, "Play")->click();
        button(strip, "Pause")->click();
        QCOMPARE(m_log, (QStringList{QStringLiteral("rewind"), QStringLiteral("play"),
                                     QStringLiteral("stop")}));
        button(strip, "Eject")->click();
        QCOMPARE(m_log.last(), QStringLiteral("close"));
        QVERIFY(!strip.isOpen());
        QVERIFY(!button(strip, "Play")->isEnabled());

        // A new player behind the strip starts closed.
        strip.command(QStringLiteral("Open"));
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        QVERIFY(!strip.isOpen());
        QVERIFY(!button(strip, "Play")->isEnabled());
    }

    // The player comes from the sound module beside the program, loaded on
    // first use. A module that is missing, cut short (an interrupted copy),
    // no library at all or without the player's entry point is refused,
    // not loaded, with one line that names it and says why; every file is
    // then unplayable.
    void playerFromTheSoundModule()
    {
        QFile built(QStringLiteral(KARVEL_BINARY_DIR "/sound/libkarvel-sound.so"));
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray module = built.readAll();
        QByteArray noEntry = module;
        noEntry.replace("karvel_new_sound_backend", "karvel_old_sound_backend");
        const std::pair<QByteArray, const char *> faults[] = {
            {QByteArray(), "is missing"},
            {module.left(20000), "is cut short"},
            {QByteArray(""), "is empty"},
            {QByteArray(4096, 'x'), "is not a library (no ELF header)"},
            {noEntry, "has no entry point karvel_new_sound_backend"},
        };
        static QStringList said;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &m) { said.append(m); });
        auto restore = qScopeGuard([&] { qInstallMessageHandler(previous); });
        for (const auto &[bytes, reason] : faults) {
            QTemporaryDir folder;
            const QString path = folder.filePath(QStringLiteral("sound/libkarvel-sound.so"));
            QFile file(path);
            QVERIFY(bytes.isNull() || (QDir(folder.path()).mkdir(QStringLiteral("sound"))
                                       && file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0));
            file.close();
            said.clear();
            auto none = loadSoundBackend(folder.path());
            loadSoundBackend(folder.path());
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].contains(path + QLatin1Char(' ') + QLatin1String(reason)),
                     qPrintable(said[0]));
            bool playable = true;
            none->open(chimePath(), [&](bool p) { playable = p; });
            QVERIFY(!playable);
        }

        auto player = loadSoundBackend(QStringLiteral(KARVEL_BINARY_DIR));
        // Only the latest open is answered: not one overtaken by Close or by
        // another Open, though its file is read first.
        int overtaken = 0;
        player->open(chimePath(), [&](bool) { ++overtaken; });
        player->close();
        player->open(chimePath(), [&](bool) { ++overtaken; });
        bool opened = false;
        player->open(chimePath(), [&](bool p) { opened = p; });
        QTRY_VERIFY(opened);
        QCOMPARE(overtaken, 0);
    }

    // The real player, with no audio server: opening and destroying it
    // return at once whatever the file is; a file that cannot be played is
    // named once on standard error, the chime not at all.
    void realPlayer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // empty: playable
        QTest::newRow("the chime") << QStringLiteral("chime") << QString();
        QTest::newRow("named pipe") << QStringLiteral("pipe") << QStringLiteral("is not a regular file");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is not a regular file");
        QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero") << QStringLiteral("is not a regular file");
        QTest::newRow("empty file") << QStringLiteral("empty") << QStringLiteral("is empty");
        QTest::newRow("not a wave file") << QStringLiteral("garbage") << QStringLiteral("is not a wave sound");
        QTest::newRow("missing file") << QStringLiteral("missing") << QStringLiteral("is missing");
    }

    void realPlayer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("Zikan.wav"));
        if (kind == QLatin1String("chime")) {
            path = chimePath();
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Zikan.wav")));
        } else if (kind.startsWith(QLatin1Char('/'))) {
            path = kind;
        } else if (kind != QLatin1String("missing")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("garbage")) {
                static const char garbage[] = "RIFF\x10\0\0\0WAVEfmt not really a wave file";
                f.write(garbage, sizeof garbage - 1);
            }
        }

        // The messages that name the file; all go on to the test's log.
        static QStringList named;
        static QString watched;
        static QtMessageHandler previous;
        named.clear();
        watched = path;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                if (message.contains(watched))
                    named.append(message);
                previous(type, context, message);
            });
        auto restore = qScopeGuard([] { qInstallMessageHandler(previous); });

        // A hang shows as seconds; anything under one is "at once".
        QElapsedTimer clock;
        qint64 slowest = 0;
        auto timed = [&](auto &&action) {
            clock.start();
            action();
            slowest = std::max(slowest, clock.elapsed());
        };
        // A file is opened once, to be read, and not again while it stays as
        // it is, though every Open looks at it; what is no regular file is
        // never opened: that can wait, or set off a pipe's other end.
        const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        auto closeOpens = qScopeGuard([opens] { ::close(opens); });
        const bool ours = path.startsWith(dir.path());
        if (ours) // closes too, or repeated opens would be merged into one
            inotify_add_watch(opens, QFile::encodeName(path).constData(), IN_OPEN | IN_CLOSE);

        auto strip = std::make_unique<SoundPlayerStrip>();
        strip->setBackend(std::make_unique<WaveOutput>());
        strip->setFileName(path);
        timed([&] { strip->command(QStringLiteral("Open")); });
        if (reason.isEmpty()) {
            QTRY_VERIFY(strip->isOpen());
        } else {
            QTRY_COMPARE(named.size(), 1);
            QVERIFY2(named[0].contains(reason), qPrintable(named[0]));
        }
        // As the exam does: open on every tick, then rewind and play; and
        // the file once more after letting it go.
        for (const char *c : {"Open", "Open", "Prev", "Play", "Close", "Open", "Prev", "Play"}) {
            timed([&] { strip->command(QLatin1String(c)); });
            QTest::qWait(10);
        }
        QTest::qWait(200);
        QCOMPARE(strip->isOpen(), reason.isEmpty());
        QCOMPARE(named.size(), reason.isEmpty() ? 0 : 1);
        if (ours) {
            inotify_event event;
            int opened = 0;
            while (::read(opens, &event, sizeof event) == sizeof event)
                opened += (event.mask & IN_OPEN) != 0;
            QCOMPARE(opened, int(QFileInfo(path).isFile()));
            // Once the chime is put in its place, the next Open finds it.
            ::remove(QFile::encodeName(path).constData());
            QVERIFY(QFile::copy(chimePath(), path));
            QVERIFY(QTest::qWaitFor([&] {
                strip->command(QStringLiteral("Open"));
                return strip->isOpen();
            }));
            QCOMPARE(named.size(), 1);
        }
        timed([&] { strip.reset(); });
        QVERIFY2(slowest < 1000, qPrintable(QStringLiteral("a command took %1 ms").arg(slowest)));
    }

    // A player that goes while its file is still being read leaves the
    // reading to finish on its own.
    void playerGoesWhileReading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.wav"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(32 * 1024 * 1024, 'x'));
        f.close();
        for (int i = 0; i < 3; ++i) {
            auto strip = std::make_unique<SoundPlayerStrip>();
            strip->setBackend(std::make_unique<WaveOutput>());
            strip->setFileName(path);
            strip->command(QStringLiteral("Open"));
        }
        QTest::qWait(500);
    }
};

QTEST_MAIN(TestSoundStrip)
#include "tst_soundstrip.moc"
