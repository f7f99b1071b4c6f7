// The RTF reader, the rich-text view and the font fallbacks.

#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "widgets/fonts.h"
#include "widgets/richtextview.h"
#include "widgets/rtfreader.h"

using karvel::RichTextView;
using karvel::RtfReader;

namespace {

// The head of every document the program carries: a Japanese face named in
// CP932 escapes, Times, Heisei Mincho, black and red, and the line-breaking
// lists.
const QByteArray kHeader =
    "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041\\deftab720"
    "{\\fonttbl{\\f0\\fnil\\fprq1\\fcharset128 \\'82\\'6c\\'82\\'72 \\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}"
    "{\\f1\\froman\\fcharset0 Times;}"
    "{\\f2\\fnil\\fcharset128 \\'95\\'bd\\'90\\'ac\\'96\\'be\\'92\\'a9;}}\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\n"
    "{\\*\\fchars \\'81\\'41\\'81\\'42}\n{\\*\\lchars \\'81\\'69}\n"
    "\\viewkind4\\uc1\\pard ";

// A byte string literal that may hold NUL bytes.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

const QString kGothic = QStringLiteral("ＭＳ ゴシック");
const QString kMincho = QStringLiteral("平成明朝");

QByteArray document(const QByteArray &body)
{
    return kHeader + body + "\\par\n}\n";
}

QFont defaultFont()
{
    QFont font(kGothic);
    font.setPointSizeF(9);
    return font;
}

std::unique_ptr<QTextDocument> read(const QByteArray &rtf)
{
    return RtfReader::read(rtf, defaultFont());
}

// The text of a document without the paragraph structure.
QString text(const QTextDocument &doc)
{
    return doc.toPlainText();
}

// The character format of the n-th character of the document.
QTextCharFormat formatAt(QTextDocument &doc, int n)
{
    QTextCursor cursor(&doc);
    cursor.setPosition(n + 1);  // charFormat() is the format left of the cursor
    return cursor.charFormat();
}

struct Run
{
    QString text;
    QTextCharFormat format;
};

QList<Run> runs(const QTextDocument &doc)
{
    QList<Run> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            out.append({it.fragment().text(), it.fragment().charFormat()});
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { karvel::installFontFallbacks(); }

    void cp932Decoding_data();
    void cp932Decoding();
    void unicodeEscapes_data();
    void unicodeEscapes();
    void characterFormats();
    void paragraphsBreaksAndSymbols();
    void tablesAndDestinations();
    void fillsAGivenDocument();

    void realDocuments_data();
    void realDocuments();
    void passLineColumnsLineUp();

    void fontFallbacks();

    void malformedInput_data();
    void malformedInput();
    void everyPrefixAndMutation();

    void view();
};

// ------------------------------------------------------------- text decoding

void TestRtfReader::cp932Decoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("circled one") << QByteArray("\\'87\\'40") << QStringLiteral("①");
    QTest::newRow("ideographic space") << QByteArray("\\'81\\'40") << QStringLiteral("\u3000");
    QTest::newRow("wave dash is the full-width tilde")
        << QByteArray("\\'81\\'60") << QStringLiteral("\uFF5E");
    QTest::newRow("upper-case hex, mixed with ASCII")
        << QByteArray("a\\'82\\'A0\\'82\\'a2b") << QStringLiteral("aあいb");
    QTest::newRow("trail byte written as an escaped backslash")
        << QByteArray("\\'83\\\\") << QStringLiteral("ソ");
    QTest::newRow("half-width katakana") << QByteArray("\\'b1") << QStringLiteral("ｱ");
    QTest::newRow("split by a group of the same format")
        << QByteArray("\\'82{\\'a0}") << QStringLiteral("あ");
    QTest::newRow("split by an unknown control word")
        << QByteArray("\\'82\\foo \\'a0") << QStringLiteral("あ");
    QTest::newRow("split by a format change: two bad halves")
        << QByteArray("\\'82\\b \\'a0") << QStringLiteral("\uFFFD\uFFFD");
    QTest::newRow("lone lead byte does not swallow the next run")
        << QByteArray("\\'82{\\b x}") << QStringLiteral("\uFFFDx");
    QTest::newRow("lone lead byte before a paragraph break")
        << QByteArray("\\'82\\par y") << QStringLiteral("\uFFFD\ny");
    QTest::newRow("invalid byte") << QByteArray("a\\'ffb") << QStringLiteral("a\uFFFDb");
    QTest::newRow("lead byte with an invalid trail keeps the trail")
        << QByteArray("\\'82 x") << QStringLiteral("\uFFFD x");
    QTest::newRow("NUL and control bytes are dropped")
        << BYTES("a\0b\x01\\'00c\\'1a") << QStringLiteral("abc");
    QTest::newRow("ANSI font decodes as Windows-1252")
        << QByteArray("{\\f1 \\'e9\\'80}") << QStringLiteral("é€");
}

