// The sound player strip: what its commands ask of the player behind it,
// its buttons, and Qt's own player with no audio server and with files that
// are missing or cannot be played.

#include "widgets/soundstrip.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace karvel;

namespace {

// Records what the strip asks of its player; `refuse` names files whose
// open fails.
class RecordingBackend : public SoundBackend
{
public:
    RecordingBackend(QStringList *log, QStringList refuse = {})
        : m_log(log), m_refuse(std::move(refuse))
    {
    }
    bool open(const QString &path) override
    {
        m_log->append(QStringLiteral("open ") + path);
        return !m_refuse.contains(path);
    }
    void rewind() override { m_log->append(QStringLiteral("rewind")); }
    void play() override { m_log->append(QStringLiteral("play")); }
    void stop() override { m_log->append(QStringLiteral("stop")); }

private:
    QStringList *m_log;
    QStringList m_refuse;
};

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
        QCOMPARE(m_log.mid(3), (QStringList{QStringLiteral("stop"),
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

    void missingFileLeavesTheStripClosed()
    {
        SoundPlayerStrip strip;
        strip.setBackend(std::make_unique<RecordingBackend>(
            &m_log, QStringList{QStringLiteral("/gone/Zikan.wav")}));
        strip.setFileName(QStringLiteral("/gone/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        QVERIFY(!strip.isOpen());
        for (const char *c : {"Prev", "Play", "Stop"})
            strip.command(QLatin1String(c));
        QCOMPARE(m_log, QStringList{QStringLiteral("open /gone/Zikan.wav")});
        for (QToolButton *b : strip.findChildren<QToolButton *>())
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        // Once the file is there, the next Open finds it.
        strip.setFileName(QStringLiteral("/a/Zikan.wav"));
        strip.command(QStringLiteral("Open"));
        QVERIFY(strip.isOpen());
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
        QVERIFY(!strip.isOpen());
        QVERIFY(!button(strip, "Play")->isEnabled());

        // A new player behind the strip starts closed.
        strip.command(QStringLiteral("Open"));
        strip.setBackend(std::make_unique<RecordingBackend>(&m_log));
        QVERIFY(!strip.isOpen());
        QVERIFY(!button(strip, "Play")->isEnabled());
    }

    // Qt's own player, with no audio server: every command returns at once
    // and nothing is reported, for the chime, a missing file and a file
    // that is no wave sound.
    void qtPlayerWithoutAudioServer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("the chime") << QStringLiteral("chime");
        QTest::newRow("missing file") << QStringLiteral("missing");
        QTest::newRow("not a wave file") << QStringLiteral("garbage");
        QTest::newRow("empty file") << QStringLiteral("empty");
    }

    void qtPlayerWithoutAudioServer()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("Zikan.wav"));
        if (kind == QLatin1String("chime")) {
            path = chimePath();
            QVERIFY(QFile::exists(path));
        } else if (kind != QLatin1String("missing")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            static const char garbage[] = "RIFF\x10\0\0\0WAVEfmt not really a wave file";
            if (kind == QLatin1String("garbage"))
                f.write(garbage, sizeof garbage - 1);
        }

        QElapsedTimer slowest;
        qint64 worst = 0;
        auto timed = [&](auto &&action) {
            slowest.start();
            action();
            worst = std::max(worst, slowest.elapsed());
        };
        {
            auto strip = std::make_unique<SoundPlayerStrip>();
            strip->setFileName(path);
            // As the exam does: open on every tick, then rewind and play.
            for (int i = 0; i < 3; ++i) {
                timed([&] { strip->command(QStringLiteral("Open")); });
                QTest::qWait(20);
            }
            QCOMPARE(strip->isOpen(), kind != QLatin1String("missing"));
            timed([&] { strip->command(QStringLiteral("Prev")); });
            timed([&] { strip->command(QStringLiteral("Play")); });
            // Let the player try its server (it retries every few seconds).
            QTest::qWait(kind == QLatin1String("chime") ? 3500 : 300);
            timed([&] { strip->command(QStringLiteral("Prev")); });
            timed([&] { strip->command(QStringLiteral("Play")); });
            timed([&] { strip->command(QStringLiteral("Stop")); });
            timed([&] { strip->command(QStringLiteral("Close")); });
            timed([&] { strip->command(QStringLiteral("Open")); });
            timed([&] { strip.reset(); });
        }
        QVERIFY2(worst < 1000, qPrintable(QStringLiteral("a command took %1 ms").arg(worst)));
    }
};

QTEST_MAIN(TestSoundStrip)
#include "tst_soundstrip.moc"
