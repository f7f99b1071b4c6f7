// Reading wave files: the forms the chime may come in, and the files that
// must be refused rather than played as noise. (The chime itself is read in
// the sound strip's test.)

#include "widgets/sound/wavefile.h"

#include <QTemporaryFile>
#include <QtTest>

using namespace karvel;

namespace {

QByteArray le16(int v)
{
    const char bytes[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    return QByteArray(bytes, 2);
}

QByteArray le32(quint32 v)
{
    return le16(int(v & 0xFFFF)) + le16(int(v >> 16));
}

QByteArray chunk(const char *id, const QByteArray &body, qint64 claimed = -1)
{
    QByteArray c = QByteArray(id, 4) + le32(quint32(claimed < 0 ? body.size() : claimed)) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}

QByteArray fmt(int tag, int channels, int rate, int bits, int blockAlign = -1)
{
    if (blockAlign < 0)
        blockAlign = channels * bits / 8;
    return le16(tag) + le16(channels) + le32(quint32(rate)) + le32(quint32(rate * blockAlign))
        + le16(blockAlign) + le16(bits);
}

// The extensible header: the plain tag again at the start of its GUID.
QByteArray extensible(int tag, int channels, int rate, int bits)
{
    QByteArray guid = le16(tag) + QByteArray::fromHex("000000001000800000aa00389b71");
    return fmt(0xFFFE, channels, rate, bits) + le16(22) + le16(bits) + le32(0) + guid;
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class TestWaveFile : public QObject
{
    Q_OBJECT

private slots:
    void forms_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QByteArray>("samples");

        const QByteArray four = QByteArray::fromHex("01020304");
        QByteArray second(8000, '\x80');
        second[7999] = 1;
        QTest::newRow("8-bit, a second")
            << riff(chunk("fmt ", fmt(1, 1, 8000, 8)) + chunk("data", second))
            << int(QAudioFormat::UInt8) << 1 << 8000 << second;
        QTest::newRow("stereo 16-bit")
            << riff(chunk("fmt ", fmt(1, 2, 44100, 16)) + chunk("data", four))
            << int(QAudioFormat::Int16) << 2 << 44100 << four;
        QTest::newRow("24-bit, widened")
            << riff(chunk("fmt ", fmt(1, 1, 48000, 24)) + chunk("data", QByteArray::fromHex("010203a0b0c0")))
            << int(QAudioFormat::Int32) << 1 << 48000 << QByteArray::fromHex("00010203" "00a0b0c0");
        QTest::newRow("float") << riff(chunk("fmt ", fmt(3, 1, 48000, 32)) + chunk("data", four))
                               << int(QAudioFormat::Float) << 1 << 48000 << four;
        QTest::newRow("extensible 16-bit")
            << riff(chunk("fmt ", extensible(1, 2, 48000, 16)) + chunk("data", four))
            << int(QAudioFormat::Int16) << 2 << 48000 << four;
        // Other chunks, one of odd length with its pad byte, are passed over.
        QTest::newRow("odd chunk before the samples")
            << riff(chunk("fmt ", fmt(1, 1, 22050, 16)) + chunk("LIST", "abc") + chunk("data", four))
            << int(QAudioFormat::Int16) << 1 << 22050 << four;
        // A recording cut short: what is there, in whole frames.
        QTest::newRow("data cut short")
            << riff(chunk("fmt ", fmt(1, 2, 22050, 16)) + chunk("data", QByteArray::fromHex("0102030405"), 4000))
            << int(QAudioFormat::Int16) << 2 << 22050 << four;
    }

    void forms()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, format);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(QByteArray, samples);
        QString why;
        const auto sound = parseWave(file, &why);
        QVERIFY2(sound, qPrintable(why));
        QCOMPARE(int(sound->format.sampleFormat()), format);
        QCOMPARE(sound->format.channelCount(), channels);
        QCOMPARE(sound->format.sampleRate(), rate);
        QCOMPARE(sound->samples, samples);
        QVERIFY(sound->format.isValid());
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray data = chunk("data", QByteArray(8, '\1'));
        QTest::newRow("not RIFF") << QByteArray("ID3\3 an mp3 file") << u"no RIFF/WAVE header"_qs;
        QTest::newRow("header only") << riff({}) << u"no format chunk"_qs;
        QTest::newRow("compressed") << riff(chunk("fmt ", fmt(85, 1, 22050, 16)) + data)
                                    << u"compressed (format 85)"_qs;
        QTest::newRow("12-bit") << riff(chunk("fmt ", fmt(1, 1, 22050, 12, 2)) + data)
                                << u"12-bit samples"_qs;
        QTest::newRow("64-bit float") << riff(chunk("fmt ", fmt(3, 1, 22050, 64)) + data)
                                      << u"64-bit samples"_qs;
        QTest::newRow("no channels") << riff(chunk("fmt ", fmt(1, 0, 22050, 16, 2)) + data)
                                     << u"0 channels"_qs;
        QTest::newRow("frames of the wrong size")
            << riff(chunk("fmt ", fmt(1, 2, 22050, 16, 2)) + data)
            << u"frames of 2 bytes for 2 channels of 16 bits"_qs;
        QTest::newRow("rate of zero") << riff(chunk("fmt ", fmt(1, 1, 0, 16)) + data)
                                      << u"a rate of 0 Hz"_qs;
        QTest::newRow("samples first") << riff(data + chunk("fmt ", fmt(1, 1, 22050, 16)))
                                       << u"samples before the format chunk"_qs;
        QTest::newRow("no samples") << riff(chunk("fmt ", fmt(1, 1, 22050, 16)))
                                    << u"no data chunk"_qs;
        QTest::newRow("less than a frame")
            << riff(chunk("fmt ", fmt(1, 2, 22050, 16)) + chunk("data", "\1\2\3"))
            << u"no samples"_qs;
        QTest::newRow("short format chunk") << riff(chunk("fmt ", "\1\0\1\0")) << u"format chunk too short"_qs;
    }

    void refused()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QString why;
        QVERIFY(!parseWave(file, &why));
        QCOMPARE(why, reason);
    }

    // A file too large for a chime is refused by its size alone, unread.
    void sizeLimit()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        QString why;
        QVERIFY(file.resize(kMaxWaveBytes)); // sparse: no disk is written
        QVERIFY(!readWaveFile(file.fileName(), &why));
        QCOMPARE(why, u"is not a wave sound (no RIFF/WAVE header)"_qs);
        QVERIFY(file.resize(kMaxWaveBytes + 1));
        QVERIFY(!readWaveFile(file.fileName(), &why));
        QCOMPARE(why, u"is too large (67108865 bytes)"_qs);
    }
};

QTEST_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
