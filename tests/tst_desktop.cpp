// The program's identity on the desktop: its app id names the desktop entry
// and the AppStream component that are installed, and every window carries
// the red-ring icon in each size of the icon theme.

#include "app/desktop.h"
#include "app/windowregistry.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QtTest>

using namespace karvel;

namespace {

QString sourceFile(const QString &name)
{
    QFile f(QStringLiteral(KARVEL_SOURCE_DIR "/resources/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        setDesktopIdentity();
    }

    void appIdNamesTheInstalledEntries()
    {
        QCOMPARE(QGuiApplication::desktopFileName(), appId());
        const QString entry = sourceFile(appId() + QStringLiteral(".desktop"));
        QVERIFY2(entry.contains(QStringLiteral("\nIcon=") + appId() + QLatin1Char('\n')),
                 qPrintable(entry));
        const QString metainfo = sourceFile(appId() + QStringLiteral(".metainfo.xml"));
        QVERIFY(metainfo.contains(QStringLiteral("<id>") + appId() + QStringLiteral("</id>")));
        QVERIFY(metainfo.contains(QStringLiteral(">") + appId() + QStringLiteral(".desktop</launchable>")));
    }

    void iconIsTheRedRingInEverySize()
    {
        const QIcon icon = QApplication::windowIcon();
        QList<int> sizes;
        for (const QSize &s : icon.availableSizes())
            sizes.append(s.width());
        std::sort(sizes.begin(), sizes.end());
        QCOMPARE(sizes, (QList<int>{16, 24, 32, 48, 64, 128, 256}));

        const QImage image = icon.pixmap(48).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(48, 48));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);   // the corner
        QCOMPARE(qAlpha(image.pixel(24, 24)), 0); // the hole
        for (const QPoint p : {QPoint(43, 24), QPoint(24, 4), QPoint(5, 24), QPoint(24, 43)})
            QCOMPARE(image.pixel(p), qRgba(255, 0, 0, 255)); // the ring, all round
    }

    void everyWindowCarriesTheIcon()
    {
        WindowRegistry windows;
        const qint64 key = QApplication::windowIcon().cacheKey();
        for (int i = 0; i < kWindowCount; ++i) {
            QWidget *w = windows.show(static_cast<WindowId>(i));
            QCOMPARE(w->windowIcon().cacheKey(), key);
        }
        windows.exitAll();
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
