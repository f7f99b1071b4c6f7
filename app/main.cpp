#include "app/desktop.h"
#include "app/windowregistry.h"
#include "widgets/fonts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("karvel"));
    karvel::setDesktopIdentity();
    karvel::installFontFallbacks();

    karvel::WindowRegistry windows;
    windows.show(karvel::WindowId::Exam);
    karvel::checkJapaneseFonts();
    return app.exec();
}