void TestRtfReader::cp932Decoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    auto doc = read(document("\\plain\\f0 " + body));
    QCOMPARE(text(*doc), expected + u'\n');
}

void TestRtfReader::unicodeEscapes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("uc1 skips one byte") << QByteArray("\\u8364?x") << QStringLiteral("€x");
    QTest::newRow("uc0 skips nothing") << QByteArray("\\uc0\\u8364 x") << QStringLiteral("€x");
    QTest::newRow("uc2 skips two escapes")
        << QByteArray("\\uc2\\u12354\\'82\\'a0x") << QStringLiteral("あx");
    QTest::newRow("a control word counts as one")
        << QByteArray("\\uc2\\u12354\\foo\\'a0x") << QStringLiteral("あx");
    QTest::newRow("negative value") << QByteArray("\\u-28440?") << QStringLiteral("部");
    QTest::newRow("surrogate pair")
        << QByteArray("\\u-10179?\\u-8704?") << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("lone surrogate") << QByteArray("\\u-10179?a") << QStringLiteral("\uFFFDa");
    QTest::newRow("out of range") << QByteArray("\\u-99999999?a") << QStringLiteral("\uFFFDa");
    QTest::newRow("uc is per group") << QByteArray("{\\uc0\\u8364}\\u8364?x") << QStringLiteral("€€x");
    QTest::newRow("a group ends the fallback")
        << QByteArray("\\uc5\\u8364{x}y") << QStringLiteral("€xy");
    QTest::newRow("paragraph separator cannot make a block")
        << QByteArray("\\u8233?a\\u10?b") << QStringLiteral("\uFFFDab");
}

void TestRtfReader::unicodeEscapes()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    auto doc = read(document(body));
    QCOMPARE(text(*doc), expected + u'\n');
    QCOMPARE(doc->blockCount(), 2);
}

// ------------------------------------------------------------- formatting

