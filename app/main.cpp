#include "app/desktop.h"
#include "app/windowregistry.h"
#include "widgets/fonts.h"
#include "widgets/soundstrip.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    int code;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("karvel"));
        karvel::setDesktopIdentity();
        karvel::installFontFallbacks();

        karvel::WindowRegistry windows;
        windows.show(karvel::WindowId::Exam);
        karvel::checkJapaneseFonts();
        code = app.exec();
    }
    // Qt's audio engine, once a sound has been played, is taken down among
    // the handlers that run at exit, and it lets go of its connection to the
    // sound server without the lock that its own thread works under; now
    // and then that aborts the process inside the audio library. Nothing of
    // the program is left by now (its windows and the application are
    // gone), so the process ends here, without those handlers.
    if (karvel::soundModuleLoaded()) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
