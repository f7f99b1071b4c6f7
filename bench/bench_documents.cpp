// How long the three documents take to read into a document and to lay out
// in their views, and the exam window to be built; prints milliseconds
// (median of the runs).
#include "exam/examwindow.h"
#include "widgets/fonts.h"
#include "widgets/richtextview.h"
#include "widgets/rtfreader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template<typename F>
double medianMs(int runs, F &&f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    karvel::installFontFallbacks();
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(9);
    const int runs = 21;
    for (const char *name : {"paper.rtf", "passline.rtf", "about.rtf"}) {
        QFile file(QStringLiteral(":/content/") + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray rtf = file.readAll();
        const double read = medianMs(runs, [&] { karvel::RtfReader::read(rtf, font); });
        const double layout = medianMs(runs, [&] {
            karvel::RichTextView view(font);
            view.resize(641, 361);
            view.setContent(rtf);
            view.finishLoading();
            // Lay the whole document out at the view's width.
            QTextDocument *doc = view.document();
            doc->setTextWidth(view.viewport()->width());
            doc->documentLayout()->blockBoundingRect(doc->lastBlock());
        });
        std::printf("%-13s %7lld bytes  read %6.2f ms  read+layout %6.2f ms\n", name,
                    static_cast<long long>(rtf.size()), read, layout);
    }
    const double exam = medianMs(runs, [] {
        karvel::ExamWindow w;
        w.ensurePolished();
    });
    std::printf("exam window built in %.2f ms\n", exam);
    return 0;
}
