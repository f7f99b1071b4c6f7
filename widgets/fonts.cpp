#include "widgets/fonts.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

namespace karvel {

namespace {

struct Fallbacks
{
    QString named;
    QStringList faces;
};

// Each face falls back to its own Latin or Japanese name first (where the
// system has it), then to a face that keeps its metrics: IPAGothic and
// IPAMincho have ASCII exactly half as wide as a full-width character, which
// the column layout of the documents relies on.
const QList<Fallbacks> &fallbacks()
{
    static const QList<Fallbacks> table = [] {
        const QStringList gothic{u"IPAGothic"_qs, u"IPAexGothic"_qs};
        const QStringList pgothic{u"IPAPGothic"_qs, u"IPAexGothic"_qs, u"IPAGothic"_qs};
        const QStringList mincho{u"IPAMincho"_qs, u"IPAexMincho"_qs};
        const QStringList serif{u"Liberation Serif"_qs, u"DejaVu Serif"_qs};
        const QStringList sans{u"Liberation Sans"_qs, u"DejaVu Sans"_qs};
        return QList<Fallbacks>{
            {u"ＭＳ ゴシック"_qs, QStringList{u"MS Gothic"_qs} + gothic},
            {u"MS Gothic"_qs, QStringList{u"ＭＳ ゴシック"_qs} + gothic},
            {u"ＭＳ Ｐゴシック"_qs, QStringList{u"MS PGothic"_qs} + pgothic},
            {u"MS PGothic"_qs, QStringList{u"ＭＳ Ｐゴシック"_qs} + pgothic},
            {u"ＭＳ 明朝"_qs, QStringList{u"MS Mincho"_qs} + mincho},
            {u"MS Mincho"_qs, QStringList{u"ＭＳ 明朝"_qs} + mincho},
            {u"平成明朝"_qs, QStringList{u"ＭＳ 明朝"_qs, u"MS Mincho"_qs} + mincho},
            {u"Times"_qs, serif},
            {u"Times New Roman"_qs, serif},
            {u"MS Serif"_qs, serif},
            {u"MS Sans Serif"_qs, sans},
        };
    }();
    return table;
}

} // namespace

void installFontFallbacks()
{
    for (const Fallbacks &f : fallbacks())
        QFont::insertSubstitutions(f.named, f.faces);

    // The desktop's default face for what names none (menus, and the empty
    // document a text view lays out when it is made): the one the windows'
    // own text is in, so that no other face is loaded for it.
    QGuiApplication::setFont(namedFont(u"ＭＳ Ｐゴシック"_qs, 9));
}

namespace {

// Whether a face of this name is installed. Unlike QFontDatabase::hasFamily,
// which first asks the font configuration what the name may stand for (a
// whole search for every name), it looks the name up among the installed
// families only.
bool isInstalled(const QString &family)
{
    static const QSet<QString> installed = [] {
        QSet<QString> names;
        for (const QString &f : QFontDatabase::families())
            names.insert(f.toCaseFolded());
        return names;
    }();
    return installed.contains(family.toCaseFolded());
}

} // namespace

QString installedFace(const QString &named)
{
    // Documents are also read on a second thread.
    static QMutex mutex;
    static QHash<QString, QString> resolved;
    QMutexLocker lock(&mutex);
    auto it = resolved.constFind(named);
    if (it != resolved.cend())
        return *it;
    QString face = named;
    if (!isInstalled(named)) {
        const auto &table = fallbacks();
        const auto f = std::find_if(table.cbegin(), table.cend(),
                                    [&](const Fallbacks &e) { return e.named == named; });
        if (f != table.cend()) {
            const auto found = std::find_if(f->faces.cbegin(), f->faces.cend(), isInstalled);
            if (found != f->faces.cend())
                face = *found;
        }
    }
    resolved.insert(named, face);
    return face;
}

QStringList faceFamilies(const QString &named)
{
    return QStringList{installedFace(named)};
}

QFont namedFont(const QString &named, qreal points, bool bold)
{
    QFont font;
    font.setFamilies(faceFamilies(named));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
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