void TestRtfReader::characterFormats()
{
    auto doc = read(document(
        "\\plain\\f2\\fs16 \\'82\\'a0"          // 0 あ  Mincho 8 pt
        "\\plain\\f1\\fs16 A"                    // 1 A   Times 8 pt
        "\\plain\\f2\\fs16\\cf1\\ul \\'82\\'a2"  // 2 い  red, underlined
        "\\ulnone B\\ul0 b"                      // 3 B, 4 b: red, not underlined
        "\\plain C"                              // 5 C   reset
        "{\\b D}{\\i E}\\b F\\b0 G"               // 6 D bold, 7 E italic, 8 F bold, 9 G
        "\\cf0 H\\cf9 I\\f7 J"));                // 10 H black, 11 I default colour, 12 J

    QCOMPARE(text(*doc), QStringLiteral("あAいBbCDEFGHIJ\n"));

    const QTextCharFormat mincho = formatAt(*doc, 0);
    QCOMPARE(mincho.fontFamilies().toStringList(), QStringList{kMincho});
    QCOMPARE(mincho.fontPointSize(), 8.0);
    QVERIFY(!mincho.hasProperty(QTextFormat::ForegroundBrush));
    QVERIFY(!mincho.fontUnderline());

    QCOMPARE(formatAt(*doc, 1).fontFamilies().toStringList(), QStringList{u"Times"_qs});

    const QTextCharFormat red = formatAt(*doc, 2);
    QCOMPARE(red.foreground().color(), QColor(255, 0, 0));
    QVERIFY(red.fontUnderline());
    QCOMPARE(red.fontFamilies().toStringList(), QStringList{kMincho});
    for (int n : {3, 4}) {
        QCOMPARE(formatAt(*doc, n).foreground().color(), QColor(255, 0, 0));
        QVERIFY(!formatAt(*doc, n).fontUnderline());
    }

    // \plain: back to the default face (\deff0), no size, colour or underline.
    const QTextCharFormat plain = formatAt(*doc, 5);
    QCOMPARE(plain.fontFamilies().toStringList(), QStringList{kGothic});
    QVERIFY(!plain.hasProperty(QTextFormat::FontPointSize));
    QVERIFY(!plain.hasProperty(QTextFormat::ForegroundBrush));
    QVERIFY(!plain.fontUnderline());
    QCOMPARE(QFontInfo(doc->defaultFont()).pointSizeF(), 9.0);

    QCOMPARE(formatAt(*doc, 6).fontWeight(), int(QFont::Bold));
    QVERIFY(!formatAt(*doc, 6).fontItalic());
    QVERIFY(formatAt(*doc, 7).fontItalic());
    QCOMPARE(formatAt(*doc, 7).fontWeight(), int(QFont::Normal));
    QCOMPARE(formatAt(*doc, 8).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(*doc, 9).fontWeight(), int(QFont::Normal));

    QCOMPARE(formatAt(*doc, 10).foreground().color(), QColor(0, 0, 0));
    QVERIFY(!formatAt(*doc, 11).hasProperty(QTextFormat::ForegroundBrush));
    // An unknown font leaves the document's default face.
    QCOMPARE(formatAt(*doc, 12).fontFamilies().toStringList(), QStringList{kGothic});

    // Sizes stop at the largest RTF knows.
    QCOMPARE(formatAt(*read("{\\rtf1\\fs99999999999 a}"), 0).fontPointSize(), 1638.0);

    // Text before any font word, in a document without \deff, takes the
    // view's font: no face, no size of its own.
    auto bare = read("{\\rtf1 plain}");
    QVERIFY(!formatAt(*bare, 0).hasProperty(QTextFormat::FontFamilies));
    QCOMPARE(QFontInfo(formatAt(*bare, 0).font().resolve(bare->defaultFont())).pointSizeF(), 9.0);
}

void TestRtfReader::paragraphsBreaksAndSymbols()
{
    // A document whose last paragraph is empty ends "\par }": N paragraphs,
    // N-1 \par, N blocks.
    auto doc = read(document("a\\par b\\line c\\tab d\\par\n\\par e\\\nf"));
    QCOMPARE(doc->blockCount(), 6);
    QCOMPARE(doc->findBlockByNumber(1).text(), QStringLiteral("b\u2028c\td"));
    QCOMPARE(doc->findBlockByNumber(2).text(), QString());
    QCOMPARE(doc->findBlockByNumber(3).text(), u"e"_qs);  // backslash-newline is \par
    QCOMPARE(doc->lastBlock().text(), QString());
    QCOMPARE(doc->defaultTextOption().tabStopDistance(), 48.0);  // \deftab720

    // Line ends in the source are not text; escaped braces and backslash are.
    auto symbols = read("{\\rtf1 x\r\ny \\{\\}\\\\\\~\\-\\_\\emdash\\bullet}");
    QCOMPARE(symbols->firstBlock().text(), QStringLiteral("xy {}\\\u00A0\u00AD\u2011\u2014\u2022"));
    QCOMPARE(symbols->blockCount(), 1);
}

