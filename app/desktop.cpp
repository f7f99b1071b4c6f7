#include "desktop.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace karvel {

QString appId()
{
    return QStringLiteral(KARVEL_APP_ID);
}

void setDesktopIdentity()
{
    QGuiApplication::setDesktopFileName(appId());
    // The icon's bitmaps, one folder "NxN" per size as in the icon theme.
    const QDir sizes(QStringLiteral(":/icons"));
    QIcon icon;
    for (const QString &size : sizes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const int side = size.section(QLatin1Char('x'), 0, 0).toInt();
        icon.addFile(sizes.filePath(size + QStringLiteral("/apps/") + appId() + QStringLiteral(".png")),
                     QSize(side, side));
    }
    QApplication::setWindowIcon(icon);
}

bool canPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace karvel
