// The window background read at its own depth: the same picture as Qt's
// reader gives, and nothing but a null image (Qt's reader then takes over)
// for anything it does not handle or that is damaged.

#include "widgets/indexedgif.h"

#include <QFile>
#include <QImage>
#include <QtTest>

using namespace karvel;

namespace {

QByteArray background()
{
    QFile file(QStringLiteral(":/content/background.gif"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 2 x 2 GIF of colours 0, 1, 1, 0 from a four-colour table, optionally
// with a graphic control block naming colour 0 transparent.
QByteArray tinyGif(bool transparent)
{
    QByteArray g("GIF89a\x02\x00\x02\x00\x81\x00\x00", 13);
    g += QByteArray("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12);
    if (transparent)
        g += QByteArray("\x21\xf9\x04\x01\x00\x00\x00\x00", 8);
    g += QByteArray("\x2c\x00\x00\x00\x00\x02\x00\x02\x00\x00", 10);
    // Minimum code size 2; codes clear 4, 0, 1, 1 in three bits, then 0 and
    // end 5 in four (the table has reached eight entries).
    g += QByteArray("\x02\x03\x44\x02\x05\x00\x3b", 7);
    return g;
}

} // namespace

class TestIndexedGif : public QObject
{
    Q_OBJECT

private slots:
    void backgroundIsQtsPictureAtEightBits()
    {
        const QByteArray gif = background();
        const QImage mine = readIndexedGif(gif);
        QCOMPARE(mine.format(), QImage::Format_Indexed8);
        const QImage qts = QImage::fromData(gif).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(mine.convertToFormat(QImage::Format_RGB32), qts);
        QCOMPARE(readPicture(QStringLiteral(":/content/background.gif")), mine);
    }

    void smallPictureAndTransparency()
    {
        const QImage plain = readIndexedGif(tinyGif(false));
        QCOMPARE(plain.size(), QSize(2, 2));
        QCOMPARE(plain.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(plain.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(plain.pixel(0, 1), qRgb(0, 255, 0));
        QCOMPARE(plain.pixel(1, 1), qRgb(255, 0, 0));
        QCOMPARE(plain.convertToFormat(QImage::Format_RGB32),
                 QImage::fromData(tinyGif(false)).convertToFormat(QImage::Format_RGB32));

        // A transparent colour is left to Qt's reader.
        QVERIFY(readIndexedGif(tinyGif(true)).isNull());

        // Rows stored interlaced, 0, 4, 2, 1, 3 in a picture of five (red,
        // green, blue, white, red): left to Qt's reader, or read into their
        // places.
        QByteArray interlaced("GIF89a\x01\x00\x05\x00\x81\x00\x00", 13);
        interlaced += QByteArray("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12);
        interlaced += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x05\x00\x40", 10);
        // Codes of three bits: clear, 0, 0, clear, 2, 1, clear, 3, end.
        interlaced += QByteArray("\x02\x04\x04\xa8\x70\x05\x00\x3b", 8);
        const QImage qts = QImage::fromData(interlaced).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(qts.pixel(0, 1), qRgb(0, 255, 0));
        const QImage mine = readIndexedGif(interlaced);
        QVERIFY(mine.isNull() || mine.convertToFormat(QImage::Format_RGB32) == qts);
    }

    void damagedDataGivesNothing()
    {
        const QByteArray gif = background();
        // Cut anywhere before the last picture data, or with bytes changed:
        // a null image or a picture of the right size, never a crash.
        for (qsizetype cut = 0; cut < gif.size() - 2; cut += 997)
            QVERIFY(readIndexedGif(QByteArrayView(gif).first(cut)).isNull());
        for (qsizetype at = 0; at < gif.size(); at += 1499) {
            QByteArray broken = gif;
            broken[at] = char(~broken[at]);
            const QImage image = readIndexedGif(broken);
            QVERIFY(image.isNull() || image.size() == QSize(794, 567));
        }
    }
};

QTEST_MAIN(TestIndexedGif)
#include "tst_indexedgif.moc"