void TestRtfReader::tablesAndDestinations()
{
    // Unknown \* destinations and the line-breaking lists (with and without
    // \*) are skipped, and so is \bin data, whose braces do not count.
    auto doc = read(document("a{\\*\\foo hidden{\\b deep}}b{\\fchars hidden}c{\\lchars hidden}d"
                             "{\\*\\fchars x}\\bin4 }}{{e{\\*\\bar\\bin2 }}}f"));
    QCOMPARE(text(*doc), QStringLiteral("abcdef\n"));

    // Font entries without braces; a colour entry without colour words is the
    // default; a font name in \u; colour words without a closing ';'.
    auto tables = read("{\\rtf1{\\fonttbl\\f0\\fswiss Arial;\\f3\\fnil\\fcharset128 \\'82\\'a0;"
                       "{\\f4\\uc0 \\u25991\\u23383}}"
                       "{\\colortbl;\\red0\\green128\\blue255;\\green7}"
                       "\\f0\\cf0 a\\f3\\cf1 b\\f4\\cf2 c\\cf3 d}");
    QCOMPARE(text(*tables), u"abcd"_qs);
    QCOMPARE(formatAt(*tables, 0).fontFamilies().toStringList(), QStringList{u"Arial"_qs});
    QVERIFY(!formatAt(*tables, 0).hasProperty(QTextFormat::ForegroundBrush));
    QCOMPARE(formatAt(*tables, 1).fontFamilies().toStringList(), QStringList{u"あ"_qs});
    QCOMPARE(formatAt(*tables, 1).foreground().color(), QColor(0, 128, 255));
    QCOMPARE(formatAt(*tables, 2).fontFamilies().toStringList(), QStringList{u"文字"_qs});
    QCOMPARE(formatAt(*tables, 2).foreground().color(), QColor(0, 7, 0));  // last entry without ';'
    QVERIFY(!formatAt(*tables, 3).hasProperty(QTextFormat::ForegroundBrush));

    // The document ends where its group closes.
    QCOMPARE(text(*read("{\\rtf1 a}b}c")), u"a"_qs);
}

void TestRtfReader::fillsAGivenDocument()
{
    QTextDocument doc;
    doc.setPlainText(u"old\nold"_qs);
    QFont font(u"Times"_qs);
    font.setPointSize(20);
    doc.setDefaultFont(font);
    RtfReader::read(QByteArrayView("{\\rtf1 new}"), &doc);
    QCOMPARE(doc.toPlainText(), u"new"_qs);
    QCOMPARE(doc.defaultFont().pointSize(), 20);
    QVERIFY(doc.isUndoRedoEnabled());
    QVERIFY(!doc.isUndoAvailable());
}

// ------------------------------------------------------------- real documents

void TestRtfReader::realDocuments_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("paragraphs");
    QTest::addColumn<QString>("opening");
    QTest::newRow("question paper") << u"paper.rtf"_qs << 297 << u"第1問"_qs;
    QTest::newRow("pass lines") << u"passline.rtf"_qs << 127 << u"旧帝国大学"_qs;
    QTest::newRow("about") << u"about.rtf"_qs << 114 << u"ソフトの説明"_qs;
}

void TestRtfReader::realDocuments()
{
    QFETCH(QString, file);
    QFETCH(int, paragraphs);
    QFETCH(QString, opening);
    const QByteArray rtf = readFile(QStringLiteral(KARVEL_SOURCE_DIR "/resources/") + file);
    if (rtf.isEmpty())
        QSKIP("the document has not been written yet");

    QElapsedTimer timer;
    timer.start();
    auto doc = read(rtf);
    const qint64 parsed = timer.nsecsElapsed();
    doc->setTextWidth(793);
    const QSizeF size = doc->size();  // lays the whole document out
    qInfo("%s: %lld bytes, read %.1f ms, layout %.1f ms, %.0f px high", qPrintable(file),
          qint64(rtf.size()), parsed / 1e6, (timer.nsecsElapsed() - parsed) / 1e6, size.height());

    QCOMPARE(doc->blockCount(), paragraphs);
    QVERIFY(doc->firstBlock().text().contains(opening));
    QVERIFY(!text(*doc).contains(QChar::ReplacementCharacter));
    QCOMPARE(text(*doc).count(u'\t'), int(rtf.count("\\tab")));

    QSet<QString> faces;
    QSet<qreal> sizes;
    bool redUnderlined = false;
    bool blackUnderlined = false;
    bool coloured = false;
    for (const Run &run : runs(*doc)) {
        faces.insert(run.format.fontFamilies().toStringList().value(0));
        sizes.insert(run.format.fontPointSize());
        const bool red = run.format.foreground().color() == QColor(255, 0, 0);
        coloured |= run.format.hasProperty(QTextFormat::ForegroundBrush) && red;
        redUnderlined |= red && run.format.fontUnderline();
        blackUnderlined |= !red && run.format.fontUnderline();
    }
    if (file == u"paper.rtf") {
        QCOMPARE(faces, (QSet<QString>{kMincho, u"Times"_qs}));
        QCOMPARE(sizes, QSet<qreal>{8.0});
        QVERIFY(redUnderlined);
        QVERIFY(blackUnderlined);
    } else {
        QCOMPARE(faces, QSet<QString>{kGothic});
        QCOMPARE(sizes, QSet<qreal>{9.0});
        QVERIFY(!coloured);
        QVERIFY(!redUnderlined && !blackUnderlined);
    }
}

