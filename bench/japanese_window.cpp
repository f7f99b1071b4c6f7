// The floor for start-up: the smallest honest window that shows Japanese
// text. It sets its fonts up as the program does and shows two labels in the
// faces the exam window's documents and controls name, resolved to the
// installed faces: a Mincho line at 8 pt and a Gothic line at 9 pt bold. Like
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

    const QFont mincho = karvel::namedFont(QStringLiteral("平成明朝"), 8);
    auto *paper = new QLabel(QStringLiteral("第１問　次の文章を読み、下の問い（問１～１０）に答えよ。"));
    paper->setFont(mincho);
    column->addWidget(paper);

    const QFont gothic = karvel::namedFont(QStringLiteral("ＭＳ ゴシック"), 9, true);
    auto *labels = new QLabel(QStringLiteral("スタート　あと　 　 分　得　点　合格率"));
    labels->setFont(gothic);
    column->addWidget(labels);
    column->addStretch();

    w.show();
    return app.exec();
}
