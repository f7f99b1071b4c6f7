// The yardstick for start-up: a bare Qt window of the exam window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle(QStringLiteral("bare window"));
    w.resize(792, 572);
    w.show();
    return app.exec();
}
