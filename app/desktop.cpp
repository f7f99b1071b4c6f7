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
    // The icon's bitmaps, one folder per size as in the icon theme.
    const QDir sizes(QStringLiteral(":/icons"));
    QIcon icon;
    for (const QString &size : sizes.entryList(QDir::Dirs))
        icon.addFile(sizes.filePath(size + QStringLiteral("/apps/") + appId() + QStringLiteral(".png")));
    QApplication::setWindowIcon(icon);
}

bool canPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace karvel
