// The floor for start-up: the smallest honest window that shows Japanese
// text. It installs the program's font fallbacks and shows two labels in the
// faces the exam window's documents and controls name: a Mincho line at 8 pt
// and a Gothic line at 9 pt bold. Like
// any real window it lays its labels out, so both faces are resolved before
// the window is mapped; their glyphs are drawn at its first paint.
#include "widgets/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("karvel"));
    karvel::installFontFallbacks();

    QWidget w;
    w.setWindowTitle(QStringLiteral("japanese window"));
    w.resize(792, 572);
    auto *column = new QVBoxLayout(&w);

    QFont mincho(QStringLiteral("平成明朝"));
    mincho.setPointSizeF(8);
    auto *paper = new QLabel(QStringLiteral("第１問　次の文章を読み、下の問い（問１～１０）に答えよ。"));
    paper->setFont(mincho);
    column->addWidget(paper);

    QFont gothic(QStringLiteral("ＭＳ ゴシック"));
    gothic.setPointSizeF(9);
    gothic.setBold(true);
    auto *labels = new QLabel(QStringLiteral("スタート　あと　 　 分　得　点　合格率"));
    labels->setFont(gothic);
    column->addWidget(labels);
    column->addStretch();

    w.show();
    return app.exec();
}
