// The rich-text view's loading of a long document: what it shows at once is
// exactly what one read gives, scroll bar included, from the top.

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

// The height of `rtf` read whole and laid out at once at the width of
// `view`'s text, in its font.
int wholeHeight(const RichTextView &view, const QByteArray &rtf)
{
    const auto doc = RtfReader::read(rtf, view.font(), faceFamilies);
    doc->setDefaultTextOption(view.document()->defaultTextOption());
    doc->setTextWidth(view.viewport()->width());
    return doc->size().toSize().height();
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

    // A long document: the first paint, scroll bar included, is what the
    // view shows for good. The scroll bar spans the whole document from the
    // first, as long as the document read whole and laid out on its own at
    // the view's width; what the view holds is exactly what one read gives.
    // The rest comes after the first paint where the text is placed by the
    // glyphs' design widths (slight hinting); with full hinting, which moves
    // glyphs, the whole document is there at the first paint.
    void longDocumentFirstPaintIsFinal_data()
    {
        QTest::addColumn<QFont::HintingPreference>("hinting");
        QTest::addColumn<bool>("restAfterPaint");
        QTest::newRow("default hinting") << QFont::PreferDefaultHinting << true;
        QTest::newRow("full hinting") << QFont::PreferFullHinting << false;
    }

    void longDocumentFirstPaintIsFinal()
    {
        QFETCH(QFont::HintingPreference, hinting);
        QFETCH(bool, restAfterPaint);
        const QByteArray rtf = resource("paper.rtf");
        QVERIFY(!rtf.isEmpty());
        QFont font = viewFont();
        font.setHintingPreference(hinting);
        RichTextView view(font);
        view.resize(641, 361);
        view.setContent(rtf);
        view.show();
        const QImage firstPaint = view.grab().toImage();
        QCOMPARE(view.isLoading(), restAfterPaint);
        QCOMPARE(view.document()->blockCount() < 100, restAfterPaint);
        QCOMPARE(view.verticalScrollBar()->maximum(), wholeHeight(view, rtf) - view.viewport()->height());
        QVERIFY(view.verticalScrollBar()->pageStep() < view.verticalScrollBar()->maximum() / 4);

        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!view.isLoading());
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        QCOMPARE(view.grab().toImage(), firstPaint);

        const auto once = RtfReader::read(rtf, viewFont(), faceFamilies);
        QCOMPARE(view.document()->blockCount(), once->blockCount());
        QCOMPARE(describe(*view.document()), describe(*once));

        // New content in a view on the screen: its scroll bar at once, the
        // old content gone.
        view.setContent(resource("about.rtf"));
        QCOMPARE(view.document()->blockCount(), 114);
        QCOMPARE(view.verticalScrollBar()->maximum(),
                 wholeHeight(view, resource("about.rtf")) - view.viewport()->height());
        view.setContent(rtf);
        QCOMPARE(view.document()->blockCount(), 297);
        QCOMPARE(view.grab().toImage(), firstPaint);
    }

    void shortDocuments()
    {
        for (const char *name : {"about.rtf", "passline.rtf"}) {
            RichTextView view(viewFont());
            view.setContent(resource(name));
            const auto once = RtfReader::read(resource(name), viewFont(), faceFamilies);
            QCOMPARE(describe(*view.document()), describe(*once));
        }
    }
};

QTEST_MAIN(TestRichTextView)
#include "tst_richtextview.moc"
