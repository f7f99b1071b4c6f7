// The rich-text view's two-step loading of a long document: what it shows
// in the end is exactly what one read gives, and the view stays at the top.

#include "widgets/fonts.h"
#include "widgets/richtextview.h"
#include "widgets/rtfreader.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace karvel;

namespace {

QByteArray resource(const char *name)
{
    QFile file(QStringLiteral(":/content/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each paragraph's text and, per run, the face, size, colour and underline.
QStringList describe(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString line = b.text() + QLatin1Char('|');
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            line += QStringLiteral("%1:%2:%3:%4:%5;")
                        .arg(it.fragment().length())
                        .arg(f.fontFamilies().toStringList().join(QLatin1Char(',')))
                        .arg(f.fontPointSize())
                        .arg(f.foreground().color().name())
                        .arg(f.fontUnderline());
        }
        lines.append(line);
    }
    return lines;
}

QFont viewFont()
{
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPointSizeF(9);
    return f;
}

} // namespace

class TestRichTextView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installFontFallbacks(); }

    void longDocumentComesWholeInTwoSteps()
    {
        const QByteArray rtf = resource("paper.rtf");
        QVERIFY(!rtf.isEmpty());
        RichTextView view(viewFont());
        view.resize(641, 361);
        view.setContent(rtf);
        QVERIFY(view.isLoading());

        // Shown, the view has the paragraphs that fill it, not the whole
        // document; its first paint shows exactly what it shows once the
        // rest has come in.
        view.show();
        QVERIFY(view.isLoading());
        const int firstBlocks = view.document()->blockCount();
        QVERIFY(firstBlocks > 10 && firstBlocks < 297);
        const QImage firstPaint = view.viewport()->grab().toImage();
        QVERIFY(view.isLoading());

        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!view.isLoading());
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        QCOMPARE(view.viewport()->grab().toImage(), firstPaint);

        const auto once = RtfReader::read(rtf, viewFont(), faceFamilies);
        QCOMPARE(view.document()->blockCount(), once->blockCount());
        QCOMPARE(describe(*view.document()), describe(*once));
    }

    void finishingByHandAndReplacing()
    {
        RichTextView view(viewFont());
        view.setContent(resource("paper.rtf"));
        QVERIFY(view.isLoading());
        view.finishLoading();
        QVERIFY(!view.isLoading());
        QCOMPARE(view.document()->blockCount(), 297);
        view.finishLoading(); // nothing left: nothing happens
        QCOMPARE(view.document()->blockCount(), 297);

        // New content drops what was still waiting of the old one.
        view.setContent(resource("paper.rtf"));
        view.setContent(resource("about.rtf"));
        QVERIFY(!view.isLoading());
        QCOMPARE(view.document()->blockCount(), 114);
    }

    void shortDocumentsComeAtOnce()
    {
        for (const char *name : {"about.rtf", "passline.rtf"}) {
            RichTextView view(viewFont());
            view.setContent(resource(name));
            QVERIFY(!view.isLoading());
            const auto once = RtfReader::read(resource(name), viewFont(), faceFamilies);
            QCOMPARE(describe(*view.document()), describe(*once));
        }
    }
};

QTEST_MAIN(TestRichTextView)
#include "tst_richtextview.moc"
