// What Qt itself must read of the generated content: the window background
// (GIF), the circle mark (ICO, with its transparency) and the time-up chime.

#include <QtTest>

#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QSoundEffect>
#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

class TestContentImages : public QObject
{
    Q_OBJECT

private slots:
    void backgroundDecodesOpaqueAndYellow();
    void circleMarkIsARedRingWithTransparentSurround();
    void circleMarkHoldsItsVariants();
    void chimeLoadsInTheSoundEffectPlayer();
};

void TestContentImages::backgroundDecodesOpaqueAndYellow()
{
    QImageReader reader(QStringLiteral(":/content/background.gif"));
    QCOMPARE(reader.format(), QByteArray("gif"));
    QCOMPARE(reader.imageCount(), 1);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(794, 567));
    QVERIFY(!image.hasAlphaChannel());

    // Qt's decoder must see the same picture: the two ground colours cover
    // most of it, every pixel is opaque and no pixel is far from yellow.
    QHash<QRgb, qsizetype> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            QCOMPARE(qAlpha(p), 255);
            ++counts[p];
        }
    }
    std::vector<std::pair<qsizetype, QRgb>> sorted;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        sorted.emplace_back(it.value(), it.key());
        QVERIFY2(qRed(it.key()) >= 240 && qBlue(it.key()) <= 90,
                 qPrintable(QString::number(it.key(), 16)));
    }
    std::sort(sorted.rbegin(), sorted.rend());
    QVERIFY(sorted.size() >= 2);
    const QRgb a = sorted[0].second & 0xFFFFFF;
    const QRgb b = sorted[1].second & 0xFFFFFF;
    QVERIFY((a == 0xFFCC00 && b == 0xFFCC33) || (a == 0xFFCC33 && b == 0xFFCC00));
    const double share = double(sorted[0].first + sorted[1].first) / (794.0 * 567.0);
    QVERIFY2(share > 0.6, qPrintable(QString::number(share)));
}

void TestContentImages::circleMarkIsARedRingWithTransparentSurround()
{
    QImageReader reader(QStringLiteral(":/content/maru.ico"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY(image.hasAlphaChannel());

    const QRgb red = qRgba(255, 0, 0, 255);
    // The ring, about 13 pixels out from the centre on both axes.
    QCOMPARE(image.pixel(29, 16), red);
    QCOMPARE(image.pixel(2, 15), red);
    QCOMPARE(image.pixel(16, 29), red);
    QCOMPARE(image.pixel(15, 2), red);
    // The hole and the corners let the background through.
    for (const QPoint p : {QPoint(16, 16), QPoint(15, 15), QPoint(0, 0), QPoint(31, 0),
                           QPoint(0, 31), QPoint(31, 31), QPoint(16, 0)}) {
        QVERIFY2(qAlpha(image.pixel(p)) == 0,
                 qPrintable(QStringLiteral("(%1, %2) is not transparent").arg(p.x()).arg(p.y())));
    }
    // Opaque pixels are pure red or a lighter red; never black showing
    // through a missing mask bit.
    int light = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 0)
                continue;
            QCOMPARE(qAlpha(p), 255);
            QCOMPARE(qRed(p), 255);
            QCOMPARE(qGreen(p), qBlue(p));
            if (qGreen(p) > 0)
                ++light;
        }
    }
    QVERIFY2(light > 16, "the ring's edges are not smoothed");
}

void TestContentImages::circleMarkHoldsItsVariants()
{
    QImageReader reader(QStringLiteral(":/content/maru.ico"));
    QCOMPARE(reader.imageCount(), 3);
    const QList<QSize> sizes{QSize(32, 32), QSize(32, 32), QSize(16, 16)};
    for (int i = 0; i < sizes.size(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), sizes[i]);
        const int mid = image.width() / 2;
        QCOMPARE(qAlpha(image.pixel(mid, mid)), 0);
        QCOMPARE(image.pixel(1, mid), qRgba(255, 0, 0, 255));
    }
}

void TestContentImages::chimeLoadsInTheSoundEffectPlayer()
{
    // The player decodes the file itself and reports Error for a format it
    // cannot read; decoding does not need an audio device.
    const QString path = QStringLiteral(KARVEL_SOURCE_DIR "/resources/Zikan.wav");
    QVERIFY(QFile::exists(path));
    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(path));
    QTRY_VERIFY_WITH_TIMEOUT(effect.status() == QSoundEffect::Ready
                                 || effect.status() == QSoundEffect::Error,
                             10000);
    QCOMPARE(effect.status(), QSoundEffect::Ready);
}

QTEST_MAIN(TestContentImages)
#include "tst_contentimages.moc"
