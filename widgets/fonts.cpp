#include "widgets/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace karvel {

void installFontFallbacks()
{
    // Each face falls back to its own Latin or Japanese name first (where
    // the system has it), then to a face that keeps its metrics: IPAGothic
    // and IPAMincho have ASCII exactly half as wide as a full-width
    // character, which the column layout of the documents relies on.
    const QStringList gothic{u"IPAGothic"_qs, u"IPAexGothic"_qs};
    const QStringList pgothic{u"IPAPGothic"_qs, u"IPAexGothic"_qs, u"IPAGothic"_qs};
    const QStringList mincho{u"IPAMincho"_qs, u"IPAexMincho"_qs};
    const QStringList serif{u"Liberation Serif"_qs, u"DejaVu Serif"_qs};
    const QStringList sans{u"Liberation Sans"_qs, u"DejaVu Sans"_qs};

    QFont::insertSubstitutions(u"ＭＳ ゴシック"_qs, QStringList{u"MS Gothic"_qs} + gothic);
    QFont::insertSubstitutions(u"MS Gothic"_qs, QStringList{u"ＭＳ ゴシック"_qs} + gothic);
    QFont::insertSubstitutions(u"ＭＳ Ｐゴシック"_qs, QStringList{u"MS PGothic"_qs} + pgothic);
    QFont::insertSubstitutions(u"MS PGothic"_qs, QStringList{u"ＭＳ Ｐゴシック"_qs} + pgothic);
    QFont::insertSubstitutions(u"ＭＳ 明朝"_qs, QStringList{u"MS Mincho"_qs} + mincho);
    QFont::insertSubstitutions(u"MS Mincho"_qs, QStringList{u"ＭＳ 明朝"_qs} + mincho);
    QFont::insertSubstitutions(u"平成明朝"_qs, QStringList{u"ＭＳ 明朝"_qs, u"MS Mincho"_qs} + mincho);
    QFont::insertSubstitutions(u"Times"_qs, serif);
    QFont::insertSubstitutions(u"Times New Roman"_qs, serif);
    QFont::insertSubstitutions(u"MS Serif"_qs, serif);
    QFont::insertSubstitutions(u"MS Sans Serif"_qs, sans);
}

bool checkJapaneseFonts()
{
    if (!QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
        return true;
    qWarning("%s: no installed font covers Japanese, so the texts show as empty boxes; "
             "install the Debian packages fonts-ipafont-gothic and fonts-ipafont-mincho",
             qUtf8Printable(QCoreApplication::applicationName()));
    return false;
}

} // namespace karvel