// The columns of the pass-line table are aligned by full-width blanks, so
// every character must be one or two half-widths wide in the fallback face.
void TestRtfReader::passLineColumnsLineUp()
{
    const QByteArray rtf = readFile(QStringLiteral(KARVEL_SOURCE_DIR "/resources/passline.rtf"));
    if (rtf.isEmpty())
        QSKIP("the document has not been written yet");
    auto doc = read(rtf);
    doc->setTextWidth(4000);  // no wrapping
    doc->size();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextLine line = b.layout()->lineAt(0);
        const QString t = b.text();
        for (int i = 0; i < t.size() && line.isValid(); ++i) {
            if (t[i] == u'\t')
                continue;
            const qreal width = line.cursorToX(i + 1) - line.cursorToX(i);
            const qreal expected = t[i].unicode() < 0x80 || (t[i] >= u'ｱ' && t[i] <= u'ﾟ') ? 6 : 12;
            if (!qFuzzyCompare(width, expected))
                QFAIL(qPrintable(QStringLiteral("block %1, column %2 (%3): %4 px")
                                     .arg(b.blockNumber()).arg(i).arg(t[i]).arg(width)));
        }
    }
}

// ------------------------------------------------------------- fonts

void TestRtfReader::fontFallbacks()
{
    auto resolved = [](const QString &family, qreal points = 9) {
        QFont font(family);
        font.setPointSizeF(points);
        return QFontInfo(font).family();
    };
    QVERIFY2(QStringList({u"IPAGothic"_qs, u"MS Gothic"_qs, kGothic}).contains(resolved(kGothic)),
             qPrintable(resolved(kGothic)));
    QCOMPARE(resolved(u"MS Gothic"_qs), resolved(kGothic));
    QCOMPARE(resolved(kMincho), u"IPAMincho"_qs);
    QCOMPARE(resolved(u"ＭＳ 明朝"_qs), u"IPAMincho"_qs);
    QCOMPARE(resolved(u"ＭＳ Ｐゴシック"_qs), u"IPAPGothic"_qs);
    QCOMPARE(resolved(u"Times"_qs), u"Liberation Serif"_qs);
    QCOMPARE(resolved(u"MS Serif"_qs), u"Liberation Serif"_qs);
    QCOMPARE(resolved(u"MS Sans Serif"_qs), u"Liberation Sans"_qs);
    // The program's own lookup names the installed face as the font
    // database lists it, so that Qt never searches for a missing one; and
    // what names no face is in the windows' own.
    const QStringList installed = QFontDatabase::families();
    for (const QString &named : {kGothic, kMincho, u"ＭＳ Ｐゴシック"_qs, u"Times"_qs, u"IPAGothic"_qs})
        QVERIFY2(installed.contains(karvel::installedFace(named)), qPrintable(named));
    QCOMPARE(QFontInfo(QGuiApplication::font()).family(), u"IPAPGothic"_qs);
    QCOMPARE(QGuiApplication::font().pointSizeF(), 9.0);

    // IPAGothic does not call itself fixed pitch, so measure: every ASCII
    // character is half as wide as an ideographic space or an ideograph.
    const QFontMetricsF metrics(defaultFont());
    const qreal full = metrics.horizontalAdvance(QChar(0x3000));
    QCOMPARE(full, 12.0);  // 9 pt at 96 dpi
    QCOMPARE(metrics.horizontalAdvance(u'国'), full);
    QCOMPARE(metrics.horizontalAdvance(u'①'), full);
    for (char16_t c = 0x20; c < 0x7F; ++c)
        QCOMPARE(metrics.horizontalAdvance(QChar(c)) * 2, full);
}

