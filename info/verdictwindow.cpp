#include "verdictwindow.h"

#include "widgets/fonts.h"


#include <QLabel>

namespace karvel {

namespace V = verdictlayout;

namespace {

QLabel *label(QWidget *parent, const char *name, const char16_t *text, double points,
              const QColor &background, QRect geometry)
{
    auto *l = new QLabel(QString::fromUtf16(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(namedFont(u"ＭＳ ゴシック"_qs, points, true));
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ButtonText));
    l->setPalette(pal);
    l->setAutoFillBackground(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setMargin(0);
    l->setIndent(0);
    l->setFocusPolicy(Qt::NoFocus);
    l->setGeometry(geometry);
    return l;
}

} // namespace

VerdictWindow::VerdictWindow(int window, QWidget *parent)
    : InfoWindow(QStringLiteral("frm合格ライン%1").arg(window), QString::fromUtf16(V::kTitle),
                 {V::kClientWidth, V::kClientHeight}, V::kBackground, V::kView, V::kDocument,
                 parent)
{
    const V::VerdictSpec &spec = V::kVerdicts.at(window - 1);
    label(this, "Label1", spec.rate, 15.75, spec.rateBackground, spec.rateGeometry);
    label(this, "Label2", spec.comment, 12, V::kBackground,
          {spec.commentLeft, V::kLabel2Top, spec.commentWidth, V::kLabel2Height});
}

} // namespace karvel
