// The program's own decoding of code pages 932 and 1252 against Qt's
// conversion library, for every byte and every pair of bytes that can stand
// in a document's text (control bytes never reach the decoders): the same
// characters, with U+FFFD wherever the library finds no character.

#include "widgets/codepages.h"

#include <QStringDecoder>
#include <QtTest>

using namespace karvel;

namespace {

// What the library gives, written as ours writes it: its substitution mark
// as U+FFFD, and U+FFFD for a lead byte left at the end, which it drops.
QString library(QStringDecoder &decoder, QByteArrayView bytes, bool endsInLead)
{
    QString text = decoder.decode(bytes);
    decoder.resetState();
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    if (endsInLead)
        text += QChar::ReplacementCharacter;
    return text;
}

bool isLead(int b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isText(int b)
{
    return b >= 0x20 && b != 0x7F;
}

} // namespace

class TestCodePages : public QObject
{
    Q_OBJECT

private slots:
    void cp932AsTheLibraryReadsIt()
    {
        QStringDecoder decoder("CP932", QStringConverter::Flag::Stateless);
        QVERIFY(decoder.isValid());
        int checked = 0;
        for (int a = 0x20; a < 0x100; ++a) {
            if (!isText(a))
                continue;
            const char one[1] = {char(a)};
            QCOMPARE(decodeCp932(QByteArrayView(one, 1)),
                     library(decoder, QByteArrayView(one, 1), isLead(a)));
            for (int b = 0x20; a >= 0x80 && b < 0x100; ++b) {
                if (!isText(b))
                    continue;
                const char two[2] = {char(a), char(b)};
                // A lead byte whose trail is not valid leaves the second
                // byte to be read alone; a lone lead there ends the bytes.
                const bool pairs = isLead(a) && ((b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC));
                const bool endsInLead = isLead(b) && (!isLead(a) || !pairs);
                const QString ours = decodeCp932(QByteArrayView(two, 2));
                const QString theirs = library(decoder, QByteArrayView(two, 2), endsInLead);
                if (ours != theirs)
                    QFAIL(qPrintable(QStringLiteral("%1 %2: %3 against %4")
                                         .arg(a, 2, 16).arg(b, 2, 16)
                                         .arg(ours.toUcs4().size()).arg(theirs.toUcs4().size())));
                ++checked;
            }
        }
        QCOMPARE(checked, 128 * 223);
    }

    void cp932Text()
    {
        // "第1問　地理" with a half-width katakana and a lone lead at the end.
        const QByteArray bytes = QByteArray::fromHex("91e63196e28140926e979db1") + "\x82";
        QCOMPARE(decodeCp932(bytes), QString::fromUtf8("第1問　地理ｱ\uFFFD"));
    }

    void cp1252AsTheLibraryReadsIt()
    {
        QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
        QVERIFY(decoder.isValid());
        for (int a = 0x20; a < 0x100; ++a) {
            if (!isText(a))
                continue;
            const char one[1] = {char(a)};
            QCOMPARE(decodeCp1252(QByteArrayView(one, 1)),
                     library(decoder, QByteArrayView(one, 1), false));
        }
    }
};

QTEST_MAIN(TestCodePages)
#include "tst_codepages.moc"