// ------------------------------------------------------------- malformed input

void TestRtfReader::malformedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");  // "*": anything will do

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("no group at all") << QByteArray("just text") << u"just text"_qs;
    QTest::newRow("extra closing braces") << QByteArray("}}{\\rtf1 a}}}b") << u"a"_qs;
    QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 a{\\b b{\\i c") << u"abc"_qs;
    QTest::newRow("truncated in a control word") << QByteArray("{\\rtf1 abc\\pa") << u"abc"_qs;
    QTest::newRow("truncated after a backslash") << QByteArray("{\\rtf1 abc\\") << u"abc"_qs;
    QTest::newRow("truncated in a hex escape") << QByteArray("{\\rtf1 a\\'8") << u"a"_qs;
    QTest::newRow("invalid hex") << QByteArray("{\\rtf1 a\\'zzb\\'4g}") << u"azzbg"_qs;
    QTest::newRow("bin beyond the end") << QByteArray("{\\rtf1 a\\bin99999999999 xyz}") << u"a"_qs;
    QTest::newRow("bin without a length") << QByteArray("{\\rtf1 a\\bin b}") << u"ab"_qs;
    QTest::newRow("bin negative") << QByteArray("{\\rtf1 a\\bin-5 b}") << u"ab"_qs;
    QTest::newRow("bin at the end") << QByteArray("{\\rtf1 a\\bin") << u"a"_qs;
    QTest::newRow("huge font size") << QByteArray("{\\rtf1\\fs99999999999999999999 a}") << u"a"_qs;
    QTest::newRow("huge negative parameters")
        << QByteArray("{\\rtf1\\f-99999999999\\cf-999999999999\\uc-7\\deftab-9 a\\u-99999999 b}")
        << u"a\uFFFDb"_qs;
    QTest::newRow("huge font and colour indexes")
        << QByteArray("{\\rtf1{\\fonttbl{\\f99999999999 X;}}{\\colortbl\\red999;}\\f2147483647\\cf0 a}")
        << u"a"_qs;
    QTest::newRow("overlong control word")
        << QByteArray("{\\rtf1 " + QByteArray(5000, 'x').prepend('\\') + " a}") << u"a"_qs;
    QTest::newRow("NUL bytes") << BYTES("{\\rtf1 a\0b\\\0c\\'\0}") << u"abc"_qs;
    QTest::newRow("lone lead byte at the end") << QByteArray("{\\rtf1 a\\'82") << u"a\uFFFD"_qs;
    QTest::newRow("star outside a group start") << QByteArray("{\\rtf1 a\\*\\foo b}") << u"ab"_qs;
    QTest::newRow("unclosed font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 A") << QString();

    // Nesting far beyond the group limit still balances.
    QByteArray deep = "{\\rtf1 ";
    deep += QByteArray(100000, '{') + "x" + QByteArray(100000, '}') + "y}z";
    QTest::newRow("100000 nested groups") << deep << u"xy"_qs;
    QTest::newRow("100000 unclosed groups") << QByteArray(100000, '{') + "\\b x" << u"x"_qs;

    QByteArray escapes;
    while (escapes.size() < 1 << 20)
        escapes += "\\'";
    QTest::newRow("1 MB of empty escapes") << "{\\rtf1 " + escapes + "}" << QString();
    QByteArray pairs;
    while (pairs.size() < 1 << 20)
        pairs += "\\'82\\'a0";
    QTest::newRow("1 MB of hex escapes") << "{\\rtf1 " + pairs + "}" << QString(pairs.size() / 8, u'あ');

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    QTest::newRow("every byte") << all + all << u"*"_qs;
}

void TestRtfReader::malformedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QElapsedTimer timer;
    timer.start();
    auto doc = read(rtf);
    QVERIFY(doc);
    QVERIFY2(timer.elapsed() < 5000, "reading must stay linear");
    if (expected != u"*")
        QCOMPARE(text(*doc), expected);

    RichTextView view(defaultFont());
    view.resize(400, 300);
    view.setContent(rtf);
    view.grab();  // lays out and paints
    QCOMPARE(view.document()->toPlainText(), text(*doc));
}

// A document of the kind the program carries, cut at every byte and then
// mutated a few thousand times: every input gives a document that lays out.
void TestRtfReader::everyPrefixAndMutation()
{
    const QByteArray sample = document(
        "\\plain\\f2\\fs16 \\'91\\'e6\\'31\\'96\\'e2\\plain\\f1\\fs16 (1)\\par\n"
        "\\plain\\f2\\fs16\\cf1\\ul \\'82\\'a0\\'81\\'40\\'87\\'40\\plain\\f0\\fs18 x\\tab y\\line "
        "{\\b\\i z}\\u8364?\\bin3 {}\\{\\}\\\\\\~\\par\n\\par ");

    for (int n = 0; n <= sample.size(); ++n) {
        auto doc = read(sample.left(n));
        doc->size();
    }

    QRandomGenerator random(20261208);
    const QByteArray alphabet = "{}\\'*;0123456789-abfuclnprsxtin \x82\xa0\n";
    for (int round = 0; round < 3000; ++round) {
        QByteArray input = sample;
        const int edits = 1 + int(random.bounded(8));
        for (int e = 0; e < edits && !input.isEmpty(); ++e) {
            const int at = int(random.bounded(int(input.size())));
            const char c = random.bounded(4) == 0 ? char(random.bounded(256))
                                                  : alphabet[int(random.bounded(int(alphabet.size())))];
            switch (random.bounded(4)) {
            case 0: input[at] = c; break;
            case 1: input.insert(at, c); break;
            case 2: input.remove(at, 1 + int(random.bounded(8))); break;
            default: input.insert(at, input.mid(int(random.bounded(int(input.size()))), 16)); break;
            }
        }
        auto doc = read(input);
        QVERIFY(doc->blockCount() >= 1);
        doc->size();
    }
}

// ------------------------------------------------------------- the view

void TestRtfReader::view()
{
    QByteArray body;
    for (int i = 0; i < 200; ++i)
        body += "line " + QByteArray::number(i) + "\\par\n";
    const QByteArray rtf = "{\\rtf1 plain " + body + "}";

    RichTextView view(defaultFont());
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setContent(rtf);

    QVERIFY(view.isReadOnly());
    QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    QCOMPARE(view.viewport()->backgroundRole(), QPalette::Base);

    // Unformatted text shows in the view's font, resolved to the fallback face.
    QCOMPARE(QFontInfo(formatAt(*view.document(), 0).font().resolve(view.document()->defaultFont()))
                 .family(),
             QFontInfo(defaultFont()).family());
    QCOMPARE(view.document()->defaultFont().family(), kGothic);

    // Keys scroll, but do not edit.
    QScrollBar *bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), 0);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::keyClick(&view, Qt::Key_Down);
    QVERIFY(bar->value() > 0);
    QTest::keyClicks(&view, "typed");
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Backspace);
    QVERIFY(view.toPlainText().startsWith(u"plain line 0\n"));
    QVERIFY(!view.toPlainText().contains(u"typed"));

    // Setting a document again shows it from its top.
    QTest::keyClick(&view, Qt::Key_End);
    QVERIFY(bar->value() > 0);
    view.setContent(rtf);
    QCOMPARE(bar->value(), 0);

    // Built from a file: the document; from a missing file: empty.
    QTemporaryDir dir;
    QFile file(dir.filePath(u"a.rtf"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(document("\\'82\\'a0"));
    file.close();
    QCOMPARE(RichTextView(file.fileName(), defaultFont()).toPlainText(), u"あ\n"_qs);
    QCOMPARE(RichTextView(dir.filePath(u"missing.rtf"_qs), defaultFont()).toPlainText(), QString());
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
